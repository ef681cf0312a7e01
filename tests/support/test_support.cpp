#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<unsigned> scratch_counter{0};

std::wstring unique_name(const wchar_t* prefix) {
    return std::wstring(prefix) + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(++scratch_counter);
}

}  // namespace

void delete_key_tree(HKEY root, const wchar_t* subkey) {
    RegDeleteTreeW(root, subkey);
    RegDeleteKeyW(root, subkey);
}

void set_key_text(HKEY root, const wchar_t* subkey, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

ScratchKey::ScratchKey() : subkey_(L"Software\\PellinportTests\\" + unique_name(L"key")) {
    delete_key_tree(HKEY_CURRENT_USER, subkey_.c_str());
}

ScratchKey::~ScratchKey() {
    delete_key_tree(HKEY_CURRENT_USER, subkey_.c_str());
}

void ScratchKey::set_raw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) const {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, subkey_.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes));
    RegCloseKey(key);
}

void ScratchKey::set_text(const wchar_t* name, const std::wstring& text) const {
    set_raw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool ScratchKey::has_value(const wchar_t* name) const {
    return RegGetValueW(HKEY_CURRENT_USER, subkey_.c_str(), name, RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

std::wstring ScratchKey::text(const wchar_t* name) const {
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, subkey_.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr,
                     &bytes) != ERROR_SUCCESS)
        return {};
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_CURRENT_USER, subkey_.c_str(), name, RRF_RT_REG_SZ, nullptr, &text[0],
                     &bytes) != ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + unique_name(L"pp") + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    remove_tree(path_.substr(0, path_.size() - 1));
}

std::wstring ScratchFolder::make_folder(const std::wstring& relative) const {
    std::wstring full = path_;
    size_t start = 0;
    while (start < relative.size()) {
        size_t end = relative.find(L'\\', start);
        if (end == std::wstring::npos) end = relative.size();
        full += relative.substr(start, end - start) + L"\\";
        CreateDirectoryW(full.c_str(), nullptr);
        start = end + 1;
    }
    return full;
}

std::wstring ScratchFolder::make_file(const std::wstring& relative, const std::string& bytes) const {
    const size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos) make_folder(relative.substr(0, slash));
    const std::wstring full = path_ + relative;
    HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file) << "cannot create test file";
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        if (!bytes.empty())
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    return full;
}

std::string read_whole_file(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

bool path_exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void remove_tree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = folder + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

std::wstring repeat(wchar_t c, size_t count) { return std::wstring(count, c); }

std::wstring wine_path(const char* unix_path) {
    std::wstring path = L"Z:";
    for (const char* c = unix_path; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

SettingsKey open_settings(const ScratchKey& scratch, REGSAM access) {
    SettingsKey key;
    key.subkey = scratch.subkey();
    key.access = access;
    HKEY opened = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, key.subkey, 0, nullptr, 0, access,
                                             nullptr, &opened, nullptr));
    key.handle.reset(opened);
    return key;
}

namespace {

void collect(const std::wstring& root, const std::wstring& relative, FolderTree& tree) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root + relative + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[relative + name + L"\\"] = "<folder>";
            collect(root, relative + name + L"\\", tree);
        } else {
            tree[relative + name] = read_whole_file(root + relative + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

FolderTree folder_tree(const std::wstring& folder) {
    FolderTree tree;
    collect(folder, L"", tree);
    return tree;
}
