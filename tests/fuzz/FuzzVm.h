// The Java VM inside the fuzzing process: created once, with JNI checks on and every
// warning of the checks fatal, with the product library loaded from the build folder.
#pragma once

#include <jni.h>

#include <string>

namespace fuzz {

// Creates the VM and loads the library; exits the process when either fails.
JNIEnv* startVm();

// A new object of `className` through its no-argument constructor (a local reference).
jobject newObject(JNIEnv* env, const char* className);

// Calls an instance method; the exception it threw is returned (and cleared), else null.
jthrowable callVoid(JNIEnv* env, jobject target, const char* name, const char* signature, ...);
jlong callLong(JNIEnv* env, jobject target, const char* name, jthrowable* thrown);
jint callInt(JNIEnv* env, jobject target, const char* name);
jobject callObject(JNIEnv* env, jobject target, const char* name, const char* signature, jint index);

jlong longField(JNIEnv* env, jobject object, const char* name);
void setBooleanField(JNIEnv* env, jobject object, const char* name, bool value);
void setObjectField(JNIEnv* env, jobject object, const char* name, const char* signature, jobject value);
jobject objectField(JNIEnv* env, jobject object, const char* name, const char* signature);

// "java.lang.NullPointerException: text" for a report.
std::string describe(JNIEnv* env, jthrowable thrown);

// Stops the process with `what` when an exception is pending: the harness's own calls
// never throw.
void requireNoException(JNIEnv* env, const char* what);

}  // namespace fuzz
