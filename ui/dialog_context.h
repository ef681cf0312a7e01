// The records that cross from the interface to a dialog and to its worker,
// and the controls of the progress dialog that a worker addresses.
#pragma once

#include "resources/resource_ids.h"
#include "settings/settings_store.h"

#include <windows.h>

// Init parameter of every dialog; lives on the opener's side until the modal
// dialog returns.
struct DialogContext {
    SettingsKey* settings;
    // The main window, or null. Workers only use it as a switch: the byte
    // counter shows when it is set.
    HWND owner;
};

// Handed by a progress dialog to the worker thread it starts; the worker owns
// it and releases it when its run ends.
struct WorkerStart {
    DialogContext* context;
    HWND dialog;
};

// One dialog resource the main window opens.
struct DialogResource {
    HINSTANCE module;
    const wchar_t* template_name;
};

constexpr wchar_t PROGRESS_DIALOG_TEMPLATE[] = L"PROGRESSDIALOG";
constexpr wchar_t OPTIONS_DIALOG_TEMPLATE[] = L"OPTIONSDIALOG";
constexpr wchar_t PRESENTATION_DIALOG_TEMPLATE[] = L"PRESENTATIONDIALOG";

// Runs the dialog modally with the context as its init parameter.
void open_dialog(const DialogResource& resource, HWND owner, DLGPROC procedure,
                 DialogContext* context);
