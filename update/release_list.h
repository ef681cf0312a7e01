// The site's release list (version line, file count, file names): what makes
// it usable for an update. The names come from a server and are checked
// before anything is fetched or written.
#pragma once

#include "net/reply_lines.h"

#include <cstddef>
#include <cstdint>

// The bar's range is 16 bits and the download phase needs N + 1 of it.
constexpr std::int32_t RELEASE_LIST_MAX_FILES = 65534;
// A name line of this many bytes or more is refused, as a count line is.
constexpr std::size_t RELEASE_NAME_LIMIT = 260;

// True when the name is a plain relative path inside its folder: parts
// separated by '/' or '\' (runs count as one), none of them "." or "..",
// none ending with a dot or a space, no reserved device name (CON, NUL,
// COM1, ... with or without an extension), no drive, stream or wildcard
// character, no control character, no leading or trailing separator.
bool is_safe_release_name(const char* name);

enum class ReleaseListCheck {
    USABLE,
    MALFORMED,      // no count, a count out of range, missing or empty names
    UNSAFE_NAME,    // a name that could leave its folder or misbehave
    NAME_TOO_LONG,  // a name of RELEASE_NAME_LIMIT bytes or more
};

// The list as parse_reply_lines left it (parsed: its answer was OUTCOME_OK).
ReleaseListCheck check_release_list(const ReplyLines& lines, bool parsed);
