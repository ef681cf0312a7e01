#include "ui/launching.h"

#include "base/text_util.h"
#include "game/game_constants.h"

#include <shellapi.h>

namespace {

constexpr wchar_t MSG_NO_GAME_FOLDER[] =
    L"Veuillez indiquer l'emplacement de World of Warcraft dans les options avant d'essayer de "
    L"lancer le jeu! ;-)";
constexpr wchar_t MSG_LAUNCHER_NOT_FOUND[] =
    L"Impossible de trouver l'exécutable de World of Warcraft.\n"
    L"Veuillez vérifier le chemin dans les options.";
constexpr wchar_t MSG_GAME_FOLDER_NOT_FOUND[] =
    L"Impossible de trouver le dossier de World of Warcraft.\n"
    L"Veuillez indiquer son emplacement dans les options.";
constexpr wchar_t MSG_LAUNCH_FAILED[] =
    L"Impossible de lancer l'application.\nUne exception non gérée est survenue.";
constexpr wchar_t MSG_SITE_FAILED[] =
    L"Impossible d'accéder au site web.\nUne exception non gérée est survenue.";

constexpr wchar_t SHELL_VERB_OPEN[] = L"open";
// ShellExecuteW's answers up to this value are failures.
constexpr INT_PTR SHELL_LAST_FAILURE = 32;

INT_PTR shell_open(const wchar_t* file, const wchar_t* directory) {
    return reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, SHELL_VERB_OPEN, file, nullptr, directory, SW_SHOWNORMAL));
}

bool folder_exists(const wchar_t* folder) {
    const DWORD attributes = GetFileAttributesW(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool launcher_path(wchar_t (&path)[LAUNCHER_PATH_CAPACITY], const wchar_t* folder) {
    path[0] = 0;
    if (!append_whole(path, LAUNCHER_PATH_CAPACITY, folder) ||
        !append_whole(path, LAUNCHER_PATH_CAPACITY, GAME_LAUNCHER_NAME)) {
        path[0] = 0;
        return false;
    }
    return true;
}

Outcome launch_game(wchar_t* message, const SettingsKey& settings) {
    message[0] = 0;
    // A cut folder names another folder, and an empty one would let the shell
    // start whatever launcher the search path finds: neither is the game's.
    wchar_t folder[PATH_CAPACITY];
    wchar_t path[LAUNCHER_PATH_CAPACITY];
    if (get_game_path(settings, folder, PATH_CAPACITY) != OUTCOME_OK || folder[0] == 0 ||
        !launcher_path(path, folder))
        return report(message, OUTCOME_INFO, MSG_NO_GAME_FOLDER);

    const INT_PTR answer = shell_open(path, folder);
    if (answer > SHELL_LAST_FAILURE) return OUTCOME_OK;
    // Wine answers "file not found" for a missing folder too, where Windows
    // answers "path not found": the player needs to hear which one is wrong.
    if (answer == ERROR_PATH_NOT_FOUND || (answer == ERROR_FILE_NOT_FOUND && !folder_exists(folder)))
        return report(message, OUTCOME_ERROR, MSG_GAME_FOLDER_NOT_FOUND);
    if (answer == ERROR_FILE_NOT_FOUND) return report(message, OUTCOME_ERROR, MSG_LAUNCHER_NOT_FOUND);
    return report(message, OUTCOME_ERROR, MSG_LAUNCH_FAILED);
}

Outcome open_site(wchar_t* message, const wchar_t* address) {
    message[0] = 0;
    if (shell_open(address, nullptr) > SHELL_LAST_FAILURE) return OUTCOME_OK;
    return report(message, OUTCOME_ERROR, MSG_SITE_FAILED);
}
