// What the program relies on of the game's installation. Every path under the
// game folder is formed by plain concatenation onto it (it ends with '\').
#pragma once

#include <cstddef>

constexpr wchar_t GAME_ACCOUNTS_FOLDER[] = L"WTF\\Account\\";
constexpr wchar_t GAME_SAVED_VARIABLES_FOLDER[] = L"\\SavedVariables\\";
// The addon's saved-data file; also the file name the site receives.
#define PELLINPORT_DATA_FILE_NAME "Quillfern.lua"
constexpr wchar_t ADDON_DATA_FILE_NAME[] = L"" PELLINPORT_DATA_FILE_NAME;
constexpr wchar_t GAME_ADDONS_FOLDER[] = L"Interface\\AddOns\\";
constexpr wchar_t ADDON_FOLDER_NAME[] = L"Quillfern\\";
constexpr wchar_t ADDON_TOC_FILE_NAME[] = L"Quillfern.toc";
constexpr wchar_t GAME_EXECUTABLE_NAME[] = L"Wow.exe";
constexpr wchar_t GAME_LAUNCHER_NAME[] = L"Launcher.exe";
// The running game in the process list; compared without letter case, as
// Windows compares file names.
constexpr wchar_t GAME_PROCESS_NAME[] = L"WoW.exe";

// Largest data file that may be sent, inclusive (1536 KiB).
constexpr std::size_t DATA_FILE_MAX_BYTES = 1572864;
constexpr std::size_t MAX_GAME_ACCOUNTS = 20;
