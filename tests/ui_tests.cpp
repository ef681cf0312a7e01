// The main window created in this process, inspected through the real
// window manager under Wine.
#include "net/site_constants.h"
#include "resources/resource_ids.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"
#include "ui/commands.h"
#include "ui/main_window.h"
#include "ui/show_outcome.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void pump_messages() {
    MSG message;
    for (int round = 0; round < 5; ++round) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(20);
    }
}

int startup_messages = 0;
WNDPROC original_proc = nullptr;

// Counts the start-up messages and keeps them from the window: the sequence
// they start (dialogs, the update) is driven by the end-to-end tests.
LRESULT CALLBACK counting_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP) {
        ++startup_messages;
        return 0;
    }
    return CallWindowProcW(original_proc, window, message, wparam, lparam);
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        register_main_window_class(GetModuleHandleW(nullptr));
    }
    void SetUp() override {
        settings_ = open_settings(registry_);
        window_ = create_main_window(GetModuleHandleW(nullptr), &settings_);
        ASSERT_TRUE(window_);
        state_ = main_window_state(window_);
        ASSERT_TRUE(state_);
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        pump_messages();  // takes the WM_QUIT that the window posts
    }
    ScratchKey registry_;
    SettingsKey settings_;
    HWND window_ = nullptr;
    MainWindow* state_ = nullptr;
};

TEST_F(MainWindowTest, FixedSizeWindowWithTitle) {
    EXPECT_EQ(L"Pellinport 1.1.018", window_text(window_));
    EXPECT_EQ(L"LZMain", class_name(window_));
    // Exactly these bits; the system adds WS_CLIPSIBLINGS to every top-level window.
    const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE) & ~(WS_CLIPSIBLINGS | WS_VISIBLE);
    EXPECT_EQ(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, style) << std::hex << style;
    EXPECT_EQ(0, style & WS_THICKFRAME) << "must not be resizable";
    EXPECT_TRUE(GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_WINDOWEDGE);
    RECT outer;
    GetWindowRect(window_, &outer);
    EXPECT_EQ(420, outer.right - outer.left);
    EXPECT_EQ(200, outer.bottom - outer.top);
    EXPECT_TRUE(GetClassLongPtrW(window_, GCLP_HICON));
}

struct ControlLayout {
    const wchar_t* window_class;
    std::wstring text;
    DWORD style;
    int x, y, width, height;  // height < 0: not checked (the combo box sets its own)
    bool gui_font;
};

TEST_F(MainWindowTest, TenControlsInOrder) {
    const DWORD push = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    const DWORD label = WS_CHILD | WS_VISIBLE | SS_LEFT;
    const std::vector<ControlLayout> expected = {
        {L"Button", L"Rafraîchir", push, 220, 4, 75, 25, true},
        {L"Button", L"Lancer WoW", push, 205, 110, 90, 25, true},
        {L"Button", L"Envoi des données", push, 300, 110, 105, 25, true},
        {L"Static", L"Compte:", label, 10, 10, 40, 15, true},
        {L"Static", L"Taille maximale du fichier: ", label, 110, 80, 150, 15, true},
        {L"Static", L"0%", label, 235, 80, 45, 15, true},
        {L"Static", L"", label, 160, 95, 95, 15, true},
        {L"Static", SITE_HOME_ADDRESS, WS_CHILD | WS_VISIBLE | SS_NOTIFY, 10, 115, 185, 15, true},
        {L"ComboBox", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 55, 6, 160, -1, true},
        {L"msctls_progress32", L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 20, 50, 370, 25, false},
    };
    const HWND handles[] = {state_->refresh_button, state_->launch_button, state_->send_button,
                            state_->account_label, state_->limit_label, state_->percent_text,
                            state_->size_text, state_->site_link, state_->account_list,
                            state_->fill_bar};
    const HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    HWND child = GetWindow(window_, GW_CHILD);
    for (size_t i = 0; i < expected.size(); ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        const ControlLayout& want = expected[i];
        SCOPED_TRACE(want.text + L" / " + want.window_class);
        ASSERT_TRUE(child);
        EXPECT_EQ(handles[i], child) << "creation order";
        EXPECT_EQ(0, lstrcmpiW(want.window_class, class_name(child).c_str())) << class_name(child);
        EXPECT_EQ(want.text, window_text(child));
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        EXPECT_EQ(want.style, style) << std::hex << style;
        EXPECT_EQ(0, GetDlgCtrlID(child));
        const RECT r = placement(child, window_);
        EXPECT_EQ(want.x, r.left);
        EXPECT_EQ(want.y, r.top);
        EXPECT_EQ(want.width, r.right);
        if (want.height >= 0) {
            EXPECT_EQ(want.height, r.bottom);
        }
        const HGDIOBJ control_font = reinterpret_cast<HGDIOBJ>(SendMessageW(child, WM_GETFONT, 0, 0));
        if (want.gui_font) {
            EXPECT_EQ(font, control_font);
        }
    }
    EXPECT_FALSE(child) << "no further controls";
}

TEST_F(MainWindowTest, FillBarGoesFromZeroToHundredByOne) {
    PBRANGE range{};
    SendMessageW(state_->fill_bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(0, range.iLow);
    EXPECT_EQ(100, range.iHigh);
    SendMessageW(state_->fill_bar, PBM_STEPIT, 0, 0);
    EXPECT_EQ(1, SendMessageW(state_->fill_bar, PBM_GETPOS, 0, 0));
}

TEST_F(MainWindowTest, SiteLinkIsBlueWithAHandCursor) {
    HDC dc = CreateCompatibleDC(nullptr);
    const LRESULT brush = SendMessageW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(state_->site_link));
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)), brush);
    EXPECT_EQ(RGB(0, 0, 255), GetTextColor(dc));
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(state_->account_label));
    EXPECT_NE(RGB(0, 0, 255), GetTextColor(dc));
    DeleteDC(dc);

    EXPECT_TRUE(SendMessageW(window_, WM_SETCURSOR, reinterpret_cast<WPARAM>(state_->site_link),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), GetCursor());
    SendMessageW(window_, WM_SETCURSOR, reinterpret_cast<WPARAM>(state_->account_label),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(LoadCursorW(nullptr, IDC_HAND), GetCursor());
}

TEST_F(MainWindowTest, StartupMessagePostedOnceAfterFirstShow) {
    startup_messages = 0;
    original_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(counting_proc)));
    pump_messages();
    EXPECT_EQ(0, startup_messages) << "nothing before the window shows";
    ShowWindow(window_, SW_SHOW);
    pump_messages();
    EXPECT_EQ(1, startup_messages);
    ShowWindow(window_, SW_HIDE);
    pump_messages();
    ShowWindow(window_, SW_SHOW);
    pump_messages();
    EXPECT_EQ(1, startup_messages);
    EXPECT_TRUE(state_->first_show_seen);
}

struct MenuItemLayout {
    UINT id;  // 0 for a separator
    const wchar_t* text;
};

TEST_F(MainWindowTest, MenuHasThreePopupsWithTheirCommands) {
    HMENU menu = GetMenu(window_);
    ASSERT_TRUE(menu);
    const std::vector<std::pair<const wchar_t*, std::vector<MenuItemLayout>>> expected = {
        {L"&Fichier", {{20, L"&Lancer WoW"}, {0, nullptr}, {21, L"&Quitter"}}},
        {L"&Affichage", {{26, L"&Rafraîchir"}, {0, nullptr}, {22, L"&Options..."}}},
        {L"&?",
         {{28, L"&Présentation..."},
          {25, L"&Mettre à jour l'addon Quillfern..."},
          {0, nullptr},
          {24, L"&A propos..."}}},
    };
    ASSERT_EQ(static_cast<int>(expected.size()), GetMenuItemCount(menu));
    for (size_t p = 0; p < expected.size(); ++p) {
        wchar_t text[128];
        GetMenuStringW(menu, static_cast<UINT>(p), text, 128, MF_BYPOSITION);
        EXPECT_STREQ(expected[p].first, text);
        HMENU popup = GetSubMenu(menu, static_cast<int>(p));
        ASSERT_TRUE(popup);
        const auto& items = expected[p].second;
        ASSERT_EQ(static_cast<int>(items.size()), GetMenuItemCount(popup));
        for (size_t i = 0; i < items.size(); ++i) {
            MENUITEMINFOW info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID;
            GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &info);
            if (items[i].id == 0) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << p << "/" << i;
                continue;
            }
            EXPECT_EQ(items[i].id, info.wID);
            GetMenuStringW(popup, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            EXPECT_STREQ(items[i].text, text);
        }
    }
}

// ---- dialog templates ----------------------------------------------------

INT_PTR CALLBACK inert_dialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

struct TemplateControl {
    int id;
    const wchar_t* window_class;
    const wchar_t* text;
    DWORD style;
    int x, y, width, height;  // dialog units
};

struct TemplateLayout {
    const wchar_t* name;
    const wchar_t* caption;
    int width, height;
    std::vector<TemplateControl> controls;  // in template order
};

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;

TEST(DialogTemplates, ControlsAsDesigned) {
    const DWORD group_box = CHILD | BS_GROUPBOX;
    const DWORD text = CHILD | WS_GROUP | SS_LEFT;
    const std::vector<TemplateLayout> templates = {
        {L"PROGRESSDIALOG", L"Progression", 150, 60,
         {{53, L"Static", L"", CHILD | WS_GROUP | SS_RIGHT, 100, 40, 40, 8},
          {52, L"Static", L"Veuillez patienter...", text, 10, 5, 130, 21},
          {51, L"msctls_progress32", L"", CHILD | PBS_SMOOTH, 10, 30, 130, 8},
          {50, L"Button", L"OK", CHILD | WS_TABSTOP | BS_CENTER | BS_DEFPUSHBUTTON, 50, 43, 42, 12}}},
        {L"OPTIONSDIALOG", L"Options", 150, 175,
         {{60, L"Button", L"Dossier WoW", group_box, 5, 5, 140, 30},
          {61, L"Button", L"Compte MyQuillfern", group_box, 5, 40, 140, 40},
          {74, L"Button", L"Version de l'addon Quillfern", group_box, 5, 85, 140, 35},
          {62, L"Button", L"Créer un raccourci vers le Pellinport", group_box, 5, 125, 140, 30},
          {63, L"Button", L"OK", CHILD | WS_TABSTOP | BS_CENTER | BS_DEFPUSHBUTTON, 53, 160, 42, 12},
          {64, L"Button", L"Annuler", CHILD | WS_TABSTOP | BS_CENTER | BS_PUSHBUTTON, 100, 160, 42, 12},
          {65, L"Edit", L"", CHILD | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, 10, 17, 90, 12},
          {66, L"Button", L"Parcourir...", CHILD | WS_TABSTOP | BS_PUSHBUTTON, 105, 17, 35, 12},
          {67, L"Static", L"Login:", text, 10, 52, 35, 12},
          {68, L"Static", L"Mot de passe:", text, 10, 67, 35, 12},
          {69, L"Edit", L"", CHILD | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 60, 49, 70, 12},
          {70, L"Edit", L"", CHILD | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, 60, 64, 70, 12},
          {73, L"Static", L"<Cliquer pour changer>", text, 62, 64, 66, 8},
          {75, L"Button", L"Light: Cartes du tracker de basse qualité.", CHILD | BS_AUTORADIOBUTTON, 25, 93, 105, 12},
          {76, L"Button", L"Full: Cartes du tracker de haute qualité.", CHILD | BS_AUTORADIOBUTTON, 25, 103, 105, 12},
          {71, L"Button", L"Bureau", CHILD | WS_TABSTOP | BS_CENTER | BS_PUSHBUTTON, 20, 135, 40, 12},
          {72, L"Button", L"Menu démarrer", CHILD | WS_TABSTOP | BS_CENTER | BS_PUSHBUTTON, 65, 135, 65, 12}}},
        {L"PRESENTATIONDIALOG", L"Présentation", 200, 180,
         {{78, L"Static", L"", text, 10, 5, 180, 48},
          {79, L"Static", L"", text, 10, 50, 180, 48},
          {80, L"Static", L"", text, 15, 65, 175, 48},
          {81, L"Static", L"", text, 15, 91, 175, 48},
          {82, L"Static", L"", text, 10, 115, 180, 48},
          {83, L"Static", L"", CHILD | WS_GROUP | SS_CENTER | SS_NOTIFY, 10, 138, 180, 8},
          {84, L"Static", L"", CHILD | WS_GROUP | SS_CENTER, 10, 150, 180, 8},
          {63, L"Button", L"OK", CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON | BS_CENTER, 79, 163, 42, 12}}},
    };
    for (const TemplateLayout& want : templates) {
        SCOPED_TRACE(want.name);
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), want.name, nullptr, inert_dialog, 0);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(want.caption, window_text(dialog));
        // The system adds DS_3DLOOK and WS_CLIPSIBLINGS to every dialog.
        const LONG_PTR dialog_style =
            GetWindowLongPtrW(dialog, GWL_STYLE) & ~(WS_CLIPSIBLINGS | WS_VISIBLE | DS_3DLOOK);
        EXPECT_EQ(WS_CAPTION, dialog_style) << std::hex << dialog_style << ": no close box";
        RECT client{0, 0, want.width, want.height};
        MapDialogRect(dialog, &client);
        RECT actual;
        GetClientRect(dialog, &actual);
        EXPECT_EQ(client.right, actual.right);
        EXPECT_EQ(client.bottom, actual.bottom);
        HWND child = GetWindow(dialog, GW_CHILD);
        for (const TemplateControl& c : want.controls) {
            SCOPED_TRACE(c.id);
            ASSERT_TRUE(child);
            EXPECT_EQ(c.id, GetDlgCtrlID(child)) << "template order";
            EXPECT_EQ(0, lstrcmpiW(c.window_class, class_name(child).c_str())) << class_name(child);
            EXPECT_EQ(c.text, window_text(child));
            const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
            // An edit control turns its WS_BORDER into a sunken client edge.
            const DWORD border = c.style & WS_BORDER;
            EXPECT_EQ(c.style & ~border, style & ~border) << std::hex << style;
            if (border) {
                EXPECT_TRUE((style & WS_BORDER) ||
                            (GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
            }
            // Position and size are each converted from dialog units.
            RECT place{c.x, c.y, c.width, c.height};
            MapDialogRect(dialog, &place);
            const RECT r = placement(child, dialog);
            EXPECT_EQ(place.left, r.left);
            EXPECT_EQ(place.top, r.top);
            EXPECT_EQ(place.right, r.right);
            EXPECT_EQ(place.bottom, r.bottom);
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_FALSE(child) << "no further controls";
        DestroyWindow(dialog);
    }
}

TEST(AboutBox, NamesProgramAndVersionWithoutBuild) {
    wchar_t text[MESSAGE_CAPACITY];
    about_text(text, MESSAGE_CAPACITY);
    const std::wstring about = text;
    EXPECT_EQ(0u, about.find(L"Pellinport 1.1\n\n"));
    EXPECT_EQ(std::wstring::npos, about.find(L"018"));
    EXPECT_EQ(std::wstring::npos, about.find(L'\n', 17)) << "one credit line";
    EXPECT_GT(about.size(), 17u);
}

TEST(ShowOutcome, ErrorAndInformationBoxes) {
    {
        MessageBoxAnswerer answerer;
        EXPECT_EQ(OUTCOME_INFO, show_outcome(nullptr, OUTCOME_INFO, L"Une notice."));
        EXPECT_EQ(L"Information", answerer.title());
        EXPECT_EQ(L"Une notice.", answerer.text());
        EXPECT_EQ(L"information", answerer.icon());
    }
    {
        MessageBoxAnswerer answerer;
        EXPECT_EQ(OUTCOME_ERROR, show_outcome(nullptr, OUTCOME_ERROR, L"Une erreur."));
        EXPECT_EQ(L"Error", answerer.title()) << "the system's default title";
        EXPECT_EQ(L"Une erreur.", answerer.text());
        EXPECT_EQ(L"error", answerer.icon());
    }
    MessageBoxAnswerer answerer;
    EXPECT_EQ(OUTCOME_OK, show_outcome(nullptr, OUTCOME_OK, L"Rien."));
    Sleep(200);
    EXPECT_EQ(0, answerer.boxes_seen());
}

}  // namespace
