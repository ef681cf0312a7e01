// The user's settings, kept as REG_SZ values under one registry key.
// Nothing is cached: every getter reads the registry again.
#pragma once

#include "base/outcome.h"
#include "base/unique_handle.h"

#include <windows.h>

constexpr wchar_t SETTINGS_SUBKEY[] = L"SOFTWARE\\Quillfern";
constexpr REGSAM SETTINGS_ACCESS = KEY_READ | KEY_WRITE;
// The settings' older home under HKEY_LOCAL_MACHINE, read once at start-up.
constexpr wchar_t OLD_SETTINGS_SUBKEY[] = L"SOFTWARE\\Quillfern";
// The game's own key (under HKEY_LOCAL_MACHINE), where a first start finds the game folder.
constexpr wchar_t GAME_REGISTRY_SUBKEY[] = L"SOFTWARE\\Blizzard Entertainment\\World of Warcraft";
constexpr wchar_t GAME_REGISTRY_INSTALL_PATH[] = L"InstallPath";

constexpr wchar_t VALUE_GAME_PATH[] = L"WoW Install Path";
constexpr wchar_t VALUE_USERNAME[] = L"Username";
constexpr wchar_t VALUE_PASSWORD[] = L"Password";
constexpr wchar_t VALUE_ACCOUNT[] = L"Account";
constexpr wchar_t VALUE_ADDON_EDITION[] = L"Addon version";

constexpr wchar_t EDITION_LIGHT[] = L"Light";
constexpr wchar_t EDITION_FULL[] = L"Full";

// load_settings' notice holds 48 + 259 + 68 characters and the terminator.
constexpr std::size_t LOAD_MESSAGE_CAPACITY = 376;

struct SettingsKey {
    const wchar_t* subkey = SETTINGS_SUBKEY;
    HKEY root = HKEY_CURRENT_USER;
    UniqueHkey handle;  // opened by load_settings, closed with the record
    REGSAM access = SETTINGS_ACCESS;
};

// capacity in characters, terminator included. OUTCOME_ERROR: absent,
// unreadable or not REG_SZ (buffer empty); OUTCOME_INFO: cut to capacity - 1.
Outcome read_setting(const SettingsKey& key, const wchar_t* name, wchar_t* buffer,
                     std::size_t capacity);
// Returns the registry status (ERROR_SUCCESS on success).
LSTATUS write_setting(const SettingsKey& key, const wchar_t* name, const wchar_t* text);

// Opens or creates the key, carries over the older key's values or detects the
// game folder. message holds LOAD_MESSAGE_CAPACITY characters.
Outcome load_settings(wchar_t* message, SettingsKey& key);

// Getters: 260-character buffers unless a capacity is given.
Outcome get_game_path(const SettingsKey& key, wchar_t* buffer, std::size_t capacity);
Outcome get_username(const SettingsKey& key, wchar_t* buffer);
Outcome get_account(const SettingsKey& key, wchar_t* buffer);
Outcome get_addon_edition(const SettingsKey& key, wchar_t* buffer);
Outcome get_password(const SettingsKey& key, wchar_t* buffer);

// Setters: message holds MESSAGE_CAPACITY characters.
Outcome set_game_path(wchar_t* message, const SettingsKey& key, const wchar_t* path);
Outcome set_username(wchar_t* message, const SettingsKey& key, const wchar_t* name);
Outcome set_password(wchar_t* message, const SettingsKey& key, const wchar_t* password);
Outcome set_account(wchar_t* message, const SettingsKey& key, const wchar_t* account);
Outcome set_addon_edition(wchar_t* message, const SettingsKey& key, const wchar_t* edition);
