// The game window's mode and visibility machines, its close handling and its tray icon, on a
// real window made from its template: the transitions a player cannot reach, and what the
// shell is handed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "framework/Application.h"
#include "framework/GdiPlus.h"
#include "game/GameDialog.h"
#include "resource.h"

namespace {

using testing_support::Pump;
using testing_support::WindowRect;
using testing_support::Describe;

// The rectangle each mode gives the window (unowned here: the normal size centres on the work area).
RECT Geometry(int mode) {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT screen{};
  ::GetClientRect(::GetDesktopWindow(), &screen);
  switch (mode) {
    case MODE_FULLSCREEN:
      return screen;
    case MODE_MAXIMIZED:
      return {0, 0, work.right - work.left, work.bottom - work.top};
    default: {
      const int left = (work.left + work.right) / 2 - 500, top = (work.top + work.bottom) / 2 - 350;
      return {left, top, left + 1000, top + 700};
    }
  }
}

bool HotKeyFree(UINT vk) {
  if (!::RegisterHotKey(nullptr, 0xB00, 0, vk)) return false;
  ::UnregisterHotKey(nullptr, 0xB00);
  return true;
}

// Records the popup menus it is shown and closes each as soon as it is idle.
class ProbeGameDialog : public CGameDialog {
public:
  std::vector<HMENU> menus;
  std::vector<std::wstring> items;

protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
    if (msg == WM_INITMENUPOPUP) {
      HMENU menu = reinterpret_cast<HMENU>(wp);
      menus.push_back(menu);
      for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[32] = {};
        ::GetMenuStringW(menu, i, text, 32, MF_BYPOSITION);
        items.push_back(std::to_wstring(::GetMenuItemID(menu, i)) + L":" + text);
      }
    }
    if (msg == WM_ENTERIDLE && wp == MSGF_MENU) ::EndMenu();
    return CGameDialog::WindowProc(msg, wp, lp);
  }
};

int g_reportedErrors = 0;
void CountError(const wchar_t*, const wchar_t*) noexcept { ++g_reportedErrors; }

class GameDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
    m_savedReporter = CPngButton::s_pfnReportError;
    CPngButton::s_pfnReportError = &CountError;
    g_reportedErrors = 0;
    ASSERT_TRUE(dlg.Create(IDD_GAME_DIALOG));
    dlg.ShowWindow(SW_HIDE);
  }
  void TearDown() override {
    // As the application tears it down.
    if (dlg.m_hWnd) dlg.ReleaseShellResources();
    dlg.DestroyWindow();
    EXPECT_EQ(g_reportedErrors, 0);
    CPngButton::s_pfnReportError = m_savedReporter;
    Gdiplus::GdiplusShutdown(m_token);
  }

  void StartIn(int mode, bool visible) {
    dlg.ShowWindow(visible ? SW_SHOW : SW_HIDE);
    dlg.m_nWindowMode = mode;
    dlg.ApplyWindowMode();
    Pump(20);
  }

  fw::Application app;
  ProbeGameDialog dlg;

private:
  ULONG_PTR m_token = 0;
  CPngButton::ErrorReporter m_savedReporter = nullptr;
};

TEST_F(GameDialogTest, ModeMachineFollowsItsTableAndEveryTransitionAppliesTheGeometry) {
  enum Event { kToggleMaximize, kFullScreenButton, kF11, kF10, kMinimizeAndRestore, kForeignSize };
  struct Case {
    int from;
    bool visible;
    Event event;
    int to;
    bool visibleAfter;
  } cases[] = {
      {MODE_MAXIMIZED, true, kToggleMaximize, MODE_NORMAL, true},
      {MODE_NORMAL, true, kToggleMaximize, MODE_MAXIMIZED, true},
      {MODE_FULLSCREEN, true, kToggleMaximize, MODE_FULLSCREEN, true},
      {MODE_MAXIMIZED, true, kFullScreenButton, MODE_FULLSCREEN, true},
      {MODE_NORMAL, true, kFullScreenButton, MODE_FULLSCREEN, true},
      {MODE_MAXIMIZED, true, kF11, MODE_FULLSCREEN, true},
      {MODE_NORMAL, true, kF11, MODE_FULLSCREEN, true},
      {MODE_FULLSCREEN, true, kF11, MODE_MAXIMIZED, true},
      {MODE_NORMAL, false, kF11, MODE_NORMAL, false},
      {MODE_FULLSCREEN, false, kF11, MODE_FULLSCREEN, false},
      {MODE_NORMAL, true, kF10, MODE_NORMAL, false},
      {MODE_FULLSCREEN, false, kF10, MODE_FULLSCREEN, true},
      {MODE_NORMAL, true, kMinimizeAndRestore, MODE_NORMAL, true},
      {MODE_MAXIMIZED, true, kForeignSize, MODE_MAXIMIZED, true},
      {MODE_NORMAL, true, kForeignSize, MODE_NORMAL, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("from " + std::to_string(c.from) + (c.visible ? " visible" : " hidden") + ", event " +
                 std::to_string(c.event));
    StartIn(c.from, c.visible);
    // A stray geometry first: whatever the transition, the mode's own geometry must win.
    if (c.event == kToggleMaximize) dlg.MoveWindow(10, 10, 300, 200, FALSE);
    switch (c.event) {
      case kToggleMaximize: dlg.ToggleMaximize(); break;
      case kFullScreenButton: ::SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BTN_FULLSCREEN, BN_CLICKED),
                                             reinterpret_cast<LPARAM>(dlg.GetDlgItem(IDC_BTN_FULLSCREEN))); break;
      case kF11: ::SendMessageW(dlg.m_hWnd, WM_HOTKEY, 1002, MAKELPARAM(0, VK_F11)); break;
      case kF10: ::SendMessageW(dlg.m_hWnd, WM_HOTKEY, 1001, MAKELPARAM(0, VK_F10)); break;
      case kMinimizeAndRestore:
        dlg.OnMinimize();
        Pump(50);
        EXPECT_TRUE(::IsIconic(dlg.m_hWnd));
        dlg.ShowWindow(SW_RESTORE);
        break;
      case kForeignSize: dlg.MoveWindow(10, 10, 300, 200, TRUE); break;
    }
    Pump(50);
    EXPECT_EQ(dlg.m_nWindowMode, c.to);
    EXPECT_EQ(dlg.IsWindowVisible() != FALSE, c.visibleAfter);
    if (c.visibleAfter) {
      const RECT want = Geometry(c.to), got = WindowRect(dlg.m_hWnd);
      EXPECT_TRUE(::EqualRect(&want, &got)) << Describe(got) << ", expected " << Describe(want);
      EXPECT_EQ(::IsWindowVisible(dlg.GetDlgItem(IDC_BTN_CLOSE)) != FALSE, c.to != MODE_FULLSCREEN);
      EXPECT_EQ(::IsWindowVisible(dlg.GetDlgItem(IDC_BTN_RESTORE)) != FALSE, c.to == MODE_MAXIMIZED);
      EXPECT_EQ(::IsWindowVisible(dlg.GetDlgItem(IDC_BTN_MAX)) != FALSE, c.to == MODE_NORMAL);
    }
  }
  // Hotkey ids of other programs' keys are not ours.
  StartIn(MODE_MAXIMIZED, true);
  ::SendMessageW(dlg.m_hWnd, WM_HOTKEY, 1003, 0);
  EXPECT_TRUE(dlg.IsWindowVisible());
  EXPECT_EQ(dlg.m_nWindowMode, MODE_MAXIMIZED);
}

TEST_F(GameDialogTest, CloseRequestReleasesHotKeysAndBitmapAndTheWindowStillPaints) {
  StartIn(MODE_MAXIMIZED, true);
  EXPECT_FALSE(HotKeyFree(VK_F10));
  EXPECT_FALSE(HotKeyFree(VK_F11));
  ::SendMessageW(dlg.m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(::IsWindow(dlg.m_hWnd) && dlg.IsWindowVisible());
  EXPECT_TRUE(HotKeyFree(VK_F10));
  EXPECT_TRUE(HotKeyFree(VK_F11));
  EXPECT_FALSE(dlg.m_bmpTitleBar);
  // Painting without the bitmap, in every mode, and the buttons still act.
  for (int mode : {MODE_NORMAL, MODE_FULLSCREEN, MODE_MAXIMIZED}) {
    StartIn(mode, true);
    ::RedrawWindow(dlg.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
  ::SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BTN_RESTORE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(dlg.GetDlgItem(IDC_BTN_RESTORE)));
  EXPECT_EQ(dlg.m_nWindowMode, MODE_NORMAL);
  // Enter, Esc and the cancel command close nothing.
  ::SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ::SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(::IsWindow(dlg.m_hWnd) && dlg.IsWindowVisible());
}

TEST_F(GameDialogTest, TrayRecordHoldsWhatTheShellIsHanded) {
  const NOTIFYICONDATAW& nid = dlg.m_nidTray;
  EXPECT_EQ(nid.cbSize, 956u) << "the full record, with the balloon icon at its end";
  EXPECT_EQ(nid.hWnd, dlg.m_hWnd);
  EXPECT_EQ(nid.uID, 128u);
  EXPECT_EQ(nid.uFlags, 7u);
  EXPECT_EQ(nid.uCallbackMessage, 0x465u);
  EXPECT_NE(nid.hIcon, nullptr);
  EXPECT_STREQ(nid.szTip, L"Vellmar");
  EXPECT_EQ(nid.dwState, 0u);
  EXPECT_EQ(nid.uVersion, 0u);
  EXPECT_EQ(nid.szInfo[0], L'\0');
}

TEST_F(GameDialogTest, TrayNotificationsToggleOnDoubleClickAndLeaveNoMenuBehind) {
  StartIn(MODE_NORMAL, true);
  // Another icon's notifications are not ours.
  EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_TRAYNOTIFY, 129, WM_LBUTTONDBLCLK), 1);
  EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_TRAYNOTIFY, 129, WM_RBUTTONUP), 1);
  EXPECT_TRUE(dlg.IsWindowVisible());
  EXPECT_TRUE(dlg.menus.empty());
  for (LPARAM other : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_RBUTTONDBLCLK}) {
    EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_TRAYNOTIFY, 128, other), 0);
  }
  EXPECT_TRUE(dlg.IsWindowVisible());

  EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_TRAYNOTIFY, 128, WM_LBUTTONDBLCLK), 0);
  EXPECT_FALSE(dlg.IsWindowVisible());
  EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_TRAYNOTIFY, 128, WM_LBUTTONDBLCLK), 0);
  EXPECT_TRUE(dlg.IsWindowVisible());
  EXPECT_EQ(dlg.m_nWindowMode, MODE_NORMAL);

  for (int i = 0; i < 50; ++i) EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_TRAYNOTIFY, 128, WM_RBUTTONUP), 0);
  ASSERT_EQ(dlg.menus.size(), 50u);
  EXPECT_EQ(dlg.items.front(), L"1013:退出");
  EXPECT_EQ(dlg.items.size(), 50u) << "one item each";
  for (HMENU menu : dlg.menus) EXPECT_FALSE(::IsMenu(menu)) << "a menu left behind";
}

}  // namespace
