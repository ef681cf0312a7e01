// The look of a link drawn by a static control with SS_NOTIFY: blue text on the
// window's face colour, and the hand under the pointer. Shared by every window
// that shows one, so they all look and behave alike.
#pragma once

#include <windows.h>

constexpr COLORREF LINK_TEXT_COLOR = RGB(0, 0, 255);

// For WM_CTLCOLORSTATIC of a link: sets its colours on dc and gives the brush
// that the window procedure returns.
inline HBRUSH paint_link(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, LINK_TEXT_COLOR);
    return GetSysColorBrush(COLOR_BTNFACE);
}

// For WM_SETCURSOR (wParam, low word of lParam): shows hand and answers true
// when the pointer is over the link's client area. A static asks its parent
// first, so the hand shows without changing the STATIC class's own cursor.
inline bool show_link_cursor(HWND link, HCURSOR hand, HWND under_pointer, WORD hit_test) {
    if (!link || !hand || under_pointer != link || hit_test != HTCLIENT) return false;
    SetCursor(hand);
    return true;
}
