// parse_reply_lines on any reply. Beside what the sanitizers watch: the reply
// copy is the input and one 0 byte, a binary reply is refused untouched, and
// the lines kept are those of a plain reading of the format (a header line, a
// count line read as atoi reads it, then that many items).
#include "net/reply_lines.h"

#include "fuzz_check.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace {

struct Reading {
    Outcome outcome = OUTCOME_OK;
    std::string header;
    bool has_header = false;
    std::int32_t count = -1;
    std::vector<std::string> items;
};

std::int32_t atoi_clamped(const std::string& line) {
    errno = 0;
    const long long value = std::strtoll(line.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < -INT32_MAX) return -INT32_MAX;
    return static_cast<std::int32_t>(value);
}

// The text and its terminator cut at every LF or 0 byte; a count of -1 leaves
// the next line to be read as the count again.
Reading plain_reading(const std::string& bytes) {
    std::vector<std::string> lines(1);
    for (char c : bytes + '\0') {
        if (c == '\n' || c == '\0')
            lines.emplace_back();
        else
            lines.back() += c;
    }
    lines.pop_back();  // the one opened by the terminator

    Reading r;
    const std::int64_t reply_length = static_cast<std::int64_t>(bytes.size()) + 1;
    for (const std::string& line : lines) {
        if (!r.has_header) {
            r.header = line;
            r.has_header = true;
        } else if (r.count == -1) {
            if (line.size() >= 260) {
                r.outcome = OUTCOME_ERROR;
                return r;
            }
            const std::int32_t count = atoi_clamped(line);
            if (count > reply_length) {
                r.outcome = OUTCOME_ERROR;
                return r;
            }
            r.count = count;
        } else if (static_cast<std::int64_t>(r.items.size()) < r.count) {
            r.items.push_back(line);
        }
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= INT32_MAX) return 0;
    const std::string bytes = bytes_of(data, size);
    const auto count = static_cast<std::int32_t>(size);

    ReplyBuffer binary;
    set_reply(REPLY_BINARY, binary, count, data);
    FUZZ_CHECK(binary.mode == REPLY_BINARY && binary.length == count);
    FUZZ_CHECK(size == 0 || std::memcmp(binary.data.get(), data, size) == 0);
    ReplyLines refused;
    FUZZ_CHECK(parse_reply_lines(refused, binary) == OUTCOME_ERROR);
    FUZZ_CHECK(!refused.header && refused.count == -1 && !refused.items);

    ReplyBuffer reply;
    set_reply(REPLY_TEXT, reply, count, data);
    FUZZ_CHECK(reply.mode == REPLY_TEXT && reply.length == count + 1);
    FUZZ_CHECK(size == 0 || std::memcmp(reply.data.get(), data, size) == 0);
    FUZZ_CHECK(reply.data[size] == 0);

    ReplyLines lines;
    const Outcome outcome = parse_reply_lines(lines, reply);
    const Reading expected = plain_reading(bytes);
    FUZZ_CHECK(outcome == expected.outcome);
    if (outcome != OUTCOME_OK) return 0;

    FUZZ_CHECK(lines.header && lines.header.get() == expected.header);
    FUZZ_CHECK(lines.count == expected.count);
    if (expected.items.empty()) {
        FUZZ_CHECK(!lines.items);
        return 0;
    }
    FUZZ_CHECK(lines.items);
    for (std::int32_t i = 0; i < lines.count; ++i) {
        if (static_cast<std::size_t>(i) < expected.items.size()) {
            FUZZ_CHECK(lines.items[i] && lines.items[i].get() == expected.items[i]);
        } else {
            FUZZ_CHECK(!lines.items[i]);
        }
    }
    return 0;
}
