// Times the cache cleaner's folder walk against `cmd /c rd /s /q` and a plain DeleteFileW loop
// on the same generated tree, and the time from Esc to the veil closing while it cleans that
// tree. Prints the medians of a few runs and their ratios. A measurement, not a test.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cache/CacheCleaner.h"
#include "cache/CleanCacheDlg.h"
#include "framework/Application.h"
#include "resource.h"

namespace {

int g_folders = 100;
int g_filesPerFolder = 100;
int g_runs = 3;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return temp;
}

// g_folders folders of g_filesPerFolder small files, one of them read-only in each folder, as
// a browser cache has them.
bool MakeTree(const std::wstring& root) {
  ::CreateDirectoryW(root.c_str(), nullptr);
  for (int d = 0; d < g_folders; ++d) {
    const std::wstring folder = root + L"\\d" + std::to_wstring(d);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (int f = 0; f < g_filesPerFolder; ++f) {
      const std::wstring file = folder + L"\\entry" + std::to_wstring(f) + L"[1].htm";
      HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               f == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE) return false;
      DWORD written = 0;
      ::WriteFile(h, "<html></html>", 13, &written, nullptr);
      ::CloseHandle(h);
    }
  }
  return true;
}

int CountFiles(const std::wstring& root) {
  int n = 0;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((root + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      n += CountFiles(root + L"\\" + name);
    } else {
      ++n;
    }
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return n;
}

// What a program does that just wants the files gone.
void DeleteFileLoop(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring item = folder + L"\\" + name;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(item.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteFileLoop(item);
      ::RemoveDirectoryW(item.c_str());
    } else {
      ::DeleteFileW(item.c_str());
    }
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
}

void RdCommand(const std::wstring& folder) {
  std::wstring cmd = L"cmd /c rd /s /q \"" + folder + L"\"";
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) return;
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
}

struct Method {
  const char* name;
  std::function<void(const std::wstring&)> run;
  std::vector<double> seconds;
};

void PumpFor(DWORD ms) {
  const ULONGLONG end = ::GetTickCount64() + ms;
  while (::GetTickCount64() < end) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(1);
  }
}

// The veil over a cleaning of the tree in the real Temporary Internet Files folder: once the
// tree has begun to shrink, Esc reaches the veil's queue as a key press would; the time runs
// until DoModal has returned, the window and the worker gone.
double EscToVeilClosed(const std::wstring& tree, int* leftAfter) {
  CCleanCacheDlg veil;
  std::atomic<double> escAt{0.0};
  std::atomic<bool> stop{false};
  const int total = g_folders * g_filesPerFolder;
  std::thread presser([&] {
    while (!stop && !(veil.m_hWnd && ::IsWindowVisible(veil.m_hWnd) && CountFiles(tree) < total * 9 / 10)) ::Sleep(5);
    if (stop) return;
    escAt = Now();
    ::PostMessageW(veil.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(veil.m_hWnd, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  });
  veil.DoModal();
  const double closedAt = Now();
  stop = true;
  presser.join();
  *leftAfter = CountFiles(tree);
  return escAt > 0 ? closedAt - escAt : -1.0;
}

void PrintRow(const char* name, const std::vector<double>& v, const char* unit, double scale) {
  std::printf("  %-38s median %8.3f %s   runs:", name, Median(v) * scale, unit);
  for (double s : v) std::printf(" %.3f", s * scale);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--runs")) g_runs = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--folders")) g_folders = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--files")) g_filesPerFolder = std::max(1, std::atoi(argv[i + 1]));
  }
  const int total = g_folders * g_filesPerFolder;
  std::printf("Tree: %d files in %d folders (one read-only file per folder); %d runs each\n", total, g_folders,
              g_runs);
  std::fflush(stdout);

  std::atomic<BOOL> never{FALSE};
  std::vector<Method> methods = {
      {"cleaner walk (DeleteFolderContents)", [&](const std::wstring& f) { DeleteFolderContents(f, never); }, {}},
      {"cmd /c rd /s /q", [](const std::wstring& f) { RdCommand(f); }, {}},
      {"plain DeleteFileW loop", [](const std::wstring& f) { DeleteFileLoop(f); }, {}},
  };
  const std::wstring root = TempFolder() + L"vellmar-bench-tree";
  for (int run = 0; run < g_runs; ++run) {
    for (Method& m : methods) {
      DeleteFileLoop(root);
      ::RemoveDirectoryW(root.c_str());
      if (!MakeTree(root)) {
        std::printf("could not make the tree in %ls\n", root.c_str());
        return 1;
      }
      const double start = Now();
      m.run(root);
      m.seconds.push_back(Now() - start);
      const int left = CountFiles(root);
      if (left) std::printf("  (%s left %d files)\n", m.name, left);
    }
  }
  DeleteFileLoop(root);
  ::RemoveDirectoryW(root.c_str());

  std::printf("Deleting the tree (seconds):\n");
  for (const Method& m : methods) PrintRow(m.name, m.seconds, "s ", 1.0);
  const double cleaner = Median(methods[0].seconds);
  std::printf("Ratios of the medians:\n");
  std::printf("  cleaner walk / rd /s /q          %6.2f\n", cleaner / Median(methods[1].seconds));
  std::printf("  cleaner walk / DeleteFileW loop  %6.2f\n", cleaner / Median(methods[2].seconds));
  std::printf("  per file: cleaner %.1f us, rd %.1f us, DeleteFileW %.1f us\n", cleaner / total * 1e6,
              Median(methods[1].seconds) / total * 1e6, Median(methods[2].seconds) / total * 1e6);
  std::fflush(stdout);

  fw::Application app;
  wchar_t cache[MAX_PATH] = {};
  ::SHGetSpecialFolderPathW(nullptr, cache, CSIDL_INTERNET_CACHE, TRUE);
  const std::wstring tree = std::wstring(cache) + L"\\vellmar-bench-tree";
  std::vector<double> esc;
  for (int run = 0; run < g_runs; ++run) {
    DeleteFileLoop(tree);
    if (!MakeTree(tree)) {
      std::printf("could not make the tree in %ls\n", tree.c_str());
      return 1;
    }
    PumpFor(50);
    int left = 0;
    const double seconds = EscToVeilClosed(tree, &left);
    if (seconds < 0) {
      std::printf("  (the veil closed before Esc could be pressed)\n");
      continue;
    }
    esc.push_back(seconds);
    std::printf("  Esc run %d: %d of %d files were left\n", run + 1, left, total);
  }
  DeleteFileLoop(tree);
  ::RemoveDirectoryW(tree.c_str());
  std::printf("Esc to the veil closed (milliseconds):\n");
  PrintRow("Esc -> DoModal returned", esc, "ms", 1000.0);
  return 0;
}
