// The one place that knows which platform the library is built for: the Windows SDK on
// Windows, the stand-in platform everywhere else. Both offer the same names and types.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wia.h>
#else
#include <winsim/winsim.h>
#endif

#include <jni.h>
