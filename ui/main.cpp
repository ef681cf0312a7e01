// Program entry.
#include "settings/settings_store.h"
#include "ui/show_outcome.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SettingsKey settings;
    wchar_t message[LOAD_MESSAGE_CAPACITY];
    const Outcome loaded = load_settings(message, settings);
    show_outcome(nullptr, loaded, message);
    return 0;
}
