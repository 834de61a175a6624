// window.external: which names resolve, what reading and writing them does, and a count
// that never frees the object.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>


#include <ole2.h>

#include "browser/ImpIDispatch.h"

namespace {

const LCID kLocale = LOCALE_USER_DEFAULT;

struct NameCase {
  const wchar_t* name;
  bool found;
};

TEST(ImpIDispatch, NamesResolveByTheirFirstThreeCharactersCaseSensitiveWidthInsensitive) {
  const NameCase cases[] = {
      {L"xxyyzz", true},
      {L"xxy", true},
      {L"xxyAnythingElse", true},
      {L"\xFF58\xFF58\xFF59", true},  // full-width x x y
      {L"\xFF58x\xFF59zz", true},
      {L"XXYYZZ", false},
      {L"xXy", false},
      {L"xx", false},
      {L"x", false},
      {L"", false},
      {L"xyz", false},
      {L"yyxxzz", false},
  };
  CImpIDispatch external;
  for (const NameCase& c : cases) {
    std::vector<wchar_t> copy(c.name, c.name + wcslen(c.name) + 1);
    LPOLESTR names[] = {copy.data()};
    DISPID id = 777;
    const HRESULT hr = external.GetIDsOfNames(IID_NULL, names, 1, kLocale, &id);
    EXPECT_EQ(hr, c.found ? S_OK : DISP_E_UNKNOWNNAME) << "name of length " << wcslen(c.name);
    EXPECT_EQ(id, c.found ? 12345 : DISPID_UNKNOWN) << "name of length " << wcslen(c.name);
  }
}

// Short names placed right before a page that cannot be read: a comparison of three
// characters that ignored the terminator would fault there.
TEST(ImpIDispatch, ShortNamesAreNeverReadPastTheirTerminator) {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  auto* pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(pages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &old));
  CImpIDispatch external;
  for (const wchar_t* name : {L"", L"x", L"xx"}) {
    const size_t bytes = (wcslen(name) + 1) * sizeof(wchar_t);
    auto* atEnd = reinterpret_cast<wchar_t*>(pages + si.dwPageSize - bytes);
    memcpy(atEnd, name, bytes);
    LPOLESTR names[] = {atEnd};
    DISPID id = 0;
    EXPECT_EQ(external.GetIDsOfNames(IID_NULL, names, 1, kLocale, &id), DISP_E_UNKNOWNNAME) << wcslen(name);
    EXPECT_EQ(id, DISPID_UNKNOWN);
  }
  VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(ImpIDispatch, SeveralNamesAtOnceFillEveryMatchEvenWhenOneIsUnknown) {
  wchar_t a[] = L"xxyyzz", b[] = L"nope", c[] = L"xxy";
  LPOLESTR names[] = {a, b, c};
  DISPID ids[3] = {0, 0, 0};
  CImpIDispatch external;
  EXPECT_EQ(external.GetIDsOfNames(IID_NULL, names, 3, kLocale, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 12345);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(ids[2], 12345);

  // Zero names: success, nothing written.
  DISPID untouched = 99;
  EXPECT_EQ(external.GetIDsOfNames(IID_NULL, names, 0, kLocale, &untouched), S_OK);
  EXPECT_EQ(untouched, 99);
  // Missing arrays are refused rather than read.
  EXPECT_EQ(external.GetIDsOfNames(IID_NULL, nullptr, 1, kLocale, ids), E_POINTER);
  EXPECT_EQ(external.GetIDsOfNames(IID_NULL, names, 1, kLocale, nullptr), E_POINTER);
  // A null name is simply unknown.
  LPOLESTR nullName[] = {nullptr};
  EXPECT_EQ(external.GetIDsOfNames(IID_NULL, nullName, 1, kLocale, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
}

struct InvokeCase {
  DISPID id;
  WORD flags;
  bool wibble;  // the result holds "Wibble"; otherwise it is left untouched
};

TEST(ImpIDispatch, OnlyAPropertyGetOfTheOneIdReadsWibbleAndEveryCallSucceeds) {
  const InvokeCase cases[] = {
      {12345, DISPATCH_PROPERTYGET, true},
      {12345, DISPATCH_METHOD | DISPATCH_PROPERTYGET, true},
      {12345, DISPATCH_METHOD, false},
      {12345, DISPATCH_PROPERTYPUT, false},
      {12345, DISPATCH_PROPERTYPUTREF, false},
      {0, DISPATCH_PROPERTYGET, false},
      {DISPID_UNKNOWN, DISPATCH_PROPERTYGET, false},
      {12346, DISPATCH_PROPERTYGET, false},
  };
  CImpIDispatch external;
  for (const InvokeCase& c : cases) {
    VARIANT result;
    result.vt = VT_I4;
    result.lVal = 42;
    // A value being assigned, for the put cases: it changes nothing.
    VARIANT arg;
    arg.vt = VT_I4;
    arg.lVal = 7;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    EXCEPINFO excep{};
    excep.wCode = 0x55;
    UINT argErr = 0x66;
    EXPECT_EQ(external.Invoke(c.id, IID_NULL, kLocale, c.flags, &params, &result, &excep, &argErr), S_OK);
    if (c.wibble) {
      ASSERT_EQ(result.vt, VT_BSTR);
      EXPECT_STREQ(result.bstrVal, L"Wibble");
      EXPECT_EQ(SysStringLen(result.bstrVal), 6u);
      VariantClear(&result);
    } else {
      EXPECT_EQ(result.vt, VT_I4) << c.id << " " << c.flags;
      EXPECT_EQ(result.lVal, 42);
    }
    EXPECT_EQ(excep.wCode, 0x55);
    EXPECT_EQ(argErr, 0x66u);
  }
  // A property get without a place for the result still succeeds.
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(external.Invoke(12345, IID_NULL, kLocale, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr), S_OK);
  // Reading after a write still gives the constant.
  VARIANT again;
  VariantInit(&again);
  EXPECT_EQ(external.Invoke(12345, IID_NULL, kLocale, DISPATCH_PROPERTYGET, &none, &again, nullptr, nullptr), S_OK);
  EXPECT_STREQ(again.bstrVal, L"Wibble");
  VariantClear(&again);
}

TEST(ImpIDispatch, AnswersOnlyIDispatchAndItsCountNeverFreesIt) {
  auto* external = new CImpIDispatch;
  void* out = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(external->QueryInterface(IID_IUnknown, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(external->QueryInterface(IID_IOleObject, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(external->GetTypeInfoCount(nullptr), E_NOTIMPL);
  EXPECT_EQ(external->GetTypeInfo(0, kLocale, nullptr), E_NOTIMPL);

  ASSERT_EQ(external->QueryInterface(IID_IDispatch, &out), S_OK);
  EXPECT_EQ(out, static_cast<IDispatch*>(external));
  EXPECT_EQ(external->AddRef(), 2u);
  EXPECT_EQ(external->Release(), 1u);
  EXPECT_EQ(external->Release(), 0u);
  // Below zero: still alive, still answering.
  EXPECT_EQ(static_cast<LONG>(external->Release()), -1);
  VARIANT v;
  VariantInit(&v);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(external->Invoke(12345, IID_NULL, kLocale, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr), S_OK);
  EXPECT_STREQ(v.bstrVal, L"Wibble");
  VariantClear(&v);
  delete external;
}

}  // namespace
