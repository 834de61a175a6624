// How the launcher ends: the game window's close button asks first and only a confirmation
// ends the process; the login window closes cleanly before any game; a portal address that is
// not a web address is refused before any window appears. What is left afterwards: no window,
// and F10 and F11 free for other programs.
#include <gtest/gtest.h>

#include <string>

#include "LauncherSession.h"
#include "common/RealInput.h"

namespace {

using namespace testing_support;

std::wstring Text(HWND h) {
  wchar_t buf[512] = {};
  ::GetWindowTextW(h, buf, 512);
  return buf;
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[64] = {};
  ::GetClassNameW(h, buf, 64);
  return buf;
}

// The confirmation dialog: the launcher's visible window that is neither login window,
// overlay nor game window.
HWND FindConfirm(const e2e::LauncherSession& s, HWND game) {
  for (HWND h : TopLevelWindows(s.process.Pid())) {
    if (h != s.login && h != s.overlay && h != game && ::IsWindowVisible(h)) return h;
  }
  return nullptr;
}

void ClickCentre(HWND h) {
  const RECT rc = WindowRect(h);
  ASSERT_TRUE(Click((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
}

// What a message box says: its static texts (the text's control id differs between Windows
// and Wine).
std::wstring BoxText(HWND box) {
  std::wstring all;
  for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if (ClassOf(c) == L"Static") all += Text(c);
  }
  return all;
}

// Both keys can be registered by this program: nobody else holds them.
bool HotKeysFree() {
  const bool f10 = ::RegisterHotKey(nullptr, 0x7A10, 0, VK_F10) != FALSE;
  const bool f11 = ::RegisterHotKey(nullptr, 0x7A11, 0, VK_F11) != FALSE;
  if (f10) ::UnregisterHotKey(nullptr, 0x7A10);
  if (f11) ::UnregisterHotKey(nullptr, 0x7A11);
  return f10 && f11;
}

TEST(Exit, CloseButtonAsksAndOnlyAConfirmationEndsTheLauncher) {
  if (!OnWine()) GTEST_SKIP() << "needs the X server's real input";
  e2e::LauncherSession s;
  portal::Response lead;
  lead.body = "<html><head><meta http-equiv=\"refresh\" content=\"1;url=/game/play?server=5&amp;client=1\"></head>"
              "<body><p>正在进入游戏...</p></body></html>";
  s.portal.SetRoute(portal::kLoginPath, lead);
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(s.WaitForGameWindow());
  const HWND game = s.GameWindow();
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(s.GameBrowser()) != FALSE; }, 10000));
  EXPECT_FALSE(HotKeysFree()) << "the game window holds F10 and F11";

  const HWND close = ::GetDlgItem(game, 1001);
  ASSERT_NE(close, nullptr);
  HWND confirm = nullptr;
  for (const char* answer : {"cancel", "confirm"}) {
    SCOPED_TRACE(answer);
    ClickCentre(close);
    ASSERT_TRUE(PumpUntil([&] { return (confirm = FindConfirm(s, game)) != nullptr; }, 10000)) << "no confirmation";
    Pump(500);
    const RECT dlg = WindowRect(confirm);
    EXPECT_EQ(dlg.right - dlg.left, 256);
    EXPECT_EQ(dlg.bottom - dlg.top, 110);
    EXPECT_EQ(::GetWindow(confirm, GW_OWNER), game);
    EXPECT_FALSE(::IsWindowEnabled(game)) << "the game window waits for the answer";
    EXPECT_EQ(Text(::GetDlgItem(confirm, 1002)), L"关闭游戏");
    EXPECT_EQ(Text(::GetDlgItem(confirm, 1003)), L"确定要退出游戏吗?");
    if (std::string(answer) == "cancel") {
      EXPECT_TRUE(Screenshot(ScreenshotPath(L"confirm-exit.png")));
      // The cancel image lies at the left of its button's row, from x = 140.
      ASSERT_TRUE(Click(dlg.left + 140 + 37, dlg.top + 72 + 13));
      ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(confirm) || !::IsWindowVisible(confirm); }, 5000));
      Pump(500);
      EXPECT_FALSE(s.process.Wait(0)) << "cancelled, yet the launcher ended";
      EXPECT_TRUE(::IsWindowVisible(game));
      EXPECT_TRUE(::IsWindowEnabled(game));
      EXPECT_EQ(s.GameWindow(), game);
      EXPECT_FALSE(HotKeysFree());
    } else {
      ASSERT_TRUE(Click(dlg.left + 40 + 37, dlg.top + 72 + 13));
    }
  }
  ASSERT_TRUE(s.WaitForExit(10000));
  EXPECT_TRUE(TopLevelWindows(s.process.Pid()).empty());
  EXPECT_TRUE(HotKeysFree()) << "F10 and F11 are given back at exit";
}

// Before any game, the overlay's close button asks the same question.
TEST(Exit, TheOverlaysCloseButtonAsksBeforeAnyGame) {
  if (!OnWine()) GTEST_SKIP() << "needs the X server's real input";
  e2e::LauncherSession s;
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(s.WaitForLoginPage());
  HWND confirm = nullptr;
  for (const char* answer : {"cancel", "confirm"}) {
    SCOPED_TRACE(answer);
    ClickCentre(::GetDlgItem(s.overlay, 1005));
    ASSERT_TRUE(PumpUntil([&] { return (confirm = FindConfirm(s, nullptr)) != nullptr; }, 10000)) << "no confirmation";
    Pump(300);
    EXPECT_EQ(Text(::GetDlgItem(confirm, 1003)), L"确定要退出游戏吗?");
    const RECT dlg = WindowRect(confirm);
    if (std::string(answer) == "cancel") {
      ASSERT_TRUE(Click(dlg.left + 140 + 37, dlg.top + 72 + 13));
      ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(confirm) || !::IsWindowVisible(confirm); }, 5000));
      Pump(300);
      EXPECT_FALSE(s.process.Wait(0)) << "cancelled, yet the launcher ended";
      EXPECT_TRUE(::IsWindowVisible(s.login));
      EXPECT_TRUE(::IsWindowEnabled(s.login));
    } else {
      ASSERT_TRUE(Click(dlg.left + 40 + 37, dlg.top + 72 + 13));
    }
  }
  ASSERT_TRUE(s.WaitForExit(10000));
  EXPECT_TRUE(TopLevelWindows(s.process.Pid()).empty());
  EXPECT_EQ(s.portal.CountRequests("client=1"), 0);
}

TEST(Exit, ClosingTheLoginWindowBeforeAnyGameEndsCleanly) {
  e2e::LauncherSession s;
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(s.WaitForLoginPage());
  EXPECT_EQ(s.GameWindow(), nullptr);
  DWORD code = 0;
  ::PostMessageW(s.login, WM_CLOSE, 0, 0);
  ASSERT_TRUE(s.WaitForExit(10000, &code));
  EXPECT_NE(code, 5u);
  EXPECT_TRUE(TopLevelWindows(s.process.Pid()).empty());
  EXPECT_EQ(s.portal.CountRequests("client=1"), 0);
  EXPECT_TRUE(HotKeysFree());
}

TEST(Exit, APortalThatIsNoWebAddressIsRefusedBeforeAnyWindow) {
  Process p;
  ASSERT_TRUE(p.Start(ModuleDir() + L"\\Vellmar.exe", L"--portal ftp://x"));
  HWND box = nullptr;
  bool otherWindow = false;
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (HWND h : TopLevelWindows(p.Pid())) {
          if (!::IsWindowVisible(h)) continue;
          if (ClassOf(h) == L"#32770") {
            box = h;
          } else {
            otherWindow = true;
          }
        }
        return box != nullptr;
      },
      20000))
      << "no message box";
  Pump(300);
  const std::wstring text = BoxText(box);
  EXPECT_NE(text.find(L"ftp://x"), std::wstring::npos) << "the refused address is named";
  for (HWND h : TopLevelWindows(p.Pid())) otherWindow |= h != box && ::IsWindowVisible(h);
  EXPECT_FALSE(otherWindow) << "only the message box shows";

  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  DWORD code = 0;
  ASSERT_TRUE(p.Wait(10000, &code)) << "still running after the message box";
  EXPECT_NE(code, 5u);
  EXPECT_EQ(code, 2u);
  EXPECT_TRUE(TopLevelWindows(p.Pid()).empty());
}

}  // namespace
