#include "tests/support/progress_recorder.h"

#include "resources/resource_ids.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR SPY_ID = 1;
constexpr UINT_PTR SETTLE_TIMER = 7001;

struct Session {
    DLGPROC procedure;
    ProgressRecord* record;
    const ProgressHook* hook;
    bool pressed;
};
Session* active = nullptr;

int bar_position(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
}
int bar_range(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0));
}
bool button_enabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDC_PROGRESS_BUTTON)) != FALSE; }

std::wstring item_text(HWND dialog, int id) {
    wchar_t text[400] = L"";
    GetDlgItemTextW(dialog, id, text, 400);
    return text;
}

void add_event(HWND dialog, ProgressEvent event) {
    event.bar = bar_position(dialog);
    event.button_enabled = button_enabled(dialog);
    active->record->events.push_back(event);
    if (*active->hook) (*active->hook)(dialog, active->record->events.back());
}

LRESULT CALLBACK control_spy(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                             DWORD_PTR) {
    const LRESULT result = DefSubclassProc(control, message, wparam, lparam);
    if (active && (message == WM_SETTEXT || message == PBM_STEPIT || message == PBM_SETPOS ||
                   message == PBM_SETRANGE)) {
        add_event(GetParent(control),
                  {GetDlgCtrlID(control), message,
                   message == WM_SETTEXT ? reinterpret_cast<const wchar_t*>(lparam) : L"", wparam,
                   lparam, 0, false});
    }
    return result;
}

void snapshot(HWND dialog, ProgressRecord& record) {
    record.status = item_text(dialog, IDC_PROGRESS_STATUS);
    record.bytes = item_text(dialog, IDC_PROGRESS_BYTES);
    record.button = item_text(dialog, IDC_PROGRESS_BUTTON);
    record.bar = bar_position(dialog);
    record.range = bar_range(dialog);
    record.button_enabled = button_enabled(dialog);
}

// Forwards everything to the procedure under test and only watches.
INT_PTR CALLBACK recording_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    Session& session = *active;
    ProgressRecord& record = *session.record;
    if (message == WM_TIMER && wparam == SETTLE_TIMER) {
        KillTimer(dialog, SETTLE_TIMER);
        snapshot(dialog, record);
        session.pressed = true;
        return session.procedure(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_BUTTON, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_PROGRESS_BUTTON)));
    }
    const bool from_worker = message == WM_APP && InSendMessage();
    if (message == WM_APP && !from_worker) ++record.start_messages;
    const INT_PTR result = session.procedure(dialog, message, wparam, lparam);
    if (message == WM_INITDIALOG) {
        record.title = [&] {
            wchar_t title[200] = L"";
            GetWindowTextW(dialog, title, 200);
            return std::wstring(title);
        }();
        record.initial_range = bar_range(dialog);
        record.initially_enabled = button_enabled(dialog);
        record.initial_button = item_text(dialog, IDC_PROGRESS_BUTTON);
        record.initial_status = item_text(dialog, IDC_PROGRESS_STATUS);
        for (int id = IDC_PROGRESS_BUTTON; id <= IDC_PROGRESS_BYTES; ++id)
            SetWindowSubclass(GetDlgItem(dialog, id), control_spy, SPY_ID, 0);
    } else if (from_worker) {
        add_event(dialog, {0, WM_APP, L"", wparam, lparam, 0, false});
        snapshot(dialog, record);
        // Stay open a moment: anything the worker sent after its end would show.
        SetTimer(dialog, SETTLE_TIMER, 300, nullptr);
    } else if (message == WM_DESTROY) {
        for (int id = IDC_PROGRESS_BUTTON; id <= IDC_PROGRESS_BYTES; ++id)
            RemoveWindowSubclass(GetDlgItem(dialog, id), control_spy, SPY_ID);
    }
    return result;
}

}  // namespace

ProgressRecord run_progress_dialog(DLGPROC procedure, DialogContext& context, HWND owner,
                                   const ProgressHook& hook) {
    ProgressRecord record;
    Session session{procedure, &record, &hook, false};
    active = &session;
    record.result = DialogBoxParamW(GetModuleHandleW(nullptr), L"PROGRESSDIALOG", owner,
                                    recording_proc, reinterpret_cast<LPARAM>(&context));
    record.closed_by_itself = !session.pressed;
    active = nullptr;
    // The worker releases its storage after its end message; give it the time.
    Sleep(50);
    return record;
}

std::vector<std::wstring> status_texts(const ProgressRecord& record) {
    std::vector<std::wstring> texts;
    for (const ProgressEvent& e : record.events)
        if (e.control == IDC_PROGRESS_STATUS && e.message == WM_SETTEXT) texts.push_back(e.text);
    return texts;
}

std::vector<int> step_positions(const ProgressRecord& record) {
    std::vector<int> positions;
    for (const ProgressEvent& e : record.events)
        if (e.message == PBM_STEPIT) positions.push_back(e.bar);
    return positions;
}

int end_messages(const ProgressRecord& record) {
    int count = 0;
    for (const ProgressEvent& e : record.events) count += e.message == WM_APP;
    return count;
}

bool counter_touched(const ProgressRecord& record) {
    for (const ProgressEvent& e : record.events)
        if (e.control == IDC_PROGRESS_BYTES) return true;
    return false;
}

std::vector<int> last_controls(const ProgressRecord& record, size_t count) {
    std::vector<int> controls;
    const size_t from = record.events.size() > count ? record.events.size() - count : 0;
    for (size_t i = from; i < record.events.size(); ++i) controls.push_back(record.events[i].control);
    return controls;
}
