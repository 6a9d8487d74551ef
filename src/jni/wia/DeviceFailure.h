// The device a poll's failure is about. The host's VestaroException may carry the device's
// name and identifier (fields deviceName and deviceId), so that an application can say
// which device failed; a host class without those fields still gets the failure itself.
#pragma once

#include "Platform.h"

// Fills the name and identifier of the device whose record held `name` and `id` into the
// VestaroException pending on the calling thread, which stays pending; a value that is no
// VT_BSTR leaves its field null. The fields are looked up at each use, so a host without
// them loads and reports as before. When the strings cannot be made, the failure that
// stopped them is attached to the pending one as suppressed. Nothing pending, or a pending
// exception of another class, is left as it is.
void nameFailedDevice(JNIEnv* env, const PROPVARIANT& name, const PROPVARIANT& id);
