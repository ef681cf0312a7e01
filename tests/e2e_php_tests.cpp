// The player's whole job, end to end, against the realistic stand-in of the
// site (PHP's own form parsing and file handling): the start-up update
// installs the chosen edition, then the send button uploads the data file.
#include "settings/settings_store.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::wstring TITLE = L"Pellinport 1.1.018";
const std::wstring DATA_FILE = L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua";
const std::wstring SITE_FILES = wine_path(PHP_SITE_FILES) + L"\\addon-v2\\uploader\\";
const std::wstring SITE_STATE = wine_path(PHP_SITE_STATE) + L"\\";

bool wait_for_end(HWND dialog) { return wait_for_progress_end(dialog); }

std::string site_file(const std::wstring& edition, const std::wstring& name) {
    return read_whole_file(SITE_FILES + L"version-" + edition + L"\\Quillfern\\" + name);
}

TEST(PlayerWithTheSite, UpdateThenUploadFromTheWindow) {
    delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
    ScratchFolder game;
    game.make_file(L"Wow.exe", "MZ");
    std::string data = "QF_Data = {\r\n";
    for (int i = 0; i < 2000; ++i) data += "\t[" + std::to_string(i) + "] = \"Qu\xeate\",\r\n";
    data += "}\r\nQF_Purge = \"false\"\r\n";
    game.make_file(DATA_FILE, data);
    // The Full edition of the site's version is installed; the player chose Light.
    for (const wchar_t* name : {L"Quillfern.toc", L"Quillfern.lua", L"Images\\Carte.blp"})
        game.make_file(L"Interface\\AddOns\\Quillfern\\" + std::wstring(name), site_file(L"full", name));
    {
        SettingsKey key;
        wchar_t message[LOAD_MESSAGE_CAPACITY];
        load_settings(message, key);
        set_game_path(message, key, game.path().c_str());
        set_username(message, key, L"demo");
        set_password(message, key, L"demo-pass");
        set_account(message, key, L"ALPHA");
        set_addon_edition(message, key, L"Light");
    }

    RunningProgram program(wine_path(PELLINPORT_EXE_PATH));
    ASSERT_TRUE(program.started());
    HWND update = wait_for_window(program.id(), L"#32770", L"Mise à jour", 20000);
    ASSERT_TRUE(update);
    ASSERT_TRUE(wait_for_end(update));
    EXPECT_EQ(L"Mise à jour de l'addon terminée.", window_text(GetDlgItem(update, 52)));
    press_button(update, 50);
    for (const wchar_t* name : {L"Quillfern.toc", L"Quillfern.lua", L"Images\\Carte.blp"})
        EXPECT_EQ(site_file(L"light", name),
                  read_whole_file(game.path() + L"Interface\\AddOns\\Quillfern\\" + name))
            << "the Light edition, byte for byte";

    HWND window = wait_for_window(program.id(), L"LZMain", TITLE.c_str());
    ASSERT_TRUE(window);
    HWND send = child_with_text(window, L"Button", L"Envoi des données");
    ASSERT_TRUE(send);
    for (int i = 0; i < 200 && !IsWindowEnabled(send); ++i) Sleep(50);
    PostMessageW(send, BM_CLICK, 0, 0);
    HWND dialog = wait_for_window(program.id(), L"#32770", L"Envoi des données");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(wait_for_end(dialog));
    EXPECT_EQ(L"Votre envoi a été réalisé avec succès.\n"
              L"Vos données seront remises à zéro au prochain lancement du jeu.",
              window_text(GetDlgItem(dialog, 52)));
    press_button(dialog, 50);

    EXPECT_EQ(data, read_whole_file(SITE_STATE + L"received\\0001-Quillfern.lua"))
        << "the site parsed and kept the very file";
    std::string marked = data;
    marked.replace(marked.find("\"false\""), 7, "\"true!\"");
    EXPECT_EQ(marked, read_whole_file(game.path() + DATA_FILE));
    PostMessageW(window, WM_COMMAND, 21, 0);
    EXPECT_EQ(0u, program.wait_exit());
    delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
}

}  // namespace
