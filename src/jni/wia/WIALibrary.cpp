// Load entry: binds the host classes and the members every native uses, reads the debug
// switch and creates the interface table.
#include "WIALibrary.h"

#include <iterator>

#include "FailureReport.h"
#include "LocalRef.h"
#include "RequireOut.h"

BindingCache bindingCache;

namespace {

struct ClassBinding {
  jclass* slot;
  const char* name;
};

struct MethodBinding {
  jmethodID* slot;
  jclass* owner;
  const char* name;
  const char* signature;
};

struct FieldBinding {
  jfieldID* slot;
  const char* name;
};

// bindHost looks these up in the order they are listed.
const ClassBinding kValueClasses[] = {
    {&bindingCache.byteClass, "java/lang/Byte"},       {&bindingCache.shortClass, "java/lang/Short"},
    {&bindingCache.integerClass, "java/lang/Integer"}, {&bindingCache.floatClass, "java/lang/Float"},
    {&bindingCache.doubleClass, "java/lang/Double"},   {&bindingCache.booleanClass, "java/lang/Boolean"},
    {&bindingCache.stringClass, "java/lang/String"},   {&bindingCache.dateClass, "java/util/Date"},
};

const MethodBinding kValueMethods[] = {
    {&bindingCache.byteValueMethod, &bindingCache.byteClass, "byteValue", "()B"},
    {&bindingCache.shortValueMethod, &bindingCache.shortClass, "shortValue", "()S"},
    {&bindingCache.intValueMethod, &bindingCache.integerClass, "intValue", "()I"},
    {&bindingCache.floatValueMethod, &bindingCache.floatClass, "floatValue", "()F"},
    {&bindingCache.doubleValueMethod, &bindingCache.doubleClass, "doubleValue", "()D"},
    {&bindingCache.booleanValueMethod, &bindingCache.booleanClass, "booleanValue", "()Z"},
    {&bindingCache.getTimeMethod, &bindingCache.dateClass, "getTime", "()J"},
    {&bindingCache.byteInit, &bindingCache.byteClass, "<init>", "(B)V"},
    {&bindingCache.shortInit, &bindingCache.shortClass, "<init>", "(S)V"},
    {&bindingCache.integerInit, &bindingCache.integerClass, "<init>", "(I)V"},
    {&bindingCache.floatInit, &bindingCache.floatClass, "<init>", "(F)V"},
    {&bindingCache.doubleInit, &bindingCache.doubleClass, "<init>", "(D)V"},
    {&bindingCache.booleanInit, &bindingCache.booleanClass, "<init>", "(Z)V"},
    {&bindingCache.dateInit, &bindingCache.dateClass, "<init>", "(J)V"},
};

const ClassBinding kHostClasses[] = {
    {&bindingCache.managerClass, "kordin/vestaro/wia/WIAManager"},
    {&bindingCache.deviceClass, "kordin/vestaro/wia/WIADevice"},
    {&bindingCache.cameraClass, "kordin/vestaro/wia/WIACamera"},
    {&bindingCache.scannerClass, "kordin/vestaro/wia/WIAScanner"},
};

const FieldBinding kScannerFields[] = {
    {&bindingCache.bitDepthField, "bitDepth"}, {&bindingCache.resolutionField, "resolution"},
    {&bindingCache.xField, "x"},               {&bindingCache.yField, "y"},
    {&bindingCache.widthField, "width"},       {&bindingCache.heightField, "height"},
};

const MethodBinding kHostMethods[] = {
    {&bindingCache.addMethod, &bindingCache.managerClass, "add",
     "(Ljava/lang/String;JILjava/lang/String;)Z"},
    {&bindingCache.fireTransferDoneMethod, &bindingCache.deviceClass, "fireTransferDone",
     "(Ljava/lang/String;Ljava/lang/String;)V"},
    {&bindingCache.fireTransferFailedMethod, &bindingCache.deviceClass, "fireTransferFailed",
     "(ILjava/lang/String;)V"},
};

// A global reference to the class `name`, or null with NoClassDefFoundError (or the
// failure of the reference) pending.
jclass findGlobalClass(JNIEnv* env, const char* name) {
  LocalRef<jclass> local(env, env->FindClass(name));
  if (!local) return nullptr;
  return static_cast<jclass>(env->NewGlobalRef(local.get()));
}

bool bindClasses(JNIEnv* env, const ClassBinding* bindings, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    *bindings[i].slot = findGlobalClass(env, bindings[i].name);
    if (!*bindings[i].slot) return false;
  }
  return true;
}

bool bindMethods(JNIEnv* env, const MethodBinding* bindings, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const MethodBinding& b = bindings[i];
    *b.slot = env->GetMethodID(*b.owner, b.name, b.signature);
    if (!*b.slot) return false;  // NoSuchMethodError pending
  }
  return true;
}

// Leaves IncompatibleClassChangeError pending unless `subclass` extends `base`: the IDs
// taken from the base are used on the subclass's objects.
bool requireSubclass(JNIEnv* env, jclass subclass, jclass base, const char* message) {
  if (env->IsAssignableFrom(subclass, base)) return true;
  LocalRef<jclass> error(env, env->FindClass("java/lang/IncompatibleClassChangeError"));
  if (error) env->ThrowNew(error.get(), message);
  return false;
}

// A global reference to a new string of `text`, or null with its error pending.
jstring newGlobalString(JNIEnv* env, const char* text) {
  LocalRef<jstring> local(env, env->NewStringUTF(text));
  if (!local) return nullptr;
  return static_cast<jstring>(env->NewGlobalRef(local.get()));
}

// Binds the host: false at the first lookup that fails, with its error pending.
bool bindHost(JNIEnv* env) {
  BindingCache& c = bindingCache;

  // The host's standard error stream, bound once: a later System.setErr is not seen.
  c.systemClass = findGlobalClass(env, "java/lang/System");
  if (!c.systemClass) return false;
  jfieldID errField = env->GetStaticFieldID(c.systemClass, "err", "Ljava/io/PrintStream;");
  if (!errField) return false;
  LocalRef<jobject> err(env, env->GetStaticObjectField(c.systemClass, errField));
  if (err) {  // a host that set System.err to null gets no diagnostic lines
    c.systemErr = env->NewGlobalRef(err.get());
    if (!c.systemErr) return false;
    LocalRef<jclass> streamClass(env, env->GetObjectClass(c.systemErr));
    c.printlnMethod = env->GetMethodID(streamClass.get(), "println", "(Ljava/lang/String;)V");
    if (!c.printlnMethod) return false;
  }

  // Boxed values and dates, for the value conversions.
  if (!bindClasses(env, kValueClasses, std::size(kValueClasses))) return false;
  if (!bindMethods(env, kValueMethods, std::size(kValueMethods))) return false;

  // The host classes.
  if (!bindClasses(env, kHostClasses, std::size(kHostClasses))) return false;
  if (!requireSubclass(env, c.cameraClass, c.deviceClass,
                       "kordin/vestaro/wia/WIACamera does not extend kordin/vestaro/wia/WIADevice") ||
      !requireSubclass(env, c.scannerClass, c.deviceClass,
                       "kordin/vestaro/wia/WIAScanner does not extend kordin/vestaro/wia/WIADevice")) {
    return false;
  }

  // The scan settings of WIAScanner.
  for (const FieldBinding& b : kScannerFields) {
    *b.slot = env->GetFieldID(c.scannerClass, b.name, "I");
    if (!*b.slot) return false;  // NoSuchFieldError pending
  }

  // The debug switch, read once, through WIAManager.
  LocalRef<jclass> managerBase(env, env->FindClass("kordin/vestaro/Manager"));
  if (!managerBase) return false;
  if (!requireSubclass(env, c.managerClass, managerBase.get(),
                       "kordin/vestaro/wia/WIAManager does not extend kordin/vestaro/Manager")) {
    return false;
  }
  jfieldID debugField = env->GetStaticFieldID(managerBase.get(), "debug", "Z");
  if (!debugField) return false;
  c.debugEnabled = env->GetStaticBooleanField(c.managerClass, debugField) != JNI_FALSE;

  c.jpgExtension = newGlobalString(env, "jpg");
  if (!c.jpgExtension) return false;
  c.bmpExtension = newGlobalString(env, "bmp");
  if (!c.bmpExtension) return false;

  // The host's callbacks.
  return bindMethods(env, kHostMethods, std::size(kHostMethods));
}

template <typename T>
void dropGlobal(JNIEnv* env, T& ref) {
  if (ref) env->DeleteGlobalRef(ref);
  ref = nullptr;
}

// After a failed load the VM unloads the library: give back the references taken so far.
// DeleteGlobalRef may be called while the load's error is pending.
void dropBindings(JNIEnv* env) {
  BindingCache& c = bindingCache;
  dropGlobal(env, c.systemClass);
  dropGlobal(env, c.systemErr);
  for (const ClassBinding& b : kValueClasses) dropGlobal(env, *b.slot);
  for (const ClassBinding& b : kHostClasses) dropGlobal(env, *b.slot);
  dropGlobal(env, c.jpgExtension);
  dropGlobal(env, c.bmpExtension);
  c = BindingCache{};
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void*) {
  bindingCache = BindingCache{};
  bindingCache.javaVm = vm;

  JNIEnv* env = nullptr;
  if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK || !env) {
    bindingCache.javaVm = nullptr;
    return JNI_ERR;
  }

  // A missing class or member ends the load here, its error pending, so that the host's
  // System.loadLibrary fails with the error that names it.
  if (!bindHost(env)) {
    dropBindings(env);
    return JNI_ERR;
  }

  // The interface table. A failure does not stop the load: every native reports it.
  CoInitialize(nullptr);  // never uninitialised (COM on the host's threads, WIALibrary.h)
  IGlobalInterfaceTable* table = nullptr;
  const HRESULT hr = requireOutOnSuccess(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                                           IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table)),
                                          table);
  if (FAILED(hr) && table) {
    table->Release();
    table = nullptr;
  }
  bindingCache.interfaceTable = table;
  bindingCache.interfaceTableResult = hr;

  return JNI_VERSION_1_4;
}

IGlobalInterfaceTable* interfaceTableOrThrow(JNIEnv* env, const char* file, int line) {
  if (bindingCache.interfaceTable) return bindingCache.interfaceTable;
  HRESULT hr = bindingCache.interfaceTableResult;
  if (SUCCEEDED(hr)) hr = E_UNEXPECTED;  // no load has run
  throwHResultException(env, hr, file, line);
  return nullptr;
}
