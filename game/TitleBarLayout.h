#pragma once
#include <windows.h>

// Where the title-bar buttons go for a client width, from the right edge leftwards. Inputs are
// the widths of the buttons' image strips; results are (left, width) pairs at y = 0, 30 high.
struct TitleBarLayout {
  struct Slot {
    int left;
    int width;
  };
  Slot close, restore, maximize, minimize, fullScreen, boss, clean, refresh, server;
};

struct TitleBarImageWidths {
  int close, restore, minimize, fullScreen, boss, clean, refresh, server;
};

TitleBarLayout ComputeTitleBarLayout(int clientWidth, const TitleBarImageWidths& w) noexcept;
