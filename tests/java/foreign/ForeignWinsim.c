/* Another build's libwinsim.so, as a user's LD_LIBRARY_PATH may hold one: the same name and
   soname, none of the stand-in's symbols. The loader must not let the library bind to it. */
int vestaro_foreign_winsim(void) { return 1; }
