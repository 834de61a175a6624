// The browser's events as a host receives them: well-formed ones reach the window's
// handlers with the address as text; malformed ones are dropped without being read.
#include <gtest/gtest.h>

#include <exdisp.h>
#include <exdispid.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "browser/WebBrowserEventSink.h"
#include "browser/WebBrowserEvents.h"

using Microsoft::WRL::ComPtr;

namespace {

struct Recorder : CWebBrowserEvents {
  struct Call {
    DISPID event;
    IDispatch* frame;
    std::wstring url;
  };
  std::vector<Call> calls;
  bool cancelGameAddresses = false;

  void OnBeforeNavigate2(IDispatch* frame, const std::wstring& url, VARIANT_BOOL* cancel) noexcept override {
    calls.push_back({DISPID_BEFORENAVIGATE2, frame, url});
    if (cancelGameAddresses && url.find(L"client=1") != std::wstring::npos) *cancel = VARIANT_TRUE;
  }
  void OnNavigateComplete2(IDispatch* frame, const std::wstring& url) noexcept override {
    calls.push_back({DISPID_NAVIGATECOMPLETE2, frame, url});
  }
  void OnDocumentComplete(IDispatch* frame, const std::wstring& url) noexcept override {
    calls.push_back({DISPID_DOCUMENTCOMPLETE, frame, url});
  }
};

// The arguments of one event as the browser sends them: reverse order, by reference.
class EventArgs {
public:
  // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
  static EventArgs Before(IDispatch* frame, BSTR url) {
    EventArgs a(7);
    a.v[6].vt = VT_DISPATCH;
    a.v[6].pdispVal = frame;
    a.SetUrl(5, url);
    for (int i = 1; i <= 4; ++i) {
      a.v[i].vt = VT_BYREF | VT_VARIANT;
      a.v[i].pvarVal = &a.empty;
    }
    a.v[0].vt = VT_BYREF | VT_BOOL;
    a.v[0].pboolVal = &a.cancel;
    return a;
  }
  // NavigateComplete2 / DocumentComplete(pDisp, URL)
  static EventArgs Complete(IDispatch* frame, BSTR url) {
    EventArgs a(2);
    a.v[1].vt = VT_DISPATCH;
    a.v[1].pdispVal = frame;
    a.SetUrl(0, url);
    return a;
  }
  EventArgs(EventArgs&& o) noexcept : v(std::move(o.v)), inner(o.inner), empty(o.empty), cancel(o.cancel) { Relink(o); }

  DISPPARAMS Params() { return DISPPARAMS{v.empty() ? nullptr : v.data(), nullptr, static_cast<UINT>(v.size()), 0}; }

  std::vector<VARIANT> v;
  VARIANT inner{};
  VARIANT empty{};
  VARIANT_BOOL cancel = VARIANT_FALSE;

private:
  explicit EventArgs(size_t n) : v(n) {
    for (VARIANT& x : v) VariantInit(&x);
  }
  void SetUrl(size_t i, BSTR url) {
    inner.vt = VT_BSTR;
    inner.bstrVal = url;
    v[i].vt = VT_BYREF | VT_VARIANT;
    v[i].pvarVal = &inner;
  }
  void Relink(const EventArgs& o) {
    for (VARIANT& x : v) {
      if (x.vt == (VT_BYREF | VT_VARIANT)) x.pvarVal = (x.pvarVal == &o.inner) ? &inner : &empty;
      if (x.vt == (VT_BYREF | VT_BOOL)) x.pboolVal = &cancel;
    }
  }
};

class Bstr {
public:
  explicit Bstr(const wchar_t* s) : m_b(SysAllocString(s)) {}
  Bstr(const wchar_t* s, UINT len) : m_b(SysAllocStringLen(s, len)) {}
  ~Bstr() { SysFreeString(m_b); }
  operator BSTR() const { return m_b; }

private:
  BSTR m_b;
};

class EventSinkTest : public ::testing::Test {
protected:
  HRESULT Fire(DISPID id, EventArgs& args) {
    DISPPARAMS p = args.Params();
    return sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &p, nullptr, nullptr, nullptr);
  }
  EventSinkTest() { sink.Attach(CWebBrowserEventSink::Create(&handler)); }
  Recorder handler;
  ComPtr<CWebBrowserEventSink> sink;
  // Only passed on, never called.
  IDispatch* const frame = reinterpret_cast<IDispatch*>(0x5000);
};

TEST_F(EventSinkTest, WellFormedEventsReachTheirHandlersAndCancelIsWritable) {
  handler.cancelGameAddresses = true;
  Bstr login(L"http://portal.test/v6/weiduan?gc=qth"), game(L"http://portal.test/play?client=1&s=3");
  EventArgs before = EventArgs::Before(frame, login);
  EXPECT_EQ(Fire(DISPID_BEFORENAVIGATE2, before), S_OK);
  EXPECT_EQ(before.cancel, VARIANT_FALSE);
  EventArgs beforeGame = EventArgs::Before(nullptr, game);
  EXPECT_EQ(Fire(DISPID_BEFORENAVIGATE2, beforeGame), S_OK);
  EXPECT_EQ(beforeGame.cancel, VARIANT_TRUE);
  EventArgs nav = EventArgs::Complete(frame, login);
  EXPECT_EQ(Fire(DISPID_NAVIGATECOMPLETE2, nav), S_OK);
  EventArgs doc = EventArgs::Complete(frame, login);
  EXPECT_EQ(Fire(DISPID_DOCUMENTCOMPLETE, doc), S_OK);
  // Events the windows do not use are accepted and ignored.
  EventArgs progress = EventArgs::Complete(frame, login);
  EXPECT_EQ(Fire(DISPID_PROGRESSCHANGE, progress), S_OK);

  ASSERT_EQ(handler.calls.size(), 4u);
  EXPECT_EQ(handler.calls[0].event, DISPID_BEFORENAVIGATE2);
  EXPECT_EQ(handler.calls[0].frame, frame);
  EXPECT_EQ(handler.calls[0].url, L"http://portal.test/v6/weiduan?gc=qth");
  EXPECT_EQ(handler.calls[1].frame, nullptr);
  EXPECT_EQ(handler.calls[1].url, L"http://portal.test/play?client=1&s=3");
  EXPECT_EQ(handler.calls[2].event, DISPID_NAVIGATECOMPLETE2);
  EXPECT_EQ(handler.calls[3].event, DISPID_DOCUMENTCOMPLETE);
}

TEST_F(EventSinkTest, TheAddressIsTextUpToItsFirstNulAndMayBeNullOrLong) {
  const wchar_t withNul[] = {L'h', L't', L't', L'p', L'\0', L'x', L'y'};
  std::wstring longUrl = L"http://127.0.0.1/?" + std::wstring(32 * 1024, L'a');  // 64 KiB of text and more
  Bstr embedded(withNul, 7), longOne(longUrl.c_str());
  struct Case {
    BSTR url;
    std::wstring expected;
  } cases[] = {{embedded, L"http"}, {nullptr, L""}, {longOne, longUrl}};
  for (const Case& c : cases) {
    handler.calls.clear();
    EventArgs before = EventArgs::Before(frame, c.url);
    EXPECT_EQ(Fire(DISPID_BEFORENAVIGATE2, before), S_OK);
    ASSERT_EQ(handler.calls.size(), 1u);
    EXPECT_EQ(handler.calls[0].url, c.expected);
  }
  // A plain BSTR in place of the reference is read as well.
  handler.calls.clear();
  Bstr plain(L"http://plain/");
  EventArgs nav = EventArgs::Complete(frame, nullptr);
  nav.v[0].vt = VT_BSTR;
  nav.v[0].bstrVal = plain;
  EXPECT_EQ(Fire(DISPID_NAVIGATECOMPLETE2, nav), S_OK);
  ASSERT_EQ(handler.calls.size(), 1u);
  EXPECT_EQ(handler.calls[0].url, L"http://plain/");
}

TEST_F(EventSinkTest, MalformedEventsAreDroppedUnread) {
  Bstr url(L"http://127.0.0.1/");
  struct Case {
    const char* what;
    DISPID event;
    void (*spoil)(EventArgs&);
  } cases[] = {
      {"too few arguments", DISPID_BEFORENAVIGATE2, [](EventArgs& a) { a.v.pop_back(); }},
      {"too many arguments", DISPID_NAVIGATECOMPLETE2, [](EventArgs& a) { a.v.push_back(VARIANT{}); }},
      {"no arguments", DISPID_DOCUMENTCOMPLETE, [](EventArgs& a) { a.v.clear(); }},
      {"url is a number", DISPID_NAVIGATECOMPLETE2, [](EventArgs& a) { a.inner.vt = VT_I4; }},
      {"url by reference to nothing", DISPID_BEFORENAVIGATE2, [](EventArgs& a) { a.v[5].pvarVal = nullptr; }},
      {"url by reference to a reference", DISPID_DOCUMENTCOMPLETE,
       [](EventArgs& a) {
         a.inner.vt = VT_BYREF | VT_VARIANT;
         a.inner.pvarVal = &a.empty;
       }},
      {"url is a BSTR by reference", DISPID_BEFORENAVIGATE2,
       [](EventArgs& a) {
         a.v[5].vt = VT_BYREF | VT_BSTR;
         a.v[5].pbstrVal = nullptr;
       }},
      {"frame is a string", DISPID_NAVIGATECOMPLETE2, [](EventArgs& a) { a.v[1].vt = VT_BSTR; }},
      {"cancel is a plain bool", DISPID_BEFORENAVIGATE2, [](EventArgs& a) { a.v[0].vt = VT_BOOL; }},
      {"cancel points nowhere", DISPID_BEFORENAVIGATE2, [](EventArgs& a) { a.v[0].pboolVal = nullptr; }},
      {"cancel is an int by reference", DISPID_BEFORENAVIGATE2, [](EventArgs& a) { a.v[0].vt = VT_BYREF | VT_I4; }},
  };
  for (const Case& c : cases) {
    EventArgs args = c.event == DISPID_BEFORENAVIGATE2 ? EventArgs::Before(frame, url) : EventArgs::Complete(frame, url);
    c.spoil(args);
    EXPECT_TRUE(FAILED(Fire(c.event, args))) << c.what;
  }
  // Counted arguments that are not there.
  DISPPARAMS missing{nullptr, nullptr, 7, 0};
  EXPECT_TRUE(FAILED(sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &missing, nullptr, nullptr, nullptr)));
  EXPECT_TRUE(FAILED(sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr)));
  EXPECT_TRUE(handler.calls.empty());
}

TEST_F(EventSinkTest, AfterDisconnectNothingReachesTheHandler) {
  Bstr url(L"http://127.0.0.1/");
  sink->Disconnect();
  EventArgs nav = EventArgs::Complete(frame, url);
  EXPECT_EQ(Fire(DISPID_NAVIGATECOMPLETE2, nav), S_OK);
  EXPECT_TRUE(handler.calls.empty());

  // It is the events interface of the browser, and IDispatch, and nothing else.
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &DIID_DWebBrowserEvents2}) {
    ComPtr<IUnknown> p;
    EXPECT_EQ(sink->QueryInterface(*iid, reinterpret_cast<void**>(p.GetAddressOf())), S_OK);
  }
  IUnknown* none = reinterpret_cast<IUnknown*>(0x1);
  EXPECT_EQ(sink->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
}

}  // namespace
