// Layered windows: the shared entry points, per-pixel alpha from a PNG and the colour key,
// checked on screen where it matters (what is cut out of a window and what is not).
#include <gtest/gtest.h>

#include "GdiPlusTestSupport.h"
#include "SolidWindow.h"
#include "TestImages.h"
#include "common/RealInput.h"
#include "common/TestSupport.h"
#include "skin/LayeredPng.h"

namespace {

using skin_test::FilePixel;
using skin_test::SolidWindow;
using testing_support::Pump;
using testing_support::WindowRect;

[[maybe_unused]] const auto* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new skin_test::GdiplusEnvironment);

HMODULE Self() { return ::GetModuleHandleW(nullptr); }

TEST(UpdateLayeredTool, OneInstanceForEveryoneWithBothEntryPoints) {
  UpdateLayeredTool* tool = UpdateLayeredTool::Instance();
  ASSERT_NE(tool, nullptr);
  EXPECT_EQ(UpdateLayeredTool::Instance(), tool);
  EXPECT_TRUE(tool->m_hUser32);
  EXPECT_NE(tool->m_pfnUpdateLayeredWindow, nullptr);
  EXPECT_NE(tool->m_pfnSetLayeredWindowAttributes, nullptr);
}

TEST(LayeredPng, WithoutImageOrWindowNothingIsTouched) {
  SolidWindow target(RGB(0, 0, 255));
  ASSERT_TRUE(target.Create(100, 120, 200, 100));
  CLayeredPng layer;
  layer.m_hTarget = target.m_hWnd;
  layer.UpdateLayered();
  EXPECT_FALSE(::GetWindowLongW(target.m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  const RECT rc = WindowRect(target.m_hWnd);
  EXPECT_EQ(rc.right - rc.left, 200);

  ASSERT_TRUE(layer.m_png.Load(IDT_PNG_HALF_CLEAR, Self()));
  layer.m_hTarget = nullptr;
  layer.UpdateLayered();  // no window: no effect, no crash
  layer.m_hTarget = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ffe));
  layer.UpdateLayered();
}

TEST(LayeredPng, WindowKeepsItsCornerTakesTheImageSizeAndShowsOnlyOpaquePixels) {
  SolidWindow desk(RGB(0, 255, 0));
  ASSERT_TRUE(desk.Create(0, 0, 400, 300));
  SolidWindow target(RGB(0, 0, 255));
  ASSERT_TRUE(target.Create(100, 120, 300, 20));
  CLayeredPng layer;
  layer.m_hTarget = target.m_hWnd;
  ASSERT_TRUE(layer.m_png.Load(IDT_PNG_HALF_CLEAR, Self()));
  layer.UpdateLayered();

  EXPECT_TRUE(::GetWindowLongW(target.m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  const RECT rc = WindowRect(target.m_hWnd);
  EXPECT_EQ(rc.left, 100);
  EXPECT_EQ(rc.top, 120);
  EXPECT_EQ(rc.right - rc.left, 64);
  EXPECT_EQ(rc.bottom - rc.top, 48);

  if (!testing_support::OnWine()) GTEST_SKIP() << "screen checks use the X server";
  Pump(300);
  const std::wstring shot = testing_support::ScreenshotPath(L"unit-layered-png.png");
  ASSERT_TRUE(testing_support::Screenshot(shot));
  EXPECT_EQ(FilePixel(shot, 110, 140), 0x00FF00) << "alpha 0 must let the window below show";
  EXPECT_EQ(FilePixel(shot, 150, 140), 0xFF8000) << "opaque pixels keep their colour";
  EXPECT_EQ(FilePixel(shot, 150, 175), 0x00FF00) << "nothing of the old, taller window is left";
}

TEST(ColorKey, MakesTheWindowLayeredWithTheKeyAndAKeyBrush) {
  SolidWindow target(RGB(0, 0, 255));
  ASSERT_TRUE(target.Create(10, 10, 50, 50));
  CLayeredPng layer;
  fw::Brush brush;
  ApplyColorKey(layer, target.m_hWnd, brush, RGB(255, 0, 0), 150);

  EXPECT_EQ(layer.m_hTarget, target.m_hWnd);
  ASSERT_TRUE(brush);
  LOGBRUSH lb{};
  ASSERT_TRUE(::GetObjectW(brush.Get(), sizeof(lb), &lb));
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
  EXPECT_EQ(lb.lbColor, RGB(255, 0, 0));
  EXPECT_TRUE(::GetWindowLongW(target.m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(target.m_hWnd, &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(255, 0, 0));
  EXPECT_EQ(alpha, 150);
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
}

TEST(ColorKey, KeyColouredPixelsAreHolesEvenInsideAControl) {
  if (!testing_support::OnWine()) GTEST_SKIP() << "screen checks use the X server";
  SolidWindow desk(RGB(0, 255, 0));
  ASSERT_TRUE(desk.Create(0, 0, 400, 300));
  const COLORREF key = RGB(255, 255, 0);
  SolidWindow keyed(key);
  ASSERT_TRUE(keyed.Create(50, 50, 200, 150));
  // A blue child with a key-coloured square in its middle.
  HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 20, 20, 100, 100, keyed.m_hWnd,
                                 nullptr, nullptr, nullptr);
  ASSERT_TRUE(child);
  CLayeredPng layer;
  fw::Brush brush;
  ApplyColorKey(layer, keyed.m_hWnd, brush, key, 255);
  Pump(200);
  {
    fw::WindowDC dc(child);
    RECT all{0, 0, 100, 100}, hole{40, 40, 60, 60};
    fw::Brush blue(::CreateSolidBrush(RGB(0, 0, 255)));
    ::FillRect(dc.Get(), &all, blue.Get());
    ::FillRect(dc.Get(), &hole, brush.Get());
  }
  Pump(300);
  const std::wstring shot = testing_support::ScreenshotPath(L"unit-color-key.png");
  ASSERT_TRUE(testing_support::Screenshot(shot));
  EXPECT_EQ(FilePixel(shot, 60, 60), 0x00FF00) << "the keyed background is a hole";
  EXPECT_EQ(FilePixel(shot, 75, 75), 0x0000FF) << "the child's own colour shows";
  EXPECT_EQ(FilePixel(shot, 120, 120), 0x00FF00) << "the child's key-coloured pixels are a hole too";
  ::DestroyWindow(child);
}

}  // namespace
