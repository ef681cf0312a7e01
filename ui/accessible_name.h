// The name a screen reader announces for a control, given through Windows'
// accessibility annotations (IAccPropServices).
#pragma once

#include <windows.h>

// Needs COM on the calling thread; false when the annotation could not be made.
bool set_accessible_name(HWND control, const wchar_t* name);
// Before the control is destroyed: the annotation outlives it otherwise.
void clear_accessible_name(HWND control);
