#include "ui/text_room.h"

#include "base/file_entry.h"
#include "base/unique_handle.h"

namespace {

// GetDC(nullptr) is given back with ReleaseDC(nullptr, ...).
struct ScreenDcTraits {
    static HDC empty() noexcept { return nullptr; }
    static bool valid(HDC dc) noexcept { return dc != nullptr; }
    static void close(HDC dc) noexcept { ReleaseDC(nullptr, dc); }
};
using UniqueScreenDc = UniqueHandle<HDC, ScreenDcTraits>;

}  // namespace

int screen_dpi() {
    const UniqueScreenDc screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

RECT child_rect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int text_width(HWND control) {
    wchar_t text[PATH_CAPACITY];
    if (GetWindowTextW(control, text, PATH_CAPACITY) <= 0) return 0;
    const UniqueScreenDc screen(GetDC(nullptr));
    if (!screen) return 0;
    const HGDIOBJ previous = SelectObject(
        screen.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT extent{};
    DrawTextW(screen.get(), text, -1, &extent, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(screen.get(), previous);
    return extent.right - extent.left;
}

void widen_label_to_text(HWND label, int right_limit) {
    if (!label || screen_dpi() <= USER_DEFAULT_SCREEN_DPI) return;
    const RECT box = child_rect(label);
    int width = text_width(label);
    if (width > right_limit - box.left) width = right_limit - box.left;
    if (width <= box.right - box.left) return;
    SetWindowPos(label, nullptr, 0, 0, width, box.bottom - box.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
