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

// Leaves first (and second after it) in the caller's message buffer, cut to
// fit, and returns the outcome.
Outcome report(wchar_t* message, Outcome outcome, const wchar_t* first,
               const wchar_t* second = nullptr);
