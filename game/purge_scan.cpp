#include "game/purge_scan.h"

#include <cstring>

namespace {

// The key, matched at the very start of a line, and the two values.
constexpr char PURGE_KEY[] = "QF_Purge = ";
constexpr char PURGE_VALUE_TRUE[] = "\"true!\"";
constexpr char PURGE_VALUE_FALSE[] = "\"false\"";

constexpr std::size_t KEY_LENGTH = sizeof(PURGE_KEY) - 1;
constexpr std::size_t VALUE_LENGTH = sizeof(PURGE_VALUE_TRUE) - 1;
static_assert(sizeof(PURGE_VALUE_TRUE) == sizeof(PURGE_VALUE_FALSE), "values flip in place");
// Read mode keeps the last value part in a buffer of this many bytes.
constexpr std::size_t VALUE_BUFFER_BYTES = 260;

}  // namespace

Outcome scan_purge_flag(char* text, std::size_t count, bool& flag, int mode) {
    char value[VALUE_BUFFER_BYTES] = "";
    const char* replacement = flag ? PURGE_VALUE_TRUE : PURGE_VALUE_FALSE;
    for (std::size_t pos = 0; pos < count;) {
        std::size_t length = 0;
        while (text[pos + length] != '\r' && text[pos + length] != 0) ++length;
        if (length > KEY_LENGTH && std::memcmp(text + pos, PURGE_KEY, KEY_LENGTH) == 0) {
            char* part = text + pos + KEY_LENGTH;
            const std::size_t part_length = length - KEY_LENGTH;
            if (mode == PURGE_READ) {
                // A value too long for the buffer is no value of ours.
                if (part_length < VALUE_BUFFER_BYTES) {
                    std::memcpy(value, part, part_length);
                    value[part_length] = 0;
                } else {
                    value[0] = 0;
                }
            } else if (mode == PURGE_WRITE && part_length <= VALUE_LENGTH + 1) {
                // The closing quote stays; a longer value part is left alone
                // so that nothing but the replacement's own bytes is written.
                std::memcpy(part, replacement, part_length - 1);
            }
        }
        pos += length + 2;  // the CR and the LF taken to follow it
    }

    if (mode != PURGE_READ) return OUTCOME_OK;
    if (std::strcmp(value, PURGE_VALUE_TRUE) == 0) {
        flag = true;
        return OUTCOME_OK;
    }
    if (std::strcmp(value, PURGE_VALUE_FALSE) == 0) {
        flag = false;
        return OUTCOME_OK;
    }
    return OUTCOME_ERROR;
}
