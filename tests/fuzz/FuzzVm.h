// The Java VM inside the fuzzing process: created once by tests/support, with JNI checks on
// and every warning of the checks fatal, with the product library loaded from the build
// folder. The harness's own calls end the process when they throw (vmstart::strict).
#pragma once

#include <jni.h>

#include <string>

#include "VmStart.h"

namespace fuzz {

// Creates the VM and loads the library; exits the process when either fails.
JNIEnv* startVm();

using vmstart::strict::longField;
using vmstart::strict::newObject;
using vmstart::strict::objectField;
using vmstart::strict::requireNoException;
using vmstart::strict::setBooleanField;
using vmstart::strict::setObjectField;

// Calls an instance method; the exception it threw is returned (and cleared), else null.
jthrowable callVoid(JNIEnv* env, jobject target, const char* name, const char* signature, ...);
jlong callLong(JNIEnv* env, jobject target, const char* name, jthrowable* thrown);
jint callInt(JNIEnv* env, jobject target, const char* name);
jobject callObject(JNIEnv* env, jobject target, const char* name, const char* signature, jint index);

// "java.lang.NullPointerException: text" for a report.
std::string describe(JNIEnv* env, jthrowable thrown);

}  // namespace fuzz
