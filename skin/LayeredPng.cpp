#include "skin/LayeredPng.h"

namespace {

void AddLayeredStyle(HWND hwnd) noexcept {
  const LONG exStyle = ::GetWindowLongW(hwnd, GWL_EXSTYLE);
  if (!(exStyle & WS_EX_LAYERED)) ::SetWindowLongW(hwnd, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
}

// GetProcAddress answers a generic function pointer; void (*)() is the type that converts to
// any other without a warning.
template <typename Proc>
Proc LookUp(HMODULE module, const char* name) noexcept {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace

UpdateLayeredTool::UpdateLayeredTool() noexcept : m_hUser32(::LoadLibraryW(L"User32.DLL")) {
  if (!m_hUser32) return;
  m_pfnUpdateLayeredWindow = LookUp<UpdateLayeredWindowProc>(m_hUser32.Get(), "UpdateLayeredWindow");
  m_pfnSetLayeredWindowAttributes =
      LookUp<SetLayeredWindowAttributesProc>(m_hUser32.Get(), "SetLayeredWindowAttributes");
}

UpdateLayeredTool::~UpdateLayeredTool() = default;

UpdateLayeredTool* UpdateLayeredTool::Instance() noexcept {
  static UpdateLayeredTool instance;
  return &instance;
}

void CLayeredPng::UpdateLayered() noexcept {
  Gdiplus::Image* image = m_png.m_pImage.get();
  if (!image || !::IsWindow(m_hTarget)) return;

  fw::WindowDC windowDC(m_hTarget);
  RECT rc{};
  ::GetWindowRect(m_hTarget, &rc);
  POINT position{rc.left, rc.top};
  fw::MemoryDC memoryDC(::CreateCompatibleDC(windowDC.Get()));
  const int width = ImageWidth(image), height = ImageHeight(image);
  if (!memoryDC || width <= 0 || height <= 0) return;

  // A top-down 32-bit DIB section with premultiplied alpha is what UpdateLayeredWindow takes
  // with ULW_ALPHA; a device-compatible bitmap may have no alpha channel at all. GDI+ writes
  // into it through a bitmap over the same bits: a Graphics over the DC would treat the
  // surface as opaque RGB and lose the alpha.
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  fw::Bitmap surface(::CreateDIBSection(windowDC.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!surface || !bits) return;
  // Declared in teardown order: the DIB leaves the memory DC before it is deleted, the memory
  // DC goes next and the window's DC is handed back last.
  fw::SelectedObject selected(memoryDC.Get(), surface.Get());
  {
    Gdiplus::Bitmap target(width, height, width * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits));
    Gdiplus::Graphics graphics(&target);
    const Gdiplus::Point corners[3] = {{0, 0}, {width, 0}, {0, height}};
    graphics.DrawImage(image, corners, 3);
  }
  ::GdiFlush();

  AddLayeredStyle(m_hTarget);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredTool* tool = UpdateLayeredTool::Instance();
  if (tool->m_pfnUpdateLayeredWindow) {
    SIZE size{width, height};
    POINT source{0, 0};
    tool->m_pfnUpdateLayeredWindow(m_hTarget, windowDC.Get(), &position, &size, memoryDC.Get(), &source, 0, &blend,
                                   ULW_ALPHA);
  }
}

void ApplyColorKey(CLayeredPng& layer, HWND hwnd, fw::Brush& brKey, COLORREF clrKey, BYTE alpha) noexcept {
  layer.m_hTarget = hwnd;
  brKey.Reset(::CreateSolidBrush(clrKey));
  AddLayeredStyle(hwnd);
  UpdateLayeredTool* tool = UpdateLayeredTool::Instance();
  if (tool->m_pfnSetLayeredWindowAttributes) {
    tool->m_pfnSetLayeredWindowAttributes(hwnd, clrKey, alpha, LWA_COLORKEY | LWA_ALPHA);
  }
}
