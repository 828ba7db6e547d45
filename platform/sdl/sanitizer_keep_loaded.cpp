// sanitizer_keep_loaded.cpp -- sanitizer builds only: libraries loaded at run time stay loaded until exit
//
// LeakSanitizer looks for leaks when the process exits. SDL unloads the OpenGL library when its last
// OpenGL window goes, and Mesa unloads its driver (llvmpipe and LLVM with it) when the display ends;
// what they keep until exit is then reported from addresses that no longer belong to any library, so
// the suppressions (scripts/lsan.supp), which name those libraries, cannot match. Defined in the
// executable, this dlclose takes the place of the C library's for every caller: nothing is unloaded,
// the libraries' memory stays reachable from their own globals, and whatever is reported names its
// library. Our own code never unloads anything.
extern "C" int dlclose(void* handle) {
    (void)handle;
    return 0;
}
