// LocalPortal: a tiny HTTP/1.0-1.1 server on 127.0.0.1 standing in for the
// operator's game portal in the launcher's tests. Test support only; never
// ships. Runs inside Windows test programs (Wine), uses winsock.
//
// Typical use in a test:
//
//     portal::LocalPortal portal;
//     ASSERT_TRUE(portal.Start());                 // free port, own thread
//     std::wstring login = portal.UrlW(portal::kLoginPath);
//     ... navigate a browser to `login` ...
//     EXPECT_TRUE(portal.WaitForRequest("/v6/weiduan?gc=qth", 5000));
//     EXPECT_EQ(0, portal.CountRequests("client=1"));
//     portal.Stop();                               // joins every thread
//
// Request log: every request that was read completely enough to have a
// request line is recorded BEFORE it is answered, so "the request reached the
// server" can be checked as soon as the client has sent it. Requests() gives
// one string per request: "METHOD TARGET" (TARGET is the path with its query,
// exactly as sent, e.g. "GET /v6/weiduan?gc=qth"), followed, for the headers
// of interest that were present, by " | Name: value" (Cookie, Referer,
// Content-Type, Content-Length), e.g.
//     "GET /game/play?server=3&client=1 | Cookie: sid=abc"
// Bad requests (unparseable request line) are logged as "BAD <first line>".
// CountRequests/WaitForRequest match a plain, case-sensitive substring of
// those strings.
//
// Content: routes set with SetRoute (exact match on path+query) win over the
// built-in pages below; unknown paths get 404.
//
// Built-in pages (all text/html; charset=utf-8):
//   /                      index: links to the login page and the lead pages
//   /v6/weiduan?gc=qth     login page (kLoginPath): title "Vellmar Portal - Login",
//                          a window.external probe <span data-external="xxyyzz">,
//                          links to /game/play?server=1&client=1,
//                          /game/play?server=3&client=1, the news page (a normal
//                          non-game page), /lead/meta and /lead/frame
//   any target containing "client=1" (and not matched by a route):
//                          game page, title "Game server N" (N = the value of the
//                          server=N query parameter, "?" when absent), body text
//                          "Game server N", probe <span data-external="xxyyzz">
//   /news                  normal page, link back to the login page
//   /lead/meta             meta refresh after 1 s to /game/play?server=2&client=1
//   /lead/meta?delay=N&server=M   same with N seconds to server M
//   /lead/frame            page with <iframe src="/lead/frame-inner">
//   /lead/frame-inner      frame page: meta refresh after 1 s to
//                          /game/play?server=4&client=1 and a link to it
//   /lead/frame?mode=link  iframe src="/lead/frame-inner?mode=link": that inner
//                          page only has the link (no meta refresh)
//   /redirect?to=URL       302 with Location: URL (URL may be a path)
//   /slow?ms=N             answers after N ms (at most 30000), a short page
//   /long                  a page much longer than a window (scroll bar tests)
//   /setcookie?name=A&value=B&days=D
//                          page that sets a persistent cookie A=B (path=/,
//                          expires D days ahead, default 30)
//   /plain                 text/plain body
//   anything else          404 "Not Found" page
//
// Robustness: each connection gets its own thread (tracked and joined by
// Stop); requests are read with timeouts, headers are limited to 64 KiB and
// bodies to 1 MiB; a malformed request gets "400 Bad Request". Every response
// carries Content-Length and "Connection: close".
#pragma once

#include <string>
#include <utility>
#include <vector>
#include <memory>

namespace portal {

// Paths of the built-in pages.
constexpr const char* kLoginPath = "/v6/weiduan?gc=qth";
constexpr const char* kNewsPath = "/news";
constexpr const char* kMetaLeadPath = "/lead/meta";
constexpr const char* kFrameLeadPath = "/lead/frame";
constexpr const char* kFrameInnerPath = "/lead/frame-inner";
constexpr const char* kLongPath = "/long";

// Game page path for server n: "/game/play?server=n&client=1".
std::string GamePath(int server);

// A canned answer for a route.
struct Response {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    // Extra headers, e.g. {"Set-Cookie", PersistentCookie("sid", "1", 30)}
    // or {"Location", "/news"}.
    std::vector<std::pair<std::string, std::string>> headers;
    int delayMs = 0;  // wait before answering (bounded to 30000)
};

// One request as received.
struct Request {
    std::string method;   // "GET", "POST", ... ("BAD" for a malformed request)
    std::string target;   // path + query as sent
    std::string version;  // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // all headers, in order
    std::string body;
    std::string Header(const std::string& name) const;  // case-insensitive, "" if absent
};

// "name=value; expires=<RFC 1123 date days ahead>; path=/"
std::string PersistentCookie(const std::string& name, const std::string& value, int days = 30);

class LocalPortal {
public:
    LocalPortal();
    ~LocalPortal();  // calls Stop()
    LocalPortal(const LocalPortal&) = delete;
    LocalPortal& operator=(const LocalPortal&) = delete;

    // Binds 127.0.0.1:port (0 = any free port) and starts serving on its own
    // thread. Returns false if winsock, bind or listen fails or if already
    // started.
    bool Start(unsigned short port = 0);
    // Stops accepting, closes open connections and joins every thread.
    // Safe to call twice.
    void Stop();
    bool Running() const;

    unsigned short Port() const;         // 0 when not started
    std::string BaseUrl() const;         // "http://127.0.0.1:PORT"
    std::string Url(const std::string& pathAndQuery) const;   // BaseUrl()+pathAndQuery
    std::wstring UrlW(const std::string& pathAndQuery) const;

    // Exact path+query route; replaces the built-in page of that target.
    void SetRoute(const std::string& pathAndQuery, Response response);
    void SetRoute(const std::string& pathAndQuery, int status, const std::string& contentType,
                  const std::string& body);
    void RemoveRoute(const std::string& pathAndQuery);
    void ClearRoutes();

    // Request log (thread-safe).
    std::vector<std::string> Requests() const;
    std::vector<Request> RequestDetails() const;
    int CountRequests(const std::string& substring) const;
    // Waits until some logged request (also one logged before the call)
    // contains substring. Returns false on timeout.
    bool WaitForRequest(const std::string& substring, int timeoutMs) const;
    void ClearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace portal
