#pragma once
// A window object bound to a hosted ActiveX control's window (by dialog data exchange): calls
// the control's automation methods by dispatch id and connects event sinks to it. The window
// belongs to the control, so this object never destroys it.
#include <windows.h>
#include <oaidl.h>

#include "framework/Window.h"

namespace fw {

class OleControlSite;

class OleControlWindow : public Window {
public:
  OleControlWindow() noexcept = default;
  ~OleControlWindow() override;

  // The hosted control, or null when the window is not a hosted control (any more).
  IUnknown* GetControlUnknown() const noexcept;

  // IDispatch::Invoke on the control with the user's locale. Never throws; the result of the
  // call, or an error when there is no control to call.
  HRESULT InvokeHelper(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) const noexcept;

  // Connects `sink` to the control's connection point for `events`, until the control is torn
  // down with its dialog.
  HRESULT Advise(REFIID events, IUnknown* sink) const noexcept;

protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

private:
  OleControlSite* Site() const noexcept;
};

}  // namespace fw
