// Drives the real Pellinport.exe from outside, as a user would.
#include "settings/game_constants.h"
#include "settings/settings_store.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The build passes the program's Unix path; Wine shows the root as Z:.
std::wstring program_path() {
    const std::string unix_path = PELLINPORT_EXE_PATH;
    std::wstring path = L"Z:";
    for (char c : unix_path) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

void clear_all_settings() {
    delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
    delete_key_tree(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY);
    delete_key_tree(HKEY_LOCAL_MACHINE, GAME_REGISTRY_SUBKEY);
}

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override { clear_all_settings(); }
    void TearDown() override { clear_all_settings(); }
};

TEST_F(ProgramRun, FirstStartOnEmptyMachineSaysGameNotFoundAndCreatesSettingsKey) {
    RunningProgram program(program_path());
    ASSERT_TRUE(program.started());
    HWND box = wait_for_window(program.id(), L"#32770", L"Information");
    ASSERT_TRUE(box) << "no information box";
    EXPECT_EQ(L"Impossible de trouver World of Warcraft.\n"
              L"Veuillez indiquer son emplacement dans les options.",
              message_box_text(box));
    press_button(box, IDOK);
    EXPECT_EQ(0u, program.wait_exit());

    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, 0, KEY_READ, &key));
    if (key) RegCloseKey(key);
}

}  // namespace
