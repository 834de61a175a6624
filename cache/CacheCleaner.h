#pragma once
// The cache cleaner: the WinINet URL cache and the contents of the Cookies and Temporary
// Internet Files folders, removed on a worker thread that the cache-cleaning dialog starts.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

// All the worker shares with the dialog that started it. The dialog can go while the worker
// still runs (a quit request ends its modal loop), so the worker holds its own share of this
// and never sees the dialog object.
struct CCleanCacheJob {
  // Set once by the user-interface thread, never cleared; polled by the worker after every item.
  std::atomic<BOOL> m_bCancel{FALSE};
  // Receives WM_CLEANCACHE_DONE at the end; null when nobody is waiting any more.
  std::atomic<HWND> m_hNotify{nullptr};
  // The Cookies and Temporary Internet Files folders; an empty path skips that step.
  std::wstring m_strCookies;
  std::wstring m_strCache;
};

// A job for the current user's folders, reporting to hNotify. Null when memory runs out.
std::shared_ptr<CCleanCacheJob> MakeCleanCacheJob(HWND hNotify) noexcept;

// The worker's start routine for _beginthreadex. arg is a std::shared_ptr<CCleanCacheJob>
// allocated with new, which the worker takes over (and deletes). Always returns 0.
unsigned __stdcall CleanCacheThread(void* arg) noexcept;

// nMode 1 deletes the URL-cache entries that are cookies, nMode 0 every other entry.
// TRUE when an enumeration could be started.
BOOL ClearUrlCache(int nMode, const std::atomic<BOOL>& bCancel) noexcept;

// Deletes everything inside strFolder except files named exactly "desktop.ini", depth first;
// the folder itself stays. Links (junctions, symbolic links, mount points) are removed
// themselves, never entered, and nothing is done to an item that the system resolves to a
// place outside the folder. TRUE when the folder could be listed.
BOOL DeleteFolderContents(const std::wstring& strFolder, const std::atomic<BOOL>& bCancel) noexcept;
