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


private:
    HWND dialog_;
};

// Shortest time between two totals on the counter.
constexpr DWORD BYTE_COUNTER_INTERVAL_MS = 50;

// The byte counter of a progress dialog, "<total> octets", at a human rate:
// every total is a message sent across threads, which costs about a
// millisecond under Wine, and one per 1,024-byte chunk made a transfer many
// times slower than the network. The first total of a transfer and its last
// one are always shown; between them at most one per interval. One object
// per transfer.
class ByteCounter {
public:
    using Clock = DWORD(WINAPI*)();
    explicit ByteCounter(HWND dialog, Clock clock = GetTickCount) : dialog_(dialog), clock_(clock) {}
    // The HTTP client's ByteProgress; the context is a ByteCounter.
    static void show(void* counter, DWORD total, bool last);

private:
    HWND dialog_;
    Clock clock_;
    bool shown_ = false;
    DWORD shown_total_ = 0;
    DWORD shown_at_ = 0;
};

// The byte counter's text: the total in decimal, then " octets".
void byte_counter_text(wchar_t* text, std::size_t capacity, unsigned long long total);
