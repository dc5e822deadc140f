// Sanitizer builds keep the libraries that are loaded behind the program's back (the OpenGL
// driver) or bound at run time (the image decoder) until the process ends, so LeakSanitizer can
// name the library a leftover of theirs comes from. A program that ends during start-up (its
// window closed, a signal) has chosen a visual but made no context yet: the driver must stay from
// that first GLX call on. Other builds unload them as usual.
#include <gtest/gtest.h>  // before Xlib: Xlib's None is a macro

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <link.h>

#include <cstring>

#include "base/library.h"
#include "image/devil.h"
#include "base/x11_display.h"
#include "support/x11_test.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
const bool kKeeps = true;
#else
const bool kKeeps = false;
#endif

int localFindDriver(dl_phdr_info* info, size_t, void* found) {
    const char* name = info->dlpi_name;
    size_t n = name ? strlen(name) : 0;
    if (n > 7 && strcmp(name + n - 7, "_dri.so") == 0) *static_cast<bool*>(found) = true;
    return 0;
}

bool localDriverLoaded() {
    bool found = false;
    dl_iterate_phdr(localFindDriver, &found);
    return found;
}

}  // namespace

TEST(KeepLoaded, TheDriverStaysFromTheFirstVisualChosenAfterTheDisplayCloses) {
    QM_REQUIRE_DISPLAY();
    if (!kKeeps) GTEST_SKIP() << "only AddressSanitizer builds keep the driver";
    ASSERT_FALSE(localDriverLoaded()) << "nothing has loaded the driver yet";
    Display* dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr);
    XVisualInfo* vi = fxGLChooseVisual(dpy);
    ASSERT_NE(vi, nullptr);
    XFree(vi);
    ASSERT_TRUE(localDriverLoaded()) << "choosing a visual loads the driver";
    XCloseDisplay(dpy);  // unloads the driver unless it is kept
    EXPECT_TRUE(localDriverLoaded());
}

TEST(KeepLoaded, BoundLibrariesStayAfterTheyAreReleasedInSanitizerBuilds) {
    void* il = fxLoadLibrary(fxDevilPlatformName());
    if (!il) GTEST_SKIP() << fxDevilPlatformName() << " is not installed";
    void* probe = dlopen(fxDevilPlatformName(), RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(probe, nullptr) << "loaded";
    dlclose(probe);
    fxFreeLibrary(il);
    void* after = dlopen(fxDevilPlatformName(), RTLD_LAZY | RTLD_NOLOAD);
    EXPECT_EQ(after != nullptr, kKeeps) << "kept to the end only in sanitizer builds";
    if (after) dlclose(after);
}
