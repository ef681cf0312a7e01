// Demonstration of the program's main job: sends a sample saved-data file to
// the stand-in site through the real progress dialog and upload worker, and
// tells on the console what the player sees.
#include "game/game_constants.h"
#include "game/game_files.h"
#include "settings/settings_store.h"
#include "resources/resource_ids.h"
#include "progress/dialog_context.h"
#include "ui/progress_dialog.h"
#include "game/purge_flag.h"

#include <commctrl.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void say(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
    std::fputs(utf8.c_str(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

std::wstring indented(std::wstring text) {
    for (size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1))
        text.insert(at + 1, L"      ");
    return text;
}

// Echoes what the worker puts on the dialog.
LRESULT CALLBACK watch_dialog(int code, WPARAM wparam, LPARAM lparam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && call->message == WM_SETTEXT && call->lParam) {
        const int id = GetDlgCtrlID(call->hwnd);
        const std::wstring text = reinterpret_cast<const wchar_t*>(call->lParam);
        if (id == IDC_PROGRESS_STATUS) say(L"  [" + std::to_wstring(
            SendDlgItemMessageW(GetParent(call->hwnd), IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0) + 1) +
            L"/9] " + indented(text));
        if (id == IDC_PROGRESS_BYTES && !text.empty()) say(L"        " + text);
        if (id == IDC_PROGRESS_BUTTON) say(L"  bouton: " + text);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// Presses the dialog's button a moment after the worker has enabled it.
DWORD WINAPI press_when_done(void*) {
    for (int i = 0; i < 600; ++i) {
        HWND dialog = FindWindowW(L"#32770", SEND_DIALOG_TITLE);
        HWND button = dialog ? GetDlgItem(dialog, IDC_PROGRESS_BUTTON) : nullptr;
        if (button && IsWindowEnabled(button)) {
            say(L"SCREENSHOT");
            Sleep(2500);
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_BUTTON, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            return 0;
        }
        Sleep(100);
    }
    return 0;
}

std::wstring purge_line(const std::wstring& path) {
    FileEntry entry(PATH_CAPACITY, path.c_str());
    bool flag = false;
    if (edit_purge_flag(entry, flag, PURGE_READ) != OUTCOME_OK) return L"(illisible)";
    return flag ? L"QF_Purge = \"true!\"" : L"QF_Purge = \"false\"";
}

}  // namespace

int main() {
    InitCommonControls();
    SettingsKey settings;
    wchar_t message[LOAD_MESSAGE_CAPACITY];
    load_settings(message, settings);

    const std::wstring game = L"C:\\Pellinport-demo\\World of Warcraft\\";
    const std::wstring account = L"DEMO";
    for (const std::wstring& folder :
         {std::wstring(L"C:\\Pellinport-demo\\"), game, game + L"WTF\\", game + L"WTF\\Account\\",
          game + L"WTF\\Account\\" + account + L"\\",
          game + L"WTF\\Account\\" + account + L"\\SavedVariables\\"})
        CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t data_path[PATH_CAPACITY];
    build_data_file_path(data_path, game.c_str(), account.c_str());
    std::wstring sample = L"Z:";
    for (const char* c = DEMO_SAMPLE_FILE; *c; ++c) sample += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    CopyFileW(sample.c_str(), data_path, FALSE);

    set_username(message, settings, L"joueur-demo");
    set_password(message, settings, L"motdepasse");
    set_game_path(message, settings, game.c_str());
    set_account(message, settings, account.c_str());

    say(L"Dossier du jeu : " + game);
    say(L"Fichier envoyé : " + std::wstring(data_path));
    say(L"Avant l'envoi  : " + purge_line(data_path));
    say(L"Envoi des données :");

    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                 nullptr);
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watch_dialog, nullptr, GetCurrentThreadId());
    HANDLE presser = CreateThread(nullptr, 0, press_when_done, nullptr, 0, nullptr);
    DialogContext context{&settings, owner};
    DialogBoxParamW(GetModuleHandleW(nullptr), L"PROGRESSDIALOG", owner, send_dialog_proc,
                    reinterpret_cast<LPARAM>(&context));
    WaitForSingleObject(presser, INFINITE);
    CloseHandle(presser);
    UnhookWindowsHookEx(hook);
    DestroyWindow(owner);

    say(L"Après l'envoi  : " + purge_line(data_path));
    return 0;
}
