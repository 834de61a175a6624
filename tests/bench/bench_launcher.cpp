// Measures the launcher from outside, as a player's system sees it, beside Wine's own browser
// (iexplore, what a player would otherwise use) and beside a bare window (the floor: Wine's own
// cost of starting a process and mapping a window). Every run starts the three in turn, so the
// ratios compare figures taken under the same load. Prints Markdown table rows; a measurement,
// not a test: nothing here asserts a time.
//
//   bench_launcher.exe [--runs N] [--idle-seconds S]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <functional>
#include <string>
#include <vector>

#include "browser/StandinBrowser.h"
#include "common/RealInput.h"
#include "common/TestSupport.h"
#include "portal/LocalPortal.h"

namespace {

using testing_support::ModuleDir;
using testing_support::OnWine;
using testing_support::Process;
using testing_support::TopLevelWindows;

int g_runs = 5;
int g_idleSeconds = 10;

LONGLONG Qpc() {
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double Ms(LONGLONG ticks) {
  static const double perMs = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  return static_cast<double>(ticks) / perMs;
}

// Polls without pumping (the driver owns no windows); the answer is the moment pred first held,
// or 0 on timeout. 2 ms between polls: finer would take a core from the program being measured.
LONGLONG WaitFor(const std::function<bool()>& pred, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (pred()) return Qpc();
    if (::GetTickCount64() >= end) return 0;
    ::Sleep(2);
  }
}

std::wstring Title(HWND h) {
  wchar_t buf[256] = {};
  ::GetWindowTextW(h, buf, 256);
  return buf;
}

bool SizeIs(HWND h, int w, int hgt) {
  RECT rc{};
  ::GetWindowRect(h, &rc);
  return rc.right - rc.left == w && rc.bottom - rc.top == hgt;
}

HWND ShownMainWindow(DWORD pid) {
  for (HWND h : TopLevelWindows(pid)) {
    if (::IsWindowVisible(h) && !::GetWindow(h, GW_OWNER)) return h;
  }
  return nullptr;
}

double PeakWorkingSetMb(HANDLE process) {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  if (!::GetProcessMemoryInfo(process, &pmc, sizeof pmc)) return -1.0;
  return static_cast<double>(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

std::string ReadWholeFile(const std::wstring& path) {
  std::string data;
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (f == INVALID_HANDLE_VALUE) return data;
  char buf[4096];
  DWORD got = 0;
  while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
  ::CloseHandle(f);
  return data;
}

// Wine's GetProcessTimes answers 0 for every process, its own included, so under Wine the CPU
// time comes from Linux's /proc (drive Z: is the Unix root). The Unix process is found by its
// command line, which Wine sets to the Windows one.
std::wstring ProcFolderOf(const std::string& mark1, const std::string& mark2) {
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW(L"Z:\\proc\\*", &fd);
  if (h == INVALID_HANDLE_VALUE) return L"";
  std::wstring found;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !std::iswdigit(fd.cFileName[0])) continue;
    const std::wstring dir = std::wstring(L"Z:\\proc\\") + fd.cFileName;
    std::string cmd = ReadWholeFile(dir + L"\\cmdline");
    std::replace(cmd.begin(), cmd.end(), '\0', ' ');
    if (cmd.find(mark1) != std::string::npos && cmd.find(mark2) != std::string::npos) found = dir;
  } while (found.empty() && ::FindNextFileW(h, &fd));
  ::FindClose(h);
  return found;
}

// User plus system time of a Unix process in milliseconds, or -1.
double ProcCpuMs(const std::wstring& procFolder) {
  if (procFolder.empty()) return -1.0;
  const std::string stat = ReadWholeFile(procFolder + L"\\stat");
  const size_t paren = stat.rfind(')');
  if (paren == std::string::npos) return -1.0;
  std::vector<std::string> fields;
  size_t p = paren + 1;
  while (p < stat.size()) {
    while (p < stat.size() && stat[p] == ' ') ++p;
    const size_t e = stat.find(' ', p);
    fields.push_back(stat.substr(p, e == std::string::npos ? std::string::npos : e - p));
    if (e == std::string::npos) break;
    p = e;
  }
  // Fields 14 (utime) and 15 (stime) of proc(5), counted here from field 3; clock ticks of 10 ms.
  if (fields.size() < 13) return -1.0;
  return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) * 10.0;
}

// Kernel plus user time in milliseconds, or -1 when the system does not tell.
double CpuMs(HANDLE process, const std::wstring& procFolder) {
  FILETIME created, exited, kernel, user;
  if (::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    auto ticks = [](const FILETIME& f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    if (ticks(kernel) + ticks(user) > 0) return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
  }
  return ProcCpuMs(procFolder);
}

void CloseAndWait(Process& p, HWND window) {
  if (window) ::PostMessageW(window, WM_CLOSE, 0, 0);
  if (!p.Wait(10000)) p.Kill();
}

// One series of samples; NaN-free: a failed sample is simply not added.
struct Series {
  std::vector<double> v;
  void Add(double x) {
    if (x >= 0) v.push_back(x);
  }
  double Median() const {
    if (v.empty()) return -1.0;
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    return s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2.0;
  }
  std::string Cell(const char* fmt) const {
    if (v.empty()) return "n/a";
    char buf[96];
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    char m[32], a[32], b[32];
    std::snprintf(m, sizeof m, fmt, Median());
    std::snprintf(a, sizeof a, fmt, *lo);
    std::snprintf(b, sizeof b, fmt, *hi);
    std::snprintf(buf, sizeof buf, "%s (%s–%s)", m, a, b);
    return buf;
  }
  std::string Ratio() const {
    if (v.empty()) return "n/a";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f×", Median());
    return buf;
  }
};

struct Results {
  Series floorShown, ieShown, vellmarShown, vellmarPage;
  Series floorPeak, iePeak, vellmarPeak, vellmarPeakSession;
  Series vellmarOverIe, vellmarOverFloor, peakOverIe, peakOverFloor;
  Series handOffFirst, handOffReuse;
  Series idleCpu, sessionCpu;
};

struct Figures {
  double shownMs = -1, peakMb = -1;
};

Figures RunBare() {
  Figures f;
  Process p;
  const LONGLONG start = Qpc();
  if (!p.Start(ModuleDir() + L"\\bare_window.exe", L"")) return f;
  HWND w = nullptr;
  const LONGLONG shown = WaitFor([&] { return (w = ShownMainWindow(p.Pid())) != nullptr; }, 20000);
  if (shown) f.shownMs = Ms(shown - start);
  ::Sleep(1000);
  f.peakMb = PeakWorkingSetMb(p.Handle());
  CloseAndWait(p, w);
  return f;
}

std::wstring IexplorePath() {
  wchar_t path[MAX_PATH] = {};
  ::ExpandEnvironmentStringsW(L"%ProgramFiles%\\Internet Explorer\\iexplore.exe", path, MAX_PATH);
  return path;
}

Figures RunIexplore(const std::wstring& url) {
  Figures f;
  Process p;
  const LONGLONG start = Qpc();
  if (!p.Start(IexplorePath(), L"\"" + url + L"\"")) return f;
  HWND w = nullptr;
  const LONGLONG shown = WaitFor([&] { return (w = ShownMainWindow(p.Pid())) != nullptr; }, 20000);
  if (shown) f.shownMs = Ms(shown - start);
  ::Sleep(1000);
  f.peakMb = PeakWorkingSetMb(p.Handle());
  CloseAndWait(p, w);
  return f;
}

struct Launcher {
  Process p;
  std::wstring log;
  HWND login = nullptr, overlay = nullptr;

  HWND Game() const {
    for (HWND h : TopLevelWindows(p.Pid(), L"Vellmar")) {
      if (login && ::GetWindow(h, GW_OWNER) == login) return h;
    }
    return nullptr;
  }
  HWND OverlayBrowser() const { return overlay ? ::GetDlgItem(overlay, 1000) : nullptr; }

  // The moments (QPC) at which the browser fired BeforeNavigate2 for game addresses it cancelled.
  std::vector<LONGLONG> HandOffsFired() const {
    std::vector<LONGLONG> out;
    for (const std::string& line : standin::ReadStandinLog(log)) {
      if (line.rfind("BeforeNavigate2 ", 0) != 0) continue;
      if (standin::StandinLogValue(line, "cancel") != "1") continue;
      if (standin::StandinLogValue(line, "url").find("client=1") == std::string::npos) continue;
      out.push_back(std::atoll(standin::StandinLogValue(line, "t").c_str()));
    }
    return out;
  }

  // A key as the player's keyboard would deliver it to the page: posted to the launcher's queue,
  // so it passes through the launcher's own loop and the browser's accelerator handling.
  void Key(HWND to, UINT vk) const {
    ::PostMessageW(to, WM_KEYDOWN, vk, 1);
    ::PostMessageW(to, WM_KEYUP, vk, 0xC0000001);
  }

  // From the newest BeforeNavigate2 of a game address to the game window shown and active.
  double HandOff(size_t before, const std::function<void()>& trigger) {
    trigger();
    HWND game = nullptr;
    const LONGLONG active = WaitFor(
        [&] {
          game = Game();
          return game && ::IsWindowVisible(game) && ::GetForegroundWindow() == game;
        },
        15000);
    if (!active) return -1.0;
    std::vector<LONGLONG> fired;
    WaitFor([&] { return (fired = HandOffsFired()).size() > before; }, 5000);
    if (fired.size() <= before || fired.back() <= 0) return -1.0;
    return Ms(active - fired.back());
  }
};

void RunLauncher(const portal::LocalPortal& portal, Results& r, bool record) {
  Launcher l;
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  l.log = std::wstring(temp) + L"vellmar-bench-browser.log";
  ::DeleteFileW(l.log.c_str());
  const std::wstring args = L"--portal \"" + portal.UrlW(portal::kLoginPath) + L"\"";
  const LONGLONG start = Qpc();
  if (!l.p.Start(ModuleDir() + L"\\Vellmar.exe", args, std::wstring(standin::kLogEnvVar) + L"=" + l.log)) {
    std::fprintf(stderr, "Vellmar.exe did not start\n");
    return;
  }
  // Shown with its skin: the window takes the skin image's size and becomes visible only after
  // the image has been rendered into it.
  const LONGLONG shown = WaitFor(
      [&] {
        for (HWND h : TopLevelWindows(l.p.Pid(), L"Vellmar")) {
          if (::IsWindowVisible(h) && !::GetWindow(h, GW_OWNER) && SizeIs(h, 1120, 693)) l.login = h;
        }
        return l.login != nullptr;
      },
      20000);
  const LONGLONG page = WaitFor(
      [&] {
        for (HWND h : TopLevelWindows(l.p.Pid())) {
          if (::GetWindow(h, GW_OWNER) == l.login && ::IsWindowVisible(h) && Title(h).empty()) l.overlay = h;
        }
        return l.OverlayBrowser() && ::IsWindowVisible(l.OverlayBrowser());
      },
      20000);
  ::Sleep(1000);
  const double peak = PeakWorkingSetMb(l.p.Handle());

  // First use: Tab to the page's first link (a game server) and Enter.
  double first = -1, reuse = -1, idle = -1, session = -1;
  if (page) {
    first = l.HandOff(0, [&] {
      l.Key(l.OverlayBrowser(), VK_TAB);
      l.Key(l.OverlayBrowser(), VK_RETURN);
    });
  }
  // Reuse: the boss key hides the game window; the same link again brings it back.
  if (first >= 0) {
    HWND game = l.Game();
    ::PostMessageW(game, WM_HOTKEY, 1001, MAKELPARAM(0, VK_F10));
    WaitFor([&] { return !::IsWindowVisible(game); }, 5000);
    ::Sleep(300);
    reuse = l.HandOff(1, [&] { l.Key(l.OverlayBrowser(), VK_RETURN); });
  }
  if (reuse >= 0) {
    ::Sleep(1000);  // the game page arrives and paints
    const std::wstring proc = OnWine() ? ProcFolderOf("Vellmar.exe", ":" + std::to_string(portal.Port()) + "/") : L"";
    const double before = CpuMs(l.p.Handle(), proc);
    ::Sleep(static_cast<DWORD>(g_idleSeconds) * 1000);
    const double after = CpuMs(l.p.Handle(), proc);
    if (before >= 0 && after >= 0) idle = after - before;
    session = after;
  }
  const double peakSession = PeakWorkingSetMb(l.p.Handle());
  CloseAndWait(l.p, l.login);
  ::DeleteFileW(l.log.c_str());

  if (!shown) std::fprintf(stderr, "  the login window did not appear\n");
  if (!page) std::fprintf(stderr, "  the login page did not appear\n");
  if (first < 0) std::fprintf(stderr, "  the first hand-off was not seen\n");
  if (first >= 0 && reuse < 0) std::fprintf(stderr, "  the second hand-off was not seen\n");
  if (!record) return;
  r.vellmarShown.Add(shown ? Ms(shown - start) : -1);
  r.vellmarPage.Add(page ? Ms(page - start) : -1);
  r.vellmarPeak.Add(peak);
  r.vellmarPeakSession.Add(peakSession);
  r.handOffFirst.Add(first);
  r.handOffReuse.Add(reuse);
  r.idleCpu.Add(idle);
  r.sessionCpu.Add(session);
}

void Row(const char* measure, const std::string& vellmar, const std::string& ie, const std::string& bare,
         const std::string& overIe, const std::string& overFloor) {
  std::printf("| %s | %s | %s | %s | %s | %s |\n", measure, vellmar.c_str(), ie.c_str(), bare.c_str(), overIe.c_str(),
              overFloor.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--runs")) g_runs = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--idle-seconds")) g_idleSeconds = std::max(1, std::atoi(argv[i + 1]));
  }
  portal::LocalPortal portal;
  if (!portal.Start()) {
    std::fprintf(stderr, "the portal did not start\n");
    return 1;
  }
  const std::wstring url = portal.UrlW(portal::kLoginPath);
  if (::GetFileAttributesW(IexplorePath().c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "no iexplore.exe at %ls\n", IexplorePath().c_str());
  }

  Results r;
  // One round first that is not counted: the prefix's files and fonts come into the page cache.
  std::fprintf(stderr, "warm-up round\n");
  RunBare();
  RunIexplore(url);
  RunLauncher(portal, r, false);

  for (int run = 1; run <= g_runs; ++run) {
    std::fprintf(stderr, "round %d of %d\n", run, g_runs);
    const Figures bare = RunBare();
    const Figures ie = RunIexplore(url);
    const size_t had = r.vellmarShown.v.size();
    RunLauncher(portal, r, true);
    r.floorShown.Add(bare.shownMs);
    r.ieShown.Add(ie.shownMs);
    r.floorPeak.Add(bare.peakMb);
    r.iePeak.Add(ie.peakMb);
    if (r.vellmarShown.v.size() > had) {
      const double v = r.vellmarShown.v.back();
      if (ie.shownMs > 0) r.vellmarOverIe.Add(v / ie.shownMs);
      if (bare.shownMs > 0) r.vellmarOverFloor.Add(v / bare.shownMs);
    }
    if (!r.vellmarPeak.v.empty() && ie.peakMb > 0 && bare.peakMb > 0) {
      r.peakOverIe.Add(r.vellmarPeak.v.back() / ie.peakMb);
      r.peakOverFloor.Add(r.vellmarPeak.v.back() / bare.peakMb);
    }
  }
  portal.Stop();

  const std::string none = "—";
  Row("Start-up: process start → main window shown (ms)", r.vellmarShown.Cell("%.0f"), r.ieShown.Cell("%.0f"),
      r.floorShown.Cell("%.0f"), r.vellmarOverIe.Ratio(), r.vellmarOverFloor.Ratio());
  Row("Start-up: process start → login page shown (ms)", r.vellmarPage.Cell("%.0f"), "no HTML engine", none, none,
      none);
  Row("Peak working set, window shown + 1 s (MB)", r.vellmarPeak.Cell("%.1f"), r.iePeak.Cell("%.1f"),
      r.floorPeak.Cell("%.1f"), r.peakOverIe.Ratio(), r.peakOverFloor.Ratio());
  Row("Peak working set, after two hand-offs and idling (MB)", r.vellmarPeakSession.Cell("%.1f"), none, none, none,
      none);
  Row("Hand-off, first use: BeforeNavigate2 → game window shown and active (ms)", r.handOffFirst.Cell("%.0f"), none,
      none, none, none);
  Row("Hand-off, reuse (window hidden by F10) (ms)", r.handOffReuse.Cell("%.0f"), none, none, none, none);
  char idleName[96];
  std::snprintf(idleName, sizeof idleName, "Idle CPU time over %d s, game window open (ms, 10 ms steps)",
                g_idleSeconds);
  Row(idleName, r.idleCpu.Cell("%.0f"), none, none, none, none);
  Row("CPU time of the whole session: start, page, two hand-offs, idling (ms)", r.sessionCpu.Cell("%.0f"), none, none,
      none, none);
  std::fflush(stdout);
  return 0;
}
