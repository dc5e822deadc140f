// DevIL's library file names on this platform (Debian's packages).
#include "image/devil.h"

const char* fxDevilPlatformName() { return "libIL.so.1"; }
const char* fxIluPlatformName() { return "libILU.so.1"; }
