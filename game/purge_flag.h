// Reads or flips the saved variable QF_Purge of a saved-data file in place,
// byte for byte, so that the file keeps its length.
#pragma once

#include "base/file_entry.h"
#include "game/game_constants.h"
#include "game/purge_scan.h"
#include "base/outcome.h"

// The whole file and a terminator must fit: files of up to this size - 1 bytes.
constexpr DWORD PURGE_WORK_BUFFER_BYTES = DATA_FILE_MAX_BYTES;

// Read mode stores the value found into flag; write mode writes flag's value
// into every matching line. OUTCOME_OK or OUTCOME_ERROR; no message.
Outcome edit_purge_flag(FileEntry& entry, bool& flag, int mode);
