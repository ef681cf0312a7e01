#include "base/file_entry.h"

#include <shellapi.h>

#include <cwchar>

namespace {

constexpr DWORD READ_FLAGS = FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL;
constexpr DWORD WRITE_FLAGS = FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
// Silent, no confirmation, no error dialog, and no FOF_ALLOWUNDO: nothing
// goes to the recycle bin.
constexpr FILEOP_FLAGS SHELL_FLAGS =
    FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
constexpr wchar_t ALL_ENTRIES[] = L"*.*";

bool is_folder_path(const wchar_t* path) {
    const std::size_t length = text_length(path);
    return length > 0 && path[length - 1] == L'\\';
}

bool is_dot_entry(const wchar_t* name) {
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// True when the folder (path ending with '\') holds anything at all.
bool folder_has_entries(const wchar_t* folder) {
    const std::size_t length = text_length(folder) + 4;
    auto pattern = make_buffer<wchar_t>(length);
    if (!pattern) return true;
    copy_text(pattern.get(), length, folder);
    append_text(pattern.get(), length, ALL_ENTRIES);
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW(pattern.get(), &found));
    if (!search) return false;
    do {
        if (!is_dot_entry(found.cFileName)) return true;
    } while (FindNextFileW(search.get(), &found));
    return false;
}

// A list of one path for SHFileOperationW: the path, optionally "*.*", and
// the second terminator the call needs.
std::unique_ptr<wchar_t[]> shell_list(const wchar_t* path, bool all_entries) {
    const std::size_t length = text_length(path) + (all_entries ? 3 : 0) + 2;
    auto list = make_buffer<wchar_t>(length);  // zeroed: both terminators in place
    if (!list) return nullptr;
    copy_text(list.get(), length, path);
    if (all_entries) append_text(list.get(), length, ALL_ENTRIES);
    return list;
}

// SHFileOperationW on everything inside source_folder, silently.
bool shell_operation(UINT function, const wchar_t* source_folder, const wchar_t* target) {
    auto from = shell_list(source_folder, true);
    std::unique_ptr<wchar_t[]> to;
    if (target) to = shell_list(target, false);
    if (!from || (target && !to)) return false;
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = function;
    operation.pFrom = from.get();
    operation.pTo = to.get();
    operation.fFlags = SHELL_FLAGS;
    return SHFileOperationW(&operation) == 0;
}

}  // namespace

FileEntry::FileEntry(std::size_t capacity, const wchar_t* path) {
    const std::size_t length = text_length(path);
    if (length == 0 || length > capacity) return;
    path_ = make_buffer<wchar_t>(capacity + 1);
    bare_path_ = make_buffer<wchar_t>(capacity + 1);
    if (!path_ || !bare_path_) {
        path_.reset();
        return;
    }
    copy_text(path_.get(), capacity + 1, path);
    copy_text(bare_path_.get(), capacity + 1, path);
    if (is_folder_path(path)) bare_path_[length - 1] = 0;
}

bool FileEntry::is_folder() const { return valid() && is_folder_path(path_.get()); }

void FileEntry::close() { handle_.reset(); }

bool FileEntry::open(const wchar_t* path, DWORD access, DWORD disposition, DWORD flags) {
    handle_.reset(CreateFileW(path, access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr));
    return handle_.valid();
}

bool FileEntry::exists() {
    if (!valid()) return false;
    const bool opened = open(bare_path_.get(), GENERIC_READ, OPEN_EXISTING, READ_FLAGS);
    close();
    return opened;
}

bool FileEntry::read(void* buffer, DWORD wanted, DWORD* got) {
    if (!valid()) return false;
    DWORD count = 0;
    const bool ok = open(bare_path_.get(), GENERIC_READ, OPEN_EXISTING, READ_FLAGS) &&
                    SetFilePointer(handle_.get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                    ReadFile(handle_.get(), buffer, wanted, &count, nullptr);
    close();
    if (got) *got = count;
    return ok;
}

bool FileEntry::create() {
    if (!valid()) return false;
    if (is_folder()) return CreateDirectoryW(path_.get(), nullptr) != FALSE;
    const bool created = open(path_.get(), GENERIC_READ | GENERIC_WRITE, CREATE_NEW, WRITE_FLAGS);
    close();
    return created;
}

bool FileEntry::write(const void* bytes, DWORD count) {
    if (!valid()) return false;
    DWORD written = 0;
    bool ok = open(path_.get(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, WRITE_FLAGS) &&
              SetFilePointer(handle_.get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
              WriteFile(handle_.get(), bytes, count, &written, nullptr) && written == count;
    // Only a complete write may cut the file: after a short one the end of
    // the old content must stay where it was.
    if (ok) ok = SetEndOfFile(handle_.get()) != FALSE;
    close();
    return ok;
}

bool FileEntry::size(DWORD* size) {
    if (!valid()) return false;
    if (!open(path_.get(), GENERIC_READ, OPEN_EXISTING, WRITE_FLAGS)) return false;
    const DWORD measured = GetFileSize(handle_.get(), nullptr);
    close();
    if (measured == INVALID_FILE_SIZE) {
        *size = 0;
        return false;
    }
    *size = measured;
    return true;
}

bool FileEntry::list_subfolders(FolderNames& names) {
    for (auto& name : names) name[0] = 0;
    if (!is_folder()) return false;
    const DWORD attributes = GetFileAttributesW(bare_path_.get());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const std::size_t path_length = text_length(path_.get());
    if (path_length > PATH_CAPACITY - 3) return false;  // room for "*.*"

    wchar_t pattern[PATH_CAPACITY];
    copy_text(pattern, PATH_CAPACITY, path_.get());
    append_text(pattern, PATH_CAPACITY, ALL_ENTRIES);
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW(pattern, &found));
    if (!search) return true;

    std::size_t stored = 0;
    do {
        if (text_length(found.cFileName) + path_length + 1 > PATH_CAPACITY) return false;
        wchar_t child[PATH_CAPACITY];
        copy_text(child, PATH_CAPACITY, path_.get());
        append_text(child, PATH_CAPACITY, found.cFileName);
        const DWORD child_attributes = GetFileAttributesW(child);
        if (child_attributes != INVALID_FILE_ATTRIBUTES &&
            (child_attributes & FILE_ATTRIBUTE_DIRECTORY) && !is_dot_entry(found.cFileName)) {
            copy_text(names[stored++], PATH_CAPACITY, found.cFileName);
        }
    } while (stored < FOLDER_LIST_SIZE && FindNextFileW(search.get(), &found));
    return true;
}

bool FileEntry::remove(bool keep_folder) {
    if (!is_folder()) return false;
    // The shell reports a failure when "*.*" matches nothing; an empty folder
    // is already what was asked for.
    if (folder_has_entries(path_.get()) && !shell_operation(FO_DELETE, path_.get(), nullptr)) return false;
    if (keep_folder) return true;
    return RemoveDirectoryW(path_.get()) != FALSE;
}

bool move_contents_to(FileEntry& source, const wchar_t* destination) {
    if (!source.is_folder()) return false;
    FileEntry target(text_length(destination), destination);
    const bool ready = target.exists() ? target.remove(true) : target.create();
    if (!ready) return false;
    if (!folder_has_entries(source.path())) return true;  // nothing to move
    return shell_operation(FO_MOVE, source.path(), destination);
}
