// The cache cleaner on the real URL cache and the real Cookies and Temporary Internet Files
// folders of the test prefix.
#include <gtest/gtest.h>

#include <algorithm>

#include "AllocationFailure.h"
#include "CacheFixture.h"
#include "cache/CacheCleaner.h"
#include "common/RealInput.h"
#include "common/TestSupport.h"

namespace cache_test {
namespace {

const std::wstring kLongName = L"long-" + std::wstring(170, L'n') + L".txt";

// A tree in a cleaned folder. Returns what must remain of it: the "desktop.ini" files and the
// folders that keep one (and, under Wine, the links, which no call there can remove without
// acting on their targets).
std::set<std::wstring> PlantTree(const std::wstring& root, const Canary& canary) {
  const std::pair<const wchar_t*, DWORD> files[] = {
      {L"desktop.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
      {L"plain.txt", FILE_ATTRIBUTE_NORMAL},
      {L"readonly.txt", FILE_ATTRIBUTE_READONLY},
      {L"hidden.dat", FILE_ATTRIBUTE_HIDDEN},
      {L"system.dat", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
      {L"all.dat", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
      {L"a\\desktop.ini", FILE_ATTRIBUTE_NORMAL},
      {L"a\\one.txt", FILE_ATTRIBUTE_NORMAL},
      {L"a\\b\\two.txt", FILE_ATTRIBUTE_READONLY},
      {L"a\\b\\c\\desktop.ini", FILE_ATTRIBUTE_READONLY},
      {L"a\\b\\c\\three.txt", FILE_ATTRIBUTE_HIDDEN},
      {L"rodir\\inside.txt", FILE_ATTRIBUTE_NORMAL},
      {L"upper\\Desktop.ini", FILE_ATTRIBUTE_NORMAL},
      {L"deep\\1\\2\\3\\4\\5\\6\\7\\8\\file.txt", FILE_ATTRIBUTE_NORMAL},
  };
  for (const auto& f : files) EXPECT_TRUE(MakeFile(root + L"\\" + f.first, f.second)) << f.first;
  EXPECT_TRUE(MakeFile(root + L"\\" + kLongName));
  EXPECT_TRUE(MakeFile(root + L"\\a\\" + kLongName, FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(MakeFolder(root + L"\\empty"));
  ::SetFileAttributesW((root + L"\\rodir").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(MakeLink(root + L"\\dirlink", canary.Dir()));
  EXPECT_TRUE(MakeLink(root + L"\\a\\filelink", canary.File()));
  EXPECT_TRUE(MakeLink(root + L"\\writablelink", canary.WritableFile()));

  std::set<std::wstring> survivors = {L"desktop.ini", L"a\\", L"a\\desktop.ini", L"a\\b\\", L"a\\b\\c\\",
                                      L"a\\b\\c\\desktop.ini"};
  if (testing_support::OnWine()) survivors.insert({L"dirlink", L"a\\filelink", L"writablelink"});
  return survivors;
}

class CacheCleanerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(server.Running());
    cookies = CookiesFolder();
    cache = CacheFolder();
    ASSERT_FALSE(cookies.empty());
    ASSERT_FALSE(cache.empty());
    // Start from what the cleaner leaves behind. The folders go first: WinINet keeps the
    // folders of its index in memory once it has opened it, and cannot store anything in this
    // process after they have been deleted under it; opened afterwards, it makes them anew.
    RemovePlanted();
    std::atomic<BOOL> never{FALSE};
    DeleteFolderContents(cookies, never);
    DeleteFolderContents(cache, never);
    baseCookies = ListTree(cookies);
    baseCache = ListTree(cache);
    ClearUrlCache(1, never);
    ClearUrlCache(0, never);
  }

  void TearDown() override { RemovePlanted(); }

  // Links survive the cleaner under Wine, so what PlantTree made goes explicitly.
  void RemovePlanted() {
    if (cookies.empty() || cache.empty()) return;  // a path of its own is never derived from ""
    std::vector<std::wstring> planted;
    for (const std::wstring& root : {cookies, cache}) {
      for (const wchar_t* name : {L"\\dirlink", L"\\writablelink", L"\\a"}) planted.push_back(root + name);
    }
    RemoveTrees(planted);
  }

  // Runs the whole cleaning on a worker, as the dialog does, and waits for its end.
  void RunCleaner(std::shared_ptr<CCleanCacheJob> job) {
    CleanerThread worker(std::move(job));
    ASSERT_TRUE(worker.Started());
    worker.Resume();
    DWORD code = 1;
    ASSERT_TRUE(worker.Join(60000, &code));
    EXPECT_EQ(code, 0u);
  }

  // What remains of a folder is what had to stay, plus the index files of WinINet's
  // containers: this process keeps them mapped, so their deletion stays pending until it ends.
  static void ExpectOnlyKept(const std::wstring& root, const std::set<std::wstring>& kept) {
    const std::set<std::wstring> left = ListTree(root);
    for (const std::wstring& k : kept) EXPECT_TRUE(left.count(k)) << "gone: " << testing::PrintToString(k);
    const auto pendingIndex = [&](const std::wstring& item) {
      for (const std::wstring& other : left) {
        const size_t slash = other.find_last_of(L'\\');
        const std::wstring name = slash == std::wstring::npos ? other : other.substr(slash + 1);
        if (name == L"index.dat" && other.compare(0, item.size(), item) == 0) return true;
      }
      return false;
    };
    for (const std::wstring& item : left) {
      if (!kept.count(item) && !pendingIndex(item)) ADD_FAILURE() << "left behind: " << testing::PrintToString(item);
    }
  }

  static std::set<std::wstring> Union(std::set<std::wstring> a, const std::set<std::wstring>& b) {
    a.insert(b.begin(), b.end());
    return a;
  }

  CachePortal server;
  std::wstring cookies, cache;
  std::set<std::wstring> baseCookies, baseCache;
};

TEST_F(CacheCleanerTest, EmptiesUrlCacheAndBothFoldersKeepsDesktopIniAndNeverReachesBehindLinks) {
  ASSERT_TRUE(FillUrlCache(server, 6, 3));
  const auto before = UrlCacheEntries();
  ASSERT_GE(std::count_if(before.begin(), before.end(), [](const CacheEntry& e) { return e.IsCookie(); }), 3);
  ASSERT_GE(std::count_if(before.begin(), before.end(), [](const CacheEntry& e) { return !e.IsCookie(); }), 6);

  Canary canaryCookies(L"cookies"), canaryCache(L"cache");
  const auto cookieSurvivors = PlantTree(cookies, canaryCookies);
  const auto cacheSurvivors = PlantTree(cache, canaryCache);
  const auto snapCookies = canaryCookies.Snapshot(), snapCache = canaryCache.Snapshot();
  const long long binBefore = RecycleBinItems();

  DoneCounter done;
  RunCleaner(MakeCleanCacheJob(done.Handle()));
  testing_support::PumpUntil([&] { return done.Count() > 0; }, 2000);
  EXPECT_EQ(done.Count(), 1);

  for (const CacheEntry& e : UrlCacheEntries()) ADD_FAILURE() << "left in the URL cache: " << testing::PrintToString(e.url);
  ExpectOnlyKept(cookies, Union(baseCookies, cookieSurvivors));
  ExpectOnlyKept(cache, Union(baseCache, cacheSurvivors));
  EXPECT_EQ(canaryCookies.Snapshot(), snapCookies);
  EXPECT_EQ(canaryCache.Snapshot(), snapCache);
  EXPECT_EQ(RecycleBinItems(), binBefore);

}

TEST_F(CacheCleanerTest, EachUrlCacheStepDeletesOnlyItsKindAndAnEmptyCacheStartsNoEnumeration) {
  struct Case {
    int mode;
    bool cookiesLeft, pagesLeft;
  };
  for (const Case c : {Case{1, false, true}, Case{0, true, false}}) {
    SCOPED_TRACE(c.mode);
    ASSERT_TRUE(FillUrlCache(server, 4, 3));
    std::atomic<BOOL> never{FALSE};
    EXPECT_TRUE(ClearUrlCache(c.mode, never));
    const auto left = UrlCacheEntries();
    EXPECT_EQ(std::any_of(left.begin(), left.end(), [](const CacheEntry& e) { return e.IsCookie(); }), c.cookiesLeft);
    EXPECT_EQ(std::any_of(left.begin(), left.end(), [](const CacheEntry& e) { return !e.IsCookie(); }), c.pagesLeft);
    ClearUrlCache(1, never);
    ClearUrlCache(0, never);
  }
  ASSERT_TRUE(UrlCacheEntries().empty());
  std::atomic<BOOL> never{FALSE};
  EXPECT_FALSE(ClearUrlCache(1, never));
  EXPECT_FALSE(ClearUrlCache(0, never));
  EXPECT_FALSE(DeleteFolderContents(cache + L"\\no such folder", never));
}

// The cancel tests count items one by one, so their folders are flat scratch folders that
// WinINet does not write into.
TEST_F(CacheCleanerTest, CancelStopsAfterTheCurrentItemAndLaterStepsHandleAtMostTheirFirst) {
  ScratchFolder big(L"big"), later(L"later");
  for (int i = 0; i < 1500; ++i) ASSERT_TRUE(MakeFile(big.Path() + L"\\f" + std::to_wstring(i) + L".txt"));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(MakeFile(later.Path() + L"\\later" + std::to_wstring(i) + L".txt"));
  ASSERT_TRUE(FillUrlCache(server, 5, 0));
  const size_t pagesBefore = UrlCacheEntries().size();

  auto job = MakeCleanCacheJob(nullptr);
  job->m_strCookies = big.Path();
  job->m_strCache = later.Path();
  CleanerThread worker(job);
  worker.Resume();
  ASSERT_TRUE(testing_support::PumpUntil([&] { return ListTree(big.Path()).size() < 1400; }, 30000));
  job->m_bCancel = TRUE;
  const size_t leftAtCancel = ListTree(big.Path()).size();
  ASSERT_TRUE(worker.Join(30000));

  const size_t leftInBig = ListTree(big.Path()).size();
  EXPECT_GT(leftInBig, 0u);
  EXPECT_LE(leftAtCancel - leftInBig, 1u) << "at most the item in hand when the flag was seen";
  EXPECT_LE(pagesBefore - UrlCacheEntries().size(), 1u);
  EXPECT_LE(5 - ListTree(later.Path()).size(), 1u);
}

TEST_F(CacheCleanerTest, ACancelRequestBeforeTheStartLetsEveryStepHandleOnlyItsFirstItem) {
  ScratchFolder first(L"first"), second(L"second");
  for (const std::wstring& root : {first.Path(), second.Path()}) {
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(MakeFile(root + L"\\item" + std::to_wstring(i) + L".txt"));
  }
  ASSERT_TRUE(FillUrlCache(server, 4, 4));
  const auto entriesBefore = UrlCacheEntries();

  auto job = MakeCleanCacheJob(nullptr);
  job->m_strCookies = first.Path();
  job->m_strCache = second.Path();
  job->m_bCancel = TRUE;
  RunCleaner(job);

  const auto entriesAfter = UrlCacheEntries();
  const auto count = [](const std::vector<CacheEntry>& v, bool cookie) {
    return std::count_if(v.begin(), v.end(), [&](const CacheEntry& e) { return e.IsCookie() == cookie; });
  };
  EXPECT_EQ(count(entriesBefore, true) - count(entriesAfter, true), 1);
  EXPECT_LE(count(entriesBefore, false) - count(entriesAfter, false), 1);
  EXPECT_EQ(ListTree(first.Path()).size(), 5u);
  EXPECT_EQ(ListTree(second.Path()).size(), 5u);
}

// An allocation that fails on the worker ends the step it happens in; the worker goes on,
// reports its end and returns normally, whichever allocation it is. The folder steps work on
// scratch folders so that WinINet can store entries again for every round.
TEST_F(CacheCleanerTest, AllocationFailureOnTheWorkerEndsTheStepNeverTheWorker) {
  Canary canary(L"alloc");
  ScratchFolder first(L"first"), second(L"second");
  for (long allowed : {0L, 1L, 2L, 4L, 8L, 16L, 64L}) {
    SCOPED_TRACE(allowed);
    ASSERT_TRUE(FillUrlCache(server, 3, 2));
    ASSERT_TRUE(MakeFile(first.Path() + L"\\x\\y\\" + kLongName, FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(second.Path() + L"\\p\\q\\" + kLongName));
    ASSERT_TRUE(MakeLink(second.Path() + L"\\p\\link", canary.Dir()));
    const auto snap = canary.Snapshot();

    DoneCounter done;
    auto job = MakeCleanCacheJob(done.Handle());
    job->m_strCookies = first.Path();
    job->m_strCache = second.Path();
    CleanerThread worker(job);
    FailAllocationsOn(worker.Id(), allowed);
    worker.Resume();
    DWORD code = 1;
    const bool ended = worker.Join(30000, &code);
    StopFailingAllocations();
    ASSERT_TRUE(ended);
    EXPECT_EQ(code, 0u);
    testing_support::PumpUntil([&] { return done.Count() > 0; }, 2000);
    EXPECT_EQ(done.Count(), 1);
    EXPECT_EQ(canary.Snapshot(), snap);
    RemoveTree(second.Path() + L"\\p\\link");
  }

  // With every allocation failing, each step ends at once and leaves its items in place.
  ASSERT_TRUE(FillUrlCache(server, 2, 0));
  ASSERT_TRUE(MakeFile(second.Path() + L"\\kept\\" + kLongName));
  const size_t entries = UrlCacheEntries().size();
  std::atomic<BOOL> never{FALSE};
  FailAllocationsOn(::GetCurrentThreadId(), 0);
  const BOOL urlStarted = ClearUrlCache(0, never);
  const BOOL listed = DeleteFolderContents(second.Path(), never);
  StopFailingAllocations();
  EXPECT_FALSE(urlStarted);
  EXPECT_FALSE(listed);
  EXPECT_EQ(UrlCacheEntries().size(), entries);
  EXPECT_TRUE(ListTree(second.Path()).count(L"kept\\" + kLongName));
}

}  // namespace
}  // namespace cache_test
