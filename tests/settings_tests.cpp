#include "game/game_constants.h"
#include "settings/settings_store.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// ---- read_setting -------------------------------------------------------

struct ReadCase {
    const char* name;
    size_t value_length;
    size_t capacity;
    Outcome outcome;
    size_t read_length;
};

class ReadSettingCases : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadSettingCases, CutsToCapacity) {
    const ReadCase c = GetParam();
    ScratchKey scratch;
    const std::wstring value = repeat(L'x', c.value_length);
    scratch.set_text(L"v", value);
    SettingsKey key = open_settings(scratch);
    std::wstring buffer(c.capacity + 8, L'#');
    EXPECT_EQ(c.outcome, read_setting(key, L"v", &buffer[0], c.capacity));
    EXPECT_EQ(value.substr(0, c.read_length), std::wstring(buffer.c_str()));
    EXPECT_EQ(L'#', buffer[c.capacity]) << "wrote past the capacity";
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ReadSettingCases,
    ::testing::Values(ReadCase{"capacity_minus_one", 159, 160, OUTCOME_OK, 159},
                      ReadCase{"exactly_capacity", 160, 160, OUTCOME_INFO, 159},
                      ReadCase{"far_over", 5000, 260, OUTCOME_INFO, 259},
                      ReadCase{"empty", 0, 260, OUTCOME_OK, 0},
                      // Larger than the first 8192-byte read: the growing loop.
                      ReadCase{"huge_whole", 20000, 20001, OUTCOME_OK, 20000},
                      ReadCase{"huge_cut", 20000, 520, OUTCOME_INFO, 519}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ReadSetting, OtherTypesAndMissingValuesReadAsAbsent) {
    ScratchKey scratch;
    const std::wstring expandable = L"%TEMP%\\x";
    scratch.set_raw(L"expand", REG_EXPAND_SZ, expandable.c_str(),
                    static_cast<DWORD>((expandable.size() + 1) * 2));
    const DWORD number = 42;
    scratch.set_raw(L"number", REG_DWORD, &number, sizeof(number));
    const std::wstring multi = std::wstring(L"a\0b\0", 4);
    scratch.set_raw(L"multi", REG_MULTI_SZ, multi.c_str(), static_cast<DWORD>((multi.size() + 1) * 2));
    SettingsKey key = open_settings(scratch);
    for (const wchar_t* name : {L"expand", L"number", L"multi", L"missing"}) {
        wchar_t buffer[260] = L"stale";
        EXPECT_EQ(OUTCOME_ERROR, read_setting(key, name, buffer, 260)) << name;
        EXPECT_STREQ(L"", buffer) << name;
    }
}

TEST(ReadSetting, ValueStoredWithoutTerminatorStaysInsideTheBuffer) {
    ScratchKey scratch;
    const std::wstring value = repeat(L'y', 10);
    scratch.set_raw(L"v", REG_SZ, value.c_str(), 20);  // no terminator
    SettingsKey key = open_settings(scratch);
    wchar_t exact[11];
    EXPECT_EQ(OUTCOME_OK, read_setting(key, L"v", exact, 11));
    EXPECT_EQ(value, exact);
    wchar_t small[10];
    EXPECT_EQ(OUTCOME_INFO, read_setting(key, L"v", small, 10));
    EXPECT_EQ(value.substr(0, 9), small);
}

TEST(WriteSetting, StoresRegSzWithTerminator) {
    ScratchKey scratch;
    SettingsKey key = open_settings(scratch);
    EXPECT_EQ(ERROR_SUCCESS, write_setting(key, L"v", L"données"));
    DWORD type = 0, bytes = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, scratch.subkey(), L"v",
                                          RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(8u * sizeof(wchar_t), bytes);
}

// ---- getters and setters ------------------------------------------------

TEST(Setters, GamePathLengthRules) {
    ScratchKey scratch;
    SettingsKey key = open_settings(scratch);
    wchar_t message[MESSAGE_CAPACITY];

    EXPECT_EQ(OUTCOME_ERROR, set_game_path(message, key, L""));
    EXPECT_STREQ(L"Impossible de modifier le chemin de World of Warcraft.\nChemin non spécifié.",
                 message);
    EXPECT_EQ(OUTCOME_ERROR, set_game_path(message, key, repeat(L'p', 261).c_str()));
    EXPECT_STREQ(L"Impossible de mettre à jour les informations du compte.\n"
                 L"Le chemin d'accès est trop long.",
                 message);
    EXPECT_FALSE(scratch.has_value(VALUE_GAME_PATH));

    EXPECT_EQ(OUTCOME_OK, set_game_path(message, key, repeat(L'p', 260).c_str()));
    EXPECT_STREQ(L"", message);
    EXPECT_EQ(repeat(L'p', 260), scratch.text(VALUE_GAME_PATH));

    wchar_t path[260];
    EXPECT_EQ(OUTCOME_INFO, get_game_path(key, path, 260));
    EXPECT_EQ(repeat(L'p', 259), path);
}

TEST(Setters, UsernameAccountAndEditionAreStoredAsGiven) {
    ScratchKey scratch;
    SettingsKey key = open_settings(scratch);
    wchar_t message[MESSAGE_CAPACITY] = L"stale";
    wchar_t buffer[260];

    EXPECT_EQ(OUTCOME_ERROR, set_username(message, key, repeat(L'u', 261).c_str()));
    EXPECT_STREQ(L"Impossible de mettre à jour les informations du compte.\n"
                 L"Le nom d'utilisateur est trop long.",
                 message);
    EXPECT_FALSE(scratch.has_value(VALUE_USERNAME));

    EXPECT_EQ(OUTCOME_OK, set_username(message, key, L""));
    EXPECT_EQ(OUTCOME_OK, get_username(key, buffer));
    EXPECT_STREQ(L"", buffer);
    EXPECT_EQ(OUTCOME_OK, set_username(message, key, L"Élodie"));
    EXPECT_EQ(OUTCOME_OK, get_username(key, buffer));
    EXPECT_STREQ(L"Élodie", buffer);

    EXPECT_EQ(OUTCOME_OK, set_account(message, key, L"ALPHA"));
    EXPECT_EQ(OUTCOME_OK, get_account(key, buffer));
    EXPECT_STREQ(L"ALPHA", buffer);

    EXPECT_EQ(OUTCOME_OK, set_addon_edition(message, key, EDITION_FULL));
    EXPECT_EQ(L"Full", scratch.text(VALUE_ADDON_EDITION));
}

TEST(Setters, FailedWritesGiveTheirMessagesAndStoreNothing) {
    ScratchKey scratch;
    open_settings(scratch);  // creates the key
    SettingsKey key = open_settings(scratch, KEY_READ);
    wchar_t message[MESSAGE_CAPACITY];
    const wchar_t* account_info = L"Impossible de mettre à jour les informations du compte.\n"
                                  L"La sauvegarde des paramètres a échoué.";

    EXPECT_EQ(OUTCOME_ERROR, set_game_path(message, key, L"C:\\Jeux\\"));
    EXPECT_STREQ(L"Impossible de mettre à jour le chemin de World of Warcraft.\n"
                 L"La sauvegarde des paramètres a échoué.",
                 message);
    EXPECT_EQ(OUTCOME_ERROR, set_username(message, key, L"nom"));
    EXPECT_STREQ(account_info, message);
    EXPECT_EQ(OUTCOME_ERROR, set_password(message, key, L"secret"));
    EXPECT_STREQ(account_info, message);
    EXPECT_EQ(OUTCOME_ERROR, set_account(message, key, L"ALPHA"));
    EXPECT_STREQ(L"Impossible de sauvegarder le nom du compte utilisé.\n"
                 L"Vous devrez sélectionner le compte à chaque envoi de données.",
                 message);
    EXPECT_EQ(OUTCOME_ERROR, set_addon_edition(message, key, L"Full"));
    EXPECT_STREQ(L"Impossible de sauvegarder la version de l'addon souhaitée.\n"
                 L"La version Light sera téléchargée par défaut.",
                 message);
    for (const wchar_t* name : {VALUE_GAME_PATH, VALUE_USERNAME, VALUE_PASSWORD, VALUE_ACCOUNT,
                                VALUE_ADDON_EDITION})
        EXPECT_FALSE(scratch.has_value(name)) << name;
}

TEST(AddonEdition, AnythingButFullOrLightReadsAsLight) {
    ScratchKey scratch;
    SettingsKey key = open_settings(scratch);
    wchar_t buffer[260];
    EXPECT_EQ(OUTCOME_OK, get_addon_edition(key, buffer));
    EXPECT_STREQ(L"Light", buffer) << "absent value";
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"Full", L"Full"}, {L"Light", L"Light"}, {L"full", L"Light"},
        {L"FULL", L"Light"}, {L"Full ", L"Light"}, {L"", L"Light"}};
    for (const auto& c : cases) {
        scratch.set_text(VALUE_ADDON_EDITION, c.first);
        EXPECT_EQ(OUTCOME_OK, get_addon_edition(key, buffer));
        EXPECT_STREQ(c.second, buffer) << c.first;
    }
}

TEST(Password, StoredScrambledAndReadBackInClear) {
    ScratchKey scratch;
    SettingsKey key = open_settings(scratch);
    wchar_t message[MESSAGE_CAPACITY];
    wchar_t buffer[260];

    EXPECT_EQ(OUTCOME_ERROR, get_password(key, buffer));
    EXPECT_EQ(OUTCOME_OK, set_password(message, key, L"motdepasse"));
    EXPECT_EQ(L"gklpljmnebdkjlchanen", scratch.text(VALUE_PASSWORD));
    EXPECT_EQ(OUTCOME_OK, get_password(key, buffer));
    EXPECT_STREQ(L"motdepasse", buffer);

    EXPECT_EQ(OUTCOME_OK, set_password(message, key, L"Été à l'île ÿ"));
    EXPECT_EQ(OUTCOME_OK, get_password(key, buffer));
    EXPECT_STREQ(L"Été à l'île ÿ", buffer);
}

TEST(Password, LengthAndCharacterLimits) {
    ScratchKey scratch;
    SettingsKey key = open_settings(scratch);
    wchar_t message[MESSAGE_CAPACITY];
    wchar_t buffer[260];

    EXPECT_EQ(OUTCOME_ERROR, set_password(message, key, repeat(L'a', 261).c_str()));
    EXPECT_STREQ(L"Impossible de sauvegarder le mot de passe.\nMot de passe trop long.", message);
    EXPECT_FALSE(scratch.has_value(VALUE_PASSWORD));

    EXPECT_EQ(OUTCOME_OK, set_password(message, key, repeat(L'a', 260).c_str()));
    EXPECT_EQ(518u, scratch.text(VALUE_PASSWORD).size());
    EXPECT_EQ(OUTCOME_OK, get_password(key, buffer));
    EXPECT_EQ(repeat(L'a', 259), buffer);

    EXPECT_EQ(OUTCOME_OK, set_password(message, key, L"prix 5\u20AC"));
    EXPECT_TRUE(scratch.has_value(VALUE_PASSWORD));
    EXPECT_EQ(L"", scratch.text(VALUE_PASSWORD));
    EXPECT_EQ(OUTCOME_OK, get_password(key, buffer));
    EXPECT_STREQ(L"", buffer);
}

TEST(Password, OversizedOrForeignStoredValuesReadAsNoPassword) {
    ScratchKey scratch;
    SettingsKey key = open_settings(scratch);
    wchar_t buffer[260];
    scratch.set_text(VALUE_PASSWORD, repeat(L'b', 520));
    EXPECT_EQ(OUTCOME_INFO, get_password(key, buffer));
    EXPECT_STREQ(L"", buffer);
    wchar_t message[MESSAGE_CAPACITY];
    ASSERT_EQ(OUTCOME_OK, set_password(message, key, repeat(L'c', 259).c_str()));
    scratch.set_text(VALUE_PASSWORD, scratch.text(VALUE_PASSWORD) + L"x");  // 519 letters
    EXPECT_EQ(OUTCOME_OK, get_password(key, buffer));
    EXPECT_EQ(repeat(L'c', 259), buffer);
    scratch.set_text(VALUE_PASSWORD, L"ab\u20ACcd");
    EXPECT_EQ(OUTCOME_ERROR, get_password(key, buffer));
    EXPECT_STREQ(L"", buffer);
}

// ---- load_settings ------------------------------------------------------

// load_settings also looks at two fixed keys under HKEY_LOCAL_MACHINE; each
// case starts and ends with both absent (the Wine prefix is private).
class LoadSettings : public ::testing::Test {
protected:
    void SetUp() override { clear_machine_keys(); }
    void TearDown() override { clear_machine_keys(); }
    static void clear_machine_keys() {
        delete_key_tree(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY);
        delete_key_tree(HKEY_LOCAL_MACHINE, GAME_REGISTRY_SUBKEY);
    }
    SettingsKey key_for(const ScratchKey& scratch) {
        SettingsKey key;
        key.subkey = scratch.subkey();
        return key;
    }
    ScratchKey scratch_;
    wchar_t message_[LOAD_MESSAGE_CAPACITY];
};

TEST_F(LoadSettings, FirstStartWithNothingCreatesTheKeyAndSaysGameNotFound) {
    delete_key_tree(HKEY_CURRENT_USER, scratch_.subkey());
    SettingsKey key = key_for(scratch_);
    EXPECT_EQ(OUTCOME_INFO, load_settings(message_, key));
    EXPECT_STREQ(L"Impossible de trouver World of Warcraft.\n"
                 L"Veuillez indiquer son emplacement dans les options.",
                 message_);
    EXPECT_TRUE(key.handle);
    HKEY probe = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, scratch_.subkey(), 0, KEY_READ, &probe));
    RegCloseKey(probe);
    EXPECT_FALSE(scratch_.has_value(VALUE_ADDON_EDITION));
    wchar_t edition[260];
    get_addon_edition(key, edition);
    EXPECT_STREQ(L"Light", edition);
}

TEST_F(LoadSettings, DetectedGameFolderIsStoredAndAnnouncedOnce) {
    set_key_text(HKEY_LOCAL_MACHINE, GAME_REGISTRY_SUBKEY, L"InstallPath",
                 L"C:\\Jeux\\World of Warcraft\\");
    {
        SettingsKey key = key_for(scratch_);
        EXPECT_EQ(OUTCOME_INFO, load_settings(message_, key));
        EXPECT_STREQ(L"Le répertoire de World of Warcraft semble être: C:\\Jeux\\World of "
                     L"Warcraft\\\nSi ce répertoire est erroné, merci de le modifier dans les "
                     L"options.",
                     message_);
        EXPECT_EQ(L"C:\\Jeux\\World of Warcraft\\", scratch_.text(VALUE_GAME_PATH));
        EXPECT_FALSE(scratch_.has_value(VALUE_ADDON_EDITION));
    }
    SettingsKey again = key_for(scratch_);
    EXPECT_EQ(OUTCOME_OK, load_settings(message_, again));
    EXPECT_STREQ(L"", message_);
    EXPECT_EQ(L"Light", scratch_.text(VALUE_ADDON_EDITION));
}

TEST_F(LoadSettings, LongestDetectedPathFillsTheNoticeExactly) {
    set_key_text(HKEY_LOCAL_MACHINE, GAME_REGISTRY_SUBKEY, L"InstallPath", repeat(L'g', 400));
    SettingsKey key = key_for(scratch_);
    EXPECT_EQ(OUTCOME_INFO, load_settings(message_, key));
    EXPECT_EQ(375u, wcslen(message_));
    EXPECT_EQ(repeat(L'g', 259), scratch_.text(VALUE_GAME_PATH));
}

TEST_F(LoadSettings, GameKeyWithoutInstallPathLooksCorrupt) {
    set_key_text(HKEY_LOCAL_MACHINE, GAME_REGISTRY_SUBKEY, L"Other", L"x");
    SettingsKey key = key_for(scratch_);
    EXPECT_EQ(OUTCOME_INFO, load_settings(message_, key));
    EXPECT_STREQ(L"Votre installation de World of Warcraft semble corrompue.\n"
                 L"Veuillez indiquer l'emplacement du jeu dans les options.",
                 message_);
    EXPECT_FALSE(scratch_.has_value(VALUE_GAME_PATH));
}

TEST_F(LoadSettings, OldKeyIsCarriedOverSilently) {
    const std::wstring long_password = repeat(L'k', 260);
    set_key_text(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY, VALUE_GAME_PATH, L"D:\\WoW\\");
    set_key_text(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY, VALUE_ACCOUNT, L"ALPHA");
    set_key_text(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY, VALUE_ADDON_EDITION, L"Full");
    set_key_text(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY, VALUE_PASSWORD, long_password);
    set_key_text(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY, VALUE_USERNAME, L"joueur");
    set_key_text(HKEY_LOCAL_MACHINE, GAME_REGISTRY_SUBKEY, L"InstallPath", L"E:\\Ignored\\");
    SettingsKey key = key_for(scratch_);
    EXPECT_EQ(OUTCOME_OK, load_settings(message_, key));
    EXPECT_STREQ(L"", message_);
    EXPECT_EQ(L"D:\\WoW\\", scratch_.text(VALUE_GAME_PATH));
    EXPECT_EQ(L"ALPHA", scratch_.text(VALUE_ACCOUNT));
    EXPECT_EQ(L"Full", scratch_.text(VALUE_ADDON_EDITION));
    EXPECT_EQ(L"joueur", scratch_.text(VALUE_USERNAME));
    EXPECT_FALSE(scratch_.has_value(VALUE_PASSWORD)) << "a 260-letter password does not fit";
    HKEY old_key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY, 0, KEY_READ, &old_key));
    RegCloseKey(old_key);
}

TEST_F(LoadSettings, EmptyOldKeyStillEndsSilentlyWithoutEditionDefault) {
    set_key_text(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY, L"Unrelated", L"x");
    SettingsKey key = key_for(scratch_);
    EXPECT_EQ(OUTCOME_OK, load_settings(message_, key));
    EXPECT_STREQ(L"", message_);
    EXPECT_FALSE(scratch_.has_value(VALUE_GAME_PATH));
    EXPECT_FALSE(scratch_.has_value(VALUE_ADDON_EDITION));
}

TEST_F(LoadSettings, ExistingEditionIsKept) {
    scratch_.set_text(VALUE_GAME_PATH, L"C:\\WoW\\");
    scratch_.set_text(VALUE_ADDON_EDITION, L"Full");
    SettingsKey key = key_for(scratch_);
    EXPECT_EQ(OUTCOME_OK, load_settings(message_, key));
    EXPECT_EQ(L"Full", scratch_.text(VALUE_ADDON_EDITION));
}

TEST_F(LoadSettings, KeyThatCanBeNeitherOpenedNorCreatedIsFatal) {
    SettingsKey key;
    key.root = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7A5C0));  // no such key handle
    key.subkey = scratch_.subkey();
    EXPECT_EQ(OUTCOME_ERROR, load_settings(message_, key));
    EXPECT_STREQ(L"Vous n'avez pas les droits suffisants pour utiliser cette application.\n"
                 L"Veuillez contacter votre administrateur.",
                 message_);
    EXPECT_FALSE(key.handle);
}

}  // namespace
