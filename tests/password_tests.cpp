#include "settings/password_scrambler.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string scramble(PasswordScrambler& s, const std::string& clear) {
    auto out = scramble_password(s, clear.c_str());
    return out ? std::string(out.get()) : "<null>";
}

std::string unscramble(PasswordScrambler& s, const std::string& letters) {
    auto out = unscramble_password(s, letters.c_str());
    return out ? std::string(out.get()) : "<null>";
}

// Produced by an independent implementation of PC1-128 (the classic
// register-swapping formulation) with the program's key.
TEST(PasswordScrambler, MatchesReferenceVectors) {
    PasswordScrambler s;
    EXPECT_EQ("gklpljmnebdkjlchanen", scramble(s, "motdepasse"));
    EXPECT_EQ("oooimopmcpdddbgcalcfgl", scramble(s, "\xe9t\xe9 \xe0 l'\xeele"));
    EXPECT_EQ("gg", scramble(s, "a"));
    std::string low;
    for (int b = 1; b < 20; ++b) low += static_cast<char>(b);
    EXPECT_EQ("agjojgkdjllhdobddeaabncpfmiocfdlllhaco", scramble(s, low));
    EXPECT_EQ("motdepasse", unscramble(s, "gklpljmnebdkjlchanen"));
}

TEST(PasswordScrambler, EmptyTextStaysEmpty) {
    PasswordScrambler s;
    EXPECT_EQ("", scramble(s, ""));
    EXPECT_EQ("", unscramble(s, ""));
}

TEST(PasswordScrambler, EveryByteRoundTripsAsLettersAToP) {
    std::string all;
    for (int b = 1; b <= 0xFF; ++b) all += static_cast<char>(b);
    PasswordScrambler s;
    const std::string letters = scramble(s, all);
    ASSERT_EQ(2 * all.size(), letters.size());
    for (char c : letters) ASSERT_TRUE(c >= 'a' && c <= 'p') << "letter " << int(c);
    EXPECT_EQ(all, unscramble(s, letters));
}

TEST(PasswordScrambler, SameObjectGivesSameResultWhateverCameBefore) {
    PasswordScrambler s;
    const std::string first = scramble(s, "secret\xff");
    scramble(s, "something else entirely");
    unscramble(s, "abcdefghijklmnop");
    EXPECT_EQ(first, scramble(s, "secret\xff"));
    PasswordScrambler fresh;
    EXPECT_EQ(first, scramble(fresh, "secret\xff"));
}

TEST(PasswordScrambler, ClearBytesFeedTheKeyStream) {
    PasswordScrambler s;
    const std::string a = scramble(s, "password1");
    const std::string b = scramble(s, "password2");
    EXPECT_EQ(a.substr(0, a.size() - 2), b.substr(0, b.size() - 2));
    EXPECT_NE(a.substr(a.size() - 2), b.substr(b.size() - 2));

    const std::string c = scramble(s, "qassword1");
    EXPECT_NE(a.substr(0, 2), c.substr(0, 2));
    EXPECT_NE(a.substr(2), c.substr(2));
}

TEST(PasswordScrambler, OddLengthIgnoresLastLetter) {
    PasswordScrambler s;
    const std::string letters = scramble(s, "abc");
    EXPECT_EQ("abc", unscramble(s, letters + "k"));
    EXPECT_EQ("ab", unscramble(s, letters.substr(0, 5)));
}

TEST(PasswordScrambler, LettersOutsideAToPStillGiveBytes) {
    PasswordScrambler s;
    // (16 * 'z' + 'z' - 1649) & 0xFF = 169 = the pair "kj".
    EXPECT_EQ(unscramble(s, "kjgg"), unscramble(s, "zzgg"));
    EXPECT_EQ(2u, unscramble(s, "zzgg").size());
}

}  // namespace
