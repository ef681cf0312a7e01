// A stand-in browser for tests: the shell's http open command points at a
// small program that records what it was given, for the object's life.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

#include <string>
#include <vector>

std::wstring unique_suffix();
std::wstring temp_folder();

// The stand-in's record: its working directory, then its arguments after the
// record's own path. Empty when it did not appear within 20 seconds.
std::vector<std::wstring> wait_for_record(const std::wstring& path);

// Points the shell's http open command at a program for the object's life,
// then puts the earlier command back. Wine 8 reads the machine's classes
// only (a per-user http key is not seen), so the machine's key is changed.
class HttpCommand {
public:
    explicit HttpCommand(const std::wstring& command);
    ~HttpCommand();
    HttpCommand(const HttpCommand&) = delete;
    HttpCommand& operator=(const HttpCommand&) = delete;

private:
    UniqueHkey key_;
    std::wstring earlier_;
    bool had_earlier_ = false;
};

// The stand-in browser, writing its record under a name of its own.
class StandInBrowser {
public:
    explicit StandInBrowser(const std::wstring& program)
        : record_(temp_folder() + L"browser_" + unique_suffix() + L".txt"),
          command_(L"\"" + program + L"\" \"" + record_ + L"\" \"%1\"") {}
    ~StandInBrowser() { DeleteFileW(record_.c_str()); }
    // The addresses the browser received; empty when it did not start.
    std::vector<std::wstring> opened() const {
        std::vector<std::wstring> lines = wait_for_record(record_);
        if (!lines.empty()) lines.erase(lines.begin());  // its working directory
        return lines;
    }

private:
    std::wstring record_;
    HttpCommand command_;
};

