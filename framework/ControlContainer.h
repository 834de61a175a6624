#pragma once
// ActiveX control containment as the dialogs see it. A dialog whose template names controls by
// CLSID gets a container from the installed factory; the container creates those controls in
// place, offers them keys before dialog navigation and tears them down while the dialog's
// window still exists.
#include <windows.h>
#include <memory>
#include <vector>

#include "framework/DialogTemplate.h"

namespace fw {

class Dialog;

class ControlContainer {
public:
  virtual ~ControlContainer() = default;
  // At WM_INITDIALOG, before the dialog's own initialisation.
  virtual void CreateControls(Dialog& dialog, const std::vector<TemplateControl>& controls) noexcept = 0;
  // Every message whose target lies in the dialog, before the dialog's keyboard handling.
  virtual bool PreTranslateMessage(MSG* msg) noexcept = 0;
  // At WM_DESTROY of the dialog.
  virtual void Teardown() noexcept = 0;
};

using ControlContainerFactory = std::unique_ptr<ControlContainer> (*)();

// Installs the factory (null: templates with CLSID items are used as they are and fail to
// create, as without containment).
void SetControlContainerFactory(ControlContainerFactory factory) noexcept;
ControlContainerFactory GetControlContainerFactory() noexcept;

}  // namespace fw
