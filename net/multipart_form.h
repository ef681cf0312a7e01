// A multipart/form-data body, complete after every operation: a new form
// already holds the closing delimiter and each part is spliced in before it.
#pragma once

#include "base/text_util.h"

#include <cstdint>
#include <memory>

class MultipartForm {
public:
    MultipartForm();

    const unsigned char* body() const { return body_.get(); }
    std::int32_t length() const { return length_; }

    // Adds a part: a plain field, or a file part when file_name is neither
    // null nor empty. False, with the form unchanged, when it cannot grow.
    bool add_field(const char* name, const void* bytes, std::int32_t count, const char* file_name);

private:
    std::unique_ptr<unsigned char, FreeDeleter> body_;
    std::int32_t length_ = 0;
};

bool add_field(MultipartForm& form, const char* name, const void* bytes, std::int32_t count,
               const char* file_name);
// The text's code units become one byte each (ISO-8859-1). False, adding
// nothing, when one of them is above U+00FF.
bool add_text_field(MultipartForm& form, const char* name, const wchar_t* text, std::int32_t count);
