// The host's System.err as the load bound it: where diagnostic lines go.
#pragma once

#include <cstddef>

#include "Platform.h"

// Prints `length` UTF-16 units as one line on the host's System.err. Any thread may print,
// one the VM has never seen included: it is attached for the line only. The line is dropped
// when there is no stream or no VM environment, or when printing it throws. An exception
// pending on the calling thread stays pending.
void printOnHostErrorStream(const WCHAR* text, size_t length);

// Formats one line as formatDiagnosticLine does and prints it as printOnHostErrorStream
// does; longer lines are cut at 1023 characters. The caller decides whether to print
// (bindingCache.debugEnabled).
void debugPrintf(const char* format, ...);
