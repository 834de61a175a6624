// Wine's own WebBrowser control (no stand-in in this prefix, and no HTML engine): it is
// created from the template through our site, navigates by dispatch id, reports
// BeforeNavigate2 to the dialog, honours Cancel, and a page that never arrives holds nothing
// back when the dialog goes.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <tlhelp32.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "../browser/HostDialog.h"
#include "../browser/TrackingManager.h"
#include "LocalPortal.h"
#include "browser/CustomOccManager.h"
#include "browser/ImpIDispatch.h"
#include "common/TestSupport.h"
#include "framework/OccManager.h"
#include "resource.h"

using testing_support::HostDialog;
using testing_support::Pump;
using testing_support::PumpUntil;

namespace {

// Accepts connections on 127.0.0.1 and never answers: a page that can never arrive. One
// thread, however many connections.
class SilentServer {
public:
  SilentServer() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof(addr);
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 && listen(m_listen, 8) == 0 &&
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      m_port = ntohs(addr.sin_port);
      m_thread = std::thread([this] { Run(); });
    }
  }
  ~SilentServer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    for (SOCKET s : m_held) closesocket(s);
    closesocket(m_listen);
    WSACleanup();
  }
  unsigned short Port() const { return m_port; }
  int Connections() const { return m_connections; }
  // Lets go of every connection so far (the clients see them closed).
  void Drop() { m_drop = true; PumpUntilDropped(); }

private:
  void Run() {
    while (!m_stop) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(m_listen, &set);
      timeval wait{0, 50 * 1000};
      if (select(0, &set, nullptr, nullptr, &wait) == 1) {
        SOCKET s = accept(m_listen, nullptr, nullptr);
        if (s != INVALID_SOCKET) {
          m_held.push_back(s);
          ++m_connections;
        }
      }
      if (m_drop) {
        for (SOCKET s : m_held) closesocket(s);
        m_held.clear();
        m_drop = false;
      }
    }
  }
  void PumpUntilDropped() { PumpUntil([this] { return !m_drop; }, 2000); }
  SOCKET m_listen = INVALID_SOCKET;
  unsigned short m_port = 0;
  std::thread m_thread;
  std::atomic<bool> m_stop{false}, m_drop{false};
  std::atomic<int> m_connections{0};
  std::vector<SOCKET> m_held;  // touched by the server thread only until it is joined
};

int ThreadCount() {
  int n = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 te{sizeof(te)};
  for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
    if (te.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  }
  CloseHandle(snap);
  return n;
}

class SystemBrowserTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    fw::EnableControlContainer(&manager);
  }
  void TearDown() override {
    fw::EnableControlContainer(nullptr);
    OleUninitialize();
  }
  CImpIDispatch* external = nullptr;
  CImpIDispatch object;
  CCustomOccManager manager{&external};
};

TEST_F(SystemBrowserTest, CreatedFromTheTemplateItNavigatesReportsBeforeNavigate2AndHonoursCancel) {
  external = &object;
  portal::LocalPortal portal;
  ASSERT_TRUE(portal.Start());
  HostDialog dlg(IDD_GAME_DIALOG);
  ASSERT_TRUE(dlg.Create(IDD_GAME_DIALOG));
  HWND control = dlg.GetDlgItem(1000);
  ASSERT_NE(control, nullptr) << "Wine's control did not come up in place";
  wchar_t cls[64] = L"";
  GetClassNameW(control, cls, 64);
  EXPECT_STREQ(cls, L"Shell Embedding");
  EXPECT_FALSE(IsWindowVisible(control));
  EXPECT_EQ(dlg.m_browser.m_hWnd, control);

  // A page that may load: BeforeNavigate2 first, then the request.
  const std::wstring news = portal.UrlW(portal::kNewsPath);
  dlg.m_browser.Navigate(news.c_str());
  EXPECT_TRUE(PumpUntil([&] { return portal.CountRequests("GET /news") > 0; }, 10000));
  ASSERT_FALSE(dlg.befores.empty());
  EXPECT_EQ(dlg.befores[0], news);

  // A game address, cancelled: it never reaches the portal.
  dlg.cancelMarker = L"client=1";
  const std::wstring game = portal.UrlW(portal::GamePath(3));
  dlg.m_browser.Navigate(game.c_str());
  EXPECT_TRUE(PumpUntil([&] { return dlg.befores.size() >= 2; }, 5000));
  ASSERT_EQ(dlg.befores.size(), 2u);
  EXPECT_EQ(dlg.befores[1], game);
  Pump(1500);
  EXPECT_EQ(portal.CountRequests("client=1"), 0);

  dlg.DestroyWindow();
  portal.Stop();
}

// Records every event of the control by its dispatch id.
class EventLog : public IDispatch {
public:
  std::vector<DISPID> ids;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != DIID_DWebBrowserEvents2) return E_NOINTERFACE;
    *ppv = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) noexcept override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
    ids.push_back(id);
    return S_OK;
  }
};

TEST_F(SystemBrowserTest, ANavigationBeginsWithBeforeNavigate2AndEndsOneWayOrTheOther) {
  portal::LocalPortal portal;
  ASSERT_TRUE(portal.Start());
  HostDialog dlg(IDD_LOGINACTIVE_DIALOG);
  ASSERT_TRUE(dlg.Create(IDD_LOGINACTIVE_DIALOG));
  EventLog log;
  ASSERT_EQ(dlg.m_browser.Advise(DIID_DWebBrowserEvents2, &log), S_OK);
  const std::wstring login = portal.UrlW(portal::kLoginPath);
  dlg.m_browser.Navigate(login.c_str());
  auto has = [&log](DISPID id) { return std::find(log.ids.begin(), log.ids.end(), id) != log.ids.end(); };
  ASSERT_TRUE(PumpUntil([&] { return has(DISPID_DOCUMENTCOMPLETE) || has(DISPID_NAVIGATEERROR); }, 15000));
  ASSERT_FALSE(log.ids.empty());
  EXPECT_EQ(log.ids.front(), DISPID_BEFORENAVIGATE2);
  EXPECT_EQ(portal.CountRequests("GET /v6/weiduan?gc=qth"), 1);
  // Without an HTML engine the navigation fails after the fetch; with one, the page completes.
  if (has(DISPID_NAVIGATEERROR)) {
    EXPECT_FALSE(has(DISPID_NAVIGATECOMPLETE2));
    EXPECT_EQ(dlg.completes, 0);
    EXPECT_FALSE(dlg.m_browser.IsWindowVisible()) << "a page that never arrived is never shown";
  } else {
    EXPECT_EQ(dlg.events.back(), L"DocumentComplete " + login);
  }
  dlg.DestroyWindow();
}

BOOL CALLBACK CountWindow(HWND, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int ThreadWindows() {
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&n));
  return n;
}

TEST_F(SystemBrowserTest, APageThatNeverArrivesHoldsNothingBackWhenTheDialogCloses) {
  SilentServer server;
  ASSERT_NE(server.Port(), 0);
  testing_support::TrackingManager tracking(&external);
  fw::EnableControlContainer(&tracking);
  const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/never";
  auto cycle = [&](int n) {
    HostDialog dlg(IDD_GAME_DIALOG);
    ASSERT_TRUE(dlg.Create(IDD_GAME_DIALOG));
    dlg.m_browser.Navigate(url.c_str());
    ASSERT_TRUE(PumpUntil([&] { return server.Connections() >= n; }, 10000));
    const DWORD start = GetTickCount();
    dlg.DestroyWindow();
    // The page never comes: a close that waited for it would not return at all.
    EXPECT_LT(GetTickCount() - start, 15000u) << "closing waited for the page";
    EXPECT_EQ(testing_support::TrackedSite::live, 0) << "the control let go of our site";
  };
  // The first navigation starts the networking's lasting threads; count after it.
  cycle(1);
  Pump(300);
  const int threads = ThreadCount();
  const int windows = ThreadWindows();
  cycle(2);
  cycle(3);
  Pump(300);
  EXPECT_EQ(ThreadWindows(), windows);
  // Each fetch still waits on its connection in a worker of the networking's pool; once the
  // server lets go they end, and nothing else of the dialog's stays behind.
  server.Drop();
  EXPECT_TRUE(PumpUntil([&] { return ThreadCount() <= threads; }, 15000)) << ThreadCount() << " > " << threads;
}

}  // namespace
