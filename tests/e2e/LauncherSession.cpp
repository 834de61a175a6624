#include "LauncherSession.h"

#include <algorithm>
#include <cstdio>

#include "browser/StandinBrowser.h"
#include "common/RealInput.h"
#include "framework/GdiPlus.h"

namespace e2e {

using namespace testing_support;

namespace {

std::wstring Title(HWND h) {
  wchar_t buf[256] = {};
  ::GetWindowTextW(h, buf, 256);
  return buf;
}

}  // namespace

LauncherSession::LauncherSession() {
  wchar_t dir[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, dir);
  wchar_t name[64];
  std::swprintf(name, 64, L"vellmar-browser-%lu-%lu.log", ::GetCurrentProcessId(), ::GetTickCount());
  m_logPath = std::wstring(dir) + name;
  ::DeleteFileW(m_logPath.c_str());
}

LauncherSession::~LauncherSession() {
  process.Kill();
  portal.Stop();
  ::DeleteFileW(m_logPath.c_str());
}

::testing::AssertionResult LauncherSession::Start(const std::wstring& extraArgs) {
  if (!portal.Start()) return ::testing::AssertionFailure() << "the portal did not start";
  const std::wstring args = L"--portal \"" + portal.UrlW(portal::kLoginPath) + L"\" " + extraArgs;
  if (!process.Start(ModuleDir() + L"\\Vellmar.exe", args, L"STANDIN_BROWSER_LOG=" + m_logPath)) {
    return ::testing::AssertionFailure() << "Vellmar.exe did not start";
  }
  const bool found = PumpUntil(
      [&] {
        for (HWND h : TopLevelWindows(process.Pid(), L"Vellmar")) {
          if (::IsWindowVisible(h) && !::GetWindow(h, GW_OWNER)) login = h;
        }
        if (!login) return false;
        for (HWND h : TopLevelWindows(process.Pid())) {
          if (::GetWindow(h, GW_OWNER) == login && ::IsWindowVisible(h) && Title(h).empty()) overlay = h;
        }
        return overlay != nullptr;
      },
      20000);
  if (!found) return ::testing::AssertionFailure() << "no login window with its overlay";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult LauncherSession::WaitForLoginPage(DWORD timeoutMs) {
  if (PumpUntil([&] { return OverlayBrowser() && ::IsWindowVisible(OverlayBrowser()); }, timeoutMs)) {
    Pump(300);  // let the page paint
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "the overlay's browser never showed the login page";
}

HWND LauncherSession::GameWindow() const {
  for (HWND h : TopLevelWindows(process.Pid(), L"Vellmar")) {
    if (::GetWindow(h, GW_OWNER) == login && login) return h;
  }
  return nullptr;
}

::testing::AssertionResult LauncherSession::WaitForGameWindow(DWORD timeoutMs) {
  HWND game = nullptr;
  if (PumpUntil(
          [&] {
            game = GameWindow();
            return game && ::IsWindowVisible(game) && ::GetForegroundWindow() == game;
          },
          timeoutMs)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "no visible, active game window (window " << game << ")";
}

HWND LauncherSession::GameBrowser() const {
  HWND game = GameWindow();
  return game ? ::GetDlgItem(game, 1000) : nullptr;
}

HWND LauncherSession::OverlayBrowser() const { return overlay ? ::GetDlgItem(overlay, 1000) : nullptr; }

::testing::AssertionResult LauncherSession::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  DWORD code = 0;
  if (!process.Wait(timeoutMs, &code)) return ::testing::AssertionFailure() << "the launcher is still running";
  if (exitCode) *exitCode = code;
  if (code == 5) return ::testing::AssertionFailure() << "the launcher crashed";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult LauncherSession::CloseLogin(DWORD timeoutMs) {
  ::PostMessageW(login, WM_CLOSE, 0, 0);
  return WaitForExit(timeoutMs);
}

std::vector<std::string> LauncherSession::BrowserLog() const { return standin::ReadStandinLog(m_logPath); }

struct ScreenShot::Impl {
  ULONG_PTR token = 0;
  std::unique_ptr<Gdiplus::Bitmap> bitmap;
};

ScreenShot::ScreenShot() : m_impl(std::make_unique<Impl>()) {
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&m_impl->token, &input, nullptr);
}

ScreenShot::~ScreenShot() {
  m_impl->bitmap.reset();
  if (m_impl->token) Gdiplus::GdiplusShutdown(m_impl->token);
}

bool ScreenShot::Take(const std::wstring& name) {
  m_impl->bitmap.reset();
  const std::wstring path = ScreenshotPath(name);
  if (!Screenshot(path)) return false;
  m_impl->bitmap = std::make_unique<Gdiplus::Bitmap>(path.c_str());
  return m_impl->bitmap->GetLastStatus() == Gdiplus::Ok;
}

COLORREF ScreenShot::At(int x, int y) const {
  Gdiplus::Color c;
  if (!m_impl->bitmap || m_impl->bitmap->GetPixel(x, y, &c) != Gdiplus::Ok) return CLR_INVALID;
  return RGB(c.GetR(), c.GetG(), c.GetB());
}

}  // namespace e2e
