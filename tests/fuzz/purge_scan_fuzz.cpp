// The purge flag's scan on any file content, in each mode, from an exact heap
// copy. Read mode changes no byte; write mode changes only the short value
// parts of lines that start with the key, into the value's own bytes; a flag
// that reads as one of ours reads back as written after a write.
#include "game/purge_scan.h"

#include "fuzz_check.h"

#include <cstring>

namespace {

constexpr char KEY[] = "QF_Purge = ";
constexpr std::size_t KEY_LENGTH = sizeof(KEY) - 1;

struct Scan {
    std::string text;
    Outcome outcome;
    bool flag;
};

Scan scan(const std::string& bytes, bool flag, int mode) {
    auto text = heap_text(bytes);
    const Outcome outcome = scan_purge_flag(text.get(), bytes.size(), flag, mode);
    FUZZ_CHECK(text[bytes.size()] == 0);
    return {std::string(text.get(), bytes.size()), outcome, flag};
}

// Lines end at a CR or a 0 byte, and the byte after a CR is taken for its
// LF. Each line starting with the key is handed its value part.
template <typename OnValue>
void each_value(const std::string& text, std::size_t count, OnValue on_value) {
    for (std::size_t pos = 0; pos < count;) {
        std::size_t end = pos;
        while (text[end] != '\r' && text[end] != '\0') ++end;
        if (end - pos > KEY_LENGTH && text.compare(pos, KEY_LENGTH, KEY) == 0)
            on_value(pos + KEY_LENGTH, end - pos - KEY_LENGTH);
        pos = end + 2;
    }
}

// The last value part decides; one of 260 bytes or more is no value.
Outcome expected_read(const std::string& bytes, bool& flag) {
    const std::string text = bytes + '\0';
    std::string value;
    each_value(text, bytes.size(), [&](std::size_t at, std::size_t length) {
        value = length < 260 ? text.substr(at, length) : "";
    });
    if (value != "\"true!\"" && value != "\"false\"") return OUTCOME_ERROR;
    flag = value == "\"true!\"";
    return OUTCOME_OK;
}

// On a line starting with the key, a value part of at most 8 bytes gets
// the value's first bytes, all but its own last byte.
std::string expected_write(const std::string& bytes, const char* value) {
    std::string text = bytes + '\0';
    each_value(text, bytes.size(), [&](std::size_t at, std::size_t length) {
        if (length <= 8) text.replace(at, length - 1, value, length - 1);
    });
    text.pop_back();
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = bytes_of(data, size);

    for (bool flag : {false, true}) {
        const Scan read = scan(bytes, flag, PURGE_READ);
        FUZZ_CHECK(read.text == bytes);
        bool expected_flag = flag;
        FUZZ_CHECK(read.outcome == expected_read(bytes, expected_flag));
        FUZZ_CHECK(read.flag == expected_flag);

        const Scan other = scan(bytes, flag, 2);
        FUZZ_CHECK(other.outcome == OUTCOME_OK && other.text == bytes && other.flag == flag);
    }

    for (bool flag : {false, true}) {
        const Scan written = scan(bytes, flag, PURGE_WRITE);
        FUZZ_CHECK(written.outcome == OUTCOME_OK && written.flag == flag);
        FUZZ_CHECK(written.text == expected_write(bytes, flag ? "\"true!\"" : "\"false\""));
        // The lines stay where they were, so a second write changes nothing.
        FUZZ_CHECK(scan(written.text, flag, PURGE_WRITE).text == written.text);

        const Scan before = scan(bytes, !flag, PURGE_READ);
        if (before.outcome == OUTCOME_OK) {
            const Scan after = scan(written.text, !flag, PURGE_READ);
            FUZZ_CHECK(after.outcome == OUTCOME_OK && after.flag == flag);
        }
    }
    return 0;
}
