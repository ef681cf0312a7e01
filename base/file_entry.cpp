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

enum class Listing { EMPTY, HAS_ENTRIES, FAILED };

// The name of the first entry other than "." and ".." in the folder.
Listing first_entry(const wchar_t* folder, wchar_t (&name)[MAX_PATH]) {
    name[0] = 0;
    const std::size_t length = text_length(folder) + 4;
    auto pattern = make_buffer<wchar_t>(length);
    if (!pattern) return Listing::FAILED;
    copy_text(pattern.get(), length, folder);
    append_text(pattern.get(), length, ALL_ENTRIES);
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW(pattern.get(), &found));
    if (!search) return Listing::FAILED;
    do {
        if (!is_dot_entry(found.cFileName)) {
            copy_text(name, MAX_PATH, found.cFileName);
            return Listing::HAS_ENTRIES;
        }
    } while (FindNextFileW(search.get(), &found));
    return GetLastError() == ERROR_NO_MORE_FILES ? Listing::EMPTY : Listing::FAILED;
}

// What a search of the folder (path ending with a backslash) finds. Only a
// search that starts and meets nothing but "." and ".." proves the folder
// empty: a folder that cannot be listed (missing, a file, no access) is not.
Listing list_entries(const wchar_t* folder) {
    wchar_t name[MAX_PATH];
    return first_entry(folder, name);
}

// folder (ending with a backslash, or not) and name as one path; null when
// memory is short.
std::unique_ptr<wchar_t[]> joined_path(const wchar_t* folder, const wchar_t* name) {
    const std::size_t folder_length = text_length(folder);
    const std::size_t length = folder_length + text_length(name) + 2;
    auto path = make_buffer<wchar_t>(length);
    if (!path) return nullptr;
    copy_text(path.get(), length, folder);
    if (folder_length != 0 && folder[folder_length - 1] != L'\\') append_text(path.get(), length, L"\\");
    append_text(path.get(), length, name);
    return path;
}

bool entry_exists(const wchar_t* folder, const wchar_t* name) {
    auto path = joined_path(folder, name);
    if (!path) return true;
    return GetFileAttributesW(path.get()) != INVALID_FILE_ATTRIBUTES;
}

// A list of one path for SHFileOperationW: the path, optionally followed by
// a name, and the second terminator the call needs.
std::unique_ptr<wchar_t[]> shell_list(const wchar_t* path, const wchar_t* name = nullptr) {
    const std::size_t length = text_length(path) + text_length(name) + 2;
    auto list = make_buffer<wchar_t>(length);  // zeroed: both terminators in place
    if (!list) return nullptr;
    copy_text(list.get(), length, path);
    if (name) append_text(list.get(), length, name);
    return list;
}

// SHFileOperationW on the entry name inside source_folder ("*.*": all of
// them), silently.
bool shell_operation(UINT function, const wchar_t* source_folder, const wchar_t* name,
                     const wchar_t* target) {
    auto from = shell_list(source_folder, name);
    std::unique_ptr<wchar_t[]> to;
    if (target) to = shell_list(target);
    if (!from || (target && !to)) return false;
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = function;
    operation.pFrom = from.get();
    operation.pTo = to.get();
    operation.fFlags = SHELL_FLAGS;
    return SHFileOperationW(&operation) == 0;
}

// Moves one entry of source_folder into destination. A plain file moves in
// one call, copied and deleted when the folders are on different drives:
// under Wine the shell's move costs several milliseconds a file, most of an
// update of many small files. Folders keep the shell's move, which MoveFileEx
// cannot do from one drive to another.
bool move_entry(const wchar_t* source_folder, const wchar_t* name, const wchar_t* destination) {
    auto from = joined_path(source_folder, name);
    if (!from) return false;
    const DWORD attributes = GetFileAttributesW(from.get());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return shell_operation(FO_MOVE, source_folder, name, destination);
    auto to = joined_path(destination, name);
    return to && MoveFileExW(from.get(), to.get(), MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING);
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
    const Listing contents = list_entries(path_.get());
    if (contents == Listing::FAILED) return false;
    // The shell reports a failure when "*.*" matches nothing; an empty folder
    // is already what was asked for.
    if (contents == Listing::HAS_ENTRIES) {
        if (!shell_operation(FO_DELETE, path_.get(), ALL_ENTRIES, nullptr)) return false;
        // The shell's answer alone does not prove that nothing was left behind.
        if (keep_folder && list_entries(path_.get()) != Listing::EMPTY) return false;
    }
    if (keep_folder) return true;
    return RemoveDirectoryW(path_.get()) != FALSE;
}

bool move_contents_to(FileEntry& source, const wchar_t* destination) {
    if (!source.is_folder()) return false;
    // A source that cannot be listed must not cost the destination its contents.
    const Listing contents = list_entries(source.path());
    if (contents == Listing::FAILED) return false;
    FileEntry target(text_length(destination), destination);
    const bool ready = target.exists() ? target.remove(true) : target.create();
    if (!ready) return false;
    if (contents == Listing::EMPTY) return true;
    // One entry at a time: Wine's shell refuses to move several plain files
    // in one call ("*.*" with no folder among them answers ERROR_CANCELLED).
    // Each entry must be gone from the source after its move, since Wine's
    // shell also answers success when it leaves a file it cannot move (one
    // held open without sharing): only an empty source proves the move whole.
    for (;;) {
        wchar_t name[MAX_PATH];
        const Listing left = first_entry(source.path(), name);
        if (left != Listing::HAS_ENTRIES) return left == Listing::EMPTY;
        if (!move_entry(source.path(), name, destination)) return false;
        if (entry_exists(source.path(), name)) return false;
    }
}
