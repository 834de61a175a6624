#include "app/LoginApp.h"

#include <commctrl.h>

#include "framework/GdiPlus.h"
#include "login/LoginActiveDlg.h"
#include "login/LoginDlg.h"

CLoginApp::CLoginApp() noexcept {
  // Restart support only: no recovery, no autosave, no reopening of files.
  m_dwRestartManagerSupportFlags = 1;
}

CLoginApp* GetLoginApp() noexcept { return static_cast<CLoginApp*>(fw::Application::Current()); }

BOOL CLoginApp::InitInstance() noexcept {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);

  fw::Application::InitInstance();

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
  }
  return FALSE;
}

int CLoginApp::ExitInstance() noexcept { return fw::Application::ExitInstance(); }

void CLoginApp::DestroyGameDialog() noexcept {}
