#pragma once
// The window object through which a dialog drives its hosted WebBrowser control (control
// 1000 of its template, bound by AttachControl in DoDataExchange). Calls go by dispatch id;
// a failing call does nothing and reports nothing.
#include <windows.h>
#include <wrl/client.h>

#include "browser/WebBrowserEvents.h"
#include "browser/WebBrowserEventSink.h"
#include "framework/OleControlWindow.h"

class CWebBrowser2 : public fw::OleControlWindow {
public:
  CWebBrowser2() noexcept = default;
  ~CWebBrowser2() override;

  // Navigate (104): the address, and Flags, TargetFrameName, PostData and Headers all
  // pointing at one empty VARIANT.
  void Navigate(const wchar_t* url) noexcept;
  // Refresh (-550), with no arguments.
  void Refresh() noexcept;

  // Delivers this browser's BeforeNavigate2, NavigateComplete2 and DocumentComplete to
  // `handler` (see WebBrowserEvents.h) until this object goes or the control is torn down.
  // A second call replaces the first handler. False: the control has no such events.
  bool ConnectEvents(CWebBrowserEvents& handler) noexcept;

private:
  Microsoft::WRL::ComPtr<CWebBrowserEventSink> m_pSink;
};
