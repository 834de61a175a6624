#include "browser/ImpIDispatch.h"

#include <cwchar>

namespace {

// Only the first three characters take part in matching.
const wchar_t kStoredName[] = L"xxyyzz";
constexpr int kMatchedLength = 3;
const wchar_t kValue[] = L"Wibble";

}  // namespace

HRESULT CImpIDispatch::QueryInterface(REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IDispatch) return E_NOINTERFACE;
  *ppv = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG CImpIDispatch::AddRef() noexcept { return static_cast<ULONG>(++m_cRef); }

ULONG CImpIDispatch::Release() noexcept { return static_cast<ULONG>(--m_cRef); }

HRESULT CImpIDispatch::GetTypeInfoCount(UINT*) noexcept { return E_NOTIMPL; }

HRESULT CImpIDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept { return E_NOTIMPL; }

HRESULT CImpIDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept {
  if (count && (!names || !ids)) return E_POINTER;
  HRESULT answer = S_OK;
  for (UINT i = 0; i < count; ++i) {
    const wchar_t* name = names[i];
    // A shorter name would make the comparison read past its terminator; it cannot match.
    const bool match = name && ::wcsnlen(name, kMatchedLength) == kMatchedLength &&
                       ::CompareStringW(lcid, NORM_IGNOREWIDTH, kStoredName, kMatchedLength, name,
                                        kMatchedLength) == CSTR_EQUAL;
    if (match) {
      ids[i] = kPropertyId;
    } else {
      ids[i] = DISPID_UNKNOWN;
      answer = DISP_E_UNKNOWNNAME;
    }
  }
  return answer;
}

HRESULT CImpIDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                              UINT*) noexcept {
  // Every other call succeeds and does nothing: assignments and calls are quietly ignored.
  if (id == kPropertyId && (flags & DISPATCH_PROPERTYGET) && result) {
    ::VariantInit(result);
    result->vt = VT_BSTR;
    result->bstrVal = ::SysAllocString(kValue);
  }
  return S_OK;
}
