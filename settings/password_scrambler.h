// The stored password's scrambling: the PC1 stream cipher with a 128-bit key
// built into the program, each cipher byte written as two letters 'a'..'p'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The 16 characters whose byte values form the key.
constexpr char PASSWORD_KEY_TEXT[] = "7c3e91a04d5b28f6";

class PasswordScrambler {
public:
    PasswordScrambler() noexcept;

    // Both return a new terminated 8-bit text owned by the caller, or null
    // when memory is short. Every call starts from the same initial state.
    std::unique_ptr<char[]> scramble(const char* clear);
    std::unique_ptr<char[]> unscramble(const char* letters);

private:
    void reset() noexcept;
    void round() noexcept;
    std::uint8_t next_key_byte() noexcept;
    void mix_into_key(std::uint8_t clear_byte) noexcept;

    char key_text_[sizeof(PASSWORD_KEY_TEXT)];
    std::uint16_t carry_ = 0;   // Y, kept from round to round
    std::uint16_t sum_ = 0;     // S
    std::uint16_t result_ = 0;  // R
    std::uint16_t index_ = 0;   // i
    std::uint16_t words_[8] = {};
    std::uint8_t key_[17] = {};
};

std::unique_ptr<char[]> scramble_password(PasswordScrambler& scrambler, const char* clear);
std::unique_ptr<char[]> unscramble_password(PasswordScrambler& scrambler, const char* letters);
