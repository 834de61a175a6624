#include "AllocationFailure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace cache_test {
namespace {
std::atomic<DWORD> g_thread{0};
std::atomic<long> g_allowed{0};
std::atomic<long> g_failed{0};

void* Allocate(std::size_t size) noexcept {
  if (g_thread.load() != 0 && g_thread.load() == ::GetCurrentThreadId() && g_allowed.fetch_sub(1) <= 0) {
    ++g_failed;
    return nullptr;
  }
  return std::malloc(size ? size : 1);
}
}  // namespace

void FailAllocationsOn(DWORD threadId, long allowed) noexcept {
  g_thread = 0;
  g_allowed = allowed;
  g_failed = 0;
  g_thread = threadId;
}

void StopFailingAllocations() noexcept { g_thread = 0; }

long FailedAllocations() noexcept { return g_failed.load(); }

}  // namespace cache_test

// The replaceable allocation functions of the whole test program. The library's operator
// delete frees with free(), which matches malloc() here.
void* operator new(std::size_t size) {
  if (void* p = cache_test::Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return cache_test::Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return cache_test::Allocate(size); }
