#include "update/toc_scan.h"

#include <cstring>

namespace {

constexpr char VERSION_PREFIX[] = "## Version: Version ";
constexpr char EDITION_PREFIX[] = "## X-Version: ";

// Takes what follows prefix on the line, when there is something and it fits
// whole; an empty or too long value leaves the earlier one in place.
void take_value(char* to, const char* line, std::size_t length, const char* prefix) {
    const std::size_t prefix_length = std::strlen(prefix);
    if (length <= prefix_length || std::memcmp(line, prefix, prefix_length) != 0) return;
    const std::size_t value_length = length - prefix_length;
    if (value_length >= INSTALLED_VERSION_CAPACITY) return;
    std::memcpy(to, line + prefix_length, value_length);
    to[value_length] = 0;
}

}  // namespace

void scan_toc_lines(const char* text, std::size_t count, char* version, char* edition) {
    for (std::size_t pos = 0; pos < count;) {
        const char* line = text + pos;
        std::size_t length = 0;
        while (line[length] != '\r' && line[length] != 0) ++length;
        take_value(version, line, length, VERSION_PREFIX);
        if (edition) take_value(edition, line, length, EDITION_PREFIX);
        pos += length + 2;  // the CR and the LF taken to follow it
    }
}
