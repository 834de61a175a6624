#pragma once
#include <windows.h>

#include "framework/Window.h"

// The common controls' tooltip window, owned by a dialog; tools are identified by their window.
class CToolTipCtrl : public fw::Window {
public:
  bool Create(HWND parent) noexcept;
  void AddTool(HWND tool, const wchar_t* text) noexcept;
  void RelayEvent(MSG* msg) noexcept;
};
