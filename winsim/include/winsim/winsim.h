// The stand-in Windows platform: everything the library may call, under the SDK's names.
// Built for Windows (the test programs that run the virtual service over the real system),
// the same names come from the SDK itself.
#pragma once

#ifdef _WIN32
#define WINSIM_API
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <sti.h>
#include <wia.h>
#else
#include "com.h"
#include "oleauto.h"
#include "propidl.h"
#include "wia.h"
#include "win32.h"
#include "wintypes.h"
#endif
