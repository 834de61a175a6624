#pragma once
// GDI+ for the whole test program, as the application starts it, and pixel reading helpers.
#include <gtest/gtest.h>

#include <string>

#include "framework/GdiPlus.h"

namespace skin_test {

class GdiplusEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
  }
  void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

private:
  ULONG_PTR m_token = 0;
};

// 0xAARRGGBB of one pixel of an image drawn at its natural size onto a transparent surface,
// or 0 when it cannot be drawn.
inline Gdiplus::ARGB PixelOf(Gdiplus::Image* image, int x, int y) {
  Gdiplus::Bitmap surface(static_cast<INT>(image->GetWidth()), static_cast<INT>(image->GetHeight()),
                          PixelFormat32bppARGB);
  {
    Gdiplus::Graphics g(&surface);
    g.Clear(Gdiplus::Color(0, 0, 0, 0));
    if (g.DrawImage(image, 0, 0, static_cast<INT>(image->GetWidth()), static_cast<INT>(image->GetHeight())) !=
        Gdiplus::Ok) {
      return 0;
    }
  }
  Gdiplus::Color c;
  surface.GetPixel(x, y, &c);
  return c.GetValue();
}

// The colour (0xRRGGBB) of one pixel of a PNG file, or -1.
inline long FilePixel(const std::wstring& path, int x, int y) {
  Gdiplus::Bitmap bmp(path.c_str());
  if (bmp.GetLastStatus() != Gdiplus::Ok) return -1;
  Gdiplus::Color c;
  if (bmp.GetPixel(x, y, &c) != Gdiplus::Ok) return -1;
  return static_cast<long>(c.GetValue() & 0xFFFFFF);
}

}  // namespace skin_test
