// From the login page to the game window, with the real launcher, the local portal and the
// stand-in browser registered in the test prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "LauncherSession.h"
#include "browser/StandinBrowser.h"
#include "common/RealInput.h"

namespace {

using namespace testing_support;
using standin::StandinLogValue;

// A child's rectangle in its window's client coordinates.
RECT ChildRect(HWND parent, HWND child) {
  RECT rc = WindowRect(child);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

bool StartsWith(const std::string& line, const char* word) { return line.rfind(word, 0) == 0; }

std::string Page(const std::string& head, const std::string& body) {
  return "<html><head><meta charset=\"utf-8\"><title>Vellmar 登录</title>" + head + "</head><body>" + body +
         "</body></html>";
}

// The login page the player is shown instead of the portal's built-in one.
void ServeLoginPage(e2e::LauncherSession& s, const std::string& head, const std::string& body, int delayMs = 0) {
  portal::Response r;
  r.body = Page(head, body);
  r.delayMs = delayMs;
  s.portal.SetRoute(portal::kLoginPath, r);
}

// A link that is easy to hit: large text in the page's link colour.
std::string BigLink(int server) {
  return "<h1><a href=\"/game/play?server=" + std::to_string(server) + "&amp;client=1\">进入游戏 服务器 " +
         std::to_string(server) + "</a></h1>";
}

// The stand-in numbers its controls per process; the activation line tells which one lives in
// which window.
std::string BrowserCtlIn(const e2e::LauncherSession& s, HWND window) {
  for (const std::string& line : s.BrowserLog()) {
    if (!StartsWith(line, "InPlaceActivate hwnd=")) continue;
    HWND h = reinterpret_cast<HWND>(std::strtoul(StandinLogValue(line, "hwnd").c_str(), nullptr, 16));
    if (h && window && ::IsChild(window, h)) return StandinLogValue(line, "ctl");
  }
  return "";
}

bool Logged(const e2e::LauncherSession& s, const char* event, const std::string& ctl) {
  for (const std::string& line : s.BrowserLog()) {
    if (StartsWith(line, event) && StandinLogValue(line, "ctl") == ctl) return true;
  }
  return false;
}

// The address of the last page that arrived in a browser.
std::string LastArrived(const e2e::LauncherSession& s, const std::string& ctl) {
  std::string url;
  for (const std::string& line : s.BrowserLog()) {
    if (StartsWith(line, "NavigateComplete2 ") && StandinLogValue(line, "ctl") == ctl) url = StandinLogValue(line, "url");
  }
  return url;
}

std::vector<HWND> GameWindows(const e2e::LauncherSession& s) {
  std::vector<HWND> out;
  for (HWND h : TopLevelWindows(s.process.Pid(), L"Vellmar")) {
    if (::GetWindow(h, GW_OWNER) == s.login) out.push_back(h);
  }
  return out;
}

// Where a link in the page's link colour shows on the screen: the middle of the box around
// its pixels inside `area`.
bool FindLink(const std::wstring& shotName, const RECT& area, POINT* at) {
  e2e::ScreenShot shot;
  if (!shot.Take(shotName)) return false;
  RECT box{area.right, area.bottom, area.left, area.top};
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (shot.At(x, y) != RGB(0, 0, 204)) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  }
  if (box.left >= box.right) return false;
  *at = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  return true;
}

// Both keys can be registered by this program: no game window holds them.
bool HotKeysFree() {
  const bool f10 = ::RegisterHotKey(nullptr, 0x7A10, 0, VK_F10) != FALSE;
  const bool f11 = ::RegisterHotKey(nullptr, 0x7A11, 0, VK_F11) != FALSE;
  if (f10) ::UnregisterHotKey(nullptr, 0x7A10);
  if (f11) ::UnregisterHotKey(nullptr, 0x7A11);
  return f10 && f11;
}

std::wstring Text(HWND h) {
  wchar_t buf[256] = {};
  ::GetWindowTextW(h, buf, 256);
  return buf;
}

void ClickCentre(HWND h) {
  const RECT rc = WindowRect(h);
  ASSERT_TRUE(Click((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
}

// After a hand-off of `path`: the game window shows the page, the overlay's browser never
// went there, and the window has its first-show geometry.
void ExpectHandedOff(e2e::LauncherSession& s, const std::string& path) {
  const std::string url = s.portal.Url(path);
  ASSERT_TRUE(s.portal.WaitForRequest("GET " + path, 15000)) << path << " never reached the portal";
  ASSERT_TRUE(s.WaitForGameWindow());
  const HWND game = s.GameWindow();
  const std::string gameCtl = BrowserCtlIn(s, game), overlayCtl = BrowserCtlIn(s, s.overlay);
  ASSERT_FALSE(gameCtl.empty());
  ASSERT_FALSE(overlayCtl.empty());
  ASSERT_NE(gameCtl, overlayCtl);
  EXPECT_TRUE(PumpUntil([&] { return LastArrived(s, gameCtl) == url; }, 10000)) << "the game page never arrived";
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(s.GameBrowser()) != FALSE; }, 5000));
  Pump(300);  // time for a second request, were there one

  EXPECT_EQ(s.portal.CountRequests("GET " + path), 1);
  int overlaySaw = 0, gameFetched = 0;
  for (const std::string& line : s.BrowserLog()) {
    if (StandinLogValue(line, "url") != url) continue;
    const std::string ctl = StandinLogValue(line, "ctl");
    if (StartsWith(line, "BeforeNavigate2 ") && ctl == overlayCtl) {
      ++overlaySaw;
      EXPECT_EQ(StandinLogValue(line, "cancel"), "1") << line;
    }
    if (StartsWith(line, "Fetch ")) {
      EXPECT_EQ(ctl, gameCtl) << "only the game window's browser fetches the game page: " << line;
      if (ctl == gameCtl) ++gameFetched;
    }
  }
  EXPECT_GE(overlaySaw, 1) << "the overlay never saw the game address";
  EXPECT_EQ(gameFetched, 1);
  EXPECT_NE(LastArrived(s, overlayCtl), url) << "the overlay stays on the page that issued the address";

  EXPECT_EQ(GameWindows(s).size(), 1u);
  EXPECT_TRUE(::IsWindowVisible(game));
  EXPECT_EQ(::GetForegroundWindow(), game);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const RECT expected{0, 0, work.right - work.left, work.bottom - work.top};
  const RECT actual = WindowRect(game);
  EXPECT_TRUE(::EqualRect(&actual, &expected)) << Describe(actual);
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(game, 1011))) << "restore button";
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(game, 1009))) << "maximise button";
  const RECT page = ChildRect(game, s.GameBrowser());
  const RECT pageExpected{0, 30, expected.right, expected.bottom};
  EXPECT_TRUE(::EqualRect(&page, &pageExpected)) << Describe(page);
}

TEST(HandOff, LoginPageArrivesInTheOverlaysBrowserWhichIsHiddenUntilThen) {
  e2e::LauncherSession s;
  ASSERT_TRUE(s.Start());
  const RECT login = WindowRect(s.login), overlay = WindowRect(s.overlay);
  EXPECT_TRUE(::EqualRect(&login, &overlay)) << "the overlay lies exactly over the login window";
  ASSERT_TRUE(s.WaitForLoginPage());
  EXPECT_EQ(s.portal.CountRequests("GET /v6/weiduan?gc=qth"), 1);
  const RECT page = WindowRect(s.OverlayBrowser());
  EXPECT_EQ(page.left - overlay.left, 349);
  EXPECT_EQ(page.top - overlay.top, 175);
  EXPECT_EQ(page.right - page.left, 640);
  EXPECT_EQ(page.bottom - page.top, 449);
  // The browser was not shown before the page had arrived.
  bool completedBeforeShown = false;
  for (const std::string& line : s.BrowserLog()) {
    if (line.rfind("NavigateComplete2", 0) == 0) completedBeforeShown = true;
  }
  EXPECT_TRUE(completedBeforeShown);
  EXPECT_TRUE(s.CloseLogin());
}

TEST(HandOff, ASlowLoginPageKeepsTheOverlaysBrowserHiddenUntilItArrives) {
  e2e::LauncherSession s;
  ServeLoginPage(s, "", "<h2>欢迎来到 Vellmar</h2><p>请选择服务器。</p>" + BigLink(1), 3000);
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(s.portal.WaitForRequest("GET /v6/weiduan?gc=qth", 10000));
  const HWND browser = s.OverlayBrowser();
  ASSERT_NE(browser, nullptr);
  const std::string ctl = BrowserCtlIn(s, s.overlay);
  ASSERT_FALSE(ctl.empty());
  // The portal is holding the page back for 3 s: nothing may be shown yet.
  EXPECT_FALSE(::IsWindowVisible(browser)) << "shown while the portal was still holding the page back";

  // Visibility first, then the log: a browser seen visible while the log still lacks the
  // page's arrival was shown too early.
  bool shownEarly = false;
  ASSERT_TRUE(PumpUntil(
      [&] {
        const bool visible = ::IsWindowVisible(browser) != FALSE;
        if (visible && !Logged(s, "NavigateComplete2 ", ctl)) shownEarly = true;
        return visible;
      },
      15000));
  EXPECT_FALSE(shownEarly);

  const RECT overlay = WindowRect(s.overlay), page = WindowRect(browser);
  EXPECT_EQ(page.left - overlay.left, 349);
  EXPECT_EQ(page.top - overlay.top, 175);
  EXPECT_EQ(page.right - page.left, 640);
  EXPECT_EQ(page.bottom - page.top, 449);

  if (OnWine()) {
    Pump(500);
    e2e::ScreenShot shot;
    ASSERT_TRUE(shot.Take(L"login-window.png"));
    // The page's white background where the browser lies, not the overlay's key colour.
    EXPECT_EQ(shot.At(page.right - 10, page.bottom - 10), RGB(255, 255, 255));
  }
  EXPECT_EQ(GameWindows(s).size(), 0u);
  EXPECT_TRUE(s.CloseLogin());
}

// One way for the login page to lead to a game address.
struct Lead {
  const char* name;
  std::string head, body;
  int server;
  bool click;      // a player clicks the link
  bool fromFrame;  // the address comes from a frame, not the top page
};

// Test names must not carry the parameter's bytes (pointers change with every build).
void PrintTo(const Lead& lead, std::ostream* os) { *os << lead.name; }

class HandOffBy : public ::testing::TestWithParam<Lead> {};

TEST_P(HandOffBy, TheGameWindowAloneOpensTheGameAddress) {
  const Lead& lead = GetParam();
  if (lead.click && !OnWine()) GTEST_SKIP() << "needs the X server's real input";
  e2e::LauncherSession s;
  ServeLoginPage(s, lead.head, lead.body);
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(s.WaitForLoginPage());
  if (lead.click) {
    POINT link{};
    ASSERT_TRUE(FindLink(L"handoff-link.png", WindowRect(s.OverlayBrowser()), &link)) << "no link on the page";
    ASSERT_TRUE(Click(link.x, link.y));
  }
  const std::string path = portal::GamePath(lead.server);
  ExpectHandedOff(s, path);

  const std::string url = s.portal.Url(path);
  for (const std::string& line : s.BrowserLog()) {
    if (StartsWith(line, "BeforeNavigate2 ") && StandinLogValue(line, "url") == url &&
        StandinLogValue(line, "ctl") == BrowserCtlIn(s, s.overlay)) {
      EXPECT_EQ(StandinLogValue(line, "frame") != "top", lead.fromFrame) << line;
    }
  }
  if (lead.click) {
    bool clicked = false;
    for (const std::string& line : s.BrowserLog()) clicked |= StartsWith(line, "Click ") && StandinLogValue(line, "url").find("client=1") != std::string::npos;
    EXPECT_TRUE(clicked) << "the link was followed by a click";
  }
  if (OnWine() && lead.click) {
    Pump(500);
    EXPECT_TRUE(Screenshot(ScreenshotPath(L"game-window.png")));
  }
  EXPECT_TRUE(s.CloseLogin());
  EXPECT_TRUE(TopLevelWindows(s.process.Pid()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Leads, HandOffBy,
    ::testing::Values(
        Lead{"MetaRefresh", "<meta http-equiv=\"refresh\" content=\"1;url=/game/play?server=7&amp;client=1\">",
             "<p>正在进入游戏...</p>", 7, false, false},
        Lead{"ClickedLink", "", "<p>请选择服务器:</p>" + BigLink(8), 8, true, false},
        Lead{"Frame", "", "<p>服务器列表</p><iframe src=\"/lead/frame-inner\" width=\"600\" height=\"200\"></iframe>", 4,
             false, true}),
    [](const ::testing::TestParamInfo<Lead>& info) { return std::string(info.param.name); });

// Game addresses in a row: the first opens the window; the next ones, while it is shown,
// hidden by the boss key or minimised, reuse that same window.
TEST(HandOff, LaterGameAddressesReuseTheOneGameWindowShownOrHidden) {
  if (!OnWine()) GTEST_SKIP() << "needs the X server's real input";
  e2e::LauncherSession s;
  ServeLoginPage(s, "<meta http-equiv=\"refresh\" content=\"1;url=/game/play?server=21&amp;client=1\">",
                 BigLink(23) + "<iframe src=\"/lead/meta?delay=6&amp;server=22\" width=\"400\" height=\"80\"></iframe>");
  ASSERT_TRUE(s.Start());
  ExpectHandedOff(s, portal::GamePath(21));
  const HWND game = s.GameWindow();
  const std::string gameCtl = BrowserCtlIn(s, game);

  // The frame's address arrives while the game window is in front.
  ASSERT_TRUE(s.portal.WaitForRequest("GET " + portal::GamePath(22), 15000));
  EXPECT_TRUE(PumpUntil([&] { return LastArrived(s, gameCtl) == s.portal.Url(portal::GamePath(22)); }, 10000));
  EXPECT_EQ(s.GameWindow(), game);
  EXPECT_EQ(GameWindows(s).size(), 1u);
  EXPECT_TRUE(::IsWindowVisible(game));
  EXPECT_EQ(::GetForegroundWindow(), game);
  EXPECT_EQ(s.portal.CountRequests("GET " + portal::GamePath(22)), 1);

  // Boss key: the window hides and the login page is reachable again.
  ::PostMessageW(game, WM_COMMAND, MAKEWPARAM(1005, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(game, 1005)));
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(game); }, 5000));
  Pump(500);
  POINT link{};
  ASSERT_TRUE(FindLink(L"handoff-reuse.png", WindowRect(s.OverlayBrowser()), &link))
      << "the login page is not on the screen once the game window has gone";
  ASSERT_TRUE(Click(link.x, link.y));
  ASSERT_TRUE(s.portal.WaitForRequest("GET " + portal::GamePath(23), 15000));
  ASSERT_TRUE(s.WaitForGameWindow());
  EXPECT_EQ(s.GameWindow(), game);
  EXPECT_EQ(GameWindows(s).size(), 1u);
  EXPECT_TRUE(PumpUntil([&] { return LastArrived(s, gameCtl) == s.portal.Url(portal::GamePath(23)); }, 10000));
  Pump(300);
  EXPECT_EQ(s.portal.CountRequests("GET " + portal::GamePath(23)), 1);
  const RECT actual = WindowRect(game);
  EXPECT_EQ(actual.left, 0);
  EXPECT_EQ(actual.top, 0);

  // Minimised: the same address once more brings the window back, normal and in front.
  ::PostMessageW(game, WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(game, 1003)));
  ASSERT_TRUE(PumpUntil([&] { return ::IsIconic(game) != FALSE; }, 5000));
  Pump(500);
  ASSERT_TRUE(FindLink(L"handoff-minimised.png", WindowRect(s.OverlayBrowser()), &link))
      << "the login page is not on the screen while the game window is minimised";
  ASSERT_TRUE(Click(link.x, link.y));
  ASSERT_TRUE(s.WaitForGameWindow());
  EXPECT_TRUE(PumpUntil([&] { return s.portal.CountRequests("GET " + portal::GamePath(23)) == 2; }, 10000));
  EXPECT_FALSE(::IsIconic(game));
  EXPECT_EQ(s.GameWindow(), game);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const RECT restored = WindowRect(game), expected{0, 0, work.right - work.left, work.bottom - work.top};
  EXPECT_TRUE(::EqualRect(&restored, &expected)) << Describe(restored);
  // One game browser in the whole run.
  int created = 0;
  for (const std::string& line : s.BrowserLog()) created += StartsWith(line, "Create ");
  EXPECT_EQ(created, 2) << "the overlay's browser and one game browser";
  EXPECT_TRUE(s.CloseLogin());
}

// The game window's whole life: a confirmed server reselection ends it and gives the hotkeys
// back; the login page comes back on the screen, reloaded; the next game address makes a new
// game window that holds the hotkeys again.
TEST(HandOff, AfterAServerReselectionTheNextGameAddressOpensANewGameWindow) {
  if (!OnWine()) GTEST_SKIP() << "needs the X server's real input";
  e2e::LauncherSession s;
  ServeLoginPage(s, "", BigLink(31));
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(s.WaitForLoginPage());
  POINT link{};
  ASSERT_TRUE(FindLink(L"reselect-before.png", WindowRect(s.OverlayBrowser()), &link));
  ASSERT_TRUE(Click(link.x, link.y));
  ExpectHandedOff(s, portal::GamePath(31));
  const HWND first = s.GameWindow();
  EXPECT_FALSE(HotKeysFree());

  // The portal offers another server when the login page is reloaded.
  ServeLoginPage(s, "", BigLink(32));
  const int loginRequests = s.portal.CountRequests("GET /v6/weiduan?gc=qth");
  ClickCentre(::GetDlgItem(first, 1008));
  HWND confirm = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (HWND h : TopLevelWindows(s.process.Pid())) {
          if (h != s.login && h != s.overlay && h != first && ::IsWindowVisible(h)) confirm = h;
        }
        return confirm != nullptr;
      },
      10000));
  Pump(300);
  EXPECT_EQ(Text(::GetDlgItem(confirm, 1002)), L"选服");
  EXPECT_EQ(Text(::GetDlgItem(confirm, 1003)), L"是否退出当前游戏，重新选择新服务器?");
  const RECT dlg = WindowRect(confirm);
  ASSERT_TRUE(Click(dlg.left + 40 + 37, dlg.top + 72 + 13));

  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(first); }, 10000)) << "the game window outlived the reselection";
  EXPECT_TRUE(PumpUntil([&] { return s.portal.CountRequests("GET /v6/weiduan?gc=qth") > loginRequests; }, 10000))
      << "the login page was not reloaded";
  EXPECT_TRUE(PumpUntil([&] { return HotKeysFree(); }, 3000)) << "F10 and F11 are given back with the window";
  EXPECT_TRUE(::IsWindowVisible(s.login));
  EXPECT_TRUE(::IsWindowVisible(s.overlay));
  EXPECT_EQ(::GetForegroundWindow(), s.login);
  EXPECT_TRUE(GameWindows(s).empty());

  Pump(800);  // the reloaded page reaches the screen
  ASSERT_TRUE(FindLink(L"reselect-after.png", WindowRect(s.OverlayBrowser()), &link))
      << "the login page is not on the screen after the reselection";
  ASSERT_TRUE(Click(link.x, link.y));
  ExpectHandedOff(s, portal::GamePath(32));
  EXPECT_NE(s.GameWindow(), first);
  EXPECT_FALSE(HotKeysFree()) << "the new game window holds F10 and F11 again";
  EXPECT_TRUE(s.CloseLogin());
  EXPECT_TRUE(HotKeysFree());
}

// The game window is owned by the login window and stays above it: a click on the skin beside
// a game window of normal size activates the login window without covering the game.
TEST(HandOff, TheGameWindowStaysAboveTheLoginWindowWhoseSkinIsClicked) {
  if (!OnWine()) GTEST_SKIP() << "needs the X server's real input";
  e2e::LauncherSession s;
  ServeLoginPage(s, "<meta http-equiv=\"refresh\" content=\"1;url=/game/play?server=41&amp;client=1\">", "");
  ASSERT_TRUE(s.Start());
  ExpectHandedOff(s, portal::GamePath(41));
  const HWND game = s.GameWindow();
  ClickCentre(::GetDlgItem(game, 1011));  // restore: 1000 x 700, centred
  ASSERT_TRUE(PumpUntil([&] { return WindowRect(game).right - WindowRect(game).left == 1000; }, 5000));
  Pump(500);
  const RECT g = WindowRect(game), login = WindowRect(s.login);
  ASSERT_GT(g.left - login.left, 50) << "no skin left of the game window to click";
  const POINT centre{(g.left + g.right) / 2, (g.top + g.bottom) / 2};
  e2e::ScreenShot before, after;
  ASSERT_TRUE(before.Take(L"game-normal.png"));

  // On the skin left of the game window, halfway down: the castle picture, no hole.
  ASSERT_TRUE(Click(login.left + 45, (login.top + login.bottom) / 2));
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == s.login; }, 5000)) << "the click missed the skin";
  Pump(800);
  ASSERT_TRUE(after.Take(L"game-above-login.png"));
  for (POINT p : {centre, POINT{g.left + 100, g.top + 15}, POINT{g.right - 20, g.bottom - 20}}) {
    EXPECT_EQ(after.At(p.x, p.y), before.At(p.x, p.y)) << "the game window is covered at " << p.x << "," << p.y;
  }
  EXPECT_TRUE(::IsWindowVisible(game));
  EXPECT_EQ(WindowRect(game).left, g.left) << "the game window stays where it was";
  EXPECT_TRUE(s.CloseLogin());
}

}  // namespace
