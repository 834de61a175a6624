#pragma once
// The site of the hosted browsers: the framework's control site plus IDocHostUIHandler, which
// takes away the border, the scroll bars, the context menu and the browser's own menus, and
// hands pages the application's external object.
#include <windows.h>
#include <mshtmhst.h>

#include "framework/OleControlSite.h"

class CImpIDispatch;

class CCustomControlSite : public fw::OleControlSite {
public:
  // `external` is where the application keeps its external object; it is read each time a
  // page asks, so the object may be made after the site.
  CCustomControlSite(fw::OleControlContainer& container, CImpIDispatch* const* external) noexcept;

  // Shares the site's identity and its one reference count.
  class XDocHostUIHandler : public IDocHostUIHandler {
  public:
    explicit XDocHostUIHandler(CCustomControlSite& site) noexcept : m_site(site) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* pt, IUnknown* cmdTarget,
                                              IDispatch* object) noexcept override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) noexcept override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* cmdTarget,
                                     IOleInPlaceFrame* frame, IOleInPlaceUIWindow* doc) noexcept override;
    HRESULT STDMETHODCALLTYPE HideUI() noexcept override;
    HRESULT STDMETHODCALLTYPE UpdateUI() noexcept override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) noexcept override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) noexcept override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) noexcept override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) noexcept override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg, const GUID* cmdGroup, DWORD cmdId) noexcept override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* dropTarget, IDropTarget** result) noexcept override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** dispatch) noexcept override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, LPWSTR urlIn, LPWSTR* urlOut) noexcept override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* object, IDataObject** result) noexcept override;

  private:
    CCustomControlSite& m_site;
  };

protected:
  ~CCustomControlSite() override;
  IUnknown* GetInterface(REFIID riid) noexcept override;

private:
  XDocHostUIHandler m_xDocHostUIHandler;
  CImpIDispatch* const* m_ppExternal;
};
