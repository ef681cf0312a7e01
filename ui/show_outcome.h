// The one place where an outcome becomes a message box.
#pragma once

#include "base/outcome.h"

#include <windows.h>


// The title of every notice box.
constexpr wchar_t INFORMATION_TITLE[] = L"Information";

// OUTCOME_ERROR: error box with the system's default title; OUTCOME_INFO:
// information box titled "Information"; anything else: nothing. Returns the
// outcome so that callers go on only on OUTCOME_OK.
int show_outcome(HWND owner, int outcome, const wchar_t* text);
