// The stand-in Windows platform: everything the library may call, under the SDK's names.
#pragma once

#include "com.h"
#include "oleauto.h"
#include "propidl.h"
#include "wia.h"
#include "win32.h"
#include "wintypes.h"
