// The WinINet client against the stand-in site on 127.0.0.1.
#include "net/http_client.h"
#include "net/site_constants.h"
#include "progress/worker_report.h"
#include "resources/resource_ids.h"
#include "tests/support/standin_site.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK quiet_dialog_proc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// A real progress dialog whose control 53 records every text it is given.
class CounterDialog {
public:
    CounterDialog() {
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), L"PROGRESSDIALOG", nullptr,
                                     quiet_dialog_proc, 0);
        HWND bytes = GetDlgItem(dialog_, IDC_PROGRESS_BYTES);
        SetPropW(bytes, L"recorder", this);
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(bytes, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record)));
    }
    ~CounterDialog() { DestroyWindow(dialog_); }
    HWND window() const { return dialog_; }
    std::vector<std::wstring> texts;

private:
    static LRESULT CALLBACK record(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
        auto* self = static_cast<CounterDialog*>(GetPropW(control, L"recorder"));
        if (message == WM_SETTEXT) self->texts.push_back(reinterpret_cast<const wchar_t*>(lparam));
        return CallWindowProcW(self->original_, control, message, wparam, lparam);
    }
    HWND dialog_ = nullptr;
    WNDPROC original_ = nullptr;
};

std::string body_of(const MultipartForm& form) {
    return std::string(reinterpret_cast<const char*>(form.body()), form.length());
}

void record_total(void* totals, DWORD total, bool) {
    static_cast<std::vector<DWORD>*>(totals)->push_back(total);
}

// Every call the client makes: the total, then "!" on the last one.
void record_call(void* calls, DWORD total, bool last) {
    static_cast<std::vector<std::string>*>(calls)->push_back(std::to_string(total) + (last ? "!" : ""));
}

// Long replies in failure output: their start and their size.
std::string shortened(const std::string& reply) {
    if (reply.size() <= 40) return reply;
    return reply.substr(0, 20) + "... (" + std::to_string(reply.size()) + " bytes)";
}

class Http : public ::testing::Test {
protected:
    void TearDown() override { http_close(client_); }
    // One send and its reply; the reply's bytes, or "<failed>" with message_ set.
    // totals, when given, gets every running total of the read.
    std::string exchange(const wchar_t* verb, const wchar_t* path, const MultipartForm* form,
                         DWORD capacity = 4096, std::vector<DWORD>* totals = nullptr) {
        if (http_send(verb, message_, client_, path, form) != OUTCOME_OK)
            return "<failed>";
        std::vector<unsigned char> buffer(capacity + 16, 0xCC);
        DWORD received = 0;
        if (http_read_reply(message_, &received, client_, buffer.data(), capacity,
                            totals ? record_total : nullptr, totals) != OUTCOME_OK)
            return "<failed>";
        for (size_t i = capacity; i < buffer.size(); ++i)
            if (buffer[i] != 0xCC) return "<wrote past the buffer>";
        return std::string(buffer.begin(), buffer.begin() + received);
    }
    StandinSite site_;
    HttpClient client_;
    wchar_t message_[MESSAGE_CAPACITY] = L"";
};

TEST_F(Http, PostArrivesByteForByteWithItsHeaders) {
    site_.script({{"/addon-v2/uploader/authentification.php", {200, "OK"}}});
    MultipartForm form;
    add_field(form, "login", "joueur", 6, nullptr);
    add_field(form, "raw", "\0\r\n\xe9", 4, "x.bin");
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    EXPECT_EQ("OK", exchange(L"POST", SITE_AUTHENTICATION_PATH, &form));
    EXPECT_FALSE(client_.request) << "the finished request is closed";
    const auto requests = site_.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].method);
    EXPECT_EQ("/addon-v2/uploader/authentification.php", requests[0].path);
    EXPECT_EQ(body_of(form), requests[0].body);
    EXPECT_TRUE(requests[0].has_header("User-Agent: Quillfern Uploader")) << requests[0].head;
    EXPECT_TRUE(requests[0].has_header(
        "Content-Type: multipart/form-data; boundary=gc0p4Jq0M2Yt08jU534c0p"))
        << requests[0].head;
    EXPECT_TRUE(requests[0].has_header("Content-Length: " + std::to_string(form.length())));
}

TEST_F(Http, RequestsShareOneConnection) {
    site_.script({{"/a", {200, "OK"}}, {"/b", {200, "second"}}, {"/release.txt", {200, "1.2\n0"}}});
    MultipartForm form;
    add_field(form, "version", "018", 3, nullptr);
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    EXPECT_EQ("OK", exchange(L"POST", L"/a", &form));
    EXPECT_EQ("second", exchange(L"POST", L"/b", &form));
    EXPECT_EQ("1.2\n0", exchange(L"GET", L"/release.txt", nullptr));
    const auto requests = site_.requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ("GET", requests[2].method);
    EXPECT_EQ("", requests[2].body);
    EXPECT_EQ(requests[0].connection, requests[1].connection);
    EXPECT_EQ(requests[0].connection, requests[2].connection);
}

TEST_F(Http, PostReportsEveryChunkAndTheCounterShowsFirstAndLast) {
    site_.script({{"/send", {200, "OK"}}});
    MultipartForm form;
    add_field(form, "f", std::string(39900, 'd').data(), 39900, nullptr);
    ASSERT_EQ(40000, form.length());
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    std::vector<std::string> calls;
    ASSERT_EQ(OUTCOME_OK, http_send(L"POST", message_, client_, L"/send", &form, record_call, &calls));
    EXPECT_EQ((std::vector<std::string>{"16384", "32768", "40000!"}), calls);

    // On a dialog: whatever the timing, the first total and the last.
    unsigned char buffer[64];
    DWORD received = 0;
    http_read_reply(message_, &received, client_, buffer, sizeof(buffer));
    CounterDialog dialog;
    ByteCounter counter(dialog.window());
    ASSERT_EQ(OUTCOME_OK, http_send(L"POST", message_, client_, L"/send", &form, ByteCounter::show,
                                    &counter));
    ASSERT_GE(dialog.texts.size(), 2u);
    EXPECT_EQ(L"16384 octets", dialog.texts.front());
    EXPECT_EQ(L"40000 octets", dialog.texts.back());
    wchar_t shown[64];
    GetDlgItemTextW(dialog.window(), IDC_PROGRESS_BYTES, shown, 64);
    EXPECT_STREQ(L"40000 octets", shown);

    // Without a callback nothing is shown.
    dialog.texts.clear();
    http_read_reply(message_, &received, client_, buffer, sizeof(buffer));
    ASSERT_EQ(OUTCOME_OK, http_send(L"POST", message_, client_, L"/send", &form, nullptr, &counter));
    EXPECT_TRUE(dialog.texts.empty());
}

TEST_F(Http, BodiesAreWrittenInChunksOf16384) {
    site_.script({{"/send", {200, "OK"}}});
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    for (int length : {16384, 16385}) {
        MultipartForm form;
        add_field(form, "f", std::string(length - 100, 'd').data(), length - 100, nullptr);
        ASSERT_EQ(length, form.length());
        std::vector<std::string> calls;
        ASSERT_EQ(OUTCOME_OK, http_send(L"POST", message_, client_, L"/send", &form, record_call, &calls));
        unsigned char buffer[64];
        DWORD received = 0;
        http_read_reply(message_, &received, client_, buffer, sizeof(buffer));
        if (length == 16384)
            EXPECT_EQ(std::vector<std::string>{"16384!"}, calls);
        else
            EXPECT_EQ((std::vector<std::string>{"16384", "16385!"}), calls);
    }
    const auto requests = site_.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(16384u, requests[0].body.size());
    EXPECT_EQ(16385u, requests[1].body.size());
}

TEST_F(Http, ReadReportsEveryChunkThenTheFinalReadAsLast) {
    site_.script({{"/file", {200, std::string(40000, 'f')}}});
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    ASSERT_EQ(OUTCOME_OK, http_send(L"GET", message_, client_, L"/file", nullptr));
    std::vector<unsigned char> buffer(65536);
    DWORD received = 0;
    std::vector<std::string> calls;
    ASSERT_EQ(OUTCOME_OK, http_read_reply(message_, &received, client_, buffer.data(), 65536,
                                          record_call, &calls));
    EXPECT_EQ(40000u, received);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ("40000", calls[calls.size() - 2]);
    EXPECT_EQ("40000!", calls.back()) << "once more after the empty read, as the last";
    EXPECT_GE(calls.size(), 4u) << "at most 16384 bytes a read";
    for (size_t i = 0; i + 1 < calls.size(); ++i)
        EXPECT_EQ(std::string::npos, calls[i].find('!')) << "only the final read is the last";
}

// A clock the test moves by hand.
DWORD fake_now = 0;
DWORD WINAPI fake_clock() { return fake_now; }

TEST(ByteCounter, ShowsTheFirstTotalTheLastAndAtMostOnePerInterval) {
    const struct Call {
        DWORD at_ms;
        DWORD total;
        bool last;
    } calls[] = {
        {1000, 1024, false},   // first: shown
        {1001, 2048, false},   // too soon
        {1049, 3072, false},   // still too soon
        {1050, 4096, false},   // 50 ms after the first shown: shown
        {1060, 5120, false},   // too soon
        {1200, 5120, false},   // time enough: shown
        {1300, 5120, false},   // time enough but the same total: not again
        {1301, 6144, true},    // last: shown at once
        {1302, 6144, true},    // the final read repeats it: not again
    };
    CounterDialog dialog;
    ByteCounter counter(dialog.window(), fake_clock);
    for (const Call& call : calls) {
        fake_now = call.at_ms;
        ByteCounter::show(&counter, call.total, call.last);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"1024 octets", L"4096 octets", L"5120 octets", L"6144 octets"}),
              dialog.texts);

    // A clock that wraps round (GetTickCount after 49.7 days) keeps the interval.
    CounterDialog wrapped;
    ByteCounter across(wrapped.window(), fake_clock);
    for (const Call& call : {Call{0xFFFFFFF0u, 1, false}, Call{0x10u, 2, false}, Call{0x30u, 3, false}}) {
        fake_now = call.at_ms;
        ByteCounter::show(&across, call.total, call.last);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"1 octets", L"3 octets"}), wrapped.texts);
}

TEST_F(Http, StatusErrorsHaveTheirTexts) {
    const std::pair<int, const wchar_t*> cases[] = {
        {401, L"Réception des données échouée.\nAccès refusé."},
        {404, L"Réception des données échouée.\nResource introuvable."},
        {413, L"Réception des données échouée.\nLa taille de la requête dépasse la maximum autorisé."},
        {500, L"Réception des données échouée.\nLe serveur a rencontré une erreur."},
        {403, L"Réception des données échouée.\nErreur non gérée."},
        {302, L"Réception des données échouée.\nErreur non gérée."},
    };
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    for (const auto& c : cases) {
        site_.script({{"/status", {c.first, "refused"}}});
        EXPECT_EQ("<failed>", exchange(L"GET", L"/status", nullptr)) << c.first;
        EXPECT_STREQ(c.second, message_) << c.first;
        EXPECT_TRUE(client_.request) << "the request stays after a status failure";
    }
}

TEST_F(Http, RedirectionIsAFailureAndIsNotFollowed) {
    const struct Case {
        const wchar_t* verb;
        const wchar_t* path;
        const char* logged_path;
        int status;
    } cases[] = {
        {L"POST", SITE_AUTHENTICATION_PATH, "/addon-v2/uploader/authentification.php", 302},
        {L"GET", SITE_RELEASE_LIST_PATH, "/addon-v2/uploader/release.txt", 301},
        {L"GET", SITE_RELEASE_LIST_PATH, "/addon-v2/uploader/release.txt", 307},
    };
    MultipartForm form;
    add_field(form, "version", "018", 3, nullptr);
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    for (const Case& c : cases) {
        SiteReply moved{c.status, "moved"};
        moved.headers = {{"Location", "/somewhere"}};
        site_.script({{c.logged_path, moved}, {"/somewhere", {200, "OK"}}});
        const size_t before = site_.requests().size();
        const bool post = std::wstring(c.verb) == L"POST";
        EXPECT_EQ("<failed>", exchange(c.verb, c.path, post ? &form : nullptr)) << c.status;
        EXPECT_STREQ(L"Réception des données échouée.\nErreur non gérée.", message_) << c.status;
        const auto requests = site_.requests();
        ASSERT_FALSE(requests.empty()) << c.status;
        EXPECT_EQ(before + 1, requests.size()) << "the new location is not asked for, " << c.status;
        EXPECT_EQ(c.logged_path, requests.back().path) << c.status;
    }
}

TEST_F(Http, EmptyReplyAndReplyThatFillsTheBufferExactly) {
    site_.script({{"/empty", {200, ""}}, {"/hundred", {200, std::string(100, 'h')}},
                  {"/over", {200, std::string(101, 'o')}}});
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    EXPECT_EQ("", exchange(L"GET", L"/empty", nullptr));
    EXPECT_EQ(std::string(100, 'h'), exchange(L"GET", L"/hundred", nullptr, 100));
    EXPECT_EQ("<failed>", exchange(L"GET", L"/over", nullptr, 100));
    EXPECT_STREQ(L"Réception des données échouée.\nLa réponse du serveur est trop volumineuse.",
                 message_);
}

TEST_F(Http, LargeReplyIsReadWhole) {
    SiteReply big;
    big.body_size = 300000;
    site_.script({{"/big", big}});
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    EXPECT_EQ(std::string(300000, 'x'), exchange(L"GET", L"/big", nullptr, 1048576));
}

// sent bytes of 'x' under a head that announces announced bytes; the
// connection is dropped after them.
SiteReply cut_after(long long sent, long long announced) {
    SiteReply reply;
    reply.body_size = sent;
    reply.announce = announced;
    return reply;
}

TEST_F(Http, ReplyCutShortIsAReadFailure) {
    const struct Case {
        long long announced;
        DWORD capacity;
        bool complete;
    } cases[] = {
        {5000, 5000, false},
        {5000, 1048576, false},
        {3000, 5000, true},
        {3000, 1048576, true},
    };
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    for (const Case& c : cases) {
        site_.script({{"/cut", cut_after(3000, c.announced)}});
        std::vector<DWORD> totals;
        const std::string got = exchange(L"GET", L"/cut", nullptr, c.capacity, &totals);
        if (c.complete) {
            EXPECT_TRUE(std::string(3000, 'x') == got)
                << shortened(got) << ", " << c.announced << " in " << c.capacity;
        } else {
            EXPECT_EQ("<failed>", shortened(got)) << c.announced << " in " << c.capacity;
            EXPECT_STREQ(L"Réception des données échouée.\nException non gérée.", message_)
                << c.announced << " in " << c.capacity;
        }
        ASSERT_FALSE(totals.empty()) << c.announced << " in " << c.capacity;
        EXPECT_EQ(3000u, totals.back()) << "the counter shows what arrived";
    }
}

TEST_F(Http, AnnouncedLengthOverTheBufferIsRefusedWhateverArrives) {
    const struct Case {
        long long sent;
        long long announced;
        DWORD capacity;
    } cases[] = {
        {3000, 5000, 4096},
        {1000, 1048577, 1048576},
        {4097, 4097, 4096},
    };
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    for (const Case& c : cases) {
        site_.script({{"/big", cut_after(c.sent, c.announced)}});
        EXPECT_EQ("<failed>", shortened(exchange(L"GET", L"/big", nullptr, c.capacity)))
            << c.announced;
        EXPECT_STREQ(L"Réception des données échouée.\nLa réponse du serveur est trop volumineuse.",
                     message_)
            << c.announced;
    }
}

TEST_F(Http, ReplyWithoutLengthIsReadToItsEnd) {
    SiteReply chunked;
    chunked.body = std::string(2500, 'c');
    chunked.chunked = true;
    SiteReply too_big = chunked;
    too_big.body = std::string(4097, 'c');
    site_.script({{"/chunked", chunked}, {"/too-big", too_big}});
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    const std::string got = exchange(L"GET", L"/chunked", nullptr);
    EXPECT_TRUE(std::string(2500, 'c') == got) << shortened(got);
    EXPECT_EQ("<failed>", shortened(exchange(L"GET", L"/too-big", nullptr)));
    EXPECT_STREQ(L"Réception des données échouée.\nLa réponse du serveur est trop volumineuse.",
                 message_);
    const auto requests = site_.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(requests[0].connection, requests[1].connection) << "the chunked reply ends cleanly";
}

TEST_F(Http, RefusedConnectionFailsAtSendWithoutCrashing) {
    ASSERT_TRUE(site_.set_offline(true));
    MultipartForm form;
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    const wchar_t* refused = L"Opération échouée.\nLa tentative de connexion au serveur a échouée.";
    EXPECT_EQ(OUTCOME_ERROR, http_send(L"GET", message_, client_, L"/x", nullptr));
    EXPECT_STREQ(refused, message_);
    EXPECT_EQ(OUTCOME_ERROR, http_send(L"POST", message_, client_, L"/x", &form));
    EXPECT_STREQ(refused, message_);
    ASSERT_TRUE(site_.set_offline(false));
}

TEST_F(Http, MisuseIsRefusedBeforeAnythingIsSent) {
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    EXPECT_EQ(OUTCOME_ERROR, http_open(message_, client_));
    EXPECT_STREQ(L"Impossible d'initialiser la connexion.\nUne session est déjà ouverte.", message_);

    MultipartForm form;
    EXPECT_EQ(OUTCOME_ERROR, http_send(L"GET", message_, client_, L"/x", &form));
    EXPECT_STREQ(L"Envoi de données impossible.\nUne requête GET avec données a été tentée.", message_);
    EXPECT_EQ(OUTCOME_ERROR, http_send(L"POST", message_, client_, L"/x", nullptr));
    EXPECT_STREQ(L"Envoi de données impossible.\nUne requête POST sans données a été tentée.",
                 message_);
    EXPECT_TRUE(client_.request);
    http_close(client_);
    EXPECT_FALSE(client_.request);
    EXPECT_FALSE(client_.connection);
    EXPECT_FALSE(client_.session);
    EXPECT_TRUE(site_.requests().empty());
}

TEST_F(Http, ReadWithoutRequestOrSendWithoutConnection) {
    unsigned char buffer[16];
    DWORD received = 0;
    EXPECT_EQ(OUTCOME_ERROR, http_read_reply(message_, &received, client_, buffer, 16));
    EXPECT_STREQ(L"Réception des données échouée.\n"
                 L"Impossible d'obtenir des informations sur la requête.",
                 message_);
    EXPECT_EQ(OUTCOME_ERROR, http_send(L"GET", message_, client_, L"/x", nullptr));
    EXPECT_STREQ(L"Envoi de données impossible.\nLa création de la requête a échoué.", message_);
}

TEST_F(Http, DroppedConnectionFailsTheRead) {
    SiteReply hang_up;
    hang_up.hang_up = true;
    site_.script({{"/drop", hang_up}});
    ASSERT_EQ(OUTCOME_OK, http_open(message_, client_));
    EXPECT_EQ("<failed>", exchange(L"GET", L"/drop", nullptr));
    const std::wstring message = message_;
    EXPECT_TRUE(message.rfind(L"Opération échouée.\n", 0) == 0 ||
                message.rfind(L"Réception des données échouée.\n", 0) == 0)
        << "a failure with its text, never a success";
}

// ---- replies ------------------------------------------------------------

ReplyBuffer text_reply(const std::string& text) {
    ReplyBuffer reply;
    set_reply(REPLY_TEXT, reply, static_cast<int>(text.size()),
              reinterpret_cast<const unsigned char*>(text.data()));
    return reply;
}

TEST(Replies, TextAndRawModes) {
    ReplyBuffer reply = text_reply("");
    EXPECT_EQ(1, reply.length);
    EXPECT_EQ(0, reply.data[0]);
    set_reply(REPLY_BINARY, reply, 3, reinterpret_cast<const unsigned char*>("a\0b"));
    EXPECT_EQ(3, reply.length);
    EXPECT_EQ(REPLY_BINARY, reply.mode);
    EXPECT_EQ(0, memcmp("a\0b", reply.data.get(), 3));
}

std::vector<std::string> items_of(const ReplyLines& lines) {
    std::vector<std::string> items;
    for (int i = 0; i < lines.count; ++i)
        items.push_back(lines.items && lines.items[i] ? lines.items[i].get() : "<none>");
    return items;
}

TEST(ReplyLines, ReleaseListWithLfOrCrLf) {
    struct Case {
        std::string text;
        std::string header;
        std::vector<std::string> items;
    } cases[] = {
        {"1.2.3\n2\na.lua\nb.lua", "1.2.3", {"a.lua", "b.lua"}},
        {"1.2.3\n2\na.lua\nb.lua\n", "1.2.3", {"a.lua", "b.lua"}},
        {"1.2.3\r\n2\r\na.lua\r\nb.lua", "1.2.3\r", {"a.lua\r", "b.lua"}},
        {"1.2.3\n2\na.lua\nb.lua\nextra\nmore", "1.2.3", {"a.lua", "b.lua"}},
        {"1.2.3\n 3x\na.lua", "1.2.3", {"a.lua", "<none>", "<none>"}},
        {"9.9\n0\n", "9.9", {}},
    };
    for (const Case& c : cases) {
        ReplyLines lines;
        EXPECT_EQ(OUTCOME_OK, parse_reply_lines(lines, text_reply(c.text))) << c.text;
        EXPECT_STREQ(c.header.c_str(), lines.header.get()) << c.text;
        EXPECT_EQ(static_cast<int>(c.items.size()), lines.count) << c.text;
        EXPECT_EQ(c.items, items_of(lines)) << c.text;
    }
}

TEST(ReplyLines, RefusedReplies) {
    ReplyLines long_count;
    EXPECT_EQ(OUTCOME_ERROR,
              parse_reply_lines(long_count, text_reply("1.0\n" + std::string(260, '1') + "\na")));
    EXPECT_EQ(-1, long_count.count);
    ReplyLines just_fits;
    EXPECT_EQ(OUTCOME_OK,
              parse_reply_lines(just_fits, text_reply("1.0\n1" + std::string(258, ' ') + "\na")));
    EXPECT_EQ(1, just_fits.count);

    ReplyBuffer raw;
    set_reply(REPLY_BINARY, raw, 3, reinterpret_cast<const unsigned char*>("1\n0"));
    ReplyLines from_raw;
    EXPECT_EQ(OUTCOME_ERROR, parse_reply_lines(from_raw, raw));
    EXPECT_FALSE(from_raw.header);

    ReplyLines impossible;
    EXPECT_EQ(OUTCOME_ERROR, parse_reply_lines(impossible, text_reply("1.0\n2000000000\na")));
}

}  // namespace
