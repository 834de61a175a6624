// Minimal HTML reader and GDI layout for the stand-in WebBrowser control.
// Test support only. Never reads past its input: malformed markup degrades
// into text, unknown tags are ignored.
//
// Supported markup (everything else is ignored, its text still shown):
//   <title>                       shown as a heading above the page
//   <body bgcolor text link>      page colours (#RRGGBB or a few names)
//   p div h1 h2 h3 h4 ul ol li table tr blockquote center pre form  blocks
//   br hr                         line break, horizontal rule
//   b strong i em u               bold, italic, underline
//   a href target                 link (underlined, clickable, Tab/Enter)
//   iframe/frame src name width height   framed sub-page (default 300 x 150)
//   meta http-equiv="refresh" content="N;url=URL"   timed navigation
//   img alt                       shown as "[alt]"
//   input type=submit/button value, button   shown as "[value]"
//   script style (and comments)   skipped
//   <span data-external="NAME"></span>  window.external probe: replaced by
//       the text "window.external.NAME = VALUE" (the value of the host's
//       external object's property NAME, read with GetIDsOfNames and
//       Invoke(DISPATCH_PROPERTYGET)), or by a failure text with the HRESULT.
//       The attribute works on any element; NAME is taken verbatim.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace standin {

enum FontFlags : int {
    kBold = 1,
    kItalic = 2,
    kUnderline = 4,
    kMono = 8,
    // size class in bits 4..6
    kSizeShift = 4,
};
enum SizeClass : int { kSizeNormal = 0, kSizeH3 = 1, kSizeH2 = 2, kSizeH1 = 3, kSizeTitle = 4, kSizeSmall = 5 };

inline int MakeFont(int sizeClass, int flags) { return (sizeClass << kSizeShift) | flags; }

enum class ItemKind { Text, LineBreak, Block, Rule, Frame, External };

struct Item {
    ItemKind kind = ItemKind::Text;
    std::wstring text;   // Text: the text; External: the property name
    int font = 0;        // MakeFont(...)
    COLORREF color = 0;
    int link = -1;       // index into Document::links
    int frame = -1;      // Frame: index into Document::frames
    int space = 0;       // Block: vertical space in pixels
};

struct LinkInfo {
    std::wstring href;    // as written (entities decoded), not resolved
    std::wstring target;  // target attribute
};

struct FrameRef {
    std::wstring src;
    std::wstring name;
    int width = 300;
    int height = 150;
};

struct Document {
    std::wstring title;
    COLORREF background = RGB(255, 255, 255);
    COLORREF text = RGB(0, 0, 0);
    COLORREF linkColor = RGB(0, 0, 204);
    std::vector<Item> items;
    std::vector<LinkInfo> links;
    std::vector<FrameRef> frames;
    bool hasRefresh = false;
    int refreshSeconds = 0;
    std::wstring refreshUrl;  // unresolved; empty = the page itself
};

// Parses HTML text (already decoded to UTF-16).
Document ParseHtml(const std::wstring& html);
// A document showing text as-is (text/plain pages).
Document PlainTextDocument(const std::wstring& title, const std::wstring& text);
// A document for a failed navigation.
Document ErrorDocument(const std::wstring& url, const std::wstring& what);

// Decodes bytes as UTF-8 (invalid sequences become U+FFFD).
std::wstring Utf8ToWide(const std::string& bytes);
std::string WideToUtf8(const std::wstring& text);

// Resolves a (possibly relative) reference against an absolute base URL.
std::wstring ResolveUrl(const std::wstring& base, const std::wstring& ref);

// ---- layout ----

enum class BoxKind { Text, Rule, Frame };

struct Box {
    BoxKind kind = BoxKind::Text;
    RECT rc{};           // in content coordinates (origin = frame's top-left)
    std::wstring text;
    int font = 0;
    COLORREF color = 0;
    int link = -1;
    int frame = -1;      // Frame: index into Document::frames
};

class FontCache {
public:
    FontCache() = default;
    ~FontCache();
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;
    HFONT Get(int font);

private:
    std::map<int, HFONT> fonts_;
};

struct LayoutResult {
    std::vector<Box> boxes;
    int height = 0;  // content height in pixels
};

// Lays the document out for a given width. `externals` gives the text to
// show for External items (by property name).
LayoutResult Layout(const Document& doc, HDC dc, FontCache& fonts, int width);

}  // namespace standin
