#include "CacheFixture.h"

#include <process.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>

#include "common/RealInput.h"
#include "common/TestSupport.h"
#include "resource.h"

namespace cache_test {

constexpr int kPages = 100;

CachePortal::CachePortal() {
  for (int i = 0; i < kPages; ++i) {
    portal::Response page;
    page.body = "<html><body>page " + std::to_string(i) + "</body></html>";
    page.headers = {{"Cache-Control", "max-age=86400"}, {"Last-Modified", "Mon, 01 Jan 2024 00:00:00 GMT"}};
    m_portal.SetRoute("/page/" + std::to_string(i) + ".html", page);
  }
  m_portal.Start();
}

bool CacheEntry::IsCookie() const { return (type & COOKIE_CACHE_ENTRY) != 0; }

bool Fetch(const std::wstring& url) {
  HINTERNET net = ::InternetOpenW(L"VellmarCacheTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!net) return false;
  bool ok = false;
  if (HINTERNET req = ::InternetOpenUrlW(net, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0)) {
    char buf[4096];
    DWORD got = 0;
    ok = true;
    while (::InternetReadFile(req, buf, sizeof buf, &got) && got) {
    }
    ::InternetCloseHandle(req);
  }
  ::InternetCloseHandle(net);
  return ok;
}

bool SetPersistentCookie(const std::wstring& url, const std::wstring& name) {
  const std::wstring data = name + L"=1; expires=Fri, 01-Jan-2038 00:00:00 GMT";
  return ::InternetSetCookieW(url.c_str(), nullptr, data.c_str()) != FALSE;
}

std::vector<CacheEntry> UrlCacheEntries() {
  std::vector<CacheEntry> out;
  std::set<std::wstring> seen;
  for (const wchar_t* pattern : {static_cast<const wchar_t*>(nullptr), L"cookie:", L"Cookie:"}) {
    std::vector<BYTE> block(4096);
    DWORD size = static_cast<DWORD>(block.size());
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(block.data());
    HANDLE find = ::FindFirstUrlCacheEntryW(pattern, entry, &size);
    if (!find && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      block.resize(size);
      entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(block.data());
      find = ::FindFirstUrlCacheEntryW(pattern, entry, &size);
    }
    if (!find) continue;
    for (;;) {
      if (entry->lpszSourceUrlName && seen.insert(entry->lpszSourceUrlName).second) {
        out.push_back({entry->lpszSourceUrlName, entry->CacheEntryType});
      }
      size = static_cast<DWORD>(block.size());
      if (::FindNextUrlCacheEntryW(find, entry, &size)) continue;
      if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
      block.resize(size);
      entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(block.data());
      if (!::FindNextUrlCacheEntryW(find, entry, &size)) break;
      if (entry->lpszSourceUrlName && seen.insert(entry->lpszSourceUrlName).second) {
        out.push_back({entry->lpszSourceUrlName, entry->CacheEntryType});
      }
    }
    ::FindCloseUrlCache(find);
  }
  return out;
}

bool FillUrlCache(const CachePortal& portal, int pages, int cookies) {
  for (int i = 0; i < pages && i < kPages; ++i) {
    if (!Fetch(portal.Url("/page/" + std::to_string(i) + ".html"))) return false;
  }
  if (cookies > 0 && !Fetch(portal.Url("/setcookie?name=portal&value=1&days=30"))) return false;
  for (int i = 0; i < cookies; ++i) {
    const std::wstring host = L"http://cookie" + std::to_wstring(i) + L".vellmar.test/";
    if (!SetPersistentCookie(host, L"session" + std::to_wstring(i))) return false;
  }
  return true;
}

namespace {
std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  ::SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE);
  return path;
}

void ListInto(const std::wstring& root, const std::wstring& rel, std::set<std::wstring>& out) {
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((root + L"\\" + rel + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    const bool dir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    out.insert(rel + name + (dir && !link ? L"\\" : L""));
    if (dir && !link) ListInto(root, rel + name + L"\\", out);
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
}
}  // namespace

std::wstring CookiesFolder() { return SpecialFolder(CSIDL_COOKIES); }
std::wstring CacheFolder() { return SpecialFolder(CSIDL_INTERNET_CACHE); }

std::set<std::wstring> ListTree(const std::wstring& root) {
  std::set<std::wstring> out;
  ListInto(root, L"", out);
  return out;
}

bool MakeFolder(const std::wstring& path) {
  return ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS ||
         ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeFile(const std::wstring& path, DWORD attributes, const char* text) {
  MakeFolder(path.substr(0, path.find_last_of(L'\\')));
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  ::WriteFile(h, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  ::CloseHandle(h);
  return ::SetFileAttributesW(path.c_str(), attributes) != FALSE;
}

std::string UnixPathOf(const std::wstring& windowsPath) {
  using WineGetUnixFileName = char*(CDECL*)(const wchar_t*);
  static auto convert = reinterpret_cast<WineGetUnixFileName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (convert) {
    if (char* unix = convert(windowsPath.c_str())) {
      std::string s = unix;
      ::HeapFree(::GetProcessHeap(), 0, unix);
      return s;
    }
  }
  return testing_support::UnixPath(windowsPath);
}

bool MakeLink(const std::wstring& link, const std::wstring& target) {
  if (testing_support::OnWine()) {
    return testing_support::RunUnix("ln -s '" + UnixPathOf(target) + "' '" + UnixPathOf(link) + "'") == 0;
  }
  const DWORD flags = (::GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_DIRECTORY) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
  return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags | 0x2 /* unprivileged */) != FALSE;
}

void RemoveTrees(const std::vector<std::wstring>& paths) {
  if (testing_support::OnWine()) {
    // From the Unix side: rm never follows a link (a dangling one included), which no Win32
    // call under Wine can promise.
    std::string list;
    for (const std::wstring& path : paths) {
      const std::string unix = UnixPathOf(path);
      if (!unix.empty()) list += " '" + unix + "'";
    }
    if (!list.empty()) testing_support::RunUnix("chmod -R u+w" + list + " 2>/dev/null; rm -rf" + list);
    return;
  }
  for (const std::wstring& path : paths) RemoveTree(path);
}

void RemoveTree(const std::wstring& path) {
  if (testing_support::OnWine()) return RemoveTrees({path});
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
      } while (::FindNextFileW(h, &fd));
      ::FindClose(h);
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(path.c_str());
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    ::RemoveDirectoryW(path.c_str());
  } else {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
  }
}

namespace {
std::wstring TempFolder(const wchar_t* kind, const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"vellmar-" + kind + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + name;
}
}  // namespace

ScratchFolder::ScratchFolder(const std::wstring& name) : m_path(TempFolder(L"scratch", name)) {
  RemoveTree(m_path);
  MakeFolder(m_path);
}

ScratchFolder::~ScratchFolder() { RemoveTree(m_path); }

Canary::Canary(const std::wstring& name) : m_dir(TempFolder(L"canary", name)) {
  RemoveTree(m_dir);
  MakeFile(File(), FILE_ATTRIBUTE_READONLY, "read-only canary");
  MakeFile(WritableFile(), FILE_ATTRIBUTE_NORMAL, "plain canary");
  MakeFile(m_dir + L"\\hidden.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, "hidden canary");
  MakeFile(m_dir + L"\\desktop.ini", FILE_ATTRIBUTE_NORMAL, "[.ShellClassInfo]");
  MakeFile(m_dir + L"\\inner\\deep.txt", FILE_ATTRIBUTE_READONLY, "deep canary");
}

Canary::~Canary() { RemoveTree(m_dir); }

std::vector<std::wstring> Canary::Snapshot() const {
  std::vector<std::wstring> out;
  for (const std::wstring& rel : ListTree(m_dir)) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExW((m_dir + L"\\" + rel).c_str(), GetFileExInfoStandard, &data);
    wchar_t line[64];
    std::swprintf(line, 64, L" attr=%lx size=%lu", data.dwFileAttributes, data.nFileSizeLow);
    out.push_back(rel + line);
  }
  return out;
}

int ThreadCount() {
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 te{sizeof te};
  int count = 0;
  for (BOOL ok = ::Thread32First(snap, &te); ok; ok = ::Thread32Next(snap, &te)) {
    if (te.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
  }
  ::CloseHandle(snap);
  return count;
}

DWORD HandleCount() {
  DWORD n = 0;
  if (::GetProcessHandleCount(::GetCurrentProcess(), &n) && n) return n;
  // Wine answers 0 there: count the handle values that are open instead.
  for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
    DWORD flags = 0;
    if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++n;
  }
  return n;
}

long long RecycleBinItems() {
  SHQUERYRBINFO info{sizeof info};
  if (FAILED(::SHQueryRecycleBinW(nullptr, &info))) return -1;
  return info.i64NumItems;
}

DoneCounter::DoneCounter() {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DoneCounter::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VellmarCacheTestDone";
    return ::RegisterClassW(&wc);
  }();
  m_hwnd = ::CreateWindowW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), L"", 0, 0, 0, 0, 0,
                           HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

DoneCounter::~DoneCounter() { ::DestroyWindow(m_hwnd); }

LRESULT CALLBACK DoneCounter::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (msg == WM_CLEANCACHE_DONE) {
    if (auto* self = reinterpret_cast<DoneCounter*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))) ++self->m_count;
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

CleanerThread::CleanerThread(std::shared_ptr<CCleanCacheJob> job) {
  auto* arg = new std::shared_ptr<CCleanCacheJob>(std::move(job));
  m_thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &CleanCacheThread, arg, CREATE_SUSPENDED, &m_id));
  if (!m_thread) delete arg;
}

CleanerThread::~CleanerThread() {
  if (m_thread) {
    Resume();
    ::WaitForSingleObject(m_thread, 60000);
    ::CloseHandle(m_thread);
  }
}

void CleanerThread::Resume() {
  if (m_thread) ::ResumeThread(m_thread);
}

bool CleanerThread::Join(DWORD timeoutMs, DWORD* exitCode) {
  const bool ended = testing_support::PumpUntil(
      [&] { return ::WaitForSingleObject(m_thread, 0) == WAIT_OBJECT_0; }, timeoutMs);
  if (ended && exitCode) ::GetExitCodeThread(m_thread, exitCode);
  return ended;
}

}  // namespace cache_test
