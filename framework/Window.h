#pragma once
// An object bound to its HWND for the window's whole life. Messages reach the virtual
// WindowProc; Default() hands the message being handled to the previous window procedure.
#include <windows.h>

namespace fw {

class Window {
public:
  Window() noexcept = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const noexcept { return this ? m_hWnd : nullptr; }

  // The object bound to a window, or null.
  static Window* FromHandle(HWND hwnd) noexcept;

  // Subclasses an existing window (a template's control) and binds this object to it.
  bool Attach(HWND hwnd) noexcept;
  // Undoes Attach; the window lives on without this object.
  HWND Detach() noexcept;

  // Creates a plain window of the framework's own class, bound from WM_NCCREATE on.
  bool CreateEx(DWORD exStyle, const wchar_t* title, DWORD style, int x, int y, int cx, int cy,
                HWND parent, HMENU idOrMenu = nullptr) noexcept;
  bool DestroyWindow() noexcept;

  // Offered every message of the thread's loops whose target is this window or one of its
  // children, before dispatch. True: the message has been handled.
  virtual bool PreTranslateMessage(MSG* msg) noexcept;

  // Reflected from the parent's WM_DRAWITEM. True: drawn.
  virtual bool DrawItem(DRAWITEMSTRUCT* dis) noexcept;

  // Thin conveniences over the API.
  BOOL ShowWindow(int cmd) const noexcept { return ::ShowWindow(m_hWnd, cmd); }
  BOOL IsWindowVisible() const noexcept { return ::IsWindowVisible(m_hWnd); }
  BOOL MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE) const noexcept {
    return ::MoveWindow(m_hWnd, x, y, cx, cy, repaint);
  }
  HWND GetDlgItem(int id) const noexcept { return ::GetDlgItem(m_hWnd, id); }
  // Centres the window on its owner, or on the work area of its monitor when it has none,
  // keeping it inside that area; a child is centred in its parent's client area.
  void CenterWindow() const noexcept;

  // Walks from msg->hwnd up to its top-level window, offering the message to each bound object.
  static bool WalkPreTranslateTree(MSG* msg) noexcept;

protected:
  // Dispatch. Overrides switch on the message and call the base for what they do not handle.
  virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept;
  // Default processing of any message: the previous window procedure.
  virtual LRESULT DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept;
  // Default processing of the message being handled.
  LRESULT Default() noexcept;
  // Called once a window is attached, before the first message reaches this object.
  virtual void PreSubclassWindow() noexcept {}
  // The last message of the window: the object is unbound after it returns.
  virtual void PostNcDestroy() noexcept {}

  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
  static LRESULT CALLBACK InitialWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
  static ATOM RegisterFrameworkClass() noexcept;
  void Bind(HWND hwnd) noexcept;
  void Unbind() noexcept;

  WNDPROC m_prevProc = nullptr;

private:
  struct CurrentMessage { UINT msg; WPARAM wp; LPARAM lp; };
  CurrentMessage m_current{};
};

}  // namespace fw
