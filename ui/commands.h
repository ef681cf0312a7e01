// What the main window does on its start-up message and on WM_COMMAND.
#pragma once

#include "ui/main_window.h"

// The start-up message (WM_APP), posted once at the first showing.
void on_startup_message(MainWindow& state);

// Menu commands and control notifications. False when the command is not the
// program's, so the window procedure hands it to DefWindowProcW.
bool on_command(MainWindow& state, WPARAM wparam, LPARAM lparam);

// The About box's text: program name, version and a credit line.
void about_text(wchar_t* text, std::size_t capacity);
