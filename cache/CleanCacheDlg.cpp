#include "cache/CleanCacheDlg.h"

#include <process.h>

#include <new>
#include <string>

#include "framework/Application.h"
#include "resource.h"

namespace {

const wchar_t kMessage[] = L"缓存清理中,请稍后(按ESC取消)";
constexpr COLORREF kKeyColor = RGB(255, 0, 0);
constexpr COLORREF kTextColor = RGB(0, 255, 255);
constexpr BYTE kVeilAlpha = 150;
constexpr UINT_PTR kDotsTimer = 1;
constexpr UINT kDotsPeriodMs = 400;
// After a cancel request the worker finishes the item in hand and one item per later step; a
// worker still busy after this long is stuck in a system call and is left to end on its own.
constexpr ULONGLONG kStopTimeoutMs = 10000;

HINSTANCE ResourceModule() noexcept {
  fw::Application* app = fw::Application::Current();
  return app ? app->ResourceHandle() : ::GetModuleHandleW(nullptr);
}

// A child's window rectangle in its parent's client coordinates.
RECT ChildRect(HWND child, HWND parent) noexcept {
  RECT rc{};
  ::GetWindowRect(child, &rc);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

}  // namespace

CCleanCacheDlg::CCleanCacheDlg(HWND) noexcept : fw::Dialog(IDD_CLEANCACHE_DIALOG, nullptr) {}

CCleanCacheDlg::~CCleanCacheDlg() {
  StopWorker();
  // Destroyed here rather than by the base, so that this class still handles the last messages
  // while its brush and bitmap exist.
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

void CCleanCacheDlg::DoDataExchange() noexcept { AttachControl(IDC_CLEAN_TEXT, m_stText); }

BOOL CCleanCacheDlg::OnInitDialog() noexcept {
  fw::Dialog::OnInitDialog();
  m_bmpBack.Reset(::LoadBitmapW(ResourceModule(), MAKEINTRESOURCEW(IDB_CLEAN_BACK)));
  m_clrKey = kKeyColor;

  // No taskbar button and no Alt+Tab entry.
  const LONG exStyle = ::GetWindowLongW(m_hWnd, GWL_EXSTYLE);
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);

  ApplyColorKey(m_layer, m_hWnd, m_brKey, m_clrKey, kVeilAlpha);

  // From the screen origin, with the work area's size: the work area's own corner is ignored.
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  MoveWindow(0, 0, work.right - work.left, work.bottom - work.top, TRUE);
  m_stText.CenterWindow();

  m_job = MakeCleanCacheJob(m_hWnd);
  HANDLE thread = m_job ? StartWorker() : nullptr;
  if (!thread) {
    // Nothing would ever report an end: the veil goes at once.
    EndDialog(IDABORT);
    return TRUE;
  }
  m_hThread.Reset(thread);
  ::SetTimer(m_hWnd, kDotsTimer, kDotsPeriodMs, nullptr);
  return TRUE;
}

HANDLE CCleanCacheDlg::StartWorker() noexcept {
  auto* share = new (std::nothrow) std::shared_ptr<CCleanCacheJob>(m_job);
  if (!share) return nullptr;
  unsigned id = 0;
  auto thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &CleanCacheThread, share, CREATE_SUSPENDED, &id));
  if (!thread) {
    delete share;
    return nullptr;
  }
  ::ResumeThread(thread);
  return thread;
}

void CCleanCacheDlg::OnOK() noexcept {
  if (m_job) m_job->m_bCancel = TRUE;
}

void CCleanCacheDlg::OnCancel() noexcept {
  if (m_job) m_job->m_bCancel = TRUE;
}

HBRUSH CCleanCacheDlg::OnCtlColor(HDC dc, HWND control, UINT ctlType) noexcept {
  if (!control || control != m_stText.m_hWnd) return m_brKey.Get();
  fw::Dialog::OnCtlColor(dc, control, ctlType);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, kTextColor);
  // The static paints over a copy of what the veil shows beneath it, so that the letters stand
  // on the veil and not on a key-coloured (transparent) box.
  const RECT rc = ChildRect(control, m_hWnd);
  fw::WindowDC dialogDC(m_hWnd);
  ::BitBlt(dc, 0, 0, rc.right - rc.left, rc.bottom - rc.top, dialogDC.Get(), rc.left, rc.top, SRCCOPY);
  return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

LRESULT CCleanCacheDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_PAINT:
      // Minimised, the veil draws nothing (a minimised window has no client area to paint).
      if (!::IsIconic(m_hWnd)) OnPaint();
      return 0;
    case WM_TIMER:
      if (wp == kDotsTimer) {
        OnTimer();
        return 0;
      }
      break;
    case WM_CLEANCACHE_DONE:
      return OnCleanCacheDone();
    case WM_DESTROY:
      ::KillTimer(m_hWnd, kDotsTimer);
      // However the modal loop ended (a quit request included), the worker stops before the
      // window it reports to is gone.
      StopWorker();
      break;
    default:
      break;
  }
  return fw::Dialog::WindowProc(msg, wp, lp);
}

void CCleanCacheDlg::OnPaint() noexcept {
  ::SetWindowPos(m_hWnd, m_hWnd, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  fw::PaintDC dc(m_hWnd);
  fw::MemoryDC memory(::CreateCompatibleDC(dc.Get()));
  if (!memory) return;
  fw::SelectedObject selected(memory.Get(), m_bmpBack.Get());
  BITMAP bm{};
  ::GetObjectW(m_bmpBack.Get(), sizeof bm, &bm);
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  ::StretchBlt(dc.Get(), 0, 0, client.right, client.bottom, memory.Get(), 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
}

void CCleanCacheDlg::OnTimer() noexcept {
  m_nDots = (m_nDots + 1) % 3;
  wchar_t text[64];
  const size_t base = std::char_traits<wchar_t>::length(kMessage);
  std::char_traits<wchar_t>::copy(text, kMessage, base);
  for (int i = 0; i < m_nDots; ++i) text[base + i] = L'.';
  text[base + m_nDots] = L'\0';
  ::SetWindowTextW(m_stText.m_hWnd, text);
  // The static draws without a background: the veil beneath has to be painted afresh, or the
  // old dots would stay.
  const RECT rc = ChildRect(m_stText.m_hWnd, m_hWnd);
  ::InvalidateRect(m_hWnd, &rc, TRUE);
  ::UpdateWindow(m_hWnd);
}

LRESULT CCleanCacheDlg::OnCleanCacheDone() noexcept {
  EndDialog(IDOK);
  return 0;
}

void CCleanCacheDlg::StopWorker() noexcept {
  if (m_job) m_job->m_bCancel = TRUE;
  if (!m_hThread) return;
  // Only messages sent to this thread are delivered while waiting (a worker inside a call that
  // sends to this thread could otherwise never finish); input and posted messages, a quit
  // request among them, stay queued for the loop outside.
  HANDLE thread = m_hThread.Get();
  const ULONGLONG deadline = ::GetTickCount64() + kStopTimeoutMs;
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) break;
    const DWORD r = ::MsgWaitForMultipleObjects(1, &thread, FALSE, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  if (::WaitForSingleObject(thread, 0) != WAIT_OBJECT_0 && m_job) {
    // Stuck: it keeps its own share of the job and ends by itself, but it must not post to a
    // handle that another window may get once this one is gone.
    m_job->m_hNotify = nullptr;
  }
  m_hThread.Reset();
}
