// Room for texts on screens above 96 DPI. The layouts are drawn for 96; above
// it the system font grows faster than the screen (Wine draws it 17 px high at
// 144 DPI, and wider for its height than at 96), so a label may no longer hold
// its text where it stood. At 96 nothing here moves anything.
#pragma once

#include <windows.h>

// The system DPI, which the manifest declares the program follows.
int screen_dpi();

// A child's rectangle in its parent's client coordinates.
RECT child_rect(HWND child);

// The width of a control's text on one line, in the control's own font; 0 for
// no text.
int text_width(HWND control);

// Above 96 DPI, a label too narrow for its text on one line grows to it, its
// right edge never past right_limit (parent's client coordinates). At 96 DPI
// it keeps the size the layout gave it.
void widen_label_to_text(HWND label, int right_limit);
