#include "framework/OccManager.h"

#include <memory>
#include <new>

#include "framework/Dialog.h"
#include "framework/OleControlContainer.h"
#include "framework/OleControlSite.h"

namespace fw {
namespace {

OccManager* g_manager = nullptr;

std::unique_ptr<ControlContainer> MakeOleControlContainer() {
  static OccManager plain;
  return std::unique_ptr<ControlContainer>(new (std::nothrow) OleControlContainer(g_manager ? *g_manager : plain));
}

}  // namespace

OleControlSite* OccManager::CreateSite(OleControlContainer& container) noexcept {
  return new (std::nothrow) OleControlSite(container);
}

void EnableControlContainer(OccManager* manager) noexcept {
  g_manager = manager;
  SetControlContainerFactory(&MakeOleControlContainer);
}

}  // namespace fw
