// The password scrambler on any stored text and any clear text. Unscrambling
// gives one byte per pair of letters, terminated, the same on every call;
// scrambling gives letters 'a'..'p' that unscramble back to the clear text,
// and letters 'a'..'p' scramble back from what they unscramble to.
#include "settings/password_scrambler.h"

#include "fuzz_check.h"

#include <cstring>

namespace {

bool plain_letters(const std::string& letters) {
    for (char c : letters)
        if (c < 'a' || c > 'p') return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = bytes_of(data, size);
    const std::string input = bytes.substr(0, bytes.find('\0'));
    const auto text = heap_text(input);
    const std::size_t pairs = input.size() / 2;

    PasswordScrambler scrambler;
    const auto clear = unscramble_password(scrambler, text.get());
    FUZZ_CHECK(clear);
    FUZZ_CHECK(clear[pairs] == 0);
    const std::string clear_bytes(clear.get(), pairs);  // a pair may give a 0 byte
    const auto again = unscramble_password(scrambler, text.get());
    FUZZ_CHECK(again && std::memcmp(again.get(), clear.get(), pairs + 1) == 0);

    if (plain_letters(input)) {
        // Scrambling stops at the first 0 byte: what comes back covers the
        // letters up to the pair that gave it.
        const std::string clear_text = clear_bytes.substr(0, clear_bytes.find('\0'));
        const auto letters = scramble_password(scrambler, clear_text.c_str());
        FUZZ_CHECK(letters && std::string(letters.get()) == input.substr(0, 2 * clear_text.size()));
    }

    const auto letters = scramble_password(scrambler, text.get());
    FUZZ_CHECK(letters);
    const std::string scrambled = letters.get();
    FUZZ_CHECK(scrambled.size() == 2 * input.size() && plain_letters(scrambled));
    const auto back = unscramble_password(scrambler, scrambled.c_str());
    FUZZ_CHECK(back && std::string(back.get()) == input);
    return 0;
}
