#include "ui/main_window.h"

#include "net/site_constants.h"
#include "resources/program_version.h"
#include "resources/resource_ids.h"
#include "base/text_util.h"
#include "ui/accessible_name.h"
#include "ui/commands.h"
#include "ui/keyboard_focus.h"
#include "ui/link_style.h"
#include "ui/text_room.h"

#include <commctrl.h>

#include <new>

namespace {

constexpr int WINDOW_WIDTH = 420;
constexpr int WINDOW_HEIGHT = 200;
constexpr DWORD MAIN_WINDOW_STYLE = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD PUSH_BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD LABEL_STYLE = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr wchar_t MAIN_MENU_NAME[] = L"WMAINMENU";
// Posted to itself at the first showing: the start-up sequence runs from the
// message loop, once the window is on screen.
constexpr UINT WM_STARTUP = WM_APP;
constexpr wchar_t PROGRESS_DIALOG_TEMPLATE[] = L"PROGRESSDIALOG";
constexpr wchar_t OPTIONS_DIALOG_TEMPLATE[] = L"OPTIONSDIALOG";
constexpr wchar_t PRESENTATION_DIALOG_TEMPLATE[] = L"PRESENTATIONDIALOG";
// Shown beside the account list, and the name a screen reader gives the list.
constexpr wchar_t ACCOUNT_LABEL_TEXT[] = L"Compte:";

int to_screen(int pixels, int dpi) {
    return pixels == CW_USEDEFAULT ? pixels : MulDiv(pixels, dpi, USER_DEFAULT_SCREEN_DPI);
}

HFONT gui_font() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

void set_gui_font(HWND control) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(gui_font()), TRUE);
}

// Above 96 DPI a label laid out for 96 may no longer hold its text on one
// line: it grows to its text, and the control after it on the line moves past
// it. Called above 96 only.
void make_room_for_text(HWND label, HWND follower) {
    const int text_right = child_rect(label).left + text_width(label);
    widen_label_to_text(label, text_right);
    const RECT next = child_rect(follower);
    if (next.left < text_right)
        SetWindowPos(follower, nullptr, text_right, next.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void build_title(wchar_t* title, std::size_t capacity) {
    copy_text(title, capacity, L"" PELLINPORT_PRODUCT_NAME L" ");
    append_text(title, capacity, L"" PELLINPORT_VERSION_TEXT);
    append_text(title, capacity, L".");
    append_text(title, capacity, L"" PELLINPORT_BUILD_TEXT);
}

LRESULT on_create(HWND window, const CREATESTRUCTW& creation) {
    auto* state = new (std::nothrow) MainWindow;
    if (!state) return -1;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    state->window = window;
    state->settings = static_cast<SettingsKey*>(creation.lpCreateParams);
    const HINSTANCE module = creation.hInstance;
    state->progress_dialog = {module, PROGRESS_DIALOG_TEMPLATE};
    state->options_dialog = {module, OPTIONS_DIALOG_TEMPLATE};
    state->presentation_dialog = {module, PRESENTATION_DIALOG_TEMPLATE};
    state->hand_cursor = LoadCursorW(nullptr, IDC_HAND);

    auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w,
                     int h) { return make_window(cls, text, style, x, y, w, h, window, module, nullptr); };
    state->refresh_button = child(L"BUTTON", L"Rafraîchir", PUSH_BUTTON_STYLE, 220, 4, 75, 25);
    state->launch_button = child(L"BUTTON", L"Lancer WoW", PUSH_BUTTON_STYLE, 205, 110, 90, 25);
    state->send_button = child(L"BUTTON", L"Envoi des données", PUSH_BUTTON_STYLE, 300, 110, 105, 25);
    state->account_label = child(L"STATIC", ACCOUNT_LABEL_TEXT, LABEL_STYLE, 10, 10, 40, 15);
    state->limit_label =
        child(L"STATIC", L"Taille maximale du fichier: ", LABEL_STYLE, 110, 80, 150, 15);
    state->percent_text = child(L"STATIC", L"0%", LABEL_STYLE, 235, 80, 45, 15);
    state->size_text = child(L"STATIC", L"", LABEL_STYLE, 160, 95, 95, 15);
    state->site_link = child(L"STATIC", SITE_HOME_ADDRESS, WS_CHILD | WS_VISIBLE | SS_NOTIFY, 10,
                             115, 185, 15);
    state->account_list = child(L"COMBOBOX", nullptr,
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 55, 6, 160, 15);
    state->fill_bar = child(PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 20, 50,
                            370, 25);
    // Buttons got theirs from make_window.
    for (HWND control : {state->account_label, state->limit_label, state->percent_text,
                         state->size_text, state->site_link, state->account_list})
        set_gui_font(control);
    if (screen_dpi() > USER_DEFAULT_SCREEN_DPI) {
        make_room_for_text(state->account_label, state->account_list);
        make_room_for_text(state->limit_label, state->percent_text);
    }
    SendMessageW(state->fill_bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(state->fill_bar, PBM_SETSTEP, 1, 0);
    // The label cannot stand just before the list in the window order, where a
    // screen reader would look for it: the controls keep the order they have
    // always had. Neither call failing keeps the window from working.
    set_accessible_name(state->account_list, ACCOUNT_LABEL_TEXT);
    make_link_focusable(state->site_link);
    return 0;
}

LRESULT on_destroy(HWND window, MainWindow* state) {
    clear_accessible_name(state->account_list);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete state;
    PostQuitMessage(0);
    return 0;
}

LRESULT on_window_pos_changed(MainWindow& state, const WINDOWPOS& position) {
    if ((position.flags & SWP_SHOWWINDOW) && !state.first_show_seen) {
        state.first_show_seen = true;
        PostMessageW(state.window, WM_STARTUP, 0, 0);
    }
    return 0;
}

// The site link is blue on the window's face colour and shows a hand.
bool on_ctl_color_static(const MainWindow& state, HDC dc, HWND control, LRESULT* brush) {
    if (control != state.site_link) return false;
    *brush = reinterpret_cast<LRESULT>(paint_link(dc));
    return true;
}

bool on_set_cursor(const MainWindow& state, HWND under_pointer, WORD hit_test) {
    return show_link_cursor(state.site_link, state.hand_cursor, under_pointer, hit_test);
}

}  // namespace

HWND make_window(const wchar_t* class_name, const wchar_t* text, DWORD style, int x, int y,
                 int width, int height, HWND parent, HINSTANCE module, void* parameter) {
    const int dpi = screen_dpi();
    HWND window = CreateWindowExW(WS_EX_WINDOWEDGE, class_name, text, style, to_screen(x, dpi),
                                  to_screen(y, dpi), to_screen(width, dpi),
                                  to_screen(height, dpi), parent, nullptr, module, parameter);
    if (window && lstrcmpiW(class_name, L"BUTTON") == 0) set_gui_font(window);
    return window;
}

bool register_main_window_class(HINSTANCE module) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = module;
    window_class.hIcon = LoadIconW(module, MAKEINTRESOURCEW(IDI_PROGRAM));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    window_class.lpszMenuName = MAIN_MENU_NAME;
    window_class.lpszClassName = MAIN_WINDOW_CLASS;
    return RegisterClassExW(&window_class) != 0;
}

HWND create_main_window(HINSTANCE module, SettingsKey* settings) {
    wchar_t title[PATH_CAPACITY];
    build_title(title, PATH_CAPACITY);
    return make_window(MAIN_WINDOW_CLASS, title, MAIN_WINDOW_STYLE, CW_USEDEFAULT, CW_USEDEFAULT,
                       WINDOW_WIDTH, WINDOW_HEIGHT, nullptr, module, settings);
}

MainWindow* main_window_state(HWND window) {
    return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void open_dialog(const DialogResource& resource, HWND owner, DLGPROC procedure,
                 DialogContext* context) {
    DialogBoxParamW(resource.module, resource.template_name, owner, procedure,
                    reinterpret_cast<LPARAM>(context));
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CREATE) return on_create(window, *reinterpret_cast<CREATESTRUCTW*>(lparam));
    MainWindow* state = main_window_state(window);
    if (!state) return DefWindowProcW(window, message, wparam, lparam);

    switch (message) {
    case WM_DESTROY:
        return on_destroy(window, state);
    case WM_ACTIVATE:
        on_activate(*state, wparam);
        break;  // DefWindowProcW focuses the window, which hands the focus on
    case WM_SETFOCUS:
        on_window_focus(*state);
        return 0;
    case WM_WINDOWPOSCHANGED:
        return on_window_pos_changed(*state, *reinterpret_cast<WINDOWPOS*>(lparam));
    case WM_CTLCOLORSTATIC: {
        LRESULT brush = 0;
        if (on_ctl_color_static(*state, reinterpret_cast<HDC>(wparam),
                                reinterpret_cast<HWND>(lparam), &brush))
            return brush;
        break;
    }
    case WM_SETCURSOR:
        if (on_set_cursor(*state, reinterpret_cast<HWND>(wparam), LOWORD(lparam))) return TRUE;
        break;
    case WM_STARTUP:
        on_startup_message(*state);
        return 0;
    case WM_COMMAND:
        if (on_command(*state, wparam, lparam)) return 0;
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}
