// The scene allocates nothing per frame once it runs: it is built on the test display as the saver
// builds it, then frames are drawn through an environment that does nothing (no GL, no records)
// on the controllable clock, and a counting allocator counts the heap allocations made by the
// engine and the scene (code of this program) while the frames are drawn. Allocations inside
// system libraries (the picture decoder decoding movie frames, the OpenGL driver uploading them)
// are not ours to avoid and are told apart by the library the allocating code lives in.
#include <dlfcn.h>
#include <execinfo.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/compiler.h"
#include "image/devil.h"
#include "render/null_device.h"
#include "support/scene_package.h"
#include "support/scene_window.h"
#include "support/test_support.h"
#include "support/x11_test.h"

namespace {

thread_local bool tCounting = false;  // count this thread's allocations
thread_local bool tInHook = false;
std::atomic<long> gOurs{0}, gTheirs{0};
void* gFirstCaller = nullptr;  // the first counted allocation's caller, for the message
void* volatile gKeep = nullptr;

// Whether the code that asked for memory lies in this program. Frames 0 to 2 are this function,
// localOnAlloc and the allocation function or hook that called it; after them come the C
// library, the C++ runtime or the sanitizer runtime, then the code that asked.
FX_NOINLINE bool localCallerIsOurs(void** where) {
    void* frames[32];
    int n = backtrace(frames, 32);
    Dl_info self{}, info{};
    if (!dladdr(reinterpret_cast<void*>(&localCallerIsOurs), &self)) return false;
    for (int i = 3; i < n; i++) {
        if (!dladdr(frames[i], &info) || !info.dli_fname) continue;
        const char* lib = info.dli_fname;
        if (strstr(lib, "/libc.so") || strstr(lib, "/libstdc++") || strstr(lib, "/libasan") || strstr(lib, "/libtsan"))
            continue;
        *where = frames[i];
        return info.dli_fbase == self.dli_fbase;
    }
    return false;
}

[[maybe_unused]] FX_NOINLINE void localOnAlloc() {
    if (!tCounting || tInHook) return;
    tInHook = true;
    void* where = nullptr;
    if (localCallerIsOurs(&where)) {
        if (gOurs++ == 0) gFirstCaller = where;
    } else {
        gTheirs++;
    }
    tInHook = false;
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers own the allocator (and unwind their own frames): the count runs in plain builds.
namespace {
const bool gHooked = false;
}  // namespace
#else
// This program's allocation functions count, then hand over to the C library's (operator new
// allocates through malloc).
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* malloc(size_t n) {
    localOnAlloc();
    return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t size) {
    localOnAlloc();
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t n) {
    localOnAlloc();
    return __libc_realloc(p, n);
}
namespace {
const bool gHooked = true;
}  // namespace
#endif

namespace {

// An environment that draws nothing and records nothing.
class NullEnv : public FXNullDevice {};

struct NoSink : PFrameSink {
    void OnFrameShown(PEnv*) override {}
};

}  // namespace

TEST(SteadyState, TheSceneAllocatesNothingPerFrame) {
    QM_REQUIRE_DISPLAY();
    if (!gHooked) GTEST_SKIP() << "allocations are counted in builds without a sanitizer";
    std::string data = qmFreshDir("data");
    QmScopedEnv state("XDG_STATE_HOME", qmFreshDir("state").c_str());
    ASSERT_TRUE(fxLoadDevil());
    FXCanvas desk;
    desk.pixmap.Realloc(64, 48);
    desk.pixmap.Clear(0xFF336699u);
    ASSERT_TRUE(desk.SaveToPict((data + "/desktop.png").c_str()));
    std::string why;
    ASSERT_TRUE(qmWriteScenePackage(data + "/qmsave.dat", QmScenePackage(), &why)) << why;
    fxUnloadDevil();
    backtrace(&gFirstCaller, 1);  // loads what backtrace needs before anything is counted

    // The counter itself: an allocation by this program's code counts, one by a library does not.
    tCounting = true;
    gKeep = malloc(24);
    tCounting = false;
    free(gKeep);
    EXPECT_EQ(gOurs.exchange(0), 1) << "the counting allocator sees this program's allocations";

    QmSceneWindow scene;
    NoSink sink;
    scene.Open(data, false, 1, 64, 48, &sink);
    ASSERT_NE(scene.window, nullptr);
    NullEnv env;
    double t = 50.0;
    auto frame = [&] {
        scene.Frame(t, &env);
        t = fxGetTime() + 0.04;
    };
    // Warm-up: the opening and the first clip, so every buffer has reached its working size.
    while (t < 70.0) frame();
    ASSERT_FALSE(scene->starting);
    long frames = 0;
    gOurs = gTheirs = 0;
    tCounting = true;
    while (t < 100.0) frame(), frames++;
    tCounting = false;
    Dl_info info{};
    // A function without an exported name is found with addr2line -f -e test_saver_screen OFFSET.
    char offset[64] = "?";
    if (gFirstCaller && dladdr(gFirstCaller, &info) && info.dli_fbase)
        snprintf(offset, sizeof offset, "offset 0x%lx in %s", (unsigned long)((char*)gFirstCaller - (char*)info.dli_fbase),
                 info.dli_fname ? info.dli_fname : "?");
    std::string where = gFirstCaller && info.dli_sname ? info.dli_sname : offset;
    EXPECT_EQ(gOurs.load(), 0) << "over " << frames << " frames; the first from " << where;
    EXPECT_GT(frames, 300);
    EXPECT_GT(gTheirs.load(), 0) << "movie frames were decoded meanwhile (by the libraries)";
    scene.Close();
}
