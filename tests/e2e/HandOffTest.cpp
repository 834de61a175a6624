// From the login page to the game window, with the real launcher, the local portal and the
// stand-in browser registered in the test prefix.
#include <gtest/gtest.h>

#include "LauncherSession.h"
#include "common/RealInput.h"

namespace {

using namespace testing_support;

RECT WindowRect(HWND h) {
  RECT rc{};
  ::GetWindowRect(h, &rc);
  return rc;
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

}  // namespace
