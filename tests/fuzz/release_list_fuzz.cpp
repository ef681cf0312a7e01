// The release list's checks on any name and any list. A name passed as safe
// has none of the parts that could leave its folder or name a device, and the
// answer depends neither on letter case nor on which separator is used; a
// list is usable exactly when its count is in range and every name passes.
#include "update/release_list.h"

#include "fuzz_check.h"

#include <vector>

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

std::string upper_ascii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::vector<std::string> parts_of(const std::string& name) {
    std::vector<std::string> parts(1);
    for (char c : name) {
        if (is_separator(c))
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// What Windows would open as a device: the part before its first dot, with
// the spaces before that dot dropped.
bool names_device(const std::string& part) {
    std::string stem = upper_ascii(part.substr(0, part.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (stem == device) return true;
    if (stem.size() != 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0))
        return false;
    const unsigned char digit = static_cast<unsigned char>(stem[3]);
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

void check_safe_name(const std::string& name) {
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(!is_separator(name.front()) && !is_separator(name.back()));
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        FUZZ_CHECK(u >= 0x20 && u != 0x7F);
        FUZZ_CHECK(std::string(":*?\"<>|#").find(c) == std::string::npos);
    }
    for (const std::string& part : parts_of(name)) {
        if (part.empty()) continue;  // a run of separators
        FUZZ_CHECK(part != "." && part != "..");
        FUZZ_CHECK(part.back() != '.' && part.back() != ' ');
        FUZZ_CHECK(!names_device(part));
    }
}

void check_name(const std::string& name) {
    const bool safe = is_safe_release_name(name.c_str());
    if (safe) check_safe_name(name);

    std::string slashes = name;
    for (char& c : slashes)
        if (c == '\\') c = '/';
    FUZZ_CHECK(is_safe_release_name(slashes.c_str()) == safe);
    std::string lower = name;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    FUZZ_CHECK(is_safe_release_name(lower.c_str()) == safe);
    FUZZ_CHECK(is_safe_release_name(upper_ascii(name).c_str()) == safe);
}

ReleaseListCheck expected_check(const ReplyLines& lines, bool parsed) {
    if (!parsed || lines.count < 1 || lines.count > RELEASE_LIST_MAX_FILES || !lines.items)
        return ReleaseListCheck::MALFORMED;
    for (std::int32_t i = 0; i < lines.count; ++i) {
        if (!lines.items[i]) return ReleaseListCheck::MALFORMED;
        const std::string name = lines.items[i].get();
        if (name.empty()) return ReleaseListCheck::MALFORMED;
        if (name.size() >= RELEASE_NAME_LIMIT) return ReleaseListCheck::NAME_TOO_LONG;
        if (!is_safe_release_name(name.c_str())) return ReleaseListCheck::UNSAFE_NAME;
    }
    return ReleaseListCheck::USABLE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= INT32_MAX) return 0;
    const std::string bytes = bytes_of(data, size);

    // The name check alone, on the input up to its first 0 byte, from an
    // exact heap copy.
    const std::string name = bytes.substr(0, bytes.find('\0'));
    const auto text = heap_text(name);
    const bool safe = is_safe_release_name(text.get());
    FUZZ_CHECK(name == text.get());
    check_name(name);
    FUZZ_CHECK(is_safe_release_name(name.c_str()) == safe);

    // The whole input as the site's list.
    ReplyBuffer reply;
    set_reply(REPLY_TEXT, reply, static_cast<std::int32_t>(size), data);
    ReplyLines lines;
    const bool parsed = parse_reply_lines(lines, reply) == OUTCOME_OK;
    const ReleaseListCheck check = check_release_list(lines, parsed);
    FUZZ_CHECK(check == expected_check(lines, parsed));
    if (check == ReleaseListCheck::USABLE)
        for (std::int32_t i = 0; i < lines.count; ++i) check_safe_name(lines.items[i].get());
    return 0;
}
