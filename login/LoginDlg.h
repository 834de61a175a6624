#pragma once
// The launcher's main window: a borderless skin (PNG 155 with its alpha) that carries the
// taskbar entry, title and icon, and drags the login page overlay along.
#include <windows.h>

#include "framework/Dialog.h"
#include "skin/LayeredPng.h"

class CLoginActiveDlg;

class CLoginDlg : public fw::Dialog {
public:
  CLoginDlg() noexcept;

  HICON m_hIcon;
  // TRUE while this window leads the pair's movement, FALSE while the overlay does: whichever
  // was hit-tested last. The follower's own WM_MOVE then never moves the leader back.
  BOOL m_bLeading = FALSE;
  // The overlay, created in OnInitDialog. The application deletes it after the modal loop;
  // its window goes earlier, with this one that owns it.
  CLoginActiveDlg* m_pActiveDlg = nullptr;
  CLayeredPng m_layer;

  // Puts the overlay back above this window where the platform has not kept it there.
  void RestackOverlay() noexcept;
  // The same for the game window, which the login window owns as well.
  void RestackGameWindow() noexcept;

protected:
  BOOL OnInitDialog() noexcept override;
  // Enter and Esc never end the login window.
  void OnOK() noexcept override {}
  void OnCancel() noexcept override {}
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

private:
  void OnPaint() noexcept;
  LRESULT OnNcHitTest() noexcept;
  void OnMove() noexcept;
  void OnShowWindow(BOOL show) noexcept;
  void OnSize(UINT type) noexcept;
};
