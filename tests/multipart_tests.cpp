#include "net/multipart_form.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string body(const MultipartForm& form) {
    return std::string(reinterpret_cast<const char*>(form.body()), form.length());
}

const std::string CLOSE = "--gc0p4Jq0M2Yt08jU534c0p--\r\n";
const std::string DELIMITER = "\r\n--gc0p4Jq0M2Yt08jU534c0p";

TEST(MultipartForm, NewFormIsTheClosingDelimiterOnly) {
    MultipartForm form;
    EXPECT_EQ(28, form.length());
    EXPECT_EQ(CLOSE, body(form));
}

TEST(MultipartForm, PlainFieldLayout) {
    MultipartForm form;
    ASSERT_TRUE(add_field(form, "version", "018", 3, nullptr));
    EXPECT_EQ(109, form.length());
    EXPECT_EQ("--gc0p4Jq0M2Yt08jU534c0p"
              "\r\nContent-Disposition: form-data; name=\"version\""
              "\r\n\r\n018" +
                  DELIMITER + "--\r\n",
              body(form));
}

TEST(MultipartForm, FilePartCarriesFileNameAndContentType) {
    MultipartForm form;
    add_field(form, "version", "018", 3, nullptr);
    const std::string before = body(form);
    ASSERT_TRUE(add_field(form, "file", "0123456789", 10, "Quillfern.lua"));
    EXPECT_EQ(109 + 151, form.length());
    EXPECT_EQ(before.substr(0, before.size() - 4) +
                  "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"Quillfern.lua\""
                  "\r\nContent-Type: application/octet-stream\r\n\r\n0123456789" +
                  DELIMITER + "--\r\n",
              body(form));
}

TEST(MultipartForm, EmptyFileNameMakesAPlainField) {
    MultipartForm with_empty, with_none;
    add_field(with_empty, "a", "x", 1, "");
    add_field(with_none, "a", "x", 1, nullptr);
    EXPECT_EQ(body(with_none), body(with_empty));
    EXPECT_EQ(std::string::npos, body(with_empty).find("Content-Type"));
}

TEST(MultipartForm, ValueBytesAreCopiedUnchanged) {
    const std::string raw("a\0b\r\nc\n\xff", 8);
    MultipartForm form;
    add_field(form, "raw", raw.data(), static_cast<int>(raw.size()), nullptr);
    EXPECT_NE(std::string::npos, body(form).find("\r\n\r\n" + raw + DELIMITER));
    EXPECT_EQ(28 + 71 + 3 + 8, form.length());
}

TEST(MultipartForm, TextFieldsAreLatin1) {
    MultipartForm form;
    EXPECT_TRUE(add_text_field(form, "login", L"", 0));
    EXPECT_NE(std::string::npos, body(form).find("name=\"login\"\r\n\r\n" + DELIMITER));

    EXPECT_TRUE(add_text_field(form, "pwrd", L"\u00e9t\u00e9", 3));
    EXPECT_NE(std::string::npos, body(form).find("\r\n\r\n\xe9t\xe9" + DELIMITER));

    const std::string before = body(form);
    EXPECT_FALSE(add_text_field(form, "euro", L"5\u20ac", 2));
    EXPECT_EQ(before, body(form)) << "nothing added, not even part of it";
}

TEST(MultipartForm, SizesAddUpPerPart) {
    MultipartForm form;
    int expected = 28;
    const struct {
        const char* name;
        std::string value;
        const char* file;
    } parts[] = {{"login", "joueur", nullptr}, {"pwrd", "", nullptr}, {"version", "018", ""},
                 {"file", std::string(5000, 'd'), "Quillfern.lua"}};
    for (const auto& part : parts) {
        ASSERT_TRUE(add_field(form, part.name, part.value.data(), static_cast<int>(part.value.size()),
                              part.file));
        expected += 71 + static_cast<int>(strlen(part.name) + part.value.size());
        if (part.file && *part.file) expected += 53 + static_cast<int>(strlen(part.file));
        EXPECT_EQ(expected, form.length());
    }
    EXPECT_EQ(CLOSE.substr(CLOSE.size() - 4), body(form).substr(body(form).size() - 4));
}

}  // namespace
