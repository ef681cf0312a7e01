#include "progress/worker_report.h"

#include "base/text_util.h"
#include "resources/resource_ids.h"

#include <commctrl.h>

namespace {

constexpr wchar_t ABANDON_TEXT[] = L"Abandon";
// Beyond every range a worker sets up, so the bar shows full.
constexpr int BAR_FULL_POSITION = 100;
constexpr std::size_t COUNTER_CAPACITY = 32;

void set_control_text(HWND dialog, int control, const wchar_t* text) {
    SendDlgItemMessageW(dialog, control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

LRESULT send_to_bar(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, message, wparam, lparam);
}

}  // namespace

void byte_counter_text(wchar_t* text, std::size_t capacity, unsigned long long total) {
    if (capacity == 0) return;
    text[0] = 0;
    append_decimal(text, capacity, total);
    append_text(text, capacity, L" octets");
}

void ByteCounter::show(void* counter, DWORD total, bool last) {
    auto& self = *static_cast<ByteCounter*>(counter);
    const DWORD now = self.clock_();
    // A total already on screen (the last call may repeat one) is not sent again.
    if (self.shown_ && (total == self.shown_total_ ||
                        (!last && now - self.shown_at_ < BYTE_COUNTER_INTERVAL_MS)))
        return;
    wchar_t text[COUNTER_CAPACITY];
    byte_counter_text(text, COUNTER_CAPACITY, total);
    set_control_text(self.dialog_, IDC_PROGRESS_BYTES, text);
    self.shown_ = true;
    self.shown_total_ = total;
    self.shown_at_ = now;
}

void WorkerReport::step(const wchar_t* text) const {
    this->text(text);
    step_bar();
}

void WorkerReport::text(const wchar_t* text) const {
    set_control_text(dialog_, IDC_PROGRESS_STATUS, text);
}

int WorkerReport::step_bar() const { return static_cast<int>(send_to_bar(dialog_, PBM_STEPIT, 0, 0)); }

void WorkerReport::clear_counter() const { set_control_text(dialog_, IDC_PROGRESS_BYTES, L""); }

void WorkerReport::set_range(int maximum, int position) const {
    send_to_bar(dialog_, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
    send_to_bar(dialog_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void WorkerReport::show_failure(const wchar_t* text, CounterOnFailure counter) const {
    if (counter == CounterOnFailure::CLEAR_BEFORE_TEXT) clear_counter();
    this->text(text);
    if (counter == CounterOnFailure::CLEAR_AFTER_TEXT) clear_counter();
    // A download phase of 100 files or more lies beyond the usual position.
    const int maximum = static_cast<int>(send_to_bar(dialog_, PBM_GETRANGE, FALSE, 0));
    send_to_bar(dialog_, PBM_SETPOS, maximum > BAR_FULL_POSITION ? maximum : BAR_FULL_POSITION, 0);
    set_control_text(dialog_, IDC_PROGRESS_BUTTON, ABANDON_TEXT);
}

void WorkerReport::fail(const wchar_t* text, CounterOnFailure counter) const {
    show_failure(text, counter);
    end(0);
}

void WorkerReport::end(WPARAM wparam) const { SendMessageW(dialog_, WM_WORKER_DONE, wparam, 0); }
