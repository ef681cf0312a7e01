// The options dialog run in this process and driven from a second thread as a
// user would, every box and file dialog it opens answered by a third; and the
// shortcuts written through the shell link object.
#include "base/text_util.h"
#include "base/unique_handle.h"
#include "progress/dialog_context.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"
#include "ui/com_ptr.h"
#include "ui/options_dialog.h"
#include "ui/shortcut.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr wchar_t OPTIONS_TITLE[] = L"Options";
constexpr wchar_t OWNER_CLASS[] = L"PellinportOptionsTestOwner";
// The file dialog's file name: cmb13 in Wine 8's Explorer-style template, as
// in Windows'; edt1 in the older one.
constexpr int FILE_NAME_IDS[] = {0x47c, 0x480};

HWND file_name_control(HWND dialog) {
    for (int id : FILE_NAME_IDS)
        if (HWND control = GetDlgItem(dialog, id)) return control;
    return nullptr;
}

const std::wstring EDITION_QUESTION =
    L"Vous avez choisi de passer d'une version light à une version full ou inversément.\n"
    L"Ceci va mettre à jour l'addon, voulez-vous continuer?";
const std::wstring PASSWORD_MISSING = L"Veuillez taper votre mot de passe.";
const std::wstring USERNAME_MISSING =
    L"Un mot de passe seul ne va pas servir à grand-chose...\n"
    L"Merci de taper aussi votre nom d'utilisateur ;-)";
const std::wstring INVALID_SELECTION =
    L"Le fichier sélectionné est invalide.\nLa sélection est annulée.";
const std::wstring NO_GAME_PATH =
    L"Impossible de modifier le chemin de World of Warcraft.\nChemin non spécifié.";
const std::wstring GAME_PATH_NOT_SAVED =
    L"Impossible de mettre à jour le chemin de World of Warcraft.\nLa sauvegarde des paramètres a "
    L"échoué.";
const std::wstring SHORTCUT_CREATED = L"Raccourci créé avec succès.";
const std::wstring SHORTCUT_TOO_LONG =
    L"Impossible de créer le raccourci.\nLe chemin de destination est trop long.";
const std::wstring SHORTCUT_NO_DESTINATION =
    L"Impossible de créer le raccourci.\nLe dossier de destination n'a pas pu être trouvé.";
const std::wstring SHORTCUT_NOT_SAVED =
    L"Création du raccourci échouée.\nImpossible de sauvegarder le fichier.";
const std::wstring TOC_PATH = L"Interface\\AddOns\\Quillfern\\Quillfern.toc";

std::string toc(const std::string& version, const std::string& edition) {
    std::string text = "## Title: Quillfern\r\n";
    if (!version.empty()) text += "## Version: Version " + version + "\r\n";
    if (!edition.empty()) text += "## X-Version: " + edition + "\r\n";
    return text;
}

std::wstring without_backslash(const std::wstring& folder) {
    return folder.empty() || folder.back() != L'\\' ? folder : folder.substr(0, folder.size() - 1);
}

std::wstring program_path() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// What a window opened over the options dialog showed, and how it was answered.
struct SeenWindow {
    bool file_dialog = false;
    std::wstring title, text, icon;
    std::wstring buttons;  // the box's buttons among OK, Oui, Non
    std::wstring folder;   // the file dialog's folder when it was answered
    int answer = 0;
};

// How to answer the next window: a message box's button, or the file name to
// choose in the file dialog (empty: cancel it).
struct Answer {
    int button;
    std::wstring file;
};
Answer press(int button) { return {button, {}}; }
Answer choose(const std::wstring& file) { return {IDOK, file}; }
Answer cancel_choice() { return {IDCANCEL, {}}; }

// Answers, in order, every message box and file dialog that the options
// dialog opens; without a queued answer a box gets OK, else "Non".
class WindowAnswerer {
public:
    // main_window: the options dialog's owner, so the dialog itself is told apart.
    WindowAnswerer(HWND main_window, std::vector<Answer> answers)
        : main_window_(main_window),
          answers_(answers.begin(), answers.end()),
          stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_.reset(CreateThread(nullptr, 0, run, this, 0, nullptr));
    }
    ~WindowAnswerer() {
        SetEvent(stop_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    WindowAnswerer(const WindowAnswerer&) = delete;
    WindowAnswerer& operator=(const WindowAnswerer&) = delete;

    std::vector<SeenWindow> seen() const {
        std::lock_guard<std::mutex> hold(lock_);
        return seen_;
    }

private:
    struct Search {
        HWND main_window;
        HWND found;
    };

    // Owned by a window other than the main one: a window that closes at that
    // moment has no owner any more, so it is never mistaken for a box.
    static BOOL CALLBACK find(HWND window, LPARAM param) {
        auto* search = reinterpret_cast<Search*>(param);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        const HWND owner = GetWindow(window, GW_OWNER);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) && owner &&
            owner != search->main_window && class_name(window) == L"#32770") {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }

    static DWORD WINAPI run(void* param) {
        auto* self = static_cast<WindowAnswerer*>(param);
        while (WaitForSingleObject(self->stop_.get(), 30) == WAIT_TIMEOUT) {
            Search search{self->main_window_, nullptr};
            EnumWindows(find, reinterpret_cast<LPARAM>(&search));
            if (search.found) self->answer(search.found);
        }
        return 0;
    }

    Answer next() {
        std::lock_guard<std::mutex> hold(lock_);
        if (answers_.empty()) return {0, {}};
        Answer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    void answer(HWND window) {
        SeenWindow seen;
        seen.title = window_text(window);
        const Answer wanted = next();
        if (HWND file_name = file_name_control(window)) {
            seen.file_dialog = true;
            wchar_t folder[MAX_PATH] = L"";
            SendMessageW(window, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
            seen.folder = folder;
            seen.answer = wanted.file.empty() ? IDCANCEL : IDOK;
            if (!wanted.file.empty())
                SendMessageW(file_name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wanted.file.c_str()));
        } else {
            seen.text = message_box_text(window);
            seen.icon = message_box_icon(window);
            const std::pair<int, const wchar_t*> buttons[] = {{IDOK, L"OK "}, {IDYES, L"Oui "},
                                                              {IDNO, L"Non "}};
            for (const auto& button : buttons) {
                HWND control = GetDlgItem(window, button.first);
                if (control && IsWindowVisible(control)) seen.buttons += button.second;
            }
            seen.answer = wanted.button;
            if (!seen.answer) seen.answer = GetDlgItem(window, IDOK) ? IDOK : IDNO;
        }
        {
            std::lock_guard<std::mutex> hold(lock_);
            seen_.push_back(seen);
        }
        press_button(window, seen.answer);
        for (int i = 0; i < 250 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(20);
    }

    const HWND main_window_;
    mutable std::mutex lock_;
    std::deque<Answer> answers_;
    std::vector<SeenWindow> seen_;
    UniqueKernelHandle stop_;
    UniqueKernelHandle thread_;
};

// The options dialog as the driving thread sees it. Every action is sent, so
// it has been handled, boxes included, when the call returns.
class OptionsDriver {
public:
    explicit OptionsDriver(HWND dialog) : dialog_(dialog) {}

    HWND dialog() const { return dialog_; }
    HWND item(int id) const { return GetDlgItem(dialog_, id); }
    std::wstring text(int id) const { return window_text(item(id)); }
    bool shown(int id) const { return (GetWindowLongPtrW(item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    bool checked(int id) const { return SendMessageW(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool open() const { return IsWindow(dialog_) && IsWindowVisible(dialog_); }

    // As a paste would: the edit itself notifies EN_UPDATE.
    void type(int id, const std::wstring& text) const {
        SendMessageW(item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // The real focus moves, so the edits notify EN_SETFOCUS and EN_KILLFOCUS.
    void focus(int id) const {
        SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(id)), TRUE);
    }
    void click(int id) const { SendMessageW(item(id), BM_CLICK, 0, 0); }
    void press(int id) const {
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(item(id)));
    }

private:
    HWND dialog_;
};

using Script = std::function<void(const OptionsDriver&)>;

struct DialogRun {
    bool found = false;
    bool closed = false;  // by the script's own actions
    INT_PTR result = -2;
    std::vector<SeenWindow> windows;
};

struct DriverStart {
    const Script* script;
    DialogRun* run;
};

DWORD WINAPI drive_dialog(void* param) {
    auto* start = static_cast<DriverStart*>(param);
    HWND dialog = wait_for_window(GetCurrentProcessId(), L"#32770", OPTIONS_TITLE, 10000);
    if (!dialog) {
        // Never leave a modal loop waiting: close whatever opened, shown or not.
        dialog = FindWindowW(L"#32770", OPTIONS_TITLE);
        if (dialog) PostMessageW(dialog, WM_COMMAND, IDC_OPTIONS_CANCEL, 0);
        return 0;
    }
    start->run->found = true;
    const OptionsDriver driver(dialog);
    (*start->script)(driver);
    start->run->closed = !driver.open();
    if (!start->run->closed) driver.press(IDC_OPTIONS_CANCEL);
    return 0;
}

// A command the main window received, and whether the options dialog was
// still on screen then.
struct OwnerCommand {
    WPARAM wparam;
    LPARAM lparam;
    bool dialog_open;
};

LRESULT CALLBACK owner_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COMMAND) {
        auto* commands =
            reinterpret_cast<std::vector<OwnerCommand>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        HWND dialog = FindWindowW(L"#32770", OPTIONS_TITLE);
        if (commands) commands->push_back({wparam, lparam, dialog && IsWindowVisible(dialog)});
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

std::vector<WPARAM> command_ids(const std::vector<OwnerCommand>& commands) {
    std::vector<WPARAM> ids;
    for (const OwnerCommand& c : commands) ids.push_back(c.wparam);
    return ids;
}

std::vector<std::wstring> texts(const std::vector<SeenWindow>& windows) {
    std::vector<std::wstring> result;
    for (const SeenWindow& w : windows) result.push_back(w.file_dialog ? L"<file dialog>" : w.text);
    return result;
}

// For failure messages: every window seen, title and text.
std::string describe(const std::vector<SeenWindow>& windows) {
    std::wstring all;
    for (const SeenWindow& w : windows) all += L"[" + w.title + L"] " + w.text + L"; ";
    std::string narrow;
    for (wchar_t c : all) narrow += c < 128 ? static_cast<char>(c) : '?';
    return narrow;
}

class OptionsDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSW owner_class{};
        owner_class.lpfnWndProc = owner_proc;
        owner_class.hInstance = GetModuleHandleW(nullptr);
        owner_class.lpszClassName = OWNER_CLASS;
        RegisterClassW(&owner_class);
    }
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, start_folder_);
        // As the program's entry does on the interface thread.
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        settings_ = open_settings(registry_);
        owner_ = CreateWindowExW(0, OWNER_CLASS, L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(owner_);
        SetWindowLongPtrW(owner_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&commands_));
    }
    void TearDown() override {
        DestroyWindow(owner_);
        CoUninitialize();
        leave_chosen_folder();
    }

    // The file dialog makes the folder it ends in the current one, which then
    // cannot be removed: the scratch folders need the old one back.
    void leave_chosen_folder() { SetCurrentDirectoryW(start_folder_); }

    // A complete stored account: the game folder, alice and her password.
    void store_account(const wchar_t* password = L"secret") {
        registry_.set_text(VALUE_GAME_PATH, game_.path());
        registry_.set_text(VALUE_USERNAME, L"alice");
        if (password) store_password(password);
    }
    void store_password(const wchar_t* password) {
        wchar_t message[MESSAGE_CAPACITY];
        ASSERT_EQ(OUTCOME_OK, set_password(message, settings_, password));
    }
    std::wstring stored_password() {
        wchar_t password[PATH_CAPACITY];
        return get_password(settings_, password) == OUTCOME_OK ? password : L"<none>";
    }

    DialogRun run(const Script& script, std::vector<Answer> answers = {},
                  SettingsKey* settings = nullptr) {
        DialogRun result;
        {
            WindowAnswerer answerer(owner_, answers);
            DriverStart start{&script, &result};
            UniqueKernelHandle driver(CreateThread(nullptr, 0, drive_dialog, &start, 0, nullptr));
            DialogContext context{settings ? settings : &settings_, owner_};
            result.result =
                DialogBoxParamW(GetModuleHandleW(nullptr), L"OPTIONSDIALOG", owner_,
                                options_dialog_proc, reinterpret_cast<LPARAM>(&context));
            WaitForSingleObject(driver.get(), 30000);
            result.windows = answerer.seen();
        }
        EXPECT_TRUE(result.found) << "the dialog showed";
        EXPECT_EQ(0, result.result);
        return result;
    }

    // OK ended the dialog, and the main window was told only afterwards.
    void expect_closed_then(const DialogRun& r, const std::vector<WPARAM>& commands) {
        EXPECT_TRUE(r.closed);
        EXPECT_EQ(commands, command_ids(commands_));
        for (const OwnerCommand& c : commands_) {
            EXPECT_EQ(0, c.lparam);
            EXPECT_FALSE(c.dialog_open) << "command " << c.wparam << " came before EndDialog";
        }
    }
    void expect_still_open(const DialogRun& r) {
        EXPECT_FALSE(r.closed);
        EXPECT_TRUE(commands_.empty()) << "nothing is sent while the dialog stays";
    }

    ScratchKey registry_;
    SettingsKey settings_;
    ScratchFolder game_;
    HWND owner_ = nullptr;
    std::vector<OwnerCommand> commands_;
    wchar_t start_folder_[MAX_PATH] = L"";
};

TEST_F(OptionsDialogTest, OpensWithTheStoredSettingsAndOnlyAnnulerLeaves) {
    store_account();
    registry_.set_text(VALUE_ADDON_EDITION, L"Full");
    std::wstring folder, name, password;
    bool placeholder = false, light = true, full = false, open_after_escape = false;
    LRESULT login_limit = 0, password_limit = 0;
    int fonts = 0, controls = 0;
    const DialogRun r = run([&](const OptionsDriver& d) {
        folder = d.text(IDC_OPTIONS_GAME_FOLDER);
        name = d.text(IDC_OPTIONS_LOGIN);
        password = d.text(IDC_OPTIONS_PASSWORD);
        placeholder = d.shown(IDC_OPTIONS_PASSWORD_PLACEHOLDER);
        light = d.checked(IDC_OPTIONS_LIGHT);
        full = d.checked(IDC_OPTIONS_FULL);
        login_limit = SendMessageW(d.item(IDC_OPTIONS_LOGIN), EM_GETLIMITTEXT, 0, 0);
        password_limit = SendMessageW(d.item(IDC_OPTIONS_PASSWORD), EM_GETLIMITTEXT, 0, 0);
        const HGDIOBJ gui_font = GetStockObject(DEFAULT_GUI_FONT);
        for (HWND c = GetWindow(d.dialog(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++controls)
            if (reinterpret_cast<HGDIOBJ>(SendMessageW(c, WM_GETFONT, 0, 0)) == gui_font) ++fonts;
        SendMessageW(d.dialog(), WM_COMMAND, IDCANCEL, 0);  // Escape
        open_after_escape = d.open();
        d.press(IDC_OPTIONS_CANCEL);
    });
    EXPECT_EQ(game_.path(), folder);
    EXPECT_EQ(L"alice", name);
    EXPECT_EQ(L"", password) << "the stored password is never shown";
    EXPECT_TRUE(placeholder);
    EXPECT_FALSE(light);
    EXPECT_TRUE(full);
    EXPECT_EQ(250, login_limit);
    EXPECT_EQ(250, password_limit);
    EXPECT_EQ(17, controls);
    EXPECT_EQ(controls, fonts) << "every control has the GUI font";
    EXPECT_TRUE(open_after_escape);
    EXPECT_TRUE(r.closed) << "Annuler ends it";
    EXPECT_TRUE(r.windows.empty());
    EXPECT_TRUE(commands_.empty()) << "Annuler tells the main window nothing";
}

TEST_F(OptionsDialogTest, RadioButtonFollowsTheStoredEdition) {
    const std::vector<std::pair<const wchar_t*, int>> cases = {
        {L"Light", IDC_OPTIONS_LIGHT}, {L"Full", IDC_OPTIONS_FULL},
        {L"full", IDC_OPTIONS_LIGHT}, {nullptr, IDC_OPTIONS_LIGHT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first ? c.first : L"(absent)");
        if (c.first)
            registry_.set_text(VALUE_ADDON_EDITION, c.first);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, registry_.subkey(), VALUE_ADDON_EDITION);
        bool light = false, full = false;
        run([&](const OptionsDriver& d) {
            light = d.checked(IDC_OPTIONS_LIGHT);
            full = d.checked(IDC_OPTIONS_FULL);
        });
        EXPECT_EQ(c.second == IDC_OPTIONS_LIGHT, light);
        EXPECT_EQ(c.second == IDC_OPTIONS_FULL, full);
    }
}

struct PlaceholderCase {
    const char* name;
    const wchar_t* stored_password;  // null: none stored
    std::vector<std::wstring> typed_names;  // typed into field 69 in turn
    const wchar_t* typed_password;
    bool shown_at_open;
    bool shown_after_leaving;
};

TEST_F(OptionsDialogTest, PlaceholderComesBackOnlyOverAnEmptyFieldForTheStoredAccount) {
    const std::vector<PlaceholderCase> cases = {
        {"stored, untouched", L"secret", {}, L"", true, true},
        {"none stored", nullptr, {}, L"", false, false},
        {"empty password stored", L"", {}, L"", false, false},
        {"name changed", L"secret", {L"bob"}, L"", true, false},
        {"name changed and back", L"secret", {L"bob", L"alice"}, L"", true, false},
        {"password typed", L"secret", {}, L"neuf", true, false},
    };
    for (const PlaceholderCase& c : cases) {
        SCOPED_TRACE(c.name);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, registry_.subkey(), VALUE_PASSWORD);
        store_account(c.stored_password);
        bool at_open = !c.shown_at_open, on_focus = true, after_leaving = !c.shown_after_leaving;
        run([&](const OptionsDriver& d) {
            at_open = d.shown(IDC_OPTIONS_PASSWORD_PLACEHOLDER);
            for (const std::wstring& name : c.typed_names) d.type(IDC_OPTIONS_LOGIN, name);
            d.focus(IDC_OPTIONS_PASSWORD);
            on_focus = d.shown(IDC_OPTIONS_PASSWORD_PLACEHOLDER);
            d.type(IDC_OPTIONS_PASSWORD, c.typed_password);
            d.focus(IDC_OPTIONS_LOGIN);
            after_leaving = d.shown(IDC_OPTIONS_PASSWORD_PLACEHOLDER);
        });
        EXPECT_EQ(c.shown_at_open, at_open);
        EXPECT_FALSE(on_focus) << "hidden while the field has the focus";
        EXPECT_EQ(c.shown_after_leaving, after_leaving);
    }
}

TEST_F(OptionsDialogTest, ChangedUserNameHidesThePlaceholderAtOnce) {
    store_account();
    bool before = false, after = true;
    run([&](const OptionsDriver& d) {
        before = d.shown(IDC_OPTIONS_PASSWORD_PLACEHOLDER);
        d.type(IDC_OPTIONS_LOGIN, L"alic");
        after = d.shown(IDC_OPTIONS_PASSWORD_PLACEHOLDER);
    });
    EXPECT_TRUE(before);
    EXPECT_FALSE(after);
}

TEST_F(OptionsDialogTest, UntouchedOkSavesTheStoredPasswordAgain) {
    store_account();
    RegDeleteKeyValueW(HKEY_CURRENT_USER, registry_.subkey(), VALUE_ADDON_EDITION);
    const DialogRun r = run([](const OptionsDriver& d) { d.press(IDC_OPTIONS_OK); });
    expect_closed_then(r, {IDM_REFRESH});
    EXPECT_TRUE(r.windows.empty()) << texts(r.windows).size() << " boxes";
    EXPECT_EQ(L"secret", stored_password());
    EXPECT_EQ(L"alice", registry_.text(VALUE_USERNAME));
    EXPECT_EQ(game_.path(), registry_.text(VALUE_GAME_PATH));
    EXPECT_EQ(L"Light", registry_.text(VALUE_ADDON_EDITION)) << "the fourth save ran too";
}

TEST_F(OptionsDialogTest, OkSavesTheFourSettings) {
    store_account();
    ScratchFolder other_game;
    const DialogRun r = run(
        [&](const OptionsDriver& d) {
            d.type(IDC_OPTIONS_GAME_FOLDER, other_game.path());  // as a browse choice leaves it
            d.type(IDC_OPTIONS_LOGIN, L"bob");
            d.type(IDC_OPTIONS_PASSWORD, L"hunter2");
            d.click(IDC_OPTIONS_FULL);
            d.press(IDC_OPTIONS_OK);
        },
        {press(IDYES)});
    // Nothing installed reads as Light: choosing Full asks, and Oui asks for the update.
    ASSERT_EQ(1u, r.windows.size());
    EXPECT_EQ(EDITION_QUESTION, r.windows[0].text);
    expect_closed_then(r, {IDM_REFRESH, IDM_UPDATE_ADDON});
    EXPECT_EQ(other_game.path(), registry_.text(VALUE_GAME_PATH));
    EXPECT_EQ(L"bob", registry_.text(VALUE_USERNAME));
    EXPECT_EQ(L"hunter2", stored_password());
    EXPECT_EQ(L"Full", registry_.text(VALUE_ADDON_EDITION));
}

TEST_F(OptionsDialogTest, EmptyUserNameAndPasswordAreSavedAsSuch) {
    store_account();
    const DialogRun r = run([](const OptionsDriver& d) {
        d.type(IDC_OPTIONS_LOGIN, L"");
        d.press(IDC_OPTIONS_OK);
    });
    expect_closed_then(r, {IDM_REFRESH});
    EXPECT_TRUE(r.windows.empty());
    EXPECT_TRUE(registry_.has_value(VALUE_USERNAME));
    EXPECT_EQ(L"", registry_.text(VALUE_USERNAME));
    EXPECT_EQ(L"", stored_password());
}

struct AccountCheckCase {
    const char* name;
    const wchar_t* stored_password;  // null: none stored
    std::vector<std::wstring> typed_names;
    const wchar_t* typed_password;
    std::wstring box;
};

TEST_F(OptionsDialogTest, AccountChecksKeepTheDialogOpenAndSaveNothing) {
    const std::vector<AccountCheckCase> cases = {
        {"name changed, no password", L"secret", {L"bob"}, L"", PASSWORD_MISSING},
        {"name changed back", L"secret", {L"bob", L"alice"}, L"", PASSWORD_MISSING},
        {"no stored password", nullptr, {}, L"", PASSWORD_MISSING},
        {"empty stored password", L"", {}, L"", PASSWORD_MISSING},
        {"password without name", L"secret", {L""}, L"neuf", USERNAME_MISSING},
    };
    for (const AccountCheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, registry_.subkey(), VALUE_PASSWORD);
        store_account(c.stored_password);
        const std::wstring password_before = stored_password();
        ScratchFolder other_game;
        commands_.clear();
        const DialogRun r = run([&](const OptionsDriver& d) {
            d.type(IDC_OPTIONS_GAME_FOLDER, other_game.path());
            for (const std::wstring& name : c.typed_names) d.type(IDC_OPTIONS_LOGIN, name);
            d.type(IDC_OPTIONS_PASSWORD, c.typed_password);
            d.press(IDC_OPTIONS_OK);
        });
        expect_still_open(r);
        ASSERT_EQ(1u, r.windows.size());
        EXPECT_EQ(c.box, r.windows[0].text);
        EXPECT_EQ(L"Information", r.windows[0].title);
        EXPECT_EQ(L"information", r.windows[0].icon);
        EXPECT_EQ(L"OK ", r.windows[0].buttons);
        EXPECT_EQ(game_.path(), registry_.text(VALUE_GAME_PATH)) << "nothing saved";
        EXPECT_EQ(L"alice", registry_.text(VALUE_USERNAME));
        EXPECT_EQ(password_before, stored_password());
        EXPECT_FALSE(registry_.has_value(VALUE_ADDON_EDITION));
    }
}

TEST_F(OptionsDialogTest, EmptyGameFolderStopsBeforeTheOtherSaves) {
    store_account();
    const DialogRun r = run([](const OptionsDriver& d) {
        d.type(IDC_OPTIONS_GAME_FOLDER, L"");
        d.type(IDC_OPTIONS_LOGIN, L"bob");
        d.type(IDC_OPTIONS_PASSWORD, L"hunter2");
        d.press(IDC_OPTIONS_OK);
    });
    expect_still_open(r);
    ASSERT_EQ(1u, r.windows.size());
    EXPECT_EQ(NO_GAME_PATH, r.windows[0].text);
    EXPECT_EQ(L"Error", r.windows[0].title) << "the system's default title";
    EXPECT_EQ(L"error", r.windows[0].icon);
    EXPECT_EQ(game_.path(), registry_.text(VALUE_GAME_PATH));
    EXPECT_EQ(L"alice", registry_.text(VALUE_USERNAME));
    EXPECT_EQ(L"secret", stored_password());
    EXPECT_FALSE(registry_.has_value(VALUE_ADDON_EDITION));
}

TEST_F(OptionsDialogTest, ReadOnlySettingsShowOnlyTheFirstFailedSave) {
    store_account();
    SettingsKey read_only = open_settings(registry_, KEY_READ);
    const DialogRun r = run(
        [](const OptionsDriver& d) {
            d.type(IDC_OPTIONS_LOGIN, L"bob");
            d.type(IDC_OPTIONS_PASSWORD, L"hunter2");
            d.press(IDC_OPTIONS_OK);
        },
        {}, &read_only);
    expect_still_open(r);
    EXPECT_EQ(std::vector<std::wstring>{GAME_PATH_NOT_SAVED}, texts(r.windows));
    EXPECT_EQ(L"alice", registry_.text(VALUE_USERNAME));
    EXPECT_EQ(L"secret", stored_password());
    EXPECT_FALSE(registry_.has_value(VALUE_ADDON_EDITION));
}

struct EditionCase {
    const char* name;
    bool stored_folder;
    const char* toc;  // null: the addon is not installed
    int checked;
    bool asked;
    std::vector<WPARAM> commands;
};

TEST_F(OptionsDialogTest, UpdateIsRequestedWhenTheEditionChangesOrCannotBeRead) {
    const std::string full = toc("2.1", "Full"), light = toc("2.1", "Light");
    const std::string no_version = toc("", ""), full_no_version = toc("", "Full");
    const std::vector<WPARAM> refresh = {IDM_REFRESH}, both = {IDM_REFRESH, IDM_UPDATE_ADDON};
    const std::vector<EditionCase> cases = {
        {"not installed, Light", true, nullptr, IDC_OPTIONS_LIGHT, false, refresh},
        {"not installed, Full", true, nullptr, IDC_OPTIONS_FULL, true, both},
        {"Full installed, Full", true, full.c_str(), IDC_OPTIONS_FULL, false, refresh},
        {"Full installed, Light", true, full.c_str(), IDC_OPTIONS_LIGHT, true, both},
        {"Light installed, Light", true, light.c_str(), IDC_OPTIONS_LIGHT, false, refresh},
        {"Light installed, Full", true, light.c_str(), IDC_OPTIONS_FULL, true, both},
        {"no version line, Light", true, no_version.c_str(), IDC_OPTIONS_LIGHT, false, both},
        {"no version line, Full", true, no_version.c_str(), IDC_OPTIONS_FULL, true, both},
        {"no version line, Full edition, Light", true, full_no_version.c_str(), IDC_OPTIONS_LIGHT,
         true, both},
        {"no stored folder, Full", false, nullptr, IDC_OPTIONS_FULL, false, both},
    };
    for (const EditionCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchKey registry;
        SettingsKey settings = open_settings(registry);
        ScratchFolder game;
        if (c.stored_folder) registry.set_text(VALUE_GAME_PATH, game.path());
        if (c.toc) game.make_file(TOC_PATH, c.toc);
        registry.set_text(VALUE_ADDON_EDITION, L"Light");
        commands_.clear();
        const DialogRun r = run(
            [&](const OptionsDriver& d) {
                d.type(IDC_OPTIONS_GAME_FOLDER, game.path());
                d.click(c.checked);
                d.press(IDC_OPTIONS_OK);
            },
            {press(IDYES)}, &settings);
        ASSERT_EQ(c.asked ? 1u : 0u, r.windows.size()) << describe(r.windows);
        if (c.asked) {
            EXPECT_EQ(EDITION_QUESTION, r.windows[0].text);
            EXPECT_EQ(L"Information", r.windows[0].title);
            EXPECT_EQ(L"information", r.windows[0].icon);
            EXPECT_EQ(L"Oui Non ", r.windows[0].buttons);
        }
        expect_closed_then(r, c.commands);
        EXPECT_EQ(c.checked == IDC_OPTIONS_FULL ? L"Full" : L"Light",
                  registry.text(VALUE_ADDON_EDITION));
    }
}

TEST_F(OptionsDialogTest, EditionIsReadFromTheStoredFolderAndNonSavesNothing) {
    store_account();
    game_.make_file(TOC_PATH, toc("2.1", "Full"));
    ScratchFolder other_game;  // nothing installed there: the field is not what is read
    bool open_after_no = false;
    std::vector<WPARAM> commands_after_no;
    const DialogRun r = run(
        [&](const OptionsDriver& d) {
            d.type(IDC_OPTIONS_GAME_FOLDER, other_game.path());
            d.type(IDC_OPTIONS_LOGIN, L"bob");
            d.type(IDC_OPTIONS_PASSWORD, L"hunter2");
            d.press(IDC_OPTIONS_OK);
            open_after_no = d.open();
            d.press(IDC_OPTIONS_OK);
        },
        {press(IDNO), press(IDYES)});
    EXPECT_TRUE(open_after_no);
    EXPECT_EQ((std::vector<std::wstring>{EDITION_QUESTION, EDITION_QUESTION}), texts(r.windows));
    expect_closed_then(r, {IDM_REFRESH, IDM_UPDATE_ADDON});
    EXPECT_EQ(other_game.path(), registry_.text(VALUE_GAME_PATH));
    EXPECT_EQ(L"bob", registry_.text(VALUE_USERNAME));
    EXPECT_EQ(L"Light", registry_.text(VALUE_ADDON_EDITION));
}

TEST_F(OptionsDialogTest, NonLeavesTheDialogUnsaved) {
    store_account();
    game_.make_file(TOC_PATH, toc("2.1", "Full"));
    const DialogRun r = run(
        [](const OptionsDriver& d) {
            d.type(IDC_OPTIONS_LOGIN, L"bob");
            d.type(IDC_OPTIONS_PASSWORD, L"hunter2");
            d.press(IDC_OPTIONS_OK);
        },
        {press(IDNO)});
    expect_still_open(r);
    EXPECT_EQ(std::vector<std::wstring>{EDITION_QUESTION}, texts(r.windows));
    EXPECT_EQ(L"alice", registry_.text(VALUE_USERNAME));
    EXPECT_EQ(L"secret", stored_password());
    EXPECT_FALSE(registry_.has_value(VALUE_ADDON_EDITION));
}

TEST_F(OptionsDialogTest, EditionQuestionComesBeforeTheFieldChecksAndAgainAtTheNextOk) {
    store_account();
    game_.make_file(TOC_PATH, toc("2.1", "Full"));
    const DialogRun r = run(
        [](const OptionsDriver& d) {
            d.type(IDC_OPTIONS_LOGIN, L"bob");  // and no password: a later check fails
            d.press(IDC_OPTIONS_OK);
            d.press(IDC_OPTIONS_OK);
        },
        {press(IDYES), press(IDOK), press(IDYES), press(IDOK)});
    expect_still_open(r);
    EXPECT_EQ((std::vector<std::wstring>{EDITION_QUESTION, PASSWORD_MISSING, EDITION_QUESTION,
                                         PASSWORD_MISSING}),
              texts(r.windows));
    EXPECT_EQ(L"alice", registry_.text(VALUE_USERNAME));
    EXPECT_FALSE(registry_.has_value(VALUE_ADDON_EDITION));
}

// The real file dialog: it opens in the stored folder, whatever the field shows.
struct BrowseCase {
    const wchar_t* file;
    bool accepted;
};

TEST_F(OptionsDialogTest, BrowseTakesOnlyTheGameExecutable) {
    const std::vector<BrowseCase> cases = {
        {L"WoW.exe", true}, {L"Wow.exe", true}, {L"wow.exe", false}, {L"NewWoW.exe", false}};
    store_account();
    for (const BrowseCase& c : cases) {
        SCOPED_TRACE(c.file);
        ScratchFolder chosen;
        const std::wstring file = chosen.make_file(c.file, "MZ");
        std::wstring field;
        const DialogRun r = run(
            [&](const OptionsDriver& d) {
                d.type(IDC_OPTIONS_GAME_FOLDER, L"C:\\ailleurs\\");
                d.press(IDC_OPTIONS_BROWSE);
                field = d.text(IDC_OPTIONS_GAME_FOLDER);
            },
            {choose(file)});
        leave_chosen_folder();
        ASSERT_FALSE(r.windows.empty());
        EXPECT_TRUE(r.windows[0].file_dialog);
        EXPECT_EQ(0, lstrcmpiW(without_backslash(game_.path()).c_str(),
                               without_backslash(r.windows[0].folder).c_str()))
            << "opened in " << std::string(r.windows[0].folder.begin(), r.windows[0].folder.end());
        if (c.accepted) {
            EXPECT_EQ(1u, r.windows.size());
            EXPECT_EQ(chosen.path(), field);
        } else {
            ASSERT_EQ(2u, r.windows.size());
            EXPECT_EQ(INVALID_SELECTION, r.windows[1].text);
            EXPECT_EQ(L"Error", r.windows[1].title);
            EXPECT_EQ(L"error", r.windows[1].icon);
            EXPECT_EQ(L"C:\\ailleurs\\", field) << "the field keeps what it had";
        }
        EXPECT_EQ(game_.path(), registry_.text(VALUE_GAME_PATH)) << "nothing saved yet";
        EXPECT_TRUE(commands_.empty());
    }
}

TEST_F(OptionsDialogTest, CancelledBrowseChangesNothing) {
    store_account();
    std::wstring field;
    const DialogRun r = run(
        [&](const OptionsDriver& d) {
            d.press(IDC_OPTIONS_BROWSE);
            field = d.text(IDC_OPTIONS_GAME_FOLDER);
        },
        {cancel_choice()});
    ASSERT_EQ(1u, r.windows.size());
    EXPECT_TRUE(r.windows[0].file_dialog);
    EXPECT_EQ(game_.path(), field);
}

struct ExecutableCase {
    const wchar_t* path;
    bool accepted;
    const wchar_t* folder;
};

TEST(GameExecutable, WholeFileNameMustBeTheGames) {
    const std::vector<ExecutableCase> cases = {
        {L"C:\\Games\\WoW.exe", true, L"C:\\Games\\"},
        {L"C:\\Games\\Wow.exe", true, L"C:\\Games\\"},
        {L"D:\\Jeux\\World of Warcraft\\WoW.exe", true, L"D:\\Jeux\\World of Warcraft\\"},
        {L"C:\\Games\\wow.exe", false, L""},
        {L"C:\\Games\\WOW.EXE", false, L""},
        {L"C:\\Games\\NewWoW.exe", false, L""},
        {L"C:\\Games\\NewWow.exe", false, L""},
        {L"C:\\Games\\WoW.exe.bak", false, L""},
        {L"C:\\WoW.exe\\", false, L""},
        {L"WoW.exe", false, L""},
        {L"", false, L""},
    };
    for (const ExecutableCase& c : cases) {
        SCOPED_TRACE(std::string(c.path, c.path + wcslen(c.path)));
        wchar_t folder[PATH_CAPACITY] = L"unchanged";
        EXPECT_EQ(c.accepted, accept_game_executable(c.path, folder, PATH_CAPACITY));
        EXPECT_STREQ(c.folder, folder);
    }
}

TEST(GameExecutable, FolderMustFitItsBuffer) {
    wchar_t folder[10];
    EXPECT_TRUE(accept_game_executable(L"C:\\Games\\WoW.exe", folder, 10));  // 9 + terminator
    EXPECT_STREQ(L"C:\\Games\\", folder);
    EXPECT_FALSE(accept_game_executable(L"C:\\Games\\WoW.exe", folder, 9));
    EXPECT_STREQ(L"", folder);
}

// Shortcuts: the link is read back through the shell, as Explorer would.
struct LinkContents {
    bool loaded = false;
    std::wstring target, description;
};

LinkContents read_link(const std::wstring& path) {
    LinkContents contents;
    UniqueCom<IShellLinkW> link;
    UniqueCom<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                put_void(link))) ||
        FAILED(link.get()->QueryInterface(IID_IPersistFile, put_void(file))) ||
        FAILED(file.get()->Load(path.c_str(), STGM_READ)))
        return contents;
    contents.loaded = true;
    wchar_t text[MAX_PATH] = L"";
    if (SUCCEEDED(link.get()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) contents.target = text;
    text[0] = 0;
    if (SUCCEEDED(link.get()->GetDescription(text, MAX_PATH))) contents.description = text;
    return contents;
}

std::wstring special_folder(int id) {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

struct ShortcutButtonCase {
    int button;
    int folder;
};

TEST_F(OptionsDialogTest, ShortcutButtonsWriteAndReplaceTheLink) {
    const std::vector<ShortcutButtonCase> cases = {{IDC_OPTIONS_DESKTOP, CSIDL_DESKTOP},
                                                   {IDC_OPTIONS_START_MENU, CSIDL_PROGRAMS}};
    store_account();
    for (const ShortcutButtonCase& c : cases) {
        SCOPED_TRACE(c.button);
        const std::wstring folder = special_folder(c.folder);
        ASSERT_FALSE(folder.empty());
        const std::wstring link = folder + L"\\Pellinport.lnk";
        DeleteFileW(link.c_str());
        LinkContents first, second;
        bool open_after = false;
        const DialogRun r = run([&](const OptionsDriver& d) {
            // The links are read back on this driving thread.
            const bool com = SUCCEEDED(CoInitialize(nullptr));
            d.press(c.button);
            first = read_link(link);
            // Something else of that name: the second press must replace it.
            {
                UniqueKernelHandle file(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, 0, nullptr));
                DWORD written = 0;
                WriteFile(file.get(), "not a link", 10, &written, nullptr);
            }
            d.press(c.button);
            second = read_link(link);
            open_after = d.open();
            if (com) CoUninitialize();
        });
        DeleteFileW(link.c_str());
        EXPECT_TRUE(open_after) << "the dialog stays";
        EXPECT_EQ((std::vector<std::wstring>{SHORTCUT_CREATED, SHORTCUT_CREATED}), texts(r.windows));
        for (const SeenWindow& w : r.windows) {
            EXPECT_EQ(L"Information", w.title);
            EXPECT_EQ(L"information", w.icon);
        }
        for (const LinkContents* contents : {&first, &second}) {
            EXPECT_TRUE(contents->loaded);
            EXPECT_EQ(0, lstrcmpiW(program_path().c_str(), contents->target.c_str()));
            EXPECT_EQ(L"Envoyez les données récoltées en jeu sur Quillfern.", contents->description);
        }
        EXPECT_TRUE(commands_.empty());
    }
}

class ShortcutTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
    ScratchFolder scratch_;
};

// A folder of exactly length characters (no trailing backslash) inside scratch.
std::wstring folder_of_length(const ScratchFolder& scratch, size_t length) {
    const std::wstring folder = scratch.path() + repeat(L'd', length - scratch.path().size());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

TEST_F(ShortcutTest, WholeShortcutPathMustFit) {
    const std::wstring target = program_path();
    const std::vector<std::pair<size_t, bool>> cases = {{200, true}, {244, true}, {245, false},
                                                        {246, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        ScratchFolder scratch;
        const std::wstring folder = folder_of_length(scratch, c.first);
        ASSERT_EQ(c.first, folder.size());
        ASSERT_TRUE(path_exists(folder)) << "the folder exists: only the length can fail";
        const std::wstring link = folder + L"\\Pellinport.lnk";
        wchar_t message[MESSAGE_CAPACITY] = L"old";
        const Outcome outcome = create_shortcut_in_folder(folder.c_str(), target.c_str(), message);
        if (c.second) {
            EXPECT_EQ(OUTCOME_INFO, outcome);
            EXPECT_EQ(SHORTCUT_CREATED, message);
            EXPECT_TRUE(read_link(link).loaded);
        } else {
            EXPECT_EQ(OUTCOME_ERROR, outcome);
            EXPECT_EQ(SHORTCUT_TOO_LONG, message);
            EXPECT_FALSE(path_exists(link));
        }
    }
}

TEST_F(ShortcutTest, MissingFolderIsASaveFailure) {
    const std::wstring folder = scratch_.path() + L"absent";
    wchar_t message[MESSAGE_CAPACITY];
    EXPECT_EQ(OUTCOME_ERROR,
              create_shortcut_in_folder(folder.c_str(), program_path().c_str(), message));
    EXPECT_EQ(SHORTCUT_NOT_SAVED, message);
}

TEST_F(ShortcutTest, ItemListOfAFolderGetsTheShortcut) {
    const std::wstring folder = without_backslash(scratch_.path());
    PIDLIST_ABSOLUTE list = ILCreateFromPathW(folder.c_str());
    ASSERT_TRUE(list);
    wchar_t message[MESSAGE_CAPACITY];
    EXPECT_EQ(OUTCOME_INFO, create_shortcut(list, program_path().c_str(), message));
    EXPECT_EQ(SHORTCUT_CREATED, message);
    const LinkContents contents = read_link(folder + L"\\Pellinport.lnk");
    EXPECT_TRUE(contents.loaded);
    EXPECT_EQ(0, lstrcmpiW(program_path().c_str(), contents.target.c_str()));
}

TEST_F(ShortcutTest, ItemListWithoutAFolderPathIsRefused) {
    PIDLIST_ABSOLUTE computer = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)));
    for (PIDLIST_ABSOLUTE list : {computer, static_cast<PIDLIST_ABSOLUTE>(nullptr)}) {
        wchar_t message[MESSAGE_CAPACITY] = L"old";
        EXPECT_EQ(OUTCOME_ERROR, create_shortcut(list, program_path().c_str(), message));
        EXPECT_EQ(SHORTCUT_NO_DESTINATION, message);
    }
}

TEST(ProgramPath, CutPathIsAFailure) {
    const std::wstring path = program_path();
    ASSERT_GT(path.size(), 3u);
    const std::vector<std::pair<size_t, bool>> cases = {
        {PATH_CAPACITY, true}, {path.size() + 1, true}, {path.size(), false}, {4, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        std::vector<wchar_t> buffer(c.first, L'x');
        wchar_t message[MESSAGE_CAPACITY] = L"old";
        const Outcome outcome = read_program_path(buffer.data(), buffer.size(), message);
        if (c.second) {
            EXPECT_EQ(OUTCOME_OK, outcome);
            EXPECT_EQ(path, buffer.data());
            EXPECT_STREQ(L"", message);
        } else {
            EXPECT_EQ(OUTCOME_ERROR, outcome);
            EXPECT_STREQ(L"", buffer.data()) << "no cut path is left to be used";
            EXPECT_EQ(L"Impossible de créer le raccourci.\nLe chemin du programme n'a pas pu être lu.",
                      std::wstring(message));
        }
    }
}

}  // namespace
