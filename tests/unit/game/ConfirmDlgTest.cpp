// The confirmation dialog as a player meets it: its texts, its click areas and its keys,
// answered with real input through the X server.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/RealInput.h"
#include "common/TestSupport.h"
#include "framework/Application.h"
#include "framework/GdiPlus.h"
#include "game/ConfirmDlg.h"
#include "resource.h"

namespace {

using namespace testing_support;

std::wstring Text(HWND h) {
  wchar_t buf[256] = {};
  ::GetWindowTextW(h, buf, 256);
  return buf;
}

// Runs the dialog modally and lets the test act once it is up (from a timer, inside the loop).
class ProbeConfirm : public CConfirmDlg {
public:
  std::function<void(ProbeConfirm&)> act;

protected:
  BOOL OnInitDialog() noexcept override {
    BOOL r = CConfirmDlg::OnInitDialog();
    ::SetTimer(m_hWnd, 77, 300, &ProbeConfirm::Tick);
    return r;
  }
  static void CALLBACK Tick(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(hwnd, id);
    auto* self = static_cast<ProbeConfirm*>(fw::Window::FromHandle(hwnd));
    if (self && self->act) self->act(*self);
  }
};

class ConfirmDlgTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetPumpPreTranslate(&fw::Window::WalkPreTranslateTree);
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
  }
  void TearDown() override { SetPumpPreTranslate(nullptr); }
  fw::Application app;
  ULONG_PTR token = 0;
};

TEST_F(ConfirmDlgTest, EachModeShowsItsHeadingAndQuestion) {
  struct Case {
    int mode;
    const wchar_t* title;
    const wchar_t* message;
  } cases[] = {
      {CONFIRM_EXIT_GAME, L"关闭游戏", L"确定要退出游戏吗?"},
      {CONFIRM_SELECT_SERVER, L"选服", L"是否退出当前游戏，重新选择新服务器?"},
      {7, L"Static", L"确定要退出游戏吗？"},
  };
  for (const Case& c : cases) {
    ProbeConfirm dlg;
    dlg.m_nMode = c.mode;
    std::wstring title, message, face;
    LONG height = 0;
    RECT rc{};
    dlg.act = [&](ProbeConfirm& d) {
      title = Text(d.GetDlgItem(IDC_CONFIRM_TITLE));
      message = Text(d.GetDlgItem(IDC_CONFIRM_TEXT));
      LOGFONTW lf{};
      ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(d.GetDlgItem(IDC_CONFIRM_TITLE), WM_GETFONT, 0, 0)),
                   sizeof(lf), &lf);
      face = lf.lfFaceName;
      height = lf.lfHeight;
      ::GetWindowRect(d.m_hWnd, &rc);
      d.EndDialog(IDCANCEL);
    };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(title, c.title) << c.mode;
    EXPECT_EQ(message, c.message) << c.mode;
    EXPECT_EQ(face, L"Arial");
    EXPECT_EQ(height, -16) << "12 points at 96 dpi";
    EXPECT_EQ(rc.right - rc.left, 256);
    EXPECT_EQ(rc.bottom - rc.top, 110);
  }
}

TEST_F(ConfirmDlgTest, ButtonRowSplitsIntoConfirmAndCancelAtX140) {
  if (!OnWine()) GTEST_SKIP() << "real clicks go through the X server";
  struct Case {
    int x;
    INT_PTR result;
  } cases[] = {{45, IDOK}, {110, IDOK}, {139, IDOK}, {140, IDCANCEL}, {200, IDCANCEL}, {250, IDCANCEL}};
  for (const Case& c : cases) {
    ProbeConfirm dlg;
    dlg.act = [&](ProbeConfirm& d) {
      RECT rc{};
      ::GetWindowRect(d.m_hWnd, &rc);
      Click(rc.left + c.x, rc.top + 85);
    };
    EXPECT_EQ(dlg.DoModal(), c.result) << "x = " << c.x;
  }
}

TEST_F(ConfirmDlgTest, EnterConfirmsEscAndAltF4Cancel) {
  if (!OnWine()) GTEST_SKIP() << "real keys go through the X server";
  struct Case {
    const char* key;
    INT_PTR result;
  } cases[] = {{"Return", IDOK}, {"Escape", IDCANCEL}, {"alt+F4", IDCANCEL}};
  for (const Case& c : cases) {
    ProbeConfirm dlg;
    dlg.act = [&](ProbeConfirm& d) {
      // Keys go where the X focus is: a click on the dialog's background puts it there.
      RECT rc{};
      ::GetWindowRect(d.m_hWnd, &rc);
      Click(rc.left + 5, rc.top + 5);
      PressKey(c.key);
    };
    EXPECT_EQ(dlg.DoModal(), c.result) << c.key;
  }
}

BOOL CALLBACK FindVisible(HWND h, LPARAM lp) {
  if (::IsWindowVisible(h)) *reinterpret_cast<HWND*>(lp) = h;
  return TRUE;
}

void CALLBACK AnswerConfirmation(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  // The dialog is the thread's visible window.
  HWND found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindVisible, reinterpret_cast<LPARAM>(&found));
  if (found) ::PostMessageW(found, WM_COMMAND, MAKEWPARAM(IDC_CONFIRM_OK, BN_CLICKED), 0);
}

TEST_F(ConfirmDlgTest, ConfirmedExitPostsQuitWithCode16) {
  ::SetTimer(nullptr, 0, 300, &AnswerConfirmation);
  OnExitGame();
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 16u);
}

}  // namespace
