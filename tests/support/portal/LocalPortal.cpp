// LocalPortal implementation: see LocalPortal.h for the contract.
#include "LocalPortal.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace portal {

namespace {

constexpr size_t kMaxHeader = 64 * 1024;
constexpr size_t kMaxBody = 1024 * 1024;
constexpr int kReadTimeoutMs = 10000;
constexpr int kMaxDelayMs = 30000;

std::string ToLower(std::string s) {
    for (char& c : s) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

int HexVal(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string UrlDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexVal(s[i + 1]) >= 0 && HexVal(s[i + 2]) >= 0) {
            out += static_cast<char>(HexVal(s[i + 1]) * 16 + HexVal(s[i + 2]));
            i += 2;
        } else if (s[i] == '+') {
            out += ' ';
        } else {
            out += s[i];
        }
    }
    return out;
}

// Value of query parameter `name` in target ("" when absent).
std::string QueryParam(const std::string& target, const std::string& name, bool* found = nullptr) {
    if (found) *found = false;
    size_t q = target.find('?');
    if (q == std::string::npos) return "";
    std::string query = target.substr(q + 1);
    size_t hash = query.find('#');
    if (hash != std::string::npos) query.resize(hash);
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        if (amp == std::string::npos) amp = query.size();
        std::string pair = query.substr(pos, amp - pos);
        size_t eq = pair.find('=');
        std::string key = pair.substr(0, eq);
        if (key == name) {
            if (found) *found = true;
            return eq == std::string::npos ? "" : UrlDecode(pair.substr(eq + 1));
        }
        pos = amp + 1;
    }
    return "";
}

std::string PathOf(const std::string& target) {
    size_t q = target.find_first_of("?#");
    return q == std::string::npos ? target : target.substr(0, q);
}

std::string HtmlEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

int ToInt(const std::string& s, int def) {
    if (s.empty()) return def;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str()) return def;
    if (v > 1000000) v = 1000000;
    if (v < -1000000) v = -1000000;
    return static_cast<int>(v);
}

const char* StatusText(int status) {
    switch (status) {
        case 200: return "OK";
        case 201: return "Created";
        case 204: return "No Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 303: return "See Other";
        case 304: return "Not Modified";
        case 307: return "Temporary Redirect";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 413: return "Payload Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

std::string Page(const std::string& title, const std::string& bodyHtml, const std::string& head = "") {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
           "</title>" + head + "</head>\n<body bgcolor=\"#F4F7FB\">\n" + bodyHtml + "\n</body></html>\n";
}

Response Html(const std::string& body, int status = 200) {
    Response r;
    r.status = status;
    r.body = body;
    return r;
}

std::string GameServerOf(const std::string& target) {
    bool found = false;
    std::string s = QueryParam(target, "server", &found);
    if (!found || s.empty()) return "?";
    std::string clean;
    for (char c : s)
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) clean += c;
    return clean.empty() ? "?" : clean.substr(0, 16);
}

// Built-in content for a target. `status` 0 = not handled (404).
Response BuiltIn(const std::string& method, const std::string& target) {
    const std::string path = PathOf(target);
    if (target == kLoginPath) {
        return Html(Page("Vellmar Portal - Login",
            "<h1>Vellmar Online</h1>\n"
            "<p>Welcome to the Vellmar portal. This is the <b>login page</b> of the local test portal.</p>\n"
            "<p>Script bridge: <span data-external=\"xxyyzz\"></span></p>\n"
            "<h2>Choose a server</h2>\n"
            "<p><a href=\"/game/play?server=1&amp;client=1\">Server 1 - Dawn</a><br>\n"
            "<a href=\"/game/play?server=3&amp;client=1\">Server 3 - Ember</a></p>\n"
            "<h3>Other pages</h3>\n"
            "<p><a href=\"/news\">Portal news</a> (a normal page, not a game address)<br>\n"
            "<a href=\"/lead/meta\">Server 2 via meta refresh</a><br>\n"
            "<a href=\"/lead/frame\">Server 4 via a frame</a></p>\n"));
    }
    if (target.find("client=1") != std::string::npos) {
        std::string n = GameServerOf(target);
        return Html(Page("Game server " + n,
            "<h1>Game server " + n + "</h1>\n"
            "<p>You are playing on <b>Game server " + n + "</b>. (" + HtmlEscape(method) + " " +
                HtmlEscape(target) + ")</p>\n"
            "<p>Script bridge: <span data-external=\"xxyyzz\"></span></p>\n"
            "<p><a href=\"/v6/weiduan?gc=qth\">Back to the login page</a></p>\n"));
    }
    if (target == "/") {
        return Html(Page("Vellmar local portal",
            "<h1>Vellmar local portal</h1>\n<p><a href=\"/v6/weiduan?gc=qth\">Login page</a><br>"
            "<a href=\"/lead/meta\">Meta refresh lead</a><br><a href=\"/lead/frame\">Frame lead</a><br>"
            "<a href=\"/news\">News</a></p>"));
    }
    if (path == kNewsPath) {
        return Html(Page("Portal news",
            "<h1>Portal news</h1>\n<p>Server maintenance is over. This page is <b>not</b> a game address.</p>\n"
            "<p><a href=\"/v6/weiduan?gc=qth\">Back to the login page</a></p>\n"));
    }
    if (path == kMetaLeadPath) {
        int delay = ToInt(QueryParam(target, "delay"), 1);
        if (delay < 0) delay = 0;
        std::string server = QueryParam(target, "server");
        if (server.empty()) server = "2";
        std::string dest = "/game/play?server=" + server + "&client=1";
        return Html(Page("Entering server " + server,
            "<h1>Entering server " + HtmlEscape(server) + "</h1>\n<p>You will be taken to the game in " +
                std::to_string(delay) + " second(s).</p>\n",
            "<meta http-equiv=\"refresh\" content=\"" + std::to_string(delay) + ";url=" + HtmlEscape(dest) + "\">"));
    }
    if (path == kFrameLeadPath) {
        bool linkOnly = QueryParam(target, "mode") == "link";
        std::string inner = std::string(kFrameInnerPath) + (linkOnly ? "?mode=link" : "");
        return Html(Page("Server 4 lobby",
            "<h1>Server 4 lobby</h1>\n<p>The game address comes from the frame below.</p>\n"
            "<iframe src=\"" + HtmlEscape(inner) + "\" width=\"420\" height=\"140\" name=\"lobby\"></iframe>\n"
            "<p>Below the frame.</p>\n"));
    }
    if (path == kFrameInnerPath) {
        bool linkOnly = QueryParam(target, "mode") == "link";
        std::string head = linkOnly ? "" : "<meta http-equiv=\"refresh\" content=\"1;url=/game/play?server=4&amp;client=1\">";
        return Html(Page("Lobby frame",
            "<p>Inside the frame.</p>\n<p><a href=\"/game/play?server=4&amp;client=1\">Enter server 4</a></p>\n", head));
    }
    if (path == "/redirect") {
        std::string to = QueryParam(target, "to");
        if (to.empty()) to = "/news";
        Response r = Html(Page("Moved", "<p>Moved to <a href=\"" + HtmlEscape(to) + "\">here</a>.</p>"), 302);
        r.headers.push_back({"Location", to});
        return r;
    }
    if (path == "/slow") {
        int ms = ToInt(QueryParam(target, "ms"), 2000);
        Response r = Html(Page("Slow page", "<h1>Slow page</h1><p>Answered after " + std::to_string(ms) + " ms.</p>"));
        r.delayMs = ms;
        return r;
    }
    if (path == kLongPath) {
        std::string body = "<h1>A long page</h1>\n";
        for (int i = 1; i <= 120; ++i)
            body += "<p>Paragraph " + std::to_string(i) + " of the long page, written to be taller than any window.</p>\n";
        return Html(Page("Long page", body));
    }
    if (path == "/setcookie") {
        std::string name = QueryParam(target, "name");
        if (name.empty()) name = "vellmar_sid";
        std::string value = QueryParam(target, "value");
        if (value.empty()) value = "standin";
        int days = ToInt(QueryParam(target, "days"), 30);
        Response r = Html(Page("Cookie set", "<h1>Cookie set</h1><p>" + HtmlEscape(name) + "=" + HtmlEscape(value) + "</p>"));
        r.headers.push_back({"Set-Cookie", PersistentCookie(name, value, days)});
        return r;
    }
    if (path == "/plain") {
        Response r;
        r.contentType = "text/plain; charset=utf-8";
        r.body = "Plain text from the local portal.\nSecond line.\n";
        return r;
    }
    Response r = Html(Page("404 Not Found", "<h1>Not Found</h1><p>" + HtmlEscape(target) + " is not on this portal.</p>"), 404);
    return r;
}

bool SendAll(SOCKET s, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        int chunk = static_cast<int>(std::min<size_t>(data.size() - sent, 64 * 1024));
        int n = send(s, data.data() + sent, chunk, 0);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string GamePath(int server) {
    return "/game/play?server=" + std::to_string(server) + "&client=1";
}

std::string PersistentCookie(const std::string& name, const std::string& value, int days) {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    u.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(days) * 24LL * 3600LL * 10000000LL);
    ft.dwLowDateTime = u.LowPart;
    ft.dwHighDateTime = u.HighPart;
    SYSTEMTIME st;
    FileTimeToSystemTime(&ft, &st);
    static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char date[64];
    std::snprintf(date, sizeof date, "%s, %02u %s %04u %02u:%02u:%02u GMT", kDays[st.wDayOfWeek % 7],
                  st.wDay, kMonths[(st.wMonth + 11) % 12], st.wYear, st.wHour, st.wMinute, st.wSecond);
    return name + "=" + value + "; expires=" + date + "; path=/";
}

std::string Request::Header(const std::string& name) const {
    std::string want = ToLower(name);
    for (const auto& h : headers)
        if (ToLower(h.first) == want) return h.second;
    return "";
}

struct LocalPortal::Impl {
    struct Conn {
        std::thread thread;
        SOCKET sock = INVALID_SOCKET;
        bool done = false;
    };

    mutable std::mutex mu;
    mutable std::condition_variable cv;
    std::map<std::string, Response> routes;
    std::vector<Request> log;
    std::vector<std::string> lines;

    SOCKET listenSock = INVALID_SOCKET;
    std::thread acceptThread;
    std::atomic<bool> stopping{false};
    std::atomic<bool> running{false};
    unsigned short port = 0;
    bool wsa = false;

    std::mutex connMu;
    std::vector<std::unique_ptr<Conn>> conns;

    void Record(const Request& r) {
        std::string line = r.method + " " + r.target;
        static const char* kInteresting[] = {"Cookie", "Referer", "Content-Type", "Content-Length"};
        for (const char* h : kInteresting) {
            std::string v = r.Header(h);
            if (!v.empty()) line += std::string(" | ") + h + ": " + v;
        }
        {
            std::lock_guard<std::mutex> lock(mu);
            log.push_back(r);
            lines.push_back(line);
        }
        cv.notify_all();
    }

    void ReapDone() {
        std::vector<std::unique_ptr<Conn>> finished;
        {
            std::lock_guard<std::mutex> lock(connMu);
            for (auto it = conns.begin(); it != conns.end();) {
                if ((*it)->done) {
                    finished.push_back(std::move(*it));
                    it = conns.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (auto& c : finished)
            if (c->thread.joinable()) c->thread.join();
    }

    void AcceptLoop() {
        while (!stopping) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(listenSock, &set);
            timeval tv{0, 100 * 1000};
            int r = select(0, &set, nullptr, nullptr, &tv);
            ReapDone();
            if (stopping) break;
            if (r <= 0) continue;
            SOCKET s = accept(listenSock, nullptr, nullptr);
            if (s == INVALID_SOCKET) continue;
            auto conn = std::make_unique<Conn>();
            Conn* c = conn.get();
            c->sock = s;
            std::lock_guard<std::mutex> lock(connMu);
            conns.push_back(std::move(conn));
            c->thread = std::thread([this, c] { Serve(c); });
        }
    }

    // Reads from the connection until `pred` says enough, timeout or close.
    bool ReadMore(SOCKET s, std::string& buf, size_t limit, DWORD deadline) {
        while (!stopping) {
            DWORD now = GetTickCount();
            if (static_cast<LONG>(deadline - now) <= 0) return false;
            fd_set set;
            FD_ZERO(&set);
            FD_SET(s, &set);
            timeval tv{0, 100 * 1000};
            int r = select(0, &set, nullptr, nullptr, &tv);
            if (r < 0) return false;
            if (r == 0) continue;
            char tmp[4096];
            size_t room = limit > buf.size() ? limit - buf.size() : 0;
            if (room == 0) return false;
            int n = recv(s, tmp, static_cast<int>(std::min<size_t>(sizeof tmp, room)), 0);
            if (n <= 0) return false;
            buf.append(tmp, static_cast<size_t>(n));
            return true;
        }
        return false;
    }

    static std::string BuildResponse(const Response& r, bool head) {
        std::string out = "HTTP/1.1 " + std::to_string(r.status) + " " + StatusText(r.status) + "\r\n";
        out += "Server: VellmarLocalPortal/1.0\r\n";
        if (!r.contentType.empty()) out += "Content-Type: " + r.contentType + "\r\n";
        for (const auto& h : r.headers) out += h.first + ": " + h.second + "\r\n";
        out += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n";
        if (!head) out += r.body;
        return out;
    }

    void SendSimple(SOCKET s, int status, const std::string& text) {
        Response r;
        r.status = status;
        r.contentType = "text/plain; charset=utf-8";
        r.body = text + "\n";
        SendAll(s, BuildResponse(r, false));
    }

    void Serve(Conn* c) {
        SOCKET s = c->sock;
        ServeRequest(s);
        shutdown(s, SD_SEND);
        // Drain briefly so the peer sees an orderly close, not a reset.
        {
            char tmp[512];
            DWORD until = GetTickCount() + 200;
            while (static_cast<LONG>(until - GetTickCount()) > 0) {
                fd_set set;
                FD_ZERO(&set);
                FD_SET(s, &set);
                timeval tv{0, 20 * 1000};
                if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
                if (recv(s, tmp, sizeof tmp, 0) <= 0) break;
            }
        }
        std::lock_guard<std::mutex> lock(connMu);
        closesocket(s);
        c->sock = INVALID_SOCKET;
        c->done = true;
    }

    void ServeRequest(SOCKET s) {
        std::string buf;
        DWORD deadline = GetTickCount() + kReadTimeoutMs;
        size_t headerEnd = std::string::npos;
        size_t sepLen = 4;
        for (;;) {
            headerEnd = buf.find("\r\n\r\n");
            if (headerEnd == std::string::npos) {
                size_t lf = buf.find("\n\n");
                if (lf != std::string::npos) {
                    headerEnd = lf;
                    sepLen = 2;
                }
            }
            if (headerEnd != std::string::npos) break;
            if (buf.size() >= kMaxHeader) {
                Request bad;
                bad.method = "BAD";
                bad.target = "(header too large)";
                Record(bad);
                SendSimple(s, 400, "Bad Request");
                return;
            }
            if (!ReadMore(s, buf, kMaxHeader, deadline)) {
                if (!buf.empty() && !stopping) {
                    Request bad;
                    bad.method = "BAD";
                    bad.target = "(incomplete request)";
                    Record(bad);
                    SendSimple(s, 400, "Bad Request");
                }
                return;
            }
        }
        std::string head = buf.substr(0, headerEnd);
        std::string rest = buf.substr(headerEnd + sepLen);

        // Split lines.
        std::vector<std::string> hl;
        size_t pos = 0;
        while (pos <= head.size()) {
            size_t nl = head.find('\n', pos);
            if (nl == std::string::npos) nl = head.size();
            std::string line = head.substr(pos, nl - pos);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            hl.push_back(line);
            pos = nl + 1;
        }
        Request req;
        bool ok = !hl.empty();
        if (ok) {
            const std::string& rl = hl[0];
            size_t sp1 = rl.find(' ');
            size_t sp2 = sp1 == std::string::npos ? std::string::npos : rl.find(' ', sp1 + 1);
            if (sp1 == std::string::npos || sp2 == std::string::npos || sp1 == 0 || sp2 == sp1 + 1) {
                ok = false;
            } else {
                req.method = rl.substr(0, sp1);
                req.target = rl.substr(sp1 + 1, sp2 - sp1 - 1);
                req.version = rl.substr(sp2 + 1);
                if (req.version.compare(0, 5, "HTTP/") != 0 || req.target.find(' ') != std::string::npos)
                    ok = false;
                for (char ch : req.method)
                    if (ch < 'A' || ch > 'Z') ok = false;
            }
        }
        for (size_t i = 1; ok && i < hl.size(); ++i) {
            if (hl[i].empty()) continue;
            size_t colon = hl[i].find(':');
            if (colon == std::string::npos || colon == 0) {
                ok = false;
                break;
            }
            req.headers.push_back({Trim(hl[i].substr(0, colon)), Trim(hl[i].substr(colon + 1))});
        }
        if (!ok) {
            Request bad;
            bad.method = "BAD";
            bad.target = hl.empty() ? std::string() : hl[0].substr(0, 200);
            Record(bad);
            SendSimple(s, 400, "Bad Request");
            return;
        }
        // Body.
        std::string cl = req.Header("Content-Length");
        if (!cl.empty()) {
            char* end = nullptr;
            unsigned long long len = std::strtoull(cl.c_str(), &end, 10);
            if (end == cl.c_str() || len > kMaxBody) {
                Record(req);
                SendSimple(s, len > kMaxBody ? 413 : 400, "Bad Content-Length");
                return;
            }
            while (rest.size() < len) {
                if (!ReadMore(s, rest, static_cast<size_t>(len), deadline)) break;
            }
            if (rest.size() > len) rest.resize(static_cast<size_t>(len));
            req.body = rest;
        }
        Record(req);

        Response resp;
        bool routed = false;
        {
            std::lock_guard<std::mutex> lock(mu);
            auto it = routes.find(req.target);
            if (it != routes.end()) {
                resp = it->second;
                routed = true;
            }
        }
        if (!routed) resp = BuiltIn(req.method, req.target);
        int delay = std::min(std::max(resp.delayMs, 0), kMaxDelayMs);
        DWORD until = GetTickCount() + static_cast<DWORD>(delay);
        while (delay > 0 && !stopping && static_cast<LONG>(until - GetTickCount()) > 0) Sleep(20);
        if (stopping) return;
        SendAll(s, BuildResponse(resp, req.method == "HEAD"));
    }
};

LocalPortal::LocalPortal() : impl_(new Impl) {}

LocalPortal::~LocalPortal() { Stop(); }

bool LocalPortal::Start(unsigned short port) {
    Impl& d = *impl_;
    if (d.running) return false;
    WSADATA wd;
    if (WSAStartup(MAKEWORD(2, 2), &wd) != 0) return false;
    d.wsa = true;
    SOCKET ls = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (ls == INVALID_SOCKET) {
        WSACleanup();
        d.wsa = false;
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (bind(ls, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(ls, 64) != 0) {
        closesocket(ls);
        WSACleanup();
        d.wsa = false;
        return false;
    }
    int len = sizeof addr;
    getsockname(ls, reinterpret_cast<sockaddr*>(&addr), &len);
    d.port = ntohs(addr.sin_port);
    d.listenSock = ls;
    d.stopping = false;
    d.running = true;
    d.acceptThread = std::thread([&d] { d.AcceptLoop(); });
    return true;
}

void LocalPortal::Stop() {
    Impl& d = *impl_;
    if (!d.running) return;
    d.stopping = true;
    if (d.acceptThread.joinable()) d.acceptThread.join();
    closesocket(d.listenSock);
    d.listenSock = INVALID_SOCKET;
    {
        std::lock_guard<std::mutex> lock(d.connMu);
        for (auto& c : d.conns)
            if (c->sock != INVALID_SOCKET) shutdown(c->sock, SD_BOTH);
    }
    std::vector<std::unique_ptr<Impl::Conn>> all;
    {
        std::lock_guard<std::mutex> lock(d.connMu);
        all.swap(d.conns);
    }
    for (auto& c : all)
        if (c->thread.joinable()) c->thread.join();
    if (d.wsa) WSACleanup();
    d.wsa = false;
    d.running = false;
    d.port = 0;
}

bool LocalPortal::Running() const { return impl_->running; }

unsigned short LocalPortal::Port() const { return impl_->port; }

std::string LocalPortal::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(impl_->port); }

std::string LocalPortal::Url(const std::string& pathAndQuery) const { return BaseUrl() + pathAndQuery; }

std::wstring LocalPortal::UrlW(const std::string& pathAndQuery) const {
    std::string u = Url(pathAndQuery);
    int n = MultiByteToWideChar(CP_UTF8, 0, u.c_str(), static_cast<int>(u.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, u.c_str(), static_cast<int>(u.size()), &w[0], n);
    return w;
}

void LocalPortal::SetRoute(const std::string& pathAndQuery, Response response) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->routes[pathAndQuery] = std::move(response);
}

void LocalPortal::SetRoute(const std::string& pathAndQuery, int status, const std::string& contentType,
                           const std::string& body) {
    Response r;
    r.status = status;
    r.contentType = contentType;
    r.body = body;
    SetRoute(pathAndQuery, std::move(r));
}

void LocalPortal::RemoveRoute(const std::string& pathAndQuery) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->routes.erase(pathAndQuery);
}

void LocalPortal::ClearRoutes() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->routes.clear();
}

std::vector<std::string> LocalPortal::Requests() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->lines;
}

std::vector<Request> LocalPortal::RequestDetails() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->log;
}

int LocalPortal::CountRequests(const std::string& substring) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    int n = 0;
    for (const auto& l : impl_->lines)
        if (l.find(substring) != std::string::npos) ++n;
    return n;
}

bool LocalPortal::WaitForRequest(const std::string& substring, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(impl_->mu);
    auto has = [&] {
        for (const auto& l : impl_->lines)
            if (l.find(substring) != std::string::npos) return true;
        return false;
    };
    return impl_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs), has);
}

void LocalPortal::ClearRequests() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->log.clear();
    impl_->lines.clear();
}

}  // namespace portal
