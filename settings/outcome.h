// Outcome codes shared by every operation that can explain a failure.
#pragma once

#include <cstddef>

enum Outcome : int {
    OUTCOME_ERROR = 1,  // failed; the message says why
    OUTCOME_INFO = 2,   // a notice or a partial result (a value cut to the buffer)
    OUTCOME_OK = 3,
};

// Every French message lives in a caller's buffer of this many characters.
constexpr std::size_t MESSAGE_CAPACITY = 260;
