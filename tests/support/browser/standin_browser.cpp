// Stand-in WebBrowser control (in-process COM server) for the launcher's tests
// under Wine. TEST SUPPORT ONLY. Contract, registration and the log format:
// StandinBrowser.h. Page syntax: standin_html.h.
//
// Threading: apartment model. Every COM method, window procedure, event and
// log line of a control happens on the thread that created it, except the
// HTTP fetch, which runs on a worker thread per navigation and posts its
// result back to the control's message-only window. A worker holds a loader
// reference on this DLL (GetModuleHandleEx / FreeLibraryAndExitThread) so the
// DLL cannot be unloaded under it; Close and the last Release wait briefly
// (1.5 s at most) for running workers and drop their results: no event is
// fired after Close.
//
// Nothing here throws: COM methods are noexcept in effect (no exceptions are
// used; std::bad_alloc would terminate, which is acceptable for test support).
#include "StandinBrowser.h"
#include "standin_html.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>
#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <wininet.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using standin::Document;

// ---- identifiers ----------------------------------------------------------

const CLSID kCLSID_WebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const CLSID kCLSID_WebBrowser_V1 = {0xEAB22AC3, 0x30C1, 0x11CF, {0xA7, 0xEB, 0x00, 0x00, 0xC0, 0x5B, 0xAE, 0x0B}};
const IID kIID_IWebBrowser = {0xEAB22AC1, 0x30C1, 0x11CF, {0xA7, 0xEB, 0x00, 0x00, 0xC0, 0x5B, 0xAE, 0x0B}};
const IID kIID_IWebBrowserApp = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
const IID kDIID_DWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
const IID kIID_IDocHostUIHandler = {0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
const GUID kLIBID_SHDocVw = {0xEAB22AC0, 0x30C1, 0x11CF, {0xA7, 0xEB, 0x00, 0x00, 0xC0, 0x5B, 0xAE, 0x0B}};
const GUID kCGID_MSHTML = {0xDE4BA900, 0x59CA, 0x11CF, {0x95, 0x92, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

constexpr DISPID kDispBeforeNavigate2 = 250;
constexpr DISPID kDispNavigateComplete2 = 252;
constexpr DISPID kDispDocumentComplete = 259;
constexpr DISPID kDispNavigateError = 271;

constexpr DISPID kDispGoBack = 100;
constexpr DISPID kDispGoForward = 101;
constexpr DISPID kDispGoHome = 102;
constexpr DISPID kDispNavigate = 104;
constexpr DISPID kDispRefresh2 = 105;
constexpr DISPID kDispStop = 106;
constexpr DISPID kDispDocument = 203;
constexpr DISPID kDispLocationName = 210;
constexpr DISPID kDispLocationURL = 211;
constexpr DISPID kDispBusy = 212;
constexpr DISPID kDispNavigate2 = 500;
constexpr DISPID kDispRefresh = -550;   // DISPID_REFRESH
constexpr DISPID kDispReadyState = -525;

constexpr UINT kMsgFetchDone = WM_APP + 0x51;
constexpr UINT_PTR kTimerBase = 0x5100;  // + frame id: meta refresh
constexpr int kTopFrame = 0;
constexpr size_t kMaxBody = 4 * 1024 * 1024;

const wchar_t kViewClass[] = L"Shell Embedding";
const wchar_t kNotifyClass[] = L"StandinBrowserNotify";

HINSTANCE g_hinst = nullptr;
LONG g_objects = 0;  // live controls, frame objects and fetch jobs
LONG g_locks = 0;
LONG g_nextCtl = 0;

// ---- logging ----------------------------------------------------------------

std::wstring Hex(unsigned long v) {
    wchar_t buf[16];
    const wchar_t* digits = L"0123456789ABCDEF";
    int i = 15;
    buf[i] = 0;
    do {
        buf[--i] = digits[v & 0xF];
        v >>= 4;
    } while (v && i > 2);
    buf[--i] = L'x';
    buf[--i] = L'0';
    return std::wstring(buf + i);
}

std::wstring HexHr(HRESULT hr) { return Hex(static_cast<unsigned long>(hr)); }
std::wstring Num(long v) { return std::to_wstring(v); }
std::wstring PtrHex(const void* p) { return Hex(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p))); }

std::wstring Esc(const std::wstring& v) {
    std::wstring out;
    out.reserve(v.size());
    for (wchar_t c : v) {
        switch (c) {
            case L' ': out += L"%20"; break;
            case L'\t': out += L"%09"; break;
            case L'\r': out += L"%0D"; break;
            case L'\n': out += L"%0A"; break;
            default: out += c;
        }
    }
    return out;
}

LONGLONG QpcNow() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

void WriteLogLine(const std::wstring& line) {
    wchar_t path[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(standin::kLogEnvVar, path, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) return;
    std::string bytes = standin::WideToUtf8(line);
    bytes += '\n';
    for (int attempt = 0; attempt < 20; ++attempt) {
        HANDLE f = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_SHARING_VIOLATION) {
                Sleep(5);
                continue;
            }
            return;
        }
        DWORD written = 0;
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(f);
        return;
    }
}

// ---- VARIANT helpers ----------------------------------------------------------

const VARIANT* Deref(const VARIANT* v) {
    for (int i = 0; v && i < 4 && v->vt == (VT_BYREF | VT_VARIANT); ++i) v = v->pvarVal;
    return v;
}

bool IsMissing(const VARIANT* v) {
    v = Deref(v);
    return !v || v->vt == VT_EMPTY || v->vt == VT_NULL || (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND);
}

bool VarString(const VARIANT* v, std::wstring& out) {
    out.clear();
    v = Deref(v);
    if (!v) return false;
    if (v->vt == VT_BSTR) {
        if (v->bstrVal) out.assign(v->bstrVal, SysStringLen(v->bstrVal));
        return true;
    }
    if (v->vt == (VT_BYREF | VT_BSTR)) {
        if (v->pbstrVal && *v->pbstrVal) out.assign(*v->pbstrVal, SysStringLen(*v->pbstrVal));
        return true;
    }
    if (v->vt == VT_EMPTY) return true;
    VARIANT tmp;
    VariantInit(&tmp);
    if (FAILED(VariantChangeType(&tmp, const_cast<VARIANT*>(v), 0, VT_BSTR))) return false;
    if (tmp.bstrVal) out.assign(tmp.bstrVal, SysStringLen(tmp.bstrVal));
    VariantClear(&tmp);
    return true;
}

std::string VarBytes(const VARIANT* v) {
    v = Deref(v);
    if (!v) return "";
    SAFEARRAY* sa = nullptr;
    if (v->vt == (VT_ARRAY | VT_UI1)) sa = v->parray;
    else if (v->vt == (VT_BYREF | VT_ARRAY | VT_UI1) && v->pparray) sa = *v->pparray;
    if (sa) {
        LONG lo = 0, hi = -1;
        SafeArrayGetLBound(sa, 1, &lo);
        SafeArrayGetUBound(sa, 1, &hi);
        void* data = nullptr;
        std::string out;
        if (hi >= lo && SUCCEEDED(SafeArrayAccessData(sa, &data))) {
            out.assign(static_cast<const char*>(data), static_cast<size_t>(hi - lo + 1));
            SafeArrayUnaccessData(sa);
        }
        return out;
    }
    std::wstring s;
    if (VarString(v, s)) return standin::WideToUtf8(s);
    return "";
}

std::wstring VtDesc(const VARIANT& v) {
    std::wstring d = Hex(v.vt);
    if (v.vt == (VT_BYREF | VT_VARIANT)) d += L"->" + (v.pvarVal ? Hex(v.pvarVal->vt) : std::wstring(L"null"));
    return d;
}

BSTR Bstr(const std::wstring& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }

bool StartsWithNoCase(const std::wstring& s, const wchar_t* prefix) {
    size_t n = wcslen(prefix);
    return s.size() >= n && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, s.c_str(), static_cast<int>(n), prefix,
                                           static_cast<int>(n)) == CSTR_EQUAL;
}

// ---- fetch jobs -------------------------------------------------------------

struct Job {
    volatile LONG refs = 2;  // the control's and the worker's
    volatile LONG cancelled = 0;
    HWND notify = nullptr;
    HANDLE thread = nullptr;
    int frameId = 0;
    unsigned serial = 0;
    bool quiet = false;  // Refresh: no events
    bool isBack = false;
    std::wstring url, headers, referer;
    std::string post;
    // results
    DWORD status = 0;
    DWORD error = 0;
    std::string body;
    std::wstring finalUrl, contentType;

    Job() { InterlockedIncrement(&g_objects); }
    ~Job() { InterlockedDecrement(&g_objects); }
    void Release() {
        if (InterlockedDecrement(&refs) == 0) delete this;
    }
};

void CloseNet(HINTERNET& h) {
    if (h) InternetCloseHandle(h);
    h = nullptr;
}

void DoFetch(Job& j) {
    URL_COMPONENTSW uc{};
    uc.dwStructSize = sizeof uc;
    uc.dwSchemeLength = 1;
    uc.dwHostNameLength = 1;
    uc.dwUrlPathLength = 1;
    uc.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(j.url.c_str(), 0, 0, &uc)) {
        j.error = GetLastError();
        if (!j.error) j.error = ERROR_INTERNET_INVALID_URL;
        return;
    }
    if (uc.nScheme != INTERNET_SCHEME_HTTP && uc.nScheme != INTERNET_SCHEME_HTTPS) {
        j.error = ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        return;
    }
    std::wstring host(uc.lpszHostName ? uc.lpszHostName : L"", uc.dwHostNameLength);
    std::wstring path(uc.lpszUrlPath ? uc.lpszUrlPath : L"", uc.dwUrlPathLength);
    std::wstring extra(uc.lpszExtraInfo ? uc.lpszExtraInfo : L"", uc.dwExtraInfoLength);
    size_t hash = extra.find(L'#');
    if (hash != std::wstring::npos) extra.resize(hash);
    if (path.empty()) path = L"/";
    path += extra;

    HINTERNET net = InternetOpenW(L"Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1; Trident/4.0; standin-browser)",
                                  INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!net) {
        j.error = GetLastError();
        return;
    }
    DWORD timeout = 15000;
    InternetSetOptionW(net, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(net, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(net, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    HINTERNET con = InternetConnectW(net, host.c_str(), uc.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = nullptr;
    if (con) {
        const wchar_t* accept[] = {L"*/*", nullptr};
        DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI;
        if (uc.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
        req = HttpOpenRequestW(con, j.post.empty() ? L"GET" : L"POST", path.c_str(), nullptr,
                               j.referer.empty() ? nullptr : j.referer.c_str(), accept, flags, 0);
    }
    if (!req) {
        j.error = GetLastError();
        CloseNet(con);
        CloseNet(net);
        return;
    }
    std::wstring hdrs = j.headers;
    if (!j.post.empty() && hdrs.find(L"Content-Type") == std::wstring::npos)
        hdrs += L"Content-Type: application/x-www-form-urlencoded\r\n";
    BOOL ok = HttpSendRequestW(req, hdrs.empty() ? nullptr : hdrs.c_str(), hdrs.empty() ? 0 : static_cast<DWORD>(-1),
                               j.post.empty() ? nullptr : const_cast<char*>(j.post.data()),
                               static_cast<DWORD>(j.post.size()));
    if (!ok) {
        j.error = GetLastError();
        if (!j.error) j.error = ERROR_INTERNET_CANNOT_CONNECT;
    } else {
        DWORD status = 0, len = sizeof status;
        if (HttpQueryInfoW(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &len, nullptr))
            j.status = status;
        wchar_t buf[4096];
        len = sizeof buf;
        if (InternetQueryOptionW(req, INTERNET_OPTION_URL, buf, &len)) j.finalUrl = buf;
        len = sizeof buf;
        if (HttpQueryInfoW(req, HTTP_QUERY_CONTENT_TYPE, buf, &len, nullptr)) j.contentType = buf;
        char chunk[16384];
        DWORD got = 0;
        while (!j.cancelled && InternetReadFile(req, chunk, sizeof chunk, &got) && got > 0) {
            j.body.append(chunk, got);
            if (j.body.size() > kMaxBody) break;
        }
    }
    CloseNet(req);
    CloseNet(con);
    CloseNet(net);
}

DWORD WINAPI FetchThread(void* param) {
    Job* job = static_cast<Job*>(param);
    DoFetch(*job);
    if (!job->cancelled) PostMessageW(job->notify, kMsgFetchDone, 0, reinterpret_cast<LPARAM>(job));
    job->Release();
    FreeLibraryAndExitThread(g_hinst, 0);
    return 0;
}

LONG MapNetError(DWORD err) {
    switch (err) {
        case ERROR_INTERNET_NAME_NOT_RESOLVED: return static_cast<LONG>(0x800C0005);  // INET_E_RESOURCE_NOT_FOUND
        case ERROR_INTERNET_CANNOT_CONNECT: return static_cast<LONG>(0x800C0004);     // INET_E_CANNOT_CONNECT
        case ERROR_INTERNET_TIMEOUT: return static_cast<LONG>(0x800C000B);            // INET_E_CONNECTION_TIMEOUT
        case ERROR_INTERNET_UNRECOGNIZED_SCHEME: return static_cast<LONG>(0x800C000D);  // INET_E_UNKNOWN_PROTOCOL
        case ERROR_INTERNET_INVALID_URL: return static_cast<LONG>(0x800C0002);       // INET_E_INVALID_URL
        default: return static_cast<LONG>(0x800C0008);                               // INET_E_DOWNLOAD_FAILURE
    }
}

void EnsureClasses();
LRESULT CALLBACK ViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK NotifyProc(HWND, UINT, WPARAM, LPARAM);

class Browser;

// ---- frame dispatch object --------------------------------------------------

class FrameDisp final : public IDispatch {
public:
    FrameDisp(Browser* owner, int frameId) : owner_(owner), frameId_(frameId) { InterlockedIncrement(&g_objects); }
    void Detach() { owner_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&ref_)); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG r = InterlockedDecrement(&ref_);
        if (r == 0) {
            InterlockedDecrement(&g_objects);
            delete this;
        }
        return static_cast<ULONG>(r);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* p) override {
        if (!p) return E_POINTER;
        *p = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** pp) override {
        if (pp) *pp = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            if (names[i] && lstrcmpiW(names[i], L"LocationURL") == 0) ids[i] = kDispLocationURL;
            else if (names[i] && lstrcmpiW(names[i], L"LocationName") == 0) ids[i] = kDispLocationName;
            else {
                ids[i] = DISPID_UNKNOWN;
                hr = DISP_E_UNKNOWNNAME;
            }
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

    int FrameId() const { return frameId_; }

private:
    ~FrameDisp() = default;
    LONG ref_ = 1;
    Browser* owner_;
    int frameId_;
};

// ---- frames -----------------------------------------------------------------

struct Frame {
    int id = kTopFrame;
    int parent = -1;
    FrameDisp* disp = nullptr;  // null for the top page (the control's own IDispatch)
    std::wstring name;
    std::wstring url;            // committed address
    std::wstring loadingUrl;
    unsigned serial = 0;
    bool loading = false;
    bool hasDoc = false;
    Document doc;
    std::vector<int> children;   // frame id per Document::frames index (-1 = none)
    standin::LayoutResult layout;
    int layoutWidth = -1;
    RECT view{};                 // last geometry in view client coordinates
    int originX = 0, originY = 0;
    int scrollY = 0;
    int pendingChildren = 0;     // DocumentComplete waits for these
    bool dcPending = false;
    bool countsForParent = false;  // loading as part of the parent's document
};

std::wstring FrameName(int id) { return id == kTopFrame ? std::wstring(L"top") : L"f" + Num(id); }

// ---- the control --------------------------------------------------------------

class Browser final : public IOleObject,
                      public IOleInPlaceObject,
                      public IOleInPlaceActiveObject,
                      public IOleControl,
                      public IPersistStreamInit,
                      public IPersistStorage,
                      public IViewObject2,
                      public IWebBrowser2,
                      public IConnectionPointContainer,
                      public IProvideClassInfo2,
                      public IOleCommandTarget {
public:
    Browser() : cp_(this) {
        InterlockedIncrement(&g_objects);
        ctl_ = InterlockedIncrement(&g_nextCtl);
        auto top = std::make_unique<Frame>();
        top->id = kTopFrame;
        frames_[kTopFrame] = std::move(top);
        measureDc_ = CreateCompatibleDC(nullptr);
        Log(L"Create");
    }

    // ---- IUnknown ----
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleObject)) *ppv = static_cast<IOleObject*>(this);
        else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceObject))
            *ppv = static_cast<IOleInPlaceObject*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceActiveObject)) *ppv = static_cast<IOleInPlaceActiveObject*>(this);
        else if (IsEqualIID(riid, IID_IOleControl)) *ppv = static_cast<IOleControl*>(this);
        else if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStreamInit) ||
                 IsEqualIID(riid, IID_IPersistStream))
            *ppv = static_cast<IPersistStreamInit*>(this);
        else if (IsEqualIID(riid, IID_IPersistStorage)) *ppv = static_cast<IPersistStorage*>(this);
        else if (IsEqualIID(riid, IID_IViewObject) || IsEqualIID(riid, IID_IViewObject2))
            *ppv = static_cast<IViewObject2*>(this);
        else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kIID_IWebBrowser) ||
                 IsEqualIID(riid, kIID_IWebBrowserApp) || IsEqualIID(riid, kIID_IWebBrowser2))
            *ppv = static_cast<IWebBrowser2*>(this);
        else if (IsEqualIID(riid, IID_IConnectionPointContainer)) *ppv = static_cast<IConnectionPointContainer*>(this);
        else if (IsEqualIID(riid, IID_IProvideClassInfo) || IsEqualIID(riid, IID_IProvideClassInfo2))
            *ppv = static_cast<IProvideClassInfo2*>(this);
        else if (IsEqualIID(riid, IID_IOleCommandTarget)) *ppv = static_cast<IOleCommandTarget*>(this);
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++ref_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG r = --ref_;
        if (r == 0) delete this;
        return static_cast<ULONG>(r);
    }

    // ---- IOleObject ----
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        Hold h(this);
        if (site == site_) {
            Log(L"SetClientSite site=" + Num(site ? 1 : 0) + L" uihandler=" + Num(ui_ ? 1 : 0) + L" same=1");
            return S_OK;
        }
        if (!site && inplace_) InPlaceDeactivateImpl();  // host skipped InPlaceDeactivate
        if (ui_) ui_->Release();
        ui_ = nullptr;
        if (site_) site_->Release();
        site_ = site;
        if (site_) {
            site_->AddRef();
            void* p = nullptr;
            if (SUCCEEDED(site_->QueryInterface(kIID_IDocHostUIHandler, &p)) && p)
                ui_ = static_cast<IDocHostUIHandler*>(p);
        }
        Log(L"SetClientSite site=" + Num(site ? 1 : 0) + L" uihandler=" + Num(ui_ ? 1 : 0));
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** pp) override {
        if (!pp) return E_POINTER;
        *pp = site_;
        if (site_) site_->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD) override {
        Hold h(this);
        CloseImpl();
        Log(L"Close hr=0x0");
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** pp) override {
        if (pp) *pp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** pp) override {
        if (pp) *pp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND hwndParent,
                        LPCRECT posRect) override {
        Hold h(this);
        if (!site_ && activeSite) SetClientSite(activeSite);
        HRESULT hr = S_OK;
        switch (verb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_OPEN:
            case OLEIVERB_INPLACEACTIVATE:
            case OLEIVERB_UIACTIVATE:
                closed_ = false;
                hr = InPlaceActivate(hwndParent, posRect);
                if (SUCCEEDED(hr) && hwnd_ && (verb == OLEIVERB_SHOW || verb == OLEIVERB_OPEN))
                    ShowWindow(hwnd_, SW_SHOW);
                if (SUCCEEDED(hr) && verb == OLEIVERB_UIACTIVATE) {
                    UIActivate();
                    if (hwnd_ && GetFocus() != hwnd_) SetFocus(hwnd_);
                }
                break;
            case OLEIVERB_HIDE:
                if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
                break;
            case OLEIVERB_DISCARDUNDOSTATE:
                break;
            default:
                hr = verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
        }
        Log(L"DoVerb verb=" + Num(verb) + L" hr=" + HexHr(hr));
        return hr;
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** pp) override {
        if (pp) *pp = nullptr;
        return OLEOBJ_E_NOVERBS;
    }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* p) override {
        if (!p) return E_POINTER;
        *p = kCLSID_WebBrowser;
        return S_OK;
    }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR* p) override {
        if (p) *p = nullptr;
        return OLE_S_USEREG;
    }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* s) override {
        if (!s) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return E_FAIL;
        extent_ = *s;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* s) override {
        if (!s) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return E_FAIL;
        if (extent_.cx == 0 && extent_.cy == 0) {
            int w = 300, h = 150;
            if (hwnd_) {
                RECT r;
                GetWindowRect(hwnd_, &r);
                w = r.right - r.left;
                h = r.bottom - r.top;
            }
            s->cx = MulDiv(w, 2540, 96);
            s->cy = MulDiv(h, 2540, 96);
        } else {
            *s = extent_;
        }
        return S_OK;
    }
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override {
        if (!adviseHolder_ && FAILED(CreateOleAdviseHolder(&adviseHolder_))) return E_OUTOFMEMORY;
        return adviseHolder_->Advise(sink, cookie);
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (!adviseHolder_) return OLE_E_NOCONNECTION;
        return adviseHolder_->Unadvise(cookie);
    }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** pp) override {
        if (!pp) return E_POINTER;
        *pp = nullptr;
        if (!adviseHolder_) return S_OK;
        return adviseHolder_->EnumAdvise(pp);
    }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        if (!status) return E_POINTER;
        *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                  OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // ---- IOleWindow / IOleInPlaceObject / IOleInPlaceActiveObject ----
    STDMETHODIMP GetWindow(HWND* phwnd) override {
        if (!phwnd) return E_POINTER;
        *phwnd = hwnd_;
        return hwnd_ ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override {
        Hold h(this);
        InPlaceDeactivateImpl();
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override {
        Hold h(this);
        UIDeactivateImpl();
        return S_OK;
    }
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override {
        if (!pos) return E_POINTER;
        pos_ = *pos;
        Log(L"SetObjectRects x=" + Num(pos->left) + L" y=" + Num(pos->top) + L" w=" + Num(pos->right - pos->left) +
            L" h=" + Num(pos->bottom - pos->top));
        if (hwnd_)
            SetWindowPos(hwnd_, nullptr, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override {
        if (!msg) return E_INVALIDARG;
        if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return S_FALSE;
        Hold h(this);
        std::wstring keyInfo = L" msg=" + Hex(msg->message) + L" key=" + Hex(static_cast<unsigned long>(msg->wParam));
        // Only keys meant for the page (its window or a child of it) are handled.
        if (!hwnd_ || !msg->hwnd || (msg->hwnd != hwnd_ && !IsChild(hwnd_, msg->hwnd))) {
            Log(L"TranslateAccelerator" + keyInfo + L" result=0x1 action=elsewhere");
            return S_FALSE;
        }
        if (ui_) {
            HRESULT hr = ui_->TranslateAccelerator(msg, &kCGID_MSHTML, 0);
            Log(L"TranslateAccelerator host hr=" + HexHr(hr) + keyInfo);
            if (hr == S_OK) {
                Log(L"TranslateAccelerator" + keyInfo + L" result=0x0 action=host");
                return S_OK;
            }
        }
        std::wstring action;
        bool handled = msg->message == WM_KEYDOWN && HandleKey(static_cast<UINT>(msg->wParam), action);
        HRESULT result = handled ? S_OK : S_FALSE;
        Log(L"TranslateAccelerator" + keyInfo + L" result=" + HexHr(result) + L" action=" + action);
        return result;
    }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // ---- IOleControl ----
    STDMETHODIMP GetControlInfo(CONTROLINFO* ci) override {
        if (!ci) return E_POINTER;
        ci->hAccel = nullptr;
        ci->cAccel = 0;
        ci->dwFlags = 0;
        return S_OK;
    }
    STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // ---- IPersist / IPersistStreamInit / IPersistStorage ----
    STDMETHODIMP GetClassID(CLSID* p) override {
        if (!p) return E_POINTER;
        *p = kCLSID_WebBrowser;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM) override { return S_OK; }  // persisted state is not read
    STDMETHODIMP Save(LPSTREAM, BOOL) override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* p) override {
        if (!p) return E_POINTER;
        p->QuadPart = 0;
        return S_OK;
    }
    STDMETHODIMP InitNew() override { return S_OK; }
    STDMETHODIMP InitNew(IStorage*) override { return S_OK; }
    STDMETHODIMP Load(IStorage*) override { return S_OK; }
    STDMETHODIMP Save(IStorage*, BOOL) override { return S_OK; }
    STDMETHODIMP SaveCompleted(IStorage*) override { return S_OK; }
    STDMETHODIMP HandsOffStorage() override { return S_OK; }

    // ---- IViewObject2 ----
    STDMETHODIMP Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, LPCRECTL bounds, LPCRECTL,
                      WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
        if (!hdcDraw || !bounds) return E_INVALIDARG;
        Hold h(this);
        RECT r = {bounds->left, bounds->top, bounds->right, bounds->bottom};
        PaintFrame(Top(), hdcDraw, r, true);
        UpdateGeometry();
        return S_OK;
    }
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** pp) override {
        if (pp) *pp = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override {
        if (viewSink_) viewSink_->Release();
        viewSink_ = sink;
        if (viewSink_) viewSink_->AddRef();
        viewAspects_ = aspects;
        viewAdvf_ = advf;
        return S_OK;
    }
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** pp) override {
        if (aspects) *aspects = viewAspects_;
        if (advf) *advf = viewAdvf_;
        if (pp) {
            *pp = viewSink_;
            if (viewSink_) viewSink_->AddRef();
        }
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL s) override {
        return GetExtent(aspect, s);
    }

    // ---- IDispatch ----
    STDMETHODIMP GetTypeInfoCount(UINT* p) override {
        if (!p) return E_POINTER;
        *p = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** pp) override {
        if (pp) *pp = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        static const struct {
            const wchar_t* name;
            DISPID id;
        } table[] = {{L"Navigate", kDispNavigate},       {L"Navigate2", kDispNavigate2},
                     {L"Refresh", kDispRefresh},         {L"Refresh2", kDispRefresh2},
                     {L"GoBack", kDispGoBack},           {L"GoForward", kDispGoForward},
                     {L"GoHome", kDispGoHome},           {L"Stop", kDispStop},
                     {L"LocationURL", kDispLocationURL}, {L"LocationName", kDispLocationName},
                     {L"Busy", kDispBusy},               {L"ReadyState", kDispReadyState},
                     {L"Document", kDispDocument}};
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const auto& t : table)
                if (names[i] && lstrcmpiW(names[i], t.name) == 0) ids[i] = t.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result, EXCEPINFO*,
                        UINT* argErr) override {
        Hold h(this);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        if (!dp) dp = &none;
        UINT n = dp->cArgs;
        if (n && !dp->rgvarg) return E_INVALIDARG;
        if (result) VariantInit(result);
        auto arg = [&](UINT param) -> const VARIANT* {  // param 0 = first parameter
            return param < n ? &dp->rgvarg[n - 1 - param] : nullptr;
        };
        if ((id == kDispNavigate || id == kDispNavigate2) && (flags & DISPATCH_METHOD)) {
            std::wstring vts;
            for (UINT i = 0; i < n; ++i) vts += (i ? L"," : L"") + VtDesc(dp->rgvarg[i]);
            std::wstring url;
            bool ok = n >= 1 && VarString(arg(0), url);
            std::wstring kind = OptionalKind(arg(1), arg(2), arg(3), arg(4), n);
            Log(L"Invoke " + std::wstring(id == kDispNavigate ? L"Navigate" : L"Navigate2") + L" cArgs=" + Num(n) +
                L" cNamed=" + Num(dp->cNamedArgs) + L" vt=" + vts + L" optional=" + kind + L" url=" + Esc(url));
            if (n < 1) return DISP_E_BADPARAMCOUNT;
            if (!ok) {
                if (argErr) *argErr = n - 1;
                return DISP_E_TYPEMISMATCH;
            }
            return NavigateApi(url, arg(1), arg(2), arg(3), arg(4));
        }
        if ((id == kDispRefresh || id == kDispRefresh2) && (flags & DISPATCH_METHOD)) {
            Log(std::wstring(L"Invoke ") + (id == kDispRefresh ? L"Refresh" : L"Refresh2") + L" cArgs=" + Num(n));
            Reload();
            return S_OK;
        }
        if (id == kDispGoBack && (flags & DISPATCH_METHOD)) {
            Log(L"Invoke GoBack cArgs=" + Num(n));
            return GoBackImpl() ? S_OK : E_FAIL;
        }
        if (id == kDispGoForward && (flags & DISPATCH_METHOD)) {
            Log(L"Invoke GoForward cArgs=" + Num(n));
            return E_FAIL;
        }
        if (id == kDispGoHome && (flags & DISPATCH_METHOD)) {
            Log(L"Invoke GoHome cArgs=" + Num(n));
            StartNavigation(kTopFrame, L"about:blank", L"", "", L"", true, false, L"");
            return S_OK;
        }
        if (id == kDispStop && (flags & DISPATCH_METHOD)) {
            Log(L"Invoke Stop cArgs=" + Num(n));
            StopImpl();
            return S_OK;
        }
        if (flags & DISPATCH_PROPERTYGET) {
            if (id == kDispLocationURL || id == kDispLocationName || id == kDispBusy || id == kDispReadyState ||
                id == kDispDocument) {
                if (!result) return E_POINTER;
                Frame* top = Top();
                if (id == kDispLocationURL) {
                    result->vt = VT_BSTR;
                    result->bstrVal = Bstr(top->url);
                } else if (id == kDispLocationName) {
                    result->vt = VT_BSTR;
                    result->bstrVal = Bstr(top->hasDoc ? (top->doc.title.empty() ? top->url : top->doc.title) : L"");
                } else if (id == kDispBusy) {
                    result->vt = VT_BOOL;
                    result->boolVal = AnyLoading() ? VARIANT_TRUE : VARIANT_FALSE;
                } else if (id == kDispReadyState) {
                    result->vt = VT_I4;
                    result->lVal = ReadyState();
                } else {
                    result->vt = VT_DISPATCH;
                    result->pdispVal = nullptr;
                }
                return S_OK;
            }
        }
        HRESULT hr = DISP_E_MEMBERNOTFOUND;
        Log(L"Invoke dispid=" + Num(id) + L" flags=" + Hex(flags) + L" cArgs=" + Num(n) + L" hr=" + HexHr(hr));
        return hr;
    }

    // ---- IWebBrowser ----
    STDMETHODIMP GoBack() override {
        Hold h(this);
        Log(L"Method GoBack");
        return GoBackImpl() ? S_OK : E_FAIL;
    }
    STDMETHODIMP GoForward() override { return E_FAIL; }
    STDMETHODIMP GoHome() override {
        Hold h(this);
        Log(L"Method GoHome");
        StartNavigation(kTopFrame, L"about:blank", L"", "", L"", true, false, L"");
        return S_OK;
    }
    STDMETHODIMP GoSearch() override { return E_NOTIMPL; }
    STDMETHODIMP Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* post, VARIANT* headers) override {
        Hold h(this);
        std::wstring u = url ? std::wstring(url, SysStringLen(url)) : std::wstring();
        Log(L"Method Navigate url=" + Esc(u));
        return NavigateApi(u, flags, target, post, headers);
    }
    STDMETHODIMP Refresh() override {
        Hold h(this);
        Log(L"Method Refresh");
        Reload();
        return S_OK;
    }
    STDMETHODIMP Refresh2(VARIANT*) override { return Refresh(); }
    STDMETHODIMP Stop() override {
        Hold h(this);
        Log(L"Method Stop");
        StopImpl();
        return S_OK;
    }
    STDMETHODIMP get_Application(IDispatch** pp) override { return get_Parent(pp); }
    STDMETHODIMP get_Parent(IDispatch** pp) override {
        if (!pp) return E_POINTER;
        *pp = static_cast<IWebBrowser2*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP get_Container(IDispatch** pp) override {
        if (pp) *pp = nullptr;
        return S_OK;
    }
    STDMETHODIMP get_Document(IDispatch** pp) override {
        if (pp) *pp = nullptr;
        return S_OK;
    }
    STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL* p) override { return Bool(p, true); }
    STDMETHODIMP get_Type(BSTR* p) override {
        if (!p) return E_POINTER;
        *p = SysAllocString(L"HTML Document");
        return S_OK;
    }
    STDMETHODIMP get_Left(LONG* p) override { return Coord(p, 0); }
    STDMETHODIMP put_Left(LONG) override { return S_OK; }
    STDMETHODIMP get_Top(LONG* p) override { return Coord(p, 1); }
    STDMETHODIMP put_Top(LONG) override { return S_OK; }
    STDMETHODIMP get_Width(LONG* p) override { return Coord(p, 2); }
    STDMETHODIMP put_Width(LONG) override { return S_OK; }
    STDMETHODIMP get_Height(LONG* p) override { return Coord(p, 3); }
    STDMETHODIMP put_Height(LONG) override { return S_OK; }
    STDMETHODIMP get_LocationName(BSTR* p) override {
        if (!p) return E_POINTER;
        Frame* top = Top();
        *p = Bstr(top->hasDoc ? (top->doc.title.empty() ? top->url : top->doc.title) : L"");
        return S_OK;
    }
    STDMETHODIMP get_LocationURL(BSTR* p) override {
        if (!p) return E_POINTER;
        *p = Bstr(Top()->url);
        return S_OK;
    }
    STDMETHODIMP get_Busy(VARIANT_BOOL* p) override { return Bool(p, AnyLoading()); }

    // ---- IWebBrowserApp ----
    STDMETHODIMP Quit() override { return E_NOTIMPL; }
    STDMETHODIMP ClientToWindow(int*, int*) override { return S_OK; }
    STDMETHODIMP PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP GetProperty(BSTR, VARIANT* v) override {
        if (v) VariantInit(v);
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Name(BSTR* p) override {
        if (!p) return E_POINTER;
        *p = SysAllocString(L"Microsoft Web Browser Control");
        return S_OK;
    }
    STDMETHODIMP get_HWND(SHANDLE_PTR* p) override {
        if (p) *p = 0;
        return E_FAIL;
    }
    STDMETHODIMP get_FullName(BSTR* p) override { return NotImplBstr(p); }
    STDMETHODIMP get_Path(BSTR* p) override { return NotImplBstr(p); }
    STDMETHODIMP get_Visible(VARIANT_BOOL* p) override { return Bool(p, hwnd_ && IsWindowVisible(hwnd_)); }
    STDMETHODIMP put_Visible(VARIANT_BOOL v) override {
        if (hwnd_) ShowWindow(hwnd_, v ? SW_SHOW : SW_HIDE);
        return S_OK;
    }
    STDMETHODIMP get_StatusBar(VARIANT_BOOL* p) override { return Bool(p, false); }
    STDMETHODIMP put_StatusBar(VARIANT_BOOL) override { return S_OK; }
    STDMETHODIMP get_StatusText(BSTR* p) override { return NotImplBstr(p); }
    STDMETHODIMP put_StatusText(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_ToolBar(int* p) override {
        if (p) *p = 0;
        return S_OK;
    }
    STDMETHODIMP put_ToolBar(int) override { return S_OK; }
    STDMETHODIMP get_MenuBar(VARIANT_BOOL* p) override { return Bool(p, false); }
    STDMETHODIMP put_MenuBar(VARIANT_BOOL) override { return S_OK; }
    STDMETHODIMP get_FullScreen(VARIANT_BOOL* p) override { return Bool(p, false); }
    STDMETHODIMP put_FullScreen(VARIANT_BOOL) override { return S_OK; }

    // ---- IWebBrowser2 ----
    STDMETHODIMP Navigate2(VARIANT* url, VARIANT* flags, VARIANT* target, VARIANT* post, VARIANT* headers) override {
        Hold h(this);
        std::wstring u;
        if (!VarString(url, u)) return E_INVALIDARG;
        Log(L"Method Navigate2 url=" + Esc(u));
        return NavigateApi(u, flags, target, post, headers);
    }
    STDMETHODIMP QueryStatusWB(OLECMDID, OLECMDF* p) override {
        if (p) *p = static_cast<OLECMDF>(0);
        return OLECMDERR_E_NOTSUPPORTED;
    }
    STDMETHODIMP ExecWB(OLECMDID cmd, OLECMDEXECOPT, VARIANT*, VARIANT*) override {
        if (cmd == OLECMDID_REFRESH) return Refresh();
        if (cmd == OLECMDID_STOP) return Stop();
        return OLECMDERR_E_NOTSUPPORTED;
    }
    STDMETHODIMP ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP get_ReadyState(READYSTATE* p) override {
        if (!p) return E_POINTER;
        *p = static_cast<READYSTATE>(ReadyState());
        return S_OK;
    }
    STDMETHODIMP get_Offline(VARIANT_BOOL* p) override { return Bool(p, false); }
    STDMETHODIMP put_Offline(VARIANT_BOOL) override { return S_OK; }
    STDMETHODIMP get_Silent(VARIANT_BOOL* p) override { return Bool(p, silent_); }
    STDMETHODIMP put_Silent(VARIANT_BOOL v) override {
        silent_ = v != VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_RegisterAsBrowser(VARIANT_BOOL* p) override { return Bool(p, false); }
    STDMETHODIMP put_RegisterAsBrowser(VARIANT_BOOL) override { return S_OK; }
    STDMETHODIMP get_RegisterAsDropTarget(VARIANT_BOOL* p) override { return Bool(p, false); }
    STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL) override { return S_OK; }
    STDMETHODIMP get_TheaterMode(VARIANT_BOOL* p) override { return Bool(p, false); }
    STDMETHODIMP put_TheaterMode(VARIANT_BOOL) override { return S_OK; }
    STDMETHODIMP get_AddressBar(VARIANT_BOOL* p) override { return Bool(p, false); }
    STDMETHODIMP put_AddressBar(VARIANT_BOOL) override { return S_OK; }
    STDMETHODIMP get_Resizable(VARIANT_BOOL* p) override { return Bool(p, false); }
    STDMETHODIMP put_Resizable(VARIANT_BOOL) override { return S_OK; }

    // ---- IConnectionPointContainer ----
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** pp) override {
        if (pp) *pp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** pp) override {
        if (!pp) return E_POINTER;
        *pp = nullptr;
        if (!IsEqualIID(riid, kDIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
        *pp = &cp_;
        cp_.AddRef();
        return S_OK;
    }

    // ---- IProvideClassInfo2 ----
    STDMETHODIMP GetClassInfo(ITypeInfo** pp) override {
        if (!pp) return E_POINTER;
        *pp = nullptr;
        ITypeLib* lib = nullptr;
        if (FAILED(LoadRegTypeLib(kLIBID_SHDocVw, 1, 1, LOCALE_NEUTRAL, &lib)) || !lib) return E_NOTIMPL;
        HRESULT hr = lib->GetTypeInfoOfGuid(kCLSID_WebBrowser, pp);
        lib->Release();
        return SUCCEEDED(hr) ? S_OK : E_NOTIMPL;
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* p) override {
        if (!p) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
            *p = GUID_NULL;
            return E_INVALIDARG;
        }
        *p = kDIID_DWebBrowserEvents2;
        return S_OK;
    }

    // ---- IOleCommandTarget ----
    STDMETHODIMP QueryStatus(const GUID*, ULONG count, OLECMD* cmds, OLECMDTEXT*) override {
        for (ULONG i = 0; cmds && i < count; ++i) cmds[i].cmdf = 0;
        return OLECMDERR_E_NOTSUPPORTED;
    }
    STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD, VARIANT*, VARIANT*) override {
        if (!group && id == OLECMDID_REFRESH) return Refresh();
        return OLECMDERR_E_NOTSUPPORTED;
    }

    // ---- window procedures (called through ViewProc / NotifyProc) ----
    LRESULT OnView(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnNotify(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    // ---- used by FrameDisp ----
    bool FrameInfo(int frameId, std::wstring& url, std::wstring& title) {
        Frame* f = FindFrame(frameId);
        if (!f) return false;
        url = f->url;
        title = f->hasDoc ? f->doc.title : L"";
        return true;
    }

private:
    struct Hold {
        explicit Hold(Browser* b) : b_(b) { b_->AddRef(); }
        ~Hold() { b_->Release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        Browser* b_;
    };

    // Connection point for DWebBrowserEvents2; shares the control's count.
    class ConnPoint final : public IConnectionPoint {
    public:
        explicit ConnPoint(Browser* owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
            if (!ppv) return E_POINTER;
            *ppv = nullptr;
            if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
                *ppv = static_cast<IConnectionPoint*>(this);
                AddRef();
                return S_OK;
            }
            return E_NOINTERFACE;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
        STDMETHODIMP GetConnectionInterface(IID* p) override {
            if (!p) return E_POINTER;
            *p = kDIID_DWebBrowserEvents2;
            return S_OK;
        }
        STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** pp) override {
            if (!pp) return E_POINTER;
            *pp = static_cast<IConnectionPointContainer*>(owner_);
            owner_->AddRef();
            return S_OK;
        }
        STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override { return owner_->AdviseSink(sink, cookie); }
        STDMETHODIMP Unadvise(DWORD cookie) override { return owner_->UnadviseSink(cookie); }
        STDMETHODIMP EnumConnections(IEnumConnections** pp) override {
            if (pp) *pp = nullptr;
            return E_NOTIMPL;
        }

    private:
        Browser* owner_;
    };

    ~Browser() {
        closed_ = true;
        if (inplace_) InPlaceDeactivateImpl();
        CancelJobs();
        if (notify_) {
            SetWindowLongPtrW(notify_, GWLP_USERDATA, 0);
            DestroyWindow(notify_);
            notify_ = nullptr;
        }
        DestroyChildren(Top());
        for (auto& s : sinks_) s.second->Release();
        sinks_.clear();
        if (ui_) ui_->Release();
        if (site_) site_->Release();
        if (adviseHolder_) adviseHolder_->Release();
        if (viewSink_) viewSink_->Release();
        if (measureDc_) DeleteDC(measureDc_);
        Log(L"Destroy");
        InterlockedDecrement(&g_objects);
    }

    static HRESULT Bool(VARIANT_BOOL* p, bool v) {
        if (!p) return E_POINTER;
        *p = v ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    static HRESULT NotImplBstr(BSTR* p) {
        if (p) *p = nullptr;
        return E_NOTIMPL;
    }
    HRESULT Coord(LONG* p, int which) {
        if (!p) return E_POINTER;
        RECT r = pos_;
        if (hwnd_) {
            GetWindowRect(hwnd_, &r);
            MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
        }
        *p = which == 0 ? r.left : which == 1 ? r.top : which == 2 ? r.right - r.left : r.bottom - r.top;
        return S_OK;
    }

    // `at` is a QueryPerformanceCounter reading; 0 means now.
    void Log(const std::wstring& body, LONGLONG at = 0) const {
        if (!at) at = QpcNow();
        WriteLogLine(body + L" ctl=" + Num(ctl_) + L" pid=" + Num(static_cast<long>(GetCurrentProcessId())) +
                     L" t=" + std::to_wstring(at));
    }

    Frame* FindFrame(int id) {
        auto it = frames_.find(id);
        return it == frames_.end() ? nullptr : it->second.get();
    }
    Frame* Top() { return frames_[kTopFrame].get(); }

    bool AnyLoading() const {
        for (const auto& f : frames_)
            if (f.second->loading) return true;
        return false;
    }
    LONG ReadyState() {
        Frame* top = Top();
        if (top->loading) return READYSTATE_LOADING;
        if (!top->hasDoc) return READYSTATE_UNINITIALIZED;
        return AnyLoading() ? READYSTATE_INTERACTIVE : READYSTATE_COMPLETE;
    }

    static std::wstring OptionalKind(const VARIANT* a, const VARIANT* b, const VARIANT* c, const VARIANT* d, UINT n) {
        if (n <= 1) return L"none";
        const VARIANT* opt[4] = {a, b, c, d};
        bool allMissing = true;
        for (const VARIANT* v : opt)
            if (v && !IsMissing(v)) allMissing = false;
        if (!allMissing) return L"given";
        if (n == 5) {
            bool shared = true;
            for (const VARIANT* v : opt)
                if (!v || v->vt != (VT_BYREF | VT_VARIANT) || v->pvarVal != a->pvarVal || !v->pvarVal ||
                    v->pvarVal->vt != VT_EMPTY)
                    shared = false;
            if (shared) return L"shared-empty";
        }
        return L"empty";
    }

    // ---- sinks and events ----
    HRESULT AdviseSink(IUnknown* sink, DWORD* cookie) {
        if (!sink || !cookie) return E_POINTER;
        *cookie = 0;
        void* p = nullptr;
        if (FAILED(sink->QueryInterface(kDIID_DWebBrowserEvents2, &p)) || !p) {
            p = nullptr;
            if (FAILED(sink->QueryInterface(IID_IDispatch, &p)) || !p) {
                Log(L"Advise cookie=0 hr=" + HexHr(CONNECT_E_CANNOTCONNECT));
                return CONNECT_E_CANNOTCONNECT;
            }
        }
        DWORD c = nextCookie_++;
        sinks_.push_back({c, static_cast<IDispatch*>(p)});
        *cookie = c;
        Log(L"Advise cookie=" + Num(static_cast<long>(c)) + L" hr=0x0");
        return S_OK;
    }
    HRESULT UnadviseSink(DWORD cookie) {
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
            if (it->first == cookie) {
                IDispatch* d = it->second;
                sinks_.erase(it);
                Log(L"Unadvise cookie=" + Num(static_cast<long>(cookie)) + L" hr=0x0");
                d->Release();
                return S_OK;
            }
        }
        Log(L"Unadvise cookie=" + Num(static_cast<long>(cookie)) + L" hr=" + HexHr(CONNECT_E_NOCONNECTION));
        return CONNECT_E_NOCONNECTION;
    }

    // Fires an event to every sink (a snapshot of the list). Returns the
    // number of sinks called.
    int Fire(DISPID id, DISPPARAMS* dp) {
        if (closed_) return 0;
        std::vector<IDispatch*> snapshot;
        for (auto& s : sinks_) {
            s.second->AddRef();
            snapshot.push_back(s.second);
        }
        for (IDispatch* d : snapshot) {
            if (!closed_) d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, dp, nullptr, nullptr, nullptr);
            d->Release();
        }
        return static_cast<int>(snapshot.size());
    }

    IDispatch* DispFor(int frameId) {
        Frame* f = FindFrame(frameId);
        IDispatch* d = (f && f->disp) ? static_cast<IDispatch*>(f->disp) : static_cast<IDispatch*>(static_cast<IWebBrowser2*>(this));
        d->AddRef();
        return d;
    }

    static void ByRef(VARIANT& holder, VARIANT* target) {
        VariantInit(&holder);
        holder.vt = VT_BYREF | VT_VARIANT;
        holder.pvarVal = target;
    }

    bool FireBeforeNavigate2(int frameId, const std::wstring& url, const std::wstring& target, const std::string& post,
                             const std::wstring& headers) {
        if (closed_) return true;
        IDispatch* disp = DispFor(frameId);
        VARIANT vUrl, vFlags, vTarget, vPost, vPostData, vHeaders;
        VariantInit(&vUrl);
        vUrl.vt = VT_BSTR;
        vUrl.bstrVal = Bstr(url);
        VariantInit(&vFlags);
        vFlags.vt = VT_I4;
        vFlags.lVal = 0;
        VariantInit(&vTarget);
        vTarget.vt = VT_BSTR;
        vTarget.bstrVal = Bstr(target);
        VariantInit(&vPost);
        VariantInit(&vPostData);
        if (!post.empty()) {
            SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(post.size()));
            if (sa) {
                void* data = nullptr;
                if (SUCCEEDED(SafeArrayAccessData(sa, &data))) {
                    memcpy(data, post.data(), post.size());
                    SafeArrayUnaccessData(sa);
                }
                vPostData.vt = VT_ARRAY | VT_UI1;
                vPostData.parray = sa;
                ByRef(vPost, &vPostData);
            }
        }
        VariantInit(&vHeaders);
        vHeaders.vt = VT_BSTR;
        vHeaders.bstrVal = Bstr(headers);
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANTARG args[7];
        VariantInit(&args[6]);
        args[6].vt = VT_DISPATCH;
        args[6].pdispVal = disp;
        ByRef(args[5], &vUrl);
        ByRef(args[4], &vFlags);
        ByRef(args[3], &vTarget);
        ByRef(args[2], &vPost);
        ByRef(args[1], &vHeaders);
        VariantInit(&args[0]);
        args[0].vt = VT_BYREF | VT_BOOL;
        args[0].pboolVal = &cancel;
        DISPPARAMS dp = {args, nullptr, 7, 0};
        // The line is written after the sinks have answered (it carries their cancel), but its
        // time is the moment of firing: whatever the host does inside the event lies after it.
        const LONGLONG firedAt = QpcNow();
        int n = Fire(kDispBeforeNavigate2, &dp);
        bool c = cancel != VARIANT_FALSE;
        Log(L"BeforeNavigate2 frame=" + FrameName(frameId) + L" url=" + Esc(url) + L" cancel=" + Num(c ? 1 : 0) +
                L" target=" + Esc(target) + L" sinks=" + Num(n),
            firedAt);
        VariantClear(&vUrl);
        VariantClear(&vTarget);
        VariantClear(&vPostData);
        VariantClear(&vHeaders);
        disp->Release();
        return c;
    }

    void FireUrlEvent(DISPID id, const wchar_t* name, int frameId, const std::wstring& url) {
        if (closed_) return;
        IDispatch* disp = DispFor(frameId);
        VARIANT vUrl;
        VariantInit(&vUrl);
        vUrl.vt = VT_BSTR;
        vUrl.bstrVal = Bstr(url);
        VARIANTARG args[2];
        VariantInit(&args[1]);
        args[1].vt = VT_DISPATCH;
        args[1].pdispVal = disp;
        ByRef(args[0], &vUrl);
        DISPPARAMS dp = {args, nullptr, 2, 0};
        Fire(id, &dp);
        Log(std::wstring(name) + L" frame=" + FrameName(frameId) + L" url=" + Esc(url));
        VariantClear(&vUrl);
        disp->Release();
    }

    bool FireNavigateError(int frameId, const std::wstring& url, LONG status) {
        if (closed_) return false;
        IDispatch* disp = DispFor(frameId);
        VARIANT vUrl, vTarget, vStatus;
        VariantInit(&vUrl);
        vUrl.vt = VT_BSTR;
        vUrl.bstrVal = Bstr(url);
        VariantInit(&vTarget);
        vTarget.vt = VT_BSTR;
        Frame* f = FindFrame(frameId);
        vTarget.bstrVal = Bstr(f ? f->name : L"");
        VariantInit(&vStatus);
        vStatus.vt = VT_I4;
        vStatus.lVal = status;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANTARG args[5];
        VariantInit(&args[4]);
        args[4].vt = VT_DISPATCH;
        args[4].pdispVal = disp;
        ByRef(args[3], &vUrl);
        ByRef(args[2], &vTarget);
        ByRef(args[1], &vStatus);
        VariantInit(&args[0]);
        args[0].vt = VT_BYREF | VT_BOOL;
        args[0].pboolVal = &cancel;
        DISPPARAMS dp = {args, nullptr, 5, 0};
        Fire(kDispNavigateError, &dp);
        bool c = cancel != VARIANT_FALSE;
        Log(L"NavigateError frame=" + FrameName(frameId) + L" url=" + Esc(url) + L" status=" +
            (status < 0 || status > 999 ? HexHr(status) : Num(status)) + L" cancel=" + Num(c ? 1 : 0));
        VariantClear(&vUrl);
        VariantClear(&vTarget);
        disp->Release();
        return c;
    }

    // ---- navigation ----
    static std::wstring FixUrl(std::wstring u) {
        while (!u.empty() && iswspace(u.front())) u.erase(u.begin());
        while (!u.empty() && iswspace(u.back())) u.pop_back();
        if (u.empty()) return L"about:blank";
        size_t colon = u.find(L':');
        size_t slash = u.find(L'/');
        bool hasScheme = colon != std::wstring::npos && colon > 1 && (slash == std::wstring::npos || colon < slash);
        if (!hasScheme) u = (u.compare(0, 2, L"//") == 0 ? L"http:" : L"http://") + u;
        return u;
    }

    HRESULT NavigateApi(const std::wstring& rawUrl, const VARIANT* flags, const VARIANT* target, const VARIANT* post,
                        const VARIANT* headers) {
        (void)flags;
        if (closed_) return S_OK;
        std::wstring url = FixUrl(rawUrl);
        std::wstring tgt, hdr;
        if (!IsMissing(target)) VarString(target, tgt);
        if (!IsMissing(headers)) VarString(headers, hdr);
        std::string data = IsMissing(post) ? std::string() : VarBytes(post);
        int frameId = FrameByTarget(kTopFrame, tgt);
        StartNavigation(frameId, url, tgt, data, hdr, true, false, L"");
        return S_OK;
    }

    int FrameByTarget(int from, const std::wstring& target) {
        if (target.empty() || lstrcmpiW(target.c_str(), L"_self") == 0) return from;
        if (lstrcmpiW(target.c_str(), L"_top") == 0 || lstrcmpiW(target.c_str(), L"_blank") == 0) return kTopFrame;
        if (lstrcmpiW(target.c_str(), L"_parent") == 0) {
            Frame* f = FindFrame(from);
            return f && f->parent >= 0 ? f->parent : kTopFrame;
        }
        for (auto& f : frames_)
            if (!f.second->name.empty() && f.second->name == target) return f.first;
        return from;
    }

    void StartNavigation(int frameId, const std::wstring& url, const std::wstring& target, const std::string& post,
                         const std::wstring& headers, bool events, bool isBack, const std::wstring& referer) {
        if (closed_ || !FindFrame(frameId)) return;
        if (events) {
            bool cancel = FireBeforeNavigate2(frameId, url, target, post, headers);
            Frame* f = FindFrame(frameId);
            if (!f || closed_) return;
            if (cancel) {
                if (f->countsForParent) SettleInParent(f);
                return;
            }
        }
        Frame* f = FindFrame(frameId);
        if (!f || closed_) return;
        KillTimer(EnsureNotify(), kTimerBase + static_cast<UINT_PTR>(frameId));
        ++f->serial;
        f->loading = true;
        f->loadingUrl = url;
        Job* job = new Job;
        job->notify = EnsureNotify();
        job->frameId = frameId;
        job->serial = f->serial;
        job->quiet = !events;
        job->isBack = isBack;
        job->url = url;
        job->headers = headers;
        job->post = post;
        job->referer = referer;
        jobs_.push_back(job);
        if (StartsWithNoCase(url, L"about:")) {
            job->status = 200;
            job->finalUrl = url;
            InterlockedDecrement(&job->refs);  // no worker
            PostMessageW(job->notify, kMsgFetchDone, 0, reinterpret_cast<LPARAM>(job));
            return;
        }
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&FetchThread), &self);
        job->thread = CreateThread(nullptr, 0, FetchThread, job, 0, nullptr);
        if (!job->thread) {
            if (self) FreeLibrary(self);
            job->error = GetLastError();
            InterlockedDecrement(&job->refs);
            PostMessageW(job->notify, kMsgFetchDone, 0, reinterpret_cast<LPARAM>(job));
        }
    }

    void Reload() {
        if (closed_) return;
        Frame* top = Top();
        std::wstring url = top->url.empty() ? top->loadingUrl : top->url;
        if (url.empty()) return;
        Log(L"Reload frame=top url=" + Esc(url));
        StartNavigation(kTopFrame, url, L"", "", L"", false, false, L"");
    }

    bool GoBackImpl() {
        if (history_.size() < 2 || closed_) return false;
        std::wstring prev = history_[history_.size() - 2];
        StartNavigation(kTopFrame, prev, L"", "", L"", true, true, Top()->url);
        return true;
    }

    void StopImpl() {
        for (auto& f : frames_) {
            if (f.second->loading) {
                ++f.second->serial;
                f.second->loading = false;
            }
            if (notify_) KillTimer(notify_, kTimerBase + static_cast<UINT_PTR>(f.first));
        }
    }

    void CancelJobs() {
        for (Job* j : jobs_) InterlockedExchange(&j->cancelled, 1);
        DWORD deadline = GetTickCount() + 1500;
        for (Job* j : jobs_) {
            if (j->thread) {
                LONG left = static_cast<LONG>(deadline - GetTickCount());
                WaitForSingleObject(j->thread, left > 0 ? static_cast<DWORD>(left) : 0);
                CloseHandle(j->thread);
                j->thread = nullptr;
            }
            j->Release();
        }
        jobs_.clear();
    }

    HWND EnsureNotify() {
        if (!notify_) {
            EnsureClasses();
            notify_ = CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_hinst, this);
        }
        return notify_;
    }

    void OnFetchDone(Job* job) {
        auto it = std::find(jobs_.begin(), jobs_.end(), job);
        if (it == jobs_.end()) return;  // cancelled and released already
        jobs_.erase(it);
        if (job->thread) {
            CloseHandle(job->thread);
            job->thread = nullptr;
        }
        Frame* f = FindFrame(job->frameId);
        if (!closed_ && f && f->serial == job->serial && f->loading) CompleteLoad(*job);
        job->Release();
    }

    static Document BuildDocument(const Job& job, const std::wstring& url) {
        std::wstring ct = job.contentType;
        for (auto& c : ct) c = static_cast<wchar_t>(towlower(c));
        std::wstring text;
        if (ct.find(L"charset=gb") != std::wstring::npos) {
            int n = MultiByteToWideChar(936, 0, job.body.data(), static_cast<int>(job.body.size()), nullptr, 0);
            if (n > 0) {
                text.resize(static_cast<size_t>(n));
                MultiByteToWideChar(936, 0, job.body.data(), static_cast<int>(job.body.size()), &text[0], n);
            }
        } else {
            text = standin::Utf8ToWide(job.body);
        }
        if (ct.compare(0, 10, L"text/plain") == 0) return standin::PlainTextDocument(url, text);
        return standin::ParseHtml(text);
    }

    void CompleteLoad(const Job& job) {
        const int id = job.frameId;
        Frame* f = FindFrame(id);
        f->loading = false;
        std::wstring url = job.finalUrl.empty() ? job.url : job.finalUrl;
        bool isAbout = StartsWithNoCase(job.url, L"about:");
        if (!isAbout)
            Log(L"Fetch frame=" + FrameName(id) + L" url=" + Esc(job.url) + L" status=" + Num(static_cast<long>(job.status)) +
                L" final=" + Esc(job.finalUrl) + L" bytes=" + Num(static_cast<long>(job.body.size())) + L" error=" +
                Num(static_cast<long>(job.error)));
        bool failed = !isAbout && (job.error != 0 || job.status >= 400 || job.status == 0);
        DestroyChildren(f);
        f->layoutWidth = -1;
        f->scrollY = 0;
        f->hasDoc = true;
        if (failed) {
            LONG code = job.status >= 400 ? static_cast<LONG>(job.status) : MapNetError(job.error);
            std::wstring what = job.status >= 400 ? L"HTTP error " + Num(static_cast<long>(job.status))
                                                  : L"Network error " + Num(static_cast<long>(job.error)) + L" (" +
                                                        HexHr(code) + L")";
            f->doc = standin::ErrorDocument(job.url, what);
            f->url = job.url;
            f->dcPending = false;
            UpdateView();
            if (!job.quiet) FireNavigateError(id, job.url, code);
            f = FindFrame(id);
            if (f && f->countsForParent) SettleInParent(f);
            return;
        }
        f->doc = BuildDocument(job, url);
        f->url = url;
        if (id == kTopFrame && !job.quiet) {
            if (job.isBack && history_.size() >= 2) history_.pop_back();
            else if (history_.empty() || history_.back() != url) history_.push_back(url);
        }
        f->children.assign(f->doc.frames.size(), -1);
        for (size_t i = 0; i < f->doc.frames.size(); ++i) {
            auto child = std::make_unique<Frame>();
            child->id = nextFrameId_++;
            child->parent = id;
            child->name = f->doc.frames[i].name;
            child->disp = new FrameDisp(this, child->id);
            f->children[i] = child->id;
            frames_[child->id] = std::move(child);
        }
        const unsigned serial = f->serial;
        if (!job.quiet) FireUrlEvent(kDispNavigateComplete2, L"NavigateComplete2", id, url);
        f = FindFrame(id);
        if (!f || f->serial != serial || closed_) return;
        ResolveExternals(id);
        f = FindFrame(id);
        if (!f || f->serial != serial || closed_) return;
        UpdateView();
        if (f->doc.hasRefresh)
            SetTimer(EnsureNotify(), kTimerBase + static_cast<UINT_PTR>(id),
                     static_cast<UINT>(std::max(f->doc.refreshSeconds, 0)) * 1000 + 10, nullptr);
        f->dcPending = !job.quiet;
        f->pendingChildren = 1;  // guard while the frames start
        std::vector<int> kids = f->children;
        std::vector<std::wstring> srcs;
        for (size_t i = 0; i < kids.size(); ++i) {
            std::wstring src = f->doc.frames[i].src;
            srcs.push_back(src.empty() ? std::wstring(L"about:blank") : standin::ResolveUrl(url, src));
        }
        for (size_t i = 0; i < kids.size(); ++i) {
            Frame* c = FindFrame(kids[i]);
            f = FindFrame(id);
            if (!f || f->serial != serial || closed_) return;
            if (!c) continue;
            c->countsForParent = true;
            ++f->pendingChildren;
            StartNavigation(kids[i], srcs[i], L"", "", L"", !job.quiet, false, url);
        }
        f = FindFrame(id);
        if (!f || f->serial != serial || closed_) return;
        SettleOne(f);
    }

    // One pending child (or the guard) of f is done.
    void SettleOne(Frame* f) {
        if (f->pendingChildren > 0) --f->pendingChildren;
        if (f->pendingChildren > 0 || f->loading || !f->hasDoc) return;
        const int id = f->id;
        if (f->dcPending) {
            f->dcPending = false;
            std::wstring url = f->url;
            FireUrlEvent(kDispDocumentComplete, L"DocumentComplete", id, url);
            f = FindFrame(id);
            if (!f) return;
        }
        if (f->countsForParent) SettleInParent(f);
    }

    void SettleInParent(Frame* f) {
        f->countsForParent = false;
        Frame* p = FindFrame(f->parent);
        if (p) SettleOne(p);
    }

    void DestroyChildren(Frame* f) {
        if (!f) return;
        std::vector<int> kids = f->children;
        f->children.clear();
        for (int k : kids)
            if (k >= 0) DestroyFrame(k);
    }

    void DestroyFrame(int id) {
        Frame* f = FindFrame(id);
        if (!f || id == kTopFrame) return;
        DestroyChildren(f);
        if (notify_) KillTimer(notify_, kTimerBase + static_cast<UINT_PTR>(id));
        if (focusFrame_ == id) focusFrame_ = -1, focusLink_ = -1;
        if (f->disp) {
            f->disp->Detach();
            f->disp->Release();
        }
        frames_.erase(id);
    }

    std::wstring ExternalText(const std::wstring& name) {
        std::wstring prefix = L"window.external." + name;
        if (!ui_) {
            Log(L"GetExternal handler=none");
            return prefix + L" unavailable (no IDocHostUIHandler)";
        }
        IDispatch* ext = nullptr;
        HRESULT hr = ui_->GetExternal(&ext);
        Log(L"GetExternal hr=" + HexHr(hr) + L" disp=" + Num(ext ? 1 : 0));
        if (FAILED(hr) || !ext) {
            if (ext) ext->Release();
            return L"window.external unavailable (GetExternal hr=" + HexHr(hr) + L")";
        }
        std::wstring nameCopy = name;
        LPOLESTR names[1] = {&nameCopy[0]};
        DISPID id = DISPID_UNKNOWN;
        hr = ext->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        Log(L"External GetIDsOfNames name=" + Esc(name) + L" hr=" + HexHr(hr) + L" dispid=" + Num(id));
        std::wstring text;
        if (FAILED(hr)) {
            text = prefix + L" is not defined (GetIDsOfNames hr=" + HexHr(hr) + L")";
        } else {
            DISPPARAMS none = {nullptr, nullptr, 0, 0};
            VARIANT r;
            VariantInit(&r);
            EXCEPINFO ei{};
            UINT argErr = 0;
            hr = ext->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &r, &ei, &argErr);
            std::wstring value;
            VARTYPE vt = r.vt;
            if (SUCCEEDED(hr)) {
                if (r.vt == VT_EMPTY) value = L"undefined";
                else if (!VarString(&r, value)) value = L"(vt " + Hex(r.vt) + L")";
                text = prefix + L" = " + value;
            } else {
                text = prefix + L" failed (Invoke hr=" + HexHr(hr) + L")";
            }
            Log(L"External Invoke name=" + Esc(name) + L" hr=" + HexHr(hr) + L" vt=" + Num(vt) + L" value=" + Esc(value));
            VariantClear(&r);
            SysFreeString(ei.bstrSource);
            SysFreeString(ei.bstrDescription);
            SysFreeString(ei.bstrHelpFile);
        }
        ext->Release();
        return text;
    }

    void ResolveExternals(int id) {
        Frame* f = FindFrame(id);
        if (!f) return;
        const unsigned serial = f->serial;
        for (size_t i = 0;; ++i) {
            f = FindFrame(id);
            if (!f || f->serial != serial || i >= f->doc.items.size()) return;
            if (f->doc.items[i].kind != standin::ItemKind::External) continue;
            std::wstring name = f->doc.items[i].text;
            std::wstring text = ExternalText(name);
            f = FindFrame(id);
            if (!f || f->serial != serial || i >= f->doc.items.size()) return;
            f->doc.items[i].text = text;
            f->doc.items[i].kind = standin::ItemKind::Text;
            f->layoutWidth = -1;
        }
    }

    void OnMetaTimer(int frameId) {
        if (notify_) KillTimer(notify_, kTimerBase + static_cast<UINT_PTR>(frameId));
        Frame* f = FindFrame(frameId);
        if (!f || !f->hasDoc || !f->doc.hasRefresh || f->loading || closed_) return;
        std::wstring url = f->doc.refreshUrl.empty() ? f->url : standin::ResolveUrl(f->url, f->doc.refreshUrl);
        Log(L"MetaRefresh frame=" + FrameName(frameId) + L" url=" + Esc(url) + L" delay=" + Num(f->doc.refreshSeconds));
        StartNavigation(frameId, url, L"", "", L"", true, false, f->url);
    }

    void FollowLink(int frameId, int link) {
        Frame* f = FindFrame(frameId);
        if (!f || link < 0 || link >= static_cast<int>(f->doc.links.size())) return;
        standin::LinkInfo li = f->doc.links[link];
        if (StartsWithNoCase(li.href, L"javascript:") || StartsWithNoCase(li.href, L"mailto:")) {
            Log(L"Click frame=" + FrameName(frameId) + L" url=" + Esc(li.href) + L" ignored=1");
            return;
        }
        std::wstring url = standin::ResolveUrl(f->url, li.href);
        Log(L"Click frame=" + FrameName(frameId) + L" url=" + Esc(url));
        int target = FrameByTarget(frameId, li.target);
        std::wstring referer = f->url;
        StartNavigation(target, url, li.target, "", L"", true, false, referer);
    }

    // ---- activation ----
    HRESULT InPlaceActivate(HWND hwndParentHint, LPCRECT posHint) {
        if (inplace_) {
            if (posHint) SetObjectRects(posHint, posHint);
            return S_OK;
        }
        if (!site_) {
            Log(L"InPlaceActivate failed=nosite hr=" + HexHr(E_UNEXPECTED));
            return E_UNEXPECTED;
        }
        void* p = nullptr;
        if (FAILED(site_->QueryInterface(IID_IOleInPlaceSite, &p)) || !p) {
            Log(L"InPlaceActivate failed=noinplacesite hr=" + HexHr(E_NOINTERFACE));
            return E_NOINTERFACE;
        }
        IOleInPlaceSite* ips = static_cast<IOleInPlaceSite*>(p);
        HRESULT hr = ips->CanInPlaceActivate();
        if (hr != S_OK) {
            Log(L"InPlaceActivate failed=cannotactivate hr=" + HexHr(hr));
            ips->Release();
            return E_FAIL;
        }
        ipsite_ = ips;
        ipsite_->OnInPlaceActivate();
        HWND parent = nullptr;
        ipsite_->GetWindow(&parent);
        if (!parent) parent = hwndParentHint;
        OLEINPLACEFRAMEINFO fi{};
        fi.cb = sizeof fi;
        RECT pos{}, clip{};
        if (frame_) frame_->Release();
        if (uiWindow_) uiWindow_->Release();
        frame_ = nullptr;
        uiWindow_ = nullptr;
        hr = ipsite_->GetWindowContext(&frame_, &uiWindow_, &pos, &clip, &fi);
        if (FAILED(hr) || IsRectEmpty(&pos)) {
            if (posHint) pos = *posHint;
        }
        pos_ = pos;
        // Host UI flags.
        hostFlags_ = 0;
        if (ui_) {
            DOCHOSTUIINFO info{};
            info.cbSize = sizeof info;
            HRESULT hi = ui_->GetHostInfo(&info);
            Log(L"GetHostInfo hr=" + HexHr(hi) + L" flags=" + Hex(info.dwFlags) + L" dblclk=" + Num(info.dwDoubleClick));
            if (SUCCEEDED(hi)) hostFlags_ = info.dwFlags;
            if (info.pchHostCss) CoTaskMemFree(info.pchHostCss);
            if (info.pchHostNS) CoTaskMemFree(info.pchHostNS);
        } else {
            Log(L"GetHostInfo handler=none");
        }
        EnsureClasses();
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VISIBLE | WS_TABSTOP;
        DWORD exStyle = (hostFlags_ & DOCHOSTUIFLAG_NO3DBORDER) ? 0 : WS_EX_CLIENTEDGE;
        hwnd_ = CreateWindowExW(exStyle, kViewClass, L"", style, pos.left, pos.top, pos.right - pos.left,
                                pos.bottom - pos.top, parent, nullptr, g_hinst, this);
        if (!hwnd_) {
            DWORD err = GetLastError();
            Log(L"InPlaceActivate failed=createwindow hr=" + HexHr(HRESULT_FROM_WIN32(err)));
            if (frame_) frame_->Release();
            if (uiWindow_) uiWindow_->Release();
            frame_ = nullptr;
            uiWindow_ = nullptr;
            ipsite_->OnInPlaceDeactivate();
            ipsite_->Release();
            ipsite_ = nullptr;
            return E_FAIL;
        }
        inplace_ = true;
        Log(L"InPlaceActivate hwnd=" + PtrHex(hwnd_) + L" parent=" + PtrHex(parent) + L" x=" + Num(pos.left) +
            L" y=" + Num(pos.top) + L" w=" + Num(pos.right - pos.left) + L" h=" + Num(pos.bottom - pos.top) +
            L" style=" + Hex(static_cast<unsigned long>(GetWindowLongW(hwnd_, GWL_STYLE))) + L" exstyle=" +
            Hex(static_cast<unsigned long>(GetWindowLongW(hwnd_, GWL_EXSTYLE))));
        UpdateView();
        return S_OK;
    }

    void UIActivate() {
        if (!inplace_ || uiactive_) return;
        uiactive_ = true;
        Log(L"UIActivate");
        if (ipsite_) ipsite_->OnUIActivate();
        IOleInPlaceActiveObject* self = static_cast<IOleInPlaceActiveObject*>(this);
        if (frame_) frame_->SetActiveObject(self, L"Web Browser");
        if (uiWindow_) uiWindow_->SetActiveObject(self, L"Web Browser");
        if (ui_) {
            HRESULT hr = ui_->ShowUI(DOCHOSTUITYPE_BROWSE, self, static_cast<IOleCommandTarget*>(this), frame_, uiWindow_);
            Log(L"ShowUI hr=" + HexHr(hr));
        }
    }

    void UIDeactivateImpl() {
        if (!uiactive_) return;
        uiactive_ = false;
        Log(L"UIDeactivate");
        if (ui_) {
            HRESULT hr = ui_->HideUI();
            Log(L"HideUI hr=" + HexHr(hr));
        }
        if (frame_) frame_->SetActiveObject(nullptr, nullptr);
        if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
        if (ipsite_) ipsite_->OnUIDeactivate(FALSE);
    }

    void InPlaceDeactivateImpl() {
        if (!inplace_) return;
        UIDeactivateImpl();
        inplace_ = false;
        Log(L"InPlaceDeactivate");
        if (hwnd_) {
            HWND h = hwnd_;
            hwnd_ = nullptr;
            SetWindowLongPtrW(h, GWLP_USERDATA, 0);
            DestroyWindow(h);
        }
        if (frame_) frame_->Release();
        if (uiWindow_) uiWindow_->Release();
        frame_ = nullptr;
        uiWindow_ = nullptr;
        if (ipsite_) {
            IOleInPlaceSite* s = ipsite_;
            ipsite_ = nullptr;
            s->OnInPlaceDeactivate();
            s->Release();
        }
    }

    void CloseImpl() {
        closed_ = true;
        InPlaceDeactivateImpl();
        CancelJobs();
        StopImpl();
        if (notify_) {
            HWND n = notify_;
            notify_ = nullptr;
            SetWindowLongPtrW(n, GWLP_USERDATA, 0);
            DestroyWindow(n);
        }
        DestroyChildren(Top());
        if (adviseHolder_) adviseHolder_->SendOnClose();
    }

    // ---- keyboard ----
    struct Stop_ {
        int frame;
        int link;
    };
    void CollectTabStops(int frameId, std::vector<Stop_>& out) {
        Frame* f = FindFrame(frameId);
        if (!f || !f->hasDoc) return;
        std::vector<bool> seen(f->doc.links.size(), false);
        for (const auto& it : f->doc.items) {
            if (it.link >= 0 && it.link < static_cast<int>(seen.size()) && !seen[it.link]) {
                seen[it.link] = true;
                out.push_back({frameId, it.link});
            }
            if (it.kind == standin::ItemKind::Frame && it.frame >= 0 && it.frame < static_cast<int>(f->children.size()))
                CollectTabStops(f->children[it.frame], out);
        }
    }

    bool HandleKey(UINT vk, std::wstring& action) {
        bool shift = GetKeyState(VK_SHIFT) < 0;
        switch (vk) {
            case VK_TAB: {
                std::vector<Stop_> stops;
                CollectTabStops(kTopFrame, stops);
                int cur = -1;
                for (size_t i = 0; i < stops.size(); ++i)
                    if (stops[i].frame == focusFrame_ && stops[i].link == focusLink_) cur = static_cast<int>(i);
                int next = shift ? (cur < 0 ? static_cast<int>(stops.size()) - 1 : cur - 1) : cur + 1;
                if (next < 0 || next >= static_cast<int>(stops.size())) {
                    focusFrame_ = focusLink_ = -1;
                    action = L"leave";
                    Invalidate();
                    return false;
                }
                focusFrame_ = stops[next].frame;
                focusLink_ = stops[next].link;
                action = shift ? L"prev-link" : L"next-link";
                Invalidate();
                return true;
            }
            case VK_RETURN:
                if (focusFrame_ >= 0 && focusLink_ >= 0) {
                    action = L"follow";
                    FollowLink(focusFrame_, focusLink_);
                    return true;
                }
                action = L"none";
                return false;
            case VK_BACK:
                action = L"back";
                if (GoBackImpl()) return true;
                action = L"none";
                return false;
            case VK_DELETE:
                action = L"delete";  // swallowed by the page, as in a text field
                return true;
            case VK_F5:
                action = L"refresh";
                Reload();
                return true;
            default:
                action = L"none";
                return false;
        }
    }

    // ---- view ----
    void Invalidate() {
        if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
    }

    void EnsureLayout(Frame* f, int width) {
        if (f->layoutWidth == width) return;
        if (f->hasDoc) f->layout = standin::Layout(f->doc, measureDc_, fonts_, width);
        else f->layout = standin::LayoutResult();
        f->layoutWidth = width;
    }

    // Re-layouts, updates the scroll bar and repaints.
    void UpdateView() {
        if (!hwnd_ || inViewUpdate_) return;
        inViewUpdate_ = true;
        Frame* top = Top();
        RECT rc;
        GetClientRect(hwnd_, &rc);
        bool allow = !(hostFlags_ & DOCHOSTUIFLAG_SCROLL_NO);
        bool hasVs = (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VSCROLL) != 0;
        int fullWidth = rc.right + (hasVs ? GetSystemMetrics(SM_CXVSCROLL) : 0);
        bool need = false;
        if (allow && top->hasDoc) {
            EnsureLayout(top, fullWidth);
            if (top->layout.height > rc.bottom) need = true;
        }
        if (need != hasVs) ShowScrollBar(hwnd_, SB_VERT, need ? TRUE : FALSE);
        GetClientRect(hwnd_, &rc);
        if (need) {
            EnsureLayout(top, rc.right);
            int maxScroll = std::max(0, top->layout.height - static_cast<int>(rc.bottom));
            top->scrollY = std::max(0, std::min(top->scrollY, maxScroll));
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
            si.nMin = 0;
            si.nMax = top->layout.height - 1;
            si.nPage = static_cast<UINT>(rc.bottom);
            si.nPos = top->scrollY;
            SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
        } else {
            top->scrollY = 0;
        }
        UpdateGeometry();
        inViewUpdate_ = false;
        Invalidate();
    }

    void UpdateGeometry() {
        if (!hwnd_) return;
        RECT rc;
        GetClientRect(hwnd_, &rc);
        PaintFrame(Top(), measureDc_, rc, false);
    }

    void Scroll(int newPos) {
        if (!hwnd_ || (hostFlags_ & DOCHOSTUIFLAG_SCROLL_NO)) return;
        if (!(GetWindowLongW(hwnd_, GWL_STYLE) & WS_VSCROLL)) return;
        Frame* top = Top();
        RECT rc;
        GetClientRect(hwnd_, &rc);
        int maxScroll = std::max(0, top->layout.height - static_cast<int>(rc.bottom));
        newPos = std::max(0, std::min(newPos, maxScroll));
        if (newPos == top->scrollY) return;
        top->scrollY = newPos;
        SetScrollPos(hwnd_, SB_VERT, newPos, TRUE);
        UpdateGeometry();
        Invalidate();
    }

    void PaintFrame(Frame* f, HDC dc, const RECT& area, bool draw) {
        f->view = area;
        f->originX = area.left;
        f->originY = area.top - f->scrollY;
        int width = std::max(1L, area.right - area.left);
        EnsureLayout(f, width);
        COLORREF bg = f->hasDoc ? f->doc.background : RGB(255, 255, 255);
        if (draw) {
            HBRUSH b = CreateSolidBrush(bg);
            FillRect(dc, &area, b);
            DeleteObject(b);
        }
        if (!f->hasDoc) {
            if (draw && f->loading) {
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, RGB(128, 128, 128));
                HGDIOBJ old = SelectObject(dc, fonts_.Get(standin::MakeFont(standin::kSizeNormal, standin::kItalic)));
                TextOutW(dc, area.left + 8, area.top + 8, L"Loading...", 10);
                SelectObject(dc, old);
            }
            return;
        }
        int saved = 0;
        if (draw) {
            saved = SaveDC(dc);
            IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
            SetBkMode(dc, TRANSPARENT);
        }
        bool focused = hwnd_ && GetFocus() == hwnd_;
        for (const auto& b : f->layout.boxes) {
            RECT r = b.rc;
            OffsetRect(&r, f->originX, f->originY);
            switch (b.kind) {
                case standin::BoxKind::Text:
                    if (draw && r.bottom >= area.top && r.top <= area.bottom) {
                        SelectObject(dc, fonts_.Get(b.font));
                        SetTextColor(dc, b.color);
                        TextOutW(dc, r.left, r.top, b.text.c_str(), static_cast<int>(b.text.size()));
                        if (focused && b.link >= 0 && focusFrame_ == f->id && focusLink_ == b.link) {
                            RECT fr = r;
                            InflateRect(&fr, 1, 0);
                            DrawFocusRect(dc, &fr);
                        }
                    }
                    break;
                case standin::BoxKind::Rule:
                    if (draw) {
                        HBRUSH br = CreateSolidBrush(b.color);
                        FillRect(dc, &r, br);
                        DeleteObject(br);
                    }
                    break;
                case standin::BoxKind::Frame: {
                    if (draw) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
                    RECT inner = r;
                    InflateRect(&inner, -2, -2);
                    if (b.frame >= 0 && b.frame < static_cast<int>(f->children.size())) {
                        Frame* c = FindFrame(f->children[b.frame]);
                        if (c) PaintFrame(c, dc, inner, draw);
                    }
                    break;
                }
            }
        }
        if (draw) RestoreDC(dc, saved);
    }

    // Finds the innermost frame and link under a client point.
    void HitTest(POINT pt, int& frameId, int& link) {
        frameId = kTopFrame;
        link = -1;
        Frame* f = Top();
        for (int depth = 0; depth < 16 && f; ++depth) {
            bool descended = false;
            for (const auto& b : f->layout.boxes) {
                RECT r = b.rc;
                OffsetRect(&r, f->originX, f->originY);
                if (!PtInRect(&r, pt)) continue;
                if (b.kind == standin::BoxKind::Frame && b.frame >= 0 && b.frame < static_cast<int>(f->children.size())) {
                    Frame* c = FindFrame(f->children[b.frame]);
                    if (c && PtInRect(&c->view, pt)) {
                        f = c;
                        frameId = c->id;
                        descended = true;
                        break;
                    }
                }
                if (b.kind == standin::BoxKind::Text && b.link >= 0) {
                    link = b.link;
                    return;
                }
            }
            if (!descended) return;
        }
    }

    void ContextMenu(POINT screen) {
        if (!hwnd_) return;
        POINT client = screen;
        if (screen.x == -1 && screen.y == -1) {
            RECT rc;
            GetClientRect(hwnd_, &rc);
            client = {rc.right / 2, rc.bottom / 2};
            screen = client;
            ClientToScreen(hwnd_, &screen);
        } else {
            ScreenToClient(hwnd_, &client);
        }
        int frameId = kTopFrame, link = -1;
        HitTest(client, frameId, link);
        DWORD id = link >= 0 ? CONTEXT_MENU_ANCHOR : CONTEXT_MENU_DEFAULT;
        HRESULT hr = S_FALSE;
        if (ui_) {
            IDispatch* d = DispFor(frameId);
            hr = ui_->ShowContextMenu(id, &screen, static_cast<IOleCommandTarget*>(this), d);
            d->Release();
            Log(L"ShowContextMenu id=" + Num(static_cast<long>(id)) + L" hr=" + HexHr(hr) + L" x=" + Num(screen.x) +
                L" y=" + Num(screen.y));
        } else {
            Log(L"ShowContextMenu handler=none");
        }
        if (hr == S_OK || !hwnd_ || closed_) return;
        Log(L"ContextMenu shown");
        HMENU m = CreatePopupMenu();
        AppendMenuW(m, MF_STRING | (history_.size() >= 2 ? 0 : MF_GRAYED), 1, L"Back");
        AppendMenuW(m, MF_STRING | MF_GRAYED, 2, L"Forward");
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(m, MF_STRING, 3, L"Refresh");
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(m, MF_STRING | MF_GRAYED, 4, L"Properties");
        int cmd = TrackPopupMenu(m, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, hwnd_, nullptr);
        DestroyMenu(m);
        Log(std::wstring(L"ContextMenu command=") + (cmd == 1 ? L"back" : cmd == 3 ? L"refresh" : L"none"));
        if (closed_) return;
        if (cmd == 1) GoBackImpl();
        else if (cmd == 3) Reload();
    }

    // ---- state ----
    LONG ref_ = 1;
    int ctl_ = 0;
    ConnPoint cp_;
    std::vector<std::pair<DWORD, IDispatch*>> sinks_;
    DWORD nextCookie_ = 1;

    IOleClientSite* site_ = nullptr;
    IOleInPlaceSite* ipsite_ = nullptr;
    IDocHostUIHandler* ui_ = nullptr;
    IOleInPlaceFrame* frame_ = nullptr;
    IOleInPlaceUIWindow* uiWindow_ = nullptr;
    IOleAdviseHolder* adviseHolder_ = nullptr;
    IAdviseSink* viewSink_ = nullptr;
    DWORD viewAspects_ = 0, viewAdvf_ = 0;

    HWND hwnd_ = nullptr;
    HWND notify_ = nullptr;
    bool inplace_ = false;
    bool uiactive_ = false;
    bool closed_ = false;
    bool silent_ = false;
    bool inViewUpdate_ = false;
    DWORD hostFlags_ = 0;
    SIZEL extent_{0, 0};
    RECT pos_{};

    std::map<int, std::unique_ptr<Frame>> frames_;
    int nextFrameId_ = 1;
    std::vector<Job*> jobs_;
    std::vector<std::wstring> history_;
    int focusFrame_ = -1, focusLink_ = -1;
    int pressedFrame_ = -1, pressedLink_ = -1;

    HDC measureDc_ = nullptr;
    standin::FontCache fonts_;
};

LRESULT Browser::OnView(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT rc;
            GetClientRect(hwnd, &rc);
            if (rc.right > 0 && rc.bottom > 0) {
                HDC mem = CreateCompatibleDC(dc);
                HBITMAP bmp = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
                HGDIOBJ oldBmp = SelectObject(mem, bmp);
                HGDIOBJ oldFont = SelectObject(mem, fonts_.Get(0));
                PaintFrame(Top(), mem, rc, true);
                BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
                SelectObject(mem, oldFont);
                SelectObject(mem, oldBmp);
                DeleteObject(bmp);
                DeleteDC(mem);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_SIZE:
            UpdateView();
            return 0;
        case WM_VSCROLL: {
            Frame* top = Top();
            RECT rc;
            GetClientRect(hwnd, &rc);
            int pos = top->scrollY;
            switch (LOWORD(wp)) {
                case SB_LINEUP: pos -= 20; break;
                case SB_LINEDOWN: pos += 20; break;
                case SB_PAGEUP: pos -= rc.bottom; break;
                case SB_PAGEDOWN: pos += rc.bottom; break;
                case SB_TOP: pos = 0; break;
                case SB_BOTTOM: pos = top->layout.height; break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: {
                    SCROLLINFO si{};
                    si.cbSize = sizeof si;
                    si.fMask = SIF_TRACKPOS;
                    GetScrollInfo(hwnd, SB_VERT, &si);
                    pos = si.nTrackPos;
                    break;
                }
                default: break;
            }
            Scroll(pos);
            return 0;
        }
        case WM_MOUSEWHEEL:
            Scroll(Top()->scrollY - GET_WHEEL_DELTA_WPARAM(wp) * 60 / WHEEL_DELTA);
            return 0;
        case WM_MOUSEACTIVATE:
            return MA_ACTIVATE;
        case WM_SETFOCUS:
            UIActivate();
            Invalidate();
            return 0;
        case WM_KILLFOCUS:
            Invalidate();
            return 0;
        case WM_LBUTTONDOWN: {
            if (GetFocus() != hwnd) SetFocus(hwnd);
            if (!hwnd_) return 0;
            POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            HitTest(pt, pressedFrame_, pressedLink_);
            if (pressedLink_ >= 0) {
                focusFrame_ = pressedFrame_;
                focusLink_ = pressedLink_;
                Invalidate();
            }
            return 0;
        }
        case WM_LBUTTONUP: {
            POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            int frameId = -1, link = -1;
            HitTest(pt, frameId, link);
            int pf = pressedFrame_, pl = pressedLink_;
            pressedFrame_ = pressedLink_ = -1;
            if (link >= 0 && frameId == pf && link == pl) FollowLink(frameId, link);
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT) {
                POINT pt;
                GetCursorPos(&pt);
                ScreenToClient(hwnd, &pt);
                int frameId = -1, link = -1;
                HitTest(pt, frameId, link);
                SetCursor(LoadCursor(nullptr, link >= 0 ? IDC_HAND : IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_CONTEXTMENU:
            ContextMenu({static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_KEYDOWN: {
            std::wstring action;
            bool handled = HandleKey(static_cast<UINT>(wp), action);
            Log(L"Key msg=" + Hex(msg) + L" key=" + Hex(static_cast<unsigned long>(wp)) + L" action=" + action);
            if (handled) return 0;
            break;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT Browser::OnNotify(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgFetchDone) {
        OnFetchDone(reinterpret_cast<Job*>(lp));
        return 0;
    }
    if (msg == WM_TIMER && wp >= kTimerBase && wp < kTimerBase + 0x1000) {
        OnMetaTimer(static_cast<int>(wp - kTimerBase));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

STDMETHODIMP FrameDisp::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    if (!(flags & DISPATCH_PROPERTYGET) || (id != kDispLocationURL && id != kDispLocationName))
        return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    VariantInit(result);
    std::wstring url, title;
    if (owner_) owner_->FrameInfo(frameId_, url, title);
    result->vt = VT_BSTR;
    result->bstrVal = Bstr(id == kDispLocationURL ? url : title);
    return S_OK;
}

// ---- window classes -------------------------------------------------------------

template <bool View>
LRESULT CALLBACK ProcT(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* b = reinterpret_cast<Browser*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!b) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCCREATE) return DefWindowProcW(hwnd, msg, wp, lp);
    b->AddRef();
    LRESULT r = View ? b->OnView(hwnd, msg, wp, lp) : b->OnNotify(hwnd, msg, wp, lp);
    b->Release();
    return r;
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return ProcT<true>(hwnd, msg, wp, lp); }
LRESULT CALLBACK NotifyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return ProcT<false>(hwnd, msg, wp, lp); }

bool g_classes = false;

void EnsureClasses() {
    if (g_classes) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = g_hinst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kViewClass;
    RegisterClassExW(&wc);
    WNDCLASSEXW nc{};
    nc.cbSize = sizeof nc;
    nc.lpfnWndProc = NotifyProc;
    nc.hInstance = g_hinst;
    nc.lpszClassName = kNotifyClass;
    RegisterClassExW(&nc);
    g_classes = true;
}

// ---- class factory ------------------------------------------------------------------

class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }   // static object
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Browser* b = new Browser;
        HRESULT hr = b->QueryInterface(riid, ppv);
        b->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) InterlockedIncrement(&g_locks);
        else InterlockedDecrement(&g_locks);
        return S_OK;
    }
};

Factory g_factory;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_hinst = inst;
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr && g_classes) {
        UnregisterClassW(kViewClass, g_hinst);
        UnregisterClassW(kNotifyClass, g_hinst);
        g_classes = false;
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, kCLSID_WebBrowser) && !IsEqualCLSID(clsid, kCLSID_WebBrowser_V1))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return (g_objects == 0 && g_locks == 0) ? S_OK : S_FALSE; }

}  // extern "C"
