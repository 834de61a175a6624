#include "skin/PngButton.h"

#include <commctrl.h>

#include "framework/Application.h"
#include "skin/GdiPlusPng.h"

namespace {

void ShowErrorBox(const wchar_t* text, const wchar_t* caption) noexcept {
  ::MessageBoxW(nullptr, text, caption, MB_ICONERROR);
}

HMODULE ResourceModule() noexcept {
  fw::Application* app = fw::Application::Current();
  return app ? app->ResourceHandle() : ::GetModuleHandleW(nullptr);
}

constexpr int kFrames = 4;
constexpr int kNormalFrame = 0, kHoverFrame = 1, kPressedFrame = 2;

}  // namespace

CPngButton::ErrorReporter CPngButton::s_pfnReportError = &ShowErrorBox;

CPngButton::~CPngButton() {
  // GDI+ stays started for m_gdiplusToken: other buttons and the application share it.
  ReleaseSurface();
}

void CPngButton::ReleaseSurface() noexcept {
  m_pGraphics.reset();
  m_windowDC.reset();
}

void CPngButton::InitGdiPlus() noexcept {
  Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
  if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok && s_pfnReportError) {
    s_pfnReportError(L"Initialize GDI+ library failed", L"Error");
  }
}

void CPngButton::SetPngImage(UINT id) noexcept {
  ReleaseSurface();
  m_pImage = LoadPngFromResource(ResourceModule(), id);
  // A missing or undecodable strip reads as 0 x 0: the button shrinks to nothing and never paints.
  m_nImageWidth = ImageWidth(m_pImage.get());
  m_nImageHeight = ImageHeight(m_pImage.get());
  m_nFrameHeight = m_nImageHeight / kFrames;
  // Without SWP_NOZORDER the button also rises above its siblings: owners rely on that order
  // where buttons overlap.
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_nImageWidth, m_nFrameHeight, SWP_NOMOVE);

  if (!m_pImage || !::IsWindow(m_hWnd)) return;
  m_windowDC.reset(new (std::nothrow) fw::WindowDC(m_hWnd, true));
  if (!m_windowDC || !*m_windowDC) {
    m_windowDC.reset();
    return;
  }
  m_pGraphics.reset(NewGdiplusObject<Gdiplus::Graphics>(m_windowDC->Get()));
  if (m_pGraphics && m_pGraphics->GetLastStatus() != Gdiplus::Ok) ReleaseSurface();
}

bool CPngButton::DrawItem(DRAWITEMSTRUCT* dis) noexcept {
  if (!m_pGraphics || !m_pImage || !dis) return true;
  // Pressed wins over hover; the strip's fourth frame belongs to no state.
  const int frame = (dis->itemState & ODS_SELECTED) ? kPressedFrame : m_bHover ? kHoverFrame : kNormalFrame;
  // Drawn over whatever the window shows (the background is never erased), so the frame's
  // alpha blends with the parent's painting below the button.
  m_pGraphics->DrawImage(m_pImage.get(), Gdiplus::Rect(0, 0, m_nImageWidth, m_nFrameHeight), 0,
                         frame * m_nFrameHeight, m_nImageWidth, m_nFrameHeight, Gdiplus::UnitPixel, nullptr,
                         nullptr, nullptr);
  return true;
}

void CPngButton::PreSubclassWindow() noexcept {
  // Templates may declare a plain push button; owner drawing is what brings DrawItem.
  ::SetWindowLongW(m_hWnd, GWL_STYLE, ::GetWindowLongW(m_hWnd, GWL_STYLE) | BS_OWNERDRAW);
}

LRESULT CPngButton::DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  // The control sees the second click of a double click as one more press, so quick clicks
  // each press the button.
  if (msg == WM_LBUTTONDBLCLK) msg = WM_LBUTTONDOWN;
  return fw::Window::DefWindowProc(msg, wp, lp);
}

LRESULT CPngButton::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!m_bTracking) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_HOVER | TME_LEAVE, m_hWnd, 1};
        // A refused request is asked again on the next move.
        m_bTracking = ::_TrackMouseEvent(&tme);
      }
      return Default();
    case WM_MOUSEHOVER:
      m_bHover = TRUE;
      Repaint();
      return 0;
    case WM_MOUSELEAVE:
      m_bTracking = FALSE;
      m_bHover = FALSE;
      Repaint();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      Repaint();
      return Default();
    case WM_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_ERASEBKGND:
      return TRUE;
    case WM_DESTROY:
      // The window's DC goes with the window; the image stays with the object.
      ReleaseSurface();
      return fw::Window::WindowProc(msg, wp, lp);
    default:
      return fw::Window::WindowProc(msg, wp, lp);
  }
}
