// Splitting extended templates: CLSID items come out, everything else stays byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/DialogTemplate.h"

namespace {

// Writes a DLGTEMPLATEEX the way the resource compiler does.
class TemplateWriter {
public:
  TemplateWriter(DWORD style, bool font) {
    word(1); word(0xFFFF); dword(0); dword(0); dword(style);
    countAt = bytes.size(); word(0);
    word(0); word(0); word(200); word(100);
    word(0); word(0); str(L"");
    if (font) { word(9); word(0); bytes.push_back(0); bytes.push_back(1); str(L"MS Shell Dlg"); }
  }
  void item(DWORD id, const std::wstring& cls, DWORD style, short x, short y, short cx, short cy,
            std::vector<BYTE> extra = {}) {
    while (bytes.size() % 4) bytes.push_back(0);
    dword(0); dword(0); dword(style); word(x); word(y); word(cx); word(cy); dword(id);
    if (cls == L"BUTTON") { word(0xFFFF); word(0x80); } else { str(cls); }
    str(L"t");
    word(static_cast<WORD>(extra.size()));
    bytes.insert(bytes.end(), extra.begin(), extra.end());
    ++count;
    std::memcpy(bytes.data() + countAt, &count, 2);
  }
  std::vector<BYTE> bytes;

private:
  void word(WORD w) { bytes.push_back(w & 0xFF); bytes.push_back(w >> 8); }
  void dword(DWORD d) { word(d & 0xFFFF); word(d >> 16); }
  void str(const std::wstring& s) { for (wchar_t c : s) word(c); word(0); }
  size_t countAt;
  WORD count = 0;
};

const wchar_t kBrowser[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

TEST(DialogTemplate, TakesOutClsidItemsWithTheirPlaceAndKeepsTheRest) {
  for (bool font : {true, false}) {
    TemplateWriter w(DS_SETFONT * font | WS_POPUP, font);
    w.item(1000, kBrowser, WS_CHILD | WS_TABSTOP, 7, 71, 441, 192);
    w.item(1001, L"BUTTON", WS_CHILD | WS_VISIBLE, 1, 2, 3, 4, {1, 2, 3});
    w.item(1002, L"STATIC", WS_CHILD, 5, 6, 7, 8);
    w.item(1003, kBrowser, WS_CHILD, 0, 17, 372, 265);
    fw::SplitTemplate split = fw::SplitDialogTemplate(w.bytes.data(), w.bytes.size());
    ASSERT_EQ(split.controls.size(), 2u) << "font " << font;
    const fw::TemplateControl& a = split.controls[0];
    EXPECT_EQ(a.id, 1000);
    EXPECT_TRUE(a.first);
    EXPECT_EQ(a.style, DWORD(WS_CHILD | WS_TABSTOP));
    EXPECT_EQ(a.dialogUnits.left, 7);
    EXPECT_EQ(a.dialogUnits.bottom, 71 + 192);
    EXPECT_EQ(a.classString, kBrowser);
    EXPECT_EQ(split.controls[1].previousId, 1002);
    EXPECT_FALSE(split.controls[1].first);

    // The copy holds the two plain items and is readable again, with nothing left to take.
    WORD count = 0;
    std::memcpy(&count, split.bytes.data() + 16, 2);
    EXPECT_EQ(count, 2);
    fw::SplitTemplate again = fw::SplitDialogTemplate(split.bytes.data(), split.bytes.size());
    EXPECT_TRUE(again.controls.empty());
    EXPECT_EQ(again.bytes, split.bytes);
  }
}

TEST(DialogTemplate, TruncatedOrClassicTemplatesAreLeftAlone) {
  TemplateWriter w(DS_SETFONT, true);
  w.item(1000, kBrowser, WS_CHILD, 0, 0, 10, 10);
  for (size_t cut : {size_t(3), size_t(30), w.bytes.size() - 4}) {
    fw::SplitTemplate split = fw::SplitDialogTemplate(w.bytes.data(), cut);
    EXPECT_TRUE(split.controls.empty()) << cut;
    EXPECT_EQ(split.bytes.size(), cut);
  }
  std::vector<BYTE> classic(18, 0);  // DLGTEMPLATE: no signature
  EXPECT_TRUE(fw::SplitDialogTemplate(classic.data(), classic.size()).controls.empty());
}

}  // namespace
