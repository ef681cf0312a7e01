#include "settings/settings_store.h"

#include "settings/password_scrambler.h"
#include "base/text_util.h"

#include <cwchar>

namespace {

// The scrambled password takes two letters per byte.
constexpr std::size_t SCRAMBLED_PASSWORD_CAPACITY = 520;
// Longest text that a setter accepts, in characters.
constexpr std::size_t SETTING_MAX_LENGTH = 260;

constexpr DWORD FIRST_READ_BYTES = 8192;
constexpr DWORD READ_GROWTH_BYTES = 4096;

constexpr wchar_t MSG_NO_RIGHTS[] =
    L"Vous n'avez pas les droits suffisants pour utiliser cette application.\n"
    L"Veuillez contacter votre administrateur.";
constexpr wchar_t MSG_GAME_NOT_FOUND[] =
    L"Impossible de trouver World of Warcraft.\n"
    L"Veuillez indiquer son emplacement dans les options.";
constexpr wchar_t MSG_GAME_CORRUPT[] =
    L"Votre installation de World of Warcraft semble corrompue.\n"
    L"Veuillez indiquer l'emplacement du jeu dans les options.";
constexpr wchar_t MSG_GAME_DETECTED_BEFORE[] = L"Le répertoire de World of Warcraft semble être: ";
constexpr wchar_t MSG_GAME_DETECTED_AFTER[] =
    L"\nSi ce répertoire est erroné, merci de le modifier dans les options.";

constexpr wchar_t MSG_PATH_EMPTY[] =
    L"Impossible de modifier le chemin de World of Warcraft.\nChemin non spécifié.";
constexpr wchar_t MSG_PATH_TOO_LONG[] =
    L"Impossible de mettre à jour les informations du compte.\nLe chemin d'accès est trop long.";
constexpr wchar_t MSG_PATH_NOT_SAVED[] =
    L"Impossible de mettre à jour le chemin de World of Warcraft.\n"
    L"La sauvegarde des paramètres a échoué.";
constexpr wchar_t MSG_USERNAME_TOO_LONG[] =
    L"Impossible de mettre à jour les informations du compte.\n"
    L"Le nom d'utilisateur est trop long.";
constexpr wchar_t MSG_ACCOUNT_INFO_NOT_SAVED[] =
    L"Impossible de mettre à jour les informations du compte.\n"
    L"La sauvegarde des paramètres a échoué.";
constexpr wchar_t MSG_PASSWORD_TOO_LONG[] =
    L"Impossible de sauvegarder le mot de passe.\nMot de passe trop long.";
constexpr wchar_t MSG_ACCOUNT_NOT_SAVED[] =
    L"Impossible de sauvegarder le nom du compte utilisé.\n"
    L"Vous devrez sélectionner le compte à chaque envoi de données.";
constexpr wchar_t MSG_EDITION_NOT_SAVED[] =
    L"Impossible de sauvegarder la version de l'addon souhaitée.\n"
    L"La version Light sera téléchargée par défaut.";

Outcome read_value(HKEY key, const wchar_t* name, wchar_t* buffer, std::size_t capacity) {
    if (capacity == 0) return OUTCOME_ERROR;
    buffer[0] = 0;
    if (!key) return OUTCOME_ERROR;

    DWORD buffer_bytes = FIRST_READ_BYTES;
    // Two spare characters so that even a value stored without its
    // terminator reads as a terminated text.
    auto work = make_buffer<wchar_t>(buffer_bytes / 2 + 2);
    if (!work) return OUTCOME_ERROR;
    DWORD type = 0;
    DWORD size = buffer_bytes;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type,
                                      reinterpret_cast<BYTE*>(work.get()), &size);
    while (status == ERROR_MORE_DATA) {
        buffer_bytes = size + READ_GROWTH_BYTES;
        work = make_buffer<wchar_t>(buffer_bytes / 2 + 2);
        if (!work) return OUTCOME_ERROR;
        size = buffer_bytes;
        status = RegQueryValueExW(key, name, nullptr, &type,
                                  reinterpret_cast<BYTE*>(work.get()), &size);
    }
    if (status != ERROR_SUCCESS || type != REG_SZ) return OUTCOME_ERROR;

    const std::size_t length = wcsnlen(work.get(), size / 2);
    work[length] = 0;
    return copy_text(buffer, capacity, work.get()) ? OUTCOME_OK : OUTCOME_INFO;
}

LSTATUS write_value(HKEY key, const wchar_t* name, const wchar_t* text) {
    const std::size_t bytes = (text_length(text) + 1) * sizeof(wchar_t);
    if (bytes > MAXDWORD) return ERROR_INVALID_PARAMETER;
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(bytes));
}

// Values carried over from the older key, in this order.
constexpr const wchar_t* CARRIED_VALUES[] = {VALUE_GAME_PATH, VALUE_ACCOUNT, VALUE_ADDON_EDITION,
                                             VALUE_PASSWORD, VALUE_USERNAME};

}  // namespace

Outcome read_setting(const SettingsKey& key, const wchar_t* name, wchar_t* buffer,
                     std::size_t capacity) {
    return read_value(key.handle.get(), name, buffer, capacity);
}

LSTATUS write_setting(const SettingsKey& key, const wchar_t* name, const wchar_t* text) {
    if (!key.handle) return ERROR_INVALID_HANDLE;
    return write_value(key.handle.get(), name, text);
}

Outcome load_settings(wchar_t* message, SettingsKey& key) {
    message[0] = 0;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(key.root, key.subkey, 0, key.access, &opened) != ERROR_SUCCESS) {
        opened = nullptr;
        if (RegCreateKeyExW(key.root, key.subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WRITE, nullptr, &opened, nullptr) != ERROR_SUCCESS) {
            copy_text(message, LOAD_MESSAGE_CAPACITY, MSG_NO_RIGHTS);
            return OUTCOME_ERROR;
        }
    }
    key.handle.reset(opened);

    wchar_t value[PATH_CAPACITY];
    if (read_setting(key, VALUE_GAME_PATH, value, PATH_CAPACITY) != OUTCOME_ERROR) {
        if (read_setting(key, VALUE_ADDON_EDITION, value, PATH_CAPACITY) == OUTCOME_ERROR)
            write_setting(key, VALUE_ADDON_EDITION, EDITION_LIGHT);
        return OUTCOME_OK;
    }

    UniqueHkey old_key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY, 0, KEY_READ, old_key.put()) ==
        ERROR_SUCCESS) {
        for (const wchar_t* name : CARRIED_VALUES) {
            if (read_value(old_key.get(), name, value, PATH_CAPACITY) == OUTCOME_OK)
                write_setting(key, name, value);
        }
        return OUTCOME_OK;
    }

    UniqueHkey game_key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, GAME_REGISTRY_SUBKEY, 0, KEY_READ, game_key.put()) !=
        ERROR_SUCCESS) {
        copy_text(message, LOAD_MESSAGE_CAPACITY, MSG_GAME_NOT_FOUND);
    } else if (read_value(game_key.get(), GAME_REGISTRY_INSTALL_PATH, value, PATH_CAPACITY) ==
               OUTCOME_ERROR) {
        copy_text(message, LOAD_MESSAGE_CAPACITY, MSG_GAME_CORRUPT);
    } else {
        write_setting(key, VALUE_GAME_PATH, value);
        copy_text(message, LOAD_MESSAGE_CAPACITY, MSG_GAME_DETECTED_BEFORE);
        append_text(message, LOAD_MESSAGE_CAPACITY, value);
        append_text(message, LOAD_MESSAGE_CAPACITY, MSG_GAME_DETECTED_AFTER);
    }
    return OUTCOME_INFO;
}

Outcome get_game_path(const SettingsKey& key, wchar_t* buffer, std::size_t capacity) {
    return read_setting(key, VALUE_GAME_PATH, buffer, capacity);
}

Outcome get_username(const SettingsKey& key, wchar_t* buffer) {
    return read_setting(key, VALUE_USERNAME, buffer, PATH_CAPACITY);
}

Outcome get_account(const SettingsKey& key, wchar_t* buffer) {
    return read_setting(key, VALUE_ACCOUNT, buffer, PATH_CAPACITY);
}

Outcome get_addon_edition(const SettingsKey& key, wchar_t* buffer) {
    read_setting(key, VALUE_ADDON_EDITION, buffer, PATH_CAPACITY);
    if (std::wcscmp(buffer, EDITION_FULL) != 0 && std::wcscmp(buffer, EDITION_LIGHT) != 0)
        copy_text(buffer, PATH_CAPACITY, EDITION_LIGHT);
    return OUTCOME_OK;
}

Outcome get_password(const SettingsKey& key, wchar_t* buffer) {
    buffer[0] = 0;
    wchar_t scrambled[SCRAMBLED_PASSWORD_CAPACITY];
    const Outcome read = read_setting(key, VALUE_PASSWORD, scrambled, SCRAMBLED_PASSWORD_CAPACITY);
    if (read != OUTCOME_OK) return read;

    char letters[SCRAMBLED_PASSWORD_CAPACITY];
    // Only letters are ever stored; anything outside 8 bits is not our value.
    if (!text_to_latin1(letters, sizeof(letters), scrambled)) return OUTCOME_ERROR;
    PasswordScrambler scrambler;
    const auto clear = unscramble_password(scrambler, letters);
    if (!clear) return OUTCOME_ERROR;
    latin1_to_text(buffer, PATH_CAPACITY, clear.get());
    return OUTCOME_OK;
}

Outcome set_game_path(wchar_t* message, const SettingsKey& key, const wchar_t* path) {
    message[0] = 0;
    const std::size_t length = text_length(path);
    if (length < 1) return report(message, OUTCOME_ERROR, MSG_PATH_EMPTY);
    if (length > SETTING_MAX_LENGTH) return report(message, OUTCOME_ERROR, MSG_PATH_TOO_LONG);
    if (write_setting(key, VALUE_GAME_PATH, path) != ERROR_SUCCESS)
        return report(message, OUTCOME_ERROR, MSG_PATH_NOT_SAVED);
    return OUTCOME_OK;
}

Outcome set_username(wchar_t* message, const SettingsKey& key, const wchar_t* name) {
    message[0] = 0;
    if (text_length(name) > SETTING_MAX_LENGTH) return report(message, OUTCOME_ERROR, MSG_USERNAME_TOO_LONG);
    if (write_setting(key, VALUE_USERNAME, name) != ERROR_SUCCESS)
        return report(message, OUTCOME_ERROR, MSG_ACCOUNT_INFO_NOT_SAVED);
    return OUTCOME_OK;
}

Outcome set_password(wchar_t* message, const SettingsKey& key, const wchar_t* password) {
    message[0] = 0;
    if (text_length(password) > SETTING_MAX_LENGTH) return report(message, OUTCOME_ERROR, MSG_PASSWORD_TOO_LONG);

    // Cut to 259 bytes; a character outside ISO-8859-1 leaves the empty text.
    char clear[PATH_CAPACITY];
    text_to_latin1(clear, sizeof(clear), password);
    PasswordScrambler scrambler;
    const auto letters = scramble_password(scrambler, clear);
    if (!letters) return report(message, OUTCOME_ERROR, MSG_ACCOUNT_INFO_NOT_SAVED);

    wchar_t scrambled[SCRAMBLED_PASSWORD_CAPACITY];
    latin1_to_text(scrambled, SCRAMBLED_PASSWORD_CAPACITY, letters.get());
    if (write_setting(key, VALUE_PASSWORD, scrambled) != ERROR_SUCCESS)
        return report(message, OUTCOME_ERROR, MSG_ACCOUNT_INFO_NOT_SAVED);
    return OUTCOME_OK;
}

Outcome set_account(wchar_t* message, const SettingsKey& key, const wchar_t* account) {
    message[0] = 0;
    if (write_setting(key, VALUE_ACCOUNT, account) != ERROR_SUCCESS)
        return report(message, OUTCOME_ERROR, MSG_ACCOUNT_NOT_SAVED);
    return OUTCOME_OK;
}

Outcome set_addon_edition(wchar_t* message, const SettingsKey& key, const wchar_t* edition) {
    message[0] = 0;
    if (write_setting(key, VALUE_ADDON_EDITION, edition) != ERROR_SUCCESS)
        return report(message, OUTCOME_ERROR, MSG_EDITION_NOT_SAVED);
    return OUTCOME_OK;
}
