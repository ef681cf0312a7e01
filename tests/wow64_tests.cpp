// What only the 32-bit program sees on a 64-bit system, checked on the real
// 32-bit Pellinport.exe: HKEY_LOCAL_MACHINE keys written by a 32-bit installer
// land under Wow6432Node, and the structures passed to Windows have their
// 32-bit sizes. Built and run only in the 32-bit pass.
#include "settings/settings_store.h"
#include "tests/support/standin_site.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"

#include <commdlg.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring program_path() { return wine_path(PELLINPORT_EXE_PATH); }

const std::string RELEASE_LIST = "/addon-v2/uploader/release.txt";
const std::string TOC = "## Title: Quillfern\r\n## Version: Version 2.2\r\n## X-Version: Light\r\n";

// Where a 32-bit installer's HKLM\SOFTWARE\... writes end up, and where a
// 64-bit one's do, both named from the 64-bit view so that neither depends
// on the redirection under test.
const std::wstring WOW64_SOFTWARE = L"SOFTWARE\\Wow6432Node\\";
const std::wstring NATIVE_SOFTWARE = L"SOFTWARE\\";
const wchar_t* const OLD_SETTINGS_NAME = OLD_SETTINGS_SUBKEY + 9;  // past "SOFTWARE\"
const wchar_t* const GAME_KEY_NAME = GAME_REGISTRY_SUBKEY + 9;
const wchar_t GAME_KEY_TOP[] = L"Blizzard Entertainment";

void set_hklm_text(const std::wstring& subkey, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0,
                                             KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr));
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text.c_str()), bytes));
    RegCloseKey(key);
}

bool hklm_key_exists(const std::wstring& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void delete_hklm_tree(const std::wstring& subkey) {
    const size_t split = subkey.rfind(L'\\');
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.substr(0, split).c_str(), 0,
                      KEY_ALL_ACCESS | KEY_WOW64_64KEY, &parent) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(parent, subkey.substr(split + 1).c_str());
    RegCloseKey(parent);
}

void clear_all_settings() {
    delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
    for (const std::wstring& software : {WOW64_SOFTWARE, NATIVE_SOFTWARE}) {
        delete_hklm_tree(software + OLD_SETTINGS_NAME);
        delete_hklm_tree(software + GAME_KEY_TOP);
        ASSERT_FALSE(hklm_key_exists(software + OLD_SETTINGS_NAME));
        ASSERT_FALSE(hklm_key_exists(software + GAME_KEY_TOP));
    }
}

std::wstring stored_setting(const wchar_t* name) {
    wchar_t text[MAX_PATH * 2] = L"";
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, name, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return L"<absent>";
    return text;
}

// A control's text read by WM_GETTEXT: GetWindowTextW gives only the
// caption the window was created with when it belongs to another process.
std::wstring control_text(HWND dialog, int id) {
    wchar_t text[MAX_PATH * 2] = L"";
    SendMessageW(GetDlgItem(dialog, id), WM_GETTEXT, MAX_PATH * 2, reinterpret_cast<LPARAM>(text));
    return text;
}

struct Finding {
    DWORD process_id;
    HWND found;
};

// The common file dialog among the program's windows: the one whose file
// name control is there (cmb13 in the Explorer-style template, edt1 in the
// older one).
BOOL CALLBACK find_file_dialog_in(HWND window, LPARAM param) {
    auto* finding = reinterpret_cast<Finding*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != finding->process_id || !IsWindowVisible(window) || class_name(window) != L"#32770")
        return TRUE;
    if (!GetDlgItem(window, 0x47c) && !GetDlgItem(window, 0x480)) return TRUE;
    finding->found = window;
    return FALSE;
}

HWND find_file_dialog(DWORD process_id, DWORD timeout_ms = 10000) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    Finding finding{process_id, nullptr};
    do {
        EnumWindows(find_file_dialog_in, reinterpret_cast<LPARAM>(&finding));
        if (finding.found) return finding.found;
        Sleep(100);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

class Wow64Run : public ::testing::Test {
protected:
    void SetUp() override {
        clear_all_settings();
        game_.make_file(L"Wow.exe", "MZ");
        game_.make_file(L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua", "QF_Purge = \"false\"\r\n");
        game_.make_file(L"Interface\\AddOns\\Quillfern\\Quillfern.toc", TOC);
        site_.script({{RELEASE_LIST, {200, "2.2\n1\nQuillfern.toc\n"}}});
    }
    void TearDown() override { clear_all_settings(); }

    // As the game's installer writes it, with the trailing backslash.
    std::wstring game_folder() const { return game_.path(); }

    ScratchFolder game_;
    StandinSite site_;
};

TEST(Wow64, TheseTestsAreA32BitProgramOnA64BitSystem) {
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_TRUE(wow64) << "not under WoW64: nothing here tests the 32-bit program";
    EXPECT_EQ(4u, sizeof(void*));
    // The sizes Windows checks in lStructSize and dwSize.
    EXPECT_EQ(88u, sizeof(OPENFILENAMEW));
    EXPECT_EQ(556u, sizeof(PROCESSENTRY32W));
}

TEST_F(Wow64Run, GameKeyOfA32BitInstallerGivesTheGameFolderAtFirstStart) {
    set_hklm_text(WOW64_SOFTWARE + GAME_KEY_NAME, GAME_REGISTRY_INSTALL_PATH, game_folder());
    RunningProgram program(program_path());
    ASSERT_TRUE(program.started());
    HWND box = wait_for_window(program.id(), L"#32770", L"Information");
    ASSERT_TRUE(box) << "no notice at the first start";
    EXPECT_EQ(L"Le répertoire de World of Warcraft semble être: " + game_folder() +
                  L"\nSi ce répertoire est erroné, merci de le modifier dans les options.",
              message_box_text(box));
    EXPECT_EQ(game_folder(), stored_setting(VALUE_GAME_PATH));
    press_button(box, IDOK);
}

TEST_F(Wow64Run, OldSettingsOfA32BitInstallerAreCarriedOverAndTheFileDialogOpens) {
    const std::wstring old_key = WOW64_SOFTWARE + OLD_SETTINGS_NAME;
    set_hklm_text(old_key, VALUE_GAME_PATH, game_folder());
    set_hklm_text(old_key, VALUE_USERNAME, L"joueur");
    set_hklm_text(old_key, VALUE_ACCOUNT, L"ALPHA");
    set_hklm_text(old_key, VALUE_ADDON_EDITION, L"Full");
    RunningProgram program(program_path());
    ASSERT_TRUE(program.started());
    // No password among them: the options come first, without a notice.
    HWND options = wait_for_window(program.id(), L"#32770", L"Options");
    ASSERT_TRUE(options) << "the options open on carried-over settings without a password";
    EXPECT_FALSE(wait_for_window(program.id(), L"#32770", L"Information", 0));
    EXPECT_EQ(game_folder(), stored_setting(VALUE_GAME_PATH));
    EXPECT_EQ(L"joueur", stored_setting(VALUE_USERNAME));
    EXPECT_EQ(L"ALPHA", stored_setting(VALUE_ACCOUNT));
    EXPECT_EQ(L"Full", stored_setting(VALUE_ADDON_EDITION));
    EXPECT_EQ(game_folder(), control_text(options, 65));
    EXPECT_EQ(L"joueur", control_text(options, 69));

    // GetOpenFileNameW refuses an OPENFILENAMEW of the wrong size without
    // showing anything.
    press_button(options, 66);  // "Parcourir"
    HWND file_dialog = find_file_dialog(program.id());
    ASSERT_TRUE(file_dialog) << "the 32-bit program's file dialog did not open";
    press_button(file_dialog, IDCANCEL);
    EXPECT_TRUE(IsWindow(options));
    press_button(options, 64);  // "Annuler"
}

TEST_F(Wow64Run, KeysOfA64BitInstallerAreNotSeen) {
    set_hklm_text(NATIVE_SOFTWARE + GAME_KEY_NAME, GAME_REGISTRY_INSTALL_PATH, game_folder());
    set_hklm_text(NATIVE_SOFTWARE + OLD_SETTINGS_NAME, VALUE_GAME_PATH, game_folder());
    RunningProgram program(program_path());
    ASSERT_TRUE(program.started());
    HWND box = wait_for_window(program.id(), L"#32770", L"Information");
    ASSERT_TRUE(box);
    EXPECT_EQ(L"Impossible de trouver World of Warcraft.\n"
              L"Veuillez indiquer son emplacement dans les options.",
              message_box_text(box))
        << "a 32-bit program on 64-bit Windows reads HKLM\\SOFTWARE through Wow6432Node only";
    EXPECT_EQ(L"<absent>", stored_setting(VALUE_GAME_PATH));
    press_button(box, IDOK);
}

}  // namespace
