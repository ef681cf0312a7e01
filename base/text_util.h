// Bounded text helpers: every copy into a fixed buffer goes through these, and
// so do the ISO-8859-1 conversions between wide text and 8-bit bytes.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

// Paths live in buffers of this many characters, terminator included.
constexpr std::size_t PATH_CAPACITY = 260;

std::size_t text_length(const wchar_t* text);
std::size_t text_length(const char* text);

// Copies src into dst (capacity in characters, terminator included), cutting it
// to capacity - 1 characters. Always terminates a non-empty buffer. Returns
// true when the whole text fitted.
bool copy_text(wchar_t* dst, std::size_t capacity, const wchar_t* src);

// Appends src to the text in dst, cutting what does not fit. Returns true when
// the whole text fitted.
bool append_text(wchar_t* dst, std::size_t capacity, const wchar_t* src);

// Appends value in decimal, cut like append_text when it does not fit.
bool append_decimal(wchar_t* dst, std::size_t capacity, unsigned long long value);

// Appends src only if all of it fits; otherwise dst is left unchanged and the
// result is false. For paths, where a cut path would name another file.
bool append_whole(wchar_t* dst, std::size_t capacity, const wchar_t* src);

// ISO-8859-1: code units U+0000..U+00FF map to the byte of the same value.
// Converts count units; false at the first unit above U+00FF.
bool wide_to_latin1(const wchar_t* src, std::size_t count, unsigned char* dst);

// Terminated-text forms, cut to capacity - 1 and always terminated.
// text_to_latin1 fails (leaving dst empty) on a unit above U+00FF.
bool text_to_latin1(char* dst, std::size_t capacity, const wchar_t* src);
void latin1_to_text(wchar_t* dst, std::size_t capacity, const char* src);

// Zeroed heap array, or null when memory is short: no exception escapes.
template <typename T>
std::unique_ptr<T[]> make_buffer(std::size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

struct FreeDeleter {
    void operator()(void* block) const noexcept { std::free(block); }
};
