// Drives the real Pellinport.exe from outside, as a user would.
#include "game/game_constants.h"
#include "settings/settings_store.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring program_path() { return wine_path(PELLINPORT_EXE_PATH); }

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

// A game folder is stored, so start-up has no notice to show.
class StartedProgram : public ProgramRun {
protected:
    void SetUp() override {
        ProgramRun::SetUp();
        set_key_text(HKEY_CURRENT_USER, SETTINGS_SUBKEY, VALUE_GAME_PATH, L"C:\\Jeux\\WoW\\");
    }
    HWND start(RunningProgram& program) {
        EXPECT_TRUE(program.started());
        return wait_for_window(program.id(), L"LZMain", L"Pellinport 1.1.018");
    }
};

TEST_F(ProgramRun, FirstStartOnEmptyMachineSaysGameNotFoundThenOpensTheWindow) {
    RunningProgram program(program_path());
    ASSERT_TRUE(program.started());
    HWND box = wait_for_window(program.id(), L"#32770", L"Information");
    ASSERT_TRUE(box) << "no information box";
    EXPECT_EQ(L"Impossible de trouver World of Warcraft.\n"
              L"Veuillez indiquer son emplacement dans les options.",
              message_box_text(box));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, 0, KEY_READ, &key));
    if (key) RegCloseKey(key);

    press_button(box, IDOK);
    HWND window = wait_for_window(program.id(), L"LZMain", L"Pellinport 1.1.018");
    ASSERT_TRUE(window) << "the main window opens after the notice";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, program.wait_exit());
}

TEST_F(StartedProgram, CloseBoxAndQuitEndWithExitCodeZero) {
    const struct {
        const char* way;
        UINT message;
        WPARAM wparam;
    } ways[] = {{"close box", WM_SYSCOMMAND, SC_CLOSE}, {"&Quitter", WM_COMMAND, 21}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        RunningProgram program(program_path());
        HWND window = start(program);
        ASSERT_TRUE(window);
        PostMessageW(window, way.message, way.wparam, 0);
        EXPECT_EQ(0u, program.wait_exit());
    }
}

TEST_F(StartedProgram, SecondCopyIsRefused) {
    RunningProgram first(program_path());
    HWND window = start(first);
    ASSERT_TRUE(window);

    RunningProgram second(program_path());
    ASSERT_TRUE(second.started());
    HWND box = wait_for_window(second.id(), L"#32770", nullptr);
    ASSERT_TRUE(box) << "no error box from the second copy";
    EXPECT_EQ(L"L'application est déjà lancée.", message_box_text(box));
    EXPECT_FALSE(wait_for_window(second.id(), L"LZMain", nullptr, 300));
    press_button(box, IDOK);
    EXPECT_EQ(0u, second.wait_exit());
    EXPECT_TRUE(IsWindow(window)) << "the first copy runs on";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, first.wait_exit());
}

TEST_F(StartedProgram, AboutBoxShowsNameAndVersion) {
    RunningProgram program(program_path());
    HWND window = start(program);
    ASSERT_TRUE(window);
    PostMessageW(window, WM_COMMAND, 24, 0);
    HWND box = wait_for_window(program.id(), L"#32770", L"A propos");
    ASSERT_TRUE(box);
    const std::wstring text = message_box_text(box);
    EXPECT_EQ(0u, text.find(L"Pellinport 1.1\n\n")) << text;
    press_button(box, IDOK);
    PostMessageW(window, WM_COMMAND, 21, 0);
    EXPECT_EQ(0u, program.wait_exit());
}

}  // namespace
