// Minimal HTML reader and layout for the stand-in WebBrowser control.
#include "standin_html.h"

#include <algorithm>
#include <cwctype>

namespace standin {

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f'; }

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

std::wstring LowerStr(std::wstring s) {
    for (auto& c : s) c = Lower(c);
    return s;
}

bool StartsWithNoCase(const std::wstring& s, size_t pos, const wchar_t* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (pos + i >= s.size() || Lower(s[pos + i]) != Lower(prefix[i])) return false;
    }
    return true;
}

// Finds `needle` (lower case) case-insensitively from pos; npos if absent.
size_t FindNoCase(const std::wstring& s, size_t pos, const wchar_t* needle) {
    for (size_t i = pos; i < s.size(); ++i)
        if (StartsWithNoCase(s, i, needle)) return i;
    return std::wstring::npos;
}

struct NamedEntity {
    const wchar_t* name;
    wchar_t ch;
};
const NamedEntity kEntities[] = {
    {L"amp", L'&'},     {L"lt", L'<'},      {L"gt", L'>'},       {L"quot", L'"'},   {L"apos", L'\''},
    {L"nbsp", 0xA0},    {L"copy", 0xA9},    {L"reg", 0xAE},      {L"middot", 0xB7}, {L"mdash", 0x2014},
    {L"ndash", 0x2013}, {L"hellip", 0x2026}, {L"laquo", 0xAB},   {L"raquo", 0xBB},  {L"bull", 0x2022},
    {L"times", 0xD7},   {L"rarr", 0x2192},  {L"larr", 0x2190},
};

std::wstring DecodeEntities(const std::wstring& s) {
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != L'&') {
            out += s[i];
            continue;
        }
        size_t semi = s.find(L';', i + 1);
        if (semi == std::wstring::npos || semi - i > 10) {
            out += s[i];
            continue;
        }
        std::wstring name = s.substr(i + 1, semi - i - 1);
        bool done = false;
        if (!name.empty() && name[0] == L'#') {
            unsigned long v = 0;
            bool ok = name.size() > 1;
            bool hex = name.size() > 1 && (name[1] == L'x' || name[1] == L'X');
            for (size_t k = hex ? 2 : 1; ok && k < name.size(); ++k) {
                wchar_t c = name[k];
                int d = -1;
                if (c >= L'0' && c <= L'9') d = c - L'0';
                else if (hex && c >= L'a' && c <= L'f') d = c - L'a' + 10;
                else if (hex && c >= L'A' && c <= L'F') d = c - L'A' + 10;
                if (d < 0) ok = false;
                else v = v * (hex ? 16 : 10) + static_cast<unsigned long>(d);
                if (v > 0x10FFFF) ok = false;
            }
            if (hex && name.size() == 2) ok = false;
            if (ok && v > 0) {
                if (v >= 0x10000) {
                    v -= 0x10000;
                    out += static_cast<wchar_t>(0xD800 + (v >> 10));
                    out += static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
                } else {
                    out += static_cast<wchar_t>(v);
                }
                done = true;
            }
        } else {
            for (const auto& e : kEntities) {
                if (name == e.name) {
                    out += e.ch;
                    done = true;
                    break;
                }
            }
        }
        if (done) i = semi;
        else out += s[i];
    }
    return out;
}

struct Tag {
    std::wstring name;  // lower case
    bool closing = false;
    bool selfClosing = false;
    std::vector<std::pair<std::wstring, std::wstring>> attrs;  // names lower case, values decoded
    std::wstring Attr(const wchar_t* n) const {
        for (const auto& a : attrs)
            if (a.first == n) return a.second;
        return L"";
    }
    bool HasAttr(const wchar_t* n) const {
        for (const auto& a : attrs)
            if (a.first == n) return true;
        return false;
    }
};

// Parses a tag starting at s[pos] == '<'. On success sets `end` to the index
// after '>' (or s.size() if the tag is unterminated) and returns true.
bool ParseTag(const std::wstring& s, size_t pos, Tag& tag, size_t& end) {
    size_t i = pos + 1;
    if (i < s.size() && s[i] == L'/') {
        tag.closing = true;
        ++i;
    }
    size_t nameStart = i;
    while (i < s.size() && (iswalnum(s[i]) || s[i] == L'-' || s[i] == L':')) ++i;
    if (i == nameStart || !iswalpha(s[nameStart])) return false;
    tag.name = LowerStr(s.substr(nameStart, i - nameStart));
    for (;;) {
        while (i < s.size() && IsSpace(s[i])) ++i;
        if (i >= s.size()) {
            end = s.size();
            return true;
        }
        if (s[i] == L'>') {
            end = i + 1;
            return true;
        }
        if (s[i] == L'/') {
            tag.selfClosing = true;
            ++i;
            continue;
        }
        size_t an = i;
        while (i < s.size() && !IsSpace(s[i]) && s[i] != L'=' && s[i] != L'>' && s[i] != L'/') ++i;
        if (i == an) {  // stray character such as a quote
            ++i;
            continue;
        }
        std::wstring aname = LowerStr(s.substr(an, i - an));
        while (i < s.size() && IsSpace(s[i])) ++i;
        std::wstring value;
        if (i < s.size() && s[i] == L'=') {
            ++i;
            while (i < s.size() && IsSpace(s[i])) ++i;
            if (i < s.size() && (s[i] == L'"' || s[i] == L'\'')) {
                wchar_t q = s[i++];
                size_t vs = i;
                while (i < s.size() && s[i] != q) ++i;
                value = s.substr(vs, i - vs);
                if (i < s.size()) ++i;
            } else {
                size_t vs = i;
                while (i < s.size() && !IsSpace(s[i]) && s[i] != L'>') ++i;
                value = s.substr(vs, i - vs);
            }
        }
        tag.attrs.push_back({aname, DecodeEntities(value)});
    }
}

bool ParseColor(const std::wstring& v, COLORREF& out) {
    std::wstring s = LowerStr(v);
    while (!s.empty() && IsSpace(s.back())) s.pop_back();
    while (!s.empty() && IsSpace(s.front())) s.erase(s.begin());
    static const struct {
        const wchar_t* n;
        COLORREF c;
    } named[] = {{L"white", RGB(255, 255, 255)}, {L"black", RGB(0, 0, 0)},       {L"red", RGB(255, 0, 0)},
                 {L"green", RGB(0, 128, 0)},     {L"blue", RGB(0, 0, 255)},      {L"yellow", RGB(255, 255, 0)},
                 {L"gray", RGB(128, 128, 128)},  {L"silver", RGB(192, 192, 192)}, {L"navy", RGB(0, 0, 128)},
                 {L"lightyellow", RGB(255, 255, 224)}};
    for (const auto& n : named)
        if (s == n.n) {
            out = n.c;
            return true;
        }
    if (!s.empty() && s[0] == L'#') s.erase(s.begin());
    if (s.size() != 6 && s.size() != 3) return false;
    unsigned v6 = 0;
    for (wchar_t c : s) {
        int d = (c >= L'0' && c <= L'9') ? c - L'0' : (c >= L'a' && c <= L'f') ? c - L'a' + 10 : -1;
        if (d < 0) return false;
        v6 = v6 * 16 + static_cast<unsigned>(d);
    }
    if (s.size() == 3) {
        unsigned r = (v6 >> 8) & 0xF, g = (v6 >> 4) & 0xF, b = v6 & 0xF;
        out = RGB(r * 17, g * 17, b * 17);
    } else {
        out = RGB((v6 >> 16) & 0xFF, (v6 >> 8) & 0xFF, v6 & 0xFF);
    }
    return true;
}

int ParseDim(const std::wstring& v, int def, int lo, int hi) {
    int n = 0;
    bool any = false;
    for (wchar_t c : v) {
        if (c < L'0' || c > L'9') break;
        any = true;
        n = n * 10 + (c - L'0');
        if (n > 100000) break;
    }
    if (!any) return def;
    return std::max(lo, std::min(hi, n));
}

void ParseRefresh(const std::wstring& content, Document& doc) {
    size_t i = 0;
    while (i < content.size() && IsSpace(content[i])) ++i;
    int secs = 0;
    bool any = false;
    while (i < content.size() && content[i] >= L'0' && content[i] <= L'9') {
        any = true;
        if (secs < 100000) secs = secs * 10 + (content[i] - L'0');
        ++i;
    }
    while (i < content.size() && content[i] == L'.') ++i;  // "1.5" → 1
    while (i < content.size() && content[i] >= L'0' && content[i] <= L'9') ++i;
    if (!any) return;
    while (i < content.size() && (IsSpace(content[i]) || content[i] == L';' || content[i] == L',')) ++i;
    std::wstring url;
    if (StartsWithNoCase(content, i, L"url")) {
        size_t j = i + 3;
        while (j < content.size() && IsSpace(content[j])) ++j;
        if (j < content.size() && content[j] == L'=') {
            ++j;
            while (j < content.size() && IsSpace(content[j])) ++j;
            i = j;
        }
    }
    url = content.substr(std::min(i, content.size()));
    if (!url.empty() && (url[0] == L'\'' || url[0] == L'"')) {
        wchar_t q = url[0];
        url.erase(url.begin());
        size_t e = url.find(q);
        if (e != std::wstring::npos) url.resize(e);
    }
    while (!url.empty() && IsSpace(url.back())) url.pop_back();
    doc.hasRefresh = true;
    doc.refreshSeconds = secs;
    doc.refreshUrl = url;
}

class Builder {
public:
    explicit Builder(Document& d) : doc(d) {}

    void Text(const std::wstring& raw) {
        if (inHead && !inBody) return;
        std::wstring t = DecodeEntities(raw);
        if (pre == 0) {
            std::wstring c;
            for (wchar_t ch : t) {
                if (IsSpace(ch)) {
                    if (!lastSpace) c += L' ';
                    lastSpace = true;
                } else {
                    c += ch;
                    lastSpace = false;
                }
            }
            t.swap(c);
            if (t.empty()) return;
            Emit(t);
        } else {
            // Preformatted: split lines.
            size_t s = 0;
            for (size_t i = 0; i <= t.size(); ++i) {
                if (i == t.size() || t[i] == L'\n') {
                    std::wstring line = t.substr(s, i - s);
                    if (!line.empty() && line.back() == L'\r') line.pop_back();
                    if (!line.empty()) Emit(line);
                    if (i < t.size()) Break();
                    s = i + 1;
                }
            }
            lastSpace = false;
        }
    }

    void Emit(const std::wstring& t) {
        Item it;
        it.kind = ItemKind::Text;
        it.text = t;
        it.font = CurrentFont();
        it.color = link >= 0 ? doc.linkColor : doc.text;
        it.link = link;
        doc.items.push_back(std::move(it));
    }

    int CurrentFont() const {
        int flags = 0;
        if (bold > 0 || heading > 0) flags |= kBold;
        if (italic > 0) flags |= kItalic;
        if (underline > 0 || link >= 0) flags |= kUnderline;
        if (pre > 0) flags |= kMono;
        int size = heading == 1 ? kSizeH1 : heading == 2 ? kSizeH2 : heading == 3 ? kSizeH3 : kSizeNormal;
        return MakeFont(size, flags);
    }

    void Block(int space) {
        Item it;
        it.kind = ItemKind::Block;
        it.space = space;
        doc.items.push_back(it);
        lastSpace = true;
    }
    void Break() {
        Item it;
        it.kind = ItemKind::LineBreak;
        doc.items.push_back(it);
        lastSpace = true;
    }

    void OnTag(const Tag& t) {
        const std::wstring& n = t.name;
        if (n == L"body") {
            inBody = true;
            COLORREF c;
            if (ParseColor(t.Attr(L"bgcolor"), c)) doc.background = c;
            if (ParseColor(t.Attr(L"text"), c)) doc.text = c;
            if (ParseColor(t.Attr(L"link"), c)) doc.linkColor = c;
        } else if (n == L"head") {
            if (!t.closing) inHead = true;
            else inHead = false;
        } else if (n == L"meta") {
            if (LowerStr(t.Attr(L"http-equiv")) == L"refresh" && !doc.hasRefresh) ParseRefresh(t.Attr(L"content"), doc);
            return;
        }
        if (!t.closing && t.HasAttr(L"data-external")) {
            Item it;
            it.kind = ItemKind::External;
            it.text = t.Attr(L"data-external");
            it.font = MakeFont(kSizeNormal, kItalic);
            it.color = RGB(0, 110, 40);
            doc.items.push_back(it);
            lastSpace = false;
        }
        if (inHead && !inBody && n != L"body" && n != L"html") {
            // Nothing else in the head is shown; a body tag or a block tag ends it.
            static const wchar_t* bodyish[] = {L"p", L"div", L"h1", L"h2", L"h3", L"a", L"table", L"iframe", L"ul", L"br"};
            bool leave = false;
            for (auto* b : bodyish)
                if (n == b) leave = true;
            if (!leave) return;
            inBody = true;
        }
        if (n == L"p" || n == L"h1" || n == L"h2" || n == L"h3" || n == L"h4" || n == L"h5" || n == L"h6" ||
            n == L"ul" || n == L"ol" || n == L"blockquote" || n == L"table" || n == L"pre" || n == L"form") {
            Block(n == L"ul" || n == L"ol" || n == L"table" || n == L"form" ? 4 : 10);
            if (n[0] == L'h' && n.size() == 2 && n[1] >= L'1' && n[1] <= L'6') {
                heading = t.closing ? 0 : std::min(3, n[1] - L'0');
                if (n[1] >= L'4' && !t.closing) {
                    heading = 0;
                    bold += 1;
                } else if (n[1] >= L'4' && t.closing && bold > 0) {
                    bold -= 1;
                }
            }
            if (n == L"pre") pre = t.closing ? std::max(0, pre - 1) : pre + 1;
        } else if (n == L"div" || n == L"tr" || n == L"center" || n == L"dl" || n == L"dt" || n == L"dd" ||
                   n == L"section" || n == L"header" || n == L"footer" || n == L"nav" || n == L"article" ||
                   n == L"main") {
            Block(0);
        } else if (n == L"li") {
            Block(0);
            if (!t.closing) {
                int saved = link;
                link = -1;
                Emit(L"\x2022 ");
                link = saved;
                lastSpace = true;
            }
        } else if (n == L"td" || n == L"th") {
            if (!t.closing && !lastSpace) Emit(L" ");
            lastSpace = true;
        } else if (n == L"br") {
            Break();
        } else if (n == L"hr") {
            Item it;
            it.kind = ItemKind::Rule;
            doc.items.push_back(it);
            lastSpace = true;
        } else if (n == L"b" || n == L"strong") {
            bold = t.closing ? std::max(0, bold - 1) : bold + 1;
        } else if (n == L"i" || n == L"em") {
            italic = t.closing ? std::max(0, italic - 1) : italic + 1;
        } else if (n == L"u") {
            underline = t.closing ? std::max(0, underline - 1) : underline + 1;
        } else if (n == L"a") {
            if (t.closing) {
                link = -1;
            } else if (t.HasAttr(L"href")) {
                LinkInfo li;
                li.href = t.Attr(L"href");
                li.target = t.Attr(L"target");
                doc.links.push_back(li);
                link = static_cast<int>(doc.links.size()) - 1;
            } else {
                link = -1;
            }
        } else if ((n == L"iframe" || n == L"frame") && !t.closing) {
            FrameRef f;
            f.src = t.Attr(L"src");
            f.name = t.Attr(L"name");
            f.width = ParseDim(t.Attr(L"width"), 300, 20, 4000);
            f.height = ParseDim(t.Attr(L"height"), 150, 20, 4000);
            doc.frames.push_back(f);
            Item it;
            it.kind = ItemKind::Frame;
            it.frame = static_cast<int>(doc.frames.size()) - 1;
            doc.items.push_back(it);
            lastSpace = false;
        } else if (n == L"img" && !t.closing) {
            std::wstring alt = t.Attr(L"alt");
            if (!alt.empty()) Emit(L"[" + alt + L"]");
            lastSpace = false;
        } else if (n == L"input" && !t.closing) {
            std::wstring type = LowerStr(t.Attr(L"type"));
            std::wstring v = t.Attr(L"value");
            if (type == L"submit" || type == L"button") Emit(L"[" + (v.empty() ? std::wstring(L"Submit") : v) + L"]");
            else if (type != L"hidden") Emit(L"[" + v + L"______]");
            lastSpace = false;
        } else if (n == L"button") {
            Emit(t.closing ? L"]" : L"[");
        }
    }

    Document& doc;
    int bold = 0, italic = 0, underline = 0, heading = 0, pre = 0;
    int link = -1;
    bool lastSpace = true;
    bool inHead = false;
    bool inBody = false;
};

}  // namespace

Document ParseHtml(const std::wstring& s) {
    Document doc;
    Builder b(doc);
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        if (s[i] != L'<') {
            size_t next = s.find(L'<', i);
            if (next == std::wstring::npos) next = n;
            b.Text(s.substr(i, next - i));
            i = next;
            continue;
        }
        if (StartsWithNoCase(s, i, L"<!--")) {
            size_t e = s.find(L"-->", i + 4);
            i = e == std::wstring::npos ? n : e + 3;
            continue;
        }
        if (i + 1 < n && (s[i + 1] == L'!' || s[i + 1] == L'?')) {
            size_t e = s.find(L'>', i);
            i = e == std::wstring::npos ? n : e + 1;
            continue;
        }
        Tag tag;
        size_t end = i;
        if (!ParseTag(s, i, tag, end)) {
            b.Text(L"<");
            ++i;
            continue;
        }
        i = end;
        if (!tag.closing && (tag.name == L"script" || tag.name == L"style" || tag.name == L"title" ||
                             tag.name == L"iframe" || tag.name == L"textarea")) {
            std::wstring closeTag = L"</" + tag.name;
            size_t e = FindNoCase(s, i, closeTag.c_str());
            std::wstring inner = s.substr(i, (e == std::wstring::npos ? n : e) - i);
            if (tag.name == L"title") {
                if (doc.title.empty()) {
                    std::wstring t = DecodeEntities(inner), c;
                    bool sp = true;
                    for (wchar_t ch : t) {
                        if (IsSpace(ch)) {
                            if (!sp) c += L' ';
                            sp = true;
                        } else {
                            c += ch;
                            sp = false;
                        }
                    }
                    while (!c.empty() && c.back() == L' ') c.pop_back();
                    doc.title = c;
                }
            } else if (tag.name == L"iframe" || tag.name == L"textarea") {
                b.OnTag(tag);
                if (tag.name == L"textarea") b.Emit(L"[" + DecodeEntities(inner) + L"]");
            }
            if (e == std::wstring::npos) {
                i = n;
            } else {
                size_t gt = s.find(L'>', e);
                i = gt == std::wstring::npos ? n : gt + 1;
            }
            continue;
        }
        b.OnTag(tag);
    }
    return doc;
}

Document PlainTextDocument(const std::wstring& title, const std::wstring& text) {
    Document doc;
    doc.title = title;
    Builder b(doc);
    b.inBody = true;
    b.pre = 1;
    b.Text(text);
    return doc;
}

Document ErrorDocument(const std::wstring& url, const std::wstring& what) {
    Document doc;
    doc.title = L"Navigation failed";
    doc.background = RGB(255, 250, 240);
    Builder b(doc);
    b.inBody = true;
    b.Block(10);
    b.bold = 1;
    b.Emit(L"This page cannot be displayed.");
    b.bold = 0;
    b.Block(10);
    b.Emit(what);
    b.Break();
    b.Emit(url);
    return doc;
}

std::wstring Utf8ToWide(const std::string& bytes) {
    if (bytes.empty()) return L"";
    size_t off = 0;
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF)
        off = 3;
    int len = static_cast<int>(bytes.size() - off);
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data() + off, len, nullptr, 0);
    if (n <= 0) return L"";
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data() + off, len, &w[0], n);
    return w;
}

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty()) return "";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return "";
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &s[0], n, nullptr, nullptr);
    return s;
}

namespace {

// Splits an absolute URL into scheme ("http:"), authority ("//host:port"),
// path, query ("?..." or ""), fragment.
struct UrlParts {
    std::wstring scheme, authority, path, query, fragment;
    bool hasAuthority = false;
};

bool HasScheme(const std::wstring& s) {
    size_t i = 0;
    while (i < s.size() && (iswalnum(s[i]) || s[i] == L'+' || s[i] == L'-' || s[i] == L'.')) ++i;
    return i > 1 && i < s.size() && s[i] == L':' && iswalpha(s[0]);
}

UrlParts Split(const std::wstring& u) {
    UrlParts p;
    std::wstring rest = u;
    size_t h = rest.find(L'#');
    if (h != std::wstring::npos) {
        p.fragment = rest.substr(h);
        rest.resize(h);
    }
    size_t q = rest.find(L'?');
    if (q != std::wstring::npos) {
        p.query = rest.substr(q);
        rest.resize(q);
    }
    if (HasScheme(rest)) {
        size_t c = rest.find(L':');
        p.scheme = rest.substr(0, c + 1);
        rest = rest.substr(c + 1);
    }
    if (rest.size() >= 2 && rest[0] == L'/' && rest[1] == L'/') {
        p.hasAuthority = true;
        size_t slash = rest.find(L'/', 2);
        if (slash == std::wstring::npos) slash = rest.size();
        p.authority = rest.substr(0, slash);
        rest = rest.substr(slash);
    }
    p.path = rest;
    return p;
}

std::wstring RemoveDots(const std::wstring& path) {
    std::vector<std::wstring> out;
    size_t i = 0;
    bool absolute = !path.empty() && path[0] == L'/';
    bool trailing = false;
    while (i <= path.size()) {
        size_t s = path.find(L'/', i);
        if (s == std::wstring::npos) s = path.size();
        std::wstring seg = path.substr(i, s - i);
        trailing = false;
        if (seg == L"..") {
            if (!out.empty()) out.pop_back();
            trailing = true;
        } else if (seg == L".") {
            trailing = true;
        } else if (!seg.empty() || (s < path.size() && i != 0)) {
            if (!seg.empty()) out.push_back(seg);
        }
        i = s + 1;
    }
    std::wstring r = absolute ? L"/" : L"";
    for (size_t k = 0; k < out.size(); ++k) {
        if (k) r += L"/";
        r += out[k];
    }
    if ((trailing || (!path.empty() && path.back() == L'/')) && !out.empty()) r += L"/";
    return r;
}

}  // namespace

std::wstring ResolveUrl(const std::wstring& baseIn, const std::wstring& refIn) {
    std::wstring ref = refIn;
    while (!ref.empty() && IsSpace(ref.front())) ref.erase(ref.begin());
    while (!ref.empty() && IsSpace(ref.back())) ref.pop_back();
    if (ref.empty()) {
        size_t h = baseIn.find(L'#');
        return h == std::wstring::npos ? baseIn : baseIn.substr(0, h);
    }
    if (HasScheme(ref)) return ref;
    UrlParts b = Split(baseIn);
    if (ref.size() >= 2 && ref[0] == L'/' && ref[1] == L'/') return b.scheme + ref;
    UrlParts r = Split(ref);
    std::wstring path, query;
    if (ref[0] == L'#') {
        return b.scheme + b.authority + b.path + b.query + ref;
    }
    if (r.path.empty()) {
        path = b.path;
        query = r.query.empty() ? b.query : r.query;
    } else if (r.path[0] == L'/') {
        path = RemoveDots(r.path);
        query = r.query;
    } else {
        std::wstring dir = b.path;
        size_t slash = dir.rfind(L'/');
        dir = slash == std::wstring::npos ? (b.hasAuthority ? L"/" : L"") : dir.substr(0, slash + 1);
        path = RemoveDots(dir + r.path);
        query = r.query;
    }
    if (b.hasAuthority && path.empty()) path = L"/";
    return b.scheme + b.authority + path + query + r.fragment;
}

// ---- layout ----

FontCache::~FontCache() {
    for (auto& f : fonts_) DeleteObject(f.second);
}

HFONT FontCache::Get(int font) {
    auto it = fonts_.find(font);
    if (it != fonts_.end()) return it->second;
    int size = (font >> kSizeShift) & 7;
    static const int heights[] = {-15, -17, -21, -27, -23, -12, -15, -15};
    LOGFONTW lf{};
    lf.lfHeight = heights[size];
    lf.lfWeight = (font & kBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (font & kItalic) ? TRUE : FALSE;
    lf.lfUnderline = (font & kUnderline) ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynW(lf.lfFaceName, (font & kMono) ? L"Courier New" : L"Tahoma", LF_FACESIZE);
    HFONT h = CreateFontIndirectW(&lf);
    if (!h) h = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts_[font] = h;
    return h;
}

namespace {

class Layouter {
public:
    Layouter(HDC dc, FontCache& fonts, int width) : dc_(dc), fonts_(fonts) {
        left_ = kMargin;
        right_ = std::max(width - kMargin, left_ + 40);
        x_ = left_;
        y_ = kMargin;
        TEXTMETRICW tm{};
        SelectObject(dc_, fonts_.Get(0));
        GetTextMetricsW(dc_, &tm);
        normalLine_ = tm.tmHeight + tm.tmExternalLeading;
        if (normalLine_ <= 0) normalLine_ = 16;
    }

    static constexpr int kMargin = 10;

    void Title(const std::wstring& title) {
        if (title.empty()) return;
        AddText(title, MakeFont(kSizeTitle, kBold), RGB(24, 48, 96), -1);
        FlushLine();
        y_ += 3;
        Box r;
        r.kind = BoxKind::Rule;
        r.rc = {left_, y_, right_, y_ + 2};
        r.color = RGB(120, 140, 180);
        result.boxes.push_back(r);
        y_ += 8;
    }

    void Item(const standin::Item& it) {
        switch (it.kind) {
            case ItemKind::Text:
            case ItemKind::External:
                AddText(it.text, it.font, it.color, it.link);
                break;
            case ItemKind::LineBreak:
                if (line_.empty()) y_ += normalLine_;
                else FlushLine();
                break;
            case ItemKind::Block:
                FlushLine();
                pendingSpace_ = std::max(pendingSpace_, it.space);
                break;
            case ItemKind::Rule: {
                FlushLine();
                y_ += 4;
                Box r;
                r.kind = BoxKind::Rule;
                r.rc = {left_, y_, right_, y_ + 2};
                r.color = RGB(160, 160, 160);
                result.boxes.push_back(r);
                y_ += 8;
                break;
            }
            case ItemKind::Frame: {
                // Frame box: width/height of the frame plus a 2-pixel border.
                int w = it.frame >= 0 ? frameW_(it.frame) : 300;
                int h = it.frame >= 0 ? frameH_(it.frame) : 150;
                w = std::min(w + 4, std::max(40, right_ - left_));
                h += 4;
                if (x_ > left_ && x_ + w > right_) FlushLine();
                StartContent();
                Pending p;
                p.box.kind = BoxKind::Frame;
                p.box.rc = {x_, 0, x_ + w, h};
                p.box.frame = it.frame;
                p.ascent = h;
                p.descent = 2;
                line_.push_back(p);
                x_ += w + 4;
                lastSpace_ = false;
                break;
            }
        }
    }

    void Finish() {
        FlushLine();
        result.height = y_ + kMargin;
    }

    const Document* doc = nullptr;
    LayoutResult result;

private:
    struct Pending {
        Box box;
        int ascent = 0;
        int descent = 0;
    };

    int frameW_(int i) const { return doc && i < static_cast<int>(doc->frames.size()) ? doc->frames[i].width : 300; }
    int frameH_(int i) const { return doc && i < static_cast<int>(doc->frames.size()) ? doc->frames[i].height : 150; }

    void StartContent() {
        if (line_.empty() && pendingSpace_ > 0) {
            if (y_ > kMargin) y_ += pendingSpace_;
            pendingSpace_ = 0;
        }
    }

    void Metrics(int font, int& ascent, int& descent) {
        SelectObject(dc_, fonts_.Get(font));
        TEXTMETRICW tm{};
        GetTextMetricsW(dc_, &tm);
        ascent = tm.tmAscent;
        descent = tm.tmDescent + tm.tmExternalLeading;
    }

    int Width(int font, const wchar_t* s, int len) {
        if (len <= 0) return 0;
        SelectObject(dc_, fonts_.Get(font));
        SIZE sz{};
        GetTextExtentPoint32W(dc_, s, len, &sz);
        return sz.cx;
    }

    void Place(const std::wstring& word, int font, COLORREF color, int link, int width) {
        StartContent();
        if (!line_.empty()) {
            Pending& last = line_.back();
            if (last.box.kind == BoxKind::Text && last.box.font == font && last.box.color == color &&
                last.box.link == link && last.box.rc.right == x_) {
                last.box.text += word;
                last.box.rc.right += width;
                x_ += width;
                return;
            }
        }
        Pending p;
        p.box.kind = BoxKind::Text;
        p.box.text = word;
        p.box.font = font;
        p.box.color = color;
        p.box.link = link;
        p.box.rc = {x_, 0, x_ + width, 0};
        Metrics(font, p.ascent, p.descent);
        line_.push_back(p);
        x_ += width;
    }

    void AddText(const std::wstring& text, int font, COLORREF color, int link) {
        size_t i = 0;
        while (i < text.size()) {
            size_t j = i;
            while (j < text.size() && text[j] != L' ') ++j;
            size_t k = j;
            while (k < text.size() && text[k] == L' ') ++k;
            // word = text[i, j), spaces = text[j, k)
            if (j == i) {  // only spaces
                if (!line_.empty() && !lastSpace_) {
                    int w = Width(font, L" ", 1);
                    Place(L" ", font, color, link, w);
                    lastSpace_ = true;
                }
                i = k;
                continue;
            }
            std::wstring word = text.substr(i, j - i);
            int w = Width(font, word.c_str(), static_cast<int>(word.size()));
            if (x_ > left_ && x_ + w > right_) {
                // Drop a trailing space before wrapping.
                if (!line_.empty() && line_.back().box.kind == BoxKind::Text && !line_.back().box.text.empty() &&
                    line_.back().box.text.back() == L' ') {
                    Pending& last = line_.back();
                    int sw = Width(last.box.font, L" ", 1);
                    last.box.text.pop_back();
                    last.box.rc.right -= sw;
                }
                FlushLine();
            }
            // Break words wider than the line.
            while (w > right_ - left_ && word.size() > 1) {
                int fit = 0;
                SIZE sz{};
                SelectObject(dc_, fonts_.Get(font));
                GetTextExtentExPointW(dc_, word.c_str(), static_cast<int>(word.size()), right_ - x_, &fit, nullptr, &sz);
                if (fit < 1) fit = 1;
                if (fit >= static_cast<int>(word.size())) break;
                std::wstring head = word.substr(0, static_cast<size_t>(fit));
                Place(head, font, color, link, Width(font, head.c_str(), fit));
                FlushLine();
                word = word.substr(static_cast<size_t>(fit));
                w = Width(font, word.c_str(), static_cast<int>(word.size()));
            }
            Place(word, font, color, link, w);
            lastSpace_ = false;
            if (k > j) {
                int sw = Width(font, L" ", 1);
                Place(L" ", font, color, link, sw);
                lastSpace_ = true;
            }
            i = k;
        }
    }

    void FlushLine() {
        if (line_.empty()) return;
        int asc = 0, desc = 0;
        for (const auto& p : line_) {
            asc = std::max(asc, p.ascent);
            desc = std::max(desc, p.descent);
        }
        int baseline = y_ + asc;
        for (auto& p : line_) {
            int h = p.box.kind == BoxKind::Frame ? p.box.rc.bottom : p.ascent + p.descent;
            p.box.rc.top = baseline - p.ascent;
            p.box.rc.bottom = p.box.rc.top + h;
            result.boxes.push_back(p.box);
        }
        y_ = baseline + desc + 1;
        line_.clear();
        x_ = left_;
        lastSpace_ = true;
    }

    HDC dc_;
    FontCache& fonts_;
    int left_ = 0, right_ = 0, x_ = 0, y_ = 0;
    int normalLine_ = 16;
    int pendingSpace_ = 0;
    bool lastSpace_ = true;
    std::vector<Pending> line_;
};

}  // namespace

LayoutResult Layout(const Document& doc, HDC dc, FontCache& fonts, int width) {
    HGDIOBJ old = SelectObject(dc, fonts.Get(0));
    Layouter l(dc, fonts, width);
    l.doc = &doc;
    l.Title(doc.title);
    for (const auto& it : doc.items) l.Item(it);
    l.Finish();
    SelectObject(dc, old);
    return std::move(l.result);
}

}  // namespace standin
