#include "ui/commands.h"

#include "resources/program_version.h"
#include "resources/resource_ids.h"
#include "base/text_util.h"

namespace {

constexpr wchar_t ABOUT_TITLE[] = L"A propos";
constexpr wchar_t ABOUT_CREDIT[] =
    L"Envoi des données et mise à jour de l'addon, par l'équipe du site Quillfern.";

void show_about(HWND owner) {
    wchar_t text[MESSAGE_CAPACITY];
    about_text(text, MESSAGE_CAPACITY);
    MessageBoxW(owner, text, ABOUT_TITLE, MB_ICONINFORMATION);
}

}  // namespace

void about_text(wchar_t* text, std::size_t capacity) {
    copy_text(text, capacity, L"" PELLINPORT_PRODUCT_NAME L" ");
    append_text(text, capacity, L"" PELLINPORT_VERSION_TEXT);
    append_text(text, capacity, L"\n\n");
    append_text(text, capacity, ABOUT_CREDIT);
}

void on_startup_message(MainWindow&) {
    // The start-up sequence (accounts, options, update check) is not built yet.
}

bool on_command(MainWindow& state, WPARAM wparam, LPARAM lparam) {
    if (lparam != 0) return false;  // control notifications come with their commands
    switch (LOWORD(wparam)) {
    case IDM_QUIT:
        DestroyWindow(state.window);
        return true;
    case IDM_ABOUT:
        show_about(state.window);
        return true;
    case IDM_LAUNCH_GAME:
    case IDM_OPTIONS:
    case IDM_UPDATE_ADDON:
    case IDM_REFRESH:
    case IDM_PRESENTATION:
        return true;  // handled once their dialogs and workers exist
    default:
        return false;
    }
}
