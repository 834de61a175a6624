// The login window and its overlay on real windows: the skinned pair after initialisation,
// how the two follow each other, showing and minimising, keys and closing, and what a run of
// them leaves behind.
#include <gtest/gtest.h>

#include <string>

#include "common/GuiResources.h"
#include "common/TestSupport.h"
#include "framework/Application.h"
#include "framework/GdiPlus.h"
#include "login/LoginActiveDlg.h"
#include "login/LoginDlg.h"
#include "resource.h"

namespace {

using testing_support::Pump;
using testing_support::WindowRect;
using testing_support::SameRect;
using testing_support::Describe;
using testing_support::PumpUntil;

RECT ChildRect(HWND parent, HWND child) {
  RECT rc = WindowRect(child);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

int g_reportedErrors = 0;
void CountError(const wchar_t*, const wchar_t*) noexcept { ++g_reportedErrors; }

// As the application has it: GDI+ started, an application object whose resources are this
// program's, and no message box from the buttons.
class LoginTest : public ::testing::Test {
protected:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
    m_savedReporter = CPngButton::s_pfnReportError;
    CPngButton::s_pfnReportError = &CountError;
    g_reportedErrors = 0;
  }
  void TearDown() override {
    EXPECT_EQ(g_reportedErrors, 0);
    CPngButton::s_pfnReportError = m_savedReporter;
    Gdiplus::GdiplusShutdown(m_token);
  }

  // The login window as the application runs it, but modeless so the test can look at it.
  void Open(CLoginDlg& dlg) {
    app.m_pMainWnd = &dlg;
    ASSERT_TRUE(dlg.Create(IDD_LOGIN_DIALOG));
    ASSERT_NE(dlg.m_pActiveDlg, nullptr);
    ASSERT_NE(dlg.m_pActiveDlg->m_hWnd, nullptr);
    Pump(50);
  }
  void Close(CLoginDlg& dlg) {
    dlg.DestroyWindow();
    delete dlg.m_pActiveDlg;
    dlg.m_pActiveDlg = nullptr;
    app.m_pMainWnd = nullptr;
  }

  fw::Application app;

private:
  ULONG_PTR m_token = 0;
  CPngButton::ErrorReporter m_savedReporter = nullptr;
};

TEST_F(LoginTest, InitialisationBuildsTheSkinnedPairCentredInTheWorkArea) {
  CLoginDlg dlg;
  Open(dlg);
  HWND login = dlg.m_hWnd, overlay = dlg.m_pActiveDlg->m_hWnd;

  wchar_t title[32] = {};
  ::GetWindowTextW(login, title, 32);
  EXPECT_STREQ(title, L"Vellmar");
  ASSERT_NE(dlg.m_hIcon, nullptr);
  EXPECT_EQ(::SendMessageW(login, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(dlg.m_hIcon));
  EXPECT_EQ(::SendMessageW(login, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(dlg.m_hIcon));
  EXPECT_EQ(::SendMessageW(login, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dlg.m_hIcon));
  EXPECT_FALSE(::GetWindowLongW(login, GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(::GetWindowLongW(login, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_EQ(dlg.m_layer.m_hTarget, login);

  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const RECT rc = WindowRect(login);
  EXPECT_EQ(rc.right - rc.left, 1120);
  EXPECT_EQ(rc.bottom - rc.top, 693);
  EXPECT_EQ(rc.left, (work.left + work.right) / 2 - 560);
  EXPECT_EQ(rc.top, (work.top + work.bottom) / 2 - 693 / 2);

  // The overlay: owned by the login window, over exactly its rectangle, colour-keyed in yellow.
  EXPECT_EQ(::GetWindow(overlay, GW_OWNER), login);
  EXPECT_TRUE(::IsWindowVisible(overlay));
  EXPECT_TRUE(SameRect(WindowRect(overlay), rc)) << Describe(WindowRect(overlay));
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(overlay, &key, &alpha, &flags));
  EXPECT_EQ(key, 0xFFFFu);
  EXPECT_EQ(alpha, 255);
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
  EXPECT_EQ(dlg.m_pActiveDlg->m_layer.m_hTarget, overlay);
  EXPECT_EQ(dlg.m_pActiveDlg->m_pLoginDlg, &dlg);

  // Every colour request is answered with the key brush, so the background is a hole.
  HDC dc = ::GetDC(overlay);
  for (UINT msg : {WM_CTLCOLORDLG, WM_CTLCOLORBTN, WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT}) {
    EXPECT_EQ(::SendMessageW(overlay, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(overlay)),
              reinterpret_cast<LRESULT>(dlg.m_pActiveDlg->m_brKey.Get()));
  }
  ::ReleaseDC(overlay, dc);
  LOGBRUSH lb{};
  ASSERT_TRUE(::GetObjectW(dlg.m_pActiveDlg->m_brKey.Get(), sizeof(lb), &lb));
  EXPECT_EQ(lb.lbColor, 0xFFFFu);

  struct { HWND button; RECT expected; } buttons[] = {
      {dlg.m_pActiveDlg->m_btnMinimize.m_hWnd, {998, 196, 998 + 27, 196 + 27}},
      {dlg.m_pActiveDlg->m_btnClose.m_hWnd, {1029, 192, 1029 + 36, 192 + 35}},
  };
  EXPECT_EQ(buttons[0].button, ::GetDlgItem(overlay, IDC_LOGIN_MIN));
  EXPECT_EQ(buttons[1].button, ::GetDlgItem(overlay, IDC_LOGIN_CLOSE));
  for (const auto& b : buttons) {
    EXPECT_TRUE(SameRect(ChildRect(overlay, b.button), b.expected)) << Describe(ChildRect(overlay, b.button));
    EXPECT_TRUE(::IsWindowVisible(b.button));
  }
  Close(dlg);
}

TEST_F(LoginTest, HitTestsMakeTheSkinACaptionAndTheLastHitWindowLeads) {
  CLoginDlg dlg;
  Open(dlg);
  HWND login = dlg.m_hWnd, overlay = dlg.m_pActiveDlg->m_hWnd;
  RECT rc = WindowRect(login);
  const LPARAM inside = MAKELPARAM(rc.left + 300, rc.top + 400), outside = MAKELPARAM(rc.right + 5, rc.top + 5);

  EXPECT_EQ(::SendMessageW(overlay, WM_NCHITTEST, 0, inside), HTCAPTION);
  EXPECT_FALSE(dlg.m_bLeading);
  EXPECT_EQ(::SendMessageW(overlay, WM_NCHITTEST, 0, outside), HTNOWHERE);
  EXPECT_EQ(::SendMessageW(login, WM_NCHITTEST, 0, inside), HTCAPTION);
  EXPECT_TRUE(dlg.m_bLeading);
  EXPECT_EQ(::SendMessageW(login, WM_NCHITTEST, 0, outside), HTNOWHERE);

  // Whoever leads, the other follows to the same top-left and keeps its own size; the
  // follower's move never moves the leader back.
  struct Step { HWND hit, moved; int dx, dy; };
  const Step steps[] = {{login, login, 40, 25}, {overlay, overlay, -70, 10}, {login, login, 5, -30},
                        {overlay, overlay, 12, 12}, {login, login, -1, 1}};
  for (const Step& s : steps) {
    ::SendMessageW(s.hit, WM_NCHITTEST, 0, inside);
    const RECT before = WindowRect(s.moved);
    ::SetWindowPos(s.moved, nullptr, before.left + s.dx, before.top + s.dy, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT l = WindowRect(login), o = WindowRect(overlay);
    EXPECT_EQ(l.left, before.left + s.dx);
    EXPECT_EQ(l.top, before.top + s.dy);
    EXPECT_TRUE(SameRect(l, o)) << Describe(l) << " vs " << Describe(o);
  }
  Close(dlg);
}

TEST_F(LoginTest, OverlayFollowsShowingHidingAndTheMinimiseButton) {
  CLoginDlg dlg;
  Open(dlg);
  HWND login = dlg.m_hWnd, overlay = dlg.m_pActiveDlg->m_hWnd;
  const RECT placed = WindowRect(login);

  ::ShowWindow(login, SW_HIDE);
  EXPECT_FALSE(::IsWindowVisible(overlay));
  ::ShowWindow(login, SW_SHOW);
  EXPECT_TRUE(::IsWindowVisible(overlay));

  ::SendMessageW(overlay, WM_COMMAND, MAKEWPARAM(IDC_LOGIN_MIN, BN_CLICKED),
                 reinterpret_cast<LPARAM>(dlg.m_pActiveDlg->m_btnMinimize.m_hWnd));
  EXPECT_TRUE(PumpUntil([&] { return ::IsIconic(login) != FALSE; }, 2000));
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(overlay); }, 2000)) << "the owned overlay is hidden with its owner";

  ::ShowWindow(login, SW_RESTORE);
  EXPECT_TRUE(PumpUntil([&] { return !::IsIconic(login) && ::IsWindowVisible(overlay); }, 2000));
  EXPECT_TRUE(SameRect(WindowRect(login), placed)) << Describe(WindowRect(login));
  EXPECT_TRUE(SameRect(WindowRect(overlay), placed)) << Describe(WindowRect(overlay));
  Close(dlg);
}

// The modal run as the application does it, driven from a timer inside its loop.
struct ModalScript {
  CLoginDlg* dlg = nullptr;
  bool aliveAfterKeys = false;
  int step = 0;
};
ModalScript g_script;

void CALLBACK DriveModal(HWND, UINT, UINT_PTR id, DWORD) {
  CLoginDlg* dlg = g_script.dlg;
  HWND login = dlg->m_hWnd, overlay = dlg->m_pActiveDlg ? dlg->m_pActiveDlg->m_hWnd : nullptr;
  switch (g_script.step++) {
    case 0:
      for (HWND target : {login, overlay}) {
        for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
          ::PostMessageW(target, WM_KEYDOWN, key, 1);
          ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
        }
        ::PostMessageW(target, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ::PostMessageW(target, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
      break;
    case 1:
      g_script.aliveAfterKeys = ::IsWindow(login) && ::IsWindowVisible(login) && overlay && ::IsWindow(overlay);
      ::PostMessageW(login, WM_CLOSE, 0, 0);
      break;
    default:
      ::KillTimer(nullptr, id);
      break;
  }
}

TEST_F(LoginTest, EnterAndEscChangeNothingAndCloseEndsTheModalLoopWithOk) {
  CLoginDlg dlg;
  app.m_pMainWnd = &dlg;
  g_script = ModalScript{&dlg};
  UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &DriveModal);
  const INT_PTR result = dlg.DoModal();
  ::KillTimer(nullptr, timer);
  EXPECT_TRUE(g_script.aliveAfterKeys);
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  ASSERT_NE(dlg.m_pActiveDlg, nullptr);
  EXPECT_EQ(dlg.m_pActiveDlg->m_hWnd, nullptr) << "the overlay's window goes with the login window";
  delete dlg.m_pActiveDlg;
  dlg.m_pActiveDlg = nullptr;
  app.m_pMainWnd = nullptr;
}

TEST_F(LoginTest, OpeningAndClosingTheLoginWindowLeavesNoGdiOrUserObjects) {
  auto cycle = [this] {
    CLoginDlg dlg;
    Open(dlg);
    Close(dlg);
  };
  cycle();
  const DWORD gdi = testing_support::GdiObjectCount(), user = testing_support::UserObjectCount();
  for (int i = 0; i < 8; ++i) cycle();
  EXPECT_EQ(testing_support::GdiObjectCount(), gdi);
  EXPECT_EQ(testing_support::UserObjectCount(), user);
}

}  // namespace
