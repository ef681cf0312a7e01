#include "tests/support/standin_site.h"

#include "tests/support/test_support.h"

#include <windows.h>

#include <sstream>

namespace {

std::string hex_encode(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string hex_decode(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string reply_json(const SiteReply& reply) {
    std::ostringstream out;
    out << "{\"status\": " << reply.status;
    if (reply.body_size >= 0)
        out << ", \"body_size\": " << reply.body_size;
    else
        out << ", \"body_hex\": \"" << hex_encode(reply.body) << "\"";
    if (reply.close) out << ", \"close\": true";
    if (reply.hang_up) out << ", \"hang_up\": true";
    if (reply.silence > 0) out << ", \"silence\": " << reply.silence;
    if (reply.chunked) out << ", \"chunked\": true";
    if (reply.announce >= 0) out << ", \"announce\": " << reply.announce;
    if (!reply.headers.empty()) {
        out << ", \"headers\": {";
        for (size_t i = 0; i < reply.headers.size(); ++i)
            out << (i ? ", " : "") << json_string(reply.headers[i].first) << ": "
                << json_string(reply.headers[i].second);
        out << "}";
    }
    out << "}";
    return out.str();
}

void write_file(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

bool SiteRequest::has_header(const std::string& line) const {
    return ("\r\n" + head + "\r\n").find("\r\n" + line + "\r\n") != std::string::npos;
}

StandinSite::StandinSite() {
    folder_ = wine_path(STANDIN_SITE_DIR) + L"\\";
    DeleteFileW(file(L"log.txt").c_str());
    script({});
}

std::wstring StandinSite::file(const wchar_t* name) const { return folder_ + name; }

void StandinSite::script(const std::vector<std::pair<std::string, SiteReply>>& routes,
                         const std::vector<SiteReply>& queue) {
    static int serial = 0;
    std::ostringstream out;
    out << "{\"id\": " << GetCurrentProcessId() << ++serial << ", \"routes\": {";
    for (size_t i = 0; i < routes.size(); ++i)
        out << (i ? ", " : "") << json_string(routes[i].first) << ": " << reply_json(routes[i].second);
    out << "}, \"queue\": [";
    for (size_t i = 0; i < queue.size(); ++i) out << (i ? ", " : "") << reply_json(queue[i]);
    out << "]}";
    // Written aside and renamed, so the site never reads half a script.
    write_file(file(L"script.tmp"), out.str());
    MoveFileExW(file(L"script.tmp").c_str(), file(L"script.json").c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::vector<SiteRequest> StandinSite::requests() const {
    std::vector<SiteRequest> result;
    std::istringstream lines(read_whole_file(file(L"log.txt")));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        SiteRequest request;
        std::string connection, head, body;
        std::getline(fields, connection, '\t');
        std::getline(fields, request.method, '\t');
        std::getline(fields, request.path, '\t');
        std::getline(fields, head, '\t');
        std::getline(fields, body, '\t');
        request.connection = std::atoi(connection.c_str());
        request.head = hex_decode(head);
        request.body = hex_decode(body);
        result.push_back(request);
    }
    return result;
}

bool StandinSite::set_offline(bool offline) {
    if (offline)
        write_file(file(L"offline"), "");
    else
        DeleteFileW(file(L"offline").c_str());
    for (int i = 0; i < 100; ++i) {
        if (path_exists(file(L"offline.ack")) == offline) return true;
        Sleep(50);
    }
    return false;
}
