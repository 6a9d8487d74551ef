// A scanner's root item and its scan item, the first child of the root, from the host's
// device handle: what a batch of pages and the capabilities start from.
#pragma once

#include "ComPtr.h"
#include "Platform.h"

// False after reporting a handle that does not resolve, a failing item list or fetch, or a
// root without children: a scanner's root always has its scan item, so that is an invalid
// response of the driver (WIA_ERROR_INVALID_DRIVER_RESPONSE).
bool lookUpScanItem(JNIEnv* env, jlong deviceHandle, ComPtr<IWiaItem>& root, ComPtr<IWiaItem>& item);
