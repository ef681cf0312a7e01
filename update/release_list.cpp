#include "update/release_list.h"

#include "base/text_util.h"

#include <cstring>
#include <initializer_list>

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool same_letters(const char* part, std::size_t length, const char* word) {
    if (std::strlen(word) != length) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (upper(part[i]) != word[i]) return false;
    return true;
}

// Windows opens a device for these names whatever follows the first dot
// (and ignores spaces before it); COM and LPT also take the superscript digits.
bool is_device_name(const char* part, std::size_t length) {
    std::size_t stem = 0;
    while (stem < length && part[stem] != '.') ++stem;
    while (stem > 0 && part[stem - 1] == ' ') --stem;
    for (const char* word : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (same_letters(part, stem, word)) return true;
    if (stem != 4) return false;
    const unsigned char digit = static_cast<unsigned char>(part[3]);
    const bool numbered = (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    return numbered && (same_letters(part, 3, "COM") || same_letters(part, 3, "LPT"));
}

bool is_safe_part(const char* part, std::size_t length) {
    if (length == 0) return true;  // a run of separators
    if ((length == 1 && part[0] == '.') || (length == 2 && part[0] == '.' && part[1] == '.'))
        return false;
    if (part[length - 1] == '.' || part[length - 1] == ' ') return false;
    return !is_device_name(part, length);
}

}  // namespace

bool is_safe_release_name(const char* name) {
    if (!name || name[0] == 0 || is_separator(name[0])) return false;
    const std::size_t length = std::strlen(name);
    if (is_separator(name[length - 1])) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        // ':' names a drive or a stream; the others are wildcards, characters
        // Windows refuses in names, or would end the address's path ('#').
        if (c < 0x20 || c == 0x7F || std::strchr(":*?\"<>|#", c)) return false;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i <= length; ++i) {
        if (i == length || is_separator(name[i])) {
            if (!is_safe_part(name + start, i - start)) return false;
            start = i + 1;
        }
    }
    return true;
}

ReleaseListCheck check_release_list(const ReplyLines& lines, bool parsed) {
    if (!parsed || lines.count < 1 || lines.count > RELEASE_LIST_MAX_FILES || !lines.items)
        return ReleaseListCheck::MALFORMED;
    for (std::int32_t i = 0; i < lines.count; ++i) {
        const char* name = lines.items[i].get();
        if (!name || name[0] == 0) return ReleaseListCheck::MALFORMED;
        if (text_length(name) >= RELEASE_NAME_LIMIT) return ReleaseListCheck::NAME_TOO_LONG;
        if (!is_safe_release_name(name)) return ReleaseListCheck::UNSAFE_NAME;
    }
    return ReleaseListCheck::USABLE;
}
