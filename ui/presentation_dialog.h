// The presentation dialog: what the program does, in French, and a link to the
// site's presentation page.
#pragma once

#include <windows.h>

// The procedure of "PRESENTATIONDIALOG", run modally with a DialogContext as
// init parameter. A click on the address opens it in the browser (a failure
// shows an error box owned by the dialog); only OK, or Enter, closes it, with
// result 0.
INT_PTR CALLBACK presentation_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
