// The modal progress dialog in its forms: each starts one worker once it is
// on screen and reacts to the worker's end.
#pragma once

#include <windows.h>

constexpr wchar_t UPDATE_DIALOG_TITLE[] = L"Mise à jour";
constexpr wchar_t SEND_DIALOG_TITLE[] = L"Envoi des données";

// The update form: runs the update worker; closes itself when the worker ends
// with wParam other than 0 (nothing was to be done), else enables its button.
INT_PTR CALLBACK update_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The send form: runs the upload worker; the button is enabled at its end.
INT_PTR CALLBACK send_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
