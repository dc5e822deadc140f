// The X error trap belongs to the thread that sets it: an error of a request another thread makes
// meanwhile (the render thread drawing while the window thread asks about a window) is never
// counted against it, and each thread's own trap still sees its own errors.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "base/x11_display.h"
#include "support/test_support.h"
#include "support/x11_test.h"

namespace {

// The id of a window that existed a moment ago: every request naming it fails with BadWindow.
Window localGoneWindow(Display* dpy) {
    Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 4, 4, 0, 0, 0);
    XDestroyWindow(dpy, w);
    XSync(dpy, False);
    return w;
}

int localTrapped(Display* dpy, Window w) {
    XWindowAttributes a;
    fxX11TrapErrors(dpy);
    XGetWindowAttributes(dpy, w, &a);
    return fxX11UntrapErrors(dpy);
}

}  // namespace

// While one thread holds a trap, another thread's failing request, outside any trap, is traced as
// an error of its own and leaves the trap clean.
TEST(X11ErrorTrap, AnotherThreadsErrorDuringATrapIsNotCountedAgainstIt) {
    QM_REQUIRE_DISPLAY();
    Display* dpy = fxX11OpenDisplay();
    ASSERT_NE(dpy, nullptr);
    const Window gone = localGoneWindow(dpy);
    int code = -1;
    std::string log = qmTraced([&] {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        fxX11TrapErrors(dpy);
        std::thread other([&] {
            XWindowAttributes a;
            XGetWindowAttributes(dpy, gone, &a);  // waits for the trap to end
            std::lock_guard<std::mutex> lock(m);
            done = true;
            cv.notify_all();
        });
        {
            // Gives the other thread the chance to fail inside the trap, were it let in.
            std::unique_lock<std::mutex> lock(m);
            cv.wait_for(lock, std::chrono::milliseconds(500), [&] { return done; });
        }
        code = fxX11UntrapErrors(dpy);
        other.join();
    });
    EXPECT_EQ(code, 0);
    EXPECT_NE(log.find("X error " + std::to_string(BadWindow)), std::string::npos) << log;
}

// Two threads at once: one traps requests that succeed, the other alternates failing requests
// outside a trap with failing requests inside its own. Each trap sees exactly its own outcome.
TEST(X11ErrorTrap, EachThreadSeesItsOwnErrors) {
    QM_REQUIRE_DISPLAY();
    Display* dpy = fxX11OpenDisplay();
    ASSERT_NE(dpy, nullptr);
    const Window gone = localGoneWindow(dpy), root = DefaultRootWindow(dpy);
    const int kRounds = 200;
    std::atomic<int> wrongClean{0}, missedOwn{0};
    std::thread failing([&] {
        for (int i = 0; i < kRounds; i++) {
            XMapWindow(dpy, gone);  // no reply: its error arrives while someone else reads
            XFlush(dpy);
            if (localTrapped(dpy, gone) != BadWindow) missedOwn++;
        }
    });
    for (int i = 0; i < kRounds; i++)
        if (localTrapped(dpy, root) != 0) wrongClean++;
    failing.join();
    XSync(dpy, False);
    EXPECT_EQ(wrongClean.load(), 0);
    EXPECT_EQ(missedOwn.load(), 0);
}
