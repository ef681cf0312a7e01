// The byte-level part of the installed version reader: the .toc file's two
// header lines found in its bytes. Bytes and the standard library only, so
// that it also builds natively (tests/fuzz).
#pragma once

#include <cstddef>

// Room for a version or an edition: 259 bytes and the terminator. A longer
// value is not used at all, never cut: a cut version could equal the site's.
constexpr std::size_t INSTALLED_VERSION_CAPACITY = 260;

// text holds count bytes and text[count] is 0. Lines end at a CR (the LF
// after it is skipped unseen). The last usable value of each header line is
// left in version and edition (INSTALLED_VERSION_CAPACITY bytes; edition may
// be null); neither is touched when no line gives one.
void scan_toc_lines(const char* text, std::size_t count, char* version, char* edition);
