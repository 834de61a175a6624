#pragma once
// The login page overlay: a top-level window owned by the login window and laid exactly over
// it. Its key-coloured background is transparent and click-through, so the skin shows with
// the page's browser and two image buttons on it.
#include <windows.h>

#include "browser/WebBrowser2.h"
#include "browser/WebBrowserEvents.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "skin/LayeredPng.h"
#include "skin/PngButton.h"

class CLoginDlg;

class CLoginActiveDlg : public fw::Dialog, public CWebBrowserEvents {
public:
  // The template (132) is given to Create.
  explicit CLoginActiveDlg(CLoginDlg* pLoginDlg) noexcept;
  ~CLoginActiveDlg() override;

  CLayeredPng m_layer;
  fw::Brush m_brKey;
  COLORREF m_clrKey;
  CLoginDlg* m_pLoginDlg;
  CWebBrowser2 m_browser;
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

  void OnBeforeNavigate2(IDispatch* frame, const std::wstring& url, VARIANT_BOOL* cancel) noexcept override;
  void OnNavigateComplete2(IDispatch* frame, const std::wstring& url) noexcept override;
  void OnDocumentComplete(IDispatch* frame, const std::wstring& url) noexcept override;

private:
  LRESULT OnNcHitTest() noexcept;
  void OnMove() noexcept;
};

// A game address: one that contains "client=1" anywhere, exactly (case-sensitive, a plain
// substring search, so "xclient=10" counts and "Client=1" does not), in the text up to the
// first NUL.
bool IsGameAddress(const std::wstring& url) noexcept;

// Opens a game address in the game window, creating it on first use, and brings it forward.
void OpenGameUrl(const std::wstring& url) noexcept;
