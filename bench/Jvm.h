// The benchmarks' Java VM: the library loaded by a host jar, and the few JNI calls the
// benchmarks make on its objects. A failed call ends the run: a measurement of a broken
// call means nothing.
#pragma once

#include <jni.h>

namespace bench {

extern JNIEnv* env;

// Starts the VM with the library's jar and the benchmark host, and loads the library.
bool startJvm();

void check(const char* what);
jobject newObject(const char* className);
jmethodID methodOf(jobject object, const char* name, const char* signature);
void setBoolean(jobject object, const char* name, bool value);
jint intField(jobject object, const char* name);
jlong longField(jobject object, const char* name);

}  // namespace bench
