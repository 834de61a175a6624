#pragma once
// A windowed ActiveX control of the tests' own, registered for this process only in place of
// the WebBrowser: it records what its host does to it, as a list of lines, and can fire
// events at the sinks connected to it.
#include <windows.h>
#include <ocidl.h>
#include <ole2.h>

#include <set>
#include <string>
#include <vector>

namespace fake {

struct Call {
  DISPID id = 0;
  WORD flags = 0;
  UINT args = 0, named = 0;
  std::vector<VARTYPE> types;        // rgvarg[0..] as passed
  std::vector<const VARIANT*> refs;  // pvarVal of VT_BYREF|VT_VARIANT arguments
  std::vector<VARTYPE> refTypes;     // what those point at, during the call
  std::wstring text;                 // the VT_BSTR argument
};

struct State {
  std::vector<std::string> log;
  std::vector<Call> calls;
  std::set<UINT> consumedKeys;       // TranslateAccelerator answers S_OK for these
  bool refuseCreation = false;
  HRESULT invokeResult = S_OK;       // and with DISP_E_EXCEPTION, an EXCEPINFO full of strings
  IOleClientSite* site = nullptr;    // as the control holds it, or null
  HWND window = nullptr, inner = nullptr;
  int alive = 0;                     // controls not yet released
};

// The state shared by the registered class and the tests.
State& Get();

// Registers the class under the WebBrowser's CLSID for this process; Revoke undoes it.
class Registration {
public:
  Registration();
  ~Registration();
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;

private:
  DWORD m_cookie = 0;
};

// Fires an event at every connected sink; the result of the last one.
HRESULT Fire(DISPID id, DISPPARAMS* params);

// Lines of the log that start with one of the prefixes, in order.
std::vector<std::string> Filter(const std::vector<std::string>& prefixes);

}  // namespace fake
