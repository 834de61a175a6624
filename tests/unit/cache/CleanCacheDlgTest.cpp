// The cache-cleaning veil on real windows: its place and look, its keys, its end, and its
// worker's lifetime however the veil goes.
#include <gtest/gtest.h>

#include <process.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CacheFixture.h"
#include "cache/CleanCacheDlg.h"
#include "common/RealInput.h"
#include "common/TestSupport.h"
#include "framework/Application.h"
#include "framework/GdiPlus.h"
#include "resource.h"

namespace cache_test {
namespace {

using testing_support::Pump;
using testing_support::WindowRect;
using testing_support::PumpUntil;

const std::wstring kMessage = L"缓存清理中,请稍后(按ESC取消)";

// A veil whose worker only waits: it reports its end when the test releases it or when asked
// to stop, so that the veil stays up for as long as a test looks at it.
class HeldVeil : public CCleanCacheDlg {
public:
  std::atomic<bool> release{false};
  bool failToStart = false;
  // How long the worker takes to stop once asked, like a worker in the middle of a large file.
  DWORD stopDelayMs = 0;
  DWORD workerId = 0;

protected:
  struct Args {
    std::shared_ptr<CCleanCacheJob> job;
    std::atomic<bool>* release;
    DWORD stopDelayMs;
  };

  static unsigned __stdcall Wait(void* p) noexcept {
    std::unique_ptr<Args> a(static_cast<Args*>(p));
    while (!a->job->m_bCancel && !a->release->load()) ::Sleep(5);
    if (a->job->m_bCancel) ::Sleep(a->stopDelayMs);
    if (HWND h = a->job->m_hNotify.load()) ::PostMessageW(h, WM_CLEANCACHE_DONE, 0, 0);
    return 0;
  }

  HANDLE StartWorker() noexcept override {
    if (failToStart) return nullptr;
    auto* args = new Args{m_job, &release, stopDelayMs};
    unsigned id = 0;
    HANDLE thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &Wait, args, 0, &id));
    workerId = id;
    return thread;
  }
};

// A veil that notes which thread its worker is.
class ObservedVeil : public CCleanCacheDlg {
public:
  DWORD workerId = 0;

protected:
  HANDLE StartWorker() noexcept override {
    HANDLE thread = CCleanCacheDlg::StartWorker();
    workerId = thread ? ::GetThreadId(thread) : 0;
    return thread;
  }
};

bool ThreadEnded(DWORD id) {
  HANDLE h = ::OpenThread(SYNCHRONIZE, FALSE, id);
  if (!h) return true;
  const bool ended = ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  ::CloseHandle(h);
  return ended;
}

// A thread timer's procedure: the quit request the game window's tray menu would post.
void CALLBACK PostQuitOnce(HWND, UINT, UINT_PTR id, DWORD) noexcept {
  ::KillTimer(nullptr, id);
  ::PostQuitMessage(16);
}

std::wstring Text(HWND hwnd) {
  wchar_t buf[128] = {};
  ::GetWindowTextW(hwnd, buf, 128);
  return buf;
}

// Fills a folder inside the real Temporary Internet Files folder, so that the cleaning lasts.
std::wstring PlantBigFolder(int files, const wchar_t* name = L"big") {
  const std::wstring big = CacheFolder() + L"\\" + name;
  for (int i = 0; i < files; ++i) MakeFile(big + L"\\f" + std::to_wstring(i) + L".txt");
  return big;
}

// The files of a folder in the order the system lists them, which is the order the worker
// deletes them in.
std::vector<std::wstring> FilesInListingOrder(const std::wstring& folder) {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + L"\\" + fd.cFileName);
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  return files;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Posts the quit request the game window's tray menu would post, from this thread's message
// loop, as soon as the worker has deleted a given file: the veil then goes in the middle of
// the cleaning however fast the machine is, with the rest of the folder still to do.
class QuitOnceDeleted {
public:
  explicit QuitOnceDeleted(const std::wstring& file) {
    s_file = file;
    m_timer = ::SetTimer(nullptr, 0, 1, &Tick);
    s_timer = m_timer;
  }
  ~QuitOnceDeleted() {
    if (s_timer) ::KillTimer(nullptr, s_timer);
    s_timer = 0;
  }
  QuitOnceDeleted(const QuitOnceDeleted&) = delete;
  QuitOnceDeleted& operator=(const QuitOnceDeleted&) = delete;

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    if (Exists(s_file)) return;
    ::KillTimer(nullptr, id);
    s_timer = 0;
    ::PostQuitMessage(16);
  }
  static inline std::wstring s_file;
  static inline UINT_PTR s_timer = 0;
  UINT_PTR m_timer = 0;
};

class CleanCacheDlgTest : public ::testing::Test {
protected:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&m_gdiplus, &input, nullptr), Gdiplus::Ok);
  }
  void TearDown() override {
    RemoveTree(CacheFolder() + L"\\big");
    Gdiplus::GdiplusShutdown(m_gdiplus);
  }

  fw::Application app;
  ULONG_PTR m_gdiplus = 0;
};

TEST_F(CleanCacheDlgTest, VeilCoversTheWorkAreaFromTheOriginWithoutTaskbarButtonAndShowsTheMessageCentredInCyan) {
  HeldVeil veil;
  ASSERT_TRUE(veil.Create(IDD_CLEANCACHE_DIALOG));
  Pump(300);

  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const RECT rc = WindowRect(veil.m_hWnd);
  EXPECT_EQ(rc.left, 0);
  EXPECT_EQ(rc.top, 0);
  EXPECT_EQ(rc.right, work.right - work.left);
  EXPECT_EQ(rc.bottom, work.bottom - work.top);

  const LONG exStyle = ::GetWindowLongW(veil.m_hWnd, GWL_EXSTYLE);
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
  EXPECT_TRUE(exStyle & WS_EX_LAYERED);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(veil.m_hWnd, &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(255, 0, 0));
  EXPECT_EQ(alpha, 150);
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));

  HWND text = veil.GetDlgItem(IDC_CLEAN_TEXT);
  const RECT tr = WindowRect(text);
  EXPECT_LE(std::abs((tr.left + tr.right) - (rc.left + rc.right)), 2);
  EXPECT_LE(std::abs((tr.top + tr.bottom) - (rc.top + rc.bottom)), 2);
  const RECT frame = WindowRect(veil.GetDlgItem(IDC_CLEAN_FRAME));
  EXPECT_LT(frame.right, rc.right / 2) << "the black frame stays at its template place";

  if (!testing_support::OnWine()) GTEST_SKIP() << "screen checks use the X server";
  const std::wstring shot = testing_support::ScreenshotPath(L"unit-clean-cache-veil.png");
  ASSERT_TRUE(testing_support::Screenshot(shot));
  Gdiplus::Bitmap image(shot.c_str());
  ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok);
  const auto pixel = [&](int x, int y) {
    Gdiplus::Color c;
    image.GetPixel(x, y, &c);
    return c.GetValue() & 0xFFFFFF;
  };
  int cyan = 0, other = 0;
  for (int y = tr.top; y < tr.bottom; ++y) {
    for (int x = tr.left; x < tr.right; ++x) {
      const auto p = pixel(x, y);
      if (p == 0x00FFFF) ++cyan;
      else if (p != 0) ++other;
    }
  }
  EXPECT_GT(cyan, 50) << "the message is drawn in cyan";
  // Wine draws the constant alpha opaque (no compositor): the veil shows as black there.
  for (POINT p : {POINT{5, 5}, POINT{rc.right - 5, rc.bottom - 5}, POINT{rc.right / 2, tr.top - 20},
                  POINT{tr.left - 20, (tr.top + tr.bottom) / 2}}) {
    EXPECT_EQ(pixel(p.x, p.y), 0u) << p.x << "," << p.y;
  }
  veil.release = true;
}

TEST_F(CleanCacheDlgTest, TheTrailingDotsCycleWhileTheVeilWaits) {
  HeldVeil veil;
  ASSERT_TRUE(veil.Create(IDD_CLEANCACHE_DIALOG));
  HWND text = veil.GetDlgItem(IDC_CLEAN_TEXT);
  EXPECT_EQ(Text(text), kMessage + L"...");
  std::set<std::wstring> seen;
  PumpUntil([&] { return seen.insert(Text(text)).second && seen.size() == 4; }, 3000);
  EXPECT_EQ(seen, (std::set<std::wstring>{kMessage + L"...", kMessage, kMessage + L".", kMessage + L".."}));
  veil.release = true;
}

TEST_F(CleanCacheDlgTest, EndsByItselfWithIdokOnceTheCleaningIsDone) {
  const int threads = ThreadCount();
  CCleanCacheDlg veil;
  EXPECT_EQ(veil.DoModal(), IDOK);
  EXPECT_EQ(veil.m_hWnd, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return ThreadCount() <= threads; }, 2000));
}

TEST_F(CleanCacheDlgTest, AWorkerThatCannotStartEndsTheVeilAtOnce) {
  HeldVeil veil;
  veil.failToStart = true;
  // Nothing would end a veil left waiting but this quit request, which makes DoModal answer -1.
  const UINT_PTR guard = ::SetTimer(nullptr, 0, 10000, &PostQuitOnce);
  EXPECT_EQ(veil.DoModal(), IDABORT);
  ::KillTimer(nullptr, guard);
  EXPECT_EQ(veil.m_hWnd, nullptr);
}

// Real keys through the X server: each only asks the worker to stop, and the veil stays until
// the worker has stopped (it takes a while here), then closes with IDOK.
TEST_F(CleanCacheDlgTest, EscEnterAndCloseRequestOnlyAskTheWorkerToStop) {
  if (!testing_support::OnWine()) GTEST_SKIP() << "real keys go through the X server";
  for (const char* keys : {"Escape", "Return", "alt+F4", "Escape Escape Escape"}) {
    SCOPED_TRACE(keys);
    HeldVeil veil;
    veil.stopDelayMs = 300;
    std::atomic<ULONGLONG> pressedAt{0};
    std::atomic<bool> closed{false};
    std::thread presser([&] {
      PumpUntil([&] { return veil.m_hWnd && ::GetForegroundWindow() == veil.m_hWnd; }, 10000);
      pressedAt = ::GetTickCount64();
      testing_support::PressKey(keys);
      // Should the key be lost, the test ends anyway, and fails below.
      PumpUntil([&] { return closed.load(); }, 10000);
      veil.release = true;
    });
    const INT_PTR result = veil.DoModal();
    const ULONGLONG closedAt = ::GetTickCount64();
    closed = true;
    presser.join();
    EXPECT_EQ(result, IDOK);
    ASSERT_TRUE(veil.m_job);
    EXPECT_TRUE(veil.m_job->m_bCancel) << "the key asked the worker to stop";
    EXPECT_TRUE(ThreadEnded(veil.workerId));
    EXPECT_GE(closedAt - pressedAt, 300u) << "the veil waited for the worker";
  }
}

TEST_F(CleanCacheDlgTest, AQuitRequestDuringTheCleaningEndsTheLoopWithTheWorkerStoppedFirst) {
  const std::wstring big = PlantBigFolder(1500);
  const std::vector<std::wstring> order = FilesInListingOrder(big);
  ASSERT_EQ(order.size(), 1500u);
  const int threads = ThreadCount();
  CCleanCacheDlg veil;
  {
    QuitOnceDeleted quit(order[20]);
    EXPECT_EQ(veil.DoModal(), -1);
  }
  EXPECT_LE(ThreadCount(), threads) << "the worker ended before DoModal returned";
  const size_t left = ListTree(big).size();
  EXPECT_GT(left, 0u);
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit request goes on outward";
  EXPECT_EQ(msg.wParam, 16u);
  Pump(300);
  EXPECT_EQ(ListTree(big).size(), left);
}

// However the veil goes, its worker has ended by then, even one slow to stop: destroyed by
// its owner, or ended by a quit request in its modal loop.
TEST_F(CleanCacheDlgTest, TheVeilWaitsForItsWorkerBeforeItGoes) {
  for (bool modal : {false, true}) {
    SCOPED_TRACE(modal ? "quit request" : "destroyed");
    auto veil = std::make_unique<HeldVeil>();
    veil->stopDelayMs = 300;
    ULONGLONG start = 0;
    if (modal) {
      ::SetTimer(nullptr, 0, 200, &PostQuitOnce);
      start = ::GetTickCount64() + 200;
      EXPECT_EQ(veil->DoModal(), -1);
      MSG msg;
      ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    } else {
      ASSERT_TRUE(veil->Create(IDD_CLEANCACHE_DIALOG));
      Pump(100);
      start = ::GetTickCount64();
      veil->DestroyWindow();
    }
    EXPECT_TRUE(ThreadEnded(veil->workerId));
    EXPECT_GE(::GetTickCount64() - start, 250u) << "it waited for the worker";
    veil.reset();
  }
}

// Runs this test program again, filtered to one test, with VELLMAR_CACHE_CHURN set, and
// returns its whole output. Under Wine the child starts from the Unix side: Wine takes its
// debug channels from the Unix environment, where the test runner has already set WINEDEBUG,
// so only a Unix-side start can turn on the heap checking (warn+heap) for the child.
std::string RunChurnChild(const std::wstring& filter, int* exitCode) {
  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  if (testing_support::OnWine()) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring log = std::wstring(temp) + L"vellmar-churn-" + std::to_wstring(::GetCurrentProcessId()) + L".log";
    const std::string command = "VELLMAR_CACHE_CHURN=1 WINEDEBUG=warn+heap timeout -k 5 120 wine '" +
                                UnixPathOf(exe) + "' --gtest_filter=" + std::string(filter.begin(), filter.end()) +
                                " > '" + UnixPathOf(log) + "' 2>&1";
    *exitCode = testing_support::RunUnix(command, 150000);
    std::string output;
    if (FILE* f = _wfopen(log.c_str(), L"rb")) {
      char buf[4096];
      for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) output.append(buf, n);
      std::fclose(f);
    }
    ::DeleteFileW(log.c_str());
    return output;
  }
  std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=" + filter;
  ::SetEnvironmentVariableW(L"VELLMAR_CACHE_CHURN", L"1");
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  ::CreatePipe(&read, &write, &sa, 0);
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{sizeof si};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = write;
  si.hStdError = write;
  PROCESS_INFORMATION pi{};
  const BOOL started = ::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  ::SetEnvironmentVariableW(L"VELLMAR_CACHE_CHURN", nullptr);
  ::CloseHandle(write);
  std::string output;
  *exitCode = -1;
  if (started) {
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(read, buf, sizeof buf, &got, nullptr) && got) output.append(buf, got);
    ::WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    *exitCode = static_cast<int>(code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
  ::CloseHandle(read);
  return output;
}

// The veil destroyed in the middle of a cleaning, again and again: by its owner going out of
// scope (a modeless veil) and by a quit request ending its modal loop. Run in a child process
// under Wine's heap checking, which reports a double free or a write to freed memory.
TEST(CleanCacheDlgLifetime, DestroyedMidCleaningManyTimesLeavesNoThreadHandleOrHeapTrace) {
  wchar_t child[8] = {};
  if (!::GetEnvironmentVariableW(L"VELLMAR_CACHE_CHURN", child, 8)) {
    int code = 1;
    const std::string output = RunChurnChild(L"CleanCacheDlgLifetime.*", &code);
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    EXPECT_EQ(output.find(":heap:"), std::string::npos) << output;
    return;
  }

  // Before any count: googletest starts a watcher thread the first time a thread traces.
  SCOPED_TRACE("churn");
  fw::Application app;
  const std::wstring big = CacheFolder() + L"\\churn";
  // Each round the veil goes a little later into the folder, always with most of it still to do.
  const auto oneRound = [&](int round) {
    PlantBigFolder(400, L"churn");
    const std::vector<std::wstring> order = FilesInListingOrder(big);
    ASSERT_EQ(order.size(), 400u);
    const std::wstring& mark = order[1 + round * 10];
    DWORD worker = 0;
    if (round % 2 == 0) {
      auto veil = std::make_unique<ObservedVeil>();
      ASSERT_TRUE(veil->Create(IDD_CLEANCACHE_DIALOG));
      ASSERT_TRUE(PumpUntil([&] { return !Exists(mark); }, 30000));
      worker = veil->workerId;
      veil.reset();
    } else {
      ObservedVeil veil;
      {
        QuitOnceDeleted quit(mark);
        EXPECT_EQ(veil.DoModal(), -1);
      }
      worker = veil.workerId;
      MSG msg;
      ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
    ASSERT_NE(worker, 0u);
    EXPECT_TRUE(ThreadEnded(worker)) << "the worker ends before its veil is gone";
    EXPECT_TRUE(Exists(order.back())) << "the veil went in the middle of the cleaning";
  };
  // A whole cleaning first starts what Wine starts once per process.
  PlantBigFolder(5, L"churn");
  ASSERT_EQ(CCleanCacheDlg().DoModal(), IDOK);
  Pump(200);
  const int threads = ThreadCount();
  const DWORD handles = HandleCount();
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    oneRound(round);
  }
  EXPECT_TRUE(PumpUntil([&] { return ThreadCount() <= threads && HandleCount() <= handles; }, 3000))
      << "threads " << ThreadCount() << " (were " << threads << "), handles " << HandleCount() << " (were " << handles
      << ")";
  RemoveTree(big);
}

}  // namespace
}  // namespace cache_test
