// One file or folder, named by its path: a path ending with a backslash is a
// folder, any other path a file. Each operation opens what it needs and closes
// it again before returning, and answers true or false.
#pragma once

#include "base/text_util.h"
#include "base/unique_handle.h"

#include <windows.h>

#include <memory>

// The subfolder names list_subfolders fills: 20 buffers of 260 characters.
constexpr std::size_t FOLDER_LIST_SIZE = 20;
using FolderNames = wchar_t[FOLDER_LIST_SIZE][PATH_CAPACITY];

class FileEntry {
public:
    // path must be non-empty and at most capacity characters; otherwise the
    // entry names nothing and every operation answers false.
    FileEntry(std::size_t capacity, const wchar_t* path);

    bool valid() const { return path_ != nullptr; }
    const wchar_t* path() const { return path_ ? path_.get() : L""; }
    bool is_folder() const;

    void close();
    bool exists();
    // Reads up to wanted bytes from offset 0; got receives the count read.
    bool read(void* buffer, DWORD wanted, DWORD* got);
    bool create();
    // Overwrites an existing file from offset 0 and cuts what lay behind.
    // A short write fails and leaves the file's length as it was.
    bool write(const void* bytes, DWORD count);
    bool size(DWORD* size);
    bool list_subfolders(FolderNames& names);
    bool remove(bool keep_folder);

private:
    bool open(const wchar_t* path, DWORD access, DWORD disposition, DWORD flags);

    UniqueKernelHandle handle_;
    std::unique_ptr<wchar_t[]> path_;
    std::unique_ptr<wchar_t[]> bare_path_;  // without the folder's trailing backslash
};

// Moves everything inside source (a folder) into destination, which is
// created, or emptied first when it exists.
bool move_contents_to(FileEntry& source, const wchar_t* destination);
