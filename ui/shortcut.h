// Shortcuts to the program, written through the shell link object. COM must
// be initialised on the calling thread.
#pragma once

#include "base/outcome.h"

#include <windows.h>
#include <shlobj.h>

#include <cstddef>

// Appended to the destination folder to name the shortcut file.
constexpr wchar_t SHORTCUT_FILE_NAME[] = L"\\Pellinport.lnk";
constexpr wchar_t SHORTCUT_DESCRIPTION[] = L"Envoyez les données récoltées en jeu sur Quillfern.";

// The program's own path, the shortcut's target. OUTCOME_ERROR when it cannot
// be read whole into capacity characters: a cut path would name another file.
Outcome read_program_path(wchar_t* path, std::size_t capacity, wchar_t* message);

// Writes folder + SHORTCUT_FILE_NAME, replacing a shortcut of that name.
// OUTCOME_INFO with its notice when written, OUTCOME_ERROR otherwise;
// message holds MESSAGE_CAPACITY characters.
Outcome create_shortcut_in_folder(const wchar_t* folder, const wchar_t* target, wchar_t* message);

// The same into the folder that the item list names; takes over the item
// list and frees it (CoTaskMemFree) on every path.
Outcome create_shortcut(PIDLIST_ABSOLUTE item_list, const wchar_t* target, wchar_t* message);

// A shortcut to the running program in a special folder (CSIDL_DESKTOP,
// CSIDL_PROGRAMS, ...); owner is the window of any box the shell shows.
Outcome create_program_shortcut(HWND owner, int special_folder, wchar_t* message);
