#include "framework/Window.h"

namespace fw {
namespace {

const wchar_t kBindingProp[] = L"Vellmar.Window";
const wchar_t kWindowClass[] = L"VellmarWindow";

}  // namespace

ATOM Window::RegisterFrameworkClass() noexcept {
  static ATOM atom = [] {
    WNDCLASSEXW wc{sizeof(wc)};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Window::InitialWndProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&wc);
  }();
  return atom;
}

Window::~Window() {
  // A window object takes its window with it. The derived parts are already gone here, so
  // only the framework's own handling sees the last messages.
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  Unbind();
}

Window* Window::FromHandle(HWND hwnd) noexcept {
  return hwnd ? static_cast<Window*>(::GetPropW(hwnd, kBindingProp)) : nullptr;
}

void Window::Bind(HWND hwnd) noexcept {
  m_hWnd = hwnd;
  ::SetPropW(hwnd, kBindingProp, this);
}

void Window::Unbind() noexcept {
  if (m_hWnd && ::IsWindow(m_hWnd) && ::GetPropW(m_hWnd, kBindingProp) == this) {
    ::RemovePropW(m_hWnd, kBindingProp);
    if (m_prevProc &&
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC)) == &Window::StaticWndProc) {
      ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prevProc));
    }
  }
  m_hWnd = nullptr;
  m_prevProc = nullptr;
}

bool Window::Attach(HWND hwnd) noexcept {
  if (!hwnd || m_hWnd || FromHandle(hwnd)) return false;
  m_hWnd = hwnd;
  PreSubclassWindow();
  Bind(hwnd);
  m_prevProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::StaticWndProc)));
  return m_prevProc != nullptr;
}

HWND Window::Detach() noexcept {
  HWND hwnd = m_hWnd;
  Unbind();
  return hwnd;
}

LRESULT CALLBACK Window::InitialWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  Window* self = FromHandle(hwnd);
  if (!self && msg == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (self) {
      self->Bind(hwnd);
      self->m_prevProc = ::DefWindowProcW;
    }
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  return StaticWndProc(hwnd, msg, wp, lp);
}

bool Window::CreateEx(DWORD exStyle, const wchar_t* title, DWORD style, int x, int y, int cx, int cy,
                      HWND parent, HMENU idOrMenu) noexcept {
  if (m_hWnd) return false;
  RegisterFrameworkClass();
  HWND hwnd = ::CreateWindowExW(exStyle, kWindowClass, title, style, x, y, cx, cy, parent, idOrMenu,
                                ::GetModuleHandleW(nullptr), this);
  return hwnd != nullptr;
}

bool Window::DestroyWindow() noexcept {
  return m_hWnd && ::DestroyWindow(m_hWnd);
}

bool Window::PreTranslateMessage(MSG*) noexcept { return false; }

bool Window::DrawItem(DRAWITEMSTRUCT*) noexcept { return false; }

void Window::CenterWindow() const noexcept {
  RECT rc{};
  ::GetWindowRect(m_hWnd, &rc);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
  RECT area{}, around{};
  HWND parent = ::GetParent(m_hWnd);
  if (style & WS_CHILD) {
    ::GetClientRect(parent, &area);
    around = area;
  } else {
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO mi{sizeof(mi)};
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
    area = mi.rcWork;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
      ::GetWindowRect(owner, &around);
    } else {
      around = area;
    }
  }
  int x = (around.left + around.right) / 2 - w / 2;
  int y = (around.top + around.bottom) / 2 - h / 2;
  if (x + w > area.right) x = area.right - w;
  if (x < area.left) x = area.left;
  if (y + h > area.bottom) y = area.bottom - h;
  if (y < area.top) y = area.top;
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Window::WalkPreTranslateTree(MSG* msg) noexcept {
  for (HWND h = msg->hwnd; h;) {
    if (Window* w = FromHandle(h)) {
      if (w->PreTranslateMessage(msg)) return true;
    }
    if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;
    h = ::GetParent(h);
  }
  return false;
}

LRESULT Window::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (msg == WM_DRAWITEM) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    if (dis && dis->CtlType != ODT_MENU) {
      if (Window* child = FromHandle(dis->hwndItem)) {
        if (child->DrawItem(dis)) return TRUE;
      }
    }
  }
  return DefWindowProc(msg, wp, lp);
}

LRESULT Window::DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (m_prevProc) return ::CallWindowProcW(m_prevProc, m_hWnd, msg, wp, lp);
  return ::DefWindowProcW(m_hWnd, msg, wp, lp);
}

LRESULT Window::Default() noexcept {
  return DefWindowProc(m_current.msg, m_current.wp, m_current.lp);
}

LRESULT CALLBACK Window::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  Window* self = FromHandle(hwnd);
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  const CurrentMessage saved = self->m_current;
  self->m_current = {msg, wp, lp};
  LRESULT result = self->WindowProc(msg, wp, lp);
  self->m_current = saved;
  if (msg == WM_NCDESTROY) {
    // The window is gone: hand the previous procedure back and forget the handle.
    self->Unbind();
    self->PostNcDestroy();
  }
  return result;
}

}  // namespace fw
