#include "framework/OleControlContainer.h"

#include "framework/Dialog.h"
#include "framework/OccManager.h"

namespace fw {

OleControlContainer::OleControlContainer(OccManager& manager) noexcept : m_manager(manager) {
  // In-place activation needs OLE (not only COM) on this thread. A thread already in the
  // multithreaded apartment keeps it; the controls are then created as well as they can be.
  m_bOleInitialized = SUCCEEDED(::OleInitialize(nullptr));
}

OleControlContainer::~OleControlContainer() {
  Teardown();
  if (m_bOleInitialized) ::OleUninitialize();
}

void OleControlContainer::CreateControls(Dialog& dialog, const std::vector<TemplateControl>& controls) noexcept {
  m_hWnd = dialog.m_hWnd;
  for (const TemplateControl& item : controls) {
    // No control is created without the manager's site.
    Microsoft::WRL::ComPtr<OleControlSite> site(m_manager.CreateSite(*this));
    if (!site) continue;
    if (site->CreateControl(item)) m_sites.push_back(site);
  }
}

OleControlSite* OleControlContainer::FindSite(HWND control) const noexcept {
  if (!control) return nullptr;
  for (const auto& site : m_sites) {
    if (site->GetControlWindow() == control) return site.Get();
  }
  return nullptr;
}

bool OleControlContainer::PreTranslateMessage(MSG* msg) noexcept {
  if (!msg || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
  for (const auto& site : m_sites) {
    HWND control = site->GetControlWindow();
    if (!control || (msg->hwnd != control && !::IsChild(control, msg->hwnd))) continue;
    if (site->PreTranslateKey(msg)) return true;
    // A key the control did not translate still belongs to the page: dialog navigation
    // would take Tab, Enter, Backspace and Delete away from it.
    ::TranslateMessage(msg);
    ::DispatchMessageW(msg);
    return true;
  }
  return false;
}

void OleControlContainer::Teardown() noexcept {
  // Last created, first gone; each site runs the whole teardown of its control.
  while (!m_sites.empty()) {
    Microsoft::WRL::ComPtr<OleControlSite> site = std::move(m_sites.back());
    m_sites.pop_back();
    site->Teardown();
  }
}

OleControlContainer* OleControlContainer::FromDialogWindow(HWND dialog) noexcept {
  auto* owner = dynamic_cast<Dialog*>(Window::FromHandle(dialog));
  return owner ? dynamic_cast<OleControlContainer*>(owner->Container()) : nullptr;
}

}  // namespace fw
