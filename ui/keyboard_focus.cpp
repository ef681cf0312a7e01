#include "ui/keyboard_focus.h"

#include "base/file_entry.h"

#include <commctrl.h>

#include <iterator>

namespace {

constexpr UINT_PTR LINK_SUBCLASS_ID = 1;
// Bit 30 of a WM_KEYDOWN's lParam: the key was already down (auto-repeat).
constexpr LPARAM KEY_WAS_DOWN = LPARAM{1} << 30;

// A control takes the focus while it is shown and enabled; its own style bit
// is asked, so the order holds also while the window itself is hidden.
bool can_take_focus(HWND control) {
    return control && (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) &&
           IsWindowEnabled(control);
}

// The window's child that holds the given window (a combo box's own parts
// included); null for any other window. GetParent would name a dialog's owner.
HWND own_control(const MainWindow& state, HWND window) {
    while (window && GetAncestor(window, GA_PARENT) != state.window)
        window = GetAncestor(window, GA_PARENT);
    return window;
}

void move_focus(MainWindow& state, bool backward) {
    HWND next = next_focus_control(state, GetFocus(), backward);
    if (!next) return;
    // A player who moves with Tab wants to see where the focus is.
    SendMessageW(state.window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    SetFocus(next);
}

// BeginPaint and EndPaint, paired on every path.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Around the text only, as a link in a browser shows it, not the whole control.
void draw_link_focus(HWND link, HDC dc) {
    if (GetFocus() != link || (SendMessageW(link, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) return;
    wchar_t text[PATH_CAPACITY];
    if (GetWindowTextW(link, text, PATH_CAPACITY) <= 0) return;
    RECT client;
    GetClientRect(link, &client);
    RECT frame = client;
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(link, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    DrawTextW(dc, text, -1, &frame, DT_CALCRECT | DT_WORDBREAK | DT_LEFT);
    if (previous) SelectObject(dc, previous);
    if (frame.right < client.right) ++frame.right;
    if (frame.bottom < client.bottom) ++frame.bottom;
    if (frame.right > client.right) frame.right = client.right;
    if (frame.bottom > client.bottom) frame.bottom = client.bottom;
    DrawFocusRect(dc, &frame);
}

LRESULT CALLBACK link_proc(HWND link, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                           DWORD_PTR) {
    switch (message) {
    case WM_PAINT: {
        // The static paints itself into our DC, then the frame goes on top.
        PaintScope paint(link);
        if (!paint.dc()) return 0;
        DefSubclassProc(link, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(paint.dc()), PRF_CLIENT);
        draw_link_focus(link, paint.dc());
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
        InvalidateRect(link, nullptr, TRUE);
        break;
    case WM_KEYDOWN:
        if (wparam == VK_SPACE && !(lparam & KEY_WAS_DOWN)) {
            // What a click on the link tells its parent.
            SendMessageW(GetParent(link), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(link), STN_CLICKED),
                         reinterpret_cast<LPARAM>(link));
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(link, link_proc, LINK_SUBCLASS_ID);
        break;
    default:
        break;
    }
    return DefSubclassProc(link, message, wparam, lparam);
}

}  // namespace

HWND next_focus_control(const MainWindow& state, HWND from, bool backward) {
    // The on-screen order: the top row, then the bottom row, left to right.
    const HWND order[] = {state.account_list, state.refresh_button, state.site_link,
                          state.launch_button, state.send_button};
    constexpr int count = static_cast<int>(std::size(order));
    const HWND control = own_control(state, from);
    int at = backward ? count : -1;
    for (int i = 0; i < count; ++i)
        if (control && order[i] == control) at = i;
    for (int step = 1; step <= count; ++step) {
        const int i = ((at + (backward ? -step : step)) % count + count) % count;
        if (can_take_focus(order[i])) return order[i];
    }
    return nullptr;
}

bool take_dialog_keys(HWND window, MSG& message) {
    if (!window || !message.hwnd || (message.hwnd != window && !IsChild(window, message.hwnd)))
        return false;
    // IsDialogMessageW would follow the window order, which is not the
    // on-screen order here, and skip the link.
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
        if (MainWindow* state = main_window_state(window)) {
            move_focus(*state, GetKeyState(VK_SHIFT) < 0);
            return true;
        }
    }
    return IsDialogMessageW(window, &message) != FALSE;
}

void hand_off_focus(MainWindow& state, HWND leaving) {
    if (!leaving || !IsWindowEnabled(leaving)) return;
    const bool focused = own_control(state, GetFocus()) == leaving;
    if (!focused && state.focus_to_restore != leaving) return;
    HWND next = next_focus_control(state, leaving, false);
    if (next == leaving) next = nullptr;
    if (state.focus_to_restore == leaving) state.focus_to_restore = next;
    // Disabled, the control would keep the focus from every window.
    if (focused) SetFocus(next ? next : state.window);
}

void on_activate(MainWindow& state, WPARAM wparam) {
    if (LOWORD(wparam) != WA_INACTIVE) return;
    if (HWND control = own_control(state, GetFocus())) state.focus_to_restore = control;
}

void on_window_focus(MainWindow& state) {
    HWND target = state.focus_to_restore;
    if (!can_take_focus(target)) target = next_focus_control(state, nullptr, false);
    if (target) SetFocus(target);
}

bool make_link_focusable(HWND link) {
    return link && SetWindowSubclass(link, link_proc, LINK_SUBCLASS_ID, 0) != FALSE;
}
