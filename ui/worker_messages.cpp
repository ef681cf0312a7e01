#include "ui/worker_messages.h"

#include <commctrl.h>

namespace {

void set_control_text(HWND dialog, int control, const wchar_t* text) {
    SendDlgItemMessageW(dialog, control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

}  // namespace

void WorkerReport::step(const wchar_t* text) const {
    this->text(text);
    step_bar();
}

void WorkerReport::text(const wchar_t* text) const {
    set_control_text(dialog_, IDC_PROGRESS_STATUS, text);
}

void WorkerReport::step_bar() const { SendDlgItemMessageW(dialog_, IDC_PROGRESS_BAR, PBM_STEPIT, 0, 0); }

void WorkerReport::clear_counter() const { set_control_text(dialog_, IDC_PROGRESS_BYTES, L""); }

void WorkerReport::show_failure(const wchar_t* text, bool clear_counter) const {
    this->text(text);
    if (clear_counter) this->clear_counter();
    SendDlgItemMessageW(dialog_, IDC_PROGRESS_BAR, PBM_SETPOS, BAR_FULL_POSITION, 0);
    set_control_text(dialog_, IDC_PROGRESS_BUTTON, ABANDON_TEXT);
}

void WorkerReport::fail(const wchar_t* text, bool clear_counter) const {
    show_failure(text, clear_counter);
    end(0);
}

void WorkerReport::end(WPARAM wparam) const { SendMessageW(dialog_, WM_APP, wparam, 0); }
