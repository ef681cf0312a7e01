// The program's single top-level window and its state.
#pragma once

#include "base/file_entry.h"
#include "progress/dialog_context.h"
#include "settings/settings_store.h"

#include <windows.h>

// The class name is the program's public face: other tools find the running
// window by it, so it stays as it has always been.
constexpr wchar_t MAIN_WINDOW_CLASS[] = L"LZMain";

// One dialog resource the main window opens.
struct DialogResource {
    HINSTANCE module;
    const wchar_t* template_name;
};

// Runs the dialog modally with the context as its init parameter.
void open_dialog(const DialogResource& resource, HWND owner, DLGPROC procedure,
                 DialogContext* context);

struct MainWindow {
    HWND window = nullptr;
    SettingsKey* settings = nullptr;
    FolderNames account_names = {};
    DialogResource progress_dialog = {};
    DialogResource options_dialog = {};
    DialogResource presentation_dialog = {};
    HCURSOR hand_cursor = nullptr;

    HWND refresh_button = nullptr;
    HWND launch_button = nullptr;
    HWND send_button = nullptr;
    HWND account_label = nullptr;
    HWND limit_label = nullptr;
    HWND percent_text = nullptr;
    HWND size_text = nullptr;
    HWND site_link = nullptr;
    HWND account_list = nullptr;
    HWND fill_bar = nullptr;

    // The control that had the focus when the window last went inactive.
    HWND focus_to_restore = nullptr;

    bool first_show_seen = false;
    bool startup_begun = false;  // the start-up sequence runs once only
    // Set when the start-up sequence has ended; menu commands 25 and 26 wait for it.
    bool startup_done = false;
};

// CreateWindowExW with WS_EX_WINDOWEDGE, no menu and no id; buttons get the
// default GUI font. Position and size are pixels at 96 DPI, scaled to the
// screen's DPI (CW_USEDEFAULT stays as it is).
HWND make_window(const wchar_t* class_name, const wchar_t* text, DWORD style, int x, int y,
                 int width, int height, HWND parent, HINSTANCE module, void* parameter);

bool register_main_window_class(HINSTANCE module);
// Creates the main window (hidden); settings is its creation parameter.
HWND create_main_window(HINSTANCE module, SettingsKey* settings);
// The state of a main window, or null.
MainWindow* main_window_state(HWND window);

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
