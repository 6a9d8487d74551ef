// Natives of kordin.vestaro.testhost.ListingProbe: the property listing run over a storage
// made here, whose entries and reads are exactly what a test needs, forms that no virtual
// device produces included (an empty value read with S_OK, a read that returns S_FALSE).
#include <cstdint>
#include <iterator>
#include <string>

#include "Platform.h"
#include "WIAUtils.h"

namespace {

enum Mode { kAllForms = 0, kNoEnumerator = 1, kNextFailsAfterTwo = 2 };

struct Entry {
  PROPID id;
  const char16_t* name;  // null: an entry without a name
  HRESULT read;
  VARTYPE vt;
  LONG number;
  const char16_t* text;
};

const Entry kEntries[] = {
    {4098, u"Item Name", S_OK, VT_BSTR, 0, u"Bild \u00e4 \u65e5\u672c"},
    {4103, u"Data Type", S_OK, VT_I4, 24, nullptr},
    {4104, u"Negative", S_OK, VT_I4, -1, nullptr},
    {4105, u"Unsigned", S_OK, VT_UI4, 7, nullptr},
    {4106, u"Empty", S_OK, VT_EMPTY, 0, nullptr},
    {4107, u"Vector", S_OK, VT_VECTOR | VT_UI1, 3, nullptr},
    {4108, u"Unreadable", E_ACCESSDENIED, VT_EMPTY, 0, nullptr},
    {4109, u"Partial", S_FALSE, VT_BSTR, 0, u"kept"},
    {4110, nullptr, S_OK, VT_I2, 5, nullptr},
};

int liveObjects = 0;

LPOLESTR taskString(const char16_t* text) {
  if (!text) return nullptr;
  const std::u16string s(text);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
  for (size_t i = 0; i <= s.size(); ++i) copy[i] = static_cast<OLECHAR>(text[i]);
  return copy;
}

class Counted {
 protected:
  Counted() { ++liveObjects; }
  ~Counted() { --liveObjects; }
  ULONG addRef() { return ++refs_; }
  template <typename Self>
  ULONG release(Self* self) {
    const ULONG left = --refs_;
    if (left == 0) delete self;
    return left;
  }

 private:
  ULONG refs_ = 1;
};

class FakeEntries final : public IEnumSTATPROPSTG, Counted {
 public:
  explicit FakeEntries(size_t failAt) : failAt_(failAt) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(this); }
  HRESULT STDMETHODCALLTYPE Next(ULONG, STATPROPSTG* entry, ULONG* fetched) override {
    *fetched = 0;
    if (next_ == failAt_) return E_FAIL;
    if (next_ == std::size(kEntries)) return S_FALSE;
    const Entry& e = kEntries[next_++];
    entry->lpwstrName = taskString(e.name);
    entry->propid = e.id;
    entry->vt = VT_NULL;  // not the type of the value: the listing must use the value's
    *fetched = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumSTATPROPSTG** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  size_t failAt_;
  size_t next_ = 0;
};

class FakeStorage final : public IWiaPropertyStorage, Counted {
 public:
  explicit FakeStorage(Mode mode) : mode_(mode) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(this); }
  HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG** out) override {
    *out = nullptr;
    if (mode_ == kNoEnumerator) return STG_E_ACCESSDENIED;
    *out = new FakeEntries(mode_ == kNextFailsAfterTwo ? 2 : SIZE_MAX);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG, const PROPSPEC spec[], PROPVARIANT value[]) override {
    for (const Entry& e : kEntries) {
      if (e.id != spec[0].propid) continue;
      if (FAILED(e.read)) return e.read;
      value[0].vt = e.vt;
      if (e.vt == VT_BSTR) {
        value[0].bstrVal = SysAllocString(reinterpret_cast<const OLECHAR*>(e.text));
      } else if (e.vt == (VT_VECTOR | VT_UI1)) {
        value[0].caub.cElems = static_cast<ULONG>(e.number);
        value[0].caub.pElems = static_cast<BYTE*>(CoTaskMemAlloc(static_cast<size_t>(e.number)));
      } else {
        value[0].lVal = e.number;
      }
      return e.read;
    }
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG, const PROPSPEC[], const PROPVARIANT[], PROPID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG, const PROPSPEC[]) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG, const PROPID[], LPOLESTR[]) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG, const PROPID[], const LPOLESTR[]) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG, const PROPID[]) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME*, const FILETIME*, const FILETIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetClass(REFCLSID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPropertyAttributes(ULONG, PROPSPEC[], ULONG[], PROPVARIANT[]) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCount(ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPropertyStream(GUID*, IStream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPropertyStream(GUID*, IStream*) override { return E_NOTIMPL; }

 private:
  Mode mode_;
};

}  // namespace

// Lists a made storage in `mode`; returns how many made objects are still alive afterwards.
extern "C" JNIEXPORT jint JNICALL Java_kordin_vestaro_testhost_ListingProbe_dump(JNIEnv*, jclass, jint mode) {
  auto* storage = new FakeStorage(static_cast<Mode>(mode));
  dumpPropertyStorage(storage);
  storage->Release();
  return liveObjects;
}
