#include "browser/CustomOccManager.h"

#include <new>

#include "browser/CustomControlSite.h"

CCustomOccManager::~CCustomOccManager() = default;

fw::OleControlSite* CCustomOccManager::CreateSite(fw::OleControlContainer& container) noexcept {
  return new (std::nothrow) CCustomControlSite(container, m_ppExternal);
}
