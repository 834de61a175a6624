// The dialog base: modal loop, owner handling, keys and control binding, on real windows.
#include <gtest/gtest.h>

#include <functional>

#include "common/TestSupport.h"
#include "framework/Application.h"
#include "framework/Dialog.h"
#include "resource.h"

namespace {

using testing_support::Pump;

// A dialog on the confirmation template (plain controls) whose initialisation and commands
// the test decides.
class ProbeDialog : public fw::Dialog {
public:
  explicit ProbeDialog(HWND parent = nullptr) : fw::Dialog(IDD_CONFIRM_DIALOG, parent) {}
  std::function<void(ProbeDialog&)> onInit;
  int oks = 0, cancels = 0;
  bool endOnKeys = true;

protected:
  BOOL OnInitDialog() noexcept override {
    fw::Dialog::OnInitDialog();
    if (onInit) onInit(*this);
    return TRUE;
  }
  void OnOK() noexcept override {
    ++oks;
    if (endOnKeys) fw::Dialog::OnOK();
  }
  void OnCancel() noexcept override {
    ++cancels;
    if (endOnKeys) fw::Dialog::OnCancel();
  }
};

class Owner : public fw::Window {};

class DialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(owner.CreateEx(0, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr));
  }
  fw::Application app;
  Owner owner;
};

TEST_F(DialogTest, ModalLoopEndsWithEndDialogResultAndOwnerIsDisabledMeanwhile) {
  ProbeDialog dlg(owner.m_hWnd);
  BOOL ownerEnabledDuring = TRUE;
  HWND ownerOfDialog = nullptr;
  dlg.onInit = [&](ProbeDialog& d) {
    ownerEnabledDuring = ::IsWindowEnabled(owner.m_hWnd);
    ownerOfDialog = ::GetWindow(d.m_hWnd, GW_OWNER);
    ::PostMessageW(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  };
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_FALSE(ownerEnabledDuring);
  EXPECT_EQ(ownerOfDialog, owner.m_hWnd);
  EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
  EXPECT_EQ(dlg.m_hWnd, nullptr) << "the window is gone after DoModal";
}

TEST_F(DialogTest, QuitRequestEndsTheLoopAndIsPostedAgainForTheOuterLoop) {
  ProbeDialog dlg(owner.m_hWnd);
  dlg.onInit = [](ProbeDialog&) { ::PostQuitMessage(16); };
  EXPECT_EQ(dlg.DoModal(), -1);
  EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 16u);
}

TEST_F(DialogTest, NestedModalLoopsPassTheQuitRequestOutward) {
  ProbeDialog outer(owner.m_hWnd);
  INT_PTR innerResult = 0;
  outer.onInit = [&](ProbeDialog& o) {
    ProbeDialog inner(o.m_hWnd);
    inner.onInit = [](ProbeDialog&) { ::PostQuitMessage(7); };
    innerResult = inner.DoModal();
  };
  EXPECT_EQ(outer.DoModal(), -1);
  EXPECT_EQ(innerResult, -1);
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(DialogTest, WithoutParentTheOwnerIsTheMainWindowsLastActivePopup) {
  // The main window owns a popup that the user worked in last: dialogs without a parent
  // belong to that popup and disable it and the main window.
  Owner popup;
  ASSERT_TRUE(popup.CreateEx(0, L"popup", WS_POPUP | WS_VISIBLE, 50, 50, 100, 100, owner.m_hWnd));
  ::SetActiveWindow(popup.m_hWnd);
  app.m_pMainWnd = &owner;
  ProbeDialog dlg;
  HWND ownerOfDialog = nullptr;
  BOOL mainEnabled = TRUE, popupEnabled = TRUE;
  dlg.onInit = [&](ProbeDialog& d) {
    ownerOfDialog = ::GetWindow(d.m_hWnd, GW_OWNER);
    mainEnabled = ::IsWindowEnabled(owner.m_hWnd);
    popupEnabled = ::IsWindowEnabled(popup.m_hWnd);
    d.EndDialog(IDCANCEL);
  };
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  app.m_pMainWnd = nullptr;
  EXPECT_EQ(ownerOfDialog, popup.m_hWnd);
  EXPECT_FALSE(mainEnabled);
  EXPECT_FALSE(popupEnabled);
  EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
  EXPECT_TRUE(::IsWindowEnabled(popup.m_hWnd));
}

TEST_F(DialogTest, EnterEscAndCloseRequestArriveAsOkAndCancel) {
  ProbeDialog dlg(owner.m_hWnd);
  dlg.endOnKeys = false;
  dlg.onInit = [](ProbeDialog& d) {
    ::SetFocus(d.m_hWnd);
    ::PostMessageW(d.m_hWnd, WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageW(d.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    ::PostMessageW(d.m_hWnd, WM_CLOSE, 0, 0);
    ::PostMessageW(d.m_hWnd, WM_APP, 0, 0);
  };
  // End once the posted input has been handled.
  struct Ender {
    static void CALLBACK Tick(HWND hwnd, UINT, UINT_PTR id, DWORD) {
      ::KillTimer(hwnd, id);
      static_cast<fw::Dialog*>(fw::Window::FromHandle(hwnd))->EndDialog(42);
    }
  };
  auto init = dlg.onInit;
  dlg.onInit = [init](ProbeDialog& d) {
    init(d);
    ::SetTimer(d.m_hWnd, 1, 200, &Ender::Tick);
  };
  EXPECT_EQ(dlg.DoModal(), 42);
  EXPECT_EQ(dlg.oks, 1);
  EXPECT_EQ(dlg.cancels, 2);
}

TEST_F(DialogTest, ModelessDialogWithoutParentIsOwnedByTheMainWindow) {
  app.m_pMainWnd = &owner;
  ProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_CONFIRM_DIALOG));
  app.m_pMainWnd = nullptr;
  EXPECT_EQ(::GetWindow(dlg.m_hWnd, GW_OWNER), owner.m_hWnd);
  EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
  // Destroying the owner takes the owned dialog with it; the object must cope.
  owner.DestroyWindow();
  EXPECT_EQ(dlg.m_hWnd, nullptr);
}

// A bound control sees its messages first and draws itself when its parent is asked to.
class ProbeButton : public fw::Window {
public:
  int clicks = 0, draws = 0;
  bool DrawItem(DRAWITEMSTRUCT*) noexcept override {
    ++draws;
    return true;
  }

protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
    if (msg == WM_LBUTTONDOWN) ++clicks;
    return fw::Window::WindowProc(msg, wp, lp);
  }
};

TEST_F(DialogTest, AttachedControlReceivesItsMessagesAndReflectedDrawing) {
  ProbeDialog dlg(owner.m_hWnd);
  ASSERT_TRUE(dlg.Create(IDD_CONFIRM_DIALOG, owner.m_hWnd));
  ProbeButton button;
  ASSERT_TRUE(dlg.AttachControl(IDC_CONFIRM_OK, button));
  EXPECT_EQ(fw::Window::FromHandle(button.m_hWnd), &button);
  ::SetWindowLongW(button.m_hWnd, GWL_STYLE, ::GetWindowLongW(button.m_hWnd, GWL_STYLE) | BS_OWNERDRAW);
  ::SendMessageW(button.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::SendMessageW(button.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  ::InvalidateRect(button.m_hWnd, nullptr, TRUE);
  ::UpdateWindow(button.m_hWnd);
  EXPECT_EQ(button.clicks, 1);
  EXPECT_GE(button.draws, 1);
  // A second object cannot take a bound control.
  ProbeButton other;
  EXPECT_FALSE(dlg.AttachControl(IDC_CONFIRM_OK, other));
  dlg.DestroyWindow();
  EXPECT_EQ(button.m_hWnd, nullptr);
}

}  // namespace
