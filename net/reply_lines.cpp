#include "net/reply_lines.h"

#include "base/text_util.h"

#include <cstring>

void set_reply(int mode, ReplyBuffer& reply, std::int32_t count, const unsigned char* bytes) {
    reply.data.reset();
    reply.length = 0;
    reply.mode = REPLY_EMPTY;
    if (count < 0 || (mode == REPLY_TEXT && count == INT32_MAX)) return;
    const std::int32_t length = mode == REPLY_TEXT ? count + 1 : count;
    reply.data = make_buffer<unsigned char>(static_cast<std::size_t>(length));
    if (!reply.data) return;
    if (count > 0) std::memcpy(reply.data.get(), bytes, static_cast<std::size_t>(count));
    if (mode == REPLY_TEXT) reply.data[count] = 0;
    reply.mode = mode;
    reply.length = length;
}

namespace {

constexpr std::int32_t COUNT_LINE_LIMIT = 260;

// Like atoi: leading blanks, an optional sign, digits up to the first other
// character; no number gives 0.
std::int32_t leading_number(const char* text, std::size_t length) {
    std::size_t at = 0;
    while (at < length && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
    bool negative = false;
    if (at < length && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    long long value = 0;
    while (at < length && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + (text[at++] - '0');
        if (value > INT32_MAX) value = INT32_MAX;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::unique_ptr<char[]> copy_line(const char* text, std::size_t length) {
    auto line = make_buffer<char>(length + 1);
    if (line && length) std::memcpy(line.get(), text, length);
    return line;
}

}  // namespace

Outcome parse_reply_lines(ReplyLines& lines, const ReplyBuffer& reply) {
    if (reply.mode != REPLY_TEXT || !reply.data) return OUTCOME_ERROR;
    const char* text = reinterpret_cast<const char*>(reply.data.get());
    const std::size_t end = static_cast<std::size_t>(reply.length);
    std::int32_t stored = 0;
    for (std::size_t pos = 0; pos < end;) {
        std::size_t length = 0;
        while (pos + length < end && text[pos + length] != '\n' && text[pos + length] != 0)
            ++length;
        if (!lines.header) {
            lines.header = copy_line(text + pos, length);
            if (!lines.header) return OUTCOME_ERROR;
        } else if (lines.count == -1) {
            if (length >= COUNT_LINE_LIMIT) return OUTCOME_ERROR;
            const std::int32_t count = leading_number(text + pos, length);
            // A reply cannot hold more lines than it has bytes.
            if (count > reply.length) return OUTCOME_ERROR;
            lines.count = count;
        } else if (stored < lines.count) {
            if (!lines.items) {
                lines.items.reset(new (std::nothrow) std::unique_ptr<char[]>[lines.count]);
                if (!lines.items) return OUTCOME_ERROR;
            }
            lines.items[stored] = copy_line(text + pos, length);
            if (!lines.items[stored++]) return OUTCOME_ERROR;
        }
        pos += length + 1;
    }
    return OUTCOME_OK;
}
