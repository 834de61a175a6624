#pragma once
// The application object: one per process, reached through Current(). Run() is the whole
// life of the process: InitInstance, then ExitInstance.
#include <windows.h>
#include <string>

namespace fw {

class Window;

class Application {
public:
  Application() noexcept;
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  static Application* Current() noexcept { return s_current; }

  int Run(HINSTANCE instance, const wchar_t* commandLine) noexcept;

  virtual BOOL InitInstance() noexcept;
  virtual int ExitInstance() noexcept;

  HINSTANCE ResourceHandle() const noexcept { return m_hInstance; }
  const std::wstring& CommandLine() const noexcept { return m_commandLine; }
  HWND MainWindowHandle() const noexcept;

  // The main window; dialogs without a parent take their owner from it.
  Window* m_pMainWnd = nullptr;
  // Restart-manager support: non-zero registers the process for restart in InitInstance.
  DWORD m_dwRestartManagerSupportFlags = 0;
  // Exit code of the process when ExitInstance does not give another.
  int m_nExitCode = 0;

protected:
  HINSTANCE m_hInstance;
  std::wstring m_commandLine;

private:
  static Application* s_current;
};

// The owner a dialog without a parent gets, and the top-level window to disable with it.
HWND SafeOwner(HWND parent, HWND* topToDisable) noexcept;

// The window handle of the application's main window, or null.
HWND MainWindow() noexcept;

}  // namespace fw
