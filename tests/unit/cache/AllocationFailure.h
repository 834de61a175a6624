#pragma once
// Fault injection for the test program: operator new fails on one chosen thread once that
// thread has made a given number of allocations. Every other thread allocates normally.
#include <windows.h>

namespace cache_test {

// From now on, allocation number `allowed` + 1 and every later one of thread threadId fails.
void FailAllocationsOn(DWORD threadId, long allowed) noexcept;
// Allocations succeed again everywhere.
void StopFailingAllocations() noexcept;
// How many allocations have failed since the last FailAllocationsOn.
long FailedAllocations() noexcept;

}  // namespace cache_test
