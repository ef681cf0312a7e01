#include "base/text_util.h"

#include "base/outcome.h"

#include <cwchar>
#include <cstring>

Outcome report(wchar_t* message, Outcome outcome, const wchar_t* first, const wchar_t* second) {
    copy_text(message, MESSAGE_CAPACITY, first);
    if (second) append_text(message, MESSAGE_CAPACITY, second);
    return outcome;
}

std::size_t text_length(const wchar_t* text) { return text ? std::wcslen(text) : 0; }
std::size_t text_length(const char* text) { return text ? std::strlen(text) : 0; }

namespace {

template <typename Char>
bool copy_bounded(Char* dst, std::size_t capacity, const Char* src) {
    if (capacity == 0) return false;
    std::size_t n = 0;
    while (src && src[n] != 0 && n + 1 < capacity) {
        dst[n] = src[n];
        ++n;
    }
    dst[n] = 0;
    return !src || src[n] == 0;
}

}  // namespace

bool copy_text(wchar_t* dst, std::size_t capacity, const wchar_t* src) {
    return copy_bounded(dst, capacity, src);
}

bool append_text(wchar_t* dst, std::size_t capacity, const wchar_t* src) {
    std::size_t used = 0;
    while (used < capacity && dst[used] != 0) ++used;
    if (used >= capacity) return false;
    return copy_bounded(dst + used, capacity - used, src);
}

bool append_whole(wchar_t* dst, std::size_t capacity, const wchar_t* src) {
    std::size_t used = 0;
    while (used < capacity && dst[used] != 0) ++used;
    if (used >= capacity || used + text_length(src) + 1 > capacity) return false;
    return copy_bounded(dst + used, capacity - used, src);
}

bool append_decimal(wchar_t* dst, std::size_t capacity, unsigned long long value) {
    wchar_t digits[24];  // 20 digits at most
    std::size_t at = sizeof(digits) / sizeof(digits[0]) - 1;
    digits[at] = 0;
    do {
        digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return append_text(dst, capacity, digits + at);
}

bool wide_to_latin1(const wchar_t* src, std::size_t count, unsigned char* dst) {
    for (std::size_t i = 0; i < count; ++i) {
        if (static_cast<unsigned>(src[i]) > 0xFFu) return false;
        dst[i] = static_cast<unsigned char>(src[i]);
    }
    return true;
}

bool text_to_latin1(char* dst, std::size_t capacity, const wchar_t* src) {
    if (capacity == 0) return false;
    std::size_t n = 0;
    for (; src && src[n] != 0 && n + 1 < capacity; ++n) {
        if (static_cast<unsigned>(src[n]) > 0xFFu) {
            dst[0] = 0;
            return false;
        }
        dst[n] = static_cast<char>(static_cast<unsigned char>(src[n]));
    }
    dst[n] = 0;
    return true;
}

void latin1_to_text(wchar_t* dst, std::size_t capacity, const char* src) {
    if (capacity == 0) return;
    std::size_t n = 0;
    for (; src && src[n] != 0 && n + 1 < capacity; ++n)
        dst[n] = static_cast<wchar_t>(static_cast<unsigned char>(src[n]));
    dst[n] = 0;
}
