#pragma once
// One owning type per handle kind. Copies are deleted so that a handle has exactly one owner;
// moves hand ownership on. Non-owning uses take the raw handle.
#include <windows.h>
#include <utility>

namespace fw {

template <typename Traits>
class UniqueHandle {
public:
  using Handle = typename Traits::Handle;
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle h) noexcept : m_h(h) {}
  UniqueHandle(UniqueHandle&& o) noexcept : m_h(o.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) Reset(o.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Handle Get() const noexcept { return m_h; }
  explicit operator bool() const noexcept { return Traits::IsValid(m_h); }
  Handle Release() noexcept { return std::exchange(m_h, Traits::Invalid()); }
  void Reset(Handle h = Traits::Invalid()) noexcept {
    if (Traits::IsValid(m_h)) Traits::Close(m_h);
    m_h = h;
  }

private:
  Handle m_h = Traits::Invalid();
};

template <typename H>
struct GdiObjectTraits {
  using Handle = H;
  static H Invalid() noexcept { return nullptr; }
  static bool IsValid(H h) noexcept { return h != nullptr; }
  static void Close(H h) noexcept { ::DeleteObject(h); }
};
using Bitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using Brush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using Font = UniqueHandle<GdiObjectTraits<HFONT>>;
using Region = UniqueHandle<GdiObjectTraits<HRGN>>;

struct KernelHandleTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() noexcept { return nullptr; }
  static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

struct FindHandleTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

struct MemoryDCTraits {
  using Handle = HDC;
  static HDC Invalid() noexcept { return nullptr; }
  static bool IsValid(HDC h) noexcept { return h != nullptr; }
  static void Close(HDC h) noexcept { ::DeleteDC(h); }
};
// A DC from CreateCompatibleDC.
using MemoryDC = UniqueHandle<MemoryDCTraits>;

struct MenuTraits {
  using Handle = HMENU;
  static HMENU Invalid() noexcept { return nullptr; }
  static bool IsValid(HMENU h) noexcept { return h != nullptr; }
  static void Close(HMENU h) noexcept { ::DestroyMenu(h); }
};
using Menu = UniqueHandle<MenuTraits>;

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static HGLOBAL Invalid() noexcept { return nullptr; }
  static bool IsValid(HGLOBAL h) noexcept { return h != nullptr; }
  static void Close(HGLOBAL h) noexcept { ::GlobalFree(h); }
};
using GlobalMemory = UniqueHandle<GlobalMemoryTraits>;

struct ModuleTraits {
  using Handle = HMODULE;
  static HMODULE Invalid() noexcept { return nullptr; }
  static bool IsValid(HMODULE h) noexcept { return h != nullptr; }
  static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};
using Module = UniqueHandle<ModuleTraits>;

// A window's DC from GetDC (or GetWindowDC), handed back with ReleaseDC.
class WindowDC {
public:
  explicit WindowDC(HWND hwnd, bool wholeWindow = false) noexcept
      : m_hwnd(hwnd), m_dc(wholeWindow ? ::GetWindowDC(hwnd) : ::GetDC(hwnd)) {}
  ~WindowDC() {
    if (m_dc) ::ReleaseDC(m_hwnd, m_dc);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const noexcept { return m_dc; }
  explicit operator bool() const noexcept { return m_dc != nullptr; }

private:
  HWND m_hwnd;
  HDC m_dc;
};

// BeginPaint / EndPaint.
class PaintDC {
public:
  explicit PaintDC(HWND hwnd) noexcept : m_hwnd(hwnd) { m_dc = ::BeginPaint(hwnd, &m_ps); }
  ~PaintDC() { ::EndPaint(m_hwnd, &m_ps); }
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;
  HDC Get() const noexcept { return m_dc; }
  const PAINTSTRUCT& Info() const noexcept { return m_ps; }

private:
  HWND m_hwnd;
  PAINTSTRUCT m_ps{};
  HDC m_dc = nullptr;
};

// An object selected into a DC for a scope; the previous object goes back in at the end,
// so that the selected one can be deleted afterwards.
class SelectedObject {
public:
  SelectedObject(HDC dc, HGDIOBJ obj) noexcept : m_dc(dc), m_old(dc && obj ? ::SelectObject(dc, obj) : nullptr) {}
  ~SelectedObject() {
    if (m_old) ::SelectObject(m_dc, m_old);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

private:
  HDC m_dc;
  HGDIOBJ m_old;
};

}  // namespace fw
