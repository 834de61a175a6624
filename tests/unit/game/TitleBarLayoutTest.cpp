// Title-bar arithmetic for the shipped image widths, at several client widths.
#include <gtest/gtest.h>

#include "game/TitleBarLayout.h"

namespace {

const TitleBarImageWidths kShipped{30, 29, 29, 64, 106, 87, 82, 61};

TEST(TitleBarLayout, PlacesButtonsFromTheRightEdgeWithTheDesignedGapsAndCuts) {
  struct Expected {
    int close, restore, minimize, fullScreen, boss, clean, refresh, server;
  };
  // Every left edge is W minus a fixed offset, whatever the width.
  for (int w : {1024, 1280, 1000, 600}) {
    const TitleBarLayout l = ComputeTitleBarLayout(w, kShipped);
    const Expected expected{w - 32, w - 61, w - 90, w - 194, w - 298, w - 383, w - 463, w - 526};
    EXPECT_EQ(l.close.left, expected.close) << w;
    EXPECT_EQ(l.restore.left, expected.restore) << w;
    EXPECT_EQ(l.maximize.left, expected.restore) << w;
    EXPECT_EQ(l.minimize.left, expected.minimize) << w;
    EXPECT_EQ(l.fullScreen.left, expected.fullScreen) << w;
    EXPECT_EQ(l.boss.left, expected.boss) << w;
    EXPECT_EQ(l.clean.left, expected.clean) << w;
    EXPECT_EQ(l.refresh.left, expected.refresh) << w;
    EXPECT_EQ(l.server.left, expected.server) << w;
  }
  const TitleBarLayout l = ComputeTitleBarLayout(1024, kShipped);
  // x ranges, inclusive, at 1024: close 992..1021, server 498..558.
  EXPECT_EQ(l.close.left, 992);
  EXPECT_EQ(l.close.left + l.close.width - 1, 1021);
  EXPECT_EQ(l.server.left, 498);
  EXPECT_EQ(l.server.left + l.server.width - 1, 558);
  // Boss, clean and refresh lose their images' last two columns; the others keep their width.
  EXPECT_EQ(l.boss.width, 104);
  EXPECT_EQ(l.clean.width, 85);
  EXPECT_EQ(l.refresh.width, 80);
  EXPECT_EQ(l.fullScreen.width, 64);
  EXPECT_EQ(l.server.width, 61);
  // Neighbours touch, except the 40-pixel gap before full screen and 2 pixels before server.
  EXPECT_EQ(l.boss.left + l.boss.width, l.fullScreen.left);
  EXPECT_EQ(l.fullScreen.left + l.fullScreen.width + 40, l.minimize.left);
  EXPECT_EQ(l.server.left + l.server.width + 2, l.refresh.left);
}

}  // namespace
