#include "app/LoginApp.h"

#include <commctrl.h>

#include <new>

#include "app/PortalAddress.h"
#include "browser/CustomOccManager.h"
#include "browser/ImpIDispatch.h"
#include "framework/GdiPlus.h"
#include "game/GameDialog.h"
#include "login/LoginActiveDlg.h"
#include "login/LoginDlg.h"
#include "resource.h"

CLoginApp::CLoginApp() noexcept {
  // Restart support only: no recovery, no autosave, no reopening of files.
  m_dwRestartManagerSupportFlags = 1;
}

CLoginApp* GetLoginApp() noexcept { return dynamic_cast<CLoginApp*>(fw::Application::Current()); }

std::wstring LoginPageUrl() {
  CLoginApp* app = GetLoginApp();
  return app && !app->m_strLoginPageUrl.empty() ? app->m_strLoginPageUrl : DefaultLoginPageUrl();
}

BOOL CLoginApp::InitInstance() noexcept {
  std::wstring error;
  switch (ParsePortalArgument(CommandLine(), &m_strLoginPageUrl, &error)) {
    case PortalArgument::kRefused:
      // Never start on an address the browser should not be sent to.
      ::MessageBoxW(nullptr, error.c_str(), L"Vellmar", MB_OK | MB_ICONERROR);
      m_nExitCode = 2;
      return FALSE;
    case PortalArgument::kNone:
      m_strLoginPageUrl = DefaultLoginPageUrl();
      break;
    case PortalArgument::kAccepted:
      break;
  }

  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);

  fw::Application::InitInstance();

  // The manager lives until the process ends: every dialog's controls get their sites from it.
  // Out of memory this early, the launcher goes on without browsers rather than ending.
  auto* occManager = new (std::nothrow) CCustomOccManager(&m_pExternal);
  m_pExternal = new (std::nothrow) CImpIDispatch;
  if (occManager) fw::EnableControlContainer(occManager);

  // A failed start-up is not reported here: the images then fail to load and the login
  // window falls back to its template.
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);

  {
    CLoginDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The overlay's window went with the login window that owned it; the object is ours to free.
    delete dlg.m_pActiveDlg;
    dlg.m_pActiveDlg = nullptr;
    // The login window's loop is over and its window is gone, and with it every window it owned.
    DestroyGameDialog();
    m_pMainWnd = nullptr;

    // No browser is left to hold it; its count never frees it.
    delete m_pExternal;
    m_pExternal = nullptr;
  }
  return FALSE;
}

int CLoginApp::ExitInstance() noexcept { return fw::Application::ExitInstance(); }

CGameDialog* GetGameDialog() noexcept {
  CLoginApp* app = GetLoginApp();
  if (!app) return nullptr;
  if (app->m_pGameDlg) return app->m_pGameDlg;
  auto* game = new (std::nothrow) CGameDialog();
  if (!game) return nullptr;
  app->m_pGameDlg = game;
  // Without a parent the main window, the login window, becomes its owner: it stays above the
  // login window, hides with it when minimised and goes with it.
  game->Create(IDD_GAME_DIALOG, nullptr);
  game->ShowWindow(SW_HIDE);
  return game;
}

void CLoginApp::DestroyGameDialog() noexcept {
  if (!m_pGameDlg) return;
  // The window may already be gone with its owner; the tray icon and hotkeys still have to go.
  m_pGameDlg->ReleaseShellResources();
  delete m_pGameDlg;
  m_pGameDlg = nullptr;
}

void CLoginApp::ReselectServer() noexcept {
  DestroyGameDialog();
  auto* login = static_cast<CLoginDlg*>(m_pMainWnd);
  if (!login || !login->m_hWnd) return;
  login->ShowWindow(SW_SHOWNORMAL);
  ::SetActiveWindow(login->m_hWnd);
  // Wine without a window manager raises the activated login window above its own overlay.
  login->RestackOverlay();
  if (login->m_pActiveDlg) login->m_pActiveDlg->m_browser.Refresh();
}
