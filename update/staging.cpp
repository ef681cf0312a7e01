#include "update/staging.h"

#include "base/file_entry.h"
#include "base/text_util.h"
#include "game/game_constants.h"

#include <cwchar>

namespace {

constexpr wchar_t GAME_INTERFACE_FOLDER[] = L"Interface\\";

constexpr wchar_t MSG_CANNOT_CONTINUE[] = L"Impossible de continuer.\n";
constexpr wchar_t MSG_NO_GAME_FOLDER[] =
    L"Le dossier de World of Warcraft n'a pas pu être récupéré.";
constexpr wchar_t MSG_GAME_FOLDER_MISSING[] = L"Le dossier de World of Warcraft n'existe pas.";
constexpr wchar_t MSG_GAME_NOT_INSTALLED[] =
    L"World of Warcraft n'est pas installé dans ce dossier.";
constexpr wchar_t MSG_NO_INTERFACE[] = L"Création du dossier Interface échouée.";
constexpr wchar_t MSG_NO_ADDONS[] = L"Création du dossier AddOns échouée.";
constexpr wchar_t MSG_LEFTOVERS[] = L"Nettoyage d'une mise à jour précédente impossible.";
constexpr wchar_t MSG_STAGING_NOT_CLEANED[] = L"Nettoyage du dossier temporaire impossible.";
constexpr wchar_t MSG_STAGING_NOT_CREATED[] = L"Impossible de créer le répertoire temporaire.";

constexpr wchar_t MSG_CREATE_FAILED[] = L"Erreur: création d'un fichier impossible.\n";
constexpr wchar_t MSG_PATH_REFUSED[] = L"Le chemin du fichier n'est pas accepté.";
constexpr wchar_t MSG_PATH_TOO_LONG[] = L"Le chemin du fichier est trop long.";
constexpr wchar_t MSG_NO_SUBFOLDER[] = L"Impossible de créer les répertoires correspondants.";
constexpr wchar_t MSG_WRITE_FAILED[] = L"Erreur: écriture d'un fichier impossible.\n";
constexpr wchar_t MSG_TRY_LATER[] = L"Veuillez réessayer ultérieurement.";

constexpr wchar_t MSG_INSTALL_FAILED[] = L"Impossible d'installer les nouveaux fichiers.\n";
constexpr wchar_t MSG_NOTHING_CHANGED[] = L"Aucun fichier n'a été modifié.";
constexpr wchar_t MSG_RESTORED_LATER[] =
    L"L'ancienne version sera remise en place à la prochaine mise à jour.";
constexpr wchar_t MSG_STAGING_LEFT[] =
    L"Nettoyage du dossier temporaire échoué.\nLa mise à jour a néanmoins été effectuée.";

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool folder_exists(const wchar_t* path) {
    FileEntry folder(PATH_CAPACITY, path);
    return folder.exists();
}

bool ensure_folder(const wchar_t* path) {
    FileEntry folder(PATH_CAPACITY, path);
    return folder.exists() || folder.create();
}

bool remove_folder(const wchar_t* path) {
    FileEntry folder(PATH_CAPACITY, path);
    return folder.remove(false);
}

// A rename on one drive (no copy allowed): the folder moves whole or not at all.
bool rename_folder(const wchar_t* from, const wchar_t* to) {
    wchar_t bare_from[PATH_CAPACITY];
    wchar_t bare_to[PATH_CAPACITY];
    if (!copy_text(bare_from, PATH_CAPACITY, from) || !copy_text(bare_to, PATH_CAPACITY, to))
        return false;
    for (wchar_t* bare : {bare_from, bare_to}) {
        const std::size_t length = text_length(bare);
        if (length > 0 && bare[length - 1] == L'\\') bare[length - 1] = 0;
    }
    return MoveFileExW(bare_from, bare_to, 0) != FALSE;
}

// "X\Y\" becomes "X\"; false when no folder lies above.
bool cut_last_folder(wchar_t* path) {
    const std::size_t length = text_length(path);
    if (length < 2 || path[length - 1] != L'\\') return false;
    std::size_t start = length - 1;
    while (start > 0 && path[start - 1] != L'\\') --start;
    if (start == 0) return false;
    path[start] = 0;
    return true;
}

// The addon folder and the side folders of its replacement, which live two
// levels up (in Interface\, out of the game's sight).
struct AddonFolders {
    wchar_t addon[PATH_CAPACITY];
    wchar_t incoming[PATH_CAPACITY];
    wchar_t backup[PATH_CAPACITY];
    wchar_t discard[PATH_CAPACITY];
};

bool find_addon_folders(const wchar_t* addon_folder, AddonFolders& folders) {
    wchar_t interface_folder[PATH_CAPACITY];
    if (!copy_text(folders.addon, PATH_CAPACITY, addon_folder) ||
        !copy_text(interface_folder, PATH_CAPACITY, addon_folder) ||
        !cut_last_folder(interface_folder) || !cut_last_folder(interface_folder))
        return false;
    const struct {
        wchar_t* path;
        const wchar_t* name;
    } sides[] = {{folders.incoming, ADDON_INCOMING_FOLDER_NAME},
                 {folders.backup, ADDON_BACKUP_FOLDER_NAME},
                 {folders.discard, ADDON_DISCARD_FOLDER_NAME}};
    for (const auto& side : sides) {
        copy_text(side.path, PATH_CAPACITY, interface_folder);
        if (!append_whole(side.path, PATH_CAPACITY, side.name)) return false;
    }
    return true;
}

// The old addon is deleted only under the discard name, so that the backup
// name never holds a partly deleted addon that could be put back one day.
void discard_backup(const AddonFolders& folders) {
    if (rename_folder(folders.backup, folders.discard)) remove_folder(folders.discard);
}

// Puts right what an interrupted installation left. Incoming and discarded
// files are thrown away. A backup is always a whole addon: it goes back in
// place when the addon folder is missing (the run stopped between the two
// renames), and is thrown away when the addon is there. True when neither an
// incoming folder nor a backup remains.
bool tidy_addon_folders(const AddonFolders& folders) {
    if (folder_exists(folders.discard)) remove_folder(folders.discard);
    if (folder_exists(folders.incoming) && !remove_folder(folders.incoming)) return false;
    if (!folder_exists(folders.backup)) return true;
    if (!folder_exists(folders.addon)) return rename_folder(folders.backup, folders.addon);
    discard_backup(folders);
    return !folder_exists(folders.backup);
}

// The staged files are gathered beside the addon first, then swapped in by
// two renames: the addon folder only ever holds a whole addon, old or new.
Outcome put_in_place(FileEntry& staging, const AddonFolders& folders, wchar_t* message) {
    if (!tidy_addon_folders(folders))
        return report(message, OUTCOME_ERROR, MSG_INSTALL_FAILED, MSG_NOTHING_CHANGED);
    // The long part, maybe from one drive to another, while the addon is still whole.
    if (!move_contents_to(staging, folders.incoming)) {
        remove_folder(folders.incoming);
        return report(message, OUTCOME_ERROR, MSG_INSTALL_FAILED, MSG_NOTHING_CHANGED);
    }
    const bool had_addon = folder_exists(folders.addon);
    if (had_addon && !rename_folder(folders.addon, folders.backup)) {
        remove_folder(folders.incoming);
        return report(message, OUTCOME_ERROR, MSG_INSTALL_FAILED, MSG_NOTHING_CHANGED);
    }
    if (!rename_folder(folders.incoming, folders.addon)) {
        remove_folder(folders.incoming);
        // Left in place, the backup goes back at the next prepare_staging.
        if (had_addon && !rename_folder(folders.backup, folders.addon))
            return report(message, OUTCOME_ERROR, MSG_INSTALL_FAILED, MSG_RESTORED_LATER);
        return report(message, OUTCOME_ERROR, MSG_INSTALL_FAILED, MSG_NOTHING_CHANGED);
    }
    // A backup that cannot be deleted now is thrown away by the next run.
    if (had_addon) discard_backup(folders);
    return OUTCOME_OK;
}

}  // namespace

Outcome prepare_staging(wchar_t* addon_folder, const wchar_t* staging_folder,
                        const SettingsKey& settings, wchar_t* message) {
    message[0] = 0;
    addon_folder[0] = 0;
    wchar_t game[PATH_CAPACITY];
    if (read_setting(settings, VALUE_GAME_PATH, game, STAGING_GAME_FOLDER_CAPACITY) != OUTCOME_OK)
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CONTINUE, MSG_NO_GAME_FOLDER);
    if (!folder_exists(game))
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CONTINUE, MSG_GAME_FOLDER_MISSING);

    // At most 159 characters of game folder: every path below fits.
    wchar_t path[PATH_CAPACITY];
    copy_text(path, PATH_CAPACITY, game);
    append_whole(path, PATH_CAPACITY, GAME_EXECUTABLE_NAME);
    FileEntry executable(PATH_CAPACITY, path);
    if (!executable.exists())
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CONTINUE, MSG_GAME_NOT_INSTALLED);
    copy_text(path, PATH_CAPACITY, game);
    append_whole(path, PATH_CAPACITY, GAME_INTERFACE_FOLDER);
    if (!ensure_folder(path))
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CONTINUE, MSG_NO_INTERFACE);
    copy_text(path, PATH_CAPACITY, game);
    append_whole(path, PATH_CAPACITY, GAME_ADDONS_FOLDER);
    if (!ensure_folder(path))
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CONTINUE, MSG_NO_ADDONS);
    append_whole(path, PATH_CAPACITY, ADDON_FOLDER_NAME);

    // Before anything is downloaded, so that a player whose last run was cut
    // keeps an addon even if this one fails.
    AddonFolders folders;
    if (!find_addon_folders(path, folders) || !tidy_addon_folders(folders))
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CONTINUE, MSG_LEFTOVERS);

    FileEntry staging(text_length(staging_folder), staging_folder);
    if (staging.exists() && !staging.remove(false))
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CONTINUE, MSG_STAGING_NOT_CLEANED);
    if (!staging.create())
        return report(message, OUTCOME_ERROR, MSG_CANNOT_CONTINUE, MSG_STAGING_NOT_CREATED);
    copy_text(addon_folder, PATH_CAPACITY, path);
    return OUTCOME_OK;
}

Outcome stage_file(const unsigned char* bytes, wchar_t* message, const wchar_t* staged_path,
                   DWORD count) {
    message[0] = 0;
    wchar_t path[PATH_CAPACITY];
    // A cut path would name another file.
    if (!copy_text(path, PATH_CAPACITY, staged_path))
        return report(message, OUTCOME_ERROR, MSG_CREATE_FAILED, MSG_PATH_TOO_LONG);
    const wchar_t* staging_end = std::wcsstr(path, ADDON_FOLDER_NAME);
    if (!staging_end) return report(message, OUTCOME_ERROR, MSG_CREATE_FAILED, MSG_PATH_REFUSED);
    staging_end += text_length(ADDON_FOLDER_NAME);

    // The folder path never grows longer than the part of path it stands for.
    wchar_t folder[PATH_CAPACITY];
    copy_text(folder, static_cast<std::size_t>(staging_end - path) + 1, path);
    for (const wchar_t* part = staging_end;;) {
        while (is_separator(*part)) ++part;
        const wchar_t* end = part;
        while (*end != 0 && !is_separator(*end)) ++end;
        if (*end == 0) break;  // the last part is the file's own name
        wchar_t name[PATH_CAPACITY];
        copy_text(name, static_cast<std::size_t>(end - part) + 1, part);
        if (!append_whole(folder, PATH_CAPACITY, name) ||
            !append_whole(folder, PATH_CAPACITY, L"\\"))
            return report(message, OUTCOME_ERROR, MSG_CREATE_FAILED, MSG_PATH_TOO_LONG);
        if (!ensure_folder(folder))
            return report(message, OUTCOME_ERROR, MSG_CREATE_FAILED, MSG_NO_SUBFOLDER);
        part = end;
    }

    FileEntry file(PATH_CAPACITY, path);
    if (!file.exists() && !file.create())
        return report(message, OUTCOME_ERROR, MSG_CREATE_FAILED, MSG_TRY_LATER);
    if (!file.write(bytes, count))
        return report(message, OUTCOME_ERROR, MSG_WRITE_FAILED, MSG_TRY_LATER);
    return OUTCOME_OK;
}

Outcome install_staged(const wchar_t* staging_folder, const wchar_t* addon_folder,
                       wchar_t* message) {
    message[0] = 0;
    FileEntry staging(text_length(staging_folder), staging_folder);
    AddonFolders folders;
    const Outcome installed =
        find_addon_folders(addon_folder, folders)
            ? put_in_place(staging, folders, message)
            : report(message, OUTCOME_ERROR, MSG_INSTALL_FAILED, MSG_NOTHING_CHANGED);
    // Removed whatever happened: a failed run's files are of no further use.
    const bool cleaned = staging.remove(false);
    if (installed != OUTCOME_OK) return installed;
    return cleaned ? OUTCOME_OK : report(message, OUTCOME_INFO, MSG_STAGING_LEFT);
}
