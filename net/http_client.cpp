#include "net/http_client.h"

#include "net/site_constants.h"
#include "base/text_util.h"

namespace {

// Data moves in chunks of this size both ways. Under Wine every WinINet call
// has a fixed cost: 1 KB chunks made a 1.5 MB upload six times slower than
// 16 KB ones, and the counter still moves several times a second on a slow
// line. The site sees the same bytes whatever the size.
constexpr DWORD HTTP_CHUNK_BYTES = 16384;

// A redirection is the site's answer, not a detour: a 3xx must reach the
// status check instead of being followed to a page that may answer "OK".
constexpr DWORD REQUEST_FLAGS =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr wchar_t POST_VERB[] = L"POST";
constexpr wchar_t POST_HEADER[] =
    L"Content-Type: multipart/form-data; boundary=" MULTIPART_BOUNDARY_TEXT L"\r\n";

constexpr wchar_t MSG_SESSION_OPEN[] =
    L"Impossible d'initialiser la connexion.\nUne session est déjà ouverte.";
constexpr wchar_t MSG_CONNECTION_OPEN[] =
    L"Impossible d'initialiser la connexion.\nUne connexion est déjà ouverte.";
constexpr wchar_t MSG_WININET_FAILED[] =
    L"Impossible d'initialiser la connexion.\nL'initialisation de WinINet a échoué.";
constexpr wchar_t MSG_CONNECT_FAILED[] =
    L"Impossible d'initialiser la connexion.\nL'ouverture de session a échoué.";
constexpr wchar_t MSG_REQUEST_FAILED[] =
    L"Envoi de données impossible.\nLa création de la requête a échoué.";
constexpr wchar_t MSG_GET_WITH_DATA[] =
    L"Envoi de données impossible.\nUne requête GET avec données a été tentée.";
constexpr wchar_t MSG_POST_WITHOUT_DATA[] =
    L"Envoi de données impossible.\nUne requête POST sans données a été tentée.";
constexpr wchar_t MSG_OPERATION_FAILED[] = L"Opération échouée.\n";
constexpr wchar_t MSG_RECEIVE_FAILED[] = L"Réception des données échouée.\n";
constexpr wchar_t MSG_NO_REQUEST_INFO[] =
    L"Réception des données échouée.\nImpossible d'obtenir des informations sur la requête.";
constexpr wchar_t MSG_READ_FAILED[] = L"Réception des données échouée.\nException non gérée.";
constexpr wchar_t MSG_REPLY_TOO_LARGE[] =
    L"Réception des données échouée.\nLa réponse du serveur est trop volumineuse.";

const wchar_t* error_text(DWORD code) {
    switch (code) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return L"Le nom du serveur n'a pas pu être résolu.";
    case ERROR_INTERNET_CANNOT_CONNECT:
        return L"La tentative de connexion au serveur a échouée.";
    case ERROR_INTERNET_CONNECTION_RESET:
        return L"La connexion au serveur a été réinitialisée.";
    case ERROR_INTERNET_DISCONNECTED:
        return L"La connexion au serveur a été perdue.";
    default:
        return L"Exception non gérée.";
    }
}

const wchar_t* status_text(DWORD status) {
    switch (status) {
    case 401:
        return L"Accès refusé.";
    case 404:
        return L"Resource introuvable.";
    case 413:
        return L"La taille de la requête dépasse la maximum autorisé.";
    case 500:
        return L"Le serveur a rencontré une erreur.";
    default:
        return L"Erreur non gérée.";
    }
}

Outcome fail(wchar_t* message, const wchar_t* first, const wchar_t* second = nullptr) {
    return report(message, OUTCOME_ERROR, first, second);
}

Outcome send_post(wchar_t* message, HINTERNET request, const MultipartForm& form,
                  ByteProgress on_bytes, void* context) {
    HttpAddRequestHeadersW(request, POST_HEADER, static_cast<DWORD>(-1),
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    INTERNET_BUFFERSW size{};
    size.dwStructSize = sizeof(size);
    size.dwBufferTotal = static_cast<DWORD>(form.length());
    // Writing on a request whose start failed crashes inside WinINet.
    if (!HttpSendRequestExW(request, &size, nullptr, 0, 0))
        return fail(message, MSG_OPERATION_FAILED, error_text(GetLastError()));

    const DWORD length = static_cast<DWORD>(form.length());
    DWORD sent = 0;
    while (sent < length) {
        const DWORD chunk = length - sent < HTTP_CHUNK_BYTES ? length - sent : HTTP_CHUNK_BYTES;
        DWORD written = 0;
        if (!InternetWriteFile(request, form.body() + sent, chunk, &written))
            return fail(message, MSG_OPERATION_FAILED, error_text(GetLastError()));
        if (written == 0) return fail(message, MSG_OPERATION_FAILED, error_text(0));
        sent += written;
        if (on_bytes) on_bytes(context, sent, sent == length);
    }
    // A failure here shows when the reply is read.
    HttpEndRequestW(request, nullptr, 0, 0);
    return OUTCOME_OK;
}

}  // namespace

Outcome http_open(wchar_t* message, HttpClient& client) {
    message[0] = 0;
    if (client.session) return fail(message, MSG_SESSION_OPEN);
    if (client.connection) return fail(message, MSG_CONNECTION_OPEN);
    client.session.reset(
        InternetOpenW(SITE_USER_AGENT, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!client.session) return fail(message, MSG_WININET_FAILED);
    client.connection.reset(InternetConnectW(client.session.get(), SITE_HOST, SITE_PORT, nullptr,
                                             nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!client.connection) return fail(message, MSG_CONNECT_FAILED);
    return OUTCOME_OK;
}

Outcome http_send(const wchar_t* verb, wchar_t* message, HttpClient& client, const wchar_t* path,
                  const MultipartForm* form, ByteProgress on_bytes, void* context) {
    message[0] = 0;
    client.request.reset();
    const wchar_t* accept_types[] = {L"*/*", L"", nullptr};
    client.request.reset(HttpOpenRequestW(client.connection.get(), verb, path, nullptr, nullptr,
                                          accept_types, REQUEST_FLAGS, 0));
    if (!client.request) return fail(message, MSG_REQUEST_FAILED);

    if (std::wcscmp(verb, POST_VERB) != 0) {
        if (form) return fail(message, MSG_GET_WITH_DATA);
        if (!HttpSendRequestW(client.request.get(), nullptr, 0, nullptr, 0))
            return fail(message, MSG_OPERATION_FAILED, error_text(GetLastError()));
        return OUTCOME_OK;
    }
    if (!form) return fail(message, MSG_POST_WITHOUT_DATA);
    return send_post(message, client.request.get(), *form, on_bytes, context);
}

Outcome http_read_reply(wchar_t* message, DWORD* received, HttpClient& client,
                        unsigned char* buffer, DWORD capacity, ByteProgress on_bytes,
                        void* context) {
    DWORD status = 0;
    DWORD status_size = sizeof(status);
    if (!client.request ||
        !HttpQueryInfoW(client.request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                        &status, &status_size, nullptr))
        return fail(message, MSG_NO_REQUEST_INFO);
    if (status != HTTP_STATUS_OK) return fail(message, MSG_RECEIVE_FAILED, status_text(status));

    // WinINet ends the reading as if complete when the connection drops
    // early, so an announced length is the only sign of a reply cut short.
    // Without one (chunked, or ended by closing) the end of data is trusted.
    DWORD announced = 0;
    DWORD announced_size = sizeof(announced);
    const bool has_length =
        HttpQueryInfoW(client.request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                       &announced, &announced_size, nullptr) != FALSE;
    if (has_length && announced > capacity) return fail(message, MSG_REPLY_TOO_LARGE);

    DWORD total = 0;
    for (;;) {
        const DWORD room = capacity - total;
        if (room == 0) {
            // Full: the reply fits only if nothing more comes.
            unsigned char probe = 0;
            DWORD extra = 0;
            if (!InternetReadFile(client.request.get(), &probe, 1, &extra))
                return fail(message, MSG_READ_FAILED);
            if (extra != 0) return fail(message, MSG_REPLY_TOO_LARGE);
            if (on_bytes) on_bytes(context, total, true);
            break;
        }
        DWORD got = 0;
        if (!InternetReadFile(client.request.get(), buffer + total,
                              room < HTTP_CHUNK_BYTES ? room : HTTP_CHUNK_BYTES, &got))
            return fail(message, MSG_READ_FAILED);
        total += got;
        if (on_bytes) on_bytes(context, total, got == 0);
        if (got == 0) break;
    }
    if (has_length && total != announced) return fail(message, MSG_READ_FAILED);
    *received = total;
    // Closing the finished request hands its connection back for the next one.
    client.request.reset();
    return OUTCOME_OK;
}

void http_close(HttpClient& client) {
    client.request.reset();
    client.connection.reset();
    client.session.reset();
}
