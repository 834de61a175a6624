#pragma once
#include <windows.h>

#include "framework/Dialog.h"

class CLoginDlg : public fw::Dialog {
public:
  CLoginDlg() noexcept;

  HICON m_hIcon;

protected:
  BOOL OnInitDialog() noexcept override;
  // Enter and Esc never end the login window.
  void OnOK() noexcept override {}
  void OnCancel() noexcept override {}
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;
};
