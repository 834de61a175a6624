#pragma once
// A control-container manager that makes the browsers' own sites and counts the ones alive.
#include "browser/CustomControlSite.h"
#include "browser/CustomOccManager.h"

namespace testing_support {

struct TrackedSite : CCustomControlSite {
  static inline int live = 0;
  TrackedSite(fw::OleControlContainer& c, CImpIDispatch* const* e) : CCustomControlSite(c, e) { ++live; }
  ~TrackedSite() override { --live; }
};

struct TrackingManager : CCustomOccManager {
  explicit TrackingManager(CImpIDispatch* const* e) : CCustomOccManager(e), external(e) {}
  int made = 0;
  CImpIDispatch* const* external;
  fw::OleControlSite* CreateSite(fw::OleControlContainer& container) noexcept override {
    ++made;
    return new TrackedSite(container, external);
  }
};

}  // namespace testing_support
