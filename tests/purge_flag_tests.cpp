#include "game/purge_flag.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string FALSE_LINE = "QF_Purge = \"false\"";
const std::string TRUE_LINE = "QF_Purge = \"true!\"";

class PurgeFlag : public ::testing::Test {
protected:
    // Edits a file holding text; returns the outcome and leaves the file's
    // new content in after_.
    Outcome edit(const std::string& text, bool& flag, int mode) {
        const std::wstring path = folder_.make_file(L"Quillfern.lua", text);
        FileEntry entry(PATH_CAPACITY, path.c_str());
        const Outcome outcome = edit_purge_flag(entry, flag, mode);
        after_ = read_whole_file(path);
        return outcome;
    }
    ScratchFolder folder_;
    std::string after_;
};

TEST_F(PurgeFlag, FlipsOnlyTheValueInPlace) {
    const std::string before = "QF_Data = {\r\n\t[1] = \"x\",\r\n}\r\n" + FALSE_LINE + "\r\nQF_End = 1\r\n";
    bool flag = true;
    EXPECT_EQ(OUTCOME_OK, edit(before, flag, PURGE_READ));
    EXPECT_FALSE(flag);
    EXPECT_EQ(before, after_);

    flag = true;
    EXPECT_EQ(OUTCOME_OK, edit(before, flag, PURGE_WRITE));
    std::string expected = before;
    expected.replace(expected.find(FALSE_LINE), FALSE_LINE.size(), TRUE_LINE);
    EXPECT_EQ(expected, after_);

    flag = false;
    EXPECT_EQ(OUTCOME_OK, edit(expected, flag, PURGE_WRITE));
    EXPECT_EQ(before, after_);
}

TEST_F(PurgeFlag, LastMatchingLineIsReadAndEveryOneIsWritten) {
    const std::string before = TRUE_LINE + "\r\nx\r\n" + FALSE_LINE + "\r\n";
    bool flag = true;
    EXPECT_EQ(OUTCOME_OK, edit(before, flag, PURGE_READ));
    EXPECT_FALSE(flag);
    flag = true;
    EXPECT_EQ(OUTCOME_OK, edit(before, flag, PURGE_WRITE));
    EXPECT_EQ(TRUE_LINE + "\r\nx\r\n" + TRUE_LINE + "\r\n", after_);
}

TEST_F(PurgeFlag, OnlyTheExactKeyAtTheStartOfALineMatches) {
    const std::string near_misses[] = {
        " " + FALSE_LINE + "\r\n",    "QF_Purge= \"false\"\r\n", "QF_Purge  = \"false\"\r\n",
        "qf_purge = \"false\"\r\n",   "QF_Purge = \r\n",         "QF_Purge = \"FALSE\"\r\n",
        "x\r\nQF_Purge = \"maybe\"\r\n", "no flag here\r\n",
    };
    for (const std::string& text : near_misses) {
        bool flag = true;
        EXPECT_EQ(OUTCOME_ERROR, edit(text, flag, PURGE_READ)) << text;
        EXPECT_TRUE(flag) << "left unchanged: " << text;
    }
    bool flag = true;
    EXPECT_EQ(OUTCOME_OK, edit("no flag here\r\n", flag, PURGE_WRITE));
    EXPECT_EQ("no flag here\r\n", after_) << "rewritten unchanged";
}

TEST_F(PurgeFlag, LfOnlyFileIsOneLine) {
    bool flag = true;
    EXPECT_EQ(OUTCOME_OK, edit(FALSE_LINE, flag, PURGE_READ)) << "no line end at all";
    EXPECT_FALSE(flag);
    flag = true;
    EXPECT_EQ(OUTCOME_ERROR, edit("x\n" + FALSE_LINE + "\n", flag, PURGE_READ));
    EXPECT_EQ(OUTCOME_ERROR, edit(FALSE_LINE + "\nmore\n", flag, PURGE_READ));
    const std::string lf_file = FALSE_LINE + "\nmore\n";
    EXPECT_EQ(OUTCOME_OK, edit(lf_file, flag, PURGE_WRITE));
    EXPECT_EQ(lf_file, after_) << "a value part too long to hold the replacement is left alone";
}

TEST_F(PurgeFlag, WritesNothingBeyondTheReplacement) {
    // 9-byte value part: the rule would write the replacement's terminator.
    const std::string nine = "QF_Purge = \"false\"xx\r\n";
    bool flag = true;
    EXPECT_EQ(OUTCOME_OK, edit(nine, flag, PURGE_WRITE));
    EXPECT_EQ(nine, after_);
    // 8 bytes: the closing byte stays, the replacement's 7 bytes go in front.
    EXPECT_EQ(OUTCOME_OK, edit("QF_Purge = \"false\"\"\r\n", flag, PURGE_WRITE));
    EXPECT_EQ("QF_Purge = \"true!\"\"\r\n", after_);
}

TEST_F(PurgeFlag, OverlongValuePartReadsAsNoValue) {
    bool flag = true;
    const std::string long_value = "QF_Purge = \"" + std::string(300, 'v') + "\"\r\n";
    EXPECT_EQ(OUTCOME_ERROR, edit(FALSE_LINE + "\r\n" + long_value, flag, PURGE_READ));
    EXPECT_TRUE(flag);
    EXPECT_EQ(OUTCOME_OK, edit(long_value + FALSE_LINE + "\r\n", flag, PURGE_READ));
    EXPECT_FALSE(flag);
}

TEST_F(PurgeFlag, SizeLimitOfTheWorkBuffer) {
    const std::string head = FALSE_LINE + "\r\n";
    const std::string largest = head + std::string(PURGE_WORK_BUFFER_BYTES - 1 - head.size(), 'd');
    bool flag = true;
    EXPECT_EQ(OUTCOME_OK, edit(largest, flag, PURGE_READ));
    EXPECT_FALSE(flag);
    flag = true;
    EXPECT_EQ(OUTCOME_OK, edit(largest, flag, PURGE_WRITE));
    EXPECT_EQ(TRUE_LINE, after_.substr(0, TRUE_LINE.size()));
    EXPECT_EQ(largest.size(), after_.size());

    const std::string too_large = largest + "d";
    EXPECT_EQ(OUTCOME_ERROR, edit(too_large, flag, PURGE_READ));
    EXPECT_EQ(OUTCOME_ERROR, edit(too_large, flag, PURGE_WRITE));
    EXPECT_EQ(too_large, after_) << "untouched";
}

TEST_F(PurgeFlag, UnreachableFilesAreLeftAlone) {
    FileEntry missing(PATH_CAPACITY, (folder_.path() + L"missing.lua").c_str());
    bool flag = true;
    EXPECT_EQ(OUTCOME_ERROR, edit_purge_flag(missing, flag, PURGE_READ));
    EXPECT_EQ(OUTCOME_ERROR, edit_purge_flag(missing, flag, PURGE_WRITE));

    // The game may hold the file open for reading: the flag can be read but
    // not written, and the file stays whole.
    const std::string before = FALSE_LINE + "\r\n" + std::string(5000, 'd');
    const std::wstring path = folder_.make_file(L"held.lua", before);
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    FileEntry entry(PATH_CAPACITY, path.c_str());
    EXPECT_EQ(OUTCOME_OK, edit_purge_flag(entry, flag, PURGE_READ));
    flag = true;
    EXPECT_EQ(OUTCOME_ERROR, edit_purge_flag(entry, flag, PURGE_WRITE));
    CloseHandle(held);
    EXPECT_EQ(before, read_whole_file(path));
}

TEST_F(PurgeFlag, OtherModesChangeNothing) {
    bool flag = true;
    EXPECT_EQ(OUTCOME_OK, edit(FALSE_LINE + "\r\n", flag, 7));
    EXPECT_EQ(FALSE_LINE + "\r\n", after_);
    EXPECT_TRUE(flag);
}

}  // namespace
