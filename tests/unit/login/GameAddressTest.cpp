// Which navigations of the login page are game addresses, by the rule alone and as the
// overlay sees them arrive from its browser (where a yes cancels the navigation).
#include <gtest/gtest.h>

#include <exdispid.h>
#include <wrl/client.h>

#include <string>

#include "browser/WebBrowserEventSink.h"
#include "login/LoginActiveDlg.h"

namespace {

struct AddressCase {
  const char* what;
  std::wstring url;
  bool game;
};

// Addresses with a NUL inside stand for what a page script can put in a BSTR.
const AddressCase kCases[] = {
    {"the portal's game page", L"http://127.0.0.1/game/play?server=3&client=1", true},
    {"the marker alone", L"client=1", true},
    {"inside a longer token", L"http://h/x?xclient=10", true},
    {"in the host", L"http://client=1.example/", true},
    {"in the path", L"http://h/client=1/", true},
    {"in the fragment", L"http://h/page#client=1", true},
    {"the login page", L"http://h/v6/weiduan?gc=qth", false},
    {"another letter case", L"http://h/x?Client=1", false},
    {"another value", L"http://h/x?client=2", false},
    {"cut short", L"http://h/x?client=", false},
    {"escaped equals sign", L"http://h/x?client%3D1", false},
    {"a blank inside", L"http://h/x?client =1", false},
    {"full-width letters", L"http://h/x?\xFF43lient=1", false},
    {"empty", L"", false},
    {"marker after a NUL", std::wstring(L"a\0client=1", 10), false},
    {"marker before a NUL", std::wstring(L"client=1\0x", 10), true},
};

TEST(GameAddress, PlainCaseSensitiveSubstringUpToTheFirstNul) {
  for (const AddressCase& c : kCases) EXPECT_EQ(IsGameAddress(c.url), c.game) << c.what;
}

// BeforeNavigate2 as the browser sends it: reverse order, address and cancel by reference.
bool OverlayCancels(CLoginActiveDlg& overlay, const std::wstring& url) {
  Microsoft::WRL::ComPtr<CWebBrowserEventSink> sink;
  sink.Attach(CWebBrowserEventSink::Create(&overlay));
  BSTR text = ::SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
  VARIANT address{}, empty{};
  address.vt = VT_BSTR;
  address.bstrVal = text;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[7]{};
  args[6].vt = VT_DISPATCH;  // the top page; the overlay does not look at it
  args[5].vt = VT_BYREF | VT_VARIANT;
  args[5].pvarVal = &address;
  for (int i = 1; i <= 4; ++i) {
    args[i].vt = VT_BYREF | VT_VARIANT;
    args[i].pvarVal = &empty;
  }
  args[0].vt = VT_BYREF | VT_BOOL;
  args[0].pboolVal = &cancel;
  DISPPARAMS params{args, nullptr, 7, 0};
  const HRESULT hr = sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                  nullptr, nullptr, nullptr);
  ::SysFreeString(text);
  EXPECT_EQ(hr, S_OK);
  return cancel == VARIANT_TRUE;
}

// No launcher application runs here, so the hand-off finds no game window to open and only
// the cancel flag tells what the overlay decided.
TEST(GameAddress, TheOverlayCancelsExactlyTheGameAddresses) {
  CLoginActiveDlg overlay(nullptr);
  for (const AddressCase& c : kCases) EXPECT_EQ(OverlayCancels(overlay, c.url), c.game) << c.what;
}

}  // namespace
