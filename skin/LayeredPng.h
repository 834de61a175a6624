#pragma once
// Layered windows: a PNG with its alpha as a window's whole appearance, and the colour key
// that makes a dialog's background transparent and click-through.
#include <windows.h>

#include "framework/Handles.h"
#include "skin/GdiPlusPng.h"

// The two layered-window entry points, looked up at run time once per process.
class UpdateLayeredTool {
public:
  using UpdateLayeredWindowProc = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                BLENDFUNCTION*, DWORD);
  using SetLayeredWindowAttributesProc = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

  // Created on first call, on the user-interface thread only (no lock is taken).
  static UpdateLayeredTool* Instance() noexcept;

  virtual ~UpdateLayeredTool();
  UpdateLayeredTool(const UpdateLayeredTool&) = delete;
  UpdateLayeredTool& operator=(const UpdateLayeredTool&) = delete;

  // Null when User32 could not be loaded or lacks the function: callers test before calling.
  fw::Module m_hUser32;
  UpdateLayeredWindowProc m_pfnUpdateLayeredWindow = nullptr;
  SetLayeredWindowAttributesProc m_pfnSetLayeredWindowAttributes = nullptr;

private:
  UpdateLayeredTool() noexcept;
};

class CLayeredPng {
public:
  // Renders m_png into m_hTarget with per-pixel alpha: the window keeps its top-left corner and
  // takes the image's size. Once is enough; the system keeps the content across moves and
  // showing. Nothing happens without an image or a window.
  void UpdateLayered() noexcept;

  CGdiPlusPngResource m_png;
  HWND m_hTarget = nullptr;
};

// Makes hwnd a colour-keyed layered window: pixels painted in clrKey become transparent and
// let the mouse through. hwnd goes into layer.m_hTarget and a solid brush of the key into brKey,
// for the dialog's WM_CTLCOLOR* answers.
void ApplyColorKey(CLayeredPng& layer, HWND hwnd, fw::Brush& brKey, COLORREF clrKey, BYTE alpha) noexcept;
