// What the program relies on of the game's installation.
#pragma once

// The game's own registry key (under HKEY_LOCAL_MACHINE) and its folder value.
constexpr wchar_t GAME_REGISTRY_SUBKEY[] = L"SOFTWARE\\Blizzard Entertainment\\World of Warcraft";
constexpr wchar_t GAME_REGISTRY_INSTALL_PATH[] = L"InstallPath";
