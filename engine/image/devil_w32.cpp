// DevIL's library names on Windows, loaded from the program's folder or the system's search path.
#include "image/devil.h"

const char* fxDevilPlatformName() { return "DevIL"; }
const char* fxIluPlatformName() { return "ilu"; }
