// A reply as the program keeps it, and a text reply cut into lines. Bytes and
// the standard library only, so that the parser also builds natively (tests/fuzz).
#pragma once

#include "base/outcome.h"

#include <cstdint>
#include <memory>

enum ReplyMode : int { REPLY_EMPTY = 0, REPLY_TEXT = 1, REPLY_BINARY = 2 };

// An owned copy of one reply; in text mode followed by one 0 byte.
struct ReplyBuffer {
    std::unique_ptr<unsigned char[]> data;
    std::int32_t length = 0;
    int mode = REPLY_EMPTY;
};

void set_reply(int mode, ReplyBuffer& reply, std::int32_t count, const unsigned char* bytes);

// A text reply as lines: a header line, a count line, then count items.
struct ReplyLines {
    std::unique_ptr<char[]> header;
    std::int32_t count = -1;
    std::unique_ptr<std::unique_ptr<char[]>[]> items;  // count entries, or null
};

// OUTCOME_ERROR when the reply is not text or its count line is 260 bytes
// or longer. Lines beyond the count-th item are dropped.
Outcome parse_reply_lines(ReplyLines& lines, const ReplyBuffer& reply);
