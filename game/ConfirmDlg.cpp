#include "game/ConfirmDlg.h"

#include "framework/Application.h"
#include "resource.h"

namespace {
const int kWidth = 256;
const int kHeight = 110;
}  // namespace

CConfirmDlg::CConfirmDlg() noexcept : fw::Dialog(IDD_CONFIRM_DIALOG) {}

void CConfirmDlg::DoDataExchange() noexcept {
  AttachControl(IDC_CONFIRM_OK, m_btnOK);
  AttachControl(IDC_CONFIRM_CANCEL, m_btnCancel);
  AttachControl(IDC_CONFIRM_TITLE, m_stTitle);
  AttachControl(IDC_CONFIRM_TEXT, m_stMessage);
}

BOOL CConfirmDlg::OnInitDialog() noexcept {
  fw::Dialog::OnInitDialog();
  HINSTANCE inst = fw::Application::Current()->ResourceHandle();
  m_bmpBackground.Reset(::LoadBitmapW(inst, MAKEINTRESOURCEW(IDB_CONFIRM_BACK)));

  m_btnOK.InitGdiPlus();
  m_btnOK.SetPngImage(IDB_CONFIRM_OK);
  // Loading an image raises its button above its siblings: cancel ends up above confirm.
  m_btnCancel.InitGdiPlus();
  m_btnCancel.SetPngImage(IDB_CONFIRM_CANCEL);

  MoveWindow(0, 0, kWidth, kHeight, TRUE);
  CenterWindow();

  // Both buttons are as wide as the dialog on purpose: each draws its image at its left edge,
  // and with cancel above confirm the row splits into two click areas at x = 140.
  m_btnOK.MoveWindow(40, 72, kWidth, 26, TRUE);
  m_btnCancel.MoveWindow(140, 72, kWidth, 26, TRUE);

  {
    fw::WindowDC dc(m_hWnd);
    LOGFONTW lf{};
    // 12 points, given in tenths as the class library's point-size fonts take it.
    lf.lfHeight = -::MulDiv(120, ::GetDeviceCaps(dc.Get(), LOGPIXELSY), 720);
    lf.lfCharSet = DEFAULT_CHARSET;
    wcscpy_s(lf.lfFaceName, L"Arial");
    m_fontTitle.Reset(::CreateFontIndirectW(&lf));
  }
  ::SendMessageW(m_stTitle.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontTitle.Get()), TRUE);

  if (m_nMode == CONFIRM_EXIT_GAME) {
    ::SetWindowTextW(m_stTitle.m_hWnd, L"关闭游戏");
    ::SetWindowTextW(m_stMessage.m_hWnd, L"确定要退出游戏吗?");
  } else if (m_nMode == CONFIRM_SELECT_SERVER) {
    ::SetWindowTextW(m_stTitle.m_hWnd, L"选服");
    ::SetWindowTextW(m_stMessage.m_hWnd, L"是否退出当前游戏，重新选择新服务器?");
  }
  m_stTitle.MoveWindow(79, 10, 100, 30, TRUE);
  m_stMessage.MoveWindow(28, 34, 200, 66, TRUE);
  return TRUE;
}

bool CConfirmDlg::OnCommand(WPARAM wp, LPARAM lp) noexcept {
  if (HIWORD(wp) == BN_CLICKED) {
    if (LOWORD(wp) == IDC_CONFIRM_OK) {
      OnOK();
      return true;
    }
    if (LOWORD(wp) == IDC_CONFIRM_CANCEL) {
      OnCancel();
      return true;
    }
  }
  return fw::Dialog::OnCommand(wp, lp);
}

HBRUSH CConfirmDlg::OnCtlColor(HDC dc, HWND control, UINT ctlType) noexcept {
  HBRUSH result = fw::Dialog::OnCtlColor(dc, control, ctlType);
  const int id = ::GetDlgCtrlID(control);
  if (id != IDC_CONFIRM_TITLE && id != IDC_CONFIRM_TEXT) return result;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(255, 255, 255));
  // The static shows the dialog's own pixels behind its text.
  RECT rc{};
  ::GetWindowRect(control, &rc);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
  fw::WindowDC dialogDc(m_hWnd);
  ::BitBlt(dc, 0, 0, rc.right - rc.left, rc.bottom - rc.top, dialogDc.Get(), rc.left, rc.top, SRCCOPY);
  return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void CConfirmDlg::OnPaint() noexcept {
  if (::IsIconic(m_hWnd)) {
    Default();
    return;
  }
  ::SetWindowPos(m_hWnd, m_hWnd, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  fw::PaintDC paint(m_hWnd);
  fw::MemoryDC memory(::CreateCompatibleDC(paint.Get()));
  fw::SelectedObject selected(memory.Get(), m_bmpBackground.Get());
  BITMAP bm{};
  ::GetObjectW(m_bmpBackground.Get(), sizeof(bm), &bm);
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  ::StretchBlt(paint.Get(), 0, 0, client.right, client.bottom, memory.Get(), 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
}

LRESULT CConfirmDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (msg == WM_PAINT) {
    OnPaint();
    return 0;
  }
  return fw::Dialog::WindowProc(msg, wp, lp);
}

void OnExitGame() noexcept {
  CConfirmDlg dlg;
  dlg.m_nMode = CONFIRM_EXIT_GAME;
  if (dlg.DoModal() == IDOK) ::PostQuitMessage(16);
}
