#pragma once
// The DWebBrowserEvents2 sink of one browser: checks each event's arguments and hands the
// three events the windows use to a CWebBrowserEvents.
#include <windows.h>
#include <oaidl.h>

class CWebBrowserEvents;

class CWebBrowserEventSink final : public IDispatch {
public:
  // Starts with one reference, the caller's.
  static CWebBrowserEventSink* Create(CWebBrowserEvents* handler) noexcept;

  // From now on events are dropped; the connection may outlive the handler.
  void Disconnect() noexcept { m_pHandler = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) noexcept override;
  // Unknown events succeed and do nothing; malformed ones are refused without being read.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept override;

private:
  explicit CWebBrowserEventSink(CWebBrowserEvents* handler) noexcept : m_pHandler(handler) {}
  ~CWebBrowserEventSink() = default;

  LONG m_cRef = 1;
  CWebBrowserEvents* m_pHandler;
};
