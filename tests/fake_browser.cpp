// Stands in for the user's browser and for the game's launcher: writes its
// working directory, then each argument, one a line (UTF-16, '\n'), into a
// record file. The first argument names that file; with no argument it is
// "record.txt" beside the program. The record is written aside and renamed,
// so a test that sees it sees all of it.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring module_folder() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) return 1;
    const std::wstring record = count > 1 ? arguments[1] : module_folder() + L"record.txt";

    wchar_t directory[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, directory);
    std::wstring text = directory;
    for (int i = 2; i < count; ++i) text += std::wstring(L"\n") + arguments[i];
    LocalFree(arguments);

    const std::wstring part = record + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                                 &written, nullptr);
    CloseHandle(file);
    if (!wrote) return 3;
    return MoveFileExW(part.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
