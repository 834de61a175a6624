// The game window's title bar, hotkeys, window modes and tray icon, driven from outside with
// real clicks and keys through the X server, against the real launcher, the local portal and
// the stand-in browser.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LauncherSession.h"
#include "browser/StandinBrowser.h"
#include "common/RealInput.h"

namespace {

using namespace testing_support;

// The ids a player's tools (and the shell) see on the game window.
enum : int {
  kPage = 1000,
  kClose = 1001,
  kLogo = 1002,
  kMinimize = 1003,
  kFullScreen = 1004,
  kBoss = 1005,
  kClean = 1006,
  kRefresh = 1007,
  kServer = 1008,
  kMaximize = 1009,
  kRestore = 1011,
};
constexpr UINT kTrayNotify = WM_USER + 0x65;
constexpr UINT kTrayIconId = 128;
constexpr int kTitleBar = 30;

const char kGamePath[] = "/game/play?server=1&client=1";

// A login page that hands the game address over by itself, and offers it as a link too.
std::string LoginPage(int delaySeconds) {
  return "<html><head><title>Login</title><meta http-equiv=\"refresh\" content=\"" + std::to_string(delaySeconds) +
         ";url=/game/play?server=1&amp;client=1\"></head><body><p>Portal</p>"
         "<a href=\"/game/play?server=1&amp;client=1\">Play server 1</a></body></html>";
}

// A game page with one link, so that Enter has something to follow.
const char kGamePage[] =
    "<html><head><title>Game server 1</title></head><body><p>Game server 1</p>"
    "<a href=\"/news\">News</a></body></html>";

// A child's rectangle relative to the game window's top-left corner (its client origin: the
// window has no frame).
RECT ChildRect(HWND game, int id) {
  RECT rc = WindowRect(::GetDlgItem(game, id));
  const RECT g = WindowRect(game);
  ::OffsetRect(&rc, -g.left, -g.top);
  return rc;
}

bool ChildVisible(HWND game, int id) { return ::IsWindowVisible(::GetDlgItem(game, id)) != FALSE; }

POINT Center(const RECT& rc) { return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

bool ClickChild(HWND game, int id) {
  const POINT p = Center(WindowRect(::GetDlgItem(game, id)));
  return Click(p.x, p.y);
}

RECT WorkArea() {
  RECT rc{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rc, 0);
  return rc;
}

RECT Screen() {
  RECT rc{};
  ::GetClientRect(::GetDesktopWindow(), &rc);
  return rc;
}

enum class Mode { FullScreen, Maximized, Normal };

// What a player sees of a window mode: the window's rectangle, the page's, which of the two
// swapping buttons shows, and whether the title bar is there at all.
::testing::AssertionResult InMode(HWND game, Mode mode, HWND login) {
  const RECT w = WindowRect(game), page = ChildRect(game, kPage);
  RECT wantWindow{}, wantPage{};
  bool titleBar = true, restore = false, maximize = false;
  switch (mode) {
    case Mode::FullScreen:
      wantWindow = Screen();
      wantPage = {0, 0, wantWindow.right, wantWindow.bottom};
      titleBar = false;
      break;
    case Mode::Maximized: {
      const RECT work = WorkArea();
      wantWindow = {0, 0, work.right - work.left, work.bottom - work.top};
      wantPage = {0, kTitleBar, wantWindow.right, wantWindow.bottom};
      restore = true;
      break;
    }
    case Mode::Normal: {
      // Centred on its owner, the login window, and kept inside the work area.
      const POINT c = Center(WindowRect(login));
      const RECT work = WorkArea();
      int left = c.x - 500, top = c.y - 350;
      left = std::max<int>(work.left, std::min<int>(left, work.right - 1000));
      top = std::max<int>(work.top, std::min<int>(top, work.bottom - 700));
      wantWindow = {left, top, left + 1000, top + 700};
      wantPage = {0, kTitleBar, 1000, 700};
      maximize = true;
      break;
    }
  }
  if (!::EqualRect(&w, &wantWindow)) {
    return ::testing::AssertionFailure() << "window " << Describe(w) << ", expected " << Describe(wantWindow);
  }
  if (!::EqualRect(&page, &wantPage)) {
    return ::testing::AssertionFailure() << "page " << Describe(page) << ", expected " << Describe(wantPage);
  }
  for (int id : {kClose, kLogo, kMinimize, kFullScreen, kBoss, kClean, kRefresh, kServer}) {
    if (ChildVisible(game, id) != titleBar) {
      return ::testing::AssertionFailure() << "title-bar item " << id << (titleBar ? " hidden" : " shown");
    }
  }
  if (ChildVisible(game, kRestore) != restore || ChildVisible(game, kMaximize) != maximize) {
    return ::testing::AssertionFailure() << "restore " << ChildVisible(game, kRestore) << ", maximise "
                                         << ChildVisible(game, kMaximize);
  }
  return ::testing::AssertionSuccess();
}

// The shell answers NIM_MODIFY only for an icon it holds; with no flags it changes nothing.
bool TrayIconExists(HWND owner) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof(nid);
  nid.hWnd = owner;
  nid.uID = kTrayIconId;
  return ::Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

// A window of this test program, standing for "another program": keys pressed while it has the
// focus show whether the launcher's hotkeys are global. It stays on top in a corner.
class OtherProgram {
public:
  OtherProgram() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &OtherProgram::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"VellmarTestOtherProgram";
    ::RegisterClassW(&wc);
    m_hwnd = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"other", WS_POPUP, 1240, 760, 40, 40, nullptr,
                               nullptr, wc.hInstance, nullptr);
  }
  ~OtherProgram() { ::DestroyWindow(m_hwnd); }
  HWND Hwnd() const { return m_hwnd; }

  // Gives this window the X focus with a click, then presses the key.
  bool Press(const std::string& key) {
    ::ShowWindow(m_hwnd, SW_SHOW);
    Pump(100);
    const RECT rc = WindowRect(m_hwnd);
    if (!Click((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2)) return false;
    Pump(200);
    const bool ok = PressKey(key);
    Pump(300);
    return ok;
  }
  // Out of the way of screenshots.
  void Hide() { ::ShowWindow(m_hwnd, SW_HIDE); }

  // Whether F10 or F11 may be registered by a program other than the launcher right now.
  bool HotKeyFree(UINT vk) {
    if (!::RegisterHotKey(m_hwnd, 77, 0, vk)) return false;
    ::UnregisterHotKey(m_hwnd, 77);
    return true;
  }

  static int s_keysSeen;

private:
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_KEYDOWN && (wp == VK_F10 || wp == VK_F11)) ++s_keysSeen;
    if (msg == WM_SYSKEYDOWN && wp == VK_F10) ++s_keysSeen;  // F10 is a system key
    return ::DefWindowProcW(h, msg, wp, lp);
  }
  HWND m_hwnd = nullptr;
};
int OtherProgram::s_keysSeen = 0;

// Top-level windows of the launcher of a given class that are visible.
std::vector<HWND> VisibleWindowsOfClass(DWORD pid, const wchar_t* cls) {
  std::vector<HWND> out;
  for (HWND h : TopLevelWindows(pid)) {
    wchar_t name[64] = {};
    ::GetClassNameW(h, name, 64);
    if (::IsWindowVisible(h) && std::wstring(name) == cls) out.push_back(h);
  }
  return out;
}

// The confirmation dialog: a visible 256 x 110 dialog of the launcher.
HWND FindConfirm(DWORD pid) {
  for (HWND h : VisibleWindowsOfClass(pid, L"#32770")) {
    const RECT rc = WindowRect(h);
    if (rc.right - rc.left == 256 && rc.bottom - rc.top == 110) return h;
  }
  return nullptr;
}

HWND WaitForConfirm(DWORD pid) {
  HWND confirm = nullptr;
  PumpUntil([&] { return (confirm = FindConfirm(pid)) != nullptr; }, 5000);
  if (confirm) Pump(300);  // let it paint and settle
  return confirm;
}

// The dialog's button row: confirm from x = 40 to 139, cancel from 140 on.
bool Answer(HWND confirm, bool yes) {
  const RECT rc = WindowRect(confirm);
  return Click(rc.left + (yes ? 70 : 170), rc.top + 85);
}

bool LogHas(const std::vector<std::string>& log, const std::string& start, const std::string& part = "") {
  for (const std::string& line : log) {
    if (line.rfind(start, 0) == 0 && line.find(part) != std::string::npos) return true;
  }
  return false;
}

class GameCommands : public ::testing::Test {
protected:
  void SetUp() override {
    if (!OnWine()) GTEST_SKIP() << "real input goes through the X server";
    OtherProgram::s_keysSeen = 0;
    s.portal.SetRoute(portal::kLoginPath, 200, "text/html; charset=utf-8", LoginPage(0));
    s.portal.SetRoute(kGamePath, 200, "text/html; charset=utf-8", kGamePage);
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.WaitForGameWindow());
    game = s.GameWindow();
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(s.GameBrowser()) != FALSE; }, 15000))
        << "the game page never arrived";
    Pump(300);
  }

  void TearDown() override {
    const bool running = s.process.Handle() && ::WaitForSingleObject(s.process.Handle(), 0) == WAIT_TIMEOUT;
    if (running && s.login && ::IsWindow(s.login)) {
      EXPECT_TRUE(s.CloseLogin());
    }
  }

  // Clicks on the bare title bar (between the logo and the server button).
  POINT TitleBarPoint() {
    const RECT rc = WindowRect(game);
    return {rc.left + 300, rc.top + 15};
  }

  e2e::LauncherSession s;
  HWND game = nullptr;
};

TEST_F(GameCommands, RestoreAndMaximiseSwapTheirButtonsAndTheGeometries) {
  EXPECT_TRUE(InMode(game, Mode::Maximized, s.login)) << "right after the first show";
  const LONG ex = ::GetWindowLongW(game, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_APPWINDOW) << "a taskbar button of its own";
  EXPECT_FALSE(ex & WS_EX_TOOLWINDOW);
  e2e::ScreenShot shot;
  ASSERT_TRUE(shot.Take(L"game-maximized.png"));

  // The pointer resting on a button brings up its tip: the window relays the mouse to it.
  const POINT tipAt = Center(WindowRect(::GetDlgItem(game, kRestore)));
  ASSERT_TRUE(MoveMouse(tipAt.x - 3, tipAt.y));
  ASSERT_TRUE(MoveMouse(tipAt.x, tipAt.y));
  EXPECT_TRUE(PumpUntil([&] { return !VisibleWindowsOfClass(s.process.Pid(), L"tooltips_class32").empty(); }, 4000))
      << "no tooltip";
  ASSERT_TRUE(shot.Take(L"game-tooltip.png"));

  ASSERT_TRUE(ClickChild(game, kRestore));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Normal, s.login)); }, 3000))
      << InMode(game, Mode::Normal, s.login).message();
  ASSERT_TRUE(shot.Take(L"game-normal.png"));

  ASSERT_TRUE(ClickChild(game, kMaximize));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Maximized, s.login)); }, 3000))
      << InMode(game, Mode::Maximized, s.login).message();

  // The title bar's own double click swaps them as well.
  POINT p = TitleBarPoint();
  ASSERT_TRUE(DoubleClick(p.x, p.y));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Normal, s.login)); }, 3000))
      << InMode(game, Mode::Normal, s.login).message();
  p = TitleBarPoint();
  ASSERT_TRUE(DoubleClick(p.x, p.y));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Maximized, s.login)); }, 3000))
      << InMode(game, Mode::Maximized, s.login).message();
}

TEST_F(GameCommands, TitleBarDragMovesTheWindowOnlyInTheNormalMode) {
  POINT p = TitleBarPoint();
  ASSERT_TRUE(Drag(p.x, p.y, p.x + 120, p.y + 70));
  Pump(500);
  EXPECT_TRUE(InMode(game, Mode::Maximized, s.login)) << "a maximised window does not move";

  ASSERT_TRUE(ClickChild(game, kRestore));
  ASSERT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Normal, s.login)); }, 3000));
  const RECT before = WindowRect(game);
  p = TitleBarPoint();
  ASSERT_TRUE(Drag(p.x, p.y, p.x + 120, p.y + 70));
  ASSERT_TRUE(PumpUntil([&] { return WindowRect(game).left != before.left; }, 3000)) << "the drag moved nothing";
  Pump(300);
  const RECT after = WindowRect(game);
  EXPECT_EQ(after.left - before.left, 120);
  EXPECT_EQ(after.top - before.top, 70);
  EXPECT_EQ(after.right - after.left, 1000);
  EXPECT_EQ(after.bottom - after.top, 700);

  // Minimising and restoring applies the mode again: the window is centred once more.
  ASSERT_TRUE(ClickChild(game, kMinimize));
  ASSERT_TRUE(PumpUntil([&] { return ::IsIconic(game) != FALSE; }, 3000)) << "the window did not minimise";
  ::PostMessageW(game, WM_SYSCOMMAND, SC_RESTORE, 0);  // what the taskbar button does
  ASSERT_TRUE(PumpUntil([&] { return !::IsIconic(game) && ::IsWindowVisible(game); }, 3000));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Normal, s.login)); }, 3000))
      << InMode(game, Mode::Normal, s.login).message();
}

TEST_F(GameCommands, HotKeysAreGlobalF11TogglesFullScreenAndF10HidesKeepingTheMode) {
  OtherProgram other;
  EXPECT_FALSE(other.HotKeyFree(VK_F10)) << "the launcher holds F10";
  EXPECT_FALSE(other.HotKeyFree(VK_F11)) << "the launcher holds F11";

  ASSERT_TRUE(ClickChild(game, kRestore));
  ASSERT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Normal, s.login)); }, 3000));

  // F11 from the normal mode enters full screen ...
  ASSERT_TRUE(other.Press("F11"));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::FullScreen, s.login)); }, 3000))
      << InMode(game, Mode::FullScreen, s.login).message();
  other.Hide();
  Pump(300);
  // When the other program's window hides, Wine (without a window manager) passes the
  // activation to the login page's overlay, which then lies above the game window; a click into
  // the page activates the game window again for the screenshot.
  ASSERT_TRUE(Click(100, 600));
  Pump(300);
  e2e::ScreenShot shot;
  ASSERT_TRUE(shot.Take(L"game-fullscreen.png"));

  // ... and F11 again ends maximised, not where it came from.
  ASSERT_TRUE(other.Press("F11"));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Maximized, s.login)); }, 3000))
      << InMode(game, Mode::Maximized, s.login).message();

  // F10 hides the window; F11 meanwhile does nothing; F10 brings it back as it was.
  ASSERT_TRUE(other.Press("F10"));
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(game); }, 3000)) << "F10 did not hide the window";
  ASSERT_TRUE(other.Press("F11"));
  Pump(500);
  EXPECT_FALSE(::IsWindowVisible(game)) << "F11 showed the hidden window";
  ASSERT_TRUE(other.Press("F10"));
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(game) != FALSE; }, 3000)) << "F10 did not show it again";
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Maximized, s.login)); }, 3000))
      << InMode(game, Mode::Maximized, s.login).message();

  // The full-screen button from the normal mode, and F11 out of it.
  ASSERT_TRUE(ClickChild(game, kRestore));
  ASSERT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Normal, s.login)); }, 3000));
  ASSERT_TRUE(ClickChild(game, kFullScreen));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::FullScreen, s.login)); }, 3000))
      << InMode(game, Mode::FullScreen, s.login).message();
  ASSERT_TRUE(other.Press("F11"));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Maximized, s.login)); }, 3000))
      << InMode(game, Mode::Maximized, s.login).message();

  EXPECT_EQ(OtherProgram::s_keysSeen, 0) << "a registered hotkey reached another program";
}

TEST_F(GameCommands, BossButtonHidesUntilF10OrTheTrayDoubleClick) {
  OtherProgram other;
  ASSERT_TRUE(ClickChild(game, kRestore));
  ASSERT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Normal, s.login)); }, 3000));

  ASSERT_TRUE(ClickChild(game, kBoss));
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(game); }, 3000)) << "the boss button did not hide";
  // Notifications for another icon and other mouse messages change nothing.
  DWORD_PTR result = 0;
  ASSERT_TRUE(::SendMessageTimeoutW(game, kTrayNotify, kTrayIconId + 1, WM_LBUTTONDBLCLK, SMTO_ABORTIFHUNG, 3000,
                                    &result));
  EXPECT_EQ(result, 1u);
  ASSERT_TRUE(
      ::SendMessageTimeoutW(game, kTrayNotify, kTrayIconId, WM_LBUTTONDOWN, SMTO_ABORTIFHUNG, 3000, &result));
  EXPECT_EQ(result, 0u);
  Pump(300);
  EXPECT_FALSE(::IsWindowVisible(game));

  ::PostMessageW(game, kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(game) != FALSE; }, 3000)) << "the tray double click";
  EXPECT_TRUE(InMode(game, Mode::Normal, s.login)) << "back in the mode it had";
  ::PostMessageW(game, kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(game); }, 3000)) << "a second double click hides";
  ::PostMessageW(game, kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(game) != FALSE; }, 3000));

  ASSERT_TRUE(ClickChild(game, kBoss));
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(game); }, 3000));
  ASSERT_TRUE(other.Press("F10"));
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(game) != FALSE; }, 3000)) << "F10";
  // A new game address while hidden is the hand-off's own test (HandOff's reuse of the window).
}

TEST_F(GameCommands, CloseRequestReleasesTrayIconAndHotKeysButTheWindowStaysUsable) {
  OtherProgram other;
  ASSERT_TRUE(TrayIconExists(game)) << "the launcher added its tray icon";
  ASSERT_FALSE(other.HotKeyFree(VK_F10));

  ::PostMessageW(game, WM_CLOSE, 0, 0);  // the taskbar's close command
  EXPECT_TRUE(PumpUntil([&] { return !TrayIconExists(game); }, 3000)) << "the tray icon stayed";
  EXPECT_TRUE(PumpUntil([&] { return other.HotKeyFree(VK_F10) && other.HotKeyFree(VK_F11); }, 3000))
      << "the hotkeys stayed registered";
  EXPECT_TRUE(::IsWindow(game) && ::IsWindowVisible(game)) << "the window closed";

  // Its buttons keep working, and it still paints (the title bar has lost its bitmap).
  ASSERT_TRUE(ClickChild(game, kRestore));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Normal, s.login)); }, 3000))
      << InMode(game, Mode::Normal, s.login).message();
  ::InvalidateRect(game, nullptr, TRUE);
  Pump(300);
  e2e::ScreenShot shot;
  ASSERT_TRUE(shot.Take(L"game-after-close-request.png"));
  const RECT w = WindowRect(game);
  const COLORREF strip = shot.At(w.left + 400, w.top + 15);  // bare title bar, between logo and buttons
  EXPECT_LT(GetRValue(strip) + GetGValue(strip) + GetBValue(strip), 200) << "the title bar lost its dark strip";
  ASSERT_TRUE(ClickChild(game, kMaximize));
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Maximized, s.login)); }, 3000));

  // F10 now belongs to the other program.
  ASSERT_TRUE(other.Press("F10"));
  EXPECT_TRUE(::IsWindowVisible(game));
  EXPECT_GT(OtherProgram::s_keysSeen, 0) << "F10 did not reach the other program";
}

TEST_F(GameCommands, ServerReselectionConfirmedBringsBackTheLoginPageAndAFreshGameWindow) {
  OtherProgram other;
  // Cancelled first: nothing changes.
  ASSERT_TRUE(ClickChild(game, kServer));
  HWND confirm = WaitForConfirm(s.process.Pid());
  ASSERT_TRUE(confirm) << "no confirmation";
  EXPECT_FALSE(::IsWindowEnabled(game)) << "the game window is the confirmation's owner";
  ASSERT_TRUE(Answer(confirm, false));
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(confirm); }, 3000));
  Pump(500);
  EXPECT_EQ(s.GameWindow(), game);
  EXPECT_TRUE(::IsWindowVisible(game) && ::IsWindowEnabled(game));
  EXPECT_TRUE(TrayIconExists(game));
  EXPECT_FALSE(other.HotKeyFree(VK_F10));
  EXPECT_FALSE(LogHas(s.BrowserLog(), "Invoke Refresh"));
  EXPECT_EQ(s.portal.CountRequests("GET /v6/weiduan?gc=qth"), 1);

  // The reloaded login page hands over the game again, a little later.
  s.portal.SetRoute(portal::kLoginPath, 200, "text/html; charset=utf-8", LoginPage(3));
  ASSERT_TRUE(ClickChild(game, kRestore));  // so that the fresh window shows its own mode
  ASSERT_TRUE(PumpUntil([&] { return bool(InMode(game, Mode::Normal, s.login)); }, 3000));
  ASSERT_TRUE(ClickChild(game, kServer));
  confirm = WaitForConfirm(s.process.Pid());
  ASSERT_TRUE(confirm);
  ASSERT_TRUE(Answer(confirm, true));

  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(game); }, 5000)) << "the game window stayed";
  EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == s.login; }, 3000)) << "the login window is not active";
  EXPECT_TRUE(::IsWindowVisible(s.login) && ::IsWindowVisible(s.overlay));
  EXPECT_FALSE(TrayIconExists(game));
  EXPECT_TRUE(other.HotKeyFree(VK_F10));
  EXPECT_TRUE(other.HotKeyFree(VK_F11));
  EXPECT_TRUE(s.portal.WaitForRequest("GET /v6/weiduan?gc=qth", 3000));
  EXPECT_TRUE(PumpUntil([&] { return s.portal.CountRequests("GET /v6/weiduan?gc=qth") == 2; }, 5000))
      << "the login page was not reloaded";

  // In the browser's log: the game's browser went before the login page's was refreshed.
  const std::vector<std::string> log = s.BrowserLog();
  int destroyed = -1, refreshed = -1;
  std::string overlayCtl;
  for (int i = 0; i < static_cast<int>(log.size()); ++i) {
    if (log[i].rfind("Destroy", 0) == 0 && destroyed < 0) destroyed = i;
    if (log[i].rfind("Invoke Refresh", 0) == 0) {
      refreshed = i;
      overlayCtl = standin::StandinLogValue(log[i], "ctl");
    }
  }
  EXPECT_GE(destroyed, 0) << "the game's browser was not released";
  EXPECT_GT(refreshed, destroyed) << "the refresh came before the game window went";
  EXPECT_EQ(overlayCtl, "1") << "the refresh went to the login page's browser";

  // The next game address opens a fresh window, maximised again.
  HWND fresh = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        fresh = s.GameWindow();
        return fresh && ::IsWindowVisible(fresh);
      },
      10000))
      << "no new game window";
  EXPECT_NE(fresh, game);
  EXPECT_TRUE(PumpUntil([&] { return bool(InMode(fresh, Mode::Maximized, s.login)); }, 3000))
      << InMode(fresh, Mode::Maximized, s.login).message();
  EXPECT_TRUE(PumpUntil([&] { return TrayIconExists(fresh); }, 3000));
  EXPECT_FALSE(other.HotKeyFree(VK_F10)) << "the fresh window holds F10 again";
}

TEST_F(GameCommands, TrayMenuExitAsksFirstAndQuitsOnlyOnConfirmation) {
  for (bool confirmIt : {false, true}) {
    ASSERT_TRUE(MoveMouse(600, 400));
    Pump(200);
    ::PostMessageW(game, kTrayNotify, kTrayIconId, WM_RBUTTONUP);
    std::vector<HWND> menus;
    ASSERT_TRUE(PumpUntil([&] { return !(menus = VisibleWindowsOfClass(s.process.Pid(), L"#32768")).empty(); },
                          3000))
        << "no menu";
    Pump(300);
    const RECT menu = WindowRect(menus.front());
    EXPECT_EQ(menu.left, 600) << "the menu opens at the pointer";
    EXPECT_EQ(menu.top, 400);
    if (!confirmIt) {
      e2e::ScreenShot shot;
      EXPECT_TRUE(shot.Take(L"tray-menu.png"));
    }
    ASSERT_TRUE(Click(menu.left + 15, (menu.top + menu.bottom) / 2));  // its one item, "退出"
    HWND confirm = WaitForConfirm(s.process.Pid());
    ASSERT_TRUE(confirm) << "no confirmation";
    ASSERT_TRUE(Answer(confirm, confirmIt));
    if (!confirmIt) {
      ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(confirm); }, 3000));
      Pump(500);
      EXPECT_EQ(::WaitForSingleObject(s.process.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
          << "cancelled, the launcher still runs";
      EXPECT_TRUE(::IsWindowVisible(game));
    }
  }
  DWORD code = 0;
  EXPECT_TRUE(s.WaitForExit(10000, &code));
  EXPECT_FALSE(TrayIconExists(game)) << "the tray icon left behind";
  OtherProgram other;
  EXPECT_TRUE(other.HotKeyFree(VK_F10));
}

TEST_F(GameCommands, EnterAndEscTypedIntoThePageReachItAndCloseNothing) {
  const RECT page = WindowRect(s.GameBrowser());
  ASSERT_TRUE(Click(page.right - 40, page.bottom - 40));  // into the page, away from its link
  Pump(300);
  ASSERT_TRUE(PressKey("Escape"));
  ASSERT_TRUE(PressKey("Tab"));  // the page's link takes the focus
  Pump(200);
  ASSERT_TRUE(PressKey("Return"));
  EXPECT_TRUE(s.portal.WaitForRequest("GET /news", 5000)) << "Enter did not follow the focused link";
  Pump(300);
  const std::vector<std::string> log = s.BrowserLog();
  EXPECT_TRUE(LogHas(log, "Key msg=0x100 key=0x1B")) << "Esc did not reach the page";
  EXPECT_TRUE(LogHas(log, "Key msg=0x100 key=0xD", "action=follow")) << "Enter did not reach the page";
  EXPECT_TRUE(::IsWindowVisible(game));
  EXPECT_TRUE(InMode(game, Mode::Maximized, s.login)) << "a button was triggered";
  EXPECT_TRUE(FindConfirm(s.process.Pid()) == nullptr);
}

TEST_F(GameCommands, RefreshButtonReloadsTheGamePage) {
  const int before = s.portal.CountRequests(kGamePath);
  ASSERT_TRUE(ClickChild(game, kRefresh));
  EXPECT_TRUE(PumpUntil([&] { return s.portal.CountRequests(kGamePath) == before + 1; }, 5000));
  EXPECT_TRUE(LogHas(s.BrowserLog(), "Invoke Refresh", "ctl=2")) << "the refresh went to the game's browser";
}

// Many small files in the cookies folder keep the cleaner busy long enough to look at the veil.
// They are made on the Unix side: a Windows loop would take longer than the cleaning.
class CookieFiles {
public:
  explicit CookieFiles(int count) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, CSIDL_COOKIES, TRUE);
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path) : nullptr;
    if (!name) return;
    m_dir = std::string(name) + "/vellmar-e2e-veil";
    ::HeapFree(::GetProcessHeap(), 0, name);
    ok = RunUnix("mkdir -p '" + m_dir + "' && cd '" + m_dir + "' && seq 1 " + std::to_string(count) +
                 " | sed 's/$/.txt/' | xargs touch") == 0;
  }
  ~CookieFiles() {
    if (!m_dir.empty()) RunUnix("rm -rf '" + m_dir + "'");
  }
  bool ok = false;

private:
  std::string m_dir;
};

TEST_F(GameCommands, CleanCacheVeilDisablesTheGameWindowWhileHotKeysStillAnswer) {
  CookieFiles files(20000);
  ASSERT_TRUE(files.ok);
  OtherProgram other;
  ASSERT_TRUE(ClickChild(game, kClean));
  HWND veil = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (HWND h : VisibleWindowsOfClass(s.process.Pid(), L"#32770")) {
          const RECT rc = WindowRect(h), screen = Screen();
          if (h != game && ::EqualRect(&rc, &screen)) veil = h;
        }
        return veil != nullptr;
      },
      5000))
      << "no veil over the screen";
  EXPECT_FALSE(::IsWindowEnabled(game)) << "the game window takes input while the veil runs";
  other.Hide();
  Pump(300);
  e2e::ScreenShot shot;
  EXPECT_TRUE(shot.Take(L"clean-cache-veil.png"));

  // The hotkeys still answer meanwhile.
  ASSERT_TRUE(other.Press("F10"));
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(game); }, 3000)) << "F10 during the cleaning";
  ASSERT_TRUE(other.Press("F10"));
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(game) != FALSE; }, 3000));
  ASSERT_TRUE(::IsWindow(veil)) << "the cleaning ended too soon to test Esc";

  // Esc, with the focus on the veil, ends it.
  const RECT rc = WindowRect(veil);
  ASSERT_TRUE(Click(rc.left + 10, rc.bottom - 10));
  Pump(200);
  ASSERT_TRUE(PressKey("Escape"));
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(veil); }, 10000)) << "Esc did not end the veil";
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(game) != FALSE; }, 3000)) << "the game window stayed disabled";
}

}  // namespace
