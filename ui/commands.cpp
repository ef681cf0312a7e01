#include "ui/commands.h"

#include "game/game_files.h"
#include "net/site_constants.h"
#include "resources/program_version.h"
#include "resources/resource_ids.h"
#include "base/text_util.h"
#include "ui/account_panel.h"
#include "ui/launching.h"
#include "ui/options_dialog.h"
#include "ui/presentation_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/show_outcome.h"

namespace {

constexpr wchar_t ABOUT_TITLE[] = L"A propos";
constexpr wchar_t ABOUT_CREDIT[] =
    L"Envoi des données et mise à jour de l'addon, par l'équipe du site Quillfern.";

void show_about(HWND owner) {
    wchar_t text[MESSAGE_CAPACITY];
    about_text(text, MESSAGE_CAPACITY);
    MessageBoxW(owner, text, ABOUT_TITLE, MB_ICONINFORMATION);
}

// Every dialog but the presentation gets the main window as its context's owner.
void run_dialog(MainWindow& state, const DialogResource& resource, DLGPROC procedure,
                bool owner_in_context = true) {
    DialogContext context{state.settings, owner_in_context ? state.window : nullptr};
    open_dialog(resource, state.window, procedure, &context);
}

void run_update(MainWindow& state) {
    run_dialog(state, state.progress_dialog, update_dialog_proc);
    refresh_data_file_panel(state);
}

void refresh_panel(MainWindow& state) {
    refresh_accounts(state);
    refresh_data_file_panel(state);
}

void on_launch_game(MainWindow& state) {
    wchar_t message[MESSAGE_CAPACITY];
    show_outcome(state.window, launch_game(message, *state.settings), message);
}

void on_send(MainWindow& state) {
    wchar_t message[MESSAGE_CAPACITY];
    if (show_outcome(state.window, check_game_not_running(message), message) != OUTCOME_OK) return;
    run_dialog(state, state.progress_dialog, send_dialog_proc);
    refresh_data_file_panel(state);
}

void on_site_link(MainWindow& state) {
    wchar_t message[MESSAGE_CAPACITY];
    show_outcome(state.window, open_site(message, SITE_HOME_ADDRESS), message);
}

// A setting counts as present when it reads back non-empty; a value cut to
// its buffer is present too.
bool settings_complete(const SettingsKey& settings) {
    wchar_t value[PATH_CAPACITY];
    if (get_game_path(settings, value, PATH_CAPACITY) == OUTCOME_ERROR || value[0] == 0) return false;
    if (get_username(settings, value) == OUTCOME_ERROR || value[0] == 0) return false;
    return get_password(settings, value) != OUTCOME_ERROR && value[0] != 0;
}

bool on_menu_command(MainWindow& state, WORD id) {
    switch (id) {
    case IDM_LAUNCH_GAME:
        on_launch_game(state);
        return true;
    case IDM_QUIT:
        DestroyWindow(state.window);
        return true;
    case IDM_OPTIONS:
        // On OK the dialog itself asks for the refresh (and the update).
        run_dialog(state, state.options_dialog, options_dialog_proc);
        return true;
    case IDM_ABOUT:
        show_about(state.window);
        return true;
    case IDM_UPDATE_ADDON:
        // Before the start-up sequence has ended, its own update is still to come.
        if (state.startup_done) run_update(state);
        return true;
    case IDM_REFRESH:
        if (state.startup_done) refresh_panel(state);
        return true;
    case IDM_PRESENTATION:
        run_dialog(state, state.presentation_dialog, presentation_dialog_proc, false);
        return true;
    default:
        return false;
    }
}

bool on_control_command(MainWindow& state, HWND control, WORD code) {
    if (control == state.site_link && code == STN_CLICKED) {
        on_site_link(state);
    } else if (control == state.account_list && code == CBN_SELCHANGE) {
        on_account_selected(state);
    } else if (control == state.send_button && code == BN_CLICKED) {
        on_send(state);
    } else if (control == state.launch_button && code == BN_CLICKED) {
        on_launch_game(state);
    } else if (control == state.refresh_button && code == BN_CLICKED) {
        refresh_panel(state);  // at any time, unlike the menu's refresh
    } else {
        return false;
    }
    return true;
}

}  // namespace

void about_text(wchar_t* text, std::size_t capacity) {
    copy_text(text, capacity, L"" PELLINPORT_PRODUCT_NAME L" ");
    append_text(text, capacity, L"" PELLINPORT_VERSION_TEXT);
    append_text(text, capacity, L"\n\n");
    append_text(text, capacity, ABOUT_CREDIT);
}

void on_startup_message(MainWindow& state) {
    // Runs once: a second start-up message finds the sequence begun.
    if (state.startup_begun) return;
    state.startup_begun = true;
    refresh_accounts(state);
    if (!settings_complete(*state.settings)) {
        run_dialog(state, state.options_dialog, options_dialog_proc);
        refresh_accounts(state);  // whatever the user did
    }
    run_dialog(state, state.progress_dialog, update_dialog_proc);  // at every start
    refresh_data_file_panel(state);
    state.startup_done = true;
}

bool on_command(MainWindow& state, WPARAM wparam, LPARAM lparam) {
    // Enter, from IsDialogMessageW: the controls have no id, so it comes as
    // IDOK, and it presses the control that has the focus as a click would.
    if (LOWORD(wparam) == IDOK && HIWORD(wparam) == BN_CLICKED) {
        HWND focused = lparam ? reinterpret_cast<HWND>(lparam) : GetFocus();
        return on_control_command(state, focused, BN_CLICKED);
    }
    if (lparam == 0) return on_menu_command(state, LOWORD(wparam));
    return on_control_command(state, reinterpret_cast<HWND>(lparam), HIWORD(wparam));
}
