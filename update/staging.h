// Downloaded addon files are staged under the temporary folder, then take the
// installed addon's place in one swap: the player keeps either the old addon
// or the new one, whole, never a mix.
#pragma once

#include "base/outcome.h"
#include "settings/settings_store.h"

#include <windows.h>

#include <cstddef>

// The game folder is read with this capacity, so that the addon folder and
// the paths built under it stay within PATH_CAPACITY.
constexpr std::size_t STAGING_GAME_FOLDER_CAPACITY = 160;

// Folders in the game's Interface\ folder, beside AddOns\ where the game
// looks for addons, used while the addon is replaced:
// the new files, gathered on the game's drive before the swap;
constexpr wchar_t ADDON_INCOMING_FOLDER_NAME[] = L"Quillfern.nouveau\\";
// the previous addon, whole, until the new one is in its place;
constexpr wchar_t ADDON_BACKUP_FOLDER_NAME[] = L"Quillfern.ancien\\";
// the previous addon once replaced, while it is deleted.
constexpr wchar_t ADDON_DISCARD_FOLDER_NAME[] = L"Quillfern.rebut\\";

// Checks the game folder, puts right what an interrupted installation left
// beside the addon, and leaves an empty staging folder (a path ending with
// "Quillfern\"). addon_folder receives the addon folder's path
// (PATH_CAPACITY characters). OUTCOME_OK or OUTCOME_ERROR.
Outcome prepare_staging(wchar_t* addon_folder, const wchar_t* staging_folder,
                        const SettingsKey& settings, wchar_t* message);

// Writes count bytes as the file at staged_path, below a "Quillfern\" folder,
// creating the sub-folders on the way. OUTCOME_OK or OUTCOME_ERROR.
Outcome stage_file(const unsigned char* bytes, wchar_t* message, const wchar_t* staged_path,
                   DWORD count);

// Puts the staged files in place of the addon folder's contents and removes
// the staging folder. OUTCOME_ERROR leaves the addon as it was (in the one case
// where the old addon cannot be renamed back, the next prepare_staging puts it
// back, and the message says so); OUTCOME_INFO: installed, but the staging
// folder stayed.
Outcome install_staged(const wchar_t* staging_folder, const wchar_t* addon_folder,
                       wchar_t* message);
