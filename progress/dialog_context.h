// The two records that cross from the interface to a dialog and on to its
// worker thread.
#pragma once

#include "settings/settings_store.h"

#include <windows.h>

// Init parameter of every dialog; lives on the opener's side until the modal
// dialog returns.
struct DialogContext {
    SettingsKey* settings;
    // The main window, or null. The options dialog sends its commands to it;
    // workers only use it as a switch: the byte counter shows when it is set.
    HWND owner;
};

// Handed by a progress dialog to the worker thread it starts; the worker owns
// it and releases it when its run ends.
struct WorkerStart {
    DialogContext* context;
    HWND dialog;
};
