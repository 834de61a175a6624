#include "framework/DialogTemplate.h"

#include <cstring>

namespace fw {
namespace {

class Reader {
public:
  Reader(const BYTE* p, size_t size) : m_p(p), m_size(size) {}
  bool ok() const { return m_ok; }
  size_t pos() const { return m_pos; }
  void align4() { m_pos = (m_pos + 3) & ~size_t(3); if (m_pos > m_size) m_ok = false; }
  template <typename T> T get() {
    T v{};
    if (m_pos + sizeof(T) > m_size) { m_ok = false; return v; }
    std::memcpy(&v, m_p + m_pos, sizeof(T));
    m_pos += sizeof(T);
    return v;
  }
  // sz_Or_Ord: 0x0000 (none), 0xFFFF + ordinal, or a null-terminated string.
  std::wstring szOrOrd() {
    WORD first = get<WORD>();
    if (!m_ok || first == 0) return {};
    if (first == 0xFFFF) { get<WORD>(); return {}; }
    std::wstring s(1, static_cast<wchar_t>(first));
    for (;;) {
      WORD c = get<WORD>();
      if (!m_ok || c == 0) break;
      s.push_back(static_cast<wchar_t>(c));
    }
    return s;
  }
  void skip(size_t n) { if (m_pos + n > m_size) m_ok = false; else m_pos += n; }

private:
  const BYTE* m_p;
  size_t m_size;
  size_t m_pos = 0;
  bool m_ok = true;
};

bool IsClsidString(const std::wstring& s) {
  return s.size() == 38 && s.front() == L'{' && s.back() == L'}';
}

}  // namespace

SplitTemplate SplitDialogTemplate(const void* data, size_t size) {
  SplitTemplate out;
  const BYTE* p = static_cast<const BYTE*>(data);
  out.bytes.assign(p, p + size);
  Reader r(p, size);
  const WORD version = r.get<WORD>();
  const WORD signature = r.get<WORD>();
  if (!r.ok() || version != 1 || signature != 0xFFFF) return out;
  r.skip(4 + 4);  // help id, extended style
  const DWORD style = r.get<DWORD>();
  const size_t countOffset = r.pos();
  const WORD count = r.get<WORD>();
  r.skip(8);  // x, y, cx, cy
  r.szOrOrd();  // menu
  r.szOrOrd();  // class
  r.szOrOrd();  // title
  if (style & DS_SETFONT) {
    r.skip(2 + 2 + 1 + 1);
    r.szOrOrd();
  }
  if (!r.ok()) return out;

  std::vector<BYTE> kept(p, p + r.pos());
  std::vector<TemplateControl> taken;
  WORD keptCount = 0;
  int previousId = 0;
  for (WORD i = 0; i < count; ++i) {
    r.align4();
    const size_t start = r.pos();
    r.skip(4);  // help id
    TemplateControl c;
    c.exStyle = r.get<DWORD>();
    c.style = r.get<DWORD>();
    const short x = r.get<short>(), y = r.get<short>(), cx = r.get<short>(), cy = r.get<short>();
    c.id = static_cast<int>(r.get<DWORD>());
    c.classString = r.szOrOrd();
    r.szOrOrd();  // title
    const WORD extra = r.get<WORD>();
    r.skip(extra);
    if (!r.ok()) {
      out.controls.clear();
      return out;  // unreadable: leave the template as it is
    }
    c.dialogUnits = {x, y, x + cx, y + cy};
    c.previousId = previousId;
    c.first = (i == 0);
    previousId = c.id;
    if (IsClsidString(c.classString)) {
      taken.push_back(std::move(c));
    } else {
      while (kept.size() % 4) kept.push_back(0);
      kept.insert(kept.end(), p + start, p + r.pos());
      ++keptCount;
    }
  }
  if (taken.empty()) return out;
  std::memcpy(kept.data() + countOffset, &keptCount, sizeof(keptCount));
  out.bytes = std::move(kept);
  out.controls = std::move(taken);
  return out;
}

}  // namespace fw
