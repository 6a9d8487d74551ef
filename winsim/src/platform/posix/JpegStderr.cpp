// The stream that the linked-in JPEG library's default message routine writes to. Its
// objects read stderr as a variable of their own, which a shared library cannot offer for
// a variable of the C library; the build points that reference here instead.
#include <cstdio>

extern "C" {
__attribute__((visibility("hidden"))) FILE* winsim_jpeg_stderr = stderr;
}
