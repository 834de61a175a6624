#include "cache/CacheCleaner.h"

#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <cwchar>
#include <iterator>
#include <new>

#include "framework/Handles.h"
#include "resource.h"

namespace {

// One heap block holding one INTERNET_CACHE_ENTRY_INFOW, of the size WinINet asked for.
class EntryBlock {
public:
  EntryBlock() noexcept = default;
  ~EntryBlock() { ::operator delete(m_p); }
  EntryBlock(const EntryBlock&) = delete;
  EntryBlock& operator=(const EntryBlock&) = delete;

  INTERNET_CACHE_ENTRY_INFOW* Entry() const noexcept { return static_cast<INTERNET_CACHE_ENTRY_INFOW*>(m_p); }
  DWORD Size() const noexcept { return m_size; }
  bool Reset(DWORD size) noexcept {
    ::operator delete(m_p);
    m_size = 0;
    m_p = ::operator new(size, std::nothrow);
    if (!m_p) return false;
    m_size = size;
    return true;
  }

private:
  void* m_p = nullptr;
  DWORD m_size = 0;
};

struct UrlCacheFindTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() noexcept { return nullptr; }
  static bool IsValid(HANDLE h) noexcept { return h != nullptr; }
  static void Close(HANDLE h) noexcept { ::FindCloseUrlCache(h); }
};
using UrlCacheFind = fw::UniqueHandle<UrlCacheFindTraits>;

// Calls fetch(block, &size) and, while WinINet answers that the block is too small, again with
// a block of the size it reports. The first call with an empty block is the size query. A
// too-small answer does not move an enumeration on, so the retry fetches the same entry.
template <typename Fetch>
bool FetchEntry(EntryBlock& block, Fetch fetch) noexcept {
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD size = block.Size();
    if (fetch(block.Entry(), &size)) return block.Entry() != nullptr;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= block.Size()) return false;
    if (!block.Reset(size)) return false;  // out of memory: the step ends here
  }
  return false;
}

// One enumeration of the URL cache. handled tells the caller whether an entry was seen.
bool ClearUrlCachePass(const wchar_t* pattern, int nMode, const std::atomic<BOOL>& bCancel, bool& handled) noexcept {
  EntryBlock block;
  UrlCacheFind find;
  const bool started = FetchEntry(block, [&](INTERNET_CACHE_ENTRY_INFOW* entry, DWORD* size) {
    find.Reset(::FindFirstUrlCacheEntryW(pattern, entry, size));
    return static_cast<bool>(find);
  });
  if (!started) return false;
  for (;;) {
    const INTERNET_CACHE_ENTRY_INFOW* entry = block.Entry();
    const bool cookie = (entry->CacheEntryType & COOKIE_CACHE_ENTRY) != 0;
    if (cookie == (nMode == 1) && entry->lpszSourceUrlName) ::DeleteUrlCacheEntryW(entry->lpszSourceUrlName);
    handled = true;
    if (bCancel.load(std::memory_order_relaxed)) break;
    if (!FetchEntry(block, [&](INTERNET_CACHE_ENTRY_INFOW* next, DWORD* size) {
          return ::FindNextUrlCacheEntryW(find.Get(), next, size) != FALSE;
        })) {
      break;
    }
  }
  return true;
}

enum class ItemKind { Foreign, File, Folder, Link };

// Where the system says an open file lies, with links resolved as it resolves them, or an
// empty string when it cannot tell.
std::wstring FinalPath(HANDLE h) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = ::GetFinalPathNameByHandleW(h, &path[0], static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n);
  }
  return {};
}

bool SamePath(const std::wstring& a, const std::wstring& b) noexcept {
  return !a.empty() && a.size() == b.size() &&
         ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
             CSTR_EQUAL;
}

// What an item is, judged on the item itself (a link is opened as the link, not its target).
// An item whose handle the system resolves to anywhere but its own place in the folder is
// Foreign and left alone: Wine opens even FILE_FLAG_OPEN_REPARSE_POINT handles on a symbolic
// link's target, and shows file links without the reparse-point attribute, so there every
// delete or attribute change through such a path would land on the target.
ItemKind Classify(const std::wstring& item, const std::wstring& expectedFinal, DWORD findAttributes, DWORD& attributes) {
  fw::KernelHandle h(::CreateFileW(item.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!h) return ItemKind::Foreign;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(h.Get(), FileAttributeTagInfo, &tag, sizeof tag)) return ItemKind::Foreign;
  if (!SamePath(FinalPath(h.Get()), expectedFinal)) return ItemKind::Foreign;
  attributes = tag.FileAttributes | (findAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return ItemKind::Link;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ItemKind::Folder : ItemKind::File;
}

void ClearReadOnly(const std::wstring& item, DWORD attributes) noexcept {
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return;
  // Hidden, system and the rest stay as they are; no bits at all has to be spelt NORMAL.
  DWORD rest = attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
  ::SetFileAttributesW(item.c_str(), rest ? rest : FILE_ATTRIBUTE_NORMAL);
}

// One name per operation, and no undo flag: the file is gone for good, not in the Recycle Bin.
void ShellDelete(const std::wstring& item) {
  std::wstring from = item;
  from.push_back(L'\0');  // with the string's own terminator: a list of exactly one name
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  ::SHFileOperationW(&op);
}

bool WalkFolder(const std::wstring& folder, const std::wstring& folderFinal, const std::atomic<BOOL>& bCancel) {
  const std::wstring pattern = folder + L"\\*.*";
  WIN32_FIND_DATAW fd;
  fw::FindHandle find(::FindFirstFileW(pattern.c_str(), &fd));
  if (!find) return false;
  std::wstring item, expected;
  do {
    const wchar_t* name = fd.cFileName;
    // Exact and case-sensitive on purpose: "Desktop.ini" goes.
    if (!std::wcscmp(name, L".") || !std::wcscmp(name, L"..") || !std::wcscmp(name, L"desktop.ini")) continue;
    item.assign(folder).append(L"\\").append(name);
    expected.assign(folderFinal).append(L"\\").append(name);
    DWORD attributes = 0;
    switch (Classify(item, expected, fd.dwFileAttributes, attributes)) {
      case ItemKind::Link:
        // The link itself goes; entering it would empty its target, and the shell's delete
        // or a change of attributes would act on the target too.
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
          ::RemoveDirectoryW(item.c_str());
        } else {
          ::DeleteFileW(item.c_str());
        }
        break;
      case ItemKind::Folder:
        ClearReadOnly(item, attributes);
        WalkFolder(item, expected, bCancel);
        ::RemoveDirectoryW(item.c_str());  // fails, as it should, when a desktop.ini stayed inside
        break;
      case ItemKind::File:
        ClearReadOnly(item, attributes);
        ShellDelete(item);
        break;
      case ItemKind::Foreign:
        break;
    }
    if (bCancel.load(std::memory_order_relaxed)) break;
  } while (::FindNextFileW(find.Get(), &fd));
  return true;
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  // FALSE: a folder the user does not have is not created just to be emptied.
  if (!::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) return {};
  return path;
}

}  // namespace

BOOL ClearUrlCache(int nMode, const std::atomic<BOOL>& bCancel) noexcept {
  // On Windows a search without a pattern never returns cookie entries: they answer only to
  // their container's prefix. Wine returns them to "Cookie:" and compares case-sensitively.
  // The prefixes come first so that after a cancel request the one entry a step still handles
  // is a cookie.
  static const wchar_t* const kCookiePatterns[] = {L"cookie:", L"Cookie:", nullptr};
  static const wchar_t* const kContentPatterns[] = {nullptr};
  const wchar_t* const* patterns = nMode == 1 ? kCookiePatterns : kContentPatterns;
  const size_t count = nMode == 1 ? std::size(kCookiePatterns) : std::size(kContentPatterns);
  BOOL started = FALSE;
  bool handled = false;
  for (size_t i = 0; i < count; ++i) {
    // After a cancel request a step handles at most its first entry, over all its searches.
    if (handled && bCancel.load(std::memory_order_relaxed)) break;
    if (ClearUrlCachePass(patterns[i], nMode, bCancel, handled)) started = TRUE;
  }
  return started;
}

BOOL DeleteFolderContents(const std::wstring& strFolder, const std::atomic<BOOL>& bCancel) noexcept {
  try {
    // The folder may itself be reached through a link; its items are judged against the place
    // it resolves to.
    fw::KernelHandle root(::CreateFileW(strFolder.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!root) return FALSE;
    const std::wstring rootFinal = FinalPath(root.Get());
    root.Reset();
    if (rootFinal.empty()) return FALSE;
    return WalkFolder(strFolder, rootFinal, bCancel) ? TRUE : FALSE;
  } catch (...) {
    // Out of memory: this step ends; the handles of every level were closed on the way out.
    return FALSE;
  }
}

std::shared_ptr<CCleanCacheJob> MakeCleanCacheJob(HWND hNotify) noexcept {
  try {
    auto job = std::make_shared<CCleanCacheJob>();
    job->m_hNotify = hNotify;
    job->m_strCookies = SpecialFolder(CSIDL_COOKIES);
    job->m_strCache = SpecialFolder(CSIDL_INTERNET_CACHE);
    return job;
  } catch (...) {
    return nullptr;
  }
}

unsigned __stdcall CleanCacheThread(void* arg) noexcept {
  const std::unique_ptr<std::shared_ptr<CCleanCacheJob>> owned(static_cast<std::shared_ptr<CCleanCacheJob>*>(arg));
  if (!owned || !*owned) return 0;
  CCleanCacheJob& job = **owned;
  ClearUrlCache(1, job.m_bCancel);
  if (!job.m_strCookies.empty()) DeleteFolderContents(job.m_strCookies, job.m_bCancel);
  ClearUrlCache(0, job.m_bCancel);
  if (!job.m_strCache.empty()) DeleteFolderContents(job.m_strCache, job.m_bCancel);
  if (HWND hNotify = job.m_hNotify.load()) ::PostMessageW(hNotify, WM_CLEANCACHE_DONE, 0, 0);
  return 0;
}
