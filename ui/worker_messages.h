// How a worker reports to its progress dialog: every message is sent, not
// posted, so the dialog shows them in order and the end comes last.
#pragma once

#include "resources/resource_ids.h"

#include <windows.h>

class WorkerReport {
public:
    explicit WorkerReport(HWND dialog) : dialog_(dialog) {}

    HWND dialog() const { return dialog_; }
    // The step's text on the status line, then one step of the bar.
    void step(const wchar_t* text) const;
    void text(const wchar_t* text) const;
    void step_bar() const;
    void clear_counter() const;
    // Failure text, optionally a cleared counter, a full bar and "Abandon" on
    // the button.
    void show_failure(const wchar_t* text, bool clear_counter = false) const;
    // show_failure, then the run's WM_APP.
    void fail(const wchar_t* text, bool clear_counter = false) const;
    // The run's one WM_APP: wparam 1 asks the dialog to close at once.
    void end(WPARAM wparam) const;

private:
    HWND dialog_;
};

constexpr wchar_t ABANDON_TEXT[] = L"Abandon";
// Beyond every range, so the bar shows full.
constexpr int BAR_FULL_POSITION = 100;
