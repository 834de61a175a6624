#include "game/TitleBarLayout.h"

TitleBarLayout ComputeTitleBarLayout(int clientWidth, const TitleBarImageWidths& w) noexcept {
  TitleBarLayout l{};
  int x = clientWidth - 2;  // a 2-pixel margin at the right edge
  x -= w.close;
  l.close = {x, w.close};
  x -= w.restore;
  l.restore = {x, w.restore};
  l.maximize = l.restore;  // maximise and restore share one place; only one is shown
  x -= w.minimize;
  l.minimize = {x, w.minimize};
  x -= 40 + w.fullScreen;  // a gap between the window buttons and the game's own
  l.fullScreen = {x, w.fullScreen};
  // These three are 2 pixels narrower than their images: the images' last two columns are
  // cut off so that neighbours sit flush.
  x -= w.boss - 2;
  l.boss = {x, w.boss - 2};
  x -= w.clean - 2;
  l.clean = {x, w.clean - 2};
  x -= w.refresh - 2;
  l.refresh = {x, w.refresh - 2};
  x -= w.server + 2;  // and a 2-pixel gap before the server button
  l.server = {x, w.server};
  return l;
}
