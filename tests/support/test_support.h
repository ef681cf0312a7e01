// Scratch registry keys and folders for tests that run against the real
// system under Wine.
#pragma once

#include "settings/settings_store.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// A key under HKEY_CURRENT_USER\Software\PellinportTests, deleted with its
// whole tree when the object goes away.
class ScratchKey {
public:
    ScratchKey();
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const wchar_t* subkey() const { return subkey_.c_str(); }
    // Raw access for setting up and checking values.
    void set_raw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) const;
    void set_text(const wchar_t* name, const std::wstring& text) const;
    bool has_value(const wchar_t* name) const;
    std::wstring text(const wchar_t* name) const;  // empty when absent

private:
    std::wstring subkey_;
};

// Deletes a key and everything below it; absent keys are fine.
void delete_key_tree(HKEY root, const wchar_t* subkey);
void set_key_text(HKEY root, const wchar_t* subkey, const wchar_t* name, const std::wstring& text);

// A fresh folder under the temporary folder, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path, ending with a backslash.
    const std::wstring& path() const { return path_; }
    std::wstring make_folder(const std::wstring& relative) const;  // returns path with '\'
    std::wstring make_file(const std::wstring& relative, const std::string& bytes) const;

private:
    std::wstring path_;
};

std::string read_whole_file(const std::wstring& path);
bool path_exists(const std::wstring& path);
void remove_tree(const std::wstring& folder);  // folder path without trailing backslash

std::wstring repeat(wchar_t c, size_t count);

// Everything below a folder (path ending with '\'): each file's relative path
// with its bytes, each sub-folder's relative path (ending with '\') with "<folder>".
using FolderTree = std::map<std::wstring, std::string>;
FolderTree folder_tree(const std::wstring& folder);

// A Linux path as Wine's programs see it (the root is drive Z:).
std::wstring wine_path(const char* unix_path);

// A SettingsKey on the scratch key, opened as load_settings would leave it.
SettingsKey open_settings(const ScratchKey& scratch, REGSAM access = SETTINGS_ACCESS);
