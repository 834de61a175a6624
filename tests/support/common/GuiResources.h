#pragma once
// GDI and USER objects held by this process, for leak checks around create/destroy cycles.
#include <windows.h>

namespace testing_support {

// GetGuiResources where it answers. Wine's is a stub that answers 0; there the GDI count is
// read from the process's GDI handle table and the USER count is the number of windows the
// process owns (its windows are what a leaking USER object would be here).
DWORD GdiObjectCount();
DWORD UserObjectCount();

}  // namespace testing_support
