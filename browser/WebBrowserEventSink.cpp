#include "browser/WebBrowserEventSink.h"

#include <exdisp.h>
#include <exdispid.h>

#include <cwchar>
#include <new>
#include <string>

#include "browser/WebBrowserEvents.h"

namespace {

// Arguments arrive in reverse order: rgvarg[cArgs - 1] is the first parameter.
const VARIANT* Arg(const DISPPARAMS& params, UINT index) { return &params.rgvarg[params.cArgs - 1 - index]; }

// The frame: an IDispatch pointer (null allowed).
bool ReadFrame(const VARIANT* v, IDispatch** frame) {
  if (v->vt == VT_DISPATCH) {
    *frame = v->pdispVal;
    return true;
  }
  if (v->vt == (VT_BYREF | VT_DISPATCH) && v->ppdispVal) {
    *frame = *v->ppdispVal;
    return true;
  }
  return false;
}

// The address: a VARIANT by reference that holds a BSTR, or a BSTR itself. Text up to the
// first NUL; a null BSTR is the empty address.
bool ReadUrl(const VARIANT* v, std::wstring* url) {
  if (v->vt == (VT_BYREF | VT_VARIANT)) {
    if (!v->pvarVal) return false;
    v = v->pvarVal;
  }
  if (v->vt != VT_BSTR) return false;
  const BSTR s = v->bstrVal;
  url->assign(s ? s : L"", s ? ::wcsnlen(s, ::SysStringLen(s)) : 0);
  return true;
}

}  // namespace

CWebBrowserEventSink* CWebBrowserEventSink::Create(CWebBrowserEvents* handler) noexcept {
  return new (std::nothrow) CWebBrowserEventSink(handler);
}

HRESULT CWebBrowserEventSink::QueryInterface(REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IDispatch && riid != DIID_DWebBrowserEvents2) return E_NOINTERFACE;
  *ppv = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG CWebBrowserEventSink::AddRef() noexcept { return static_cast<ULONG>(::InterlockedIncrement(&m_cRef)); }

ULONG CWebBrowserEventSink::Release() noexcept {
  const LONG left = ::InterlockedDecrement(&m_cRef);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CWebBrowserEventSink::GetTypeInfoCount(UINT* count) noexcept {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT CWebBrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT CWebBrowserEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept { return E_NOTIMPL; }

HRESULT CWebBrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept {
  UINT expected = 0;
  switch (id) {
    case DISPID_BEFORENAVIGATE2: expected = 7; break;
    case DISPID_NAVIGATECOMPLETE2:
    case DISPID_DOCUMENTCOMPLETE: expected = 2; break;
    default: return S_OK;
  }
  if (!m_pHandler) return S_OK;
  if (!params || params->cArgs != expected || !params->rgvarg) return DISP_E_BADPARAMCOUNT;

  IDispatch* frame = nullptr;
  std::wstring url;
  if (!ReadFrame(Arg(*params, 0), &frame) || !ReadUrl(Arg(*params, 1), &url)) return DISP_E_TYPEMISMATCH;
  VARIANT_BOOL* cancel = nullptr;
  if (id == DISPID_BEFORENAVIGATE2) {
    const VARIANT* v = Arg(*params, 6);
    if (v->vt != (VT_BYREF | VT_BOOL) || !v->pboolVal) return DISP_E_TYPEMISMATCH;
    cancel = v->pboolVal;
  }

  // The handler may end the dialog that holds the last other reference to us.
  AddRef();
  switch (id) {
    case DISPID_BEFORENAVIGATE2: m_pHandler->OnBeforeNavigate2(frame, url, cancel); break;
    case DISPID_NAVIGATECOMPLETE2: m_pHandler->OnNavigateComplete2(frame, url); break;
    case DISPID_DOCUMENTCOMPLETE: m_pHandler->OnDocumentComplete(frame, url); break;
  }
  Release();
  return S_OK;
}
