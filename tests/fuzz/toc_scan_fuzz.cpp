// The .toc scan on any file content, with the version and edition in heap
// buffers of exactly INSTALLED_VERSION_CAPACITY bytes. Each ends up with the
// last usable value of its header line, terminated inside the buffer, or as
// it was when no line gives one; asking for no edition changes nothing else.
#include "update/toc_scan.h"

#include "fuzz_check.h"

#include <cstring>
#include <memory>

namespace {

constexpr char VERSION_PREFIX[] = "## Version: Version ";
constexpr char EDITION_PREFIX[] = "## X-Version: ";
// What the buffers hold before the scan: a value no line can give (no line
// holds a 0 byte), so that an untouched buffer shows.
constexpr char UNTOUCHED[] = "\x01untouched";

struct Values {
    std::string version;
    std::string edition;
};

// Lines end at a CR or a 0 byte, and the byte after a CR is taken for its LF.
Values plain_reading(const std::string& bytes) {
    Values values{UNTOUCHED, UNTOUCHED};
    const std::string text = bytes + '\0';
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t end = text.find_first_of(std::string("\r\0", 2), pos);
        const std::string line = text.substr(pos, end - pos);
        for (auto [prefix, value] : {std::pair{VERSION_PREFIX, &values.version},
                                     std::pair{EDITION_PREFIX, &values.edition}}) {
            const std::size_t length = std::strlen(prefix);
            if (line.size() > length && line.compare(0, length, prefix) == 0 &&
                line.size() - length < INSTALLED_VERSION_CAPACITY)
                *value = line.substr(length);
        }
        pos = end + 2;
    }
    return values;
}

std::unique_ptr<char[]> value_buffer() {
    std::unique_ptr<char[]> buffer(new char[INSTALLED_VERSION_CAPACITY]);
    std::memset(buffer.get(), '#', INSTALLED_VERSION_CAPACITY);
    std::memcpy(buffer.get(), UNTOUCHED, sizeof(UNTOUCHED));
    return buffer;
}

std::string terminated_value(const char* buffer) {
    const void* end = std::memchr(buffer, 0, INSTALLED_VERSION_CAPACITY);
    FUZZ_CHECK(end != nullptr);
    return std::string(buffer, static_cast<const char*>(end) - buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = bytes_of(data, size);
    const Values expected = plain_reading(bytes);

    const auto text = heap_text(bytes);
    auto version = value_buffer();
    auto edition = value_buffer();
    scan_toc_lines(text.get(), size, version.get(), edition.get());
    FUZZ_CHECK(std::string(text.get(), size) == bytes);
    FUZZ_CHECK(terminated_value(version.get()) == expected.version);
    FUZZ_CHECK(terminated_value(edition.get()) == expected.edition);

    auto version_alone = value_buffer();
    scan_toc_lines(text.get(), size, version_alone.get(), nullptr);
    FUZZ_CHECK(terminated_value(version_alone.get()) == expected.version);
    return 0;
}
