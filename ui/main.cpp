// Program entry: one running copy, COM and common controls, the settings, the
// main window and its message loop.
#include "settings/settings_store.h"
#include "base/unique_handle.h"
#include "ui/keyboard_focus.h"
#include "ui/main_window.h"
#include "ui/show_outcome.h"

#include <commctrl.h>
#include <objbase.h>
#include <windows.h>

namespace {

// Held for the whole run, so a second copy finds it taken. The name is fixed
// once and for all: copies of every version must see the same mutex.
constexpr wchar_t SINGLE_INSTANCE_MUTEX[] = L"1d19b3acf62fcfc5c5b829756d99ce6a";
constexpr wchar_t MSG_ALREADY_RUNNING[] = L"L'application est déjà lancée.";
constexpr wchar_t MSG_NO_COM[] =
    L"Impossible d'initialiser la librairie COM.\nL'application va s'arrêter.";

// COM stays initialised on this thread for the life of the object.
class ComScope {
public:
    ComScope() : ready_(CoInitialize(nullptr) == S_OK) {}
    ~ComScope() {
        if (ready_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool ready() const { return ready_; }

private:
    bool ready_;
};

void run_message_loop(HWND window) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (take_dialog_keys(window, message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR, int show_command) {
    UniqueKernelHandle instance_mutex(CreateMutexW(nullptr, FALSE, SINGLE_INSTANCE_MUTEX));
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        MessageBoxW(nullptr, MSG_ALREADY_RUNNING, nullptr, MB_ICONERROR);
        return 0;
    }
    ComScope com;
    if (!com.ready()) {
        MessageBoxW(nullptr, MSG_NO_COM, nullptr, MB_ICONERROR);
        return 0;
    }
    InitCommonControls();

    SettingsKey settings;
    wchar_t message[LOAD_MESSAGE_CAPACITY];
    if (show_outcome(nullptr, load_settings(message, settings), message) == OUTCOME_ERROR)
        return 0;

    if (!register_main_window_class(module)) return 0;
    HWND window = create_main_window(module, &settings);
    if (!window) return 0;
    ShowWindow(window, show_command);
    run_message_loop(window);
    return 0;
}
