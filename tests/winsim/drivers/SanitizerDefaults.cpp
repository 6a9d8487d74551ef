// The sanitizers' defaults for the tests over the real driver libraries (sanitizer builds
// only). The libraries are not built with frame pointers, so allocations are traced with
// the slow unwinder, far enough to reach the library's own functions; the leaks suppressed
// are the libraries' own, each named by the library function it happens in:
// - SANE's test backend: the buffers of its reader thread, which sane_cancel ends without
//   freeing them (the backend is kept loaded by SaneTestMain.cpp, so that it has a name);
// - libgphoto2's port library: what its USB and port plug-ins allocate while it lists ports
//   and looks for cameras, kept by plug-ins that it unloads;
// - libgphoto2's camera drivers: what their plug-ins allocate as they load while it loads
//   the drivers' abilities, lost when the list is freed and they are unloaded (each start
//   of the service's drivers loads them again).
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libsane-test.so.1\n"
         "leak:gp_port_usb_find_device\n"
         "leak:gp_port_info_list_load\n"
         "leak:gp_abilities_list_load\n";
}
