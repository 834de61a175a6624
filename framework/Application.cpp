#include "framework/Application.h"

#include "framework/Window.h"

namespace fw {

Application* Application::s_current = nullptr;

Application::Application() noexcept : m_hInstance(::GetModuleHandleW(nullptr)) {
  s_current = this;
}

Application::~Application() {
  if (s_current == this) s_current = nullptr;
}

int Application::Run(HINSTANCE instance, const wchar_t* commandLine) noexcept {
  m_hInstance = instance ? instance : ::GetModuleHandleW(nullptr);
  m_commandLine = commandLine ? commandLine : L"";
  InitInstance();
  // InitInstance runs the whole user interface; there is no loop of the application's own.
  return ExitInstance();
}

BOOL Application::InitInstance() noexcept {
  if (m_dwRestartManagerSupportFlags) {
    // Restart only: no recovery callback, no restart flags.
    ::RegisterApplicationRestart(m_commandLine.empty() ? nullptr : m_commandLine.c_str(), 0);
  }
  return TRUE;
}

int Application::ExitInstance() noexcept { return m_nExitCode; }

HWND Application::MainWindowHandle() const noexcept {
  return m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
}

HWND MainWindow() noexcept {
  Application* app = Application::Current();
  return app ? app->MainWindowHandle() : nullptr;
}

HWND SafeOwner(HWND parent, HWND* topToDisable) noexcept {
  HWND hwnd = parent ? parent : MainWindow();
  // A popup cannot be owned by a child window.
  while (hwnd && (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) hwnd = ::GetParent(hwnd);
  HWND top = hwnd;
  for (HWND h = hwnd; h; h = ::GetParent(h)) top = h;
  // Without an explicit parent the dialog belongs to whatever the user last worked in.
  if (!parent && hwnd) hwnd = ::GetLastActivePopup(hwnd);
  if (topToDisable) {
    *topToDisable = (top && top != hwnd && ::IsWindowEnabled(top)) ? top : nullptr;
  }
  return hwnd;
}

}  // namespace fw
