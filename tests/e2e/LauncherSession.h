#pragma once
// One run of the real launcher against the local portal, seen from outside as a player or the
// system sees it: its windows, the requests reaching the portal, the browser's event log.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "portal/LocalPortal.h"

namespace e2e {

class LauncherSession {
public:
  LauncherSession();
  ~LauncherSession();  // ends the launcher if it still runs, stops the portal

  // Starts the portal and Vellmar.exe on the portal's login page (extraArgs go on the command
  // line after it), and waits for the login window and its overlay. The browser's log goes to
  // a file of this session's own.
  ::testing::AssertionResult Start(const std::wstring& extraArgs = L"");

  // The login page has arrived and the overlay's browser is shown.
  ::testing::AssertionResult WaitForLoginPage(DWORD timeoutMs = 15000);

  // The game window once it exists (it is created hidden), or null.
  HWND GameWindow() const;
  // Waits for the game window to be visible and active.
  ::testing::AssertionResult WaitForGameWindow(DWORD timeoutMs = 15000);

  // The game window's browser control (child 1000 of the game window) and the overlay's.
  HWND GameBrowser() const;
  HWND OverlayBrowser() const;

  // WM_CLOSE to the login window; waits for the process to end. Reports a crash or a hang.
  ::testing::AssertionResult CloseLogin(DWORD timeoutMs = 10000);
  ::testing::AssertionResult WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);

  // The stand-in browser's log lines so far (both browsers write to it; "ctl=" tells them apart).
  std::vector<std::string> BrowserLog() const;

  portal::LocalPortal portal;
  testing_support::Process process;
  HWND login = nullptr;
  HWND overlay = nullptr;

private:
  std::wstring m_logPath;
};

// Pixels of a screenshot, read at screen coordinates.
class ScreenShot {
public:
  ScreenShot();
  ~ScreenShot();
  // Takes a screenshot into ScreenshotPath(name) and loads it.
  bool Take(const std::wstring& name);
  COLORREF At(int x, int y) const;

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace e2e
