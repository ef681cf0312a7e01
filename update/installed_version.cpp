#include "update/installed_version.h"

#include "base/file_entry.h"
#include "base/text_util.h"
#include "game/game_constants.h"

#include <cstring>

namespace {

constexpr wchar_t MSG_CHECK_FAILED[] =
    L"Impossible de vérifier la version locale de l'uploader.\n";
constexpr wchar_t MSG_NO_GAME_FOLDER[] = L"Le dossier de World of Warcraft est introuvable.";
constexpr wchar_t MSG_NOT_OPENED[] = L"Le fichier de version n'a pas pu être ouvert.";
constexpr wchar_t MSG_NOT_READ[] = L"Le fichier de version n'a pas pu être lu.";
constexpr wchar_t MSG_TOO_LARGE[] = L"Le fichier de version est incorrect.";
constexpr wchar_t MSG_NO_VERSION[] = L"Le fichier de version n'a pas un format valide.";
constexpr wchar_t MSG_NO_MEMORY[] = L"Mémoire insuffisante.";

void set_text(char* to, const char* text) {
    std::memcpy(to, text, std::strlen(text) + 1);
}

}  // namespace

Outcome read_installed_version(char* edition, const SettingsKey& settings, char* version,
                               wchar_t* message) {
    message[0] = 0;
    version[0] = 0;
    if (edition) edition[0] = 0;
    auto text = make_buffer<char>(TOC_MAX_BYTES);
    if (!text) return report(message, OUTCOME_ERROR, MSG_CHECK_FAILED, MSG_NO_MEMORY);

    wchar_t path[PATH_CAPACITY];
    // An empty folder would make the path relative to wherever the program runs.
    if (read_setting(settings, VALUE_GAME_PATH, path, INSTALLED_VERSION_GAME_FOLDER_CAPACITY) !=
            OUTCOME_OK ||
        path[0] == 0)
        return report(message, OUTCOME_ERROR, MSG_CHECK_FAILED, MSG_NO_GAME_FOLDER);
    // 209 + 40 characters: always fits.
    for (const wchar_t* piece : {GAME_ADDONS_FOLDER, ADDON_FOLDER_NAME, ADDON_TOC_FILE_NAME})
        append_whole(path, PATH_CAPACITY, piece);

    FileEntry toc(text_length(path), path);
    if (!toc.exists()) {
        if (edition) set_text(edition, INSTALLED_EDITION_LIGHT);
        return report(message, OUTCOME_INFO, MSG_CHECK_FAILED, MSG_NOT_OPENED);
    }
    DWORD count = 0;
    if (!toc.read(text.get(), TOC_MAX_BYTES, &count))
        return report(message, OUTCOME_ERROR, MSG_CHECK_FAILED, MSG_NOT_READ);
    // A file that fills the buffer leaves no room for the terminator.
    if (count >= TOC_MAX_BYTES)
        return report(message, OUTCOME_ERROR, MSG_CHECK_FAILED, MSG_TOO_LARGE);
    text[count] = 0;

    scan_toc_lines(text.get(), count, version, edition);

    if (edition && edition[0] == 0) set_text(edition, INSTALLED_EDITION_LIGHT);
    if (version[0] != 0) return OUTCOME_OK;
    return report(message, OUTCOME_ERROR, MSG_CHECK_FAILED, MSG_NO_VERSION);
}
