#pragma once
#include <windows.h>

#include "framework/Application.h"

class CImpIDispatch;
class CGameDialog;

class CLoginApp : public fw::Application {
public:
  CLoginApp() noexcept;

  BOOL InitInstance() noexcept override;
  int ExitInstance() noexcept override;

  void DestroyGameDialog() noexcept;

  ULONG_PTR m_gdiplusToken = 0;
  CImpIDispatch* m_pExternal = nullptr;
  CGameDialog* m_pGameDlg = nullptr;
};

// The one application object.
CLoginApp* GetLoginApp() noexcept;

// The game window, created hidden on first use.
CGameDialog* GetGameDialog() noexcept;
