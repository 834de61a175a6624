#pragma once
// The ActiveX controls of one dialog: created in place of the template items that name a
// CLSID, each through the installed manager's site, offered the keyboard while they have
// the focus, and torn down while the dialog's window still exists.
#include <windows.h>
#include <wrl/client.h>

#include <vector>

#include "framework/ControlContainer.h"
#include "framework/OleControlSite.h"

namespace fw {

class OccManager;

class OleControlContainer : public ControlContainer {
public:
  explicit OleControlContainer(OccManager& manager) noexcept;
  ~OleControlContainer() override;

  void CreateControls(Dialog& dialog, const std::vector<TemplateControl>& controls) noexcept override;
  bool PreTranslateMessage(MSG* msg) noexcept override;
  void Teardown() noexcept override;

  // The site of the control whose window is `control`, or null.
  OleControlSite* FindSite(HWND control) const noexcept;

  // The container of the dialog `dialog`, or null when it hosts no controls.
  static OleControlContainer* FromDialogWindow(HWND dialog) noexcept;

  // The dialog window.
  HWND m_hWnd = nullptr;

private:
  OccManager& m_manager;
  std::vector<Microsoft::WRL::ComPtr<OleControlSite>> m_sites;
  bool m_bOleInitialized = false;
};

}  // namespace fw
