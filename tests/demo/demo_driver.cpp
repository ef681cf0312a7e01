// The demonstration's helper (scripts/demo), in two commands:
//   demo_driver settings GAME_FOLDER USER PASSWORD ACCOUNT EDITION
//     stores the settings through the program's own store, password scrambled;
//   demo_driver run PELLINPORT_EXE SCREENSHOT_FOLDER
//     starts the real program and plays the player's part from outside: the
//     start-up update, the main window, "Envoi des données", then "Quitter".
// It tells on its standard output what the player sees. A line
// "SCREENSHOT name" asks the script for a picture of the screen; the driver
// goes on once SCREENSHOT_FOLDER\name.png exists. The last line is
// "RESULT ok" or "RESULT failed".
#include "resources/program_version.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "tests/support/window_driver.h"
#include "ui/main_window.h"
#include "ui/progress_dialog.h"

#include <commctrl.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Generous: a first Wine start in a fresh prefix can take a while.
constexpr DWORD WINDOW_TIMEOUT_MS = 60000;
constexpr DWORD WORKER_TIMEOUT_MS = 120000;
constexpr DWORD SCREENSHOT_TIMEOUT_MS = 15000;
constexpr wchar_t MAIN_WINDOW_TITLE[] =
    L"" PELLINPORT_PRODUCT_NAME L" " PELLINPORT_FULL_VERSION_TEXT;
constexpr wchar_t SEND_BUTTON_TEXT[] = L"Envoi des données";
constexpr wchar_t FAILURE_BUTTON_TEXT[] = L"Abandon";

bool all_went_well = true;

void say(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
    std::fputs(utf8.c_str(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

void failed(const std::wstring& what) {
    say(L"  !! " + what);
    all_went_well = false;
}

// Continuation lines of a multi-line control text line up under the first.
std::wstring indented(std::wstring text, size_t by) {
    const std::wstring pad(by, L' ');
    for (size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1))
        text.insert(at + 1, pad);
    return text;
}

std::wstring quoted(const std::wstring& text) { return L"\u00ab " + text + L" \u00bb"; }

void take_screenshot(const std::wstring& folder, const std::wstring& name) {
    const std::wstring file = folder + L"\\" + name + L".png";
    DeleteFileW(file.c_str());
    say(L"SCREENSHOT " + name);
    const ULONGLONG deadline = GetTickCount64() + SCREENSHOT_TIMEOUT_MS;
    while (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline)
        Sleep(50);
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> found;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        found.push_back(child);
    return found;
}

bool is_class(HWND window, const wchar_t* name) {
    return lstrcmpiW(class_name(window).c_str(), name) == 0;
}

HWND child_of_class(HWND parent, const wchar_t* name, const wchar_t* text = nullptr) {
    for (HWND child : children(parent))
        if (is_class(child, name) && (!text || window_text(child) == text)) return child;
    return nullptr;
}

// A box of the program other than a progress dialog (a message box, or the
// options when a setting is missing): told once and closed, so that nothing
// waits on it.
bool answer_other_dialog(DWORD process, const wchar_t* awaited_title) {
    static std::vector<HWND> told;
    HWND box = wait_for_window(process, L"#32770", nullptr, 0);
    if (!box) return false;
    const std::wstring title = window_text(box);
    if (title == awaited_title || title == UPDATE_DIALOG_TITLE || title == SEND_DIALOG_TITLE)
        return false;
    bool known = false;
    for (HWND seen : told) known = known || seen == box;
    if (!known) {
        told.push_back(box);
        say(L"  Box " + quoted(title) + L": " + indented(message_box_text(box), 4));
        failed(L"unexpected box; closed");
    }
    // A message box takes IDOK; a dialog without that button takes WM_CLOSE.
    if (GetDlgItem(box, IDOK)) press_button(box, IDOK);
    else PostMessageW(box, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
    return true;
}

HWND wait_for_dialog(DWORD process, const wchar_t* title, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    do {
        if (HWND dialog = wait_for_window(process, L"#32770", title, 0)) return dialog;
        answer_other_dialog(process, title);
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

// Follows a progress dialog until its worker has ended: each new status text
// with the bar's position, the byte counter as it stood then. True when the
// button got enabled; false when the dialog closed by itself or the wait ran out.
bool follow_progress(HWND dialog) {
    HWND status = GetDlgItem(dialog, IDC_PROGRESS_STATUS);
    HWND bytes = GetDlgItem(dialog, IDC_PROGRESS_BYTES);
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
    HWND button = GetDlgItem(dialog, IDC_PROGRESS_BUTTON);
    std::wstring shown_status, shown_bytes, last_bytes;
    auto tell_bytes = [&] {
        if (!last_bytes.empty() && last_bytes != shown_bytes) say(L"            " + last_bytes);
        shown_bytes = last_bytes;
    };
    const ULONGLONG deadline = GetTickCount64() + WORKER_TIMEOUT_MS;
    while (IsWindow(dialog) && GetTickCount64() < deadline) {
        const bool done = IsWindowEnabled(button) != FALSE;
        const std::wstring now_status = window_text(status);
        if (now_status != shown_status) {
            tell_bytes();  // the count reached under the previous text
            const LRESULT position = SendMessageW(bar, PBM_GETPOS, 0, 0);
            const LRESULT high = SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
            const std::wstring where =
                L"  [" + std::to_wstring(position) + L"/" + std::to_wstring(high) + L"] ";
            say(where + indented(now_status, where.size()));
            shown_status = now_status;
        }
        const std::wstring now_bytes = window_text(bytes);
        if (!now_bytes.empty()) last_bytes = now_bytes;
        if (done) {
            tell_bytes();
            const std::wstring caption = window_text(button);
            say(L"  Button " + quoted(caption) + L" enabled");
            // A worker's failure end renames the button.
            if (caption == FAILURE_BUTTON_TEXT) failed(L"the worker ended in failure");
            return true;
        }
        Sleep(1);  // the steps follow each other fast on a local site
    }
    tell_bytes();
    if (IsWindow(dialog)) failed(L"the worker did not end in time");
    return false;
}

void press_and_wait_gone(HWND dialog) {
    press_button(dialog, IDC_PROGRESS_BUTTON);
    for (int i = 0; i < 500 && IsWindow(dialog); ++i) Sleep(20);
    if (IsWindow(dialog)) failed(L"the dialog stayed open after its button was pressed");
}

std::wstring combo_item(HWND list, LRESULT index) {
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return L"";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    return text;
}

// Everything the main window shows, control by control.
void tell_main_window(HWND window) {
    say(L"  Window " + quoted(window_text(window)) + L" (class " + class_name(window) + L")");
    for (HWND child : children(window)) {
        if (!IsWindowVisible(child)) continue;
        const std::wstring state = IsWindowEnabled(child) ? L"" : L" (disabled)";
        if (is_class(child, L"ComboBox")) {
            const LRESULT count = SendMessageW(child, CB_GETCOUNT, 0, 0);
            const LRESULT chosen = SendMessageW(child, CB_GETCURSEL, 0, 0);
            std::wstring items;
            for (LRESULT i = 0; i < count; ++i)
                items += (i ? L", " : L"") + combo_item(child, i) + (i == chosen ? L" (selected)" : L"");
            say(L"    account list: " + (count > 0 ? items : L"(empty)") + state);
        } else if (is_class(child, L"Button")) {
            say(L"    button " + quoted(window_text(child)) + state);
        } else if (is_class(child, L"Static")) {
            const std::wstring text = window_text(child);
            if (!text.empty()) say(L"    text " + quoted(text));
        } else if (is_class(child, PROGRESS_CLASSW)) {
            say(L"    fill bar: " +
                std::to_wstring(SendMessageW(child, PBM_GETPOS, 0, 0)) + L" of " +
                std::to_wstring(SendMessageW(child, PBM_GETRANGE, FALSE, 0)));
        }
    }
}

// The start-up sequence ends with the panel refresh, which sets the size text
// and, for a file not yet sent, enables the send button.
bool wait_for_panel(HWND window) {
    HWND list = child_of_class(window, L"ComboBox");
    HWND send = child_of_class(window, L"Button", SEND_BUTTON_TEXT);
    const ULONGLONG deadline = GetTickCount64() + WINDOW_TIMEOUT_MS / 4;
    while (GetTickCount64() < deadline) {
        if (list && send && SendMessageW(list, CB_GETCOUNT, 0, 0) > 0 && IsWindowEnabled(send) &&
            IsWindowEnabled(window))
            return true;
        Sleep(50);
    }
    return false;
}

int store_settings(const std::vector<std::wstring>& args) {
    if (args.size() != 5) {
        say(L"usage: demo_driver settings GAME_FOLDER USER PASSWORD ACCOUNT EDITION");
        return 2;
    }
    std::wstring game = args[0];
    if (game.empty() || game.back() != L'\\') game += L'\\';
    SettingsKey settings;
    wchar_t notice[LOAD_MESSAGE_CAPACITY];
    if (load_settings(notice, settings) == OUTCOME_ERROR) {
        say(L"load_settings: " + std::wstring(notice));
        return 1;
    }
    wchar_t message[MESSAGE_CAPACITY];
    const struct {
        const wchar_t* what;
        Outcome (*store)(wchar_t*, const SettingsKey&, const wchar_t*);
        const std::wstring& value;
    } values[] = {{L"game folder", set_game_path, game},
                  {L"user name", set_username, args[1]},
                  {L"password", set_password, args[2]},
                  {L"account", set_account, args[3]},
                  {L"edition", set_addon_edition, args[4]}};
    for (const auto& value : values) {
        if (value.store(message, settings, value.value.c_str()) != OUTCOME_OK) {
            say(L"  " + std::wstring(value.what) + L": " + message);
            return 1;
        }
        const bool secret = value.store == set_password;
        say(L"  " + std::wstring(value.what) + L": " +
            (secret ? std::wstring(value.value.size(), L'*') : value.value));
    }
    return 0;
}

int drive_program(const std::vector<std::wstring>& args) {
    if (args.size() != 2) {
        say(L"usage: demo_driver run PELLINPORT_EXE SCREENSHOT_FOLDER");
        return 2;
    }
    const std::wstring& folder = args[1];
    say(L"== Starting " + args[0]);
    RunningProgram program(args[0]);
    if (!program.started()) {
        failed(L"the program did not start");
        say(L"RESULT failed");
        return 1;
    }

    say(L"== Start-up: the addon update");
    if (HWND update = wait_for_dialog(program.id(), UPDATE_DIALOG_TITLE, WINDOW_TIMEOUT_MS)) {
        say(L"  Dialog " + quoted(window_text(update)));
        if (follow_progress(update)) {
            take_screenshot(folder, L"update");
            press_and_wait_gone(update);
        } else if (!IsWindow(update)) {
            say(L"  (closed by itself: nothing to update)");
        }
    } else {
        failed(L"no update dialog at start-up");
    }

    say(L"== The main window");
    HWND window = wait_for_window(program.id(), MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE, WINDOW_TIMEOUT_MS);
    if (!window) {
        failed(L"no main window");
        say(L"RESULT failed");
        return 1;
    }
    if (!wait_for_panel(window)) failed(L"the account panel was not filled, or the send button stayed disabled");
    tell_main_window(window);
    take_screenshot(folder, L"main-window");

    say(L"== A click on " + quoted(SEND_BUTTON_TEXT));
    HWND send_button = child_of_class(window, L"Button", SEND_BUTTON_TEXT);
    if (!send_button) {
        failed(L"no send button");
    } else {
        // Posted: the click opens a modal dialog, a sent message would wait for its end.
        PostMessageW(send_button, BM_CLICK, 0, 0);
        if (HWND send = wait_for_dialog(program.id(), SEND_DIALOG_TITLE, WINDOW_TIMEOUT_MS / 4)) {
            say(L"  Dialog " + quoted(window_text(send)));
            if (follow_progress(send)) {
                take_screenshot(folder, L"upload");
                press_and_wait_gone(send);
            } else {
                failed(L"the send dialog closed without enabling its button");
            }
        } else {
            failed(L"no send dialog after the click");
        }
    }

    say(L"== The main window after the upload");
    Sleep(300);  // the panel refresh follows the dialog's end
    if (IsWindow(window)) tell_main_window(window);

    // The two other dialogs a player meets, for the pictures.
    const struct {
        UINT command;
        const wchar_t* title;
        int close_button;
        const wchar_t* picture;
    } others[] = {{IDM_OPTIONS, L"Options", IDC_OPTIONS_CANCEL, L"options"},
                  {IDM_PRESENTATION, L"Présentation", IDC_PRESENTATION_OK, L"presentation"}};
    for (const auto& other : others) {
        say(L"== The " + std::wstring(other.picture) + L" dialog");
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(other.command, 0), 0);
        if (HWND dialog = wait_for_dialog(program.id(), other.title, WINDOW_TIMEOUT_MS / 4)) {
            Sleep(300);  // drawn
            take_screenshot(folder, other.picture);
            press_button(dialog, other.close_button);
            for (int i = 0; i < 100 && IsWindow(dialog); ++i) Sleep(20);
        } else {
            failed(L"no dialog " + quoted(other.title));
        }
    }

    say(L"== Quit from the menu");
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_QUIT, 0), 0);
    const DWORD code = program.wait_exit(WINDOW_TIMEOUT_MS / 4);
    if (code == STILL_ACTIVE) failed(L"the program is still running");
    else say(L"  Exit code " + std::to_wstring(code));
    if (code != 0) all_went_well = false;

    say(all_went_well ? L"RESULT ok" : L"RESULT failed");
    return all_went_well ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const std::vector<std::wstring> args(argv + (argc > 1 ? 2 : 1), argv + argc);
    if (command == L"settings") return store_settings(args);
    if (command == L"run") return drive_program(args);
    say(L"usage: demo_driver settings ... | run ...");
    return 2;
}
