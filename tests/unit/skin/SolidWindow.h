#pragma once
// A plain top-level window painted in one colour that counts the presses it receives: the
// desktop that shaped windows are laid over.
#include <windows.h>

#include "framework/Handles.h"
#include "framework/Window.h"

namespace skin_test {

class SolidWindow : public fw::Window {
public:
  explicit SolidWindow(COLORREF color) : m_brush(::CreateSolidBrush(color)) {}
  bool Create(int x, int y, int cx, int cy, DWORD exStyle = WS_EX_TOOLWINDOW) {
    return CreateEx(exStyle, L"solid", WS_POPUP | WS_VISIBLE, x, y, cx, cy, nullptr);
  }
  int presses = 0;

protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
    switch (msg) {
      case WM_ERASEBKGND: {
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        ::FillRect(reinterpret_cast<HDC>(wp), &rc, m_brush.Get());
        return 1;
      }
      case WM_LBUTTONDOWN:
        ++presses;
        return 0;
      default:
        return fw::Window::WindowProc(msg, wp, lp);
    }
  }

private:
  fw::Brush m_brush;
};

}  // namespace skin_test
