// What players download, checked as they would meet it: the shipped per-user
// installer run silently, the program started from where it was installed,
// the uninstaller, and the portable exe alone in an empty folder. Built and
// run only in the 32-bit pass, on the files scripts/package made.
#include "settings/settings_store.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"
#include "ui/com_ptr.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

const std::wstring PACKAGE_DIR = wine_path(PELLINPORT_PACKAGE_DIR) + L"\\";
const std::wstring SETUP = PACKAGE_DIR + L"Pellinport-1.1.018-setup.exe";
const std::wstring STAGE = PACKAGE_DIR + L"stage\\";
const std::wstring PORTABLE = PACKAGE_DIR + L"portable\\";
const std::wstring TITLE = L"Pellinport 1.1.018";
const wchar_t UNINSTALL_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pellinport";
const wchar_t DESCRIPTION[] = L"Envoyez les données récoltées en jeu sur Quillfern.";
const std::vector<std::wstring> SHIPPED_FILES = {L"LICENSE.txt", L"LISEZMOI.txt", L"Pellinport.exe"};
// Wine under qemu-i386 is slow to start a process.
constexpr DWORD SLOW_MS = 120000;

std::wstring folder_of(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    EXPECT_EQ(S_OK, SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path));
    return std::wstring(path) + L"\\";
}

bool wait_until(const std::function<bool()>& done, DWORD timeout_ms = SLOW_MS) {
    for (DWORD waited = 0; !done(); waited += 200) {
        if (waited >= timeout_ms) return false;
        Sleep(200);
    }
    return true;
}

bool key_exists(const wchar_t* subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring key_text(const wchar_t* subkey, const wchar_t* name) {
    wchar_t text[1024] = L"";
    DWORD bytes = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, subkey, name, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return L"<absent>";
    return text;
}

DWORD key_number(const wchar_t* subkey, const wchar_t* name) {
    DWORD number = 0;
    DWORD bytes = sizeof(number);
    RegGetValueW(HKEY_CURRENT_USER, subkey, name, RRF_RT_REG_DWORD, nullptr, &number, &bytes);
    return number;
}

// Every value of a key as name, type and bytes, to compare before and after.
std::vector<std::wstring> key_values(const wchar_t* subkey) {
    std::vector<std::wstring> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD name_length = 256, type = 0;
        BYTE data[4096];
        DWORD bytes = sizeof(data);
        if (RegEnumValueW(key, index, name, &name_length, nullptr, &type, data, &bytes) != ERROR_SUCCESS)
            break;
        std::wstring row = std::wstring(name) + L"|" + std::to_wstring(type) + L"|";
        for (DWORD i = 0; i < bytes; ++i) row += std::to_wstring(data[i]) + L",";
        values.push_back(row);
    }
    RegCloseKey(key);
    return values;
}

struct Shortcut {
    std::wstring target, description;
};

Shortcut read_shortcut(const std::wstring& path) {
    Shortcut shortcut;
    UniqueCom<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                put_void(link))))
        return shortcut;
    UniqueCom<IPersistFile> file;
    if (FAILED(link.get()->QueryInterface(IID_IPersistFile, put_void(file))) ||
        FAILED(file.get()->Load(path.c_str(), STGM_READ)))
        return shortcut;
    wchar_t text[MAX_PATH] = L"";
    if (SUCCEEDED(link.get()->GetPath(text, MAX_PATH, nullptr, 0))) shortcut.target = text;
    text[0] = L'\0';
    if (SUCCEEDED(link.get()->GetDescription(text, MAX_PATH))) shortcut.description = text;
    return shortcut;
}

// A first start on a machine without the game: the notice, then the main window.
void expect_first_start(const std::wstring& exe) {
    RunningProgram program(exe);
    ASSERT_TRUE(program.started()) << "cannot start " << std::string(exe.begin(), exe.end());
    HWND box = wait_for_window(program.id(), L"#32770", L"Information", SLOW_MS);
    ASSERT_TRUE(box) << "no notice";
    EXPECT_EQ(L"Impossible de trouver World of Warcraft.\n"
              L"Veuillez indiquer son emplacement dans les options.",
              message_box_text(box));
    press_button(box, IDOK);
    EXPECT_TRUE(wait_for_window(program.id(), L"LZMain", TITLE.c_str(), SLOW_MS));
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        install_dir_ = folder_of(CSIDL_LOCAL_APPDATA) + L"Programs\\Pellinport\\";
        shortcut_ = folder_of(CSIDL_PROGRAMS) + L"Pellinport.lnk";
        clean();
    }
    void TearDown() override {
        clean();
        CoUninitialize();
    }
    // Nothing of an earlier run: no installation, no settings.
    void clean() {
        remove_tree(install_dir_.substr(0, install_dir_.size() - 1));
        DeleteFileW(shortcut_.c_str());
        delete_key_tree(HKEY_CURRENT_USER, UNINSTALL_KEY);
        delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
    }

    std::wstring install_dir_, shortcut_;
};

TEST_F(Installer, InstallsPerUserRunsAndUninstallsOnlyItsOwnFiles) {
    {
        RunningProgram setup(SETUP, L"/S");
        ASSERT_TRUE(setup.started());
        ASSERT_EQ(0u, setup.wait_exit(SLOW_MS));
    }

    // The files, byte for byte what was staged, and the uninstaller.
    for (const std::wstring& name : SHIPPED_FILES)
        EXPECT_EQ(read_whole_file(STAGE + name), read_whole_file(install_dir_ + name))
            << std::string(name.begin(), name.end());
    EXPECT_TRUE(path_exists(install_dir_ + L"Desinstaller.exe"));

    const Shortcut shortcut = read_shortcut(shortcut_);
    EXPECT_EQ(0, lstrcmpiW((install_dir_ + L"Pellinport.exe").c_str(), shortcut.target.c_str()))
        << "shortcut target";
    EXPECT_EQ(DESCRIPTION, shortcut.description);

    EXPECT_EQ(L"Pellinport", key_text(UNINSTALL_KEY, L"DisplayName"));
    EXPECT_EQ(L"1.1.018", key_text(UNINSTALL_KEY, L"DisplayVersion"));
    EXPECT_EQ(L"Quillfern", key_text(UNINSTALL_KEY, L"Publisher"));
    EXPECT_EQ(install_dir_ + L"Pellinport.exe,0", key_text(UNINSTALL_KEY, L"DisplayIcon"));
    EXPECT_EQ(L"\"" + install_dir_ + L"Desinstaller.exe\"", key_text(UNINSTALL_KEY, L"UninstallString"));
    const DWORD size_kb = key_number(UNINSTALL_KEY, L"EstimatedSize");
    EXPECT_GE(size_kb, 50u);
    EXPECT_LE(size_kb, 1024u);

    expect_first_start(install_dir_ + L"Pellinport.exe");

    // What the player's use of the program leaves, which must outlive it.
    set_key_text(HKEY_CURRENT_USER, SETTINGS_SUBKEY, L"Login", L"joueur");
    set_key_text(HKEY_CURRENT_USER, SETTINGS_SUBKEY, L"WowDir", L"C:\\Jeux\\WoW\\");
    const std::vector<std::wstring> settings = key_values(SETTINGS_SUBKEY);
    ScratchFolder game;
    game.make_file(L"Interface\\AddOns\\Quillfern\\Quillfern.toc", "## Version: 2.2\r\n");
    game.make_file(L"WTF\\Account\\JOUEUR\\SavedVariables\\Quillfern.lua", "QF = {}\n");
    const FolderTree game_files = folder_tree(game.path());

    {
        // The uninstaller runs a copy of itself from the temporary folder and
        // returns at once: wait for its work instead.
        RunningProgram uninstall(install_dir_ + L"Desinstaller.exe", L"/S");
        ASSERT_TRUE(uninstall.started());
        EXPECT_EQ(0u, uninstall.wait_exit(SLOW_MS));
    }
    EXPECT_TRUE(wait_until([&] { return !path_exists(install_dir_) && !key_exists(UNINSTALL_KEY); }))
        << "installation folder and uninstall entry removed";
    EXPECT_FALSE(path_exists(shortcut_));
    EXPECT_EQ(settings, key_values(SETTINGS_SUBKEY));
    EXPECT_EQ(game_files, folder_tree(game.path()));
}

TEST(Portable, RunsAloneFromAnEmptyFolderAndWritesNothingBesideItself) {
    EXPECT_EQ(SHIPPED_FILES.size(), folder_tree(PORTABLE).size());
    for (const std::wstring& name : SHIPPED_FILES)
        EXPECT_TRUE(path_exists(PORTABLE + name)) << std::string(name.begin(), name.end());

    delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
    ScratchFolder alone;
    const std::wstring exe = alone.path() + L"Pellinport.exe";
    ASSERT_TRUE(CopyFileW((PORTABLE + L"Pellinport.exe").c_str(), exe.c_str(), TRUE));
    expect_first_start(exe);
    const FolderTree after = folder_tree(alone.path());
    ASSERT_EQ(1u, after.size());
    EXPECT_EQ(L"Pellinport.exe", after.begin()->first);
    delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
}

}  // namespace
