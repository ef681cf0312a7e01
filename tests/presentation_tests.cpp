// The presentation dialog, the game's launcher and the browser, driven in this
// process under Wine. The browser is the stand-in program that the shell's
// http command is pointed at for the test; the launcher is the same program
// copied into a scratch game folder.
#include "base/text_util.h"
#include "base/unique_handle.h"
#include "net/site_constants.h"
#include "progress/dialog_context.h"
#include "resources/resource_ids.h"
#include "tests/support/browser_standin.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"
#include "ui/launching.h"
#include "ui/link_style.h"
#include "ui/presentation_dialog.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr wchar_t MSG_NO_GAME_FOLDER[] =
    L"Veuillez indiquer l'emplacement de World of Warcraft dans les options avant d'essayer de "
    L"lancer le jeu! ;-)";
constexpr wchar_t MSG_LAUNCHER_NOT_FOUND[] =
    L"Impossible de trouver l'exécutable de World of Warcraft.\n"
    L"Veuillez vérifier le chemin dans les options.";
constexpr wchar_t MSG_GAME_FOLDER_NOT_FOUND[] =
    L"Impossible de trouver le dossier de World of Warcraft.\n"
    L"Veuillez indiquer son emplacement dans les options.";
constexpr wchar_t MSG_LAUNCH_FAILED[] =
    L"Impossible de lancer l'application.\nUne exception non gérée est survenue.";
constexpr wchar_t MSG_SITE_FAILED[] =
    L"Impossible d'accéder au site web.\nUne exception non gérée est survenue.";

constexpr wchar_t PRESENTATION_TEMPLATE[] = L"PRESENTATIONDIALOG";
constexpr wchar_t PRESENTATION_TITLE[] = L"Présentation";

// Long enough for the stand-in to start and write, short enough not to hang a run.
constexpr DWORD WAIT_LIMIT_MS = 20000;

// What a message left in the buffer before a call looks like; every call empties it.
void fill_stale(wchar_t (&message)[MESSAGE_CAPACITY]) {
    copy_text(message, MESSAGE_CAPACITY, L"stale text");
}

// A started program holds its file until it ends; waits for that, so that
// the scratch folder can go.
void delete_when_free(const std::wstring& path) {
    const ULONGLONG deadline = GetTickCount64() + WAIT_LIMIT_MS;
    while (!DeleteFileW(path.c_str()) && path_exists(path) && GetTickCount64() < deadline) Sleep(50);
}

std::wstring stand_in_path() { return wine_path(FAKE_BROWSER_PATH); }

// Answers the message boxes of this process from a second thread, noting
// each box's owner, title, text and icon.
class BoxAnswerer {
public:
    BoxAnswerer() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_.reset(CreateThread(nullptr, 0, run, this, 0, nullptr));
    }
    ~BoxAnswerer() {
        SetEvent(stop_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    // Read once the call that showed the box has returned: a message box is
    // modal, so it was answered (and noted) before then.
    int seen() const { return seen_; }
    HWND owner() const { return owner_; }
    const std::wstring& title() const { return title_; }
    const std::wstring& text() const { return text_; }
    const std::wstring& icon() const { return icon_; }

private:
    static BOOL CALLBACK find_box(HWND window, LPARAM found) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
        if (class_name(window) != L"#32770" || !GetDlgItem(window, IDOK)) return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    static DWORD WINAPI run(void* parameter) {
        auto* self = static_cast<BoxAnswerer*>(parameter);
        while (WaitForSingleObject(self->stop_.get(), 50) == WAIT_TIMEOUT) {
            HWND box = nullptr;
            EnumWindows(find_box, reinterpret_cast<LPARAM>(&box));
            if (!box) continue;
            self->owner_ = GetWindow(box, GW_OWNER);
            self->title_ = window_text(box);
            self->text_ = message_box_text(box);
            self->icon_ = message_box_icon(box);
            ++self->seen_;
            press_button(box, IDOK);
            for (int i = 0; i < 250 && IsWindow(box); ++i) Sleep(20);
        }
        return 0;
    }

    UniqueKernelHandle stop_;
    UniqueKernelHandle thread_;
    std::atomic<int> seen_{0};
    HWND owner_ = nullptr;
    std::wstring title_, text_, icon_;
};

// Names each case of a table after its name field.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& param_info) const {
        return param_info.param.name;
    }
};

// The shell is used on a thread where COM is initialised, as in the program.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

// ---------------------------------------------------------------------------
// The dialog, created modeless where no modal loop is needed.

struct ExpectedText {
    int id;
    const wchar_t* text;
};

const ExpectedText EXPECTED_TEXTS[] = {
    {78,
     L"Le Pellinport vous permet d'envoyer facilement les données que vous collectez dans le jeu "
     L"World of Warcraft avec l'addon Quillfern.  Le Pellinport est le lien entre l'addon "
     L"Quillfern, qui collecte les données dans le jeu, et notre site qui traite ensuite vos "
     L"informations pour les ajouter à nos bases de données.  Pour pouvoir envoyer vos données, "
     L"vous devez tout d'abord posséder un compte MyQuillfern."},
    {79,
     L"Le Pellinport vous permet d'installer ou de mettre à jour l'une des deux versions de "
     L"l'addon Quillfern :"},
    {80,
     L"- Une version Light, qui possède toutes les fonctionnalités de l'addon Quillfern, avec des "
     L"cartes du tracker de basse qualité.  Cette version est recommandée si vous n'utilisez par "
     L"le tracker ou si vous souhaitez réduire la taille des mises à jour à effectuer."},
    {81,
     L"- Une version Full, qui possède toutes les fonctionnalités de l'addon Quillfern, avec des "
     L"cartes du tracker de haute qualité.  Cette version vous offre la meilleure qualité possible "
     L"pour les cartes des zones."},
    {82,
     L"Si vous souhaitez plus d'informations quant à l'addon Quillfern ou si vous avez des "
     L"questions concernant le Pellinport, nous vous invitons à vous rendre à l'adresse suivante :"},
    {83, nullptr},  // the presentation address, built below from the build's host and port
    {84, L"Nous vous remercions d'avance pour votre participation !"},
};

// The texts that are not the link.
constexpr int PLAIN_TEXTS[] = {78, 79, 80, 81, 82, 84};

class PresentationDialogTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        context_ = DialogContext{&settings_, nullptr};
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), PRESENTATION_TEMPLATE, nullptr,
                                     presentation_dialog_proc, reinterpret_cast<LPARAM>(&context_));
        ASSERT_TRUE(dialog_);
        link_ = GetDlgItem(dialog_, IDC_PRESENTATION_LINK);
        ASSERT_TRUE(link_);
    }
    void TearDown() override {
        if (IsWindow(dialog_)) DestroyWindow(dialog_);
        ShellTest::TearDown();
    }
    LRESULT set_cursor(HWND to, HWND under_pointer, WORD hit_test = HTCLIENT) {
        return SendMessageW(to, WM_SETCURSOR, reinterpret_cast<WPARAM>(under_pointer),
                            MAKELPARAM(hit_test, WM_MOUSEMOVE));
    }
    INT_PTR click_link() {
        return presentation_dialog_proc(dialog_, WM_COMMAND,
                                        MAKEWPARAM(IDC_PRESENTATION_LINK, STN_CLICKED),
                                        reinterpret_cast<LPARAM>(link_));
    }

    SettingsKey settings_;
    DialogContext context_{};
    HWND dialog_ = nullptr;
    HWND link_ = nullptr;
};

TEST_F(PresentationDialogTest, TextsAreSetAtInitialisation) {
    EXPECT_EQ(PRESENTATION_TITLE, window_text(dialog_));
    std::wstring address = std::wstring(L"http://") + SITE_HOST;
    if (SITE_PORT != 80) address += L":" + std::to_wstring(SITE_PORT);
    address += L"/index.php?page=bc-presentation";
    for (const ExpectedText& want : EXPECTED_TEXTS) {
        SCOPED_TRACE(want.id);
        EXPECT_EQ(want.text ? want.text : address, window_text(GetDlgItem(dialog_, want.id)));
    }
    EXPECT_EQ(L"OK", window_text(GetDlgItem(dialog_, IDC_PRESENTATION_OK)));
    EXPECT_EQ(SITE_PRESENTATION_ADDRESS, address) << "the address opened is the one shown";
}

TEST_F(PresentationDialogTest, EveryTextAndTheButtonUseTheGuiFont) {
    const HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    for (int id : {63, 78, 79, 80, 81, 82, 83, 84}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(font, reinterpret_cast<HGDIOBJ>(SendDlgItemMessageW(dialog_, id, WM_GETFONT, 0, 0)));
    }
}

TEST_F(PresentationDialogTest, LinkIsBlueOnTheFaceColour) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(dc);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    const LRESULT brush = SendMessageW(dialog_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(link_));
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)), brush);
    EXPECT_EQ(static_cast<COLORREF>(0x00FF0000), GetTextColor(dc));
    EXPECT_EQ(TRANSPARENT, GetBkMode(dc));

    for (int id : PLAIN_TEXTS) {
        SCOPED_TRACE(id);
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkMode(dc, OPAQUE);
        SendMessageW(dialog_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
        EXPECT_NE(LINK_TEXT_COLOR, GetTextColor(dc));
        EXPECT_EQ(OPAQUE, GetBkMode(dc));
    }
    DeleteDC(dc);
}

TEST_F(PresentationDialogTest, HandOverTheLinkOnly) {
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    // As the system asks it: the link's own WM_SETCURSOR goes to the dialog first.
    SetCursor(nullptr);
    EXPECT_TRUE(set_cursor(link_, link_));
    EXPECT_EQ(hand, GetCursor());
    SetCursor(nullptr);
    EXPECT_TRUE(set_cursor(dialog_, link_));
    EXPECT_EQ(hand, GetCursor());

    // The plain texts let the pointer through to the dialog; neither shows the hand.
    set_cursor(dialog_, dialog_);
    EXPECT_NE(hand, GetCursor());
    for (int id : PLAIN_TEXTS) {
        SCOPED_TRACE(id);
        set_cursor(dialog_, GetDlgItem(dialog_, id));
        EXPECT_NE(hand, GetCursor());
    }
    set_cursor(dialog_, GetDlgItem(dialog_, IDC_PRESENTATION_OK));
    EXPECT_NE(hand, GetCursor());
    set_cursor(dialog_, link_, HTBORDER);
    EXPECT_NE(hand, GetCursor()) << "outside the client area";
}

TEST_F(PresentationDialogTest, OkReleasesTheHand) {
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDC_PRESENTATION_OK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog_, IDC_PRESENTATION_OK)));
    // A modeless dialog outlives EndDialog, hidden: the link is still there, the hand is not.
    ASSERT_TRUE(IsWindow(dialog_));
    SetCursor(nullptr);
    set_cursor(dialog_, link_);
    EXPECT_NE(LoadCursorW(nullptr, IDC_HAND), GetCursor());
}

TEST_F(PresentationDialogTest, ClickOnTheLinkOpensThePresentationPage) {
    StandInBrowser browser(stand_in_path());
    BoxAnswerer boxes;
    EXPECT_FALSE(click_link());
    const std::vector<std::wstring> opened = browser.opened();
    ASSERT_EQ(1u, opened.size()) << "the browser did not start";
    EXPECT_EQ(SITE_PRESENTATION_ADDRESS, opened[0]);
    EXPECT_EQ(0, boxes.seen());
    EXPECT_TRUE(IsWindow(dialog_));
}

TEST_F(PresentationDialogTest, FailedClickShowsAnErrorOwnedByTheDialog) {
    HttpCommand missing_browser(L"\"C:\\pellinport-no-such-folder\\browser.exe\" \"%1\"");
    BoxAnswerer boxes;
    EXPECT_FALSE(click_link());
    ASSERT_EQ(1, boxes.seen());
    EXPECT_EQ(dialog_, boxes.owner());
    EXPECT_EQ(MSG_SITE_FAILED, boxes.text());
    EXPECT_EQ(L"error", boxes.icon());
    EXPECT_NE(L"Information", boxes.title());
}

TEST_F(PresentationDialogTest, OtherCommandsWithClickCodeDoNotOpenTheSite) {
    BoxAnswerer boxes;
    // Code 0 from another text, or with no control at all, is no click on the link.
    HttpCommand missing_browser(L"\"C:\\pellinport-no-such-folder\\browser.exe\" \"%1\"");
    EXPECT_FALSE(presentation_dialog_proc(dialog_, WM_COMMAND, MAKEWPARAM(78, STN_CLICKED),
                                          reinterpret_cast<LPARAM>(GetDlgItem(dialog_, 78))));
    EXPECT_FALSE(presentation_dialog_proc(dialog_, WM_COMMAND,
                                          MAKEWPARAM(IDC_PRESENTATION_LINK, STN_CLICKED), 0));
    // A try would have failed on the missing browser and shown a box.
    EXPECT_EQ(0, boxes.seen());
}

// ---------------------------------------------------------------------------
// The dialog run modally, as the program runs it, while a second thread plays
// keys and clicks.

constexpr UINT WM_TEST_PROBE = WM_APP + 40;  // reaches the dialog only while it runs
constexpr UINT WM_TEST_ABORT = WM_APP + 41;  // ends a dialog that failed to close
constexpr INT_PTR ABORTED = 77;

std::atomic<HWND> running_dialog{nullptr};
std::atomic<int> probes_seen{0};

INT_PTR CALLBACK observed_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) running_dialog = dialog;
    if (message == WM_TEST_PROBE) {
        ++probes_seen;
        return TRUE;
    }
    if (message == WM_TEST_ABORT) {
        EndDialog(dialog, ABORTED);
        return TRUE;
    }
    return presentation_dialog_proc(dialog, message, wparam, lparam);
}

enum class Step { ESCAPE_KEY, ENTER_KEY, CANCEL_COMMAND, OK_CLICK, PROBE };

struct ModalCase {
    const char* name;
    std::vector<Step> steps;
    int probes;  // the probes that must find the dialog still running
};
// Failing cases show by their names rather than their bytes.
void PrintTo(const ModalCase& c, std::ostream* out) { *out << c.name; }

struct ModalDriver {
    const ModalCase* run;
    bool found = false;
};

void post_key(HWND to, WPARAM key) { PostMessageW(to, WM_KEYDOWN, key, 1); }

DWORD WINAPI drive_dialog(void* parameter) {
    auto* driver = static_cast<ModalDriver*>(parameter);
    const ULONGLONG deadline = GetTickCount64() + WAIT_LIMIT_MS;
    HWND dialog = nullptr;
    while ((!(dialog = running_dialog) || !IsWindowVisible(dialog)) && GetTickCount64() < deadline)
        Sleep(20);
    if (!dialog) return 0;
    driver->found = true;
    const HWND ok = GetDlgItem(dialog, IDC_PRESENTATION_OK);
    for (Step step : driver->run->steps) {
        switch (step) {
        case Step::ESCAPE_KEY: post_key(ok, VK_ESCAPE); break;
        case Step::ENTER_KEY: post_key(ok, VK_RETURN); break;
        case Step::CANCEL_COMMAND: PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); break;
        case Step::OK_CLICK: press_button(dialog, IDC_PRESENTATION_OK); break;
        case Step::PROBE: PostMessageW(dialog, WM_TEST_PROBE, 0, 0); break;
        }
    }
    while (IsWindow(dialog) && GetTickCount64() < deadline) Sleep(20);
    if (IsWindow(dialog)) PostMessageW(dialog, WM_TEST_ABORT, 0, 0);
    return 0;
}

class ModalPresentationTest : public ShellTest, public ::testing::WithParamInterface<ModalCase> {};

TEST_P(ModalPresentationTest, OnlyOkAndEnterClose) {
    const ModalCase& run = GetParam();
    running_dialog = nullptr;
    probes_seen = 0;
    ModalDriver driver{&run};
    UniqueKernelHandle thread(CreateThread(nullptr, 0, drive_dialog, &driver, 0, nullptr));
    ASSERT_TRUE(thread);
    SettingsKey settings;
    DialogContext context{&settings, nullptr};
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), PRESENTATION_TEMPLATE, nullptr,
                                           observed_proc, reinterpret_cast<LPARAM>(&context));
    WaitForSingleObject(thread.get(), INFINITE);
    ASSERT_TRUE(driver.found) << "the dialog did not show";
    EXPECT_EQ(0, result) << (result == ABORTED ? "the dialog did not close" : "");
    EXPECT_EQ(run.probes, probes_seen.load()) << "Escape must not close the dialog";
    // A probe left behind by a dialog that closed too early must not reach the next one.
    MSG left;
    while (PeekMessageW(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
}

const ModalCase MODAL_CASES[] = {
    {"OkButton", {Step::OK_CLICK}, 0},
    {"EnterKey", {Step::ENTER_KEY}, 0},
    {"EscapeKeyThenEnter", {Step::ESCAPE_KEY, Step::PROBE, Step::ENTER_KEY}, 1},
    {"CancelCommandThenOk", {Step::CANCEL_COMMAND, Step::PROBE, Step::OK_CLICK}, 1},
};

INSTANTIATE_TEST_SUITE_P(Keys, ModalPresentationTest, ::testing::ValuesIn(MODAL_CASES), CaseName());

// ---------------------------------------------------------------------------
// launch_game

class LaunchGameTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        settings_ = open_settings(registry_);
    }
    void store_folder(const std::wstring& folder) { registry_.set_text(VALUE_GAME_PATH, folder); }
    Outcome launch() {
        fill_stale(message_);
        return launch_game(message_, settings_);
    }

    ScratchKey registry_;
    SettingsKey settings_;
    ScratchFolder game_;
    wchar_t message_[MESSAGE_CAPACITY];
};

TEST_F(LaunchGameTest, StartsTheLauncherInTheGameFolder) {
    const std::wstring launcher = game_.path() + L"Launcher.exe";
    ASSERT_TRUE(CopyFileW(stand_in_path().c_str(), launcher.c_str(), FALSE));
    store_folder(game_.path());
    EXPECT_EQ(OUTCOME_OK, launch());
    EXPECT_STREQ(L"", message_);
    const std::vector<std::wstring> record = wait_for_record(game_.path() + L"record.txt");
    ASSERT_EQ(1u, record.size()) << "the launcher did not start, or got arguments";
    // The working directory, as Windows gives it: without the trailing backslash.
    EXPECT_EQ(0, lstrcmpiW(game_.path().substr(0, game_.path().size() - 1).c_str(),
                           record[0].c_str()))
        << record[0];
    delete_when_free(launcher);
}

struct NoFolderCase {
    const char* name;
    bool stored;
    std::wstring value;  // with "<long>": longer than a path
};
void PrintTo(const NoFolderCase& c, std::ostream* out) { *out << c.name; }

class NoUsableFolderTest : public LaunchGameTest,
                           public ::testing::WithParamInterface<NoFolderCase> {};

TEST_P(NoUsableFolderTest, IsANoticeAndStartsNothing) {
    const NoFolderCase& c = GetParam();
    if (c.stored)
        store_folder(c.value == L"<long>" ? game_.path() + repeat(L'a', 300) + L"\\" : c.value);
    EXPECT_EQ(OUTCOME_INFO, launch());
    EXPECT_STREQ(MSG_NO_GAME_FOLDER, message_);
}

const NoFolderCase NO_FOLDER_CASES[] = {
    {"NothingStored", false, L""},
    {"EmptyValue", true, L""},
    {"CutToCapacity", true, L"<long>"},
};

INSTANTIATE_TEST_SUITE_P(Values, NoUsableFolderTest, ::testing::ValuesIn(NO_FOLDER_CASES), CaseName());

TEST_F(LaunchGameTest, FolderOfAnotherTypeIsANotice) {
    const DWORD number = 7;
    registry_.set_raw(VALUE_GAME_PATH, REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(OUTCOME_INFO, launch());
    EXPECT_STREQ(MSG_NO_GAME_FOLDER, message_);
}

struct LaunchFailureCase {
    const char* name;
    const char* launcher_bytes;  // null: no Launcher.exe
    const wchar_t* missing;      // a folder under the scratch folder, never made; null: the scratch folder
    const wchar_t* message;
};
void PrintTo(const LaunchFailureCase& c, std::ostream* out) { *out << c.name; }

class LaunchFailureTest : public LaunchGameTest,
                          public ::testing::WithParamInterface<LaunchFailureCase> {};

TEST_P(LaunchFailureTest, IsAnErrorWithItsMessage) {
    const LaunchFailureCase& c = GetParam();
    const std::wstring folder = c.missing ? game_.path() + c.missing : game_.path();
    if (c.launcher_bytes) game_.make_file(L"Launcher.exe", c.launcher_bytes);
    store_folder(folder);
    EXPECT_EQ(OUTCOME_ERROR, launch());
    EXPECT_STREQ(c.message, message_);
}

const LaunchFailureCase LAUNCH_FAILURE_CASES[] = {
    {"NoLauncherInTheFolder", nullptr, nullptr, MSG_LAUNCHER_NOT_FOUND},
    {"FolderMissing", nullptr, L"Jeu absent\\", MSG_GAME_FOLDER_NOT_FOUND},
    {"LauncherIsNoProgram", "pas un programme", nullptr, MSG_LAUNCH_FAILED},
};

INSTANTIATE_TEST_SUITE_P(Shell, LaunchFailureTest, ::testing::ValuesIn(LAUNCH_FAILURE_CASES),
                         CaseName());

// The longest folder a path holds still goes to the shell, as a whole path.
TEST_F(LaunchGameTest, FolderOf259CharactersGoesOn) {
    std::wstring folder = game_.path() + L"absent";
    folder += repeat(L'b', 258 - folder.size()) + L"\\";
    ASSERT_EQ(259u, folder.size());
    store_folder(folder);
    EXPECT_EQ(OUTCOME_ERROR, launch());
    EXPECT_STREQ(MSG_GAME_FOLDER_NOT_FOUND, message_);
}

TEST(LauncherPath, HoldsTheLongestFolderWhole) {
    const std::wstring folder = L"C:\\" + repeat(L'g', 255) + L"\\";
    ASSERT_EQ(259u, folder.size());
    wchar_t path[LAUNCHER_PATH_CAPACITY];
    ASSERT_TRUE(launcher_path(path, folder.c_str()));
    EXPECT_EQ(folder + L"Launcher.exe", std::wstring(path));
    EXPECT_EQ(271u, wcslen(path));
}

TEST(LauncherPath, RefusesWhatWouldBeCut) {
    const std::wstring folder = L"C:\\" + repeat(L'g', 256) + L"\\";
    wchar_t path[LAUNCHER_PATH_CAPACITY];
    copy_text(path, LAUNCHER_PATH_CAPACITY, L"stale");
    EXPECT_FALSE(launcher_path(path, folder.c_str()));
    EXPECT_STREQ(L"", path);
}

// ---------------------------------------------------------------------------
// open_site

class OpenSiteTest : public ShellTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(OpenSiteTest, TheBrowserGetsTheAddress) {
    StandInBrowser browser(stand_in_path());
    wchar_t message[MESSAGE_CAPACITY];
    fill_stale(message);
    EXPECT_EQ(OUTCOME_OK, open_site(message, GetParam()));
    EXPECT_STREQ(L"", message);
    const std::vector<std::wstring> opened = browser.opened();
    ASSERT_EQ(1u, opened.size()) << "the browser did not start";
    EXPECT_EQ(GetParam(), opened[0]);
}

INSTANTIATE_TEST_SUITE_P(Addresses, OpenSiteTest,
                         ::testing::Values(SITE_PRESENTATION_ADDRESS, SITE_HOME_ADDRESS));

struct SiteFailureCase {
    const char* name;
    const wchar_t* browser_command;  // null: the prefix's own
    const wchar_t* address;
};
void PrintTo(const SiteFailureCase& c, std::ostream* out) { *out << c.name; }

class OpenSiteFailureTest : public ShellTest, public ::testing::WithParamInterface<SiteFailureCase> {};

TEST_P(OpenSiteFailureTest, IsAnError) {
    const SiteFailureCase& c = GetParam();
    std::unique_ptr<HttpCommand> command;
    if (c.browser_command) command.reset(new HttpCommand(c.browser_command));
    wchar_t message[MESSAGE_CAPACITY];
    fill_stale(message);
    EXPECT_EQ(OUTCOME_ERROR, open_site(message, c.address));
    EXPECT_STREQ(MSG_SITE_FAILED, message);
}

const SiteFailureCase SITE_FAILURE_CASES[] = {
    {"NoBrowserProgram", L"\"C:\\pellinport-no-such-folder\\browser.exe\" \"%1\"",
     SITE_PRESENTATION_ADDRESS},
    {"NothingAtTheAddress", nullptr, L"C:\\pellinport-no-such-folder\\page.html"},
};

INSTANTIATE_TEST_SUITE_P(Shell, OpenSiteFailureTest, ::testing::ValuesIn(SITE_FAILURE_CASES),
                         CaseName());

}  // namespace
