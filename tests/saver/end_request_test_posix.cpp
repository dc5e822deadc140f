// A signal's deadline against the orderly end: each case runs in a child process of its own,
// since the deadline ends the whole process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/other.h"
#include "saver/end_request.h"

namespace {

const int kFinishedInOrder = 7;

// A child that takes SIGTERM, then needs `busySeconds` to finish in order; its exit status.
int localRunChild(bool endUnderWay, bool takeEnd, double busySeconds) {
    pid_t pid = fork();
    if (pid == 0) {
        qmInstallEndSignals();
        if (endUnderWay) qmEndUnderWay();
        raise(SIGTERM);
        if (takeEnd && qmTakeEnd() != kEndSignal) _exit(3);
        fxSleep(busySeconds);
        _exit(kFinishedInOrder);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(EndRequestPosix, ASignalNobodyTakesEndsTheProcessWithinASecondAndStatusZero) {
    EXPECT_EQ(localRunChild(false, false, 3.0), 0);
}

TEST(EndRequestPosix, AnOrderlyEndAlreadyUnderWayGetsItsTimeWhateverBeganIt) {
    EXPECT_EQ(localRunChild(false, true, 2.0), kFinishedInOrder) << "the loop took the signal itself";
    EXPECT_EQ(localRunChild(true, false, 2.0), kFinishedInOrder) << "input or a lost window began the end";
}

}  // namespace
