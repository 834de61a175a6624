// The hosted browser with the stand-in control of the test prefix, showing pages of the local
// portal: what the page sees of our site and of window.external, what the control receives
// from the wrapper, the events a dialog hears during a navigation, and keys inside the page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostDialog.h"
#include "LocalPortal.h"
#include "StandinBrowser.h"
#include "browser/CustomOccManager.h"
#include "browser/ImpIDispatch.h"
#include "common/RealInput.h"
#include "common/TestSupport.h"
#include "framework/OccManager.h"
#include "resource.h"

using testing_support::HostDialog;
using testing_support::Pump;
using testing_support::PumpUntil;
using Lines = std::vector<std::string>;

namespace {

bool StandinRegistered() {
  wchar_t path[MAX_PATH] = L"";
  DWORD size = sizeof(path);
  const std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + standin::kWebBrowserClsidString + L"\\InprocServer32";
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS) {
    return false;
  }
  return std::wstring(path).find(L"standin-browser.dll") != std::wstring::npos;
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

class StandinBrowserTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!StandinRegistered()) GTEST_SKIP() << "the stand-in control is not registered in this prefix";
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    fw::EnableControlContainer(&manager);
    m_log = testing_support::ModuleDir() + L"\\standin-" +
            std::wstring(::testing::UnitTest::GetInstance()->current_test_info()->name(),
                         ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             strlen(::testing::UnitTest::GetInstance()->current_test_info()->name())) +
            L".log";
    DeleteFileW(m_log.c_str());
    SetEnvironmentVariableW(standin::kLogEnvVar, m_log.c_str());
    ASSERT_TRUE(portal.Start());
  }
  void TearDown() override {
    SetEnvironmentVariableW(standin::kLogEnvVar, nullptr);
    fw::EnableControlContainer(nullptr);
    OleUninitialize();
  }
  // Lines of the stand-in's log that begin with one of the words.
  Lines Log(const Lines& words = {}) const {
    Lines out;
    for (const std::string& line : standin::ReadStandinLog(m_log)) {
      for (const std::string& w : words) {
        if (line.compare(0, w.size() + 1, w + " ") == 0) {
          out.push_back(line.substr(0, line.find(" ctl=")));
          break;
        }
      }
      if (words.empty()) out.push_back(line);
    }
    return out;
  }
  int Count(const std::string& part) const {
    int n = 0;
    for (const std::string& line : standin::ReadStandinLog(m_log)) n += line.find(part) != std::string::npos;
    return n;
  }

  CImpIDispatch object;
  CImpIDispatch* external = &object;
  CCustomOccManager manager{&external};
  portal::LocalPortal portal;
  std::wstring m_log;
};

// Without its port, so that expected lines read as the log does.
std::string Strip(std::string line, const std::string& base) {
  for (size_t p; (p = line.find(base)) != std::string::npos;) line.erase(p, base.size());
  return line;
}

TEST_F(StandinBrowserTest, APortalPageShowsWindowExternalInADialogFromTheTemplate) {
  HostDialog dlg(IDD_LOGINACTIVE_DIALOG);
  ASSERT_TRUE(dlg.Create(IDD_LOGINACTIVE_DIALOG));
  const std::wstring login = portal.UrlW(portal::kLoginPath);
  dlg.m_browser.Navigate(login.c_str());
  ASSERT_TRUE(PumpUntil([&] { return dlg.documents >= 1; }, 10000));
  EXPECT_TRUE(dlg.m_browser.IsWindowVisible()) << "shown at its first NavigateComplete2";
  Pump(300);
  const std::wstring shot = testing_support::ScreenshotPath(L"browser-standin-portal.png");
  EXPECT_TRUE(testing_support::Screenshot(shot));

  // The page read the launcher's external object through our site.
  EXPECT_EQ(Count("GetExternal hr=0x0 disp=1"), 1);
  EXPECT_EQ(Count("External Invoke name=xxyyzz hr=0x0 vt=8 value=Wibble"), 1);
  // No 3-D border and no scroll bar; double clicks as the control's default.
  EXPECT_EQ(Count("SetClientSite site=1 uihandler=1"), 1);
  EXPECT_EQ(Count("GetHostInfo hr=0x0 flags=0xC dblclk=0"), 1);
  const Lines activated = Log({"InPlaceActivate"});
  ASSERT_EQ(activated.size(), 1u);
  EXPECT_NE(activated[0].find("exstyle=0x0"), std::string::npos) << activated[0];
  const long style = std::stol(standin::StandinLogValue(activated[0], "style"), nullptr, 16);
  EXPECT_FALSE(style & WS_VSCROLL);

  // A right click in the page: the host "has shown its menu", so the page shows none.
  RECT rc{};
  GetWindowRect(dlg.m_browser.m_hWnd, &rc);
  ASSERT_TRUE(testing_support::Click((rc.left + rc.right) / 2, rc.bottom - 20, 3));
  EXPECT_TRUE(PumpUntil([&] { return Count("ShowContextMenu") > 0; }, 5000));
  EXPECT_EQ(Count("ShowContextMenu id=0 hr=0x0"), 1);
  EXPECT_EQ(Count("ContextMenu shown"), 0);

  dlg.DestroyWindow();
  EXPECT_EQ(object.AddRef() - 1, 0u) << "the page gave back every reference to window.external";
  object.Release();
}

TEST_F(StandinBrowserTest, ANavigationAndARefreshAsTheControlAndTheDialogSeeThem) {
  HostDialog dlg(IDD_GAME_DIALOG);
  ASSERT_TRUE(dlg.Create(IDD_GAME_DIALOG));
  const std::wstring login = portal.UrlW(portal::kLoginPath);
  dlg.m_browser.Navigate(login.c_str());
  ASSERT_TRUE(PumpUntil([&] { return dlg.documents >= 1; }, 10000));
  dlg.m_browser.Refresh();
  ASSERT_TRUE(PumpUntil([&] { return portal.CountRequests("GET /v6/weiduan?gc=qth") >= 2; }, 10000));
  Pump(300);

  const std::string base = portal.BaseUrl();
  Lines seen;
  for (const std::string& line : Log({"Invoke", "BeforeNavigate2", "Fetch", "NavigateComplete2", "DocumentComplete", "Reload"})) {
    seen.push_back(Strip(line, base));
  }
  const std::string page = "/v6/weiduan?gc=qth";
  EXPECT_EQ(seen, (Lines{
                      "Invoke Navigate cArgs=5 cNamed=0 vt=0x400C->0x0,0x400C->0x0,0x400C->0x0,0x400C->0x0,0x8 "
                      "optional=shared-empty url=" + page,
                      "BeforeNavigate2 frame=top url=" + page + " cancel=0 target= sinks=1",
                      "Fetch frame=top url=" + page + " status=200 final=" + page + " bytes=678 error=0",
                      "NavigateComplete2 frame=top url=" + page,
                      "DocumentComplete frame=top url=" + page,
                      "Invoke Refresh cArgs=0",
                      "Reload frame=top url=" + page,
                      "Fetch frame=top url=" + page + " status=200 final=" + page + " bytes=678 error=0",
                  }));
  // The dialog heard the same navigation, and nothing of the refresh.
  EXPECT_EQ(dlg.events, (std::vector<std::wstring>{L"BeforeNavigate2 " + login, L"NavigateComplete2 " + login,
                                                   L"DocumentComplete " + login}));

  dlg.DestroyWindow();
  EXPECT_EQ(Log({"Unadvise", "InPlaceDeactivate", "SetClientSite", "Close", "Destroy"}),
            (Lines{"SetClientSite site=1 uihandler=1", "Unadvise cookie=1 hr=0x0", "InPlaceDeactivate",
                   "SetClientSite site=0 uihandler=0", "Close hr=0x0", "Destroy"}));
}

TEST_F(StandinBrowserTest, ACancelledGameAddressNeverReachesThePortalFromThePageOrAFrame) {
  struct Case {
    const char* lead;    // what the browser is sent to
    const char* game;    // the game address that follows, to be cancelled
    const char* frame;   // who asks for it
  } cases[] = {
      {"/game/play?server=3&client=1", "/game/play?server=3&client=1", "top"},
      {portal::kFrameLeadPath, "/game/play?server=4&client=1", "f1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lead);
    portal.ClearRequests();
    HostDialog dlg(IDD_LOGINACTIVE_DIALOG);
    ASSERT_TRUE(dlg.Create(IDD_LOGINACTIVE_DIALOG));
    dlg.cancelMarker = L"client=1";
    const std::wstring lead = portal.UrlW(c.lead), game = portal.UrlW(c.game);
    dlg.m_browser.Navigate(lead.c_str());
    ASSERT_TRUE(PumpUntil([&] { return !dlg.befores.empty() && dlg.befores.back() == game; }, 10000));
    Pump(1000);
    EXPECT_EQ(portal.CountRequests("client=1"), 0);
    EXPECT_EQ(Count(std::string("BeforeNavigate2 frame=") + c.frame + " url=" + Narrow(game) + " cancel=1"), 1);
    dlg.DestroyWindow();
  }
}

void CALLBACK EndSoon(HWND hwnd, UINT, UINT_PTR id, DWORD) {
  KillTimer(hwnd, id);
  PostMessageW(hwnd, WM_APP, 1, 0);
}

TEST_F(StandinBrowserTest, TabEnterBackspaceAndDeleteWorkInsideThePageInOurModalLoop) {
  HostDialog dlg(IDD_LOGINACTIVE_DIALOG);
  dlg.cancelMarker = L"client=1";
  const std::wstring login = portal.UrlW(portal::kLoginPath);
  dlg.onInit = [&login](HostDialog& d) { d.m_browser.Navigate(login.c_str()); };
  dlg.onDocument = [](HostDialog& d) {
    if (d.documents != 1) return;
    SetFocus(d.m_browser.m_hWnd);
    // Tab to the first link (server 1), Enter follows it, then Backspace and Delete.
    for (WPARAM key : {VK_TAB, VK_RETURN, VK_BACK, VK_DELETE}) PostMessageW(d.m_browser.m_hWnd, WM_KEYDOWN, key, 1);
    SetTimer(d.m_hWnd, 1, 1500, &EndSoon);
  };
  EXPECT_EQ(dlg.DoModal(), 1);

  const Lines keys = Log({"TranslateAccelerator", "Key"});
  for (const char* key : {"key=0x9 ", "key=0xD ", "key=0x8 ", "key=0x2E "}) {
    bool offered = false;
    for (const std::string& line : keys) {
      if (line.find(key) != std::string::npos && line.rfind("TranslateAccelerator msg=", 0) == 0) {
        offered = true;
        EXPECT_EQ(line.find("action=elsewhere"), std::string::npos) << line;
      }
    }
    EXPECT_TRUE(offered) << key << " was not offered to the page";
  }
  EXPECT_EQ(Count("action=next-link"), 1);
  EXPECT_EQ(Count("action=follow"), 1);
  ASSERT_EQ(dlg.befores.size(), 2u);
  EXPECT_EQ(dlg.befores[1], portal.UrlW(portal::GamePath(1)));
  EXPECT_EQ(dlg.oks, 0) << "Enter in the page is not the dialog's OK";
}

}  // namespace
