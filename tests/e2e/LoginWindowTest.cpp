// The login window as a player meets it: a skin centred on the screen whose clear pixels are
// holes, the overlay's buttons on it, dragging, minimising and restoring, keys, and a launcher
// that lost its skin.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "common/RealInput.h"
#include "common/TestSupport.h"

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace {

using namespace testing_support;

constexpr int kSkinWidth = 1120, kSkinHeight = 693;
constexpr COLORREF kDesk = RGB(0, 200, 0);

// A green window under everything: what shows through the skin's holes and what a click
// through them reaches.
int g_deskPresses = 0;
LRESULT CALLBACK DeskProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_LBUTTONDOWN) ++g_deskPresses;
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

class Desk {
public:
  Desk() {
    static HBRUSH green = ::CreateSolidBrush(kDesk);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DeskProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = green;
    wc.lpszClassName = L"VellmarTestDesk";
    ::RegisterClassW(&wc);
    m_hwnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                               ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                               wc.hInstance, nullptr);
    g_deskPresses = 0;
    Pump(200);
  }
  ~Desk() { ::DestroyWindow(m_hwnd); }
  HWND m_hwnd;
};

// The launcher's two windows: the login window and the overlay it owns.
struct Launcher {
  Process process;
  HWND login = nullptr;
  HWND overlay = nullptr;

  bool Start(const std::wstring& exe = ModuleDir() + L"\\Vellmar.exe") {
    if (!process.Start(exe, L"")) return false;
    const bool found = PumpUntil(
        [&] {
          for (HWND h : TopLevelWindows(process.Pid(), L"Vellmar")) {
            if (::IsWindowVisible(h)) login = h;
          }
          if (!login) return false;
          for (HWND h : TopLevelWindows(process.Pid())) {
            if (::GetWindow(h, GW_OWNER) == login && ::IsWindowVisible(h)) overlay = h;
          }
          return overlay != nullptr;
        },
        20000);
    Pump(500);  // let the skin and the buttons reach the screen
    return found;
  }
  // Closes through WM_CLOSE and reports whether the launcher left cleanly.
  ::testing::AssertionResult Close() {
    ::PostMessageW(login, WM_CLOSE, 0, 0);
    DWORD code = 0;
    if (!process.Wait(10000, &code)) return ::testing::AssertionFailure() << "still running after WM_CLOSE";
    if (code == 5) return ::testing::AssertionFailure() << "crashed";
    return ::testing::AssertionSuccess();
  }
};

class LoginWindow : public ::testing::Test {
protected:
  void SetUp() override {
    if (!OnWine()) GTEST_SKIP() << "needs the X server's real input and screenshots";
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
  }
  void TearDown() override {
    if (m_token) Gdiplus::GdiplusShutdown(m_token);
  }

  // The screen as the player sees it; pixels are read at screen coordinates.
  bool Shoot(const std::wstring& name) {
    m_shot.reset();
    const std::wstring path = ScreenshotPath(name);
    if (!Screenshot(path)) return false;
    m_shot = std::make_unique<Gdiplus::Bitmap>(path.c_str());
    return m_shot->GetLastStatus() == Gdiplus::Ok;
  }
  COLORREF At(int x, int y) {
    Gdiplus::Color c;
    if (!m_shot || m_shot->GetPixel(x, y, &c) != Gdiplus::Ok) return CLR_INVALID;
    return RGB(c.GetR(), c.GetG(), c.GetB());
  }

private:
  ULONG_PTR m_token = 0;
  std::unique_ptr<Gdiplus::Bitmap> m_shot;
};

TEST_F(LoginWindow, SkinIsCentredWithTheButtonsOnItAndItsClearPixelsAreHoles) {
  Desk desk;
  Launcher app;
  ASSERT_TRUE(app.Start());

  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const RECT rc = WindowRect(app.login);
  EXPECT_EQ(rc.right - rc.left, kSkinWidth);
  EXPECT_EQ(rc.bottom - rc.top, kSkinHeight);
  EXPECT_EQ(rc.left, (work.left + work.right) / 2 - kSkinWidth / 2);
  EXPECT_EQ(rc.top, (work.top + work.bottom) / 2 - kSkinHeight / 2);
  EXPECT_TRUE(SameRect(WindowRect(app.overlay), rc)) << Describe(WindowRect(app.overlay));
  EXPECT_TRUE(::GetWindowLongW(app.login, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_TRUE(::GetWindowLongW(app.overlay, GWL_EXSTYLE) & WS_EX_LAYERED);

  ASSERT_TRUE(Shoot(L"login-skin.png"));
  // Clear pixels of the skin (its corners, the sky above the frame) show what lies below.
  for (POINT p : {POINT{2, 2}, POINT{1117, 690}, POINT{450, 40}, POINT{560, 60}}) {
    EXPECT_EQ(At(rc.left + p.x, rc.top + p.y), kDesk) << "skin pixel " << p.x << "," << p.y;
  }
  // Opaque skin, seen through the overlay's key-coloured background.
  for (POINT p : {POINT{200, 500}, POINT{700, 400}}) {
    const COLORREF c = At(rc.left + p.x, rc.top + p.y);
    EXPECT_NE(c, kDesk) << "skin pixel " << p.x << "," << p.y;
    EXPECT_NE(c, RGB(255, 255, 0)) << "the key colour must never be seen";
  }
  // The overlay's buttons lie above the skin: red close, blue minimise.
  const COLORREF close = At(rc.left + 1029 + 18, rc.top + 192 + 8);
  EXPECT_GT(GetRValue(close), 150);
  EXPECT_LT(GetGValue(close), 150);
  const COLORREF minimise = At(rc.left + 998 + 13, rc.top + 196 + 5);
  EXPECT_GT(GetBValue(minimise), 150);
  EXPECT_LT(GetRValue(minimise), 150);

  // A real click on a clear pixel reaches the window below.
  ASSERT_TRUE(Click(rc.left + 450, rc.top + 40));
  EXPECT_TRUE(PumpUntil([] { return g_deskPresses == 1; }, 3000)) << "the click did not go through the skin";
  EXPECT_TRUE(SameRect(WindowRect(app.login), rc));
  EXPECT_TRUE(app.Close());
}

TEST_F(LoginWindow, DraggingTheSkinMovesBothWindowsTogetherAlsoAfterTheOverlayLed) {
  Launcher app;
  ASSERT_TRUE(app.Start());
  auto expectTogetherAt = [&](int left, int top, const char* when) {
    const RECT l = WindowRect(app.login), o = WindowRect(app.overlay);
    EXPECT_EQ(l.left, left) << when;
    EXPECT_EQ(l.top, top) << when;
    EXPECT_EQ(l.right - l.left, kSkinWidth) << when;
    EXPECT_TRUE(SameRect(l, o)) << when << ": " << Describe(l) << " vs " << Describe(o);
  };
  RECT rc = WindowRect(app.login);

  ASSERT_TRUE(Drag(rc.left + 200, rc.top + 500, rc.left + 200 - 60, rc.top + 500 - 40));
  Pump(300);
  expectTogetherAt(rc.left - 60, rc.top - 40, "after the first drag");

  // The overlay leads one move (as when it is hit-tested and moved) ...
  rc = WindowRect(app.login);
  ::SendMessageW(app.overlay, WM_NCHITTEST, 0, MAKELPARAM(rc.left + 300, rc.top + 300));
  ::SetWindowPos(app.overlay, nullptr, rc.left + 30, rc.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(PumpUntil([&] { return WindowRect(app.login).left == rc.left + 30; }, 3000));
  expectTogetherAt(rc.left + 30, rc.top + 20, "after the overlay led");

  // ... and the next drag of the skin still takes both, without drift.
  rc = WindowRect(app.login);
  ASSERT_TRUE(Drag(rc.left + 700, rc.top + 400, rc.left + 700 + 90, rc.top + 400 + 50));
  Pump(300);
  expectTogetherAt(rc.left + 90, rc.top + 50, "after the second drag");
  EXPECT_TRUE(app.Close());
}

TEST_F(LoginWindow, KeysChangeNothingAndTheMinimiseButtonTakesBothAwayUntilRestored) {
  Launcher app;
  ASSERT_TRUE(app.Start());
  const RECT rc = WindowRect(app.login);

  for (const char* key : {"Return", "Escape"}) ASSERT_TRUE(PressKey(key));
  Pump(500);
  EXPECT_FALSE(app.process.Wait(0)) << "Enter or Esc ended the launcher";
  EXPECT_TRUE(::IsWindowVisible(app.login));
  EXPECT_TRUE(::IsWindowVisible(app.overlay));

  ASSERT_TRUE(Click(rc.left + 998 + 13, rc.top + 196 + 13));
  EXPECT_TRUE(PumpUntil([&] { return ::IsIconic(app.login) && !::IsWindowVisible(app.overlay); }, 5000))
      << "minimised " << ::IsIconic(app.login) << ", overlay visible " << ::IsWindowVisible(app.overlay);

  ::ShowWindow(app.login, SW_RESTORE);
  EXPECT_TRUE(PumpUntil([&] { return !::IsIconic(app.login) && ::IsWindowVisible(app.overlay); }, 5000));
  EXPECT_TRUE(SameRect(WindowRect(app.login), rc)) << Describe(WindowRect(app.login));
  EXPECT_TRUE(SameRect(WindowRect(app.overlay), rc)) << Describe(WindowRect(app.overlay));
  Pump(500);
  ASSERT_TRUE(Shoot(L"login-restored.png"));
  EXPECT_GT(GetRValue(At(rc.left + 1029 + 18, rc.top + 192 + 8)), 150) << "the buttons came back above the skin";
  EXPECT_TRUE(app.Close());
}

// A copy of the launcher whose skin image no longer decodes: the PNG signature of the one
// 1120 x 693 image in the file is overwritten.
std::wstring LauncherWithBrokenSkin() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring dir = std::wstring(temp) + L"vellmar-noskin";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring exe = dir + L"\\Vellmar.exe";
  std::string bytes;
  {
    FILE* f = _wfopen((ModuleDir() + L"\\Vellmar.exe").c_str(), L"rb");
    if (!f) return L"";
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
  }
  // Signature, IHDR length and type, width 1120, height 693.
  static const char header[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x04\x60\0\0\x02\xb5";
  const size_t at = bytes.find(std::string(header, sizeof header - 1));
  if (at == std::string::npos || bytes.find(std::string(header, sizeof header - 1), at + 1) != std::string::npos) {
    return L"";
  }
  bytes.replace(at, 8, "NOTAPNG!");
  FILE* out = _wfopen(exe.c_str(), L"wb");
  if (!out) return L"";
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  std::fclose(out);
  return written ? exe : L"";
}

TEST_F(LoginWindow, WithAnUnreadableSkinTheLoginWindowKeepsItsTemplateAndStillWorks) {
  const std::wstring exe = LauncherWithBrokenSkin();
  ASSERT_FALSE(exe.empty()) << "the skin image was not found in Vellmar.exe";
  Launcher app;
  ASSERT_TRUE(app.Start(exe));
  const RECT rc = WindowRect(app.login);
  EXPECT_FALSE(::GetWindowLongW(app.login, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_NE(rc.right - rc.left, kSkinWidth) << "the template's size stays";
  EXPECT_EQ(rc.left, 0) << "not centred";
  EXPECT_EQ(rc.top, 0);
  EXPECT_FALSE(SameRect(WindowRect(app.overlay), rc)) << "the overlay is not moved over it";
  EXPECT_TRUE(::IsWindowVisible(app.overlay));
  ASSERT_TRUE(Shoot(L"login-without-skin.png"));
  EXPECT_TRUE(app.Close());
  ::DeleteFileW(exe.c_str());
}

}  // namespace
