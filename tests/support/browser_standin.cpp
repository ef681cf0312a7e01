#include "tests/support/browser_standin.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

namespace {

constexpr wchar_t HTTP_OPEN_COMMAND[] = L"http\\shell\\open\\command";
// Long enough for the stand-in to start and write, short enough not to hang a run.
constexpr DWORD WAIT_LIMIT_MS = 20000;

}  // namespace

std::wstring unique_suffix() {
    static std::atomic<unsigned> counter{0};
    return std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
}

std::wstring temp_folder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

// The stand-in's record: its working directory, then its arguments after the
// record's own path. Empty when it did not appear within the limit.
std::vector<std::wstring> wait_for_record(const std::wstring& path) {
    const ULONGLONG deadline = GetTickCount64() + WAIT_LIMIT_MS;
    while (!path_exists(path) && GetTickCount64() < deadline) Sleep(50);
    const std::string bytes = read_whole_file(path);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
    std::vector<std::wstring> lines;
    if (!path_exists(path)) return lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

static std::wstring read_default_value(HKEY key, bool* present) {
    wchar_t value[1024] = L"";
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    *present = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value),
                                &bytes) == ERROR_SUCCESS &&
               type == REG_SZ;
    return *present ? value : L"";
}

static void write_default_value(HKEY key, const std::wstring& text) {
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

HttpCommand::HttpCommand(const std::wstring& command) {
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, HTTP_OPEN_COMMAND, 0, nullptr, 0,
                                             KEY_READ | KEY_WRITE, nullptr, key_.put(), nullptr));
    if (!key_) return;
    earlier_ = read_default_value(key_.get(), &had_earlier_);
    write_default_value(key_.get(), command);
}

HttpCommand::~HttpCommand() {
    if (!key_) return;
    if (had_earlier_)
        write_default_value(key_.get(), earlier_);
    else
        RegDeleteValueW(key_.get(), nullptr);
}
