#include "login/LoginDlg.h"

#include "app/LoginApp.h"

#include <new>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "game/GameDialog.h"
#include "login/LoginActiveDlg.h"
#include "resource.h"

namespace {

HINSTANCE ResourceModule() noexcept {
  fw::Application* app = fw::Application::Current();
  return app ? app->ResourceHandle() : ::GetModuleHandleW(nullptr);
}

// Posted to itself when this window is activated; see WM_ACTIVATE.
constexpr UINT WM_RESTACK_OWNED = WM_APP + 0x11;

RECT WindowRect(HWND hwnd) noexcept {
  RECT rc{};
  ::GetWindowRect(hwnd, &rc);
  return rc;
}

}  // namespace

CLoginDlg::CLoginDlg() noexcept : fw::Dialog(IDD_LOGIN_DIALOG) {
  m_hIcon = ::LoadIconW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

BOOL CLoginDlg::OnInitDialog() noexcept {
  fw::Dialog::OnInitDialog();
  ::SetWindowTextW(m_hWnd, L"Vellmar");
  m_layer.m_hTarget = m_hWnd;
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  // The overlay is a top-level window owned by this one: it carries the page and the buttons
  // over the skin, and goes when this window goes.
  m_pActiveDlg = new (std::nothrow) CLoginActiveDlg(this);
  if (m_pActiveDlg) {
    m_pActiveDlg->Create(IDD_LOGINACTIVE_DIALOG, m_hWnd);
    m_pActiveDlg->ShowWindow(SW_SHOWNORMAL);
  }

  ::SetWindowLongW(m_hWnd, GWL_STYLE, ::GetWindowLongW(m_hWnd, GWL_STYLE) & ~WS_CAPTION);

  // Without its skin the window stays as its template made it: not layered, not centred.
  if (!m_layer.m_png.Load(IDB_LOGIN_BACK, ResourceModule())) return TRUE;

  const int width = ImageWidth(m_layer.m_png.m_pImage.get());
  const int height = ImageHeight(m_layer.m_png.m_pImage.get());
  MoveWindow(0, 0, width, height, TRUE);
  CenterWindow();
  if (m_pActiveDlg && m_pActiveDlg->m_hWnd) {
    const RECT rc = WindowRect(m_hWnd);
    m_pActiveDlg->MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
  }
  m_layer.UpdateLayered();
  return TRUE;
}

LRESULT CLoginDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_PAINT:
      if (::IsIconic(m_hWnd)) {
        OnPaint();
        return 0;
      }
      break;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_NCHITTEST:
      return OnNcHitTest();
    case WM_MOVE: {
      const LRESULT result = fw::Dialog::WindowProc(msg, wp, lp);
      OnMove();
      return result;
    }
    case WM_WINDOWPOSCHANGED: {
      const LRESULT result = fw::Dialog::WindowProc(msg, wp, lp);
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
      if (pos && (pos->flags & SWP_SHOWWINDOW)) RestackOverlay();
      return result;
    }
    case WM_ACTIVATE:
      // Activated (when the game window hides, or by a click on the skin beside a game window
      // of normal size), this window is raised by Wine without a window manager above the X
      // windows of the overlay and the game window once the activation is through, although
      // both are owned by it: put them back on top afterwards, game window uppermost.
      if (LOWORD(wp) != WA_INACTIVE) ::PostMessageW(m_hWnd, WM_RESTACK_OWNED, 0, 0);
      break;
    case WM_RESTACK_OWNED:
      RestackOverlay();
      RestackGameWindow();
      return 0;
    case WM_SIZE: {
      const LRESULT result = fw::Dialog::WindowProc(msg, wp, lp);
      OnSize(static_cast<UINT>(wp));
      return result;
    }
    case WM_SHOWWINDOW: {
      const LRESULT result = fw::Dialog::WindowProc(msg, wp, lp);
      OnShowWindow(static_cast<BOOL>(wp));
      return result;
    }
    case WM_CLOSE:
      EndDialog(IDOK);
      return 0;
    case WM_RESELECT_SERVER:
      if (CLoginApp* app = GetLoginApp()) app->ReselectServer();
      return 0;
    default:
      break;
  }
  return fw::Dialog::WindowProc(msg, wp, lp);
}

void CLoginDlg::OnPaint() noexcept {
  fw::PaintDC dc(m_hWnd);
  ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
  const int cxIcon = ::GetSystemMetrics(SM_CXICON), cyIcon = ::GetSystemMetrics(SM_CYICON);
  RECT rc{};
  ::GetClientRect(m_hWnd, &rc);
  const int x = (rc.right - rc.left - cxIcon + 1) / 2;
  const int y = (rc.bottom - rc.top - cyIcon + 1) / 2;
  ::DrawIcon(dc.Get(), x, y, m_hIcon);
}

LRESULT CLoginDlg::OnNcHitTest() noexcept {
  m_bLeading = TRUE;
  // The whole skin is a caption: pressing anywhere on it drags the window.
  const LRESULT hit = Default();
  return hit == HTCLIENT ? HTCAPTION : hit;
}

void CLoginDlg::OnMove() noexcept {
  if (!::IsWindow(m_hWnd) || !m_bLeading || !m_pActiveDlg || !m_pActiveDlg->m_hWnd) return;
  const RECT own = WindowRect(m_hWnd);
  const RECT overlay = WindowRect(m_pActiveDlg->m_hWnd);
  m_pActiveDlg->MoveWindow(own.left, own.top, overlay.right - overlay.left, overlay.bottom - overlay.top, TRUE);
}

void CLoginDlg::OnSize(UINT type) noexcept {
  // Windows hides the owned windows (the overlay, the game window) while their owner is
  // minimised and brings back those it hid. Wine does so only for the system command, not for
  // ShowWindow; doing it here again is harmless where the system already has.
  if (type == SIZE_MINIMIZED) {
    ::ShowOwnedPopups(m_hWnd, FALSE);
  } else if (type == SIZE_RESTORED || type == SIZE_MAXIMIZED) {
    ::ShowOwnedPopups(m_hWnd, TRUE);
  }
}

namespace {
// Windows keeps owned windows above their owner by itself; Wine without a window manager does
// not. Only there is hiding and re-showing them worth it: on Windows it would only flash.
bool OwnedWindowsNeedRestacking() noexcept {
  static const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}
}  // namespace

void CLoginDlg::RestackOverlay() noexcept {
  if (!OwnedWindowsNeedRestacking()) return;
  if (!m_pActiveDlg || !m_pActiveDlg->m_hWnd || !m_pActiveDlg->IsWindowVisible()) return;
  // Under Wine without a window manager, this window's X window is made when it is first shown
  // and lands above the overlay's, although the owned overlay is the upper one; showing the
  // overlay again (without taking the activation) puts it back on top there.
  m_pActiveDlg->ShowWindow(SW_HIDE);
  m_pActiveDlg->ShowWindow(SW_SHOWNA);
}

void CLoginDlg::RestackGameWindow() noexcept {
  if (!OwnedWindowsNeedRestacking()) return;
  CLoginApp* app = GetLoginApp();
  const HWND game = app && app->m_pGameDlg ? app->m_pGameDlg->m_hWnd : nullptr;
  // A hidden or minimised game window has nothing on the screen to cover.
  if (!game || !::IsWindowVisible(game) || ::IsIconic(game)) return;
  ::ShowWindow(game, SW_HIDE);
  ::ShowWindow(game, SW_SHOWNA);
}

void CLoginDlg::OnShowWindow(BOOL show) noexcept {
  if (m_pActiveDlg && m_pActiveDlg->m_hWnd) m_pActiveDlg->ShowWindow(show ? SW_SHOWNORMAL : SW_HIDE);
}
