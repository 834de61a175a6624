#include "framework/OleControlWindow.h"

#include <wrl/client.h>

#include "framework/OleControlContainer.h"
#include "framework/OleControlSite.h"

namespace fw {

OleControlWindow::~OleControlWindow() {
  // The control destroys its own window when it leaves the in-place state.
  Detach();
}

OleControlSite* OleControlWindow::Site() const noexcept {
  if (!m_hWnd) return nullptr;
  OleControlContainer* container = OleControlContainer::FromDialogWindow(::GetParent(m_hWnd));
  return container ? container->FindSite(m_hWnd) : nullptr;
}

IUnknown* OleControlWindow::GetControlUnknown() const noexcept {
  OleControlSite* site = Site();
  return site ? site->GetControlUnknown() : nullptr;
}

HRESULT OleControlWindow::InvokeHelper(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) const noexcept {
  IUnknown* control = GetControlUnknown();
  if (!control) return E_UNEXPECTED;
  Microsoft::WRL::ComPtr<IDispatch> dispatch;
  HRESULT hr = control->QueryInterface(IID_PPV_ARGS(&dispatch));
  if (FAILED(hr)) return hr;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXCEPINFO excep{};
  UINT argErr = 0;
  hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params ? params : &none, result, &excep, &argErr);
  ::SysFreeString(excep.bstrSource);
  ::SysFreeString(excep.bstrDescription);
  ::SysFreeString(excep.bstrHelpFile);
  return hr;
}

HRESULT OleControlWindow::Advise(REFIID events, IUnknown* sink) const noexcept {
  OleControlSite* site = Site();
  return site ? site->Advise(events, sink) : E_UNEXPECTED;
}

LRESULT OleControlWindow::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (msg == WM_WINDOWPOSCHANGED) {
    const LRESULT result = Window::WindowProc(msg, wp, lp);
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
    // The owner moved the control's window: the control must hear of its new rectangle, or
    // it keeps drawing its content at the old one.
    if (pos && (pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
      if (OleControlSite* site = Site()) site->OnWindowMoved();
    }
    return result;
  }
  return Window::WindowProc(msg, wp, lp);
}

}  // namespace fw
