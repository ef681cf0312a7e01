// How a worker reports to its progress dialog. Every message is sent, not
// posted, so the dialog shows them in order and the end comes last.
#pragma once

#include <windows.h>

#include <cstddef>

// The worker's end message: the last message of every run. wParam 1 asks the
// update form to close at once. (The dialog posts the same value to itself
// as its start message before any worker runs.)
constexpr UINT WM_WORKER_DONE = WM_APP;

// Where the failure text and the clearing of the byte counter come, relative
// to each other: each worker keeps its own order.
enum class CounterOnFailure { KEEP, CLEAR_BEFORE_TEXT, CLEAR_AFTER_TEXT };

class WorkerReport {
public:
    explicit WorkerReport(HWND dialog) : dialog_(dialog) {}

    HWND dialog() const { return dialog_; }
    // The step's text on the status line, then one step of the bar.
    void step(const wchar_t* text) const;
    void text(const wchar_t* text) const;
    // One step of the bar; answers the position it had before.
    int step_bar() const;
    void clear_counter() const;
    // A new range 0..maximum with the bar at position.
    void set_range(int maximum, int position) const;
    // The failure text, the counter as ordered, a full bar and "Abandon".
    void show_failure(const wchar_t* text, CounterOnFailure counter = CounterOnFailure::KEEP) const;
    // show_failure, then the run's end message.
    void fail(const wchar_t* text, CounterOnFailure counter = CounterOnFailure::KEEP) const;
    // The run's one end message.
    void end(WPARAM wparam) const;

    // A byte-count callback for the HTTP client: "<total> octets" on the
    // counter; the context is the dialog window.
    static void show_bytes(void* dialog, DWORD total);

private:
    HWND dialog_;
};

// The byte counter's text: the total in decimal, then " octets".
void byte_counter_text(wchar_t* text, std::size_t capacity, unsigned long long total);
