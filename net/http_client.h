// The one conversation with the site: WinINet session, connection and the
// current request, GET and multipart POST, replies read whole.
#pragma once

#include "net/multipart_form.h"
#include "net/reply_lines.h"
#include "base/outcome.h"
#include "base/unique_handle.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>

struct InternetHandleTraits {
    static HINTERNET empty() noexcept { return nullptr; }
    static bool valid(HINTERNET handle) noexcept { return handle != nullptr; }
    static void close(HINTERNET handle) noexcept { InternetCloseHandle(handle); }
};
using UniqueInternetHandle = UniqueHandle<HINTERNET, InternetHandleTraits>;

// Declared in opening order, so that destruction closes the request before
// the connection and the connection before the session.
struct HttpClient {
    UniqueInternetHandle session;
    UniqueInternetHandle connection;
    UniqueInternetHandle request;
};


// The callers' own check after a send: a read needs the request of a send before it.
constexpr wchar_t MSG_NO_PRIOR_REQUEST[] =
    L"Réception des données échouée.\nAucune requête préalable n'a été faite.";

// Told the running byte total after every chunk of a transfer, last true on
// the call that ends a complete transfer; null for none.
using ByteProgress = void (*)(void* context, DWORD total, bool last);

Outcome http_open(wchar_t* message, HttpClient& client);
// verb "GET" (no form) or "POST" (with a form).
Outcome http_send(const wchar_t* verb, wchar_t* message, HttpClient& client, const wchar_t* path,
                  const MultipartForm* form, ByteProgress on_bytes = nullptr,
                  void* context = nullptr);
// Reads the whole reply into buffer (capacity bytes); a reply that does not
// fit is refused. The finished request is closed.
Outcome http_read_reply(wchar_t* message, DWORD* received, HttpClient& client,
                        unsigned char* buffer, DWORD capacity, ByteProgress on_bytes = nullptr,
                        void* context = nullptr);
void http_close(HttpClient& client);
