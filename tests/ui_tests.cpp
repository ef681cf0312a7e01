// The main window created in this process, inspected through the real
// window manager under Wine.
#include "net/site_constants.h"
#include "resources/resource_ids.h"
#include "base/unique_handle.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"
#include "ui/commands.h"
#include "ui/main_window.h"
#include "progress/dialog_context.h"
#include "ui/options_dialog.h"
#include "ui/show_outcome.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
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

// The ten controls as laid out at 96 DPI, in creation order.
std::vector<ControlLayout> main_window_layout() {
    const DWORD push = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    const DWORD label = WS_CHILD | WS_VISIBLE | SS_LEFT;
    return {
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
}

// The state's handles in the same order.
std::vector<HWND> control_handles(const MainWindow& state) {
    return {state.refresh_button, state.launch_button, state.send_button, state.account_label,
            state.limit_label,    state.percent_text,  state.size_text,   state.site_link,
            state.account_list,   state.fill_bar};
}

TEST_F(MainWindowTest, TenControlsInOrder) {
    const std::vector<ControlLayout> expected = main_window_layout();
    const std::vector<HWND> handles = control_handles(*state_);
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

// ---- the screen's DPI ------------------------------------------------------

// Set for the runs of this program that ScreenDpi starts; without it the
// prefix's own 96 DPI is expected.
constexpr wchar_t DPI_VARIABLE[] = L"PELLINPORT_TESTS_LOGPIXELS";

int expected_dpi() {
    wchar_t text[8];
    const DWORD length = GetEnvironmentVariableW(DPI_VARIABLE, text, 8);
    return length > 0 && length < 8 ? _wtoi(text) : USER_DEFAULT_SCREEN_DPI;
}

struct MemoryDcTraits {
    static HDC empty() { return nullptr; }
    static bool valid(HDC dc) { return dc != nullptr; }
    static void close(HDC dc) { DeleteDC(dc); }
};
using UniqueMemoryDc = UniqueHandle<HDC, MemoryDcTraits>;

int process_dpi() {
    const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    return GetDeviceCaps(dc.get(), LOGPIXELSY);
}

// A length at 96 DPI on this screen, rounded to the nearest pixel.
int at_dpi(int pixels, int dpi) { return static_cast<int>(std::lround(pixels * dpi / 96.0)); }

TEST_F(MainWindowTest, WindowAndControlsScaleWithTheScreenDpi) {
    const int dpi = process_dpi();
    ASSERT_EQ(expected_dpi(), dpi) << "the DPI Wine read when this process started";
    RECT outer;
    GetWindowRect(window_, &outer);
    EXPECT_EQ(at_dpi(420, dpi), outer.right - outer.left);
    EXPECT_EQ(at_dpi(200, dpi), outer.bottom - outer.top);
    RECT client;
    GetClientRect(window_, &client);
    const std::vector<ControlLayout> layout = main_window_layout();
    const std::vector<HWND> handles = control_handles(*state_);
    for (size_t i = 0; i < layout.size(); ++i) {
        const ControlLayout& want = layout[i];
        SCOPED_TRACE(want.text + L" / " + want.window_class);
        const RECT r = placement(handles[i], window_);
        // Above 96 DPI the font outgrows the layout: "Compte:" may grow to its
        // text and the percentage may stand after the label's (see the next test).
        const bool grows = dpi > USER_DEFAULT_SCREEN_DPI;
        if (grows && handles[i] == state_->percent_text) {
            EXPECT_GE(r.left, at_dpi(want.x, dpi));
        } else {
            EXPECT_EQ(at_dpi(want.x, dpi), r.left);
        }
        EXPECT_EQ(at_dpi(want.y, dpi), r.top);
        if (grows && handles[i] == state_->account_label) {
            EXPECT_GE(r.right, at_dpi(want.width, dpi));
        } else {
            EXPECT_EQ(at_dpi(want.width, dpi), r.right);
        }
        if (want.height >= 0) {
            EXPECT_EQ(at_dpi(want.height, dpi), r.bottom);
        }
        // The caption and menu bar grow with the system's metrics, not by the
        // factor: the client area itself is not the 96-DPI one scaled.
        EXPECT_LE(r.left + r.right, client.right) << "within the client area";
        EXPECT_LE(r.top + r.bottom, client.bottom) << "within the client area";
    }
}

struct GdiObjectTraits {
    static HGDIOBJ empty() { return nullptr; }
    static bool valid(HGDIOBJ object) { return object != nullptr; }
    static void close(HGDIOBJ object) { DeleteObject(object); }
};
using UniqueGdiObject = UniqueHandle<HGDIOBJ, GdiObjectTraits>;

struct ScreenDcTraits {
    static HDC empty() { return nullptr; }
    static bool valid(HDC dc) { return dc != nullptr; }
    static void close(HDC dc) { ReleaseDC(nullptr, dc); }
};
using UniqueScreenDc = UniqueHandle<HDC, ScreenDcTraits>;

// The pixels a text covers when drawn in a control's font from (0, 0) in a
// box width wide, unclipped: what the player sees of it. The ink is measured,
// not the extent, since Wine's extents run wider than the glyphs it draws at
// 96 DPI; and it is drawn on a bitmap of the screen's own kind, since Wine's
// bitmaps in memory draw the same text to another width.
RECT ink_of(HWND control, const std::wstring& text, int width, UINT format) {
    constexpr int ROOM = 1000;  // wider and taller than any text here
    const UniqueScreenDc screen(GetDC(nullptr));
    const UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    const UniqueGdiObject bitmap(CreateCompatibleBitmap(screen.get(), ROOM, ROOM));
    if (!dc || !bitmap) return RECT{};
    const HGDIOBJ old_bitmap = SelectObject(dc.get(), bitmap.get());
    const HGDIOBJ old_font =
        SelectObject(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    PatBlt(dc.get(), 0, 0, ROOM, ROOM, WHITENESS);
    SetTextColor(dc.get(), RGB(0, 0, 0));
    SetBkMode(dc.get(), TRANSPARENT);
    RECT box{0, 0, width, ROOM};
    DrawTextW(dc.get(), text.c_str(), -1, &box, format);
    SelectObject(dc.get(), old_font);
    SelectObject(dc.get(), old_bitmap);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = ROOM;
    info.bmiHeader.biHeight = -ROOM;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(ROOM) * ROOM);
    if (GetDIBits(dc.get(), static_cast<HBITMAP>(bitmap.get()), 0, ROOM, pixels.data(), &info,
                  DIB_RGB_COLORS) != ROOM)
        return RECT{};
    RECT ink{ROOM, ROOM, 0, 0};
    for (int y = 0; y < ROOM; ++y)
        for (int x = 0; x < ROOM; ++x)
            if ((pixels[static_cast<size_t>(y) * ROOM + x] & 0xFFFFFF) != 0xFFFFFF) {
                ink.left = std::min<LONG>(ink.left, x);
                ink.top = std::min<LONG>(ink.top, y);
                ink.right = std::max<LONG>(ink.right, x + 1);
                ink.bottom = std::max<LONG>(ink.bottom, y + 1);
            }
    return ink;
}

bool overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Keeps the text clear of the button's 3D frame (2 px) and its focus rectangle.
constexpr int BUTTON_MARGIN = 3;

TEST_F(MainWindowTest, EveryTextFitsItsControl) {
    // The percentage and size as a full data file shows them, the longest a
    // player sees; every other control with the text it was created with.
    const struct {
        HWND MainWindow::*control;
        const wchar_t* shown;  // null: its own text
    } texts[] = {
        {&MainWindow::refresh_button, nullptr},       {&MainWindow::launch_button, nullptr},
        {&MainWindow::send_button, nullptr},          {&MainWindow::account_label, nullptr},
        {&MainWindow::limit_label, nullptr},          {&MainWindow::percent_text, L"100.0%"},
        {&MainWindow::size_text, L"1536Ko / 1536Ko"}, {&MainWindow::site_link, nullptr},
    };
    // Where each control shows something: a label its ink, since labels on one
    // line have overlapping boxes by design; any other control its box.
    std::vector<std::pair<HWND, RECT>> shown;
    for (HWND control : control_handles(*state_)) {
        const RECT box = placement(control, window_);
        shown.push_back({control, RECT{box.left, box.top, box.left + box.right, box.top + box.bottom}});
    }
    for (const auto& entry : texts) {
        const HWND control = state_->*entry.control;
        if (entry.shown) SetWindowTextW(control, entry.shown);
        const std::wstring text = window_text(control);
        SCOPED_TRACE(text);
        ASSERT_FALSE(text.empty());
        const RECT box = placement(control, window_);
        if (lstrcmpiW(class_name(control).c_str(), L"Button") == 0) {
            // One line, centred in the frame.
            const RECT ink = ink_of(control, text, box.right, DT_SINGLELINE);
            EXPECT_LE(ink.right - ink.left, box.right - 2 * BUTTON_MARGIN);
            EXPECT_LE(ink.bottom - ink.top, box.bottom - 2 * BUTTON_MARGIN);
            continue;
        }
        // A label wraps at its width as the STATIC class does: a wrapped or
        // cut line shows here as ink below or beside the box.
        const RECT ink = ink_of(control, text, box.right, DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS);
        EXPECT_LE(ink.right, box.right);
        EXPECT_LE(ink.bottom, box.bottom);
        for (auto& place : shown)
            if (place.first == control)
                place.second = RECT{box.left + ink.left, box.top + ink.top, box.left + ink.right,
                                    box.top + ink.bottom};
    }
    for (const auto& one : shown)
        for (const auto& other : shown)
            if (one.first < other.first) {
                EXPECT_FALSE(overlap(one.second, other.second))
                    << "\"" << window_text(one.first) << "\" " << class_name(one.first)
                    << " and \"" << window_text(other.first) << "\" " << class_name(other.first);
            }
}

// A dialog as its template lays it out, with nothing done at its opening.
INT_PTR CALLBACK inert_dialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The options dialog as the program opens it, modeless so that it can be read,
// beside the same template opened inert.
class OptionsLabelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings_ = open_settings(registry_);
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), L"OPTIONSDIALOG", nullptr,
                                     options_dialog_proc, reinterpret_cast<LPARAM>(&context_));
        designed_ = CreateDialogParamW(GetModuleHandleW(nullptr), L"OPTIONSDIALOG", nullptr,
                                       inert_dialog, 0);
        ASSERT_TRUE(dialog_);
        ASSERT_TRUE(designed_);
    }
    void TearDown() override {
        for (HWND dialog : {dialog_, designed_})
            if (IsWindow(dialog)) DestroyWindow(dialog);
        pump_messages();
    }
    ScratchKey registry_;
    SettingsKey settings_;
    DialogContext context_{&settings_, nullptr};
    HWND dialog_ = nullptr;
    HWND designed_ = nullptr;
};

TEST_F(OptionsLabelsTest, AccountLabelsShowTheirWholeTextBeforeTheirFields) {
    const struct {
        int label, field;
    } pairs[] = {{IDC_OPTIONS_LOGIN_LABEL, IDC_OPTIONS_LOGIN},
                 {IDC_OPTIONS_PASSWORD_LABEL, IDC_OPTIONS_PASSWORD}};
    const bool above_96 = process_dpi() > USER_DEFAULT_SCREEN_DPI;
    for (const auto& pair : pairs) {
        const HWND label = GetDlgItem(dialog_, pair.label);
        const std::wstring text = window_text(label);
        SCOPED_TRACE(text);
        const RECT box = placement(label, dialog_);
        const RECT field = placement(GetDlgItem(dialog_, pair.field), dialog_);
        EXPECT_LT(box.left + box.right, field.left) << "the label runs into its field";
        const RECT drawn = placement(GetDlgItem(designed_, pair.label), designed_);
        EXPECT_EQ(drawn.left, box.left);
        EXPECT_EQ(drawn.top, box.top);
        EXPECT_EQ(drawn.bottom, box.bottom);
        if (above_96) {
            // Wrapped as the STATIC class wraps it, it stays on one line, whole.
            const RECT ink = ink_of(label, text, box.right, DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS);
            const RECT line = ink_of(label, text, box.right, DT_SINGLELINE);
            EXPECT_EQ(line.bottom, ink.bottom) << "wrapped onto a second line";
            EXPECT_LE(ink.right, box.right);
            EXPECT_LE(ink.bottom, box.bottom);
        } else {
            // The dialog as it has always been ("Mot de passe:" on two lines).
            EXPECT_EQ(drawn.right, box.right);
        }
    }
}

// Sets the DPI that Wine reads when a process starts, and puts back what was
// there before (or nothing) when it goes away, the test failed or not: the
// other tests in this prefix expect 96.
class LogPixelsScope {
public:
    explicit LogPixelsScope(DWORD dpi) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, DESKTOP_KEY, 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key_.put(),
                            nullptr) != ERROR_SUCCESS)
            return;
        previous_size_ = sizeof(previous_);
        had_value_ = RegQueryValueExW(key_.get(), LOG_PIXELS, nullptr, &previous_type_, previous_,
                                      &previous_size_) == ERROR_SUCCESS;
        set_ = RegSetValueExW(key_.get(), LOG_PIXELS, 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi)) == ERROR_SUCCESS;
    }
    ~LogPixelsScope() {
        if (!key_) return;
        if (had_value_)
            RegSetValueExW(key_.get(), LOG_PIXELS, 0, previous_type_, previous_, previous_size_);
        else
            RegDeleteValueW(key_.get(), LOG_PIXELS);
    }
    LogPixelsScope(const LogPixelsScope&) = delete;
    LogPixelsScope& operator=(const LogPixelsScope&) = delete;
    bool set() const { return set_; }

private:
    static constexpr wchar_t DESKTOP_KEY[] = L"Control Panel\\Desktop";
    static constexpr wchar_t LOG_PIXELS[] = L"LogPixels";
    UniqueHkey key_;
    bool had_value_ = false;
    bool set_ = false;
    DWORD previous_type_ = 0;
    BYTE previous_[64] = {};
    DWORD previous_size_ = 0;
};

// This test program again, at the given DPI, limited to the filter, with this
// process's output; its report (GoogleTest's XML), empty when it did not end.
std::string run_this_program(const std::wstring& filter, int dpi) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    const ScratchFolder folder;
    const std::wstring report = folder.path() + L"report.xml";
    std::wstring command = L"\"" + std::wstring(path) + L"\" --gtest_filter=" + filter +
                           L" --gtest_output=xml:" + report;
    SetEnvironmentVariableW(DPI_VARIABLE, std::to_wstring(dpi).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(path, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
    SetEnvironmentVariableW(DPI_VARIABLE, nullptr);
    if (!started) return "";
    const UniqueKernelHandle process(info.hProcess);
    const UniqueKernelHandle thread(info.hThread);
    if (WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        return "";
    }
    return read_whole_file(report);
}

// The three tests above, in a run of this program started at each larger DPI
// (this one runs them at 96). A run that ends early writes no report.
TEST(ScreenDpi, WindowAndTextsAt144And192) {
    fflush(stdout);
    for (const int dpi : {144, 192}) {
        SCOPED_TRACE(dpi);
        LogPixelsScope log_pixels(static_cast<DWORD>(dpi));
        ASSERT_TRUE(log_pixels.set());
        const std::string report =
            run_this_program(L"MainWindowTest.WindowAndControlsScaleWithTheScreenDpi:"
                             L"MainWindowTest.EveryTextFitsItsControl:"
                             L"OptionsLabelsTest.AccountLabelsShowTheirWholeTextBeforeTheirFields",
                             dpi);
        EXPECT_NE(std::string::npos, report.find("<testsuites tests=\"3\" failures=\"0\""))
            << "see the output of the run at this DPI above; its report:\n" << report;
    }
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

// ---- the account list's name for screen readers ----------------------------

// Stands in for Windows' annotation service, which Wine's oleacc only stubs:
// registered in this process under its class, it records what it is asked.
class RecordedAnnotations : public IAccPropServices, public IClassFactory {
public:
    struct Call {
        HWND window;
        DWORD object, child;
        bool name;  // PROPID_ACC_NAME is the (or one) property
        std::wstring text;
    };
    std::vector<Call> set, cleared;

    // IUnknown, for both interfaces: a stack object, never freed through COM.
    HRESULT WINAPI QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IAccPropServices)
            *out = static_cast<IAccPropServices*>(this);
        else if (iid == IID_IClassFactory)
            *out = static_cast<IClassFactory*>(this);
        else
            *out = nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }

    HRESULT WINAPI CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        return outer ? CLASS_E_NOAGGREGATION : QueryInterface(iid, out);
    }
    HRESULT WINAPI LockServer(BOOL) override { return S_OK; }

    HRESULT WINAPI SetHwndPropStr(HWND window, DWORD object, DWORD child, MSAAPROPID property,
                                  LPCWSTR text) override {
        set.push_back({window, object, child, property == PROPID_ACC_NAME, text ? text : L""});
        return S_OK;
    }
    HRESULT WINAPI ClearHwndProps(HWND window, DWORD object, DWORD child,
                                  const MSAAPROPID* properties, int count) override {
        bool name = false;
        for (int i = 0; i < count; ++i) name = name || properties[i] == PROPID_ACC_NAME;
        cleared.push_back({window, object, child, name, L""});
        return S_OK;
    }

    // Nothing else is the window's to call.
    HRESULT WINAPI SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                 AnnoScope) override { return E_NOTIMPL; }
    HRESULT WINAPI ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndProp(HWND, DWORD, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                     AnnoScope) override { return E_NOTIMPL; }
    HRESULT WINAPI ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                      AnnoScope) override { return E_NOTIMPL; }
    HRESULT WINAPI ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override {
        return E_NOTIMPL;
    }
};

// COM on this thread, with the stand-in registered, for the life of the object.
class AnnotationsStandIn {
public:
    AnnotationsStandIn() {
        com_ = SUCCEEDED(CoInitialize(nullptr));
        registered_ = com_ && SUCCEEDED(CoRegisterClassObject(
                                  CLSID_AccPropServices, static_cast<IClassFactory*>(&record),
                                  CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_));
    }
    ~AnnotationsStandIn() {
        if (registered_) CoRevokeClassObject(cookie_);
        if (com_) CoUninitialize();
    }
    AnnotationsStandIn(const AnnotationsStandIn&) = delete;
    AnnotationsStandIn& operator=(const AnnotationsStandIn&) = delete;
    bool ready() const { return registered_; }
    RecordedAnnotations record;

private:
    bool com_ = false;
    bool registered_ = false;
    DWORD cookie_ = 0;
};

TEST(AccountList, IsNamedByItsLabelForScreenReaders) {
    AnnotationsStandIn annotations;
    ASSERT_TRUE(annotations.ready());
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    register_main_window_class(GetModuleHandleW(nullptr));  // once per process is enough
    ScratchKey registry;
    SettingsKey settings = open_settings(registry);
    HWND window = create_main_window(GetModuleHandleW(nullptr), &settings);
    ASSERT_TRUE(window);
    const MainWindow* state = main_window_state(window);
    ASSERT_TRUE(state);
    const HWND list = state->account_list;
    const std::wstring label = window_text(state->account_label);

    ASSERT_EQ(1u, annotations.record.set.size());
    const RecordedAnnotations::Call& named = annotations.record.set[0];
    EXPECT_EQ(list, named.window);
    EXPECT_EQ(static_cast<DWORD>(OBJID_CLIENT), named.object);
    EXPECT_EQ(static_cast<DWORD>(CHILDID_SELF), named.child);
    EXPECT_TRUE(named.name);
    EXPECT_EQ(label, named.text);
    EXPECT_TRUE(annotations.record.cleared.empty()) << "kept while the window lives";

    DestroyWindow(window);
    pump_messages();
    ASSERT_EQ(1u, annotations.record.cleared.size()) << "cleared with the window";
    const RecordedAnnotations::Call& cleared = annotations.record.cleared[0];
    EXPECT_EQ(list, cleared.window);
    EXPECT_EQ(static_cast<DWORD>(OBJID_CLIENT), cleared.object);
    EXPECT_EQ(static_cast<DWORD>(CHILDID_SELF), cleared.child);
    EXPECT_TRUE(cleared.name);
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
