#pragma once
#include <windows.h>

#include <string>

#include "framework/Application.h"

class CImpIDispatch;
class CGameDialog;

class CLoginApp : public fw::Application {
public:
  CLoginApp() noexcept;

  BOOL InitInstance() noexcept override;
  int ExitInstance() noexcept override;

  void DestroyGameDialog() noexcept;
  // After a confirmed server reselection: the game window goes, the login window comes back
  // and reloads its page, in that order.
  void ReselectServer() noexcept;

  // The login page: built in, or given with --portal on the command line.
  std::wstring m_strLoginPageUrl;

  ULONG_PTR m_gdiplusToken = 0;
  CImpIDispatch* m_pExternal = nullptr;
  CGameDialog* m_pGameDlg = nullptr;
};

// Posted to the login window by the game window's server reselection: the game window cannot
// tear itself down from inside its own button handler.
constexpr UINT WM_RESELECT_SERVER = WM_APP + 0x10;

// The one application object, or null where the application is not the launcher's (tests).
CLoginApp* GetLoginApp() noexcept;

// The address the login page overlay opens.
std::wstring LoginPageUrl();

// The game window, created hidden on first use.
CGameDialog* GetGameDialog() noexcept;
