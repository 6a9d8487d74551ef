// The Java VM that the JVM tests, the fuzzing target and the benchmarks run the library in:
// the library's jar and the host jar (tests/support/java) on the class path, the library's
// build folder on the library path, the library loaded from the host's Harness class, and
// the lookups on host objects that all of them make. One VM per process.
#pragma once

#include <jni.h>

#include <string>
#include <vector>

namespace vmstart {

// The product library's name as System.loadLibrary takes it ("vestaro64_12").
extern const char* const kProductLibrary;
// The host's side of the harness: loads libraries, sets System.err and Manager.debug.
constexpr const char* kHarness = "kordin/vestaro/testhost/Harness";

// Receives a whole line of the VM's output, without its '\n', on the thread that printed it.
using LineHandler = void (*)(const std::string& line);

struct VmOptions {
  // Jars, in order: the library's jar, then the host jar, unless the caller changes them.
  std::vector<std::string> classPath;
  // Folders System.loadLibrary searches: the product library's build folder at first.
  std::vector<std::string> libraryPath;
  // When set: -Xcheck:jni, and every line of the VM's output in which the checks warn
  // ("WARNING in native method: ...", "WARNING: JNI local refs: ...") or the VM fails
  // ("FATAL ERROR") is handed here once it has gone to the VM's stream.
  LineHandler onCheckFailure = nullptr;
  // Further options, as the VM takes them ("-Xmx64m").
  std::vector<std::string> more;

  VmOptions();
};

// The VM of the tests and the fuzzer: JNI checks on with their failures handed to
// `onCheckFailure`, a 256 MB heap, the serial collector and the first compiler tier
// alone, which start quickly in the many short processes.
VmOptions checkedVm(LineHandler onCheckFailure);

// Creates the process's VM; the main thread's environment, or null when the VM could not be
// created. `vm` receives the VM.
JNIEnv* createVm(const VmOptions& options, JavaVM** vm);

// Loads `library` through Harness.loadLibrary, so that it binds to the class loader of the
// host classes. What the load threw (a local reference), else null; null with the
// exception pending when the Harness class itself cannot be used.
jthrowable loadLibrary(JNIEnv* env, const std::string& library);

// An object of `className` through its no-argument constructor (a local reference), and an
// object's method and field by name; each null, with the VM's exception pending, when
// there is none.
jobject newObject(JNIEnv* env, const char* className);
jmethodID methodOf(JNIEnv* env, jobject object, const char* name, const char* signature);
jfieldID fieldOf(JNIEnv* env, jobject object, const char* name, const char* signature);

// The same for the benchmarks and the fuzzer, whose own calls never throw: a measurement or
// a finding past a failed call means nothing, so the failure ends the process.
namespace strict {

// Receives why the process ends ("the harness's own call threw: poll"), after the VM has
// printed the pending exception; does not return. By default, `why` goes to stderr and
// the process exits with 1.
using Ending = void (*)(const std::string& why);
void setEnding(Ending ending);

// Ends the process through the ending when an exception is pending, naming `what`.
void requireNoException(JNIEnv* env, const char* what);

jobject newObject(JNIEnv* env, const char* className);
jmethodID methodOf(JNIEnv* env, jobject object, const char* name, const char* signature);
jlong longField(JNIEnv* env, jobject object, const char* name);
void setBooleanField(JNIEnv* env, jobject object, const char* name, bool value);
jobject objectField(JNIEnv* env, jobject object, const char* name, const char* signature);
void setObjectField(JNIEnv* env, jobject object, const char* name, const char* signature, jobject value);

}  // namespace strict

}  // namespace vmstart
