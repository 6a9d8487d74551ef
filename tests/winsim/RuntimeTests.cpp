// The stand-in runtime: COM initialisation, the Global Interface Table's reference
// semantics, BSTRs, property values, storage media, system texts, fault injection.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "runtime/Internal.h"
#include "winsim/control.h"

namespace {

// A census-counted object whose reference count a test can read.
class Probe final : public IUnknown, public winsim::detail::RefCounted {
 public:
  Probe() : RefCounted("Probe") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(this);
      addRefImpl();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return addRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return releaseImpl(); }
};

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    winsim::reset();
    winsim::setJournalEnabled(true);
    start_ = winsim::census();
  }
  void TearDown() override {
    EXPECT_EQ(winsim::census(), start_) << winsim::describeLiveObjects();
    winsim::reset();
  }
  IGlobalInterfaceTable* table() {
    IGlobalInterfaceTable* git = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git)),
              S_OK);
    return git;
  }
  winsim::Census start_;
};

TEST_F(RuntimeTest, CallsFromThreadOutsideComAreRefused) {
  HRESULT created = S_OK, looked = S_OK;
  void* object = reinterpret_cast<void*>(1);
  IGlobalInterfaceTable* git = table();
  std::thread([&] {
    created = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IGlobalInterfaceTable, &object);
    looked = git->GetInterfaceFromGlobal(0x100, IID_IUnknown, &object);
  }).join();
  EXPECT_EQ(created, CO_E_NOTINITIALIZED);
  EXPECT_EQ(looked, CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  git->Release();
}

TEST_F(RuntimeTest, InitialisationIsCountedPerThreadAndModeIsKept) {
  std::thread([] {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_FALSE(winsim::detail::comInitializedOnThisThread());
  }).join();
}

TEST_F(RuntimeTest, CreateInstanceChecksClassContextAggregationAndInterface) {
  void* object = reinterpret_cast<void*>(1);
  const GUID unknownClass = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  EXPECT_EQ(CoCreateInstance(unknownClass, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_LOCAL_SERVER,
                             IID_IGlobalInterfaceTable, &object),
            REGDB_E_CLASSNOTREG);
  Probe outer;
  EXPECT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, &outer, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IWiaItem, &object),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

// A class registered again is made by its new factory, in its new contexts only.
TEST_F(RuntimeTest, RegisteringAClassAgainReplacesItsFactoryAndContexts) {
  static int made[2];
  made[0] = made[1] = 0;
  const CLSID testClass = {0x7E57C1A5, 3, 4, {1, 2, 3, 4, 5, 6, 7, 8}};
  auto create = [](const CLSID& clsid, DWORD context) {
    void* object = nullptr;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, context, IID_IUnknown, &object);
    if (object) static_cast<IUnknown*>(object)->Release();
    return hr;
  };
  winsim::detail::registerClass(testClass, CLSCTX_INPROC_SERVER, [] {
    ++made[0];
    return static_cast<IUnknown*>(new Probe);
  });
  EXPECT_EQ(create(testClass, CLSCTX_ALL), S_OK);
  winsim::detail::registerClass(testClass, CLSCTX_LOCAL_SERVER, [] {
    ++made[1];
    return static_cast<IUnknown*>(new Probe);
  });
  EXPECT_EQ(create(testClass, CLSCTX_INPROC_SERVER), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(create(testClass, CLSCTX_LOCAL_SERVER), S_OK);
  EXPECT_EQ(made[0], 1);
  EXPECT_EQ(made[1], 1);
}

TEST_F(RuntimeTest, GlobalInterfaceTableHoldsOneReferencePerRegistration) {
  IGlobalInterfaceTable* git = table();
  auto* probe = new Probe();
  DWORD cookie = 0;
  ASSERT_EQ(git->RegisterInterfaceInGlobal(probe, IID_IUnknown, &cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  EXPECT_EQ(probe->refCount(), 2u);

  IUnknown* looked = nullptr;
  ASSERT_EQ(git->GetInterfaceFromGlobal(cookie, IID_IUnknown, reinterpret_cast<void**>(&looked)),
            S_OK);
  EXPECT_EQ(looked, probe);
  EXPECT_EQ(probe->refCount(), 3u);
  looked->Release();

  // The registration keeps the object alive after the creator lets go.
  probe->Release();
  EXPECT_EQ(winsim::census().comObjects, start_.comObjects + 1);
  EXPECT_EQ(git->RevokeInterfaceFromGlobal(cookie), S_OK);
  EXPECT_EQ(winsim::census().comObjects, start_.comObjects);

  // A revoked cookie is unknown from then on, and is not handed out again.
  looked = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(git->GetInterfaceFromGlobal(cookie, IID_IUnknown, reinterpret_cast<void**>(&looked)),
            E_INVALIDARG);
  EXPECT_EQ(looked, nullptr);
  EXPECT_EQ(git->RevokeInterfaceFromGlobal(cookie), E_INVALIDARG);
  auto* second = new Probe();
  DWORD secondCookie = 0;
  ASSERT_EQ(git->RegisterInterfaceInGlobal(second, IID_IUnknown, &secondCookie), S_OK);
  EXPECT_NE(secondCookie, cookie);
  second->Release();
  EXPECT_EQ(git->RevokeInterfaceFromGlobal(secondCookie), S_OK);
  git->Release();
}

TEST_F(RuntimeTest, GlobalInterfaceTableRefusesInterfacesTheObjectLacks) {
  IGlobalInterfaceTable* git = table();
  Probe probe;
  DWORD cookie = 7;
  EXPECT_EQ(git->RegisterInterfaceInGlobal(&probe, IID_IWiaItem, &cookie), E_NOINTERFACE);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(probe.refCount(), 1u);
  git->Release();
}

TEST_F(RuntimeTest, BstrKeepsLengthAndEmbeddedZeros) {
  const OLECHAR text[] = {u'a', 0, u'b', u'\u00e9'};
  BSTR copy = SysAllocStringLen(text, 4);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(SysStringLen(copy), 4u);
  EXPECT_EQ(SysStringByteLen(copy), 8u);
  EXPECT_EQ(std::u16string(copy, 4), std::u16string(text, 4));
  EXPECT_EQ(copy[4], 0);
  EXPECT_EQ(winsim::census().bstrs, start_.bstrs + 1);
  SysFreeString(copy);

  BSTR empty = SysAllocStringLen(u"", 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

TEST_F(RuntimeTest, FreeingForeignBlocksStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  int onStack = 0;
  EXPECT_DEATH(CoTaskMemFree(&onStack), "not a live task-memory block");
  BSTR text = SysAllocString(u"x");
  SysFreeString(text);
  EXPECT_DEATH(SysFreeString(text), "not a live BSTR block");
}

TEST_F(RuntimeTest, PropVariantArrayFreesEveryOwnedPayload) {
  PROPVARIANT values[5];
  for (auto& v : values) PropVariantInit(&v);
  values[0].vt = VT_BSTR;
  values[0].bstrVal = SysAllocString(u"name");
  values[1].vt = VT_CLSID;
  values[1].puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
  values[2].vt = VT_VECTOR | VT_I4;
  values[2].cal.cElems = 3;
  values[2].cal.pElems = static_cast<LONG*>(CoTaskMemAlloc(3 * sizeof(LONG)));
  values[3].vt = VT_VECTOR | VT_BSTR;
  values[3].cabstr.cElems = 2;
  values[3].cabstr.pElems = static_cast<BSTR*>(CoTaskMemAlloc(2 * sizeof(BSTR)));
  values[3].cabstr.pElems[0] = SysAllocString(u"a");
  values[3].cabstr.pElems[1] = SysAllocString(u"b");
  values[4].vt = VT_LPWSTR;
  values[4].pwszVal = winsim::detail::taskMemString(u"path");
  EXPECT_NE(winsim::census(), start_);

  EXPECT_EQ(FreePropVariantArray(5, values), S_OK);
  EXPECT_EQ(winsim::census(), start_);
  for (const auto& v : values) EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST_F(RuntimeTest, ReleaseStgMediumDeletesTheFileAndFreesItsName) {
  std::string path = ::testing::TempDir() + "winsim-medium-test.tmp";
  std::ofstream(path) << "image";
  STGMEDIUM medium{};
  medium.tymed = TYMED_FILE;
  medium.lpszFileName = winsim::detail::taskMemString(winsim::toUtf16(path));
  ReleaseStgMedium(&medium);
  struct stat info;
  EXPECT_NE(stat(path.c_str(), &info), 0);

  // With a release object, only that object is released; the file stays.
  std::ofstream(path) << "image";
  auto* owner = new Probe();
  medium.lpszFileName = winsim::detail::taskMemString(winsim::toUtf16(path));
  medium.pUnkForRelease = owner;
  LPOLESTR name = medium.lpszFileName;
  ReleaseStgMedium(&medium);
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  CoTaskMemFree(name);
  std::remove(path.c_str());
}

TEST_F(RuntimeTest, SystemTextsComeFromTheSystemTableOnly) {
  LPSTR narrow = nullptr;
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                      FORMAT_MESSAGE_ALLOCATE_BUFFER;
  DWORD length = FormatMessageA(flags, nullptr, static_cast<DWORD>(E_ACCESSDENIED),
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                reinterpret_cast<LPSTR>(&narrow), 0, nullptr);
  ASSERT_NE(narrow, nullptr);
  EXPECT_EQ(std::string(narrow), "Access is denied.\r\n");
  EXPECT_EQ(length, 19u);
  EXPECT_EQ(winsim::census().localMemoryBlocks, start_.localMemoryBlocks + 1);
  EXPECT_EQ(LocalFree(narrow), nullptr);

  // Every code the stand-in returns itself has its text: the file system's failures of a
  // transfer, the storages' and variants' refusals among them.
  for (HRESULT code : {E_NOTIMPL, E_NOINTERFACE, E_POINTER, E_FAIL, E_UNEXPECTED, E_ACCESSDENIED,
                       E_OUTOFMEMORY, E_INVALIDARG, CO_E_NOTINITIALIZED, REGDB_E_CLASSNOTREG,
                       CLASS_E_NOAGGREGATION, STG_E_INVALIDPARAMETER, DISP_E_BADVARTYPE,
                       HRESULT(0x80070003), HRESULT(0x8007001D), HRESULT(0x80070070)}) {
    SCOPED_TRACE(code);
    ASSERT_GT(FormatMessageA(flags, nullptr, static_cast<DWORD>(code), 0,
                             reinterpret_cast<LPSTR>(&narrow), 0, nullptr),
              0u);
    LocalFree(narrow);
  }

  // WIA's own codes have no system text, as on Windows.
  LPWSTR wide = nullptr;
  EXPECT_EQ(FormatMessageW(flags, nullptr, static_cast<DWORD>(WIA_ERROR_BUSY), 0x400,
                           reinterpret_cast<LPWSTR>(&wide), 0, nullptr),
            0u);
  EXPECT_EQ(wide, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));

  winsim::setSystemMessage(WIA_ERROR_BUSY, u"Ger\u00e4t besch\u00e4ftigt.\r\n");
  ASSERT_GT(FormatMessageW(flags, nullptr, static_cast<DWORD>(WIA_ERROR_BUSY), 0x400,
                           reinterpret_cast<LPWSTR>(&wide), 0, nullptr),
            0u);
  EXPECT_EQ(std::u16string(wide), u"Ger\u00e4t besch\u00e4ftigt.\r\n");
  LocalFree(wide);
  ASSERT_GT(FormatMessageA(flags, nullptr, static_cast<DWORD>(WIA_ERROR_BUSY), 0x400,
                           reinterpret_cast<LPSTR>(&narrow), 0, nullptr),
            0u);
  EXPECT_EQ(std::string(narrow), "Ger\xc3\xa4t besch\xc3\xa4" "ftigt.\r\n");
  LocalFree(narrow);
}

TEST_F(RuntimeTest, TimeZoneBiasFollowsTheTestSetting) {
  TIME_ZONE_INFORMATION zone;
  winsim::setTimeZoneBias(-60);
  GetTimeZoneInformation(&zone);
  EXPECT_EQ(zone.Bias, -60);
  winsim::setTimeZoneBias(300);
  GetTimeZoneInformation(&zone);
  EXPECT_EQ(zone.Bias, 300);
  winsim::clearTimeZoneBias();
  EXPECT_NE(GetTimeZoneInformation(&zone), TIME_ZONE_ID_INVALID);
}

TEST_F(RuntimeTest, FaultsHitExactlyTheCallAskedForAndJournalRecordsEveryCall) {
  IGlobalInterfaceTable* git = table();
  auto* probe = new Probe();
  winsim::injectFault({"IGlobalInterfaceTable::GetInterfaceFromGlobal", E_FAIL, 2, ""});
  winsim::injectFault({"IGlobalInterfaceTable::RegisterInterfaceInGlobal", S_FALSE, 0, ""});
  DWORD cookie = 0;
  // A success code lets the call do its work.
  EXPECT_EQ(git->RegisterInterfaceInGlobal(probe, IID_IUnknown, &cookie), S_FALSE);
  EXPECT_NE(cookie, 0u);
  HRESULT results[3];
  for (HRESULT& result : results) {
    IUnknown* looked = nullptr;
    result = git->GetInterfaceFromGlobal(cookie, IID_IUnknown, reinterpret_cast<void**>(&looked));
    if (looked) looked->Release();
  }
  EXPECT_EQ(results[0], S_OK);
  EXPECT_EQ(results[1], E_FAIL);
  EXPECT_EQ(results[2], S_OK);

  auto lookups = winsim::journal("IGlobalInterfaceTable::GetInterfaceFromGlobal");
  ASSERT_EQ(lookups.size(), 3u);
  EXPECT_EQ(lookups[1].result, E_FAIL);
  EXPECT_NE(lookups[0].detail.find("cookie=" + std::to_string(cookie)), std::string::npos);

  git->RevokeInterfaceFromGlobal(cookie);
  probe->Release();
  git->Release();
}

// A fresh platform records nothing; a journal turned on keeps at most its capacity and counts
// what it could not keep; clearing empties it and the count.
TEST_F(RuntimeTest, TheJournalIsOffByDefaultAndBounded) {
  winsim::reset();
  IGlobalInterfaceTable* git = table();
  IUnknown* looked = nullptr;
  EXPECT_EQ(git->GetInterfaceFromGlobal(7, IID_IUnknown, reinterpret_cast<void**>(&looked)), E_INVALIDARG);
  EXPECT_FALSE(winsim::journalEnabled());
  EXPECT_TRUE(winsim::journal().empty());

  winsim::setJournalEnabled(true);
  const size_t extra = 5;
  for (size_t i = 0; i < winsim::kJournalCapacity + extra; ++i) {
    git->GetInterfaceFromGlobal(7, IID_IUnknown, reinterpret_cast<void**>(&looked));
  }
  EXPECT_EQ(winsim::journal().size(), winsim::kJournalCapacity);
  EXPECT_EQ(winsim::droppedJournalEntries(), extra);
  winsim::clearJournal();
  EXPECT_TRUE(winsim::journal().empty());
  EXPECT_EQ(winsim::droppedJournalEntries(), 0u);
  git->Release();
}

TEST(TextTest, Utf8RoundTripKeepsSupplementaryCharactersAndReplacesBrokenInput) {
  const std::u16string text = u"A\u00e9\u20ac\U0001F4F7";
  EXPECT_EQ(winsim::toUtf8(text), "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x93\xb7");
  EXPECT_EQ(winsim::toUtf16(winsim::toUtf8(text)), text);
  EXPECT_EQ(winsim::toUtf16("a\xff" "b"), u"a\uFFFDb");
  EXPECT_EQ(winsim::toUtf16("\xe2\x82"), u"\uFFFD\uFFFD");
  EXPECT_EQ(winsim::toUtf8(std::u16string(1, u'\xD800')), "\xef\xbf\xbd");
}

}  // namespace
