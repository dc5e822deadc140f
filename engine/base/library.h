// Run-time binding of shared libraries by name: what each platform file (library_posix.cpp,
// library_w32.cpp) provides. Optional components (the image decoder) are bound this way so the
// program starts without them.
#pragma once

// Loads the library file name from the system's search path; null when it cannot be loaded.
void* fxLoadLibrary(const char* name);
// The address of the exported symbol name, or null (also for a null library).
void* fxGetProcAddress(void* library, const char* name);
// Releases a library from fxLoadLibrary; null is ignored.
void fxFreeLibrary(void* library);
