#pragma once
// The control-container manager: makes the site of every ActiveX control a dialog hosts.
// The application installs its own with EnableControlContainer before any dialog exists.
#include <windows.h>

namespace fw {

class OleControlContainer;
class OleControlSite;

class OccManager {
public:
  OccManager() noexcept = default;
  virtual ~OccManager() = default;
  OccManager(const OccManager&) = delete;
  OccManager& operator=(const OccManager&) = delete;

  // A new site for a control of `container`, holding no reference yet, or null. The
  // container creates every control through this, so none escapes the manager's site.
  virtual OleControlSite* CreateSite(OleControlContainer& container) noexcept;
};

// Dialogs whose templates name controls by CLSID host them from now on, with sites made by
// `manager` (not owned; it must live as long as any dialog). Null: plain sites.
void EnableControlContainer(OccManager* manager = nullptr) noexcept;

}  // namespace fw
