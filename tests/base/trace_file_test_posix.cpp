// The trace log's file on POSIX systems: only a regular file is written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/trace.h"
#include "support/test_support.h"

TEST(Trace, OnlyARegularFileBecomesTheLog) {
    // A link planted where the log goes (a shared data folder) must not redirect the write, and
    // a pipe without a reader must not block the saver.
    std::string dir = qmFreshDir("trace-files");
    std::string victim = dir + "/victim", link = dir + "/qmsave.log", fifo = dir + "/fifo.log";
    qmWriteText(victim, "precious\n");
    ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
    EXPECT_FALSE(fxOpenTraces(link.c_str()));
    EXPECT_EQ(qmReadText(victim), "precious\n");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(fxOpenTraces(fifo.c_str()));
    EXPECT_FALSE(fxOpenTraces(dir.c_str())) << "a folder";
    // A regular file is emptied and written.
    std::string plain = dir + "/plain.log";
    qmWriteText(plain, std::string(10000, '@'));
    ASSERT_TRUE(fxOpenTraces(plain.c_str()));
    trc("hello\n");
    fxCloseTraces();
    std::string text = qmReadText(plain);
    EXPECT_EQ(text.find('@'), std::string::npos);
    EXPECT_NE(text.find("hello"), std::string::npos);
}
