#include "settings/password_scrambler.h"

#include "base/text_util.h"

#include <cstring>

namespace {

constexpr std::uint16_t MULTIPLIER = 20021;  // 0x4E35
constexpr std::uint16_t CARRY_FACTOR = 346;  // 0x015A

}  // namespace

PasswordScrambler::PasswordScrambler() noexcept {
    std::memcpy(key_text_, PASSWORD_KEY_TEXT, sizeof(key_text_));
}

void PasswordScrambler::reset() noexcept {
    carry_ = sum_ = result_ = index_ = 0;
    std::memset(words_, 0, sizeof(words_));
    for (int n = 0; n < 16; ++n) key_[n] = static_cast<std::uint8_t>(key_text_[n]);
    key_[16] = 0;
}

void PasswordScrambler::round() noexcept {
    const std::uint16_t w = words_[index_];
    const std::uint16_t d = static_cast<std::uint16_t>(
        (sum_ + index_) * MULTIPLIER + w * CARRY_FACTOR + carry_);
    const std::uint16_t a = static_cast<std::uint16_t>(w * MULTIPLIER + 1);
    sum_ = d;
    carry_ = static_cast<std::uint16_t>(w * CARRY_FACTOR);
    words_[index_] = a;
    result_ = static_cast<std::uint16_t>(a ^ d);
    ++index_;
}

std::uint8_t PasswordScrambler::next_key_byte() noexcept {
    words_[0] = static_cast<std::uint16_t>(key_[0] * 256 + key_[1]);
    round();
    std::uint16_t mask = result_;
    for (int n = 1; n < 8; ++n) {
        words_[n] = static_cast<std::uint16_t>(
            words_[n - 1] ^ (key_[2 * n] * 256 + key_[2 * n + 1]));
        round();
        mask = static_cast<std::uint16_t>(mask ^ result_);
    }
    index_ = 0;
    return static_cast<std::uint8_t>((mask >> 8) ^ (mask & 0xFF));
}

void PasswordScrambler::mix_into_key(std::uint8_t clear_byte) noexcept {
    for (int n = 0; n < 16; ++n) key_[n] = static_cast<std::uint8_t>(key_[n] ^ clear_byte);
}

std::unique_ptr<char[]> PasswordScrambler::scramble(const char* clear) {
    const std::size_t count = text_length(clear);
    auto letters = make_buffer<char>(2 * count + 1);
    if (!letters) return nullptr;
    reset();
    for (std::size_t n = 0; n < count; ++n) {
        const auto p = static_cast<std::uint8_t>(clear[n]);
        const std::uint8_t k = next_key_byte();
        mix_into_key(p);
        const auto e = static_cast<std::uint8_t>(p ^ k);
        letters[2 * n] = static_cast<char>('a' + (e >> 4));
        letters[2 * n + 1] = static_cast<char>('a' + (e & 0x0F));
    }
    letters[2 * count] = 0;
    return letters;
}

std::unique_ptr<char[]> PasswordScrambler::unscramble(const char* letters) {
    const std::size_t count = text_length(letters) / 2;  // a lone last letter is ignored
    auto clear = make_buffer<char>(count + 1);
    if (!clear) return nullptr;
    reset();
    for (std::size_t n = 0; n < count; ++n) {
        // Letters are not validated: any pair gives a byte.
        const unsigned high = static_cast<unsigned char>(letters[2 * n]);
        const unsigned low = static_cast<unsigned char>(letters[2 * n + 1]);
        const auto e = static_cast<std::uint8_t>((16 * high + low - 1649) & 0xFF);
        const std::uint8_t k = next_key_byte();
        const auto p = static_cast<std::uint8_t>(e ^ k);
        mix_into_key(p);
        clear[n] = static_cast<char>(p);
    }
    clear[count] = 0;
    return clear;
}

std::unique_ptr<char[]> scramble_password(PasswordScrambler& scrambler, const char* clear) {
    return scrambler.scramble(clear);
}

std::unique_ptr<char[]> unscramble_password(PasswordScrambler& scrambler, const char* letters) {
    return scrambler.unscramble(letters);
}
