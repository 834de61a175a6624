// Hosting a control from a dialog template, with a control of the tests' own in place of the
// browser: where the control goes, what its site is, how calls and events travel, who gets
// the keyboard, and the order in which it is torn down.
#include <gtest/gtest.h>

#include <exdispid.h>
#include <mshtmhst.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FakeControl.h"
#include "HostDialog.h"
#include "TrackingManager.h"
#include "browser/CustomControlSite.h"
#include "browser/CustomOccManager.h"
#include "browser/ImpIDispatch.h"
#include "browser/WebBrowser2.h"
#include "common/TestSupport.h"
#include "framework/Dialog.h"
#include "framework/OleControlContainer.h"
#include "resource.h"

using Microsoft::WRL::ComPtr;
using Lines = std::vector<std::string>;

namespace {

using testing_support::HostDialog;
using testing_support::TrackedSite;
using testing_support::TrackingManager;

class ContainmentTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    registration = std::make_unique<fake::Registration>();
    fw::EnableControlContainer(&manager);
  }
  void TearDown() override {
    fw::EnableControlContainer(nullptr);
    registration.reset();
    OleUninitialize();
  }
  static RECT InParent(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
  }

  CImpIDispatch* external = nullptr;
  TrackingManager manager{&external};
  std::unique_ptr<fake::Registration> registration;
};

TEST_F(ContainmentTest, TheControlTakesTheTemplateItemsPlaceIdStyleAndTabOrderWithTheManagersSite) {
  struct Case {
    UINT dialog;
    RECT units;  // x, y, cx, cy of the template item
    bool tabStop;
    int previous;  // 0: first item
  } cases[] = {
      {IDD_GAME_DIALOG, {7, 71, 441, 192}, true, 0},
      {IDD_LOGINACTIVE_DIALOG, {0, 17, 372, 265}, false, IDC_LOGIN_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dialog);
    fake::Get().log.clear();
    manager.made = 0;
    HostDialog dlg(c.dialog);
    ASSERT_TRUE(dlg.Create(c.dialog));
    HWND control = dlg.GetDlgItem(1000);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control, fake::Get().window);
    EXPECT_EQ(dlg.m_browser.m_hWnd, control);

    RECT expected{c.units.left, c.units.top, c.units.left + c.units.right, c.units.top + c.units.bottom};
    MapDialogRect(dlg.m_hWnd, &expected);
    const RECT actual = InParent(control);
    EXPECT_TRUE(EqualRect(&actual, &expected)) << actual.left << "," << actual.top << "," << actual.right << ","
                                               << actual.bottom;
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    EXPECT_FALSE(style & WS_VISIBLE) << "hidden until its window shows it";
    EXPECT_EQ((style & WS_TABSTOP) != 0, c.tabStop);
    if (c.previous) {
      EXPECT_EQ(GetWindow(dlg.GetDlgItem(c.previous), GW_HWNDNEXT), control);
    } else {
      EXPECT_EQ(GetWindow(dlg.m_hWnd, GW_CHILD), control);

    }

    EXPECT_EQ(manager.made, 1);
    ASSERT_NE(fake::Get().site, nullptr);
    ComPtr<IDocHostUIHandler> ui;
    EXPECT_EQ(fake::Get().site->QueryInterface(IID_PPV_ARGS(&ui)), S_OK) << "the site is the browsers' own";
    EXPECT_EQ(fake::Filter({"SetClientSite", "DoVerb", "Advise"}), (Lines{"SetClientSite", "DoVerb -5", "Advise"}));
  }
  EXPECT_EQ(TrackedSite::live, 0);
}

TEST_F(ContainmentTest, TeardownRunsInItsWrittenOrderHoweverTheDialogGoes) {
  const Lines order{"Unadvise", "InPlaceDeactivate", "SetClientSite(null)", "Close", "released"};
  struct Way {
    const char* what;
    std::function<void()> run;
  };
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  const Way ways[] = {
      {"its window is destroyed",
       [] {
         HostDialog dlg(IDD_GAME_DIALOG);
         ASSERT_TRUE(dlg.Create(IDD_GAME_DIALOG));
         fake::Get().log.clear();
         dlg.DestroyWindow();
         EXPECT_EQ(dlg.m_browser.m_hWnd, nullptr);
       }},
      {"its object is deleted",
       [] {
         auto dlg = std::make_unique<HostDialog>(IDD_LOGINACTIVE_DIALOG);
         ASSERT_TRUE(dlg->Create(IDD_LOGINACTIVE_DIALOG));
         fake::Get().log.clear();
         dlg.reset();
       }},
      {"its owner is destroyed",
       [owner] {
         HostDialog dlg(IDD_GAME_DIALOG);
         ASSERT_TRUE(dlg.Create(IDD_GAME_DIALOG, owner));
         fake::Get().log.clear();
         DestroyWindow(owner);
         EXPECT_EQ(dlg.m_hWnd, nullptr);
       }},
      {"its modal loop ends",
       [] {
         HostDialog dlg(IDD_GAME_DIALOG);
         dlg.onInit = [](HostDialog& d) {
           fake::Get().log.clear();
           PostMessageW(d.m_hWnd, WM_APP, 3, 0);
         };
         EXPECT_EQ(dlg.DoModal(), 3);
       }},
  };
  for (const Way& way : ways) {
    way.run();
    EXPECT_EQ(fake::Get().log, order) << way.what;
    EXPECT_EQ(TrackedSite::live, 0) << way.what;
    EXPECT_EQ(fake::Get().alive, 0) << way.what;
  }
}

TEST_F(ContainmentTest, NavigateAndRefreshGoByDispatchIdWithTheirExactArguments) {
  HostDialog dlg(IDD_GAME_DIALOG);
  ASSERT_TRUE(dlg.Create(IDD_GAME_DIALOG));
  dlg.m_browser.Navigate(L"http://127.0.0.1:1/play?client=1");
  dlg.m_browser.Refresh();
  ASSERT_EQ(fake::Get().calls.size(), 2u);

  const fake::Call& nav = fake::Get().calls[0];
  EXPECT_EQ(nav.id, 104);
  EXPECT_EQ(nav.flags, DISPATCH_METHOD);
  EXPECT_EQ(nav.named, 0u);
  ASSERT_EQ(nav.args, 5u);
  EXPECT_EQ(nav.types[4], VT_BSTR);
  EXPECT_EQ(nav.text, L"http://127.0.0.1:1/play?client=1");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(nav.types[i], VT_BYREF | VT_VARIANT) << i;
  ASSERT_EQ(nav.refs.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(nav.refs[i], nav.refs[0]) << "all four point at one VARIANT";
    EXPECT_EQ(nav.refTypes[i], VT_EMPTY);
  }

  const fake::Call& refresh = fake::Get().calls[1];
  EXPECT_EQ(refresh.id, -550);
  EXPECT_EQ(refresh.flags, DISPATCH_METHOD);
  EXPECT_EQ(refresh.args, 0u);
  EXPECT_EQ(refresh.named, 0u);

  // A failing control, or none at all, is no reason to stop.
  fake::Get().invokeResult = DISP_E_EXCEPTION;
  dlg.m_browser.Navigate(nullptr);
  dlg.m_browser.Refresh();
  EXPECT_EQ(fake::Get().calls.size(), 4u);
  EXPECT_EQ(fake::Get().calls[2].text, L"");
  CWebBrowser2 unattached;
  unattached.Navigate(L"http://127.0.0.1/");
  unattached.Refresh();
  dlg.DestroyWindow();
  dlg.m_browser.Navigate(L"http://127.0.0.1/");
  EXPECT_EQ(fake::Get().calls.size(), 4u);
}

TEST_F(ContainmentTest, AControlThatCannotBeCreatedLeavesAWorkingDialogWithoutIt) {
  fake::Get().refuseCreation = true;
  HostDialog dlg(IDD_GAME_DIALOG);
  ASSERT_TRUE(dlg.Create(IDD_GAME_DIALOG));
  EXPECT_EQ(dlg.GetDlgItem(1000), nullptr);
  EXPECT_NE(dlg.GetDlgItem(IDC_BTN_CLOSE), nullptr);
  EXPECT_EQ(dlg.m_browser.m_hWnd, nullptr);
  dlg.m_browser.Navigate(L"http://127.0.0.1/");
  EXPECT_TRUE(fake::Get().calls.empty());
  dlg.DestroyWindow();
  EXPECT_EQ(TrackedSite::live, 0);
}

TEST_F(ContainmentTest, EventsOfControl1000ReachTheDialogUntilItGoes) {
  auto dlg = std::make_unique<HostDialog>(IDD_LOGINACTIVE_DIALOG);
  ASSERT_TRUE(dlg->Create(IDD_LOGINACTIVE_DIALOG));
  dlg->cancelAll = true;

  BSTR url = SysAllocString(L"http://127.0.0.1/x?client=1");
  VARIANT urlValue, empty, args[7];
  VariantInit(&empty);
  urlValue.vt = VT_BSTR;
  urlValue.bstrVal = url;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  for (VARIANT& a : args) {
    a.vt = VT_BYREF | VT_VARIANT;
    a.pvarVal = &empty;
  }
  args[6].vt = VT_DISPATCH;
  args[6].pdispVal = nullptr;
  args[5].pvarVal = &urlValue;
  args[0].vt = VT_BYREF | VT_BOOL;
  args[0].pboolVal = &cancel;
  DISPPARAMS before{args, nullptr, 7, 0};
  EXPECT_EQ(fake::Fire(DISPID_BEFORENAVIGATE2, &before), S_OK);
  EXPECT_EQ(cancel, VARIANT_TRUE);
  ASSERT_EQ(dlg->befores.size(), 1u);
  EXPECT_EQ(dlg->befores[0], L"http://127.0.0.1/x?client=1");

  EXPECT_FALSE(dlg->m_browser.IsWindowVisible());
  DISPPARAMS complete{&args[5], nullptr, 2, 0};  // URL, then the frame
  VARIANT pair[2] = {args[5], args[6]};
  complete.rgvarg = pair;
  EXPECT_EQ(fake::Fire(DISPID_NAVIGATECOMPLETE2, &complete), S_OK);
  EXPECT_EQ(fake::Fire(DISPID_DOCUMENTCOMPLETE, &complete), S_OK);
  EXPECT_EQ(dlg->completes, 1);
  EXPECT_EQ(dlg->documents, 1);
  EXPECT_TRUE(dlg->m_browser.IsWindowVisible());

  dlg.reset();
  EXPECT_EQ(fake::Fire(DISPID_NAVIGATECOMPLETE2, &complete), E_FAIL) << "no sink is left connected";
  SysFreeString(url);
}

TEST_F(ContainmentTest, KeysInsideTheControlReachItBeforeDialogNavigationInAModalLoop) {
  fake::Get().consumedKeys = {VK_TAB};
  HostDialog dlg(IDD_GAME_DIALOG);
  dlg.onInit = [](HostDialog& d) {
    d.m_browser.ShowWindow(SW_SHOW);
    HWND inner = fake::Get().inner;
    SetFocus(inner);
    for (WPARAM key : {VK_TAB, VK_RETURN, VK_BACK, VK_DELETE}) PostMessageW(inner, WM_KEYDOWN, key, 1);
    // Keys aimed at the dialog's other controls are none of the control's business.
    PostMessageW(d.GetDlgItem(IDC_BTN_REFRESH), WM_KEYDOWN, VK_F5, 1);
    PostMessageW(d.m_hWnd, WM_APP, 1, 0);
    fake::Get().log.clear();
  };
  EXPECT_EQ(dlg.DoModal(), 1);
  EXPECT_EQ(fake::Filter({"accel", "key"}),
            (Lines{"accel 9", "accel 13", "key 13", "accel 8", "key 8", "accel 46", "key 46"}));
  EXPECT_EQ(dlg.oks, 0) << "Enter in the page is not the dialog's OK";
}

TEST_F(ContainmentTest, MovingTheControlsWindowTellsTheControlOnce) {
  HostDialog dlg(IDD_GAME_DIALOG);
  ASSERT_TRUE(dlg.Create(IDD_GAME_DIALOG));
  fake::Get().log.clear();
  dlg.m_browser.MoveWindow(0, 30, 640, 449);
  EXPECT_EQ(fake::Filter({"SetObjectRects"}), (Lines{"SetObjectRects 0,30,640,479"}));
  const RECT now = InParent(dlg.m_browser.m_hWnd);
  EXPECT_EQ(now.left, 0);
  EXPECT_EQ(now.bottom, 479);
  dlg.m_browser.ShowWindow(SW_SHOW);
  EXPECT_EQ(fake::Filter({"SetObjectRects"}).size(), 1u) << "showing is not moving";
}

}  // namespace
