#include "login/LoginActiveDlg.h"

#include "login/LoginDlg.h"
#include "resource.h"

namespace {

// Yellow (red 255, green 255, blue 0): whatever the overlay paints in it is a hole.
constexpr COLORREF kKeyColour = 0xFFFF;

RECT WindowRect(HWND hwnd) noexcept {
  RECT rc{};
  ::GetWindowRect(hwnd, &rc);
  return rc;
}

}  // namespace

CLoginActiveDlg::CLoginActiveDlg(CLoginDlg* pLoginDlg) noexcept
    : m_clrKey(kKeyColour), m_pLoginDlg(pLoginDlg) {}

CLoginActiveDlg::~CLoginActiveDlg() = default;

void CLoginActiveDlg::DoDataExchange() noexcept {
  AttachControl(IDC_LOGIN_MIN, m_btnMinimize);
  AttachControl(IDC_LOGIN_CLOSE, m_btnClose);
}

BOOL CLoginActiveDlg::OnInitDialog() noexcept {
  fw::Dialog::OnInitDialog();
  ApplyColorKey(m_layer, m_hWnd, m_brKey, m_clrKey, 255);
  // The page's browser is placed, sent to the login page and hidden here, before the buttons.

  m_btnMinimize.InitGdiPlus();
  m_btnClose.InitGdiPlus();
  m_btnMinimize.SetPngImage(IDB_LOGIN_MIN);
  m_btnClose.SetPngImage(IDB_LOGIN_CLOSE);
  m_btnMinimize.MoveWindow(998, 196, 27, 27, TRUE);
  m_btnClose.MoveWindow(1029, 192, 36, 35, TRUE);
  return TRUE;
}

bool CLoginActiveDlg::OnCommand(WPARAM wp, LPARAM lp) noexcept {
  if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == IDC_LOGIN_MIN) {
    // The login window leads: the overlay is hidden with its owner and comes back with it.
    if (m_pLoginDlg) m_pLoginDlg->ShowWindow(SW_MINIMIZE);
    return true;
  }
  return fw::Dialog::OnCommand(wp, lp);
}

HBRUSH CLoginActiveDlg::OnCtlColor(HDC, HWND, UINT) noexcept {
  // The dialog's own background included: everything the overlay paints itself is key colour.
  return m_brKey.Get();
}

LRESULT CLoginActiveDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_NCHITTEST:
      return OnNcHitTest();
    case WM_MOVE: {
      const LRESULT result = fw::Dialog::WindowProc(msg, wp, lp);
      OnMove();
      return result;
    }
    default:
      return fw::Dialog::WindowProc(msg, wp, lp);
  }
}

LRESULT CLoginActiveDlg::OnNcHitTest() noexcept {
  if (m_pLoginDlg) m_pLoginDlg->m_bLeading = FALSE;
  return Default() == HTCLIENT ? HTCAPTION : HTNOWHERE;
}

void CLoginActiveDlg::OnMove() noexcept {
  if (!::IsWindow(m_hWnd) || !m_pLoginDlg || m_pLoginDlg->m_bLeading || !m_pLoginDlg->m_hWnd) return;
  const RECT own = WindowRect(m_hWnd);
  const RECT login = WindowRect(m_pLoginDlg->m_hWnd);
  m_pLoginDlg->MoveWindow(own.left, own.top, login.right - login.left, login.bottom - login.top, TRUE);
}
