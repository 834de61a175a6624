#pragma once
// GDI+ headers expect min and max in scope.
#include <windows.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
