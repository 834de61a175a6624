#pragma once
// Real state for the cache cleaner: entries in the URL cache fetched from a loopback HTTP
// server, persistent cookies, trees of files in the real Cookies and Temporary Internet Files
// folders, and canaries outside them that links inside point at.
#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "LocalPortal.h"
#include "cache/CacheCleaner.h"

namespace cache_test {

// The local portal with cacheable pages under "/page/" for FillUrlCache.
class CachePortal {
public:
  CachePortal();
  bool Running() const { return m_portal.Running(); }
  std::wstring Url(const std::string& pathAndQuery) const { return m_portal.UrlW(pathAndQuery); }

private:
  portal::LocalPortal m_portal;
};

struct CacheEntry {
  std::wstring url;
  DWORD type;
  bool IsCookie() const;
};

// Fetches a URL through WinINet (which caches it) and reads it to the end.
bool Fetch(const std::wstring& url);
// A cookie for the URL's host that outlives the session.
bool SetPersistentCookie(const std::wstring& url, const std::wstring& name);
// Every entry the URL cache lists, whichever search finds it (no pattern, and the cookie
// container's prefix in both spellings).
std::vector<CacheEntry> UrlCacheEntries();
// Fills the cache: `pages` content entries from the portal, `cookies` persistent cookies set
// through WinINet, and one the portal sets with its answer.
bool FillUrlCache(const CachePortal& portal, int pages, int cookies);

std::wstring CookiesFolder();
std::wstring CacheFolder();

// Everything under a folder as paths relative to it, folders with a trailing backslash.
// Links are listed but never entered.
std::set<std::wstring> ListTree(const std::wstring& root);

// Creates a file (and the folders it needs) with the given attributes.
bool MakeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL, const char* text = "x");
bool MakeFolder(const std::wstring& path);
// Deletes a tree whatever its attributes; links are removed from the Unix side.
void RemoveTree(const std::wstring& path);
void RemoveTrees(const std::vector<std::wstring>& paths);

// The Unix path of a Windows path on any drive.
std::string UnixPathOf(const std::wstring& windowsPath);
// A symbolic link made from the Unix side: Wine shows one to a folder as a directory with the
// reparse-point attribute, and one to a file as a plain file.
bool MakeLink(const std::wstring& link, const std::wstring& target);

// A folder outside the cleaned folders, with files of every attribute kind; Snapshot records
// names, sizes and attributes so that any change to it shows.
class Canary {
public:
  explicit Canary(const std::wstring& name);
  ~Canary();
  std::wstring Dir() const { return m_dir; }
  std::wstring File() const { return m_dir + L"\\readonly.txt"; }
  std::wstring WritableFile() const { return m_dir + L"\\plain.txt"; }
  std::vector<std::wstring> Snapshot() const;

private:
  std::wstring m_dir;
};

// A folder of its own under the temporary folder, removed with everything in it at the end.
class ScratchFolder {
public:
  explicit ScratchFolder(const std::wstring& name);
  ~ScratchFolder();
  const std::wstring& Path() const { return m_path; }

private:
  std::wstring m_path;
};

// Threads of this process, counted with a toolhelp snapshot.
int ThreadCount();
DWORD HandleCount();
// Items in the recycle bins of all drives.
long long RecycleBinItems();

// A window that only receives messages, counting WM_CLEANCACHE_DONE.
class DoneCounter {
public:
  DoneCounter();
  ~DoneCounter();
  HWND Handle() const { return m_hwnd; }
  int Count() const { return m_count; }

private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM) noexcept;
  HWND m_hwnd = nullptr;
  int m_count = 0;
};

// Runs CleanCacheThread on its own thread, created suspended so that a test can prepare for
// it (fault injection by thread id) before it runs. The thread is joined by Join or the destructor.
class CleanerThread {
public:
  explicit CleanerThread(std::shared_ptr<CCleanCacheJob> job);
  ~CleanerThread();
  DWORD Id() const { return m_id; }
  bool Started() const { return m_thread != nullptr; }
  void Resume();
  // True when it ended within timeoutMs (pumping this thread's messages meanwhile).
  bool Join(DWORD timeoutMs, DWORD* exitCode = nullptr);

private:
  HANDLE m_thread = nullptr;
  unsigned m_id = 0;
};

}  // namespace cache_test
