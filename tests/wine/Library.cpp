#include "Library.h"

#include <cstdio>
#include <cstdlib>

namespace wine {
namespace {

using InitializeFn = jlong(JNICALL*)(JNIEnv*, jobject);
using HandleFn = void(JNICALL*)(JNIEnv*, jobject, jlong);
using TransferFn = void(JNICALL*)(JNIEnv*, jobject, jlong, jboolean);
using OnLoadFn = jint(JNICALL*)(JavaVM*, void*);
using ScanPagesFn = jint(JNICALL*)(JNIEnv*, jobject, jlong, jintArray, jintArray, jint);
using CapabilitiesFn = jintArray(JNICALL*)(JNIEnv*, jobject, jlong);

}  // namespace

std::wstring Library::dllPath() {
  const char* path = std::getenv("VESTARO_WINE_DLL");
  if (!path || !*path) return L"";
  std::wstring wide;
  if (path[0] == '/') wide = L"Z:";
  for (const char* p = path; *p; ++p) wide += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return wide;
}

Library::Library(Host& host, const std::wstring& path) : host_(host) {
  module_ = path.empty() ? nullptr : LoadLibraryW(path.c_str());
}

Library::~Library() {
  if (module_) FreeLibrary(module_);
}

// The export the VM would call (on i386 the decorated name first, then the plain one, as
// the VM looks them up); a DLL without it cannot be run at all, so the program stops.
void* Library::entry(const char* name, int argumentBytes) {
  char decorated[160];
  std::snprintf(decorated, sizeof decorated, "_%s@%d", name, argumentBytes);
  void* found = nullptr;
  if (module_ && sizeof(void*) == 4) found = reinterpret_cast<void*>(GetProcAddress(module_, decorated));
  if (module_ && !found) found = reinterpret_cast<void*>(GetProcAddress(module_, name));
  if (!found) {
    std::fprintf(stderr, "wine tests: the DLL has no export %s\n", decorated);
    std::exit(2);
  }
  return found;
}

template <typename Call>
void Library::inFrame(const char* native, fakejvm::Object* self, Call call) {
  fakejvm::Env* env = host_.vm.envOfThisThread();
  if (!env) {
    host_.vm.violation(std::string(native) + " called on a thread the VM does not know");
    return;
  }
  env->pushFrame();
  jobject selfRef = env->local(self);  // the VM's own reference to the receiver
  call(static_cast<JNIEnv*>(env), selfRef);
  const size_t left = env->popFrame(selfRef);
  if (left > 0) {
    host_.vm.violation(std::string(native) + " left " + std::to_string(left) + " local references");
  }
}

jint Library::onLoad() {
  auto fn = reinterpret_cast<OnLoadFn>(entry("JNI_OnLoad", 8));
  fakejvm::Env& env = host_.vm.mainEnv();
  env.pushFrame();
  const jint version = fn(static_cast<JavaVM*>(&host_.vm), nullptr);
  const size_t left = env.popFrame(nullptr);
  if (left > 0) host_.vm.violation("JNI_OnLoad left " + std::to_string(left) + " local references");
  return version;
}

jlong Library::initialize() {
  auto fn = reinterpret_cast<InitializeFn>(entry("Java_kordin_vestaro_wia_WIAManager__1initialize", 8));
  jlong handle = 0;
  inFrame("_initialize", host_.manager, [&](JNIEnv* env, jobject self) { handle = fn(env, self); });
  return handle;
}

#define HANDLE_NATIVE(Method, Export, Bytes, Self)                                    \
  void Library::Method(jlong handle) {                                                \
    auto fn = reinterpret_cast<HandleFn>(entry(Export, Bytes));                       \
    inFrame(#Method, Self, [&](JNIEnv* env, jobject self) { fn(env, self, handle); }); \
  }

HANDLE_NATIVE(poll, "Java_kordin_vestaro_wia_WIAManager__1poll", 16, host_.manager)
HANDLE_NATIVE(releaseManager, "Java_kordin_vestaro_wia_WIAManager__1release", 16, host_.manager)
HANDLE_NATIVE(releaseDevice, "Java_kordin_vestaro_wia_WIADevice__1release", 16, host_.camera)
#undef HANDLE_NATIVE

void Library::transferCamera(jlong device, bool dialog) {
  auto fn = reinterpret_cast<TransferFn>(entry("Java_kordin_vestaro_wia_WIACamera__1transfer", 20));
  inFrame("WIACamera._transfer", host_.camera,
          [&](JNIEnv* env, jobject self) { fn(env, self, device, dialog ? JNI_TRUE : JNI_FALSE); });
}

void Library::transferScanner(jlong device, bool dialog) {
  auto fn = reinterpret_cast<TransferFn>(entry("Java_kordin_vestaro_wia_WIAScanner__1transfer", 20));
  inFrame("WIAScanner._transfer", host_.scanner,
          [&](JNIEnv* env, jobject self) { fn(env, self, device, dialog ? JNI_TRUE : JNI_FALSE); });
}

// The arrays are the caller's: local references of the calling thread's frame, given back
// once the native has returned.
jint Library::scanPages(jlong device, const std::vector<jint>& rootWrites, const std::vector<jint>& itemWrites,
                        jint maxPages) {
  auto fn = reinterpret_cast<ScanPagesFn>(entry("Java_kordin_vestaro_wia_WIAScanner__1scanPages", 28));
  fakejvm::Env& caller = *host_.vm.envOfThisThread();
  auto root = static_cast<jintArray>(caller.local(host_.vm.newIntArray(rootWrites)));
  auto item = static_cast<jintArray>(caller.local(host_.vm.newIntArray(itemWrites)));
  jint outcome = -1;
  inFrame("WIAScanner._scanPages", host_.scanner,
          [&](JNIEnv* env, jobject self) { outcome = fn(env, self, device, root, item, maxPages); });
  caller.DeleteLocalRef(root);
  caller.DeleteLocalRef(item);
  return outcome;
}

// The array the native returns is read before its frame ends, as the VM would hand it on.
std::vector<jint> Library::capabilities(jlong device) {
  auto fn = reinterpret_cast<CapabilitiesFn>(entry("Java_kordin_vestaro_wia_WIAScanner__1capabilities", 16));
  std::vector<jint> values;
  inFrame("WIAScanner._capabilities", host_.scanner, [&](JNIEnv* env, jobject self) {
    jintArray array = fn(env, self, device);
    if (!array) return;
    fakejvm::Object* returned = static_cast<fakejvm::Env*>(env)->deref(array, "the returned array");
    if (returned) values = returned->ints;
    env->DeleteLocalRef(array);
  });
  return values;
}

}  // namespace wine
