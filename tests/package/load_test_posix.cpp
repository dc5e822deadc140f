// A package named by a path that is a named pipe or a link to a device: the load refuses it at
// once and says why. (It used to wait for ever for the pipe's writer, holding the saver.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/package.h"
#include "support/bounded_posix.h"
#include "support/test_support.h"

TEST(FXPackagePosix, APipeOrADeviceIsRefusedAtOnce) {
    std::string dir = qmFreshDir("pkg_pipe");
    std::string fifo = dir + "/qmsave.dat", zero = dir + "/zero.dat";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    QmBounded r = qmRunBounded(10, 512 << 20, [&] {
        FXPackage p;
        FXPackageStatus a = p.Load(fifo.c_str());
        FXPackageStatus b = p.Load(zero.c_str());
        return a.why == "cannot open (is a named pipe, not a regular file)" &&
                       b.why == "cannot open (is a device, not a regular file)" && p.IsEmpty()
                   ? 0
                   : 1;
    });
    EXPECT_TRUE(r.finished) << "the load blocked on the pipe";
    EXPECT_EQ(r.status, 0);
}
