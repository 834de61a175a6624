// PNG images from resources: what is held after each kind of load, and how long the memory
// behind an image lives.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "GdiPlusTestSupport.h"
#include "TestImages.h"
#include "resource.h"
#include "skin/GdiPlusPng.h"

namespace {

using skin_test::PixelOf;

[[maybe_unused]] const auto* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new skin_test::GdiplusEnvironment);

HMODULE Self() { return ::GetModuleHandleW(nullptr); }

// Blocks in use on the process heap, where global memory and GDI+'s objects live (the C
// runtime's heap is a different one).
size_t BusyProcessHeapBlocks() {
  HANDLE heap = ::GetProcessHeap();
  size_t busy = 0;
  ::HeapLock(heap);
  PROCESS_HEAP_ENTRY entry{};
  while (::HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
  }
  ::HeapUnlock(heap);
  return busy;
}

UINT LockCount(HGLOBAL h) { return ::GlobalFlags(h) & GMEM_LOCKCOUNT; }

struct LoadCase {
  const char* name;
  UINT id;
  bool loads;
  int width, height;
};

// Test names stay the same from build to build.
void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class ResourceLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(ResourceLoad, HoldsTheImageWithItsLockedBlockOrNothingAtAll) {
  const LoadCase& c = GetParam();
  CGdiPlusPngResource png;
  EXPECT_EQ(png.Load(c.id, Self()), c.loads);
  if (c.loads) {
    ASSERT_TRUE(png.m_pImage);
    ASSERT_TRUE(png.m_hBuffer);
    EXPECT_EQ(ImageWidth(png.m_pImage.get()), c.width);
    EXPECT_EQ(ImageHeight(png.m_pImage.get()), c.height);
    EXPECT_EQ(LockCount(png.m_hBuffer.Get()), 1u) << "the block stays locked once while the image lives";
  } else {
    EXPECT_FALSE(png.m_pImage);
    EXPECT_FALSE(png.m_hBuffer);
  }
}

INSTANTIATE_TEST_SUITE_P(Png, ResourceLoad,
                         ::testing::Values(LoadCase{"LoginBack", IDB_LOGIN_BACK, true, 1120, 693},
                                           LoadCase{"CloseStrip", IDB_LOGIN_CLOSE, true, 36, 140},
                                           LoadCase{"Absent", IDT_PNG_ABSENT, false, 0, 0},
                                           LoadCase{"ZeroLength", IDT_PNG_EMPTY, false, 0, 0},
                                           LoadCase{"NotAnImage", IDT_PNG_NOT_AN_IMAGE, false, 0, 0}),
                         [](const ::testing::TestParamInfo<LoadCase>& i) { return std::string(i.param.name); });

TEST(PngResource, LoadingAgainReplacesTheImageOrEmptiesTheObject) {
  CGdiPlusPngResource png;
  ASSERT_TRUE(png.Load(IDB_LOGIN_BACK, Self()));
  ASSERT_TRUE(png.Load(IDT_PNG_STRIP_30X122, Self()));
  EXPECT_EQ(ImageWidth(png.m_pImage.get()), 30);
  EXPECT_EQ(ImageHeight(png.m_pImage.get()), 122);
  EXPECT_EQ(LockCount(png.m_hBuffer.Get()), 1u);
  EXPECT_EQ(PixelOf(png.m_pImage.get(), 5, 45), 0xFF00FF00u);

  EXPECT_FALSE(png.Load(IDT_PNG_NOT_AN_IMAGE, Self()));
  EXPECT_FALSE(png.m_pImage) << "a failed load must not leave the old image behind";
  EXPECT_FALSE(png.m_hBuffer);
}

TEST(PngResource, EmptyAndDestructionFreeTheBlock) {
  CGdiPlusPngResource png;
  ASSERT_TRUE(png.Load(IDT_PNG_STRIP_30X122, Self()));
  HGLOBAL block = png.m_hBuffer.Get();
  png.Empty();
  EXPECT_FALSE(png.m_pImage);
  EXPECT_FALSE(png.m_hBuffer);
  EXPECT_EQ(::GlobalFlags(block), static_cast<UINT>(GMEM_INVALID_HANDLE));
  png.Empty();  // empty twice is harmless

  HGLOBAL second = nullptr;
  {
    CGdiPlusPngResource scoped;
    ASSERT_TRUE(scoped.Load(IDT_PNG_STRIP_30X122, Self()));
    second = scoped.m_hBuffer.Get();
  }
  EXPECT_EQ(::GlobalFlags(second), static_cast<UINT>(GMEM_INVALID_HANDLE));
}

TEST(PngResource, FailedAndEmptiedLoadsLeaveNothingAllocated) {
  // First round: GDI+ and the codecs set up what they keep for the process.
  {
    CGdiPlusPngResource warm;
    warm.Load(IDT_PNG_NOT_AN_IMAGE, Self());
    warm.Load(IDT_PNG_STRIP_30X122, Self());
  }
  const size_t before = BusyProcessHeapBlocks();
  for (int i = 0; i < 20; ++i) {
    CGdiPlusPngResource png;
    png.Load(IDT_PNG_NOT_AN_IMAGE, Self());
    png.Load(IDT_PNG_EMPTY, Self());
    png.Load(IDT_PNG_ABSENT, Self());
    png.Load(IDT_PNG_STRIP_30X122, Self());
  }
  EXPECT_EQ(BusyProcessHeapBlocks(), before);
}

TEST(LoadPngFromResource, GivesAnImageForAnyNonEmptyResourceAndNullOtherwise) {
  EXPECT_FALSE(LoadPngFromResource(Self(), IDT_PNG_ABSENT));
  EXPECT_FALSE(LoadPngFromResource(Self(), IDT_PNG_EMPTY));

  auto broken = LoadPngFromResource(Self(), IDT_PNG_NOT_AN_IMAGE);
  ASSERT_TRUE(broken) << "undecodable bytes still give an image object";
  EXPECT_EQ(ImageWidth(broken.get()), 0);
  EXPECT_NE(broken->GetLastStatus(), Gdiplus::Ok) << "the failed size query is recorded in the image";

  auto strip = LoadPngFromResource(Self(), IDT_PNG_STRIP_30X122);
  ASSERT_TRUE(strip);
  EXPECT_EQ(ImageWidth(strip.get()), 30);
  EXPECT_EQ(ImageHeight(strip.get()), 122);
}

TEST(LoadPngFromResource, ImageStaysDrawableForItsWholeLifeAndTakesItsBytesAlong) {
  auto strip = LoadPngFromResource(Self(), IDT_PNG_STRIP_30X122);
  ASSERT_TRUE(strip);
  // Churn the global heap: a block freed too early would be reused and overwritten here.
  std::vector<HGLOBAL> churn;
  for (int i = 0; i < 64; ++i) {
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, 136);
    if (void* p = ::GlobalLock(h)) {
      std::memset(p, 0xAB, 136);
      ::GlobalUnlock(h);
    }
    churn.push_back(h);
  }
  EXPECT_EQ(PixelOf(strip.get(), 3, 100), 0xFFFF00FFu);
  EXPECT_EQ(PixelOf(strip.get(), 3, 121), 0xFFFFFFFFu);
  for (HGLOBAL h : churn) ::GlobalFree(h);

  strip.reset();
  const size_t before = BusyProcessHeapBlocks();
  for (int i = 0; i < 20; ++i) LoadPngFromResource(Self(), IDT_PNG_STRIP_30X122).reset();
  EXPECT_EQ(BusyProcessHeapBlocks(), before) << "image, stream or block outlived the image";
}

}  // namespace
