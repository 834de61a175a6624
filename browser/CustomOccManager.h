#pragma once
// The application's control-container manager: every control a dialog hosts gets a
// CCustomControlSite.
#include "framework/OccManager.h"

class CImpIDispatch;

class CCustomOccManager : public fw::OccManager {
public:
  // `external`: where the application keeps (or will keep) its external object.
  explicit CCustomOccManager(CImpIDispatch* const* external) noexcept : m_ppExternal(external) {}
  ~CCustomOccManager() override;

  fw::OleControlSite* CreateSite(fw::OleControlContainer& container) noexcept override;

private:
  CImpIDispatch* const* m_ppExternal;
};
