// Runs a real progress dialog procedure modally and records, in order, every
// message its worker sends to the controls and to the dialog.
#pragma once

#include "progress/dialog_context.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct ProgressEvent {
    int control;  // 0: the dialog itself (the worker's end message)
    UINT message;
    std::wstring text;
    WPARAM param;
    LPARAM lparam;
    int bar;              // the bar's position after the message
    bool button_enabled;  // button 50, after the message
};

struct ProgressRecord {
    std::vector<ProgressEvent> events;
    // Right after WM_INITDIALOG.
    std::wstring title;
    int initial_range = -1;
    bool initially_enabled = true;
    std::wstring initial_button, initial_status;
    // Once the worker's end message has been handled (and 300 ms later).
    std::wstring status, bytes, button;
    int bar = -1;
    int range = -1;
    bool button_enabled = false;
    int start_messages = 0;      // the dialog's own posted start messages
    bool closed_by_itself = false;  // ended without the button being pressed
    INT_PTR result = -1;
};

// Called on the interface thread after each recorded event, for tests that
// act in the middle of a run.
using ProgressHook = std::function<void(HWND dialog, const ProgressEvent&)>;

// Runs procedure with "PROGRESSDIALOG" and the context; presses button 50
// once the worker has ended, unless the dialog closed itself.
ProgressRecord run_progress_dialog(DLGPROC procedure, DialogContext& context, HWND owner,
                                   const ProgressHook& hook = nullptr);

std::vector<std::wstring> status_texts(const ProgressRecord& record);
// Bar positions after each PBM_STEPIT.
std::vector<int> step_positions(const ProgressRecord& record);
int end_messages(const ProgressRecord& record);
bool counter_touched(const ProgressRecord& record);
// The controls the last count events went to (0: the dialog), in order.
std::vector<int> last_controls(const ProgressRecord& record, size_t count);
