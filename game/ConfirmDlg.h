#pragma once
#include <windows.h>

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "skin/PngButton.h"

enum { CONFIRM_EXIT_GAME = 0, CONFIRM_SELECT_SERVER = 1 };

// The skinned yes/no question before an irreversible step: leaving the game or its server.
class CConfirmDlg : public fw::Dialog {
public:
  CConfirmDlg() noexcept;

  int m_nMode = CONFIRM_EXIT_GAME;
  CPngButton m_btnOK;
  CPngButton m_btnCancel;
  fw::Bitmap m_bmpBackground;
  fw::Window m_stTitle;
  fw::Window m_stMessage;
  fw::Font m_fontTitle;

protected:
  void DoDataExchange() noexcept override;
  BOOL OnInitDialog() noexcept override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlType) noexcept override;
  bool OnCommand(WPARAM wp, LPARAM lp) noexcept override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

private:
  void OnPaint() noexcept;
};

// Asks before the game ends; on confirmation the login window's loop, and with it the
// application, ends with exit code 16.
void OnExitGame() noexcept;
