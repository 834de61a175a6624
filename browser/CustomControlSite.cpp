#include "browser/CustomControlSite.h"

#include "browser/ImpIDispatch.h"

CCustomControlSite::CCustomControlSite(fw::OleControlContainer& container, CImpIDispatch* const* external) noexcept
    : fw::OleControlSite(container), m_xDocHostUIHandler(*this), m_ppExternal(external) {}

CCustomControlSite::~CCustomControlSite() = default;

IUnknown* CCustomControlSite::GetInterface(REFIID riid) noexcept {
  if (riid == IID_IDocHostUIHandler) return &m_xDocHostUIHandler;
  return fw::OleControlSite::GetInterface(riid);
}

using X = CCustomControlSite::XDocHostUIHandler;

HRESULT X::QueryInterface(REFIID riid, void** ppv) noexcept { return m_site.ExternalQueryInterface(riid, ppv); }
ULONG X::AddRef() noexcept { return m_site.ExternalAddRef(); }
ULONG X::Release() noexcept { return m_site.ExternalRelease(); }

// S_OK: the host has "shown its own menu", so the page shows none.
HRESULT X::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) noexcept { return S_OK; }

HRESULT X::GetHostInfo(DOCHOSTUIINFO* info) noexcept {
  if (!info) return E_POINTER;
  // The rest of the structure stays as the control passed it.
  info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;
  info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  return S_OK;
}

// S_OK: the host claims the user interface, so the control shows no menus or toolbars.
HRESULT X::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                  IOleInPlaceUIWindow*) noexcept {
  return S_OK;
}

HRESULT X::HideUI() noexcept { return S_OK; }
HRESULT X::UpdateUI() noexcept { return S_OK; }
HRESULT X::EnableModeless(BOOL) noexcept { return E_NOTIMPL; }
HRESULT X::OnDocWindowActivate(BOOL) noexcept { return E_NOTIMPL; }
HRESULT X::OnFrameWindowActivate(BOOL) noexcept { return E_NOTIMPL; }
HRESULT X::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) noexcept { return E_NOTIMPL; }

// S_FALSE: the key is not the host's; the browser's own shortcuts keep working.
HRESULT X::TranslateAccelerator(LPMSG, const GUID*, DWORD) noexcept { return S_FALSE; }

HRESULT X::GetOptionKeyPath(LPOLESTR*, DWORD) noexcept { return E_NOTIMPL; }
HRESULT X::GetDropTarget(IDropTarget*, IDropTarget**) noexcept { return E_NOTIMPL; }

HRESULT X::GetExternal(IDispatch** dispatch) noexcept {
  if (!dispatch) return E_POINTER;
  CImpIDispatch* external = m_site.m_ppExternal ? *m_site.m_ppExternal : nullptr;
  *dispatch = external;
  if (!external) return S_FALSE;
  external->AddRef();
  return S_OK;
}

HRESULT X::TranslateUrl(DWORD, LPWSTR, LPWSTR* urlOut) noexcept {
  if (urlOut) *urlOut = nullptr;
  return E_NOTIMPL;
}

HRESULT X::FilterDataObject(IDataObject*, IDataObject** result) noexcept {
  if (result) *result = nullptr;
  return E_NOTIMPL;
}
