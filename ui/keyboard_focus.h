// The main window from the keyboard: Tab and Shift+Tab in the on-screen order
// of its controls, Enter and Space through the dialog keys, the site link as a
// focusable control, and a focus that is never lost.
#pragma once

#include "ui/main_window.h"

#include <windows.h>

// For the message loop, before TranslateMessage: true when the message was the
// window's (Tab moved the focus, or IsDialogMessageW translated and dispatched it).
bool take_dialog_keys(HWND window, MSG& message);

// The control that Tab (or Shift+Tab when backward) moves the focus to from
// the given one; the first (or last) that can take the focus when from is none
// of them. Null when no control can take it.
HWND next_focus_control(const MainWindow& state, HWND from, bool backward);

// Before a control is disabled: when it holds the focus, or is to get it back
// when the window is activated again, the next control takes its place.
void hand_off_focus(MainWindow& state, HWND leaving);

// WM_ACTIVATE: remembers which control had the focus when the window goes inactive.
void on_activate(MainWindow& state, WPARAM wparam);
// WM_SETFOCUS of the window itself: the focus goes on to the remembered
// control, else to the first one (the account list at start-up).
void on_window_focus(MainWindow& state);

// Lets the site link take the focus: it then shows a focus rectangle around
// its text, and Space opens it as a click does (Enter comes as IDOK).
bool make_link_focusable(HWND link);
