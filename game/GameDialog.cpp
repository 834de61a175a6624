#include "game/GameDialog.h"

#include "app/LoginApp.h"
#include "cache/CleanCacheDlg.h"
#include "framework/Application.h"
#include "game/ConfirmDlg.h"
#include "game/TitleBarLayout.h"
#include "resource.h"

namespace {
const int kTitleBarHeight = 30;
const int kNormalWidth = 1000;
const int kNormalHeight = 700;
// The middle row of the title-bar bitmap.
const COLORREF kTitleBarFill = RGB(31, 35, 55);
}  // namespace

CGameDialog::CGameDialog() noexcept : fw::Dialog(IDD_GAME_DIALOG) {
  m_hIcon = ::LoadIconW(fw::Application::Current()->ResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CGameDialog::~CGameDialog() {
  delete m_pToolTip;
  m_pToolTip = nullptr;
  // The buttons and the browser go with their windows before the dialog itself.
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

void CGameDialog::DoDataExchange() noexcept {
  AttachControl(IDC_GAME_BROWSER, m_browser);
  m_browser.ConnectEvents(*this);
  AttachControl(IDC_BTN_CLOSE, m_btnClose);
  AttachControl(IDC_BTN_MAX, m_btnMaximize);
  AttachControl(IDC_BTN_MIN, m_btnMinimize);
  AttachControl(IDC_BTN_FULLSCREEN, m_btnFullScreen);
  AttachControl(IDC_BTN_BOSS, m_btnBoss);
  AttachControl(IDC_BTN_REFRESH, m_btnRefresh);
  AttachControl(IDC_BTN_SERVER, m_btnServer);
  AttachControl(IDC_BTN_CLEAN, m_btnClean);
  AttachControl(IDC_BTN_RESTORE, m_btnRestore);
}

BOOL CGameDialog::OnInitDialog() noexcept {
  fw::Dialog::OnInitDialog();
  ::SetWindowTextW(m_hWnd, L"Vellmar");
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  m_bmpTitleBar.Reset(::LoadBitmapW(fw::Application::Current()->ResourceHandle(), MAKEINTRESOURCEW(IDB_TITLEBAR)));
  SizeToWorkArea();

  m_pToolTip = new (std::nothrow) CToolTipCtrl;
  if (m_pToolTip) m_pToolTip->Create(m_hWnd);
  SetupTitleBar();

  // A key another program holds is simply not available to us.
  ::RegisterHotKey(m_hWnd, m_nBossHotKeyId, 0, VK_F10);
  ::RegisterHotKey(m_hWnd, m_nFullScreenHotKeyId, 0, VK_F11);

  // The template is a tool window; as an owned window it needs WS_EX_APPWINDOW alone to get a
  // taskbar button of its own.
  LONG ex = ::GetWindowLongW(m_hWnd, GWL_EXSTYLE);
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, (ex & ~WS_EX_TOOLWINDOW) | WS_EX_APPWINDOW);

  AddTrayIcon();
  m_btnMaximize.ShowWindow(SW_HIDE);
  return TRUE;
}

void CGameDialog::SetupTitleBar() noexcept {
  LoadTitleBarImages();
  LayoutTitleBar();
  HWND logo = GetDlgItem(IDC_GAME_LOGO);
  m_bmpLogo.Reset(::LoadBitmapW(fw::Application::Current()->ResourceHandle(), MAKEINTRESOURCEW(IDB_TITLE_LOGO)));
  ::SetWindowLongW(logo, GWL_STYLE, ::GetWindowLongW(logo, GWL_STYLE) | SS_BITMAP | SS_CENTERIMAGE);
  ::SendMessageW(logo, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_bmpLogo.Get()));
  ::MoveWindow(logo, 0, 0, 83, kTitleBarHeight, TRUE);
}

void CGameDialog::LoadTitleBarImages() noexcept {
  struct Item {
    CPngButton& button;
    UINT image;
    const wchar_t* tip;
  };
  const Item items[] = {
      {m_btnClose, IDB_BTN_CLOSE, nullptr},
      {m_btnRestore, IDB_BTN_RESTORE, L"还原"},
      {m_btnMaximize, IDB_BTN_MAX, L"最大化"},
      {m_btnMinimize, IDB_BTN_MIN, L"最小化"},
      {m_btnFullScreen, IDB_BTN_FULLSCREEN, L"按F11进入/退出全屏"},
      {m_btnBoss, IDB_BTN_BOSS, nullptr},
      {m_btnRefresh, IDB_BTN_REFRESH, nullptr},
      {m_btnServer, IDB_BTN_SERVER, nullptr},
      {m_btnClean, IDB_BTN_CLEAN, nullptr},
  };
  // The order matters: each loaded image raises its button above the ones before it.
  for (const Item& item : items) {
    item.button.InitGdiPlus();
    item.button.SetPngImage(item.image);
    if (item.tip && m_pToolTip) m_pToolTip->AddTool(item.button.m_hWnd, item.tip);
  }
}

void CGameDialog::LayoutTitleBar() noexcept {
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const TitleBarLayout l = ComputeTitleBarLayout(
      client.right, {m_btnClose.m_nImageWidth, m_btnRestore.m_nImageWidth, m_btnMinimize.m_nImageWidth,
                     m_btnFullScreen.m_nImageWidth, m_btnBoss.m_nImageWidth, m_btnClean.m_nImageWidth,
                     m_btnRefresh.m_nImageWidth, m_btnServer.m_nImageWidth});
  const struct {
    CPngButton& button;
    TitleBarLayout::Slot slot;
  } placed[] = {{m_btnClose, l.close},         {m_btnRestore, l.restore}, {m_btnMaximize, l.maximize},
                {m_btnMinimize, l.minimize},   {m_btnFullScreen, l.fullScreen}, {m_btnBoss, l.boss},
                {m_btnClean, l.clean},         {m_btnRefresh, l.refresh}, {m_btnServer, l.server}};
  for (const auto& p : placed) p.button.MoveWindow(p.slot.left, 0, p.slot.width, kTitleBarHeight, TRUE);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CGameDialog::ShowTitleBar(int showCommand) noexcept {
  ::ShowWindow(GetDlgItem(IDC_GAME_LOGO), showCommand);
  for (CPngButton* b : {&m_btnClose, &m_btnMinimize, &m_btnFullScreen, &m_btnBoss, &m_btnRefresh, &m_btnServer,
                        &m_btnClean}) {
    b->ShowWindow(showCommand);
  }
  if (showCommand == SW_SHOW) {
    const bool normal = m_nWindowMode == MODE_NORMAL;
    m_btnMaximize.ShowWindow(normal ? SW_SHOW : SW_HIDE);
    m_btnRestore.ShowWindow(normal ? SW_HIDE : SW_SHOW);
  } else {
    m_btnRestore.ShowWindow(showCommand);
    m_btnMaximize.ShowWindow(showCommand);
  }
}

void CGameDialog::SizeToNormal() noexcept {
  MoveWindow(0, 0, kNormalWidth, kNormalHeight, TRUE);
  CenterWindow();
  m_browser.MoveWindow(0, kTitleBarHeight, kNormalWidth, kNormalHeight - kTitleBarHeight, TRUE);
}

void CGameDialog::SizeToWorkArea() noexcept {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int w = work.right - work.left, h = work.bottom - work.top;
  // At the screen origin, not the work area's corner: with the taskbar at the top or left the
  // window covers it and leaves a strip free at the other side.
  MoveWindow(0, 0, w, h, TRUE);
  m_browser.MoveWindow(0, kTitleBarHeight, w, h - kTitleBarHeight, TRUE);
}

void CGameDialog::SizeToFullScreen() noexcept {
  RECT screen{};
  ::GetClientRect(::GetDesktopWindow(), &screen);
  MoveWindow(0, 0, screen.right, screen.bottom, TRUE);
  m_browser.MoveWindow(0, 0, screen.right, screen.bottom, TRUE);
}

void CGameDialog::ApplyWindowMode() noexcept {
  switch (m_nWindowMode) {
    case MODE_FULLSCREEN:
      ShowTitleBar(SW_HIDE);
      SizeToFullScreen();
      break;
    case MODE_MAXIMIZED:
      ShowTitleBar(SW_SHOW);
      SizeToWorkArea();
      LayoutTitleBar();
      break;
    case MODE_NORMAL:
      ShowTitleBar(SW_SHOW);
      SizeToNormal();
      LayoutTitleBar();
      break;
    default:
      break;
  }
}

void CGameDialog::ToggleMaximize() noexcept {
  if (m_nWindowMode == MODE_MAXIMIZED) {
    m_nWindowMode = MODE_NORMAL;
  } else if (m_nWindowMode == MODE_NORMAL) {
    m_nWindowMode = MODE_MAXIMIZED;
  }
  ApplyWindowMode();
}

void CGameDialog::ToggleFullScreen() noexcept {
  if (!IsWindowVisible()) return;
  // Leaving full screen always ends maximised: the mode before it is not remembered.
  m_nWindowMode = m_nWindowMode == MODE_FULLSCREEN ? MODE_MAXIMIZED : MODE_FULLSCREEN;
  ApplyWindowMode();
}

void CGameDialog::ToggleBossKey() noexcept { ShowWindow(IsWindowVisible() ? SW_HIDE : SW_SHOW); }

void CGameDialog::OnMinimize() noexcept { ShowWindow(SW_MINIMIZE); }

void CGameDialog::OnFullScreen() noexcept {
  m_nWindowMode = MODE_FULLSCREEN;
  ShowTitleBar(SW_HIDE);
  SizeToFullScreen();
}

void CGameDialog::OnBossKey() noexcept { ToggleBossKey(); }

void CGameDialog::OnCleanCache() noexcept {
  CCleanCacheDlg dlg;
  dlg.DoModal();
}

void CGameDialog::OnRefresh() noexcept { m_browser.Refresh(); }

void CGameDialog::OnSelectServer() noexcept {
  CConfirmDlg dlg;
  dlg.m_nMode = CONFIRM_SELECT_SERVER;
  if (dlg.DoModal() != IDOK) return;
  // This runs inside one of the window's own buttons: the window must outlive the handler, so
  // the login window tears it down as soon as the handler has returned.
  ::PostMessageW(fw::MainWindow(), WM_RESELECT_SERVER, 0, 0);
}

void CGameDialog::AddTrayIcon() noexcept {
  m_nidTray = NOTIFYICONDATAW{};
  m_nidTray.cbSize = sizeof(NOTIFYICONDATAW);
  m_nidTray.hWnd = m_hWnd;
  m_nidTray.uID = ID_TRAY_ICON;
  m_nidTray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_nidTray.uCallbackMessage = WM_TRAYNOTIFY;
  m_nidTray.hIcon = ::LoadIconW(fw::Application::Current()->ResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  wcscpy_s(m_nidTray.szTip, L"Vellmar");
  ::Shell_NotifyIconW(NIM_ADD, &m_nidTray);
}

LRESULT CGameDialog::OnTrayNotify(WPARAM wp, LPARAM lp) noexcept {
  if (wp != ID_TRAY_ICON) return 1;
  if (lp == WM_LBUTTONDBLCLK) {
    ToggleBossKey();
  } else if (lp == WM_RBUTTONUP) {
    POINT pt{};
    ::GetCursorPos(&pt);
    fw::Menu menu(::CreatePopupMenu());
    if (menu) {
      ::AppendMenuW(menu.Get(), MF_STRING, ID_TRAY_EXIT, L"退出");
      ::TrackPopupMenu(menu.Get(), 0, pt.x, pt.y, 0, m_hWnd, nullptr);
    }
  }
  return 0;
}

void CGameDialog::ReleaseShellResources() noexcept {
  m_bmpTitleBar.Reset();
  ::UnregisterHotKey(m_hWnd, m_nBossHotKeyId);
  ::UnregisterHotKey(m_hWnd, m_nFullScreenHotKeyId);
  ::Shell_NotifyIconW(NIM_DELETE, &m_nidTray);
}

bool CGameDialog::PreTranslateMessage(MSG* msg) noexcept {
  // Enter and Esc belong to the game page: no tooltip, no dialog keyboard handling.
  if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) return false;
  if (m_pToolTip) m_pToolTip->RelayEvent(msg);
  return fw::Dialog::PreTranslateMessage(msg);
}

bool CGameDialog::OnCommand(WPARAM wp, LPARAM lp) noexcept {
  const WORD id = LOWORD(wp);
  if (id == ID_TRAY_EXIT && lp == 0) {
    OnExitGame();
    return true;
  }
  if (HIWORD(wp) == BN_CLICKED && lp != 0) {
    switch (id) {
      case IDC_BTN_CLOSE: OnExitGame(); return true;
      case IDC_BTN_MAX:
      case IDC_BTN_RESTORE: ToggleMaximize(); return true;
      case IDC_BTN_MIN: OnMinimize(); return true;
      case IDC_BTN_FULLSCREEN: OnFullScreen(); return true;
      case IDC_BTN_BOSS: OnBossKey(); return true;
      case IDC_BTN_CLEAN: OnCleanCache(); return true;
      case IDC_BTN_REFRESH: OnRefresh(); return true;
      case IDC_BTN_SERVER: OnSelectServer(); return true;
      default: break;
    }
  }
  return fw::Dialog::OnCommand(wp, lp);
}

void CGameDialog::OnNavigateComplete2(IDispatch*, const std::wstring&) noexcept {
  if (!m_browser.IsWindowVisible()) m_browser.ShowWindow(SW_SHOW);
}

void CGameDialog::OnPaint() noexcept {
  if (::IsIconic(m_hWnd)) {
    fw::PaintDC paint(m_hWnd);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Get()), 0);
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    const int x = (rc.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(paint.Get(), x, y, m_hIcon);
    return;
  }
  if (m_nWindowMode == MODE_FULLSCREEN) {
    Default();
    return;
  }
  fw::PaintDC paint(m_hWnd);
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  if (!m_bmpTitleBar) {
    // A close request has released the bitmap while the window stays open: the strip keeps the
    // title bar's own dark tone instead of the dialog's grey between the buttons.
    const RECT strip{0, 0, client.right, kTitleBarHeight};
    fw::Brush fill(::CreateSolidBrush(kTitleBarFill));
    ::FillRect(paint.Get(), &strip, fill.Get());
    return;
  }
  fw::MemoryDC memory(::CreateCompatibleDC(paint.Get()));
  fw::SelectedObject selected(memory.Get(), m_bmpTitleBar.Get());
  BITMAP bm{};
  ::GetObjectW(m_bmpTitleBar.Get(), sizeof(bm), &bm);
  ::StretchBlt(paint.Get(), 0, 0, client.right, kTitleBarHeight, memory.Get(), 0, 0, bm.bmWidth, kTitleBarHeight,
               SRCCOPY);
}

void CGameDialog::OnSize() noexcept {
  Default();
  // Any size the system gives the visible window is replaced by the mode's own geometry; the
  // nested WM_SIZE that causes finds the size right and ends here.
  if (!IsWindowVisible()) return;
  ApplyWindowMode();
}

void CGameDialog::OnClose() noexcept {
  ReleaseShellResources();
  Default();  // becomes the cancel command, which keeps the window open
}

void CGameDialog::OnHotKey(WPARAM id) noexcept {
  if (static_cast<int>(id) == m_nBossHotKeyId) {
    ToggleBossKey();
  } else if (static_cast<int>(id) == m_nFullScreenHotKeyId) {
    ToggleFullScreen();
  }
}

void CGameDialog::OnLButtonDown(LPARAM lp) noexcept {
  // Only the uncovered title bar gets here; in the normal mode it drags the window like a caption.
  if (m_nWindowMode == MODE_NORMAL) ::PostMessageW(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, lp);
}

LRESULT CGameDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SIZE:
      OnSize();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_HOTKEY:
      OnHotKey(wp);
      return Default();
    case WM_TRAYNOTIFY:
      return OnTrayNotify(wp, lp);
    case WM_LBUTTONDBLCLK:
      ToggleMaximize();
      return Default();
    case WM_LBUTTONDOWN:
      OnLButtonDown(lp);
      return Default();
    default:
      return fw::Dialog::WindowProc(msg, wp, lp);
  }
}
