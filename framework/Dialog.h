#pragma once
// Dialogs from templates: modal with the framework's own loop, or modeless. Enter and Esc
// arrive as the OK and cancel commands; a close request arrives as the cancel command.
#include <windows.h>
#include <memory>

#include "framework/ControlContainer.h"
#include "framework/Window.h"

namespace fw {

class Dialog : public Window {
public:
  explicit Dialog(UINT templateId = 0, HWND parent = nullptr) noexcept;
  ~Dialog() override;

  // Runs the dialog modally and returns the EndDialog result, or -1 when the loop ended on a
  // quit request (which is posted again for the outer loop) or the window could not be made.
  // The owner is disabled while it runs: the given parent, or else the window last active
  // among the main window's popups.
  INT_PTR DoModal() noexcept;

  // Creates the dialog modelessly. Without a parent the main window becomes its owner.
  bool Create(UINT templateId, HWND parent = nullptr) noexcept;

  void EndDialog(INT_PTR result) noexcept;

  // Binds a template control to an object (subclassing it), as dialog data exchange does.
  bool AttachControl(int id, Window& control) noexcept;

  // The container of the template's ActiveX controls, or null when it has none.
  ControlContainer* Container() const noexcept { return m_container.get(); }

  UINT m_nIDTemplate;
  HWND m_hParentWnd;

  bool PreTranslateMessage(MSG* msg) noexcept override;

protected:
  virtual BOOL OnInitDialog() noexcept;
  virtual void DoDataExchange() noexcept {}
  virtual void OnOK() noexcept { EndDialog(IDOK); }
  virtual void OnCancel() noexcept { EndDialog(IDCANCEL); }
  // WM_COMMAND. True: handled. The base maps IDOK and IDCANCEL to OnOK and OnCancel.
  virtual bool OnCommand(WPARAM wp, LPARAM lp) noexcept;
  // WM_CTLCOLOR*: ctlType is CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC. The base colours as the system does.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlType) noexcept;

  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

private:
  static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
  bool CreateFromTemplate(HWND owner) noexcept;

  std::unique_ptr<ControlContainer> m_container;
  std::vector<TemplateControl> m_pendingControls;
  bool m_bModal = false;
  bool m_bEndModal = false;
  INT_PTR m_nModalResult = -1;
};

}  // namespace fw
