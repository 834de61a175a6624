#pragma once
// The object page scripts see as window.external: one read-only property, the string
// "Wibble", under any name that begins like "xxyyzz" (its first three characters).
#include <windows.h>
#include <oaidl.h>

class CImpIDispatch final : public IDispatch {
public:
  CImpIDispatch() noexcept = default;
  CImpIDispatch(const CImpIDispatch&) = delete;
  CImpIDispatch& operator=(const CImpIDispatch&) = delete;

  static constexpr DISPID kPropertyId = 12345;

  // Only IDispatch is answered, IUnknown included among the refused ones: pages use the
  // object through IDispatch alone.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
  // The count never deletes the object: the application owns it and deletes it after the
  // last browser has gone.
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept override;

private:
  LONG m_cRef = 0;
};
