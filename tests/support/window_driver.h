// Finding and driving windows from a test: message boxes, dialogs and the
// program's own windows, in this process or another.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

std::wstring class_name(HWND window);
std::wstring window_text(HWND window);
// A child's rectangle in its parent's client coordinates, as x, y, width, height.
RECT placement(HWND child, HWND parent);

// Polls for a visible top-level window of the given class (and title, when
// given) that belongs to the process; null after the timeout.
HWND wait_for_window(DWORD process_id, const wchar_t* window_class, const wchar_t* title,
                     DWORD timeout_ms = 10000);

// Whether the process has a dialog or message box, shown or not. A modal
// dialog that has ended is hidden first and destroyed only when its loop has
// returned; a message posted to the owner in between can be dropped by that
// loop, so a test waits for this to be false before it posts to the owner.
bool has_dialog(DWORD process_id);

// The first child of the class (compared without case) with that text, or null.
HWND child_with_text(HWND parent, const wchar_t* window_class, const std::wstring& text);

// Waits until a progress dialog's button 50 is enabled: its worker has ended.
bool wait_for_progress_end(HWND dialog, DWORD timeout_ms = 30000);

// The text of a message box (its static text control).
std::wstring message_box_text(HWND box);

// The standard icon a message box shows: "error", "information", "warning",
// "question", "none", or "other". Only for boxes of this process, where the
// shared system icons have the same handles.
std::wstring message_box_icon(HWND box);

// Presses a dialog's button by id, as a click would.
void press_button(HWND dialog, int id);

// A key pressed and released as a keyboard does it (SendInput), with Shift
// held around it when asked: it goes to the window in the foreground, and the
// Shift changes GetKeyState there, which a posted message does not.
void press_key(WORD key, bool with_shift = false);

// Makes a top-level window, of any process, the foreground window; false when
// it is not within the timeout.
bool bring_to_front(HWND window, DWORD timeout_ms = 5000);

// The window that has the keyboard focus in the thread of the given window
// (another process's too), or null.
HWND focused_in(HWND window);

// A started program; the process is killed if still running at destruction.
class RunningProgram {
public:
    // Arguments, when given, follow the quoted program path on the command line.
    explicit RunningProgram(const std::wstring& exe_path, const std::wstring& arguments = L"");
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    // Exit code, or STILL_ACTIVE (259) when it has not ended within the timeout.
    DWORD wait_exit(DWORD timeout_ms = 10000);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Answers message boxes shown by this process from another thread: watches for
// a "#32770" box and presses its default button, keeping what it read.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    std::wstring title() const;
    std::wstring text() const;
    std::wstring icon() const;
    int boxes_seen() const;

private:
    static DWORD WINAPI run(void* self);
    HANDLE thread_ = nullptr;
    HANDLE stop_ = nullptr;
    mutable CRITICAL_SECTION lock_;
    std::wstring title_, text_, icon_;
    int seen_ = 0;
};
