#pragma once
// The login page overlay: a top-level window owned by the login window and laid exactly over
// it. Its key-coloured background is transparent and click-through, so the skin shows with
// the page's browser and two image buttons on it.
#include <windows.h>

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "skin/LayeredPng.h"
#include "skin/PngButton.h"

class CLoginDlg;

class CLoginActiveDlg : public fw::Dialog {
public:
  // The template (132) is given to Create.
  explicit CLoginActiveDlg(CLoginDlg* pLoginDlg) noexcept;
  ~CLoginActiveDlg() override;

  CLayeredPng m_layer;
  fw::Brush m_brKey;
  COLORREF m_clrKey;
  CLoginDlg* m_pLoginDlg;
  // The page's browser (control 1000) belongs here, between the login window and the buttons.
  CPngButton m_btnMinimize;
  CPngButton m_btnClose;

protected:
  void DoDataExchange() noexcept override;
  BOOL OnInitDialog() noexcept override;
  // Enter and Esc never close the overlay.
  void OnOK() noexcept override {}
  void OnCancel() noexcept override {}
  bool OnCommand(WPARAM wp, LPARAM lp) noexcept override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlType) noexcept override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

private:
  LRESULT OnNcHitTest() noexcept;
  void OnMove() noexcept;
};
