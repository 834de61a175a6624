#pragma once
// The site of one ActiveX control in a dialog: the object the control talks to while it is in
// place. One COM object with one reference count answers every host interface; derived sites
// add interfaces through GetInterface.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <vector>

#include "framework/DialogTemplate.h"

namespace fw {

class OleControlContainer;

class OleControlSite : public IOleClientSite,
                       public IOleInPlaceSite,
                       public IOleInPlaceFrame,
                       public IOleControlSite,
                       public IDispatch {
public:
  explicit OleControlSite(OleControlContainer& container) noexcept;
  OleControlSite(const OleControlSite&) = delete;
  OleControlSite& operator=(const OleControlSite&) = delete;

  // Creates the template's control by its CLSID and activates it in place at the template's
  // rectangle, with the template's id, visibility and place in the tab order. False: there
  // is no control (the site holds nothing afterwards).
  bool CreateControl(const TemplateControl& item) noexcept;

  // Unadvise, in-place deactivate, SetClientSite(null), Close, Release: written once, here.
  // Afterwards the site answers a control that still holds it without reaching the dialog.
  void Teardown() noexcept;

  // Connects a sink to the control's connection point for `events`; the connection ends at
  // Teardown.
  HRESULT Advise(REFIID events, IUnknown* sink) noexcept;

  // Offers a key message to the control's in-place active object. True: the control used it.
  bool PreTranslateKey(MSG* msg) noexcept;

  // The control's window was moved or sized by its owner: tell the control its new place.
  void OnWindowMoved() noexcept;

  IUnknown* GetControlUnknown() const noexcept { return m_pObject.Get(); }
  HWND GetControlWindow() const noexcept { return m_hWnd; }
  int GetID() const noexcept { return m_nID; }
  OleControlContainer* GetControlContainer() const noexcept { return m_pCtrlCont; }

  // The site's identity and its single count; every interface's IUnknown methods end here.
  HRESULT ExternalQueryInterface(REFIID riid, void** ppv) noexcept;
  ULONG ExternalAddRef() noexcept;
  ULONG ExternalRelease() noexcept;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() noexcept override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) noexcept override;
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) noexcept override;
  HRESULT STDMETHODCALLTYPE ShowObject() noexcept override;
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) noexcept override;
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() noexcept override;

  // IOleWindow (shared by the in-place site and the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) noexcept override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) noexcept override;

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() noexcept override;
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() noexcept override;
  HRESULT STDMETHODCALLTYPE OnUIActivate() noexcept override;
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos,
                                             RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) noexcept override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) noexcept override;
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) noexcept override;
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() noexcept override;
  HRESULT STDMETHODCALLTYPE DiscardUndoState() noexcept override;
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() noexcept override;
  HRESULT STDMETHODCALLTYPE OnPosRectChange(const RECT* pos) noexcept override;

  // IOleInPlaceUIWindow
  HRESULT STDMETHODCALLTYPE GetBorder(RECT* border) noexcept override;
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(const BORDERWIDTHS* widths) noexcept override;
  HRESULT STDMETHODCALLTYPE SetBorderSpace(const BORDERWIDTHS* widths) noexcept override;
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, const OLECHAR* name) noexcept override;

  // IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) noexcept override;
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU olemenu, HWND activeObject) noexcept override;
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) noexcept override;
  HRESULT STDMETHODCALLTYPE SetStatusText(const OLECHAR* text) noexcept override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) noexcept override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg, WORD id) noexcept override;

  // IOleControlSite
  HRESULT STDMETHODCALLTYPE OnControlInfoChanged() noexcept override;
  HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL lock) noexcept override;
  HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** disp) noexcept override;
  HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) noexcept override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg, DWORD modifiers) noexcept override;
  HRESULT STDMETHODCALLTYPE OnFocus(BOOL gotFocus) noexcept override;
  HRESULT STDMETHODCALLTYPE ShowPropertyFrame() noexcept override;

  // IDispatch: the ambient properties
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept override;

protected:
  // Deleted by the last Release only.
  virtual ~OleControlSite();

  // The interface of this site that answers riid (without a reference), or null. Derived
  // sites answer theirs and hand the rest to the base.
  virtual IUnknown* GetInterface(REFIID riid) noexcept;

private:
  struct Connection {
    Microsoft::WRL::ComPtr<IConnectionPoint> point;
    DWORD cookie;
  };

  void PlaceInTemplateOrder(const TemplateControl& item) noexcept;

  LONG m_cRef = 0;
  OleControlContainer* m_pCtrlCont;
  HWND m_hWndContainer;
  HWND m_hWnd = nullptr;
  int m_nID = 0;
  RECT m_rcPos{};
  Microsoft::WRL::ComPtr<IOleObject> m_pObject;
  Microsoft::WRL::ComPtr<IOleInPlaceObject> m_pInPlaceObject;
  Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> m_pActiveObject;
  std::vector<Connection> m_connections;
};

}  // namespace fw
