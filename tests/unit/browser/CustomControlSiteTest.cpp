// The browsers' site: one identity and one count over all its interfaces, and the exact
// answers of IDocHostUIHandler that shape the hosted page.
#include <gtest/gtest.h>

#include <mshtmhst.h>
#include <wrl/client.h>

#include "browser/CustomControlSite.h"
#include "browser/CustomOccManager.h"
#include "browser/ImpIDispatch.h"
#include "framework/OleControlContainer.h"

using Microsoft::WRL::ComPtr;

namespace {

class CustomControlSiteTest : public ::testing::Test {
protected:
  void SetUp() override {
    site.Attach(manager.CreateSite(container));
    ASSERT_TRUE(site);
    // Attach took the site's first reference without adding one.
    site->AddRef();
  }
  ULONG Count() {
    site->AddRef();
    return site->Release();
  }

  CImpIDispatch* external = nullptr;
  CCustomOccManager manager{&external};
  fw::OleControlContainer container{manager};
  ComPtr<fw::OleControlSite> site;
};

const IID* const kSiteInterfaces[] = {
    &IID_IUnknown,         &IID_IOleClientSite, &IID_IOleWindow,     &IID_IOleInPlaceSite,
    &IID_IOleInPlaceFrame, &IID_IOleInPlaceUIWindow, &IID_IOleControlSite, &IID_IDispatch,
    &IID_IDocHostUIHandler,
};

TEST_F(CustomControlSiteTest, EveryInterfaceReachesTheSameIdentityAndTheSameCount) {
  ComPtr<IUnknown> identity;
  ASSERT_EQ(site->QueryInterface(IID_PPV_ARGS(&identity)), S_OK);
  const ULONG base = Count();
  for (const IID* from : kSiteInterfaces) {
    IUnknown* start = nullptr;
    ASSERT_EQ(site->QueryInterface(*from, reinterpret_cast<void**>(&start)), S_OK);
    EXPECT_EQ(Count(), base + 1) << "one reference, counted once";
    for (const IID* to : kSiteInterfaces) {
      IUnknown* other = nullptr;
      ASSERT_EQ(start->QueryInterface(*to, reinterpret_cast<void**>(&other)), S_OK);
      IUnknown* unk = nullptr;
      ASSERT_EQ(other->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk)), S_OK);
      EXPECT_EQ(unk, identity.Get());
      unk->Release();
      other->Release();
    }
    // AddRef and Release through any interface move the one count.
    EXPECT_EQ(start->AddRef(), base + 2);
    EXPECT_EQ(start->Release(), base + 1);
    start->Release();
  }
  EXPECT_EQ(Count(), base);

  IUnknown* none = reinterpret_cast<IUnknown*>(0x1);
  EXPECT_EQ(site->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(site->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(CustomControlSiteTest, DocHostUIHandlerAnswersAsTheSkinNeeds) {
  ComPtr<IDocHostUIHandler> ui;
  ASSERT_EQ(site->QueryInterface(IID_PPV_ARGS(&ui)), S_OK);

  POINT pt{5, 5};
  EXPECT_EQ(ui->ShowContextMenu(CONTEXT_MENU_DEFAULT, &pt, nullptr, nullptr), S_OK);
  EXPECT_EQ(ui->ShowUI(DOCHOSTUITYPE_BROWSE, nullptr, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(ui->HideUI(), S_OK);
  EXPECT_EQ(ui->UpdateUI(), S_OK);
  EXPECT_EQ(ui->EnableModeless(TRUE), E_NOTIMPL);
  EXPECT_EQ(ui->OnDocWindowActivate(TRUE), E_NOTIMPL);
  EXPECT_EQ(ui->OnFrameWindowActivate(TRUE), E_NOTIMPL);
  RECT border{};
  EXPECT_EQ(ui->ResizeBorder(&border, nullptr, TRUE), E_NOTIMPL);
  MSG msg{nullptr, WM_KEYDOWN, VK_F5, 0, 0, {}};
  EXPECT_EQ(ui->TranslateAccelerator(&msg, nullptr, 0), S_FALSE);
  LPOLESTR key = nullptr;
  EXPECT_EQ(ui->GetOptionKeyPath(&key, 0), E_NOTIMPL);
  IDropTarget* drop = nullptr;
  EXPECT_EQ(ui->GetDropTarget(nullptr, &drop), E_NOTIMPL);
  wchar_t url[] = L"http://127.0.0.1/";
  LPWSTR translated = nullptr;
  EXPECT_EQ(ui->TranslateUrl(0, url, &translated), E_NOTIMPL);
  EXPECT_EQ(translated, nullptr);
  IDataObject* filtered = nullptr;
  EXPECT_EQ(ui->FilterDataObject(nullptr, &filtered), E_NOTIMPL);

  DOCHOSTUIINFO info{};
  info.cbSize = sizeof(info);
  info.dwFlags = 0xFFFF0000;
  info.dwDoubleClick = 7;
  OLECHAR css[] = L"body{}";
  info.pchHostCss = css;
  EXPECT_EQ(ui->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.dwFlags, 0xCu) << "no 3-D border, no scroll bars";
  EXPECT_EQ(info.dwDoubleClick, DWORD(DOCHOSTUIDBLCLK_DEFAULT));
  EXPECT_EQ(info.cbSize, sizeof(info));
  EXPECT_EQ(info.pchHostCss, css);
  EXPECT_EQ(info.pchHostNS, nullptr);
}

TEST_F(CustomControlSiteTest, GetExternalHandsOutTheApplicationsObjectWithAReferenceEachTime) {
  ComPtr<IDocHostUIHandler> ui;
  ASSERT_EQ(site->QueryInterface(IID_PPV_ARGS(&ui)), S_OK);
  // Made after the manager and the site, as at start-up.
  CImpIDispatch object;
  external = &object;
  for (ULONG expected : {1u, 2u, 3u}) {
    IDispatch* got = nullptr;
    EXPECT_EQ(ui->GetExternal(&got), S_OK);
    EXPECT_EQ(got, static_cast<IDispatch*>(&object));
    EXPECT_EQ(object.AddRef() - 1, expected);
    object.Release();
  }
  EXPECT_EQ(ui->GetExternal(nullptr), E_POINTER);
  external = nullptr;
  IDispatch* got = reinterpret_cast<IDispatch*>(0x1);
  EXPECT_EQ(ui->GetExternal(&got), S_FALSE);
  EXPECT_EQ(got, nullptr);
}

}  // namespace
