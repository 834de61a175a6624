#include "framework/OleControlSite.h"

#include <olectl.h>

#include "framework/OleControlContainer.h"

using Microsoft::WRL::ComPtr;

namespace fw {
namespace {

LONG PixelsToHimetric(LONG pixels, int perInch) { return ::MulDiv(pixels, 2540, perInch); }

}  // namespace

OleControlSite::OleControlSite(OleControlContainer& container) noexcept
    : m_pCtrlCont(&container), m_hWndContainer(container.m_hWnd) {}

OleControlSite::~OleControlSite() = default;

bool OleControlSite::CreateControl(const TemplateControl& item) noexcept {
  CLSID clsid{};
  if (FAILED(::CLSIDFromString(item.classString.c_str(), &clsid)) || !m_hWndContainer) return false;
  m_nID = item.id;
  m_rcPos = item.dialogUnits;
  ::MapDialogRect(m_hWndContainer, &m_rcPos);

  ComPtr<IOleObject> object;
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)))) return false;
  m_pObject = object;

  // Some controls (the WebBrowser among them) must know their site before they initialise,
  // others only after.
  DWORD misc = 0;
  object->GetMiscStatus(DVASPECT_CONTENT, &misc);
  const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
  if (siteFirst) object->SetClientSite(this);
  ComPtr<IPersistStreamInit> persist;
  if (SUCCEEDED(object.As(&persist))) persist->InitNew();
  if (!siteFirst) object->SetClientSite(this);

  {
    HDC screen = ::GetDC(nullptr);
    const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX), dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    SIZEL extent{PixelsToHimetric(m_rcPos.right - m_rcPos.left, dpiX ? dpiX : 96),
                 PixelsToHimetric(m_rcPos.bottom - m_rcPos.top, dpiY ? dpiY : 96)};
    object->SetExtent(DVASPECT_CONTENT, &extent);
  }

  const HRESULT activated =
      object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_hWndContainer, &m_rcPos);
  object.As(&m_pInPlaceObject);
  HWND hwnd = nullptr;
  if (m_pInPlaceObject) m_pInPlaceObject->GetWindow(&hwnd);
  if (FAILED(activated) || !hwnd) {
    // Only windowed controls are hosted; one that did not come up leaves nothing behind.
    Teardown();
    return false;
  }
  m_hWnd = hwnd;

  ::SetWindowLongPtrW(hwnd, GWLP_ID, item.id);
  const LONG keep = ::GetWindowLongW(hwnd, GWL_STYLE) & ~(WS_TABSTOP | WS_GROUP);
  ::SetWindowLongW(hwnd, GWL_STYLE, keep | (item.style & (WS_TABSTOP | WS_GROUP)));
  if (item.style & WS_DISABLED) ::EnableWindow(hwnd, FALSE);
  PlaceInTemplateOrder(item);
  // The control shows its window when it goes in place; a template item without WS_VISIBLE
  // stays hidden until its owner shows it.
  ::ShowWindow(hwnd, (item.style & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
  return true;
}

void OleControlSite::PlaceInTemplateOrder(const TemplateControl& item) noexcept {
  // Tab order is z-order: the control goes right after the item that precedes it in the
  // template, or first. A missing predecessor leaves it where the control put its window.
  HWND after = HWND_TOP;  // null, as is a missing predecessor
  if (!item.first) {
    after = ::GetDlgItem(m_hWndContainer, item.previousId);
    if (!after) return;
  }
  ::SetWindowPos(m_hWnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void OleControlSite::Teardown() noexcept {
  // Keep ourselves alive: the control's last Release of its site may come inside these calls.
  ComPtr<OleControlSite> self(this);

  // 1. No events may reach a window that is going away.
  for (Connection& c : m_connections) c.point->Unadvise(c.cookie);
  m_connections.clear();
  // 2. Out of the in-place state while the parent window still exists.
  if (m_pInPlaceObject) m_pInPlaceObject->InPlaceDeactivate();
  // 3. The control drops its pointer to us before it closes, so Close cannot call back here.
  if (m_pObject) {
    m_pObject->SetClientSite(nullptr);
    // 4.
    m_pObject->Close(OLECLOSE_NOSAVE);
  }
  // 5.
  m_pActiveObject.Reset();
  m_pInPlaceObject.Reset();
  m_pObject.Reset();

  // A control that leaked a reference to us finds a site without a dialog behind it.
  m_hWnd = nullptr;
  m_hWndContainer = nullptr;
  m_pCtrlCont = nullptr;
}

HRESULT OleControlSite::Advise(REFIID events, IUnknown* sink) noexcept {
  if (!sink) return E_POINTER;
  if (!m_pObject) return E_UNEXPECTED;
  ComPtr<IConnectionPointContainer> points;
  HRESULT hr = m_pObject.As(&points);
  if (FAILED(hr)) return hr;
  ComPtr<IConnectionPoint> point;
  hr = points->FindConnectionPoint(events, &point);
  if (FAILED(hr)) return hr;
  if (!point) return E_UNEXPECTED;
  DWORD cookie = 0;
  hr = point->Advise(sink, &cookie);
  if (FAILED(hr)) return hr;
  m_connections.push_back({point, cookie});
  return S_OK;
}

bool OleControlSite::PreTranslateKey(MSG* msg) noexcept {
  ComPtr<IOleInPlaceActiveObject> active = m_pActiveObject;
  // A control that was never UI-activated has not announced its active object: ask it.
  if (!active && m_pObject) m_pObject.As(&active);
  return active && active->TranslateAccelerator(msg) == S_OK;
}

void OleControlSite::OnWindowMoved() noexcept {
  if (!m_hWnd || !m_hWndContainer || !m_pInPlaceObject) return;
  RECT rc{};
  ::GetWindowRect(m_hWnd, &rc);
  ::MapWindowPoints(nullptr, m_hWndContainer, reinterpret_cast<POINT*>(&rc), 2);
  // The control moves its own window in answer, which brings us back here with an equal
  // rectangle: that ends the exchange.
  if (::EqualRect(&rc, &m_rcPos)) return;
  m_rcPos = rc;
  m_pInPlaceObject->SetObjectRects(&m_rcPos, &m_rcPos);
}

// IUnknown -------------------------------------------------------------------------------

IUnknown* OleControlSite::GetInterface(REFIID riid) noexcept {
  if (riid == IID_IUnknown || riid == IID_IOleClientSite) return static_cast<IOleClientSite*>(this);
  if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) return static_cast<IOleInPlaceSite*>(this);
  if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame) return static_cast<IOleInPlaceFrame*>(this);
  if (riid == IID_IOleControlSite) return static_cast<IOleControlSite*>(this);
  if (riid == IID_IDispatch) return static_cast<IDispatch*>(this);
  return nullptr;
}

HRESULT OleControlSite::ExternalQueryInterface(REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  IUnknown* found = GetInterface(riid);
  *ppv = found;
  if (!found) return E_NOINTERFACE;
  ExternalAddRef();
  return S_OK;
}

ULONG OleControlSite::ExternalAddRef() noexcept { return static_cast<ULONG>(::InterlockedIncrement(&m_cRef)); }

ULONG OleControlSite::ExternalRelease() noexcept {
  const LONG left = ::InterlockedDecrement(&m_cRef);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT OleControlSite::QueryInterface(REFIID riid, void** ppv) noexcept { return ExternalQueryInterface(riid, ppv); }
ULONG OleControlSite::AddRef() noexcept { return ExternalAddRef(); }
ULONG OleControlSite::Release() noexcept { return ExternalRelease(); }

// IOleClientSite ---------------------------------------------------------------------------

HRESULT OleControlSite::SaveObject() noexcept { return E_NOTIMPL; }

HRESULT OleControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT OleControlSite::GetContainer(IOleContainer** container) noexcept {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT OleControlSite::ShowObject() noexcept { return S_OK; }
HRESULT OleControlSite::OnShowWindow(BOOL) noexcept { return S_OK; }
HRESULT OleControlSite::RequestNewObjectLayout() noexcept { return E_NOTIMPL; }

// IOleWindow -------------------------------------------------------------------------------

HRESULT OleControlSite::GetWindow(HWND* hwnd) noexcept {
  if (!hwnd) return E_POINTER;
  *hwnd = m_hWndContainer;
  return m_hWndContainer ? S_OK : E_FAIL;
}

HRESULT OleControlSite::ContextSensitiveHelp(BOOL) noexcept { return E_NOTIMPL; }

// IOleInPlaceSite --------------------------------------------------------------------------

HRESULT OleControlSite::CanInPlaceActivate() noexcept { return m_hWndContainer ? S_OK : S_FALSE; }
HRESULT OleControlSite::OnInPlaceActivate() noexcept { return S_OK; }
HRESULT OleControlSite::OnUIActivate() noexcept { return S_OK; }

HRESULT OleControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos,
                                         RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) noexcept {
  if (frame) {
    *frame = this;
    AddRef();
  }
  // The dialog is frame and document window at once.
  if (doc) *doc = nullptr;
  if (pos) *pos = m_rcPos;
  if (clip) *clip = m_rcPos;
  if (frameInfo) {
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = m_hWndContainer;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
  }
  return (frame && pos && clip) ? S_OK : E_POINTER;
}

HRESULT OleControlSite::Scroll(SIZE) noexcept { return S_FALSE; }
HRESULT OleControlSite::OnUIDeactivate(BOOL) noexcept { return S_OK; }

HRESULT OleControlSite::OnInPlaceDeactivate() noexcept {
  m_pActiveObject.Reset();
  return S_OK;
}

HRESULT OleControlSite::DiscardUndoState() noexcept { return E_NOTIMPL; }
HRESULT OleControlSite::DeactivateAndUndo() noexcept { return E_NOTIMPL; }

HRESULT OleControlSite::OnPosRectChange(const RECT* pos) noexcept {
  if (!pos) return E_POINTER;
  m_rcPos = *pos;
  if (m_pInPlaceObject) m_pInPlaceObject->SetObjectRects(&m_rcPos, &m_rcPos);
  return S_OK;
}

// IOleInPlaceUIWindow / IOleInPlaceFrame: a dialog has no tool space and no menus ----------

HRESULT OleControlSite::GetBorder(RECT*) noexcept { return INPLACE_E_NOTOOLSPACE; }
HRESULT OleControlSite::RequestBorderSpace(const BORDERWIDTHS*) noexcept { return INPLACE_E_NOTOOLSPACE; }
HRESULT OleControlSite::SetBorderSpace(const BORDERWIDTHS*) noexcept { return INPLACE_E_NOTOOLSPACE; }

HRESULT OleControlSite::SetActiveObject(IOleInPlaceActiveObject* active, const OLECHAR*) noexcept {
  m_pActiveObject = active;
  return S_OK;
}

HRESULT OleControlSite::InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) noexcept { return E_NOTIMPL; }
HRESULT OleControlSite::SetMenu(HMENU, HOLEMENU, HWND) noexcept { return S_OK; }
HRESULT OleControlSite::RemoveMenus(HMENU) noexcept { return E_NOTIMPL; }
HRESULT OleControlSite::SetStatusText(const OLECHAR*) noexcept { return S_OK; }
HRESULT OleControlSite::EnableModeless(BOOL) noexcept { return S_OK; }
HRESULT OleControlSite::TranslateAccelerator(MSG*, WORD) noexcept { return S_FALSE; }

// IOleControlSite --------------------------------------------------------------------------

HRESULT OleControlSite::OnControlInfoChanged() noexcept { return S_OK; }
HRESULT OleControlSite::LockInPlaceActive(BOOL) noexcept { return E_NOTIMPL; }

HRESULT OleControlSite::GetExtendedControl(IDispatch** disp) noexcept {
  if (disp) *disp = nullptr;
  return E_NOTIMPL;
}

HRESULT OleControlSite::TransformCoords(POINTL*, POINTF*, DWORD) noexcept { return E_NOTIMPL; }
HRESULT OleControlSite::TranslateAccelerator(MSG*, DWORD) noexcept { return S_FALSE; }
HRESULT OleControlSite::OnFocus(BOOL) noexcept { return S_OK; }
HRESULT OleControlSite::ShowPropertyFrame() noexcept { return E_NOTIMPL; }

// IDispatch: ambient properties ------------------------------------------------------------

HRESULT OleControlSite::GetTypeInfoCount(UINT* count) noexcept {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT OleControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT OleControlSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) noexcept {
  if (ids) {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT OleControlSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                               UINT*) noexcept {
  if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
  switch (id) {
    case DISPID_AMBIENT_USERMODE:
      ::VariantInit(result);
      result->vt = VT_BOOL;
      result->boolVal = VARIANT_TRUE;
      return S_OK;
    default:
      // Everything else keeps the control's default.
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace fw
