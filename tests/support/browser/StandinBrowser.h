// Stand-in for the system WebBrowser ActiveX control, for the launcher's tests
// under Wine (which has no HTML engine). TEST SUPPORT ONLY: never ships, and
// the launcher never knows: a test Wine prefix registers standin-browser.dll
// under the WebBrowser CLSID, and CoCreateInstance gives the launcher this
// control instead of Wine's.
//
// ---------------------------------------------------------------------------
// Registration (in a TEST prefix only; a 32-bit prefix has no Wow6432Node):
//
//   K='HKLM\Software\Classes\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}\InprocServer32'
//   WINEPREFIX=/path/to/prefix wine reg add "$K" /ve /d 'Z:\path\to\standin-browser.dll' /f
//   WINEPREFIX=/path/to/prefix wine reg add "$K" /v ThreadingModel /d Apartment /f
//
// or tests/support/browser/register-standin.sh PREFIX DLL, or, from inside a
// Windows test program, standin::RegisterStandinBrowser(dllPath) below.
// (HKCU\Software\Classes does NOT override the system class in Wine 8.0.)
//
// ---------------------------------------------------------------------------
// What the control does (see standin_browser.cpp for the details):
//  * IOleObject / IOleInPlaceObject / IOleInPlaceActiveObject / IOleWindow /
//    IOleControl / IPersistStreamInit (also answered for IPersistStream) /
//    IPersistStorage / IViewObject2 / IOleCommandTarget / IProvideClassInfo2 /
//    IConnectionPointContainer (DWebBrowserEvents2 only) / IWebBrowser2
//    (IWebBrowserApp, IWebBrowser, IDispatch).
//  * In-place activation through the client site's IOleInPlaceSite; the
//    control window is a child window of class "Shell Embedding", created
//    visible (WS_CHILD|WS_CLIPSIBLINGS|WS_CLIPCHILDREN|WS_VISIBLE) at the
//    position GetWindowContext gives; the host hides or shows it.
//    Without DOCHOSTUIFLAG_NO3DBORDER the window has WS_EX_CLIENTEDGE (a
//    sunken 3-D border); without DOCHOSTUIFLAG_SCROLL_NO it gets WS_VSCROLL
//    (a vertical scroll bar) whenever the page is taller than the window,
//    and with it the page cannot be scrolled at all.
//  * Automation by dispatch id: Navigate 104, Navigate2 500, Refresh -550,
//    Refresh2 105, GoBack 100, GoForward 101, GoHome 102, Stop 106,
//    LocationName 210, LocationURL 211, Busy 212, ReadyState -525.
//  * Events (DWebBrowserEvents2, fired on the thread that created the
//    control, never after Close): BeforeNavigate2 250, NavigateComplete2 252,
//    DocumentComplete 259, NavigateError 271. No other event is fired.
//    Order for a page with frames: BeforeNavigate2(top) - fetch -
//    NavigateComplete2(top) - for each frame: BeforeNavigate2(frame) - fetch -
//    NavigateComplete2(frame) - DocumentComplete(frame) - then
//    DocumentComplete(top) once every frame has completed, failed or been
//    cancelled. pDisp is the control's own IDispatch for the top page and a
//    separate small IDispatch object per frame (GetIDsOfNames "LocationURL"
//    211, "LocationName" 210).
//    Refresh re-fetches the current page (and its frames) WITHOUT firing any
//    navigation event, like the real control.
//    Close (and the last Release) waits up to 1.5 s for a running fetch and
//    then leaves the worker to end by itself (it holds a loader reference on
//    the DLL); its result is dropped. Server redirects (30x) are
//    followed without a new BeforeNavigate2; NavigateComplete2 carries the
//    final address. An HTTP status >= 400 or a network failure fires
//    NavigateError (StatusCode = the HTTP status, or an INET_E_* HRESULT) and
//    shows an error text; no NavigateComplete2/DocumentComplete follows.
//    A cancelled BeforeNavigate2 means the address is never requested.
//  * Page navigations: Navigate, link clicks (mouse or Tab + Enter),
//    <meta http-equiv="refresh" content="N;url=...">, the context menu's
//    Back/Refresh, Backspace (back), F5 (refresh).
//
// ---------------------------------------------------------------------------
// LOG (for tests). If the environment variable STANDIN_BROWSER_LOG names a
// file (Windows path), the control appends one UTF-8 line per event fired and
// per host answer received. The file is opened, appended (FILE_APPEND_DATA,
// FILE_SHARE_READ|FILE_SHARE_WRITE|FILE_SHARE_DELETE) and closed for every
// line, so tests may read it at any time and several processes may write it.
// The variable is read for every line, so a test may set it at run time with
// SetEnvironmentVariableW.
//
// Line format:   EVENT key=value key=value ... ctl=N pid=P t=T\n
//   EVENT   one word (see below). Values never contain spaces: a space, tab,
//           CR or LF inside a value is written as %20, %09, %0D, %0A. An
//           empty value is written as nothing ("target=").
//   ctl=N   the control instance (1, 2, ... in creation order, per process)
//   pid=P   the process id (decimal)
//   t=T     QueryPerformanceCounter ticks (one clock for all processes of the
//           machine; QueryPerformanceFrequency gives ticks per second): for
//           BeforeNavigate2 the moment the event was fired, before any sink
//           ran; for every other line the moment it was written. Always last.
//   frame=  "top" for the top page, "fN" (N = 1, 2, ...) for a frame.
//   hr=     HRESULTs as 0x%lX (e.g. hr=0x0, hr=0x1, hr=0x80004001).
//
// Lines (EVENT and keys, in order, before ctl/pid):
//   Create                                   control object created
//   Destroy                                  control object deleted (last Release)
//   SetClientSite site=1|0 uihandler=1|0 [same=1]   uihandler: the site answered IDocHostUIHandler
//   DoVerb verb=N hr=0x..
//   InPlaceActivate hwnd=0x.. parent=0x.. x= y= w= h= style=0x.. exstyle=0x..
//   InPlaceActivate failed=STEP hr=0x..      STEP: nosite, noinplacesite, cannotactivate, createwindow
//   GetHostInfo hr=0x.. flags=0x.. dblclk=N  (flags as the host answered; "GetHostInfo handler=none" without one)
//   SetObjectRects x= y= w= h=
//   UIActivate / UIDeactivate / InPlaceDeactivate
//   ShowUI hr=0x.. / HideUI hr=0x..
//   Close hr=0x0
//   Advise cookie=N hr=0x.. / Unadvise cookie=N hr=0x..
//   Invoke Navigate cArgs=N cNamed=N vt=V0,V1,... optional=KIND url=URL
//       vt lists rgvarg[0], rgvarg[1], ... in the order received (so the URL
//       comes LAST); each entry is the vt in hex, and for VT_BYREF|VT_VARIANT
//       (0x400C) "->" and the vt of the VARIANT it points at, e.g.
//       vt=0x400C->0x0,0x400C->0x0,0x400C->0x0,0x400C->0x0,0x8
//       KIND describes the optional arguments (Flags, TargetFrameName,
//       PostData, Headers): "none" (cArgs=1), "shared-empty" (all four are
//       VT_BYREF|VT_VARIANT pointing at ONE VARIANT that is VT_EMPTY),
//       "empty" (all empty or VT_ERROR/DISP_E_PARAMNOTFOUND, not one shared
//       VARIANT), "given" (at least one has a value).
//   Invoke Navigate2 ... (same keys)
//   Invoke Refresh cArgs=N                   (dispid -550; N is normally 0)
//   Invoke Refresh2 cArgs=N / Invoke GoBack cArgs=N / Invoke Stop cArgs=N
//   Invoke dispid=N flags=0x.. cArgs=N hr=0x..   (any other dispatch id)
//   Method NAME [url=URL]                    the same through the IWebBrowser2 vtable
//   BeforeNavigate2 frame=F url=URL cancel=0|1 target=NAME sinks=N
//   NavigateComplete2 frame=F url=URL
//   DocumentComplete frame=F url=URL
//   NavigateError frame=F url=URL status=N cancel=0|1
//   Fetch frame=F url=URL status=N final=URL bytes=N error=N   (result of an HTTP fetch)
//   Reload frame=F url=URL                   (Refresh started a fetch; no event is fired)
//   MetaRefresh frame=F url=URL delay=N      (timer elapsed, navigation follows)
//   Click frame=F url=URL                    (link followed by mouse or Enter)
//   GetExternal hr=0x.. disp=1|0
//   External GetIDsOfNames name=NAME hr=0x.. dispid=N
//   External Invoke name=NAME hr=0x.. vt=N value=TEXT
//   ShowContextMenu id=N hr=0x.. x=N y=N     ("ShowContextMenu handler=none" without one)
//   ContextMenu shown / ContextMenu command=back|refresh|none
//   TranslateAccelerator host hr=0x.. msg=0x.. key=0x..   (host's IDocHostUIHandler answer)
//   TranslateAccelerator msg=0x.. key=0x.. result=0x.. action=ACTION
//       ACTION: host (the host's handler answered S_OK), next-link,
//       prev-link, leave (Tab past the last link: focus leaves the page,
//       S_FALSE), follow, back, refresh, delete, none, elsewhere (the
//       message is not for the control's window or a child of it: S_FALSE,
//       the host's handler is not asked). Only WM_KEYDOWN/WM_SYSKEYDOWN are
//       looked at (and logged); every other message gets S_FALSE silently.
//   Key msg=0x.. key=0x.. action=ACTION      (key reached the window directly)
//
// ---------------------------------------------------------------------------
// Page syntax understood: see standin_html.h. The window.external probe is
//   <span data-external="xxyyzz"></span>
// shown as "window.external.xxyyzz = Wibble" (or a failure text with the
// HRESULT).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace standin {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
constexpr const wchar_t* kWebBrowserClsidString = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
constexpr const wchar_t* kLogEnvVar = L"STANDIN_BROWSER_LOG";

// Writes the HKLM registration of the stand-in for the calling process's
// (test) prefix. dllPath is a Windows path. Returns true on success.
inline bool RegisterStandinBrowser(const std::wstring& dllPath) {
    std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + kWebBrowserClsidString + L"\\InprocServer32";
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(dllPath.c_str()),
                             static_cast<DWORD>((dllPath.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    static const wchar_t kApt[] = L"Apartment";
    ok = ok && RegSetValueExW(h, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(kApt),
                              sizeof kApt) == ERROR_SUCCESS;
    RegCloseKey(h);
    return ok;
}

// Reads the log file as lines (UTF-8 bytes, without the '\n'). Missing file
// gives an empty list.
inline std::vector<std::string> ReadStandinLog(const std::wstring& path) {
    std::vector<std::string> lines;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return lines;
    std::string data;
    char buf[8192];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
    CloseHandle(f);
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        if (nl == std::string::npos) break;  // an unfinished last line is left out
        lines.push_back(data.substr(pos, nl - pos));
        pos = nl + 1;
    }
    return lines;
}

// Value of "key=" in a log line ("" if absent).
inline std::string StandinLogValue(const std::string& line, const std::string& key) {
    std::string k = " " + key + "=";
    size_t p = line.find(k);
    if (p == std::string::npos) return "";
    p += k.size();
    size_t e = line.find(' ', p);
    return line.substr(p, e == std::string::npos ? std::string::npos : e - p);
}

}  // namespace standin
