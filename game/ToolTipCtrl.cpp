#include "game/ToolTipCtrl.h"

#include <commctrl.h>

bool CToolTipCtrl::Create(HWND parent) noexcept {
  HWND hwnd = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  return hwnd && Attach(hwnd);
}

void CToolTipCtrl::AddTool(HWND tool, const wchar_t* text) noexcept {
  if (!m_hWnd || !tool) return;
  TOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.uFlags = TTF_IDISHWND;  // the owner relays the mouse messages
  ti.hwnd = ::GetParent(tool);
  ti.uId = reinterpret_cast<UINT_PTR>(tool);
  ti.lpszText = const_cast<wchar_t*>(text);
  ::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::RelayEvent(MSG* msg) noexcept {
  if (m_hWnd) ::SendMessageW(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}
