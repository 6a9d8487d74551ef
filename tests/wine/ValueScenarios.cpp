// The value conversions against the system's GetTimeZoneInformation and OLE automation, and
// the event sink, through the probe DLL (the library's sources with an entry point that
// hands them out), loaded into the host like the library.
#include <cmath>
#include <memory>
#include <thread>

#include "Scenario.h"
#include "probe/ValueProbe.h"

namespace wine {
namespace {

std::wstring probePath() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"vestaro_probe.dll";
}

class Values : public Scenario {
 protected:
  void SetUp() override {
    Scenario::SetUp();
    probe = std::make_unique<Library>(*host, probePath());
    ASSERT_TRUE(probe->loaded()) << "no probe DLL beside the test program";
    ASSERT_EQ(probe->onLoad(), JNI_VERSION_1_4);
    using Entry = const ValueProbeApi* (*)();
    auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(probe->module(), VALUE_PROBE_API_SYMBOL)));
    ASSERT_NE(entry, nullptr);
    api = entry();
    env = &host->vm.mainEnv();
    env->pushFrame();
  }
  void TearDown() override {
    if (env) env->popFrame(nullptr);
    probe.reset();
    Scenario::TearDown();
  }

  jobject box(const char* cls, fakejvm::Value value) {
    fakejvm::Object* object = host->vm.newObject(host->vm.findClass(cls));
    object->extra["value"] = value;
    return env->local(object);
  }

  // The block jobjectToVariant made, given back by the probe's freeVariantBlock.
  std::unique_ptr<VARIANT, void (*)(VARIANT*)> toVariant(jobject value) {
    std::unique_ptr<VARIANT, void (*)(VARIANT*)> v(api->jobjectToVariant(env, value), api->freeVariantBlock);
    EXPECT_NE(v, nullptr);
    return v;
  }

  std::unique_ptr<Library> probe;
  const ValueProbeApi* api = nullptr;
  fakejvm::Env* env = nullptr;
};

// 2024-05-03 10:30 UTC; TZ=America/New_York gives the standard bias, 300 minutes, whatever
// the season.
constexpr jlong kMillis = 1714732200000LL;

TEST_F(Values, DatesUseTheZonesStandardBiasAndAreTheSameOnBothArchitectures) {
  TIME_ZONE_INFORMATION zone{};
  ASSERT_NE(GetTimeZoneInformation(&zone), TIME_ZONE_ID_INVALID);
  ASSERT_EQ(zone.Bias, 300) << "the tests run with TZ=America/New_York";

  auto date = toVariant(box("java/util/Date", fakejvm::Value::ofInt('J', kMillis)));
  ASSERT_NE(date, nullptr);
  EXPECT_EQ(date->vt, VT_DATE);
  // 45415.4375 days after 1899-12-30 in UTC, five hours earlier in local standard time; the
  // exact double both DLLs must give.
  EXPECT_EQ(date->date, 45415.229166666664) << std::hexfloat << date->date;
  SYSTEMTIME fields{};
  ASSERT_TRUE(VariantTimeToSystemTime(date->date, &fields));
  EXPECT_EQ(fields.wHour, 5);
  EXPECT_EQ(fields.wMinute, 30);

  jobject back = api->variantToJobject(env, nullptr, date.get());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(env->deref(back, "test")->extra["value"].j, kMillis);
}

TEST_F(Values, BoxedValuesAndStringsMatchTheirVariantTypes) {
  const struct {
    const char* cls;
    fakejvm::Value value;
    VARTYPE vt;
  } cases[] = {{"java/lang/Byte", fakejvm::Value::ofInt('B', 200 - 256), VT_UI1},
               {"java/lang/Short", fakejvm::Value::ofInt('S', -2), VT_I2},
               {"java/lang/Integer", fakejvm::Value::ofInt('I', 300), VT_I4},
               {"java/lang/Float", fakejvm::Value::ofReal('F', 1.5), VT_R4},
               {"java/lang/Double", fakejvm::Value::ofReal('D', 0.1), VT_R8},
               {"java/lang/Boolean", fakejvm::Value::ofInt('Z', 1), VT_BOOL}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cls);
    auto v = toVariant(box(c.cls, c.value));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->vt, c.vt);
    jobject back = api->variantToJobject(env, nullptr, v.get());
    ASSERT_NE(back, nullptr);
    fakejvm::Object* object = env->deref(back, "test");
    EXPECT_EQ(object->cls->name, c.cls);
    EXPECT_EQ(object->extra["value"].j, c.value.j);
    EXPECT_EQ(object->extra["value"].d, c.vt == VT_R4 ? static_cast<float>(c.value.d) : c.value.d);
  }
  EXPECT_EQ(toVariant(box("java/lang/Boolean", fakejvm::Value::ofInt('Z', 1)))->boolVal, VARIANT_TRUE);

  // Strings keep every UTF-16 unit, a surrogate pair and an embedded zero included.
  const std::u16string text = u"Gr\u00FC\u00DFe \U0001F600\0!";
  jobject string = env->local(host->vm.newString(std::u16string(text.data(), 10)));
  BSTR bstr = api->jstringToBstr(env, static_cast<jstring>(string));
  ASSERT_NE(bstr, nullptr);
  EXPECT_EQ(SysStringLen(bstr), 10u);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = bstr;
  jobject back = api->variantToJobject(env, nullptr, &v);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(env->deref(back, "test")->text, std::u16string(text.data(), 10));
  EXPECT_EQ(VariantClear(&v), S_OK);
}

// The sink counts its references on any thread and announces an event from a thread the
// VM has never seen: attached as a daemon for the line, detached after.
TEST_F(Values, TheEventSinkCountsReferencesAndPrintsItsLineFromAnyThread) {
  IWiaEventCallback* sink = api->newEventCallback();
  ASSERT_NE(sink, nullptr);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(sink->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  void* other = nullptr;
  EXPECT_EQ(sink->QueryInterface(IID_IWiaItem, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  const int attaches = host->vm.attachCount();
  const int detaches = host->vm.detachCount();
  std::thread event([sink] {
    ULONG type = 0;
    EXPECT_EQ(sink->ImageEventCallback(&WIA_EVENT_DEVICE_CONNECTED, nullptr, nullptr, nullptr, 0, nullptr, &type, 0),
              S_OK);
    EXPECT_EQ(sink->AddRef(), 3u);
    EXPECT_EQ(sink->Release(), 2u);
  });
  event.join();
  EXPECT_EQ(host->vm.attachCount(), attaches + 1);
  EXPECT_EQ(host->vm.detachCount(), detaches + 1);
  EXPECT_EQ(host->errLines, std::vector<std::string>{"ImageEventCallback()"});
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(sink->Release(), 0u);
}

}  // namespace
}  // namespace wine
