#include "common/GuiResources.h"

#include <cstdint>

namespace testing_support {
namespace {

#if defined(__i386__) || defined(_M_IX86)
// Wine's GDI_HANDLE_ENTRY (include/ntgdi.h); a live entry has a non-zero extended type.
struct WineGdiHandleEntry {
  uint64_t object;
  uint32_t owner;
  uint8_t type, flags, extType, generation;
  uint64_t userPointer;
};
static_assert(sizeof(WineGdiHandleEntry) == 24, "layout of Wine's GDI handle table");
constexpr int kWineGdiHandles = 0x10000;

DWORD WineGdiObjects() {
  using GetPeb = void*(WINAPI*)();
  auto rtlGetCurrentPeb = reinterpret_cast<GetPeb>(
      reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetCurrentPeb")));
  if (!rtlGetCurrentPeb) return 0;
  // PEB::GdiSharedHandleTable on 32-bit Windows and Wine.
  auto* peb = static_cast<const uint8_t*>(rtlGetCurrentPeb());
  auto* table = *reinterpret_cast<WineGdiHandleEntry* const*>(peb + 0x94);
  if (!table) return 0;
  DWORD live = 0;
  for (int i = 0; i < kWineGdiHandles; ++i) {
    if (table[i].extType) ++live;
  }
  return live;
}
#else
DWORD WineGdiObjects() { return 0; }
#endif

BOOL CALLBACK CountChild(HWND, LPARAM lp) {
  ++*reinterpret_cast<DWORD*>(lp);
  return TRUE;
}

BOOL CALLBACK CountOwnWindow(HWND hwnd, LPARAM lp) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == ::GetCurrentProcessId()) {
    ++*reinterpret_cast<DWORD*>(lp);
    ::EnumChildWindows(hwnd, &CountChild, lp);
  }
  return TRUE;
}

bool OnWineNtdll() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace

DWORD GdiObjectCount() {
  if (OnWineNtdll()) return WineGdiObjects();
  return ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
}

DWORD UserObjectCount() {
  if (OnWineNtdll()) {
    DWORD windows = 0;
    ::EnumWindows(&CountOwnWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
  }
  return ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
}

}  // namespace testing_support
