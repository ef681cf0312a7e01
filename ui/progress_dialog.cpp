#include "ui/progress_dialog.h"

#include "resources/resource_ids.h"
#include "ui/dialog_context.h"
#include "ui/worker_messages.h"
#include "upload/upload_worker.h"

#include <commctrl.h>

#include <new>

namespace {

constexpr wchar_t MSG_WORKER_NOT_STARTED[] =
    L"Impossible de démarrer l'opération.\nVeuillez réessayer.";

// One set per form; the dialogs are modal, so one of each exists at a time.
struct ProgressForm {
    const wchar_t* title;
    int steps;
    LPTHREAD_START_ROUTINE worker;
    bool closes_on_request;  // wParam 1 at the end closes the dialog
    DialogContext* context;
    HANDLE thread;
    bool shown;
};

ProgressForm send_form{SEND_DIALOG_TITLE, 9, upload_worker, false, nullptr, nullptr, false};

void on_init(ProgressForm& form, HWND dialog, LPARAM lparam) {
    form.shown = false;
    form.context = reinterpret_cast<DialogContext*>(lparam);
    const WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (int id : {IDC_PROGRESS_STATUS, IDC_PROGRESS_BYTES, IDC_PROGRESS_BUTTON})
        SendDlgItemMessageW(dialog, id, WM_SETFONT, font, TRUE);
    SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(form.title));
    SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, form.steps));
    SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
    EnableWindow(GetDlgItem(dialog, IDC_PROGRESS_BUTTON), FALSE);
}

void on_start(ProgressForm& form, HWND dialog) {
    auto* start = new (std::nothrow) WorkerStart{form.context, dialog};
    if (start) form.thread = CreateThread(nullptr, 0, form.worker, start, 0, nullptr);
    if (form.thread) return;
    // No worker: say so and let the user close the dialog.
    delete start;
    WorkerReport(dialog).show_failure(MSG_WORKER_NOT_STARTED);
    EnableWindow(GetDlgItem(dialog, IDC_PROGRESS_BUTTON), TRUE);
}

void on_worker_end(ProgressForm& form, HWND dialog, WPARAM wparam) {
    CloseHandle(form.thread);
    form.thread = nullptr;
    if (form.closes_on_request && wparam != 0)
        EndDialog(dialog, 0);
    else
        EnableWindow(GetDlgItem(dialog, IDC_PROGRESS_BUTTON), TRUE);
}

INT_PTR progress_dialog(ProgressForm& form, HWND dialog, UINT message, WPARAM wparam,
                        LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        on_init(form, dialog, lparam);
        return TRUE;
    case WM_WINDOWPOSCHANGED:
        // The worker starts once the dialog is on screen, and only once.
        if ((reinterpret_cast<WINDOWPOS*>(lparam)->flags & SWP_SHOWWINDOW) && !form.shown) {
            form.shown = true;
            PostMessageW(dialog, WM_APP, 0, 0);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) != IDC_PROGRESS_BUTTON) return FALSE;
        EndDialog(dialog, 0);
        return TRUE;
    case WM_APP:
        if (form.thread)
            on_worker_end(form, dialog, wparam);
        else
            on_start(form, dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK send_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    return progress_dialog(send_form, dialog, message, wparam, lparam);
}
