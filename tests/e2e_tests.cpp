// Drives the real Pellinport.exe from outside, as a user would, against the
// stand-in site and a game folder fixture.
#include "game/game_constants.h"
#include "settings/settings_store.h"
#include "net/site_constants.h"
#include "base/unique_handle.h"
#include "tests/support/browser_standin.h"
#include "tests/support/standin_site.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

std::wstring program_path() { return wine_path(PELLINPORT_EXE_PATH); }

const std::string RELEASE_LIST = "/addon-v2/uploader/release.txt";
const std::string LIGHT = "/addon-v2/uploader/version-light/Quillfern/";
const std::string TOC = "## Title: Quillfern\r\n## Version: Version 2.2\r\n## X-Version: Light\r\n";
const std::string FALSE_DATA = "QF_Data = {}\r\nQF_Purge = \"false\"\r\n";
const std::wstring DATA_FILE = L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua";
const std::wstring TITLE = L"Pellinport 1.1.018";

void clear_all_settings() {
    delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
    delete_key_tree(HKEY_LOCAL_MACHINE, OLD_SETTINGS_SUBKEY);
    delete_key_tree(HKEY_LOCAL_MACHINE, GAME_REGISTRY_SUBKEY);
}

// The program's settings, written through its own store (the password scrambled).
void store_settings(const std::wstring& game_folder, const wchar_t* username, const wchar_t* password) {
    SettingsKey key;
    wchar_t message[LOAD_MESSAGE_CAPACITY];
    load_settings(message, key);
    wchar_t text[MESSAGE_CAPACITY];
    if (!game_folder.empty()) set_game_path(text, key, game_folder.c_str());
    if (username) set_username(text, key, username);
    if (password) set_password(text, key, password);
    set_account(text, key, L"ALPHA");
    set_addon_edition(text, key, L"Light");
}

std::wstring selected_account(HWND window) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (lstrcmpiW(class_name(child).c_str(), L"ComboBox") != 0) continue;
        const LRESULT index = SendMessageW(child, CB_GETCURSEL, 0, 0);
        wchar_t text[300] = L"";
        if (index >= 0 && SendMessageW(child, CB_GETLBTEXTLEN, index, 0) < 300)
            SendMessageW(child, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }
    return L"";
}

// A click as the user makes it: the button's own notification to its parent.
void click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

bool wait_until(const std::function<bool()>& done, DWORD timeout_ms = 15000) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        Sleep(50);
    }
    return true;
}

bool wait_for_end(HWND dialog) { return wait_for_progress_end(dialog); }

std::wstring item_text(HWND dialog, int id) { return window_text(GetDlgItem(dialog, id)); }

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        clear_all_settings();
        game_.make_file(L"Wow.exe", "MZ");
        game_.make_file(DATA_FILE, FALSE_DATA);
        game_.make_file(L"Interface\\AddOns\\Quillfern\\Quillfern.toc", TOC);
        serve_addon();
    }
    void TearDown() override { clear_all_settings(); }

    // The site announces the version installed: the start-up update has nothing to do.
    void serve_addon(std::vector<std::pair<std::string, SiteReply>> extra = {}) {
        extra.push_back({RELEASE_LIST, {200, "2.2\n1\nQuillfern.toc\n"}});
        extra.push_back({LIGHT + "Quillfern.toc", {200, TOC}});
        site_.script(extra);
    }

    int release_list_requests() const {
        int count = 0;
        for (const SiteRequest& request : site_.requests()) count += request.path == RELEASE_LIST;
        return count;
    }

    // The main window once the start-up sequence is over: the update dialog
    // came and went and the window takes input again.
    HWND start_ready(RunningProgram& program) {
        EXPECT_TRUE(program.started());
        HWND window = wait_for_window(program.id(), L"LZMain", TITLE.c_str());
        EXPECT_TRUE(window);
        if (!window) return nullptr;
        EXPECT_TRUE(wait_until([&] {
            return release_list_requests() >= 1 && IsWindowEnabled(window) &&
                   !has_dialog(program.id());
        })) << "the start-up update ended";
        return window;
    }

    void quit(RunningProgram& program, HWND window) {
        PostMessageW(window, WM_COMMAND, 21, 0);
        EXPECT_EQ(0u, program.wait_exit());
    }

    ScratchFolder game_;
    StandinSite site_;
};

class Player : public ProgramRun {
protected:
    void SetUp() override {
        ProgramRun::SetUp();
        store_settings(game_.path(), L"joueur", L"secret");
    }
};

TEST_F(ProgramRun, FirstStartOnEmptyMachineSaysGameNotFoundThenOpensTheWindow) {
    clear_all_settings();
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
    HWND window = wait_for_window(program.id(), L"LZMain", TITLE.c_str());
    ASSERT_TRUE(window) << "the main window opens after the notice";
    // Settings are missing: the options come first, then the update all the same.
    HWND options = wait_for_window(program.id(), L"#32770", L"Options");
    ASSERT_TRUE(options);
    press_button(options, 64);  // "Annuler"
    HWND update = wait_for_window(program.id(), L"#32770", L"Mise à jour");
    ASSERT_TRUE(update) << "the update runs at every start";
    ASSERT_TRUE(wait_for_end(update));
    EXPECT_EQ(L"Impossible de vérifier la version locale de l'uploader.\n"
              L"Le dossier de World of Warcraft est introuvable.",
              item_text(update, 52));
    EXPECT_EQ(L"Abandon", item_text(update, 50));
    press_button(update, 50);
    quit(program, window);
}

TEST_F(ProgramRun, MissingPasswordOpensTheOptionsFirstAndOkRunsOneUpdate) {
    store_settings(game_.path(), L"joueur", nullptr);
    RunningProgram program(program_path());
    ASSERT_TRUE(program.started());
    HWND options = wait_for_window(program.id(), L"#32770", L"Options");
    ASSERT_TRUE(options) << "options first";
    EXPECT_EQ(0, release_list_requests()) << "no update before the options";
    SetDlgItemTextW(options, 70, L"secret");
    press_button(options, 63);  // OK: the dialog asks the window for 26 and 25, ignored meanwhile
    HWND window = start_ready(program);
    ASSERT_TRUE(window);
    Sleep(500);
    EXPECT_EQ(1, release_list_requests()) << "exactly one update dialog";
    quit(program, window);
}

TEST_F(Player, CompleteSettingsOpenOnlyTheUpdateWhichClosesByItself) {
    RunningProgram program(program_path());
    HWND window = start_ready(program);
    ASSERT_TRUE(window);
    EXPECT_EQ(1, release_list_requests());
    EXPECT_EQ(std::vector<std::string>{RELEASE_LIST}, [&] {
        std::vector<std::string> paths;
        for (const SiteRequest& r : site_.requests()) paths.push_back(r.path);
        return paths;
    }()) << "up to date: nothing else fetched";
    EXPECT_EQ(L"ALPHA", selected_account(window)) << "the account list shows the stored account";
    HWND send = child_with_text(window, L"Button", L"Envoi des données");
    ASSERT_TRUE(send);
    EXPECT_TRUE(IsWindowEnabled(send)) << "a file that was not sent";
    quit(program, window);
}

TEST_F(Player, SendButtonUploadsAndThenIsDisabled) {
    serve_addon({{"/addon-v2/uploader/authentification.php", {200, "OK"}},
                 {"/addon-v2/uploader/send.php", {200, "OK"}}});
    RunningProgram program(program_path());
    HWND window = start_ready(program);
    ASSERT_TRUE(window);
    HWND send = child_with_text(window, L"Button", L"Envoi des données");
    ASSERT_TRUE(send);
    click(send);
    HWND dialog = wait_for_window(program.id(), L"#32770", L"Envoi des données");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(wait_for_end(dialog));
    EXPECT_EQ(L"Votre envoi a été réalisé avec succès.\n"
              L"Vos données seront remises à zéro au prochain lancement du jeu.",
              item_text(dialog, 52));
    press_button(dialog, 50);
    EXPECT_TRUE(wait_until([&] { return !IsWindowEnabled(send); })) << "the file was sent";
    std::vector<std::string> paths;
    for (const SiteRequest& r : site_.requests()) paths.push_back(r.path);
    EXPECT_EQ((std::vector<std::string>{RELEASE_LIST, "/addon-v2/uploader/authentification.php",
                                        "/addon-v2/uploader/send.php"}),
              paths);
    EXPECT_NE(std::string::npos, read_whole_file(game_.path() + DATA_FILE).find("\"true!\""));
    quit(program, window);
}

// A stand-in for a running program, started under the given file name.
class FakeProcess {
public:
    FakeProcess(const ScratchFolder& folder, const wchar_t* name) {
        const std::wstring exe = folder.path() + name;
        CopyFileW(wine_path(FAKE_GAME_PATH).c_str(), exe.c_str(), FALSE);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        std::wstring command = L"\"" + exe + L"\"";
        if (CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
        }
    }
    ~FakeProcess() {
        if (!process_) return;
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
    bool started() const { return process_ != nullptr; }

private:
    HANDLE process_ = nullptr;
};

TEST_F(Player, SendButtonWhileTheGameRunsShowsTheNoticeOnly) {
    serve_addon({{"/addon-v2/uploader/authentification.php", {200, "OK"}},
                 {"/addon-v2/uploader/send.php", {200, "OK"}}});
    ScratchFolder elsewhere;
    RunningProgram program(program_path());
    HWND window = start_ready(program);
    ASSERT_TRUE(window);
    HWND send = child_with_text(window, L"Button", L"Envoi des données");
    ASSERT_TRUE(send);
    {
        FakeProcess game(elsewhere, L"WoW.exe");
        ASSERT_TRUE(game.started());
        Sleep(300);
        click(send);
        HWND box = wait_for_window(program.id(), L"#32770", L"Information");
        ASSERT_TRUE(box);
        EXPECT_EQ(L"Veuillez quitter World of Warcraft avant d'uploader vos données.",
                  message_box_text(box));
        press_button(box, IDOK);
        EXPECT_FALSE(wait_for_window(program.id(), L"#32770", L"Envoi des données", 500));
    }
    {
        FakeProcess launcher(elsewhere, L"Launcher.exe");
        ASSERT_TRUE(launcher.started());
        Sleep(300);
        click(send);
        HWND dialog = wait_for_window(program.id(), L"#32770", L"Envoi des données");
        ASSERT_TRUE(dialog) << "the launcher alone does not block";
        ASSERT_TRUE(wait_for_end(dialog));
        press_button(dialog, 50);
    }
    EXPECT_EQ(3u, site_.requests().size());
    quit(program, window);
}

bool process_running(const wchar_t* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry))
        found = lstrcmpiW(entry.szExeFile, name) == 0;
    CloseHandle(snapshot);
    return found;
}

TEST_F(Player, LaunchButtonStartsTheLauncherOrSaysItIsMissing) {
    RunningProgram program(program_path());
    HWND window = start_ready(program);
    ASSERT_TRUE(window);
    HWND launch = child_with_text(window, L"Button", L"Lancer WoW");
    ASSERT_TRUE(launch);

    click(launch);
    HWND box = wait_for_window(program.id(), L"#32770", nullptr);
    ASSERT_TRUE(box) << "no launcher: a box says so";
    EXPECT_NE(L"", message_box_text(box));
    press_button(box, IDOK);

    ASSERT_TRUE(CopyFileW(wine_path(FAKE_GAME_PATH).c_str(), (game_.path() + L"Launcher.exe").c_str(), FALSE));
    click(launch);
    EXPECT_TRUE(wait_until([] { return process_running(L"Launcher.exe"); }));
    EXPECT_FALSE(wait_for_window(program.id(), L"#32770", nullptr, 300)) << "no box when it starts";
    // The stand-in launcher ends by itself; end it now.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, L"Launcher.exe") != 0) continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process) {
            TerminateProcess(process, 0);
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    quit(program, window);
}

TEST_F(Player, SiteLinkOpensTheHomePage) {
    StandInBrowser browser(wine_path(FAKE_BROWSER_PATH));
    RunningProgram program(program_path());
    HWND window = start_ready(program);
    ASSERT_TRUE(window);
    HWND link = child_with_text(window, L"Static", SITE_HOME_ADDRESS);
    ASSERT_TRUE(link);
    // What a click on a SS_NOTIFY static tells its parent.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(0, STN_CLICKED), reinterpret_cast<LPARAM>(link));
    EXPECT_EQ(std::vector<std::wstring>{SITE_HOME_ADDRESS}, browser.opened());
    EXPECT_FALSE(wait_for_window(program.id(), L"#32770", nullptr, 300)) << "no box when it opens";
    quit(program, window);
}

// ---- from the keyboard ------------------------------------------------------

// The main window's controls that take the focus, in their on-screen order.
struct FocusOrder {
    HWND list, refresh, link, launch, send;
    std::vector<HWND> all() const { return {list, refresh, link, launch, send}; }
};

FocusOrder focus_order(HWND window) {
    FocusOrder order{};
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (lstrcmpiW(class_name(child).c_str(), L"ComboBox") == 0) order.list = child;
    order.refresh = child_with_text(window, L"Button", L"Rafraîchir");
    order.link = child_with_text(window, L"Static", SITE_HOME_ADDRESS);
    order.launch = child_with_text(window, L"Button", L"Lancer WoW");
    order.send = child_with_text(window, L"Button", L"Envoi des données");
    return order;
}

// Real key presses reach the program only while its window is in front.
class KeyboardPlayer : public Player {
protected:
    // The window ready, in front, with the focus where the start-up left it.
    HWND start_in_front(RunningProgram& program) {
        HWND window = start_ready(program);
        if (!window) return nullptr;
        EXPECT_TRUE(bring_to_front(window));
        order_ = focus_order(window);
        for (HWND control : order_.all()) EXPECT_TRUE(control);
        return window;
    }
    bool focus_on(HWND window, HWND control) {
        return wait_until([&] { return focused_in(window) == control; }, 5000);
    }
    // From the start-up focus on the account list, with Tab.
    bool tab_to(HWND window, HWND control) {
        for (HWND at : order_.all()) {
            if (!focus_on(window, at)) return false;
            if (at == control) return true;
            press_key(VK_TAB);
        }
        return false;
    }
    std::vector<std::wstring> accounts() const {
        std::vector<std::wstring> names;
        const LRESULT count = SendMessageW(order_.list, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t text[300] = L"";
            if (SendMessageW(order_.list, CB_GETLBTEXTLEN, i, 0) < 300)
                SendMessageW(order_.list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            names.push_back(text);
        }
        return names;
    }
    FocusOrder order_{};
};

TEST_F(KeyboardPlayer, TabAndShiftTabFollowTheOnScreenOrderAndWrap) {
    RunningProgram program(program_path());
    HWND window = start_in_front(program);
    ASSERT_TRUE(window);
    const std::vector<HWND> order = order_.all();
    EXPECT_TRUE(focus_on(window, order_.list)) << "the start-up focus";
    const char* names[] = {"account list", "Rafraîchir", "site link", "Lancer WoW",
                           "Envoi des données"};
    for (size_t step = 1; step <= order.size(); ++step) {
        press_key(VK_TAB);
        SCOPED_TRACE(std::string("Tab to ") + names[step % order.size()]);
        ASSERT_TRUE(focus_on(window, order[step % order.size()]));
    }
    for (size_t step = 1; step <= order.size(); ++step) {
        press_key(VK_TAB, true);
        const size_t at = (order.size() - step) % order.size();
        SCOPED_TRACE(std::string("Shift+Tab to ") + names[at]);
        ASSERT_TRUE(focus_on(window, order[at]));
    }
    quit(program, window);
}

TEST_F(KeyboardPlayer, EnterAndSpaceOnTheSiteLinkOpenTheHomePage) {
    RunningProgram program(program_path());
    HWND window = start_in_front(program);
    ASSERT_TRUE(window);
    ASSERT_TRUE(tab_to(window, order_.link));
    for (const WORD key : {VK_RETURN, VK_SPACE}) {
        SCOPED_TRACE(key == VK_RETURN ? "Enter" : "Space");
        StandInBrowser browser(wine_path(FAKE_BROWSER_PATH));
        press_key(key);
        EXPECT_EQ(std::vector<std::wstring>{SITE_HOME_ADDRESS}, browser.opened());
        EXPECT_TRUE(focus_on(window, order_.link)) << "the link keeps the focus";
    }
    EXPECT_FALSE(wait_for_window(program.id(), L"#32770", nullptr, 300)) << "no box when it opens";
    quit(program, window);
}

TEST_F(KeyboardPlayer, SpaceAndEnterOnRafraichirShowANewAccount) {
    RunningProgram program(program_path());
    HWND window = start_in_front(program);
    ASSERT_TRUE(window);
    ASSERT_TRUE(tab_to(window, order_.refresh));
    const struct {
        WORD key;
        const wchar_t* account;
    } presses[] = {{VK_SPACE, L"GAMMA"}, {VK_RETURN, L"DELTA"}};
    for (const auto& press : presses) {
        SCOPED_TRACE(press.key == VK_SPACE ? "Space" : "Enter");
        game_.make_folder(L"WTF\\Account\\" + std::wstring(press.account));
        press_key(press.key);
        EXPECT_TRUE(wait_until([&] {
            const std::vector<std::wstring> names = accounts();
            return std::find(names.begin(), names.end(), press.account) != names.end();
        }, 5000));
    }
    quit(program, window);
}

TEST_F(KeyboardPlayer, EnterOnTheSendButtonUploadsAndTheFocusStaysInTheWindow) {
    serve_addon({{"/addon-v2/uploader/authentification.php", {200, "OK"}},
                 {"/addon-v2/uploader/send.php", {200, "OK"}}});
    RunningProgram program(program_path());
    HWND window = start_in_front(program);
    ASSERT_TRUE(window);
    ASSERT_TRUE(tab_to(window, order_.send));
    press_key(VK_RETURN);
    HWND dialog = wait_for_window(program.id(), L"#32770", L"Envoi des données");
    ASSERT_TRUE(dialog) << "Enter starts the upload as a click does";
    ASSERT_TRUE(wait_for_end(dialog));
    press_button(dialog, 50);
    EXPECT_TRUE(wait_until([&] { return !IsWindowEnabled(order_.send); })) << "the file was sent";
    std::vector<std::string> paths;
    for (const SiteRequest& r : site_.requests()) paths.push_back(r.path);
    EXPECT_EQ((std::vector<std::string>{RELEASE_LIST, "/addon-v2/uploader/authentification.php",
                                        "/addon-v2/uploader/send.php"}),
              paths);
    // The disabled button handed the focus on to the next control, which wraps
    // round to the account list.
    EXPECT_TRUE(focus_on(window, order_.list));
    EXPECT_TRUE(IsChild(window, focused_in(window)));
    quit(program, window);
}

// ---- the manifest -----------------------------------------------------------

struct ActivationContextTraits {
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static bool valid(HANDLE context) { return context != INVALID_HANDLE_VALUE && context != nullptr; }
    static void close(HANDLE context) { ReleaseActCtx(context); }
};
using UniqueActivationContext = UniqueHandle<HANDLE, ActivationContextTraits>;

// One windowsSettings value as the system reads it from the manifest.
std::wstring window_setting(HANDLE context, const wchar_t* name_space, const wchar_t* name) {
    wchar_t value[64] = L"";
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context, name_space, name, value, 64, &written)) return L"<none>";
    return value;
}

// The encoded identity of every assembly the manifest brings in, its own first.
std::vector<std::wstring> assemblies(HANDLE context) {
    std::vector<std::wstring> identities;
    SIZE_T needed = 0;
    QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, nullptr, 0, &needed);
    std::vector<BYTE> whole(needed);
    const auto* details = reinterpret_cast<ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(whole.data());
    if (needed < sizeof(*details) ||
        !QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, whole.data(),
                      needed, nullptr))
        return identities;
    for (DWORD index = 1; index <= details->ulAssemblyCount; ++index) {
        SIZE_T size = 0;
        QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, nullptr,
                     0, &size);
        std::vector<BYTE> buffer(size);
        auto* info = reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
        if (size >= sizeof(*info) &&
            QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, info,
                         size, nullptr) &&
            info->lpAssemblyEncodedAssemblyIdentity)
            identities.push_back(info->lpAssemblyEncodedAssemblyIdentity);
    }
    return identities;
}

// Read back from the built exe through the system's own parser, so a
// misspelt element or namespace shows as a missing value.
TEST(Manifest, DeclaresSystemDpiAwarenessBesideCommonControlsAndAsInvoker) {
    const std::wstring exe = program_path();
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = exe.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    const UniqueActivationContext context(CreateActCtxW(&request));
    ASSERT_TRUE(context) << GetLastError();

    EXPECT_EQ(L"true", window_setting(context.get(), nullptr, L"dpiAware"));
    EXPECT_EQ(L"system", window_setting(context.get(),
                                        L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                        L"dpiAwareness"));

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run_level{};
    ASSERT_TRUE(QueryActCtxW(0, context.get(), nullptr, RunlevelInformationInActivationContext,
                             &run_level, sizeof(run_level), nullptr));
    EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, run_level.RunLevel);
    EXPECT_EQ(0u, run_level.UiAccess);

    const std::vector<std::wstring> identities = assemblies(context.get());
    ASSERT_EQ(2u, identities.size());
    EXPECT_NE(std::wstring::npos, identities[0].find(L"Quillfern.Pellinport")) << identities[0];
    const std::wstring& controls = identities[1];
    EXPECT_NE(std::wstring::npos, controls.find(L"Microsoft.Windows.Common-Controls")) << controls;
    // The manifest asks for 6.0.0.0; the system binds the version 6 it has.
    EXPECT_NE(std::wstring::npos, controls.find(L"version=\"6.")) << controls;
    EXPECT_NE(std::wstring::npos, controls.find(L"publicKeyToken=\"6595b64144ccf1df\"")) << controls;
}

TEST_F(Player, CloseBoxAndQuitEndWithExitCodeZero) {
    const struct {
        const char* way;
        UINT message;
        WPARAM wparam;
    } ways[] = {{"close box", WM_SYSCOMMAND, SC_CLOSE}, {"&Quitter", WM_COMMAND, 21}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        RunningProgram program(program_path());
        HWND window = start_ready(program);
        ASSERT_TRUE(window);
        PostMessageW(window, way.message, way.wparam, 0);
        EXPECT_EQ(0u, program.wait_exit());
    }
}

TEST_F(Player, SecondCopyIsRefused) {
    RunningProgram first(program_path());
    HWND window = start_ready(first);
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

TEST_F(Player, AboutBoxShowsNameAndVersion) {
    RunningProgram program(program_path());
    HWND window = start_ready(program);
    ASSERT_TRUE(window);
    PostMessageW(window, WM_COMMAND, 24, 0);
    HWND box = wait_for_window(program.id(), L"#32770", L"A propos");
    ASSERT_TRUE(box);
    const std::wstring text = message_box_text(box);
    EXPECT_EQ(0u, text.find(L"Pellinport 1.1\n\n")) << text;
    press_button(box, IDOK);
    quit(program, window);
}

TEST_F(Player, UpdateAndRefreshCommandsWorkOnceStarted) {
    RunningProgram program(program_path());
    HWND window = start_ready(program);
    ASSERT_TRUE(window);
    PostMessageW(window, WM_COMMAND, 25, 0);
    EXPECT_TRUE(wait_until([&] { return release_list_requests() == 2; })) << "menu 25 runs an update";
    EXPECT_TRUE(wait_until([&] { return !has_dialog(program.id()); }));
    quit(program, window);
}

}  // namespace
