#pragma once
// The image button of every skinned window: an owner-drawn push button showing one frame of a
// four-frame PNG strip (normal, hover, pressed, and a fourth that no state shows) under a hand
// cursor. Owners attach it to a template's button, call InitGdiPlus, SetPngImage, then place it.
#include <windows.h>

#include <memory>

#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "framework/Window.h"

class CPngButton : public fw::Window {
public:
  CPngButton() noexcept = default;
  ~CPngButton() override;

  // Starts GDI+ for this button; a failure is reported and set-up goes on.
  void InitGdiPlus() noexcept;
  // Loads the strip from the application's resources and fits the button to one frame, on top
  // of its siblings.
  void SetPngImage(UINT id) noexcept;

  bool DrawItem(DRAWITEMSTRUCT* dis) noexcept override;

  // How a failed GDI+ start-up is told: by default a message box without owner. Replaceable
  // so that a headless run never blocks on one.
  using ErrorReporter = void (*)(const wchar_t* text, const wchar_t* caption) noexcept;
  static ErrorReporter s_pfnReportError;

  ULONG_PTR m_gdiplusToken = 0;
  std::unique_ptr<Gdiplus::Image> m_pImage;
  // Over the button's whole-window DC; null until SetPngImage, or when it could not be made.
  std::unique_ptr<Gdiplus::Graphics> m_pGraphics;
  BOOL m_bTracking = FALSE;
  BOOL m_bHover = FALSE;
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
  int m_nFrameHeight = 0;

protected:
  void PreSubclassWindow() noexcept override;
  LRESULT DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

private:
  void ReleaseSurface() noexcept;
  void Repaint() const noexcept { ::InvalidateRect(m_hWnd, nullptr, TRUE); }

  // Frames are drawn through the whole-window DC rather than the draw request's, so the
  // surface is made once and kept; the DC is handed back when the window or the button goes,
  // whichever is first, after the drawing surface over it.
  std::unique_ptr<fw::WindowDC> m_windowDC;
};
