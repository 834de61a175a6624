#pragma once
// A dialog that hosts the browser control of a template (131 or 132) and records what its
// browser tells it, as the launcher's windows do.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "browser/WebBrowser2.h"
#include "browser/WebBrowserEvents.h"
#include "framework/Dialog.h"

namespace testing_support {

class HostDialog : public fw::Dialog, public CWebBrowserEvents {
public:
  explicit HostDialog(UINT id, HWND parent = nullptr) : fw::Dialog(id, parent) {}
  CWebBrowser2 m_browser;
  std::vector<std::wstring> befores;
  int completes = 0, documents = 0, oks = 0;
  bool cancelAll = false;
  std::wstring cancelMarker;          // cancel addresses that contain it
  std::vector<std::wstring> events;   // "Event url", in order
  std::function<void(HostDialog&)> onInit, onDocument;

protected:
  void DoDataExchange() noexcept override {
    AttachControl(1000, m_browser);
    m_browser.ConnectEvents(*this);
  }
  BOOL OnInitDialog() noexcept override {
    fw::Dialog::OnInitDialog();
    if (onInit) onInit(*this);
    return TRUE;
  }
  void OnOK() noexcept override { ++oks; }
  void OnCancel() noexcept override {}
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
    if (msg == WM_APP) EndDialog(wp);
    return fw::Dialog::WindowProc(msg, wp, lp);
  }
  void OnBeforeNavigate2(IDispatch*, const std::wstring& url, VARIANT_BOOL* cancel) noexcept override {
    befores.push_back(url);
    events.push_back(L"BeforeNavigate2 " + url);
    if (cancelAll || (!cancelMarker.empty() && url.find(cancelMarker) != std::wstring::npos)) *cancel = VARIANT_TRUE;
  }
  void OnNavigateComplete2(IDispatch*, const std::wstring& url) noexcept override {
    events.push_back(L"NavigateComplete2 " + url);
    if (!m_browser.IsWindowVisible()) m_browser.ShowWindow(SW_SHOW);
    ++completes;
  }
  void OnDocumentComplete(IDispatch*, const std::wstring& url) noexcept override {
    events.push_back(L"DocumentComplete " + url);
    ++documents;
    if (onDocument) onDocument(*this);
  }
};

}  // namespace testing_support
