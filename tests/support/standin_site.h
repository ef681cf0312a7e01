// Steers the stand-in site (tests/standin_site.py) through its state folder
// and reads back the requests it received.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct SiteRequest {
    int connection = 0;
    std::string method;
    std::string path;
    std::string head;  // request line and headers, as received
    std::string body;  // raw bytes
    bool has_header(const std::string& line) const;
};

struct SiteReply {
    int status = 200;
    std::string body;       // bytes, sent as they are
    long long body_size = -1;  // when >= 0: that many 'x' bytes instead of body
    bool close = false;     // drop the connection after the reply
    bool hang_up = false;   // drop the connection without replying
    // More header lines of the reply, name and value.
    std::vector<std::pair<std::string, std::string>> headers{};
    // When >= 0: the Content-Length given whatever the body's size, and the
    // connection is dropped after the body.
    long long announce = -1;
    bool chunked = false;   // chunked transfer coding, no Content-Length
    double silence = 0;     // when > 0: hold the connection that many seconds, then drop it
};

class StandinSite {
public:
    StandinSite();  // forgets earlier requests and scripts

    // Replies by path first, then in queue order; anything else gets 404.
    void script(const std::vector<std::pair<std::string, SiteReply>>& routes,
                const std::vector<SiteReply>& queue = {});
    void queue(const std::vector<SiteReply>& replies) { script({}, replies); }

    std::vector<SiteRequest> requests() const;
    // Closes (true) or reopens the site's port, waiting until it is done.
    bool set_offline(bool offline);

private:
    std::wstring file(const wchar_t* name) const;
    std::wstring folder_;
};
