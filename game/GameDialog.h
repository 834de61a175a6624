#pragma once
#include <windows.h>
#include <shellapi.h>

#include <new>

#include "browser/WebBrowser2.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "game/ToolTipCtrl.h"
#include "skin/PngButton.h"

enum { MODE_FULLSCREEN = 0, MODE_MAXIMIZED = 1, MODE_NORMAL = 2 };

// The window the game is played in: the game page under a 30-pixel title bar of our own.
class CGameDialog : public fw::Dialog, public CWebBrowserEvents {
public:
  CGameDialog() noexcept;
  ~CGameDialog() override;

  // Title bar and geometry.
  void SetupTitleBar() noexcept;
  void LoadTitleBarImages() noexcept;
  void LayoutTitleBar() noexcept;
  void ShowTitleBar(int showCommand) noexcept;
  void SizeToNormal() noexcept;
  void SizeToWorkArea() noexcept;
  void SizeToFullScreen() noexcept;
  void ApplyWindowMode() noexcept;

  // Commands.
  void ToggleMaximize() noexcept;
  void ToggleFullScreen() noexcept;
  void ToggleBossKey() noexcept;
  void OnMinimize() noexcept;
  void OnFullScreen() noexcept;
  void OnBossKey() noexcept;
  void OnCleanCache() noexcept;
  void OnRefresh() noexcept;
  void OnSelectServer() noexcept;

  // Tray icon.
  void AddTrayIcon() noexcept;
  LRESULT OnTrayNotify(WPARAM wp, LPARAM lp) noexcept;

  // Gives back what the window holds of the shell and the system: the title-bar bitmap, the
  // two hotkeys and the tray icon. The window itself stays usable.
  void ReleaseShellResources() noexcept;

  bool PreTranslateMessage(MSG* msg) noexcept override;

  int m_nBossHotKeyId = 1001;
  int m_nFullScreenHotKeyId = 1002;
  int m_nWindowMode = MODE_MAXIMIZED;
  NOTIFYICONDATAW m_nidTray{};
  fw::Bitmap m_bmpTitleBar;
  HICON m_hIcon = nullptr;
  CWebBrowser2 m_browser;
  CPngButton m_btnClose;
  CPngButton m_btnRestore;
  CPngButton m_btnMinimize;
  CPngButton m_btnFullScreen;
  CPngButton m_btnBoss;
  CPngButton m_btnRefresh;
  CPngButton m_btnServer;
  CPngButton m_btnClean;
  CPngButton m_btnMaximize;
  CToolTipCtrl* m_pToolTip = nullptr;

protected:
  BOOL OnInitDialog() noexcept override;
  void DoDataExchange() noexcept override;
  // Enter, Esc and the close request never close or hide the game window.
  void OnOK() noexcept override {}
  void OnCancel() noexcept override {}
  bool OnCommand(WPARAM wp, LPARAM lp) noexcept override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

  void OnNavigateComplete2(IDispatch* frame, const std::wstring& url) noexcept override;

private:
  void OnPaint() noexcept;
  void OnSize() noexcept;
  void OnClose() noexcept;
  void OnHotKey(WPARAM id) noexcept;
  void OnLButtonDown(LPARAM lp) noexcept;

  fw::Bitmap m_bmpLogo;
};
