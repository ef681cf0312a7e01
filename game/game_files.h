// The checks on the game's accounts, the data file and the game's process.
#pragma once

#include "base/file_entry.h"
#include "base/outcome.h"
#include "settings/settings_store.h"


// OUTCOME_OK: at least one account, names in the first buffers and the rest
// empty. OUTCOME_INFO with a message: the accounts folder cannot be listed;
// without one: it holds no account. OUTCOME_ERROR: game folder not set or too long.
Outcome list_game_accounts(FolderNames& names, wchar_t* message, const SettingsKey& key);

constexpr wchar_t MSG_DATA_FILE_TOO_LARGE[] =
    L"Le fichier à envoyer est trop volumineux.\n"
    L"Veuillez purger vos données dans le jeu pour un envoi ultérieur.";

// OUTCOME_OK when the file holds 1 to DATA_FILE_MAX_BYTES bytes (the message
// is then not touched); otherwise OUTCOME_ERROR with a message.
Outcome check_data_file_size(FileEntry& entry, wchar_t* message);

// OUTCOME_OK when no process "WoW.exe" runs; OUTCOME_INFO when one does.
Outcome check_game_not_running(wchar_t* message);

// Game folder + WTF\Account\ + account + \SavedVariables\Quillfern.lua into a
// 260-character buffer. False, with path empty, when it would not fit.
bool build_data_file_path(wchar_t* path, const wchar_t* game_folder, const wchar_t* account);
