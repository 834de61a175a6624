// The real executable: it starts, shows its login window and leaves cleanly when that closes.
#include <gtest/gtest.h>

#include "common/RealInput.h"
#include "common/TestSupport.h"

namespace {

using namespace testing_support;

HWND VisibleWindow(DWORD pid, const wchar_t* title) {
  for (HWND h : TopLevelWindows(pid, title)) {
    if (::IsWindowVisible(h)) return h;
  }
  return nullptr;
}

TEST(Startup, LoginWindowAppearsAndCloseEndsTheProcessLeavingNoWindow) {
  Process app;
  ASSERT_TRUE(app.Start(ModuleDir() + L"\\Vellmar.exe", L""));
  HWND login = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (login = VisibleWindow(app.Pid(), L"Vellmar")) != nullptr; }, 20000))
      << "no visible window titled Vellmar";
  // The login window is the application's own top-level window: no caption, a taskbar entry.
  EXPECT_FALSE(::GetWindowLongW(login, GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(::GetWindowLongW(login, GWL_EXSTYLE) & WS_EX_APPWINDOW);

  if (OnWine()) {
    Pump(500);
    EXPECT_TRUE(Screenshot(ScreenshotPath(L"startup-login.png")));
  }

  ::PostMessageW(login, WM_CLOSE, 0, 0);
  DWORD code = 0;
  ASSERT_TRUE(app.Wait(10000, &code)) << "the launcher did not exit after WM_CLOSE";
  EXPECT_NE(code, 5u) << "crashed";
  EXPECT_TRUE(TopLevelWindows(app.Pid()).empty());
}

}  // namespace
