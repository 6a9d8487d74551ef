// Value conversion between Java boxed values and VARIANTs, and the device event sink, as
// built into the probe library.
#include <dlfcn.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "Java.h"
#include "Jvm.h"
#include "probe/ValueProbe.h"

namespace jvmtest {
namespace {

// A VARIANT block made by jobjectToVariant, given back by the library's freeVariantBlock.
using Block = std::unique_ptr<VARIANT, void (*)(VARIANT*)>;

class Values : public ProbeTest<JvmTest, ValueProbeApi> {
 protected:
  Values() : ProbeTest(VALUE_PROBE_API_SYMBOL) {}

  template <typename T>
  static jvalue valueOf(T jvalue::*member, T value) {
    jvalue v{};
    v.*member = value;
    return v;
  }
  jobject box(const char* className, const char* signature, jvalue value) {
    LocalRef<jclass> cls(env_, findClass(env_, className));
    jmethodID init = env_->GetMethodID(cls.get(), "<init>", signature);
    jobject object = env_->NewObjectA(cls.get(), init, &value);
    expectNoException(env_, className);
    return object;
  }
  // The java.lang box of a primitive, by the primitive's JNI type.
  jobject boxed(jbyte value) { return box("java/lang/Byte", "(B)V", valueOf(&jvalue::b, value)); }
  jobject boxed(jshort value) { return box("java/lang/Short", "(S)V", valueOf(&jvalue::s, value)); }
  jobject boxed(jint value) { return box("java/lang/Integer", "(I)V", valueOf(&jvalue::i, value)); }
  jobject boxed(jlong value) { return box("java/lang/Long", "(J)V", valueOf(&jvalue::j, value)); }
  jobject boxed(jfloat value) { return box("java/lang/Float", "(F)V", valueOf(&jvalue::f, value)); }
  jobject boxed(jdouble value) { return box("java/lang/Double", "(D)V", valueOf(&jvalue::d, value)); }
  jobject boxed(jboolean value) { return box("java/lang/Boolean", "(Z)V", valueOf(&jvalue::z, value)); }
  jobject boxed(jchar value) { return box("java/lang/Character", "(C)V", valueOf(&jvalue::c, value)); }
  jobject newDate(jlong milliseconds, const char* className = "java/util/Date") {
    return box(className, "(J)V", valueOf(&jvalue::j, milliseconds));
  }

  Block toVariant(jobject value) {
    Block block(api_->jobjectToVariant(env_, value), api_->freeVariantBlock);
    expectNoException(env_, "jobjectToVariant");
    return block;
  }
  // The Java object for a VARIANT, as a local reference the test's frame gives back.
  jobject toJava(VARIANT variant) {
    jobject object = api_->variantToJobject(env_, reinterpret_cast<void*>(0x1), &variant);
    expectNoException(env_, "variantToJobject");
    return object;
  }
  static VARIANT variantOf(VARTYPE type) {
    VARIANT v;
    std::memset(&v, 0, sizeof v);
    v.vt = type;
    return v;
  }
  DATE dateOf(jlong milliseconds) {
    Block block = toVariant(newDate(milliseconds));
    EXPECT_NE(block.get(), nullptr);
    if (!block.get()) return NAN;
    EXPECT_EQ(block->vt, VT_DATE);
    return block->date;
  }
  jlong millisecondsOf(DATE date) {
    VARIANT v = variantOf(VT_DATE);
    v.date = date;
    jobject object = toJava(v);
    EXPECT_TRUE(object && isInstance(object, "java/util/Date"));
    return object ? callMethod<jlong>(env_, object, "getTime", "()J") : 0;
  }
  bool isInstance(jobject object, const char* className) {
    LocalRef<jclass> cls(env_, findClass(env_, className));
    return env_->IsInstanceOf(object, cls.get());
  }

};

TEST_F(Values, NumbersAndBooleansGoBothWays) {
  Block byte = toVariant(boxed(jbyte(-1)));
  ASSERT_NE(byte.get(), nullptr);
  EXPECT_EQ(byte->vt, VT_UI1);
  EXPECT_EQ(byte->bVal, 255);
  EXPECT_EQ(callMethod<jint>(env_, toJava(*byte), "intValue", "()I"), -1);

  Block shortValue = toVariant(boxed(jshort(-2)));
  EXPECT_EQ(shortValue->vt, VT_I2);
  EXPECT_EQ(shortValue->iVal, -2);
  Block integer = toVariant(boxed(jint(INT32_MIN)));
  EXPECT_EQ(integer->vt, VT_I4);
  EXPECT_EQ(integer->lVal, INT32_MIN);
  Block floatValue = toVariant(boxed(1.25f));
  EXPECT_EQ(floatValue->vt, VT_R4);
  EXPECT_EQ(floatValue->fltVal, 1.25f);
  Block doubleValue = toVariant(boxed(-0.1));
  EXPECT_EQ(doubleValue->vt, VT_R8);
  EXPECT_EQ(doubleValue->dblVal, -0.1);
  Block yes = toVariant(boxed(jboolean(JNI_TRUE)));
  EXPECT_EQ(yes->vt, VT_BOOL);
  EXPECT_EQ(yes->boolVal, VARIANT_TRUE);
  Block no = toVariant(boxed(jboolean(JNI_FALSE)));
  EXPECT_EQ(no->boolVal, VARIANT_FALSE);

  // Back: each type to its class with the same value.
  jobject back = toJava(*shortValue);
  EXPECT_TRUE(isInstance(back, "java/lang/Short"));
  EXPECT_EQ(callMethod<jint>(env_, back, "intValue", "()I"), -2);
  back = toJava(*integer);
  EXPECT_TRUE(isInstance(back, "java/lang/Integer"));
  EXPECT_EQ(callMethod<jint>(env_, back, "intValue", "()I"), INT32_MIN);
  back = toJava(*floatValue);
  EXPECT_TRUE(isInstance(back, "java/lang/Float"));
  back = toJava(*doubleValue);
  EXPECT_TRUE(isInstance(back, "java/lang/Double"));
  EXPECT_EQ(callMethod<jboolean>(env_, toJava(*yes), "booleanValue", "()Z"), JNI_TRUE);
  EXPECT_EQ(callMethod<jboolean>(env_, toJava(*no), "booleanValue", "()Z"), JNI_FALSE);

  VARIANT one = variantOf(VT_BOOL);
  one.boolVal = 1;  // any non-zero value is true
  EXPECT_EQ(callMethod<jboolean>(env_, toJava(one), "booleanValue", "()Z"), JNI_TRUE);
  VARIANT high = variantOf(VT_UI1);
  high.bVal = 128;
  EXPECT_EQ(callMethod<jint>(env_, toJava(high), "intValue", "()I"), -128);
}

TEST_F(Values, NullEmptyAndUnsupportedValues) {
  Block null = toVariant(nullptr);
  ASSERT_NE(null.get(), nullptr);
  EXPECT_EQ(null->vt, VT_NULL);
  EXPECT_EQ(toJava(variantOf(VT_NULL)), nullptr);
  EXPECT_EQ(toJava(variantOf(VT_EMPTY)), nullptr);

  EXPECT_EQ(toVariant(boxed(jlong(5))).get(), nullptr);
  EXPECT_EQ(toVariant(boxed(jchar(u'x'))).get(), nullptr);
  LocalRef<jintArray> array(env_, env_->NewIntArray(3));
  EXPECT_EQ(toVariant(array.get()).get(), nullptr);

  for (VARTYPE type : {VT_I8, VT_UI2, VT_UI4, VT_I1, VT_CY, VT_DISPATCH, VT_ERROR, VT_CLSID}) {
    EXPECT_EQ(toJava(variantOf(type)), nullptr) << "type " << type;
  }
  LONG cell = 7;
  VARIANT byReference = variantOf(VT_BYREF | VT_I4);
  byReference.plVal = &cell;
  EXPECT_EQ(toJava(byReference), nullptr);
  EXPECT_EQ(toJava(variantOf(VT_ARRAY | VT_I4)), nullptr);
  expectCensusUnchanged();
}

TEST_F(Values, StringsAreCopiedCodeUnitForCodeUnit) {
  const std::u16string text(u"a\0b\u00e9\U0001F4F7", 6);
  LocalRef<jstring> string(env_, javaString(env_, text));
  Block block = toVariant(string.get());
  ASSERT_NE(block.get(), nullptr);
  EXPECT_EQ(block->vt, VT_BSTR);
  ASSERT_EQ(SysStringLen(block->bstrVal), 6u);
  EXPECT_EQ(std::u16string(block->bstrVal, 6), text);
  EXPECT_EQ(utf16(env_, static_cast<jstring>(toJava(*block))), text);

  LocalRef<jstring> empty(env_, javaString(env_, std::u16string()));
  Block emptyBlock = toVariant(empty.get());
  ASSERT_NE(emptyBlock->bstrVal, nullptr);
  EXPECT_EQ(SysStringLen(emptyBlock->bstrVal), 0u);

  EXPECT_EQ(api_->jstringToBstr(env_, nullptr), nullptr);
  VARIANT nullString = variantOf(VT_BSTR);  // a null BSTR is the empty string
  EXPECT_EQ(utf16(env_, static_cast<jstring>(toJava(nullString))), u"");
}

TEST_F(Values, StringThatCannotBeAllocatedGivesNullAndKeepsNothing) {
  LocalRef<jstring> string(env_, javaString(env_, std::string("scanner")));
  winsim::injectFault({"SysAllocStringLen", E_OUTOFMEMORY, 0, ""});
  EXPECT_EQ(api_->jstringToBstr(env_, string.get()), nullptr);
  EXPECT_EQ(toVariant(string.get()).get(), nullptr);
  winsim::clearFaults();
  expectCensusUnchanged();
}

TEST_F(Values, DatesApplyOnlyTheZoneBiasInTheirOrder) {
  winsim::setTimeZoneBias(-60);  // one hour east of UTC
  EXPECT_DOUBLE_EQ(dateOf(0), 25569.0 + 1.0 / 24);
  EXPECT_EQ(dateOf(0), 0.0 / 86400000.0 + 25569.0 - (-60.0 / 1440.0));
  EXPECT_EQ(millisecondsOf(dateOf(0)), 0);
  winsim::setTimeZoneBias(300);
  EXPECT_DOUBLE_EQ(dateOf(0), 25569.0 - 5.0 / 24);

  winsim::setTimeZoneBias(0);
  EXPECT_EQ(millisecondsOf(25569.5), 12 * 3600 * 1000);
  EXPECT_EQ(millisecondsOf(0.0), -2209161600000LL);  // 1899-12-30 lies before 1970
  EXPECT_EQ(millisecondsOf(25568.25), -18 * 3600 * 1000);
  // The way back truncates toward zero: a millisecond either side of 1970 is lost.
  EXPECT_GT(dateOf(1), 25569.0);
  EXPECT_EQ(millisecondsOf(dateOf(1)), 0);
  EXPECT_LT(dateOf(-1), 25569.0);
  EXPECT_EQ(millisecondsOf(dateOf(-1)), 0);

  // Dates no Java Date can hold give null rather than an undefined conversion.
  VARIANT beyond = variantOf(VT_DATE);
  beyond.date = 1e300;
  EXPECT_EQ(toJava(beyond), nullptr);
  beyond.date = NAN;
  EXPECT_EQ(toJava(beyond), nullptr);
}

TEST_F(Values, DaylightSavingPlaysNoPart) {
  const char* zone = std::getenv("TZ");
  const std::string saved = zone ? zone : "";
  setenv("TZ", "Europe/Berlin", 1);
  const jlong winter = 1704110400000LL;  // 2024-01-01 12:00 UTC
  const jlong summer = 1719835200000LL;  // 2024-07-01 12:00 UTC
  const double winterOffset = dateOf(winter) - (winter / 86400000.0 + 25569.0);
  const double summerOffset = dateOf(summer) - (summer / 86400000.0 + 25569.0);
  zone ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  EXPECT_NEAR(winterOffset, 1.0 / 24, 1e-9);
  EXPECT_NEAR(summerOffset, 1.0 / 24, 1e-9) << "standard time all year";
}

TEST_F(Values, DateSubclassesConvertThroughTheirGetTime) {
  winsim::setTimeZoneBias(0);
  jobject stamp = newDate(1234567890123LL, "java/sql/Timestamp");
  Block block = toVariant(stamp);
  ASSERT_NE(block.get(), nullptr);
  EXPECT_EQ(block->vt, VT_DATE);
  EXPECT_EQ(block->date, 1234567890123.0 / 86400000.0 + 25569.0);

  // A getTime that throws gives null and leaves its exception for the caller.
  LocalRef<jobject> throwing(env_, newObject(env_, "kordin/vestaro/testhost/ThrowingDate"));
  VARIANT* variant = api_->jobjectToVariant(env_, throwing.get());
  EXPECT_EQ(variant, nullptr);
  JavaException e = takeException(env_);
  EXPECT_EQ(e.className, "java.lang.IllegalStateException");
}

TEST_F(Values, ClearReleasesWhatEachTypeOwnsAndWritesNothing) {
  auto clearUnchanged = [&](VARIANT v) {
    VARIANT before = v;
    api_->clearVariantPayload(&v);
    EXPECT_EQ(std::memcmp(&before, &v, sizeof v), 0) << "type " << v.vt;
  };
  VARIANT text = variantOf(VT_BSTR);
  text.bstrVal = SysAllocString(u"x");
  clearUnchanged(text);

  // By-reference cells come from malloc; a wrong free here shows under the sanitizer.
  VARIANT cells[] = {variantOf(VT_BYREF | VT_I2), variantOf(VT_BYREF | VT_I4),
                     variantOf(VT_BYREF | VT_R4), variantOf(VT_BYREF | VT_R8),
                     variantOf(VT_BYREF | VT_BOOL), variantOf(VT_BYREF | VT_UI1)};
  for (VARIANT& cell : cells) {
    cell.byref = std::malloc(8);
    clearUnchanged(cell);
  }

  // The string a by-reference BSTR cell points at is freed; the cell stays.
  BSTR* holder = static_cast<BSTR*>(std::malloc(sizeof(BSTR)));
  *holder = SysAllocString(u"y");
  VARIANT byReference = variantOf(VT_BYREF | VT_BSTR);
  byReference.pbstrVal = holder;
  clearUnchanged(byReference);
  std::free(holder);

  // Nothing is owned by these: the date cell is still the caller's.
  DATE* dateCell = static_cast<DATE*>(std::malloc(sizeof(DATE)));
  VARIANT dateByReference = variantOf(VT_BYREF | VT_DATE);
  dateByReference.pdate = dateCell;
  clearUnchanged(dateByReference);
  std::free(dateCell);
  clearUnchanged(variantOf(VT_I4));
  clearUnchanged(variantOf(VT_DATE));
  expectCensusUnchanged();
}

// ---- the event sink ----

class EventSink : public Values {};

TEST_F(EventSink, CountsReferencesAndAnswersForItsTwoInterfaces) {
  IWiaEventCallback* sink = api_->newEventCallback();
  EXPECT_EQ(sink->AddRef(), 2u);

  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(sink->QueryInterface(IID_IWiaItem, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(sink->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(sink->AddRef(), 3u) << "failed queries take no reference";
  for (const IID* iid : {&IID_IUnknown, &IID_IWiaEventCallback}) {
    ASSERT_EQ(sink->QueryInterface(*iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(sink));
  }
  EXPECT_EQ(sink->Release(), 4u);
  EXPECT_EQ(sink->Release(), 3u);
  EXPECT_EQ(sink->Release(), 2u);
  EXPECT_EQ(sink->Release(), 1u);
  EXPECT_EQ(sink->Release(), 0u);  // destroyed; the sanitizer build would see a later use
}

TEST_F(EventSink, EightThreadsTakeAndDropReferencesAtOnce) {
  IWiaEventCallback* sink = api_->newEventCallback();
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < 20000; ++i) {
        sink->AddRef();
        sink->Release();
      }
    });
  }
  go = true;
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(sink->AddRef(), 2u) << "every reference taken was dropped";
  EXPECT_EQ(sink->Release(), 1u);
  EXPECT_EQ(sink->Release(), 0u);
}

TEST_F(EventSink, AnnouncesEachEventWithDebuggingOffFromAnyThread) {
  IWiaEventCallback* sink = api_->newEventCallback();
  ULONG eventType = 0xA5A5A5A5u;
  BSTR device = SysAllocString(u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000");
  EXPECT_EQ(sink->ImageEventCallback(&WIA_EVENT_DEVICE_CONNECTED, nullptr, device, nullptr,
                                     0x10000, nullptr, &eventType, 0),
            S_OK);
  HRESULT fromThread = E_FAIL;
  std::thread([&] {
    fromThread = sink->ImageEventCallback(&WIA_EVENT_ITEM_CREATED, nullptr, nullptr, nullptr, 0,
                                          nullptr, nullptr, 0);
  }).join();
  EXPECT_EQ(fromThread, S_OK);
  EXPECT_EQ(eventType, 0xA5A5A5A5u) << "the event type is not written";
  const std::vector<std::string> expected(2, "ImageEventCallback()");
  EXPECT_EQ(takeErrLines(), expected);
  SysFreeString(device);
  sink->Release();
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
