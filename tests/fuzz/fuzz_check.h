// What every fuzz target shares: a check that stops the run with a report
// libFuzzer keeps as a crash, and the input seen as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#define FUZZ_CHECK(condition)                                                           \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

inline std::string bytes_of(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The input as a terminated text on the heap, exactly size + 1 bytes, so that
// the address sanitizer sees a read past the terminator.
inline std::unique_ptr<char[]> heap_text(const std::string& bytes) {
    std::unique_ptr<char[]> text(new char[bytes.size() + 1]);
    bytes.copy(text.get(), bytes.size());
    text[bytes.size()] = 0;
    return text;
}
