#include "FakeControl.h"

#include <exdisp.h>
#include <olectl.h>
#include <wrl/client.h>

#include <new>

using Microsoft::WRL::ComPtr;

namespace fake {
namespace {

const wchar_t kClass[] = L"FakeControl";
const wchar_t kInnerClass[] = L"FakeControlInner";

LRESULT CALLBACK InnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (msg == WM_KEYDOWN) Get().log.push_back("key " + std::to_string(wp));
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterClasses() {
  static bool done = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);
    wc.lpfnWndProc = InnerProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kInnerClass;
    RegisterClassW(&wc);
    return true;
  }();
  (void)done;
}

class Control;
std::vector<Control*> g_controls;

class Control final : public IOleObject,
                public IOleInPlaceActiveObject,
                public IOleInPlaceObject,
                public IDispatch,
                public IConnectionPointContainer,
                public IConnectionPoint {
public:
  Control() {
    ++Get().alive;
    g_controls.push_back(this);
  }
  ~Control() {
    Get().log.push_back("released");
    --Get().alive;
    for (auto it = g_controls.begin(); it != g_controls.end(); ++it) {
      if (*it == this) {
        g_controls.erase(it);
        break;
      }
    }
  }

  std::vector<ComPtr<IDispatch>> sinks;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleObject) *ppv = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject) *ppv = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IOleInPlaceActiveObject) *ppv = static_cast<IOleInPlaceActiveObject*>(this);
    else if (riid == IID_IDispatch) *ppv = static_cast<IDispatch*>(this);
    else if (riid == IID_IConnectionPointContainer) *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IConnectionPoint) *ppv = static_cast<IConnectionPoint*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++m_ref; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = --m_ref;
    if (!left) delete this;
    return left;
  }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) noexcept override {
    Get().log.push_back(site ? "SetClientSite" : "SetClientSite(null)");
    if (m_site) m_site->Release();
    m_site = site;
    if (m_site) m_site->AddRef();
    Get().site = site;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) noexcept override {
    *site = m_site;
    if (m_site) m_site->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD) noexcept override {
    Get().log.push_back("Close");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                   LPCRECT) noexcept override {
    Get().log.push_back("DoVerb " + std::to_string(verb));
    if (verb != OLEIVERB_INPLACEACTIVATE || !site) return E_NOTIMPL;
    ComPtr<IOleInPlaceSite> inPlace;
    if (FAILED(site->QueryInterface(IID_PPV_ARGS(&inPlace)))) return E_NOINTERFACE;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    inPlace->OnInPlaceActivate();
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> doc;
    RECT pos{}, clip{};
    OLEINPLACEFRAMEINFO info{sizeof(info)};
    if (FAILED(inPlace->GetWindowContext(&frame, &doc, &pos, &clip, &info)) || !frame) return E_FAIL;
    HWND siteWindow = nullptr;
    inPlace->GetWindow(&siteWindow);
    if (siteWindow != parent) return E_FAIL;
    RegisterClasses();
    m_window = CreateWindowExW(0, kClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, pos.left, pos.top,
                               pos.right - pos.left, pos.bottom - pos.top, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    m_inner = CreateWindowExW(0, kInnerClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, pos.right - pos.left,
                              pos.bottom - pos.top, m_window, nullptr, GetModuleHandleW(nullptr), nullptr);
    Get().window = m_window;
    Get().inner = m_inner;
    m_inPlaceSite = inPlace;
    return m_window ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Update() noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) noexcept override {
    *status = OLEMISC_SETCLIENTSITEFIRST;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) noexcept override { return E_NOTIMPL; }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) noexcept override {
    *hwnd = m_window;
    return m_window ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

  // IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() noexcept override {
    Get().log.push_back("InPlaceDeactivate");
    if (m_window) DestroyWindow(m_window);
    m_window = m_inner = nullptr;
    Get().window = Get().inner = nullptr;
    if (m_inPlaceSite) m_inPlaceSite->OnInPlaceDeactivate();
    m_inPlaceSite.Reset();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT) noexcept override {
    Get().log.push_back("SetObjectRects " + std::to_string(pos->left) + "," + std::to_string(pos->top) + "," +
                        std::to_string(pos->right) + "," + std::to_string(pos->bottom));
    SetWindowPos(m_window, nullptr, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() noexcept override { return E_NOTIMPL; }

  // IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) noexcept override {
    if (msg->message != WM_KEYDOWN) return S_FALSE;
    Get().log.push_back("accel " + std::to_string(msg->wParam));
    return Get().consumedKeys.count(static_cast<UINT>(msg->wParam)) ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) noexcept override { return S_OK; }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) noexcept override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT*) noexcept override {
    Call c;
    c.id = id;
    c.flags = flags;
    c.args = params ? params->cArgs : 0;
    c.named = params ? params->cNamedArgs : 0;
    for (UINT i = 0; i < c.args; ++i) {
      const VARIANT& v = params->rgvarg[i];
      c.types.push_back(v.vt);
      if (v.vt == (VT_BYREF | VT_VARIANT)) {
        c.refs.push_back(v.pvarVal);
        c.refTypes.push_back(v.pvarVal ? v.pvarVal->vt : VARTYPE(VT_ILLEGAL));
      }
      if (v.vt == VT_BSTR && v.bstrVal) c.text.assign(v.bstrVal, SysStringLen(v.bstrVal));
    }
    Get().calls.push_back(c);
    Get().log.push_back("Invoke " + std::to_string(id));
    if (result) VariantInit(result);
    if (Get().invokeResult == DISP_E_EXCEPTION && excep) {
      excep->bstrSource = SysAllocString(L"fake");
      excep->bstrDescription = SysAllocString(L"it went wrong");
      excep->bstrHelpFile = SysAllocString(L"none.hlp");
    }
    return Get().invokeResult;
  }

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) noexcept override {
    *point = nullptr;
    if (riid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
    *point = this;
    AddRef();
    return S_OK;
  }

  // IConnectionPoint
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override {
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) noexcept override {
    *c = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override {
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(events.GetAddressOf())))) {
      return CONNECT_E_CANNOTCONNECT;
    }
    sinks.push_back(events);
    *cookie = static_cast<DWORD>(sinks.size());
    Get().log.push_back("Advise");
    return S_OK;
  }
  // Serves IOleObject::Unadvise too (same signature); the host never advises the object.
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override {
    if (cookie == 0 || cookie > sinks.size() || !sinks[cookie - 1]) return CONNECT_E_NOCONNECTION;
    sinks[cookie - 1].Reset();
    Get().log.push_back("Unadvise");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) noexcept override { return E_NOTIMPL; }

private:
  ULONG m_ref = 0;
  IOleClientSite* m_site = nullptr;
  ComPtr<IOleInPlaceSite> m_inPlaceSite;
  HWND m_window = nullptr, m_inner = nullptr;
};

class Factory : public IClassFactory {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override {
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (Get().refuseCreation) return E_OUTOFMEMORY;
    auto* control = new (std::nothrow) Control;
    if (!control) return E_OUTOFMEMORY;
    control->AddRef();
    const HRESULT hr = control->QueryInterface(riid, ppv);
    control->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }
};

Factory g_factory;

}  // namespace

State& Get() {
  static State state;
  return state;
}

Registration::Registration() {
  Get() = State{};
  CoRegisterClassObject(CLSID_WebBrowser, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
}

Registration::~Registration() { CoRevokeClassObject(m_cookie); }

HRESULT Fire(DISPID id, DISPPARAMS* params) {
  HRESULT hr = E_FAIL;
  for (Control* control : g_controls) {
    for (const auto& sink : control->sinks) {
      if (sink) hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr, nullptr, nullptr);
    }
  }
  return hr;
}

std::vector<std::string> Filter(const std::vector<std::string>& prefixes) {
  std::vector<std::string> out;
  for (const std::string& line : Get().log) {
    for (const std::string& p : prefixes) {
      if (line.compare(0, p.size(), p) == 0) {
        out.push_back(line);
        break;
      }
    }
  }
  return out;
}

}  // namespace fake
