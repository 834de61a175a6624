#include "login/LoginActiveDlg.h"

#include <cwchar>

#include "app/LoginApp.h"
#include "game/ConfirmDlg.h"
#include "game/GameDialog.h"
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
  AttachControl(IDC_LOGIN_BROWSER, m_browser);
  m_browser.ConnectEvents(*this);
  AttachControl(IDC_LOGIN_MIN, m_btnMinimize);
  AttachControl(IDC_LOGIN_CLOSE, m_btnClose);
}

BOOL CLoginActiveDlg::OnInitDialog() noexcept {
  fw::Dialog::OnInitDialog();
  ApplyColorKey(m_layer, m_hWnd, m_brKey, m_clrKey, 255);
  m_browser.MoveWindow(349, 175, 640, 449, TRUE);
  m_browser.Navigate(LoginPageUrl().c_str());
  // Hidden until the page has arrived, so that no empty browser area is ever seen.
  m_browser.ShowWindow(SW_HIDE);

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
  if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == IDC_LOGIN_CLOSE) {
    OnExitGame();
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

void CLoginActiveDlg::OnBeforeNavigate2(IDispatch*, const std::wstring& url, VARIANT_BOOL* cancel) noexcept {
  // Any frame of the login page may issue the game address; only the address is handed on.
  if (!IsGameAddress(url)) return;
  if (cancel) *cancel = VARIANT_TRUE;
  OpenGameUrl(url);
}

void CLoginActiveDlg::OnNavigateComplete2(IDispatch*, const std::wstring&) noexcept {
  if (!m_browser.IsWindowVisible()) m_browser.ShowWindow(SW_SHOW);
}

void CLoginActiveDlg::OnDocumentComplete(IDispatch*, const std::wstring&) noexcept {}

bool IsGameAddress(const std::wstring& url) noexcept {
  // Searched as C text on purpose: the address ends at its first NUL, and whatever a page hides
  // after one is not where the browser would go.
  return std::wcsstr(url.c_str(), L"client=1") != nullptr;
}

void OpenGameUrl(const std::wstring& url) noexcept {
  CGameDialog* game = GetGameDialog();
  if (!game || !game->m_hWnd) return;
  game->m_browser.Navigate(url.c_str());
  game->ShowWindow(SW_SHOWNORMAL);
  ::SetActiveWindow(game->m_hWnd);
}
