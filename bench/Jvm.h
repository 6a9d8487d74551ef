// The benchmarks' Java VM, started by tests/support with the library and the host jar: no
// JNI checks and a fixed heap, and host objects switched to record nothing, so that the
// benchmarks time the library, not the recording. A failed call of the benchmarks' own
// ends the run (vmstart::strict): a measurement of a broken call means nothing.
#pragma once

#include <jni.h>

#include "VmStart.h"

namespace bench {

extern JNIEnv* env;

constexpr const char* kCamera = "kordin/vestaro/testhost/RecordingCamera";
constexpr const char* kScanner = "kordin/vestaro/testhost/RecordingScanner";

// Starts the VM and loads the library.
bool startJvm();

// The host's manager, keeping no record of its offers and taking no device unless its
// "accept" is set; "lastHandle" holds the handle of the latest device offered.
jobject newManager();
// A camera or scanner of the host (kCamera, kScanner) that only adds up its files' sizes,
// each read during its callback, as a host that reads each file's size.
jobject newDevice(const char* className);

}  // namespace bench
