// Natives of kordin.vestaro.testsupport.Winsim: the stand-in platform's control surface for
// the Java tests. Loaded after the product library, so both use the process's one
// libwinsim.so (the dynamic linker matches it by its soname): what the tests set here is
// what the library's calls meet.
//
// Every argument is checked; a wrong one throws IllegalArgumentException or
// NullPointerException and changes nothing. A rule the platform refuses (an unreadable
// device set) throws IllegalArgumentException with the platform's reason.
#include <jni.h>

#include <cstdio>
#include <exception>
#include <initializer_list>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <winsim/control.h>
#include <winsim/devices.h>

namespace {

void throwNew(JNIEnv* env, const char* className, const std::string& message) {
  if (env->ExceptionCheck()) return;
  jclass type = env->FindClass(className);
  if (type) {
    env->ThrowNew(type, message.c_str());
    env->DeleteLocalRef(type);
  }
}

// The Java string as UTF-8; false with NullPointerException pending for null.
bool utf8Of(JNIEnv* env, jstring text, const char* what, std::string* out) {
  if (!text) {
    throwNew(env, "java/lang/NullPointerException", what);
    return false;
  }
  const jsize length = env->GetStringLength(text);
  std::u16string units(static_cast<size_t>(length), u'\0');
  env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(units.data()));
  if (env->ExceptionCheck()) return false;
  *out = winsim::toUtf8(units);
  return true;
}

jstring javaString(JNIEnv* env, const std::string& text) {
  const std::u16string units = winsim::toUtf16(text);
  return env->NewString(reinterpret_cast<const jchar*>(units.data()), static_cast<jsize>(units.size()));
}

}  // namespace

extern "C" {

JNIEXPORT jlongArray JNICALL Java_kordin_vestaro_testsupport_Winsim_census0(JNIEnv* env, jclass) {
  const winsim::Census now = winsim::census();
  const jlong values[4] = {now.comObjects, now.taskMemoryBlocks, now.bstrs, now.localMemoryBlocks};
  jlongArray result = env->NewLongArray(4);
  if (result) env->SetLongArrayRegion(result, 0, 4, values);
  return result;
}

JNIEXPORT jstring JNICALL Java_kordin_vestaro_testsupport_Winsim_liveObjects0(JNIEnv* env, jclass) {
  return javaString(env, winsim::describeLiveObjects());
}

// The tests read the journal, which a fresh platform keeps off.
JNIEXPORT void JNICALL Java_kordin_vestaro_testsupport_Winsim_reset0(JNIEnv*, jclass) {
  winsim::reset();
  winsim::setJournalEnabled(true);
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testsupport_Winsim_loadDevices0(JNIEnv* env, jclass, jstring json) {
  std::string text;
  if (!utf8Of(env, json, "json", &text)) return;
  try {
    winsim::loadDevices(text);
  } catch (const std::exception& error) {
    throwNew(env, "java/lang/IllegalArgumentException", std::string("device set: ") + error.what());
  }
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testsupport_Winsim_setDialogScript0(JNIEnv* env, jclass,
                                                                             jstring deviceId,
                                                                             jstring stepsJson) {
  std::string id, steps;
  if (!utf8Of(env, deviceId, "deviceId", &id) || !utf8Of(env, stepsJson, "stepsJson", &steps)) return;
  try {
    // The steps are read by the device-set parser, as the "dialog" of a stand-in device.
    nlohmann::json parsed = nlohmann::json::parse(steps);
    if (!parsed.is_array()) throw std::invalid_argument("expected an array of steps");
    nlohmann::json set = {{"devices", nlohmann::json::array({{{"kind", "camera"}, {"id", "script"}, {"dialog", parsed}}})}};
    std::vector<winsim::DeviceSpec> specs = winsim::parseDevices(set.dump());
    winsim::setDialogScript(id, std::move(specs.at(0).dialog));
  } catch (const std::exception& error) {
    throwNew(env, "java/lang/IllegalArgumentException", std::string("dialog script: ") + error.what());
  }
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testsupport_Winsim_injectFault0(JNIEnv* env, jclass, jstring method,
                                                                         jint result, jint nth, jstring target) {
  winsim::Fault fault;
  if (!utf8Of(env, method, "method", &fault.method) || !utf8Of(env, target, "target", &fault.target)) return;
  if (fault.method.empty()) {
    throwNew(env, "java/lang/IllegalArgumentException", "fault: empty method name");
    return;
  }
  if (nth < 0) {
    throwNew(env, "java/lang/IllegalArgumentException", "fault: nth must be 0 (every call) or more");
    return;
  }
  fault.result = static_cast<HRESULT>(result);
  fault.nth = static_cast<unsigned>(nth);
  winsim::injectFault(fault);
}

JNIEXPORT void JNICALL Java_kordin_vestaro_testsupport_Winsim_clearFaults0(JNIEnv*, jclass) { winsim::clearFaults(); }

JNIEXPORT void JNICALL Java_kordin_vestaro_testsupport_Winsim_clearJournal0(JNIEnv*, jclass) {
  winsim::clearJournal();
}

// The entries of `method` as a flat array: target, detail and result in hexadecimal, per entry.
JNIEXPORT jobjectArray JNICALL Java_kordin_vestaro_testsupport_Winsim_journal0(JNIEnv* env, jclass,
                                                                              jstring method) {
  std::string name;
  if (!utf8Of(env, method, "method", &name)) return nullptr;
  const std::vector<winsim::JournalEntry> entries = winsim::journal(name);
  jclass stringClass = env->FindClass("java/lang/String");
  if (!stringClass) return nullptr;
  jobjectArray result = env->NewObjectArray(static_cast<jsize>(entries.size() * 3), stringClass, nullptr);
  env->DeleteLocalRef(stringClass);
  if (!result) return nullptr;
  jsize at = 0;
  for (const auto& entry : entries) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(entry.result));
    for (const std::string& part : {entry.target, entry.detail, std::string(code)}) {
      jstring text = javaString(env, part);
      if (!text) return nullptr;
      env->SetObjectArrayElement(result, at++, text);
      env->DeleteLocalRef(text);
    }
  }
  return result;
}

}  // extern "C"
