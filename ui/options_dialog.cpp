#include "ui/options_dialog.h"

#include "base/text_util.h"
#include "game/game_constants.h"
#include "progress/dialog_context.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "ui/shortcut.h"
#include "ui/show_outcome.h"
#include "ui/text_room.h"
#include "update/installed_version.h"

#include <commdlg.h>

#include <cstring>
#include <cwchar>
#include <new>

namespace {

#ifndef _WIN64
static_assert(sizeof(OPENFILENAMEW) == 88, "the structure as Windows 7 knows it");
#endif

// What the user may type; the settings themselves take up to 260 characters.
constexpr WPARAM ACCOUNT_FIELD_LIMIT = 250;
// Description and pattern, each ended by a null; the literal's own null ends the list.
constexpr wchar_t EXECUTABLE_FILTER[] = L"World of Warcraft (WoW.exe)\0WoW.exe\0";
constexpr DWORD BROWSE_FLAGS = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

constexpr wchar_t MSG_INVALID_SELECTION[] =
    L"Le fichier sélectionné est invalide.\nLa sélection est annulée.";
constexpr wchar_t MSG_EDITION_CHANGE[] =
    L"Vous avez choisi de passer d'une version light à une version full ou inversément.\n"
    L"Ceci va mettre à jour l'addon, voulez-vous continuer?";
constexpr wchar_t MSG_PASSWORD_MISSING[] = L"Veuillez taper votre mot de passe.";
constexpr wchar_t MSG_USERNAME_MISSING[] =
    L"Un mot de passe seul ne va pas servir à grand-chose...\n"
    L"Merci de taper aussi votre nom d'utilisateur ;-)";

// One opening of the dialog; lives in the dialog's user data.
struct OptionsState {
    DialogContext* context;
    // Set once field 69 differs from the stored name; the stored password then
    // belongs to someone else, so it is never offered again while open.
    bool user_name_changed;
};

OptionsState* state_of(HWND dialog) {
    return reinterpret_cast<OptionsState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

const SettingsKey& settings_of(const OptionsState& state) { return *state.context->settings; }

void show_placeholder(HWND dialog, bool shown) {
    ShowWindow(GetDlgItem(dialog, IDC_OPTIONS_PASSWORD_PLACEHOLDER), shown ? SW_SHOW : SW_HIDE);
}

bool has_stored_password(const SettingsKey& settings) {
    wchar_t password[PATH_CAPACITY];
    return get_password(settings, password) != OUTCOME_ERROR && password[0] != 0;
}

bool field_empty(HWND dialog, int id) {
    return GetWindowTextLengthW(GetDlgItem(dialog, id)) == 0;
}

// "Mot de passe:" wraps onto two lines of its 12-unit-high label, which hold
// them at 96 DPI; above it the font outgrows the dialog units and the second
// line is cut. Above 96 the two account labels take the free room before
// their fields instead, keeping a gap of 2 units.
void make_room_for_labels(HWND dialog) {
    RECT gap{0, 0, 2, 0};
    MapDialogRect(dialog, &gap);
    const int pairs[][2] = {{IDC_OPTIONS_LOGIN_LABEL, IDC_OPTIONS_LOGIN},
                            {IDC_OPTIONS_PASSWORD_LABEL, IDC_OPTIONS_PASSWORD}};
    for (const auto& pair : pairs) {
        HWND field = GetDlgItem(dialog, pair[1]);
        if (field) widen_label_to_text(GetDlgItem(dialog, pair[0]), child_rect(field).left - gap.right);
    }
}

void on_init(HWND dialog, LPARAM lparam) {
    auto* state =
        new (std::nothrow) OptionsState{reinterpret_cast<DialogContext*>(lparam), false};
    if (!state || !state->context || !state->context->settings) {
        delete state;
        EndDialog(dialog, 0);  // nothing to show or save without the settings
        return;
    }
    // Before any field is filled: setting field 69 already notifies EN_UPDATE.
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    const SettingsKey& settings = settings_of(*state);

    const WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (HWND control = GetWindow(dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT))
        SendMessageW(control, WM_SETFONT, font, TRUE);
    make_room_for_labels(dialog);
    SendDlgItemMessageW(dialog, IDC_OPTIONS_LOGIN, EM_LIMITTEXT, ACCOUNT_FIELD_LIMIT, 0);
    SendDlgItemMessageW(dialog, IDC_OPTIONS_PASSWORD, EM_LIMITTEXT, ACCOUNT_FIELD_LIMIT, 0);

    wchar_t text[PATH_CAPACITY];
    get_game_path(settings, text, PATH_CAPACITY);
    SetDlgItemTextW(dialog, IDC_OPTIONS_GAME_FOLDER, text);
    get_username(settings, text);
    SetDlgItemTextW(dialog, IDC_OPTIONS_LOGIN, text);

    get_addon_edition(settings, text);
    CheckDlgButton(dialog, std::wcscmp(text, EDITION_LIGHT) == 0 ? IDC_OPTIONS_LIGHT : IDC_OPTIONS_FULL,
                   BST_CHECKED);
    show_placeholder(dialog, has_stored_password(settings));
}

void on_user_name_update(HWND dialog, OptionsState& state) {
    wchar_t typed[PATH_CAPACITY];
    wchar_t stored[PATH_CAPACITY];
    GetDlgItemTextW(dialog, IDC_OPTIONS_LOGIN, typed, PATH_CAPACITY);
    get_username(settings_of(state), stored);  // empty when unreadable
    if (std::wcscmp(typed, stored) == 0) return;
    show_placeholder(dialog, false);
    state.user_name_changed = true;
}

void on_password_left(HWND dialog, const OptionsState& state) {
    if (field_empty(dialog, IDC_OPTIONS_PASSWORD) && !state.user_name_changed &&
        has_stored_password(settings_of(state)))
        show_placeholder(dialog, true);
}

bool accept_file_name(const wchar_t* name) {
    return std::wcscmp(name, GAME_PROCESS_NAME) == 0 || std::wcscmp(name, GAME_EXECUTABLE_NAME) == 0;
}

void on_browse(HWND dialog, const OptionsState& state) {
    // The stored folder, not the field: the field may hold a choice not yet saved.
    wchar_t initial_folder[PATH_CAPACITY];
    get_game_path(settings_of(state), initial_folder, PATH_CAPACITY);
    wchar_t file[PATH_CAPACITY] = L"";
    OPENFILENAMEW choice{};
    choice.lStructSize = sizeof(choice);
    choice.hwndOwner = dialog;
    choice.lpstrFilter = EXECUTABLE_FILTER;
    choice.lpstrFile = file;
    choice.nMaxFile = PATH_CAPACITY;
    choice.lpstrInitialDir = initial_folder;
    choice.Flags = BROWSE_FLAGS;
    if (!GetOpenFileNameW(&choice)) return;

    wchar_t folder[PATH_CAPACITY];
    if (!accept_game_executable(file, folder, PATH_CAPACITY)) {
        MessageBoxW(dialog, MSG_INVALID_SELECTION, nullptr, MB_ICONERROR);
        return;
    }
    SetDlgItemTextW(dialog, IDC_OPTIONS_GAME_FOLDER, folder);
}

// The installed edition against the chosen one. False when the user keeps
// the installed one; update_wanted tells whether the addon is to be updated.
bool confirm_edition(HWND dialog, const OptionsState& state, bool light_checked,
                     bool& update_wanted) {
    char installed[INSTALLED_VERSION_CAPACITY];
    char version[INSTALLED_VERSION_CAPACITY];
    wchar_t ignored[MESSAGE_CAPACITY];
    // An unreadable version is a reason to update; its message is not shown.
    update_wanted =
        read_installed_version(installed, settings_of(state), version, ignored) == OUTCOME_ERROR;
    if (installed[0] == 0) return true;
    if (std::strcmp(installed, light_checked ? INSTALLED_EDITION_LIGHT : INSTALLED_EDITION_FULL) == 0) return true;
    if (MessageBoxW(dialog, MSG_EDITION_CHANGE, INFORMATION_TITLE, MB_YESNO | MB_ICONINFORMATION) ==
        IDNO)
        return false;
    update_wanted = true;
    return true;
}

void on_ok(HWND dialog, const OptionsState& state) {
    const SettingsKey& settings = settings_of(state);
    const bool light_checked = IsDlgButtonChecked(dialog, IDC_OPTIONS_LIGHT) == BST_CHECKED;
    bool update_wanted = false;
    if (!confirm_edition(dialog, state, light_checked, update_wanted)) return;

    wchar_t folder[PATH_CAPACITY];
    wchar_t name[PATH_CAPACITY];
    wchar_t password[PATH_CAPACITY];
    GetDlgItemTextW(dialog, IDC_OPTIONS_GAME_FOLDER, folder, PATH_CAPACITY);
    GetDlgItemTextW(dialog, IDC_OPTIONS_LOGIN, name, PATH_CAPACITY);
    GetDlgItemTextW(dialog, IDC_OPTIONS_PASSWORD, password, PATH_CAPACITY);

    if (name[0] != 0 && password[0] == 0) {
        // An empty field keeps the stored password, unless it was another name's.
        if (state.user_name_changed || get_password(settings, password) == OUTCOME_ERROR ||
            password[0] == 0) {
            MessageBoxW(dialog, MSG_PASSWORD_MISSING, INFORMATION_TITLE, MB_ICONINFORMATION);
            return;
        }
    }
    if (password[0] != 0 && name[0] == 0) {
        MessageBoxW(dialog, MSG_USERNAME_MISSING, INFORMATION_TITLE, MB_ICONINFORMATION);
        return;
    }

    wchar_t message[MESSAGE_CAPACITY];
    if (show_outcome(dialog, set_game_path(message, settings, folder), message) != OUTCOME_OK) return;
    if (show_outcome(dialog, set_username(message, settings, name), message) != OUTCOME_OK) return;
    if (show_outcome(dialog, set_password(message, settings, password), message) != OUTCOME_OK)
        return;
    const wchar_t* edition = light_checked ? EDITION_LIGHT : EDITION_FULL;
    if (show_outcome(dialog, set_addon_edition(message, settings, edition), message) != OUTCOME_OK)
        return;

    const HWND owner = state.context->owner;
    // Ended first: the update that follows runs its own modal dialog over the main window.
    EndDialog(dialog, 0);
    SendMessageW(owner, WM_COMMAND, IDM_REFRESH, 0);
    if (update_wanted) SendMessageW(owner, WM_COMMAND, IDM_UPDATE_ADDON, 0);
}

void on_shortcut(HWND dialog, int special_folder) {
    wchar_t message[MESSAGE_CAPACITY];
    show_outcome(dialog, create_program_shortcut(dialog, special_folder, message), message);
}

INT_PTR on_command(HWND dialog, OptionsState& state, WPARAM wparam) {
    const int id = LOWORD(wparam);
    const UINT code = HIWORD(wparam);
    switch (id) {
    case IDC_OPTIONS_LOGIN:
        if (code != EN_UPDATE) return FALSE;
        on_user_name_update(dialog, state);
        return TRUE;
    case IDC_OPTIONS_PASSWORD:
        if (code == EN_SETFOCUS)
            show_placeholder(dialog, false);
        else if (code == EN_KILLFOCUS)
            on_password_left(dialog, state);
        else
            return FALSE;
        return TRUE;
    case IDC_OPTIONS_BROWSE:
        on_browse(dialog, state);
        return TRUE;
    case IDC_OPTIONS_OK:
        on_ok(dialog, state);
        return TRUE;
    case IDC_OPTIONS_CANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_OPTIONS_DESKTOP:
        on_shortcut(dialog, CSIDL_DESKTOP);
        return TRUE;
    case IDC_OPTIONS_START_MENU:
        on_shortcut(dialog, CSIDL_PROGRAMS);
        return TRUE;
    default:
        // Escape's IDCANCEL included: only "Annuler" leaves without saving.
        return FALSE;
    }
}

}  // namespace

bool accept_game_executable(const wchar_t* path, wchar_t* folder, std::size_t capacity) {
    if (capacity > 0) folder[0] = 0;
    const wchar_t* last_backslash = path ? std::wcsrchr(path, L'\\') : nullptr;
    if (!last_backslash || !accept_file_name(last_backslash + 1)) return false;
    const std::size_t length = static_cast<std::size_t>(last_backslash - path) + 1;
    if (length >= capacity) return false;
    std::wmemcpy(folder, path, length);
    folder[length] = 0;
    return true;
}

INT_PTR CALLBACK options_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        on_init(dialog, lparam);
        return TRUE;
    }
    OptionsState* state = state_of(dialog);
    if (message == WM_COMMAND) return state ? on_command(dialog, *state, wparam) : FALSE;
    if (message == WM_DESTROY && state) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
        delete state;
    }
    return FALSE;
}
