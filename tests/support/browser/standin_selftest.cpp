// standin_selftest.exe: a raw Win32/COM test host for the stand-in WebBrowser
// control (test support only). Creates the control by CLSID in a prefix where
// the stand-in is registered, hosts it with a minimal site (IOleClientSite,
// IOleInPlaceSite, IOleInPlaceFrame, IDocHostUIHandler) and an event sink,
// and drives it against an in-process LocalPortal.
//
//   standin_selftest.exe [--register] [--hold SECONDS] [--show PATH] [--log PATH]
//     --register      first register standin-browser.dll from the exe's folder
//                     under HKLM (the test prefix's WebBrowser CLSID)
//     --hold N        at the end, show a page for N seconds (for a
//                     screenshot) before tearing down
//     --show PATH     the portal page shown while holding (default the login page)
//     --log PATH      STANDIN_BROWSER_LOG file (default %TEMP%\standin-selftest.log)
// Prints one "PASS name" / "FAIL name: why" line per check and finally
// "N passed, M failed"; exit code 0 when nothing failed.
#include <winsock2.h>

#include "LocalPortal.h"
#include "StandinBrowser.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const CLSID kCLSID_WebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const IID kDIID_DWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
const IID kIID_IDocHostUIHandler = {0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};

int g_pass = 0, g_fail = 0;

void Check(bool ok, const char* name, const std::string& why = "") {
    if (ok) {
        ++g_pass;
        std::printf("PASS %s\n", name);
    } else {
        ++g_fail;
        std::printf("FAIL %s%s%s\n", name, why.empty() ? "" : ": ", why.c_str());
    }
    std::fflush(stdout);
}

void Pump(int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    for (;;) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        LONG left = static_cast<LONG>(end - GetTickCount());
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<LONG>(left, 20)), QS_ALLINPUT);
    }
}

bool PumpUntil(const std::function<bool()>& pred, int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    for (;;) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (pred()) return true;
        LONG left = static_cast<LONG>(end - GetTickCount());
        if (left <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<LONG>(left, 20)), QS_ALLINPUT);
    }
}

// ---- a window.external object as the launcher hands it out ----
class External final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IDispatch)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++ref); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--ref); }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < n; ++i) {
            if (lstrlenW(names[i]) >= 3 && CompareStringW(lcid, NORM_IGNOREWIDTH, L"xxyyzz", 3, names[i], 3) == CSTR_EQUAL) {
                ids[i] = 12345;
            } else {
                ids[i] = DISPID_UNKNOWN;
                hr = DISP_E_UNKNOWNNAME;
            }
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* r, EXCEPINFO*, UINT*) override {
        if (id == 12345 && (flags & DISPATCH_PROPERTYGET) && r) {
            VariantInit(r);
            r->vt = VT_BSTR;
            r->bstrVal = SysAllocString(L"Wibble");
        }
        return S_OK;
    }
    LONG ref = 0;
};

External g_external;

// ---- event sink ----
struct Event {
    DISPID id;
    std::wstring url;
    IDispatch* disp;  // compared by value only
    bool cancelled;
    LONG status;
    bool shapeOk;
};

class Sink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kDIID_DWebBrowserEvents2)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++ref); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--ref); }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*, UINT*) override {
        Event e{id, L"", nullptr, false, 0, false};
        auto url = [](const VARIANT& v) -> std::wstring {
            if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal && v.pvarVal->vt == VT_BSTR && v.pvarVal->bstrVal)
                return v.pvarVal->bstrVal;
            return L"";
        };
        if (id == 250 && dp && dp->cArgs == 7) {
            VARIANT* a = dp->rgvarg;
            e.disp = a[6].vt == VT_DISPATCH ? a[6].pdispVal : nullptr;
            e.url = url(a[5]);
            e.shapeOk = a[6].vt == VT_DISPATCH && a[5].vt == (VT_BYREF | VT_VARIANT) && a[5].pvarVal &&
                        a[5].pvarVal->vt == VT_BSTR && a[4].vt == (VT_BYREF | VT_VARIANT) && a[4].pvarVal &&
                        a[4].pvarVal->vt == VT_I4 && a[3].vt == (VT_BYREF | VT_VARIANT) && a[3].pvarVal &&
                        a[3].pvarVal->vt == VT_BSTR && a[2].vt == (VT_BYREF | VT_VARIANT) &&
                        a[1].vt == (VT_BYREF | VT_VARIANT) && a[1].pvarVal && a[1].pvarVal->vt == VT_BSTR &&
                        a[0].vt == (VT_BYREF | VT_BOOL) && a[0].pboolVal;
            for (const auto& s : cancelIf)
                if (e.url.find(s) != std::wstring::npos && a[0].vt == (VT_BYREF | VT_BOOL) && a[0].pboolVal) {
                    *a[0].pboolVal = VARIANT_TRUE;
                    e.cancelled = true;
                }
        } else if ((id == 252 || id == 259) && dp && dp->cArgs == 2) {
            e.disp = dp->rgvarg[1].vt == VT_DISPATCH ? dp->rgvarg[1].pdispVal : nullptr;
            e.url = url(dp->rgvarg[0]);
            e.shapeOk = dp->rgvarg[1].vt == VT_DISPATCH && dp->rgvarg[0].vt == (VT_BYREF | VT_VARIANT);
        } else if (id == 271 && dp && dp->cArgs == 5) {
            e.disp = dp->rgvarg[4].vt == VT_DISPATCH ? dp->rgvarg[4].pdispVal : nullptr;
            e.url = url(dp->rgvarg[3]);
            const VARIANT& s = dp->rgvarg[1];
            if (s.vt == (VT_BYREF | VT_VARIANT) && s.pvarVal && s.pvarVal->vt == VT_I4) e.status = s.pvarVal->lVal;
            e.shapeOk = true;
        }
        events.push_back(e);
        return S_OK;
    }
    int Count(DISPID id, const std::wstring& urlPart = L"") const {
        int n = 0;
        for (const auto& e : events)
            if (e.id == id && e.url.find(urlPart) != std::wstring::npos) ++n;
        return n;
    }
    const Event* Find(DISPID id, const std::wstring& urlPart, size_t from = 0) const {
        for (size_t i = from; i < events.size(); ++i)
            if (events[i].id == id && events[i].url.find(urlPart) != std::wstring::npos) return &events[i];
        return nullptr;
    }
    int Index(DISPID id, const std::wstring& urlPart, size_t from = 0) const {
        for (size_t i = from; i < events.size(); ++i)
            if (events[i].id == id && events[i].url.find(urlPart) != std::wstring::npos) return static_cast<int>(i);
        return -1;
    }
    LONG ref = 0;
    std::vector<Event> events;
    std::vector<std::wstring> cancelIf;
};

// ---- the site ----
class Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IDocHostUIHandler {
public:
    explicit Site(HWND h, RECT r, DWORD flags) : hwnd(h), rect(r), hostFlags(flags) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) *ppv = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow)) *ppv = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceFrame) || IsEqualIID(riid, IID_IOleInPlaceUIWindow)) *ppv = static_cast<IOleInPlaceFrame*>(this);
        else if (IsEqualIID(riid, kIID_IDocHostUIHandler)) *ppv = static_cast<IDocHostUIHandler*>(this);
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++ref); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--ref); }
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** pp) override {
        if (pp) *pp = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* p) override {
        *p = hwnd;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        ++inPlaceActivations;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO fi) override {
        *ppFrame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *ppDoc = nullptr;
        *pos = rect;
        *clip = rect;
        fi->fMDIApp = FALSE;
        fi->hwndFrame = hwnd;
        fi->haccel = nullptr;
        fi->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        ++inPlaceDeactivations;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow / IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
        ++setActiveObjectCalls;
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
    // IDocHostUIHandler
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override {
        ++contextMenuCalls;
        return contextMenuAnswer;
    }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
        ++hostInfoCalls;
        info->dwFlags = hostFlags;
        info->dwDoubleClick = 0;
        return S_OK;
    }
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*, IOleInPlaceUIWindow*) override {
        ++showUICalls;
        return S_OK;
    }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override {
        ++hostAccelCalls;
        return S_FALSE;
    }
    STDMETHODIMP GetOptionKeyPath(LPOLESTR*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override { return E_NOTIMPL; }
    STDMETHODIMP GetExternal(IDispatch** pp) override {
        ++externalCalls;
        g_external.AddRef();
        *pp = &g_external;
        return S_OK;
    }
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

    LONG ref = 0;
    HWND hwnd;
    RECT rect;
    DWORD hostFlags;
    HRESULT contextMenuAnswer = S_OK;
    int hostInfoCalls = 0, contextMenuCalls = 0, showUICalls = 0, hostAccelCalls = 0, externalCalls = 0;
    int inPlaceActivations = 0, inPlaceDeactivations = 0, setActiveObjectCalls = 0;
};

// A hosted control.
struct Hosted {
    IOleObject* obj = nullptr;
    IDispatch* disp = nullptr;
    IConnectionPoint* cp = nullptr;
    DWORD cookie = 0;
    HWND ctlHwnd = nullptr;
};

bool Create(Hosted& h, Site& site, Sink& sink) {
    HRESULT hr = CoCreateInstance(kCLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(&h.obj));
    if (FAILED(hr) || !h.obj) {
        std::printf("CoCreateInstance failed 0x%lX\n", static_cast<unsigned long>(hr));
        return false;
    }
    h.obj->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&h.disp));
    h.obj->SetClientSite(&site);
    IConnectionPointContainer* cpc = nullptr;
    if (SUCCEEDED(h.obj->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))) && cpc) {
        if (SUCCEEDED(cpc->FindConnectionPoint(kDIID_DWebBrowserEvents2, &h.cp)) && h.cp) h.cp->Advise(&sink, &h.cookie);
        cpc->Release();
    }
    RECT r = site.rect;
    hr = h.obj->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.hwnd, &r);
    IOleWindow* w = nullptr;
    if (SUCCEEDED(h.obj->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&w))) && w) {
        w->GetWindow(&h.ctlHwnd);
        w->Release();
    }
    return SUCCEEDED(hr) && h.disp && h.cp && h.cookie;
}

// Navigate by dispatch id 104 with the four optional arguments all pointing at
// one empty VARIANT (as the launcher's InvokeHelper call does).
HRESULT Navigate(IDispatch* d, const std::wstring& url) {
    VARIANT empty;
    VariantInit(&empty);
    VARIANTARG args[5];
    for (int i = 0; i < 4; ++i) {
        VariantInit(&args[i]);
        args[i].vt = VT_BYREF | VT_VARIANT;
        args[i].pvarVal = &empty;
    }
    VariantInit(&args[4]);
    args[4].vt = VT_BSTR;
    args[4].bstrVal = SysAllocString(url.c_str());
    DISPPARAMS dp = {args, nullptr, 5, 0};
    HRESULT hr = d->Invoke(104, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
    SysFreeString(args[4].bstrVal);
    return hr;
}

HRESULT Refresh(IDispatch* d) {
    DISPPARAMS dp = {nullptr, nullptr, 0, 0};
    return d->Invoke(-550, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
}

void Teardown(Hosted& h) {
    if (h.cp) {
        h.cp->Unadvise(h.cookie);
        h.cp->Release();
    }
    IOleInPlaceObject* ipo = nullptr;
    if (SUCCEEDED(h.obj->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&ipo))) && ipo) {
        ipo->InPlaceDeactivate();
        ipo->Release();
    }
    h.obj->SetClientSite(nullptr);
    h.obj->Close(OLECLOSE_NOSAVE);
    if (h.disp) h.disp->Release();
    h.obj->Release();
    h = Hosted();
}

HRESULT SendKey(IOleObject* obj, HWND ctl, UINT vk) {
    IOleInPlaceActiveObject* ao = nullptr;
    if (FAILED(obj->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&ao))) || !ao) return E_FAIL;
    MSG m{};
    m.hwnd = ctl;
    m.message = WM_KEYDOWN;
    m.wParam = vk;
    m.lParam = 1;
    HRESULT hr = ao->TranslateAccelerator(&m);
    ao->Release();
    return hr;
}

int CountLog(const std::wstring& path, const std::string& needle) {
    int n = 0;
    for (const auto& l : standin::ReadStandinLog(path))
        if (l.find(needle) != std::string::npos) ++n;
    return n;
}

LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

void CALLBACK EndMenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool doRegister = false;
    int hold = 0;
    std::string show = portal::kLoginPath;
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring logPath = std::wstring(tmp) + L"standin-selftest.log";
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--register") doRegister = true;
        else if (a == L"--hold" && i + 1 < argc) hold = _wtoi(argv[++i]);
        else if (a == L"--show" && i + 1 < argc) {
            std::wstring w = argv[++i];
            show.assign(w.begin(), w.end());
        }
        else if (a == L"--log" && i + 1 < argc) logPath = argv[++i];
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (doRegister) {
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring dll = exe;
        dll = dll.substr(0, dll.rfind(L'\\') + 1) + L"standin-browser.dll";
        Check(standin::RegisterStandinBrowser(dll), "register stand-in under HKLM");
    }
    DeleteFileW(logPath.c_str());
    SetEnvironmentVariableW(standin::kLogEnvVar, logPath.c_str());

    OleInitialize(nullptr);
    portal::LocalPortal portal;
    Check(portal.Start(), "portal starts on a free port");
    std::printf("portal %s\n", portal.BaseUrl().c_str());

    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"StandinSelftestHost";
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    HWND host = CreateWindowW(L"StandinSelftestHost", L"Stand-in browser self-test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              0, 0, 900, 640, nullptr, nullptr, wc.hInstance, nullptr);
    Check(host != nullptr, "host window created");
    Pump(100);

    const std::wstring login = portal.UrlW(portal::kLoginPath);
    RECT rc1 = {20, 20, 680, 480};
    Site site(host, rc1, DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO);
    Sink sink;
    Hosted b;
    bool created = Create(b, site, sink);
    Check(created, "control created by CLSID, sited, advised and in-place activated");
    if (!created) {
        std::printf("%d passed, %d failed\n", g_pass, g_fail + 1);
        return 1;
    }
    Check(GetModuleHandleW(L"standin-browser.dll") != nullptr, "the WebBrowser CLSID loads standin-browser.dll");
    Check(site.hostInfoCalls == 1, "GetHostInfo called once at activation");
    Check(site.inPlaceActivations == 1, "OnInPlaceActivate called");
    Check(b.ctlHwnd && GetParent(b.ctlHwnd) == host, "control window is a child of the host window");
    {
        RECT wr{};
        GetWindowRect(b.ctlHwnd, &wr);
        MapWindowPoints(HWND_DESKTOP, host, reinterpret_cast<POINT*>(&wr), 2);
        Check(wr.left == 20 && wr.top == 20 && wr.right - wr.left == 660 && wr.bottom - wr.top == 460,
              "control window at the GetWindowContext rectangle");
    }
    Check(!(GetWindowLongW(b.ctlHwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE), "NO3DBORDER: no client edge");

    // 1. Navigate to the login page: event sequence.
    size_t base = sink.events.size();
    HRESULT hr = Navigate(b.disp, login);
    Check(hr == S_OK, "Invoke(104) Navigate returns S_OK");
    bool dc = PumpUntil([&] { return sink.Find(259, L"/v6/weiduan", base) != nullptr; }, 10000);
    Check(dc, "DocumentComplete for the login page");
    int iB = sink.Index(250, L"/v6/weiduan?gc=qth", base), iN = sink.Index(252, L"/v6/weiduan", base),
        iD = sink.Index(259, L"/v6/weiduan", base);
    Check(iB >= 0 && iN > iB && iD > iN, "BeforeNavigate2 < NavigateComplete2 < DocumentComplete");
    Check(iB >= 0 && sink.events[iB].disp == b.disp && sink.events[iB].shapeOk,
          "BeforeNavigate2 has 7 args of the real control's types, pDisp = control");
    Check(iD >= 0 && sink.events[iD].disp == b.disp, "DocumentComplete pDisp = control");
    Check(portal.CountRequests("GET /v6/weiduan?gc=qth") == 1, "the login page request reached the portal");
    Check(CountLog(logPath, "Invoke Navigate cArgs=5 cNamed=0 vt=0x400C->0x0,0x400C->0x0,0x400C->0x0,0x400C->0x0,0x8 optional=shared-empty") == 1,
          "log: Navigate with four optional args pointing at one empty VARIANT");
    Check(CountLog(logPath, "External Invoke name=xxyyzz hr=0x0 vt=8 value=Wibble") >= 1 && site.externalCalls >= 1,
          "window.external probe reads Wibble through GetExternal");
    Check(CountLog(logPath, "GetHostInfo hr=0x0 flags=0xC dblclk=0") == 1, "log: GetHostInfo flags=0xC");
    {
        std::vector<std::string> lines = standin::ReadStandinLog(logPath);
        int lb = -1, ln = -1, ld = -1;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lb < 0 && lines[i].rfind("BeforeNavigate2 frame=top url=" + portal.Url(portal::kLoginPath) + " cancel=0", 0) == 0) lb = static_cast<int>(i);
            if (ln < 0 && lines[i].rfind("NavigateComplete2 frame=top url=" + portal.Url(portal::kLoginPath), 0) == 0) ln = static_cast<int>(i);
            if (ld < 0 && lines[i].rfind("DocumentComplete frame=top url=" + portal.Url(portal::kLoginPath), 0) == 0) ld = static_cast<int>(i);
        }
        Check(lb >= 0 && ln > lb && ld > ln, "log: BeforeNavigate2, NavigateComplete2, DocumentComplete in order");
    }

    // 2. Cancel prevents the request.
    sink.cancelIf = {L"client=1"};
    base = sink.events.size();
    Navigate(b.disp, portal.UrlW(portal::GamePath(9)));
    Pump(600);
    const Event* e = sink.Find(250, L"server=9", base);
    Check(e && e->cancelled, "BeforeNavigate2 for a game address seen and cancelled");
    Check(portal.CountRequests("server=9") == 0, "a cancelled navigation is never requested");
    Check(sink.Find(252, L"server=9", base) == nullptr, "no NavigateComplete2 after cancel");

    // 3. Keyboard: Tab moves to the first link, Enter follows it (cancelled).
    base = sink.events.size();
    int accelBefore = site.hostAccelCalls;
    HRESULT tabHr = SendKey(b.obj, b.ctlHwnd, VK_TAB);
    Check(tabHr == S_OK, "TranslateAccelerator(Tab) inside the page returns S_OK");
    Check(site.hostAccelCalls == accelBefore + 1, "host TranslateAccelerator asked first");
    HRESULT enterHr = SendKey(b.obj, b.ctlHwnd, VK_RETURN);
    Pump(300);
    Check(enterHr == S_OK && sink.Find(250, L"server=1&client=1", base) != nullptr,
          "Enter follows the focused link (BeforeNavigate2 for server 1)");
    Check(SendKey(b.obj, b.ctlHwnd, 'A') == S_FALSE, "TranslateAccelerator(A) returns S_FALSE");

    // 4. Meta refresh navigates (top).
    base = sink.events.size();
    Navigate(b.disp, portal.UrlW(portal::kMetaLeadPath));
    bool meta = PumpUntil([&] { return sink.Find(250, L"server=2&client=1", base) != nullptr; }, 5000);
    Check(meta, "meta refresh page fires BeforeNavigate2 for the game address");
    e = sink.Find(250, L"server=2&client=1", base);
    Check(e && e->disp == b.disp && e->cancelled, "meta refresh navigation is a top-page navigation (cancelled)");
    Check(portal.CountRequests("server=2") == 0, "cancelled meta refresh target never requested");

    // 5. Frame navigation passes a different pDisp.
    base = sink.events.size();
    Navigate(b.disp, portal.UrlW(portal::kFrameLeadPath));
    bool frameGame = PumpUntil([&] { return sink.Find(250, L"server=4&client=1", base) != nullptr; }, 6000);
    const Event* fb = sink.Find(250, L"/lead/frame-inner", base);
    Check(fb && fb->disp && fb->disp != b.disp, "frame BeforeNavigate2 has the frame's own pDisp");
    int frameDc = -1, topDc = -1;
    for (size_t i = base; i < sink.events.size(); ++i) {
        const Event& ev = sink.events[i];
        if (ev.id != 259) continue;
        if (frameDc < 0 && fb && ev.disp == fb->disp && ev.url.find(L"/lead/frame-inner") != std::wstring::npos) frameDc = static_cast<int>(i);
        if (topDc < 0 && ev.disp == b.disp && ev.url.find(L"/lead/frame") != std::wstring::npos) topDc = static_cast<int>(i);
    }
    Check(frameDc >= 0 && topDc >= 0, "DocumentComplete fired for the frame (frame pDisp) and the top page");
    {
        // the top DocumentComplete comes after the frame's
        int topOnly = -1;
        for (size_t i = base; i < sink.events.size(); ++i)
            if (sink.events[i].id == 259 && sink.events[i].disp == b.disp) topOnly = static_cast<int>(i);
        Check(topOnly > frameDc, "top DocumentComplete after the frame's DocumentComplete");
    }
    Check(frameGame, "meta refresh inside the frame fires BeforeNavigate2 for server 4");
    e = sink.Find(250, L"server=4&client=1", base);
    Check(e && fb && e->disp == fb->disp && e->cancelled, "the frame's game navigation carries the frame pDisp");
    Check(portal.CountRequests("server=4") == 0, "cancelled frame navigation never requested");

    // 5b. Link inside a frame, by keyboard.
    base = sink.events.size();
    Navigate(b.disp, portal.UrlW("/lead/frame?mode=link"));
    PumpUntil([&] {
        for (size_t i = base; i < sink.events.size(); ++i)
            if (sink.events[i].id == 259 && sink.events[i].disp == b.disp) return true;
        return false;
    }, 6000);
    SendKey(b.obj, b.ctlHwnd, VK_TAB);
    SendKey(b.obj, b.ctlHwnd, VK_RETURN);
    Pump(300);
    e = sink.Find(250, L"server=4&client=1", base);
    fb = sink.Find(250, L"/lead/frame-inner?mode=link", base);
    Check(e && fb && e->disp == fb->disp && e->disp != b.disp, "link in a frame navigates that frame (frame pDisp)");

    // 6. Refresh: no arguments, re-fetches, no navigation event.
    base = sink.events.size();
    Navigate(b.disp, login);
    PumpUntil([&] { return sink.Find(259, L"/v6/weiduan", base) != nullptr; }, 6000);
    int before = portal.CountRequests("GET /v6/weiduan?gc=qth");
    size_t evBefore = sink.events.size();
    Check(Refresh(b.disp) == S_OK, "Invoke(-550) Refresh returns S_OK");
    bool refetched = PumpUntil([&] { return portal.CountRequests("GET /v6/weiduan?gc=qth") > before; }, 5000);
    Pump(300);
    Check(refetched, "Refresh re-requests the page");
    Check(sink.events.size() == evBefore, "Refresh fires no navigation event");
    Check(CountLog(logPath, "Invoke Refresh cArgs=0 ") == 1, "log: Invoke Refresh cArgs=0");

    // 7. HTTP error: NavigateError, no NavigateComplete2.
    base = sink.events.size();
    Navigate(b.disp, portal.UrlW("/no/such/page"));
    bool err = PumpUntil([&] { return sink.Find(271, L"/no/such/page", base) != nullptr; }, 5000);
    e = sink.Find(271, L"/no/such/page", base);
    Check(err && e && e->status == 404, "404 fires NavigateError with StatusCode 404");
    Check(sink.Find(252, L"/no/such/page", base) == nullptr, "no NavigateComplete2 after NavigateError");

    // 7b. Network failure: NavigateError with an INET_E_* status.
    base = sink.events.size();
    Navigate(b.disp, L"http://127.0.0.1:1/unreachable");
    err = PumpUntil([&] { return sink.Find(271, L"/unreachable", base) != nullptr; }, 20000);
    e = sink.Find(271, L"/unreachable", base);
    Check(err && e && e->status < 0, "connection refused fires NavigateError with an INET_E_* HRESULT");

    // 8. Redirect followed.
    base = sink.events.size();
    Navigate(b.disp, portal.UrlW("/redirect?to=/news"));
    bool red = PumpUntil([&] { return sink.Find(259, L"/news", base) != nullptr; }, 5000);
    Check(red && portal.CountRequests("GET /news") >= 1, "30x redirect followed; NavigateComplete2/DocumentComplete carry the final address");

    // 9. Context menu: host answers S_OK, no menu of the control's own.
    {
        int before2 = site.contextMenuCalls;
        POINT pt = {100, 100};
        ClientToScreen(b.ctlHwnd, &pt);
        SendMessageW(b.ctlHwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(b.ctlHwnd), MAKELPARAM(pt.x, pt.y));
        Check(site.contextMenuCalls == before2 + 1, "right click asks the host's ShowContextMenu");
        Check(CountLog(logPath, "ContextMenu shown") == 0, "host answered S_OK: no context menu shown");
    }

    // 10. Long page with SCROLL_NO: no scroll bar.
    base = sink.events.size();
    Navigate(b.disp, portal.UrlW(portal::kLongPath));
    PumpUntil([&] { return sink.Find(259, L"/long", base) != nullptr; }, 6000);
    Check(!(GetWindowLongW(b.ctlHwnd, GWL_STYLE) & WS_VSCROLL), "SCROLL_NO: no scroll bar on a long page");

    // 11. Show the login page (screenshot time).
    base = sink.events.size();
    Navigate(b.disp, login);
    PumpUntil([&] { return sink.Find(259, L"/v6/weiduan", base) != nullptr; }, 6000);
    SetFocus(b.ctlHwnd);
    Pump(200);
    Check(site.showUICalls >= 1 && site.setActiveObjectCalls >= 1, "UI activation: ShowUI and SetActiveObject on focus");

    // 12. A second control with flags 0: border, scroll bar, own context menu.
    RECT rc2 = {690, 20, 890, 300};
    Site site2(host, rc2, 0);
    site2.contextMenuAnswer = S_FALSE;
    Sink sink2;
    Hosted b2;
    Check(Create(b2, site2, sink2), "second control created");
    Check(b2.ctlHwnd && (GetWindowLongW(b2.ctlHwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE), "flags 0: sunken 3-D border");
    Navigate(b2.disp, portal.UrlW(portal::kLongPath));
    PumpUntil([&] { return sink2.Find(259, L"/long") != nullptr; }, 6000);
    Check(GetWindowLongW(b2.ctlHwnd, GWL_STYLE) & WS_VSCROLL, "flags 0: vertical scroll bar on a long page");
    {
        SetTimer(nullptr, 0, 400, EndMenuTimer);
        POINT pt = {50, 50};
        ClientToScreen(b2.ctlHwnd, &pt);
        SendMessageW(b2.ctlHwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(b2.ctlHwnd), MAKELPARAM(pt.x, pt.y));
        Check(site2.contextMenuCalls == 1 && CountLog(logPath, "ContextMenu shown ctl=2") == 1,
              "host answered S_FALSE: the control shows its own menu");
    }

    // 12b. Malformed pages never crash the control.
    {
        portal.SetRoute("/bad", 200, "text/html",
                        "<html><title>Broken <b>page</title><body bgcolor=#zzz text=><span data-external=nope></span>"
                        "<a href='/news>unterminated "
                        "<iframe src=\"/lead/frame-inner?mode=link\" width=99999999999 height=-5><p>&#99999999; &#x; "
                        "&; &amp <span data-external=\"x\"><h1><h2><<<>>></ <a href=\"\">e</a><script>never");
        std::string junk;
        for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
        portal.SetRoute("/junk", 200, "text/html", junk);
        portal.SetRoute("/empty", 200, "text/html", "");
        for (const char* path : {"/bad", "/junk", "/empty", "/plain"}) {
            base = sink.events.size();
            std::wstring wpath(path, path + strlen(path));
            Navigate(b.disp, portal.UrlW(path));
            bool ok = PumpUntil([&] {
                for (size_t i = base; i < sink.events.size(); ++i)
                    if (sink.events[i].id == 259 && sink.events[i].disp == b.disp &&
                        sink.events[i].url.find(wpath) != std::wstring::npos)
                        return true;
                return false;
            }, 6000);
            Check(ok, (std::string("malformed or odd page loads: ") + path).c_str());
        }
        Check(CountLog(logPath, "External GetIDsOfNames name=nope hr=0x80020006") >= 1,
              "unknown window.external name: failure HRESULT shown");
    }

    // 12c. Navigate argument variants are logged as received.
    {
        VARIANTARG args[5];
        for (int i = 0; i < 4; ++i) {
            VariantInit(&args[i]);
            args[i].vt = VT_ERROR;
            args[i].scode = DISP_E_PARAMNOTFOUND;
        }
        VariantInit(&args[4]);
        args[4].vt = VT_BSTR;
        args[4].bstrVal = SysAllocString(portal.UrlW("/news?variant=missing").c_str());
        DISPPARAMS dp = {args, nullptr, 5, 0};
        HRESULT h1 = b.disp->Invoke(104, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
        DISPPARAMS one = {&args[4], nullptr, 1, 0};
        HRESULT h2 = b.disp->Invoke(104, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr);
        SysFreeString(args[4].bstrVal);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        HRESULT h3 = b.disp->Invoke(104, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
        Check(h1 == S_OK && CountLog(logPath, "vt=0xA,0xA,0xA,0xA,0x8 optional=empty") == 1, "Navigate with VT_ERROR optionals logged as empty");
        Check(h2 == S_OK && CountLog(logPath, "Invoke Navigate cArgs=1 cNamed=0 vt=0x8 optional=none") == 1, "Navigate with the URL only");
        Check(h3 == DISP_E_BADPARAMCOUNT, "Navigate without arguments: DISP_E_BADPARAMCOUNT");
        LPOLESTR names[2] = {const_cast<LPOLESTR>(L"Navigate"), const_cast<LPOLESTR>(L"Refresh")};
        DISPID ids[2] = {0, 0};
        HRESULT h4 = b.disp->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids);
        Check(h4 == S_OK && ids[0] == 104 && ids[1] == -550, "GetIDsOfNames Navigate=104, Refresh=-550");
        Pump(500);
    }

    // 12d. The portal survives bad and partial requests.
    {
        auto raw = [&](const std::vector<std::string>& parts, int gapMs) -> std::string {
            SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(portal.Port());
            std::string got;
            if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
                for (const auto& p : parts) {
                    if (!p.empty()) send(s, p.data(), static_cast<int>(p.size()), 0);
                    Sleep(static_cast<DWORD>(gapMs));
                }
                shutdown(s, SD_SEND);
                char buf[2048];
                int n;
                DWORD t0 = GetTickCount();
                while (GetTickCount() - t0 < 5000 && (n = recv(s, buf, sizeof buf, 0)) > 0) got.append(buf, static_cast<size_t>(n));
            }
            closesocket(s);
            return got;
        };
        Check(raw({"GARBAGE\r\n\r\n"}, 0).rfind("HTTP/1.1 400", 0) == 0, "portal: bad request line gets 400");
        Check(raw({"GET /news HTTP/1.1\r\nHo", "st: x\r\n", "\r\n"}, 150).rfind("HTTP/1.1 200", 0) == 0,
              "portal: request read across partial packets");
        Check(raw({"POST /news HTTP/1.0\r\nContent-Length: 7\r\n\r\nab", "cdefg"}, 100).rfind("HTTP/1.1 200", 0) == 0 &&
                  portal.RequestDetails().back().body == "abcdefg",
              "portal: POST body read across packets");
        Check(raw({"GET / HTTP/1.1\r\nNoColonHere\r\n\r\n"}, 0).rfind("HTTP/1.1 400", 0) == 0, "portal: malformed header gets 400");
        raw({}, 0);
        Check(raw({"GET /nothing/here HTTP/1.1\r\n\r\n"}, 0).rfind("HTTP/1.1 404", 0) == 0, "portal: unknown path gets 404");
    }

    if (hold > 0) {
        base = sink.events.size();
        Navigate(b.disp, portal.UrlW(show));
        PumpUntil([&] {
            for (size_t i = base; i < sink.events.size(); ++i)
                if (sink.events[i].id == 259 && sink.events[i].disp == b.disp) return true;
            return false;
        }, 6000);
        std::printf("holding %d s for a screenshot\n", hold);
        Pump(hold * 1000);
    }

    // 13. Teardown in the launcher's order; the second control is just released.
    Teardown(b);
    Check(CountLog(logPath, "Destroy ctl=1") == 1, "control 1 destroyed after Unadvise/InPlaceDeactivate/SetClientSite(null)/Close/Release");
    Check(site.inPlaceDeactivations == 1, "OnInPlaceDeactivate called once");
    b2.obj->Release();  // a host that skips every step (sink still advised)
    if (b2.disp) b2.disp->Release();
    if (b2.cp) b2.cp->Release();
    Check(CountLog(logPath, "Destroy ctl=2") == 1, "control 2 destroyed although the host skipped the teardown steps");

    // 14. Closing during a fetch.
    {
        RECT rc3 = {20, 500, 400, 600};
        Site site3(host, rc3, 0xC);
        Sink sink3;
        Hosted b3;
        Check(Create(b3, site3, sink3), "third control created");
        Navigate(b3.disp, portal.UrlW("/slow?ms=6000"));
        Check(portal.WaitForRequest("/slow?ms=6000", 3000), "slow request reached the portal");
        size_t n3 = sink3.events.size();
        DWORD t0 = GetTickCount();
        Teardown(b3);
        DWORD took = GetTickCount() - t0;
        // The fetch ends when the page comes; it holds the module until then.
        Pump(6500);
        Check(sink3.events.size() == n3, "no event after Close during a fetch");
        // The page is 6 s away: a Close that waited for it would take nearly all of that.
        Check(took < 4500, "Close during a fetch returns without waiting for the page");
    }

    // 14b. A host that navigates before giving a site, then only Closes and Releases.
    {
        IOleObject* o = nullptr;
        CoCreateInstance(kCLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, reinterpret_cast<void**>(&o));
        IDispatch* d = nullptr;
        if (o) o->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
        IConnectionPointContainer* cpc = nullptr;
        IConnectionPoint* cp = nullptr;
        DWORD cookie = 0;
        Sink sink4;
        if (o && SUCCEEDED(o->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)))) {
            cpc->FindConnectionPoint(kDIID_DWebBrowserEvents2, &cp);
            cpc->Release();
        }
        if (cp) cp->Advise(&sink4, &cookie);
        bool ok = false;
        if (d) {
            Navigate(d, login);
            ok = PumpUntil([&] { return sink4.Find(259, L"/v6/weiduan") != nullptr; }, 6000);
        }
        Check(ok, "navigation works before any site or activation");
        Check(CountLog(logPath, "GetExternal handler=none ctl=4") >= 1, "no site: window.external reported unavailable");
        if (o) o->Close(OLECLOSE_NOSAVE);
        if (cp) cp->Release();  // never unadvised
        if (d) d->Release();
        if (o) o->Release();
        Check(CountLog(logPath, "Destroy ctl=4") == 1, "Close + Release without Unadvise destroys the control");
    }

    // 14c. SetClientSite(nullptr) while in place (InPlaceDeactivate skipped), then Release.
    {
        RECT rc5 = {20, 500, 300, 600};
        Site site5(host, rc5, 0xC);
        Sink sink5;
        Hosted b5;
        Check(Create(b5, site5, sink5), "fifth control created");
        b5.cp->Unadvise(b5.cookie);
        b5.cp->Release();
        b5.obj->SetClientSite(nullptr);
        Check(site5.inPlaceDeactivations == 1 && !IsWindow(b5.ctlHwnd),
              "SetClientSite(null) while active deactivates and destroys the window");
        b5.disp->Release();
        b5.obj->Release();
        Check(CountLog(logPath, "Destroy ctl=5") == 1, "control 5 destroyed");
    }

    // 15. Unload.
    Pump(200);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    HMODULE dll = GetModuleHandleW(L"standin-browser.dll");
    auto canUnload = dll ? reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow"))) : nullptr;
    bool unloadable = PumpUntil([&] { return canUnload && canUnload() == S_OK; }, 3000);
    Check(unloadable, "DllCanUnloadNow answers S_OK once every object is gone");

    DestroyWindow(host);
    portal.Stop();
    Check(!portal.Running(), "portal stops");
    OleUninitialize();
    std::printf("%d passed, %d failed\n", g_pass, g_fail);
    return g_fail == 0 ? 0 : 1;
}
