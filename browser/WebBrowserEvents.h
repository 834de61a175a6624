#pragma once
// What a window that hosts a browser hears of it. The owning dialog derives from this,
// overrides the events it wants and connects itself to its browser in DoDataExchange:
//
//   class CGameDialog : public fw::Dialog, public CWebBrowserEvents {
//     void DoDataExchange() noexcept override {
//       AttachControl(IDC_GAME_BROWSER, m_browser);
//       m_browser.ConnectEvents(*this);
//     }
//     void OnNavigateComplete2(IDispatch* frame, const std::wstring& url) noexcept override;
//   };
//
// The events come from control 1000's DWebBrowserEvents2 connection, on the user-interface
// thread, with their arguments checked: an event whose arguments are not what the browser
// sends is dropped before it gets here. `url` is the address up to its first NUL (empty for
// a null string); `frame` is the browser or frame that navigates, possibly null.
#include <windows.h>
#include <oaidl.h>

#include <string>

class CWebBrowserEvents {
public:
  // BeforeNavigate2 (250): *cancel = VARIANT_TRUE stops the navigation.
  virtual void OnBeforeNavigate2(IDispatch* /*frame*/, const std::wstring& /*url*/, VARIANT_BOOL* /*cancel*/) noexcept {}
  // NavigateComplete2 (252).
  virtual void OnNavigateComplete2(IDispatch* /*frame*/, const std::wstring& /*url*/) noexcept {}
  // DocumentComplete (259).
  virtual void OnDocumentComplete(IDispatch* /*frame*/, const std::wstring& /*url*/) noexcept {}

protected:
  ~CWebBrowserEvents() = default;
};
