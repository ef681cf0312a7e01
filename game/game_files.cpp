#include "game/game_files.h"

#include "game/game_constants.h"

#include <tlhelp32.h>


#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(PROCESSENTRY32W) == 556, "process entry of the 32-bit program");
#endif

namespace {

// The game folder is read with this capacity where WTF\Account\ and an
// account's name are appended to it.
constexpr std::size_t ACCOUNTS_GAME_FOLDER_CAPACITY = 160;

constexpr wchar_t MSG_NO_GAME_FOLDER[] =
    L"Impossible de récupérer les informations de compte.\n"
    L"Le dossier de World of Warcraft n'a pas pu être récupéré.";
constexpr wchar_t MSG_NEVER_STARTED[] =
    L"Impossible de récupérer les informations de compte.\n"
    L"World of Warcraft semble n'avoir jamais été lancé.";
constexpr wchar_t MSG_SIZE_UNKNOWN[] =
    L"Impossible d'obtenir des informations sur le fichier\nà envoyer. Opération annulée.";
constexpr wchar_t MSG_FILE_EMPTY[] =
    L"Le fichier à envoyer est vide.\nAucune donnée n'est à envoyer.";
constexpr wchar_t MSG_NO_PROCESS_LIST[] =
    L"Impossible d'obtenir la liste des processus système.\nAnnulation.";
constexpr wchar_t MSG_NO_FIRST_PROCESS[] =
    L"Impossible d'obtenir les informations du premier processus système.\nAnnulation.";
constexpr wchar_t MSG_GAME_RUNNING[] =
    L"Veuillez quitter World of Warcraft avant d'uploader vos données.";

}  // namespace

Outcome list_game_accounts(FolderNames& names, wchar_t* message, const SettingsKey& key) {
    message[0] = 0;
    for (auto& name : names) name[0] = 0;
    wchar_t folder[PATH_CAPACITY];
    if (read_setting(key, VALUE_GAME_PATH, folder, ACCOUNTS_GAME_FOLDER_CAPACITY) != OUTCOME_OK)
        return report(message, OUTCOME_ERROR, MSG_NO_GAME_FOLDER);
    append_text(folder, PATH_CAPACITY, GAME_ACCOUNTS_FOLDER);  // 159 + 12 always fits

    FileEntry accounts(PATH_CAPACITY, folder);
    if (!accounts.list_subfolders(names)) return report(message, OUTCOME_INFO, MSG_NEVER_STARTED);
    return names[0][0] != 0 ? OUTCOME_OK : OUTCOME_INFO;
}

Outcome check_data_file_size(FileEntry& entry, wchar_t* message) {
    DWORD size = 0;
    if (!entry.size(&size)) return report(message, OUTCOME_ERROR, MSG_SIZE_UNKNOWN);
    if (size == 0) return report(message, OUTCOME_ERROR, MSG_FILE_EMPTY);
    if (size > DATA_FILE_MAX_BYTES) return report(message, OUTCOME_ERROR, MSG_DATA_FILE_TOO_LARGE);
    return OUTCOME_OK;
}

Outcome check_game_not_running(wchar_t* message) {
    message[0] = 0;
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return report(message, OUTCOME_ERROR, MSG_NO_PROCESS_LIST);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (!Process32FirstW(snapshot.get(), &entry)) return report(message, OUTCOME_ERROR, MSG_NO_FIRST_PROCESS);
    do {
        if (CompareStringOrdinal(entry.szExeFile, -1, GAME_PROCESS_NAME, -1, TRUE) == CSTR_EQUAL)
            return report(message, OUTCOME_INFO, MSG_GAME_RUNNING);
    } while (Process32NextW(snapshot.get(), &entry));
    return OUTCOME_OK;
}

bool build_data_file_path(wchar_t* path, const wchar_t* game_folder, const wchar_t* account) {
    path[0] = 0;
    const wchar_t* pieces[] = {game_folder, GAME_ACCOUNTS_FOLDER, account,
                               GAME_SAVED_VARIABLES_FOLDER, ADDON_DATA_FILE_NAME};
    for (const wchar_t* piece : pieces) {
        if (!append_whole(path, PATH_CAPACITY, piece)) {
            path[0] = 0;
            return false;
        }
    }
    return true;
}
