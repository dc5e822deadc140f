// Files read by name on a POSIX system: a named pipe (with or without a writer) and a link to an
// endless device are refused at once instead of blocking or feeding a reader for ever; a pipe
// taken on purpose is read to its end; a huge file is refused by its size without being read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "base/input_file.h"
#include "support/bounded_posix.h"
#include "support/test_support.h"

TEST(InputFilePosix, APipeOrAnEndlessDeviceNeverBlocksAReader) {
    std::string dir = qmFreshDir("input_pipe");
    std::string fifo = dir + "/fifo", zero = dir + "/zero";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    QmBounded r = qmRunBounded(20, 256 << 20, [&] {
        FXInputInfo info;
        std::string text;
        if (fxOpenInput(fifo.c_str(), &info) >= 0 || info.Why() != "is a named pipe, not a regular file") return 1;
        if (fxReadInput(zero.c_str(), 1 << 20, &text, &info) || info.Why() != "is a device, not a regular file")
            return 2;
        // Taken on purpose, a pipe without a writer reads as empty after its wait.
        if (!fxReadInput(fifo.c_str(), 1 << 20, &text, &info, FX_INPUT_PIPE_OK) || !info.pipe || !text.empty())
            return 3;
        return 0;
    });
    EXPECT_TRUE(r.finished) << "a reader blocked";
    EXPECT_EQ(r.status, 0);
}

TEST(InputFilePosix, APipeTakenOnPurposeIsReadToItsEndOrItsLimit) {
    std::string fifo = qmFreshDir("input_pipe_read") + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (size_t length : {size_t(5), size_t(200000)}) {
        pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            int fd = open(fifo.c_str(), O_WRONLY);
            std::string bytes(length, 'p');
            _exit(fd >= 0 && write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()) ? 0 : 1);
        }
        std::string text;
        FXInputInfo info;
        bool ok = fxReadInput(fifo.c_str(), 100000, &text, &info, FX_INPUT_PIPE_OK);
        if (length <= 100000) {
            EXPECT_TRUE(ok) << info.Why();
            EXPECT_EQ(text, std::string(length, 'p'));
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(info.Why(), "is too large (more than 100000 bytes; at most 100000 bytes)");
        }
        kill(writer, SIGKILL);  // a writer the reader left
        waitpid(writer, nullptr, 0);
    }
}

TEST(InputFilePosix, AHugeFileIsRefusedByItsSize) {
    std::string path = qmTestPath("input_huge.bin");
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(8) << 30), 0);  // 8 GB, sparse
    close(fd);
    QmBounded r = qmRunBounded(20, 256 << 20, [&] {
        std::string text;
        FXInputInfo info;
        return !fxReadInput(path.c_str(), 1 << 20, &text, &info) && info.Why() == "is too large (8192 MB; at most 1 MB)"
                   ? 0
                   : 1;
    });
    unlink(path.c_str());
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0);
}
