#include "browser/WebBrowser2.h"

#include <exdisp.h>
#include <olectl.h>

namespace {

constexpr DISPID kNavigate = 104;
constexpr DISPID kRefresh = DISPID_REFRESH;  // -550

}  // namespace

CWebBrowser2::~CWebBrowser2() {
  // The connection may outlast us (until the dialog's teardown); the handler may not.
  if (m_pSink) m_pSink->Disconnect();
}

void CWebBrowser2::Navigate(const wchar_t* url) noexcept {
  VARIANT empty;
  ::VariantInit(&empty);
  // Reverse order: rgvarg[4] is the address, rgvarg[3..0] are Flags .. Headers.
  VARIANT args[5];
  for (VARIANT& optional : args) {
    ::VariantInit(&optional);
    optional.vt = VT_BYREF | VT_VARIANT;
    optional.pvarVal = &empty;
  }
  args[4].vt = VT_BSTR;
  args[4].bstrVal = ::SysAllocString(url ? url : L"");
  DISPPARAMS params{args, nullptr, 5, 0};
  InvokeHelper(kNavigate, DISPATCH_METHOD, &params, nullptr);
  ::VariantClear(&args[4]);
}

void CWebBrowser2::Refresh() noexcept { InvokeHelper(kRefresh, DISPATCH_METHOD, nullptr, nullptr); }

bool CWebBrowser2::ConnectEvents(CWebBrowserEvents& handler) noexcept {
  if (m_pSink) m_pSink->Disconnect();
  m_pSink.Attach(CWebBrowserEventSink::Create(&handler));
  if (!m_pSink) return false;
  return SUCCEEDED(Advise(DIID_DWebBrowserEvents2, static_cast<IDispatch*>(m_pSink.Get())));
}
