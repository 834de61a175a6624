#include "login/LoginDlg.h"

#include "framework/Application.h"
#include "resource.h"

CLoginDlg::CLoginDlg() noexcept : fw::Dialog(IDD_LOGIN_DIALOG) {
  m_hIcon = ::LoadIconW(fw::Application::Current()->ResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

BOOL CLoginDlg::OnInitDialog() noexcept {
  fw::Dialog::OnInitDialog();
  ::SetWindowTextW(m_hWnd, L"Vellmar");
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  return TRUE;
}

LRESULT CLoginDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_CLOSE:
      EndDialog(IDOK);
      return 0;
    default:
      return fw::Dialog::WindowProc(msg, wp, lp);
  }
}
