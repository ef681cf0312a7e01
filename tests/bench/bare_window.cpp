// The floor for start-up: a program that only registers a class and shows
// one window (class "BareWindow", which scripts/bench looks for), built like
// Pellinport.exe.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR, int show) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = module;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = L"BareWindow";
    RegisterClassW(&window_class);
    HWND window = CreateWindowExW(0, L"BareWindow", L"Bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 420, 200, nullptr, nullptr, module, nullptr);
    ShowWindow(window, show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
