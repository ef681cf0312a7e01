// The modal progress dialog in its forms: each starts one worker once it is
// on screen and reacts to the worker's end.
#pragma once

#include <windows.h>

constexpr wchar_t SEND_DIALOG_TITLE[] = L"Envoi des données";

// The send form: runs the upload worker; the button is enabled at its end.
INT_PTR CALLBACK send_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
