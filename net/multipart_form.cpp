#include "net/multipart_form.h"

#include "net/site_constants.h"

#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr char DISPOSITION[] = "\r\nContent-Disposition: form-data; name=\"";
constexpr char FILE_NAME_START[] = "; filename=\"";
constexpr char FILE_NAME_END[] = "\"\r\nContent-Type: application/octet-stream";
constexpr char HEADERS_END[] = "\r\n\r\n";
constexpr char DELIMITER_START[] = "\r\n--";
constexpr char CLOSING[] = "--\r\n";

constexpr std::size_t literal_length(const char* text) { return std::char_traits<char>::length(text); }

// What a part adds besides its name and value; the closing "--\r\n" it is
// written over comes again after it, so that cancels out.
constexpr std::size_t PLAIN_PART_OVERHEAD = literal_length(DISPOSITION) + 1 +
                                            literal_length(HEADERS_END) +
                                            literal_length(DELIMITER_START) +
                                            literal_length(MULTIPART_BOUNDARY);
constexpr std::size_t FILE_PART_OVERHEAD =
    literal_length(FILE_NAME_START) + literal_length(FILE_NAME_END);
static_assert(PLAIN_PART_OVERHEAD == 71, "layout of a plain field");
static_assert(FILE_PART_OVERHEAD == 53, "layout of a file part");

class Writer {
public:
    explicit Writer(unsigned char* at) : at_(at) {}
    void put(const void* bytes, std::size_t count) {
        if (count) std::memcpy(at_, bytes, count);
        at_ += count;
    }
    void put(const char* text) { put(text, std::strlen(text)); }

private:
    unsigned char* at_;
};

}  // namespace

MultipartForm::MultipartForm() {
    const std::size_t size = 2 + literal_length(MULTIPART_BOUNDARY) + literal_length(CLOSING);
    body_.reset(static_cast<unsigned char*>(std::malloc(size)));
    if (!body_) return;
    Writer out(body_.get());
    out.put("--");
    out.put(MULTIPART_BOUNDARY);
    out.put(CLOSING);
    length_ = static_cast<std::int32_t>(size);
}

bool MultipartForm::add_field(const char* name, const void* bytes, std::int32_t count,
                              const char* file_name) {
    if (!body_ || !name || count < 0 || (count > 0 && !bytes)) return false;
    const bool file_part = file_name && file_name[0] != 0;
    const std::size_t name_length = std::strlen(name);
    const std::size_t file_name_length = file_part ? std::strlen(file_name) : 0;
    const std::size_t growth = PLAIN_PART_OVERHEAD + name_length + static_cast<std::size_t>(count) +
                               (file_part ? FILE_PART_OVERHEAD + file_name_length : 0);
    const std::size_t new_length = static_cast<std::size_t>(length_) + growth;
    if (new_length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return false;

    void* grown = std::realloc(body_.get(), new_length);
    if (!grown) return false;  // the old body is still ours, unchanged
    body_.release();
    body_.reset(static_cast<unsigned char*>(grown));

    Writer out(body_.get() + length_ - literal_length(CLOSING));
    out.put(DISPOSITION);
    out.put(name, name_length);
    out.put("\"");
    if (file_part) {
        out.put(FILE_NAME_START);
        out.put(file_name, file_name_length);
        out.put(FILE_NAME_END);
    }
    out.put(HEADERS_END);
    out.put(bytes, static_cast<std::size_t>(count));
    out.put(DELIMITER_START);
    out.put(MULTIPART_BOUNDARY);
    out.put(CLOSING);
    length_ = static_cast<std::int32_t>(new_length);
    return true;
}

bool add_field(MultipartForm& form, const char* name, const void* bytes, std::int32_t count,
               const char* file_name) {
    return form.add_field(name, bytes, count, file_name);
}

bool add_text_field(MultipartForm& form, const char* name, const wchar_t* text, std::int32_t count) {
    if (count < 0) return false;
    auto bytes = make_buffer<unsigned char>(static_cast<std::size_t>(count) + 1);
    if (!bytes) return false;
    if (!wide_to_latin1(text, static_cast<std::size_t>(count), bytes.get())) return false;
    form.add_field(name, bytes.get(), count, nullptr);
    return true;
}
