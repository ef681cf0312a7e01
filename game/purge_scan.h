// The byte-level part of the purge flag's editor, apart from the file: bytes
// and the standard library only, so that it also builds natively (tests/fuzz).
#pragma once

#include "base/outcome.h"

#include <cstddef>

enum PurgeMode : int { PURGE_READ = 0, PURGE_WRITE = 1 };

// text holds count bytes and text[count] is 0. Read mode stores the value of
// the last matching line into flag: OUTCOME_OK, or OUTCOME_ERROR when that
// value is neither of ours. Write mode writes flag's value into every matching
// line in place, the length kept; it and any other mode answer OUTCOME_OK.
Outcome scan_purge_flag(char* text, std::size_t count, bool& flag, int mode);
