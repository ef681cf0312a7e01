#include "tests/support/window_driver.h"

#include <vector>

std::wstring class_name(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring window_text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, &text[0], length + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

RECT placement(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

namespace {

struct Search {
    DWORD process_id;
    const wchar_t* window_class;
    const wchar_t* title;
    HWND found;
    bool hidden_too = false;
};

BOOL CALLBACK match_window(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->process_id) return TRUE;
    if (!search->hidden_too && !IsWindowVisible(window)) return TRUE;
    if (class_name(window) != search->window_class) return TRUE;
    if (search->title && window_text(window) != search->title) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND wait_for_window(DWORD process_id, const wchar_t* window_class, const wchar_t* title,
                     DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        Search search{process_id, window_class, title, nullptr};
        EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        // A timeout of 0 looks once, without waiting.
        if (GetTickCount64() >= deadline) return nullptr;
        Sleep(50);
    }
}

bool has_dialog(DWORD process_id) {
    Search search{process_id, L"#32770", nullptr, nullptr, true};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
}

HWND child_with_text(HWND parent, const wchar_t* window_class, const std::wstring& text) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (lstrcmpiW(class_name(child).c_str(), window_class) == 0 && window_text(child) == text)
            return child;
    return nullptr;
}

bool wait_for_progress_end(HWND dialog, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (!IsWindowEnabled(GetDlgItem(dialog, 50))) {
        if (GetTickCount64() > deadline) return false;
        Sleep(50);
    }
    return true;
}

std::wstring message_box_text(HWND box) {
    // The text is the static control that is not the icon.
    std::wstring text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (class_name(child) == L"Static" || class_name(child) == L"STATIC") {
            const std::wstring t = window_text(child);
            if (!t.empty()) text = t;
        }
    }
    return text;
}

std::wstring message_box_icon(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        const HICON shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        const std::pair<LPCWSTR, const wchar_t*> icons[] = {
            {IDI_ERROR, L"error"}, {IDI_INFORMATION, L"information"},
            {IDI_WARNING, L"warning"}, {IDI_QUESTION, L"question"}};
        for (const auto& icon : icons)
            if (shown && shown == LoadIconW(nullptr, icon.first)) return icon.second;
        return shown ? L"other" : L"none";
    }
    return L"none";
}

void press_button(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void press_key(WORD key, bool with_shift) {
    INPUT inputs[4] = {};
    UINT count = 0;
    auto add = [&](WORD code, bool up) {
        inputs[count].type = INPUT_KEYBOARD;
        inputs[count].ki.wVk = code;
        inputs[count].ki.wScan = static_cast<WORD>(MapVirtualKeyW(code, MAPVK_VK_TO_VSC));
        inputs[count].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        ++count;
    };
    if (with_shift) add(VK_SHIFT, false);
    add(key, false);
    add(key, true);
    if (with_shift) add(VK_SHIFT, true);
    SendInput(count, inputs, sizeof(INPUT));
}

bool bring_to_front(HWND window, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    do {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return GetForegroundWindow() == window;
}

HWND focused_in(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

RunningProgram::RunningProgram(const std::wstring& exe_path, const std::wstring& arguments) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + exe_path + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    if (CreateProcessW(exe_path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
        WaitForInputIdle(process_, 5000);
    }
}

RunningProgram::~RunningProgram() {
    if (process_) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
}

DWORD RunningProgram::wait_exit(DWORD timeout_ms) {
    if (!process_) return STILL_ACTIVE;
    if (WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

MessageBoxAnswerer::MessageBoxAnswerer() {
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

std::wstring MessageBoxAnswerer::title() const {
    EnterCriticalSection(&lock_);
    std::wstring t = title_;
    LeaveCriticalSection(&lock_);
    return t;
}

std::wstring MessageBoxAnswerer::text() const {
    EnterCriticalSection(&lock_);
    std::wstring t = text_;
    LeaveCriticalSection(&lock_);
    return t;
}

std::wstring MessageBoxAnswerer::icon() const {
    EnterCriticalSection(&lock_);
    std::wstring t = icon_;
    LeaveCriticalSection(&lock_);
    return t;
}

int MessageBoxAnswerer::boxes_seen() const {
    EnterCriticalSection(&lock_);
    const int n = seen_;
    LeaveCriticalSection(&lock_);
    return n;
}

DWORD WINAPI MessageBoxAnswerer::run(void* param) {
    auto* self = static_cast<MessageBoxAnswerer*>(param);
    while (WaitForSingleObject(self->stop_, 50) == WAIT_TIMEOUT) {
        HWND box = wait_for_window(GetCurrentProcessId(), L"#32770", nullptr, 0);
        if (!box || !GetDlgItem(box, IDOK)) continue;
        EnterCriticalSection(&self->lock_);
        self->title_ = window_text(box);
        self->text_ = message_box_text(box);
        self->icon_ = message_box_icon(box);
        ++self->seen_;
        LeaveCriticalSection(&self->lock_);
        press_button(box, IDOK);
        // Wait until the box has gone so that it is not counted twice.
        for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
    }
    return 0;
}
