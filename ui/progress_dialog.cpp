#include "ui/progress_dialog.h"

#include "progress/dialog_context.h"
#include "progress/worker_report.h"
#include "resources/resource_ids.h"
#include "base/unique_handle.h"
#include "update/update_worker.h"
#include "upload/upload_worker.h"

#include <commctrl.h>

#include <memory>
#include <new>

namespace {

// Posted by the dialog to itself once it is on screen; it shares its value
// with the worker's end message, and which one arrived is told by whether a
// worker runs.
constexpr UINT WM_PROGRESS_START = WM_APP;
static_assert(WM_PROGRESS_START == WM_WORKER_DONE, "one message value, two meanings");

constexpr wchar_t MSG_WORKER_NOT_STARTED[] =
    L"Impossible de démarrer l'opération.\nVeuillez réessayer.";

// What tells the forms apart.
struct ProgressForm {
    const wchar_t* title;
    int steps;  // the bar's range: the steps of a complete run
    LPTHREAD_START_ROUTINE worker;
    bool closes_on_request;  // an end with wParam other than 0 closes the dialog
};

constexpr ProgressForm UPDATE_FORM{UPDATE_DIALOG_TITLE, UPDATE_STEPS, update_worker, true};
constexpr ProgressForm SEND_FORM{SEND_DIALOG_TITLE, UPLOAD_STEPS, upload_worker, false};

// One opening of the dialog; lives in the dialog's user data.
struct ProgressState {
    const ProgressForm* form;
    DialogContext* context;
    UniqueKernelHandle thread;  // the running worker, empty when none runs
    bool shown;
};

ProgressState* state_of(HWND dialog) {
    return reinterpret_cast<ProgressState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

void enable_button(HWND dialog) { EnableWindow(GetDlgItem(dialog, IDC_PROGRESS_BUTTON), TRUE); }

void on_init(HWND dialog, const ProgressForm& form, LPARAM lparam) {
    auto* state = new (std::nothrow)
        ProgressState{&form, reinterpret_cast<DialogContext*>(lparam), UniqueKernelHandle(), false};
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    const WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (int id : {IDC_PROGRESS_STATUS, IDC_PROGRESS_BYTES, IDC_PROGRESS_BUTTON})
        SendDlgItemMessageW(dialog, id, WM_SETFONT, font, TRUE);
    SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(form.title));
    SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, form.steps));
    SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
    EnableWindow(GetDlgItem(dialog, IDC_PROGRESS_BUTTON), FALSE);
}

void on_start(HWND dialog, ProgressState* state);

void on_first_show(HWND dialog, ProgressState& state) {
    if (state.shown) return;
    state.shown = true;
    PostMessageW(dialog, WM_PROGRESS_START, 0, 0);
}

// Without a worker the dialog says so and can be closed; never a dialog
// waiting for ever with a disabled button.
void on_start(HWND dialog, ProgressState* state) {
    if (state) {
        std::unique_ptr<WorkerStart> start(new (std::nothrow) WorkerStart{state->context, dialog});
        if (start) {
            state->thread.reset(CreateThread(nullptr, 0, state->form->worker, start.get(), 0, nullptr));
            if (state->thread) {
                start.release();  // the worker owns it now
                return;
            }
        }
    }
    WorkerReport(dialog).show_failure(MSG_WORKER_NOT_STARTED);
    enable_button(dialog);
}

void on_worker_done(HWND dialog, ProgressState& state, WPARAM wparam) {
    state.thread.reset();
    if (state.form->closes_on_request && wparam != 0)
        EndDialog(dialog, 0);
    else
        enable_button(dialog);
}

void on_destroy(HWND dialog, ProgressState* state) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
    delete state;
}

INT_PTR progress_dialog(const ProgressForm& form, HWND dialog, UINT message, WPARAM wparam,
                        LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        on_init(dialog, form, lparam);
        if (!state_of(dialog)) on_start(dialog, nullptr);  // no memory for its state
        return TRUE;
    }
    ProgressState* state = state_of(dialog);
    switch (message) {
    case WM_WINDOWPOSCHANGED:
        // The worker starts once the dialog is on screen, and only once.
        if (state && (reinterpret_cast<WINDOWPOS*>(lparam)->flags & SWP_SHOWWINDOW))
            on_first_show(dialog, *state);
        return TRUE;
    case WM_COMMAND:
        // Only the button closes the dialog; Escape's IDCANCEL is ignored.
        if (LOWORD(wparam) != IDC_PROGRESS_BUTTON) return FALSE;
        EndDialog(dialog, 0);
        return TRUE;
    case WM_PROGRESS_START:  // == WM_WORKER_DONE: a running worker tells them apart
        if (state && state->thread)
            on_worker_done(dialog, *state, wparam);
        else
            on_start(dialog, state);
        return TRUE;
    case WM_DESTROY:
        on_destroy(dialog, state);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK update_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    return progress_dialog(UPDATE_FORM, dialog, message, wparam, lparam);
}

INT_PTR CALLBACK send_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    return progress_dialog(SEND_FORM, dialog, message, wparam, lparam);
}
