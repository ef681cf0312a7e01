// The options dialog: game folder, site account, addon edition and shortcuts.
#pragma once

#include <windows.h>

#include <cstddef>

// Dialog procedure of "OPTIONSDIALOG"; the init parameter is a DialogContext*
// whose owner (the main window) receives command 26 (refresh), then 25
// (update) when one is wanted, once the dialog has ended on OK.
INT_PTR CALLBACK options_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// True when the chosen file is the game's executable: its whole name, after
// the last backslash, is "WoW.exe" or "Wow.exe" exactly. folder then receives
// the path up to and including that backslash (capacity in characters).
bool accept_game_executable(const wchar_t* path, wchar_t* folder, std::size_t capacity);
