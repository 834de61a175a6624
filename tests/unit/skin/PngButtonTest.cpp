// The image button on real windows: its size and place among siblings, which frame each state
// shows (read back from the screen), its answers to the mouse, and what it leaves behind.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GdiPlusTestSupport.h"
#include "SolidWindow.h"
#include "TestImages.h"
#include "common/GuiResources.h"
#include "common/RealInput.h"
#include "common/TestSupport.h"
#include "resource.h"
#include "skin/PngButton.h"

namespace {

using skin_test::SolidWindow;
using testing_support::Pump;
using testing_support::PumpUntil;

[[maybe_unused]] const auto* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new skin_test::GdiplusEnvironment);

constexpr COLORREF kParent = RGB(128, 128, 128);
constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255), kWhite = RGB(255, 255, 255);

// A parent that counts its buttons' notifications; as a framework window it reflects
// WM_DRAWITEM to the button object.
class ButtonParent : public SolidWindow {
public:
  ButtonParent() : SolidWindow(kParent) {}
  int clicks = 0, doubleClicks = 0;

protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) ++clicks;
    if (msg == WM_COMMAND && HIWORD(wp) == BN_DOUBLECLICKED) ++doubleClicks;
    return SolidWindow::WindowProc(msg, wp, lp);
  }
};

std::vector<std::wstring> g_reported;
void RecordError(const wchar_t* text, const wchar_t*) noexcept { g_reported.push_back(text); }

class PngButtonTest : public ::testing::Test {
protected:
  void SetUp() override {
    g_reported.clear();
    CPngButton::s_pfnReportError = &RecordError;
    ASSERT_TRUE(parent.Create(kParentX, kParentY, 240, 120)) << ::GetLastError();
  }
  void TearDown() override { EXPECT_TRUE(g_reported.empty()) << "GDI+ start-up was reported as failed"; }

  HWND AddButton(int x, int y, int cx, int cy, int id) {
    return ::CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, y, cx, cy, parent.m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  }
  // The colour on screen at a point of the button (through the top-level window's surface).
  COLORREF ButtonPixel(int x, int y) {
    ::UpdateWindow(button.m_hWnd);
    fw::WindowDC dc(parent.m_hWnd);
    return ::GetPixel(dc.Get(), kButtonX + x, kButtonY + y) & 0xFFFFFF;
  }
  void MakeStripButton() {
    ASSERT_TRUE(button.Attach(AddButton(kButtonX, kButtonY, 80, 50, 1001)));
    button.InitGdiPlus();
    button.SetPngImage(IDT_PNG_STRIP_30X122);
    // Taller than a frame, as an owner may make it: the frame sits in the top-left corner.
    button.MoveWindow(kButtonX, kButtonY, 30, 40);
    Pump(50);
  }

  static constexpr int kParentX = 100, kParentY = 100, kButtonX = 20, kButtonY = 30;
  ButtonParent parent;
  CPngButton button;
};

struct SizeCase {
  const char* name;
  UINT id;
  int width, height;
};
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class PngButtonSize : public PngButtonTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PngButtonSize, FitsOneFrameKeepsItsPlaceAndRisesAboveItsSiblings) {
  const SizeCase& c = GetParam();
  AddButton(0, 0, 100, 100, 2001);
  AddButton(50, 20, 100, 100, 2002);
  // Created last, so it lies below the other two.
  HWND own = AddButton(40, 25, 60, 60, 2003);
  ASSERT_NE(::GetWindow(parent.m_hWnd, GW_CHILD), own);
  ASSERT_TRUE(button.Attach(own));
  EXPECT_EQ(::GetWindowLongW(own, GWL_STYLE) & BS_TYPEMASK, static_cast<LONG>(BS_OWNERDRAW));
  button.InitGdiPlus();
  button.SetPngImage(c.id);

  RECT rc{};
  ::GetWindowRect(own, &rc);
  ::MapWindowPoints(nullptr, parent.m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(rc.left, 40);
  EXPECT_EQ(rc.top, 25);
  EXPECT_EQ(rc.right - rc.left, c.width);
  EXPECT_EQ(rc.bottom - rc.top, c.height);
  EXPECT_EQ(::GetWindow(parent.m_hWnd, GW_CHILD), own) << "the button must be on top of its siblings";
}

INSTANTIATE_TEST_SUITE_P(
    Strips, PngButtonSize,
    ::testing::Values(SizeCase{"LoginClose", IDB_LOGIN_CLOSE, 36, 35}, SizeCase{"LoginMin", IDB_LOGIN_MIN, 27, 27},
                      SizeCase{"BossKey", IDB_BTN_BOSS, 106, 30}, SizeCase{"ConfirmOk", IDB_CONFIRM_OK, 74, 26},
                      SizeCase{"HeightNotDivisibleByFour", IDT_PNG_STRIP_30X122, 30, 30},
                      SizeCase{"Absent", IDT_PNG_ABSENT, 0, 0}, SizeCase{"NotAnImage", IDT_PNG_NOT_AN_IMAGE, 0, 0}),
    [](const ::testing::TestParamInfo<SizeCase>& i) { return std::string(i.param.name); });

struct FrameCase {
  const char* name;
  bool hover, pressed, disabled;
  COLORREF expected;
};
void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class PngButtonFrame : public PngButtonTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(PngButtonFrame, StateShowsItsFrameAndNeverTheFourth) {
  const FrameCase& c = GetParam();
  MakeStripButton();
  if (c.hover) ::SendMessageW(button.m_hWnd, WM_MOUSEHOVER, 0, MAKELPARAM(5, 5));
  if (c.pressed) ::SendMessageW(button.m_hWnd, BM_SETSTATE, TRUE, 0);
  if (c.disabled) ::EnableWindow(button.m_hWnd, FALSE);
  ::InvalidateRect(button.m_hWnd, nullptr, TRUE);

  for (POINT p : {POINT{0, 0}, POINT{15, 15}, POINT{29, 29}}) {
    const COLORREF got = ButtonPixel(p.x, p.y);
    EXPECT_EQ(got, c.expected) << "at " << p.x << "," << p.y;
    EXPECT_NE(got, kMagenta);
  }
  // Below the frame the button draws nothing of its own: neither the fourth frame nor the
  // strip's left-over rows.
  EXPECT_EQ(ButtonPixel(15, 35), kParent);
}

INSTANTIATE_TEST_SUITE_P(
    States, PngButtonFrame,
    ::testing::Values(FrameCase{"Normal", false, false, false, kRed}, FrameCase{"Hover", true, false, false, kGreen},
                      FrameCase{"Pressed", false, true, false, kBlue},
                      FrameCase{"PressedBeatsHover", true, true, false, kBlue},
                      FrameCase{"Disabled", false, false, true, kRed}),
    [](const ::testing::TestParamInfo<FrameCase>& i) { return std::string(i.param.name); });

TEST_F(PngButtonTest, HandCursorEverywhereBackgroundNeverErasedDoubleClickIsAPress) {
  MakeStripButton();
  HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
  for (int hit : {HTCLIENT, HTERROR, HTNOWHERE}) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(::SendMessageW(button.m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(button.m_hWnd),
                             MAKELPARAM(hit, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), hand) << "hit-test code " << hit;
  }

  {
    fw::WindowDC dc(button.m_hWnd);
    EXPECT_EQ(::SendMessageW(button.m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0), TRUE);
  }
  EXPECT_EQ(ButtonPixel(15, 15), kRed) << "erasing must not paint over the frame";

  const LPARAM at = MAKELPARAM(10, 10);
  ::SendMessageW(button.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(button.m_hWnd, WM_LBUTTONUP, 0, at);
  ::SendMessageW(button.m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  ::SendMessageW(button.m_hWnd, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(parent.clicks, 2);
  EXPECT_EQ(parent.doubleClicks, 0);
}

TEST_F(PngButtonTest, RealPointerHoversPressesLeavesAndDoubleClicks) {
  if (!testing_support::OnWine()) GTEST_SKIP() << "real input goes through the X server";
  MakeStripButton();
  const int cx = kParentX + kButtonX + 15, cy = kParentY + kButtonY + 15;
  testing_support::MoveMouse(kParentX + 200, kParentY + 100);
  Pump(100);
  ASSERT_TRUE(testing_support::MoveMouse(cx, cy));
  ASSERT_TRUE(PumpUntil([&] { return button.m_bHover != FALSE; }, 3000)) << "no hover notification";
  EXPECT_EQ(ButtonPixel(15, 15), kGreen);

  ASSERT_EQ(testing_support::RunUnix("xdotool mousedown 1"), 0);
  EXPECT_TRUE(PumpUntil([&] { return ButtonPixel(15, 15) == kBlue; }, 3000)) << "pressed frame while hovering";
  ASSERT_EQ(testing_support::RunUnix("xdotool mouseup 1"), 0);
  EXPECT_TRUE(PumpUntil([&] { return parent.clicks == 1; }, 3000));

  ASSERT_TRUE(testing_support::MoveMouse(kParentX + 200, kParentY + 100));
  ASSERT_TRUE(PumpUntil([&] { return button.m_bHover == FALSE; }, 3000)) << "no leave notification";
  EXPECT_EQ(ButtonPixel(15, 15), kRed);

  ASSERT_TRUE(testing_support::DoubleClick(cx, cy));
  EXPECT_TRUE(PumpUntil([&] { return parent.clicks == 3; }, 3000)) << "clicks: " << parent.clicks;
  EXPECT_EQ(parent.doubleClicks, 0);
  testing_support::MoveMouse(kParentX + 200, kParentY + 100);
}

TEST(PngButtonResources, CreatingAndDestroyingButtonsLeavesNoGdiOrUserObjects) {
  CPngButton::ErrorReporter saved = CPngButton::s_pfnReportError;
  CPngButton::s_pfnReportError = &RecordError;
  // Both orders of teardown: the window first (as when a dialog closes), or the object first.
  auto cycle = [](bool windowFirst) {
    ButtonParent parent;
    parent.Create(300, 300, 200, 100);
    std::vector<std::unique_ptr<CPngButton>> buttons;
    for (UINT id : {IDB_LOGIN_CLOSE, IDB_LOGIN_MIN, IDB_BTN_BOSS}) {
      HWND h = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent.m_hWnd, nullptr,
                                 nullptr, nullptr);
      buttons.push_back(std::make_unique<CPngButton>());
      buttons.back()->Attach(h);
      buttons.back()->InitGdiPlus();
      buttons.back()->SetPngImage(id);
      ::UpdateWindow(h);
    }
    Pump(10);
    if (windowFirst) parent.DestroyWindow();
    buttons.clear();
  };
  cycle(true);
  cycle(false);
  const DWORD gdi = testing_support::GdiObjectCount(), user = testing_support::UserObjectCount();
  for (int i = 0; i < 10; ++i) {
    cycle(true);
    cycle(false);
  }
  EXPECT_EQ(testing_support::GdiObjectCount(), gdi);
  EXPECT_EQ(testing_support::UserObjectCount(), user);
  CPngButton::s_pfnReportError = saved;
}

}  // namespace
