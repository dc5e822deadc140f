#include "base/trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "base/other.h"
#include "base/thread.h"
#include "support/test_support.h"

namespace {
const std::string kRule(48, '-');
std::string localPrefix(unsigned tid, const char* time) {
    char buf[64];
    snprintf(buf, sizeof(buf), "%08x: [%s] ", tid, time);
    return buf;
}
}  // namespace

TEST(Trace, LogFormatFromOpenToClose) {
    std::string path = qmTestPath("trace.log");
    std::string other = qmTestPath("trace_other.log");
    remove(other.c_str());
    trc("not open: dropped\n");
    EXPECT_FALSE(fxTracesOpened());
    fxUseManualClock(1.25);
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    EXPECT_TRUE(fxTracesOpened());
    trc("x=%d\n", 5);
    err("bad %s\n", "thing");
    trc1("plain\n");
    EXPECT_FALSE(fxOpenTraces(other.c_str()));
    unsigned worker = 0;
    std::thread t([&] {
        worker = fxGetThreadId();
        trc("from worker\n");
    });
    t.join();
    std::string big(5000, 'm');
    trc("%s", big.c_str());
    trc1("\n");
    fxCloseTraces();
    EXPECT_FALSE(fxTracesOpened());
    trc("after close: dropped\n");
    fxUseSystemClock();

    std::string me = localPrefix(fxGetThreadId(), "1.250");
    std::string want = kRule + "\n fxOpenTraces (filename:" + path + ")\n" + kRule + "\n\n" +
                       me + "x=5\n" + "#ERROR: " + me + "bad thing\n" + "plain\n" + kRule +
                       "\nfxOpenTraces - attempt to open another traces\n" +
                       "               (filename:" + other + ")\n" + kRule + "\n\n" +
                       localPrefix(worker, "1.250") + "from worker\n" + me + std::string(4096, 'm') +
                       "\n" + "\n" + kRule + "\n end of traces\n" + kRule + "\n\n";
    EXPECT_EQ(qmReadText(path), want);
    FILE* f = fopen(other.c_str(), "r");
    EXPECT_EQ(f, nullptr);  // the second open never touched its file
    if (f) fclose(f);
}

TEST(Trace, TimePrefixIsSinglePrecisionWithThreeDecimals) {
    std::string path = qmTestPath("trace_time.log");
    fxUseManualClock(4294967.295);
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    trc("t\n");
    fxCloseTraces();
    fxUseSystemClock();
    char want[64];
    snprintf(want, sizeof(want), "[%.3f] t\n", double(float(4294967.295)));
    EXPECT_NE(qmReadText(path).find(want), std::string::npos);
}

TEST(Trace, ErrmsgWritesARecordAndReturnsOk) {
    std::string path = qmTestPath("trace_errmsg.log");
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    int answer = 0;
    std::string shown = qmShownErrors([&] { answer = errmsg("device %d failed", 3); });
    EXPECT_EQ(answer, 1);  // OK
    fxCloseTraces();
    EXPECT_EQ(shown, "Error: device 3 failed\n");
    EXPECT_NE(qmReadText(path).find("#ERROR: "), std::string::npos);
    EXPECT_NE(qmReadText(path).find("device 3 failed"), std::string::npos);
    EXPECT_EQ(qmShownErrors([] { errmsg("closed log\n"); }), "Error: closed log\n");
}

TEST(Trace, RecordsFromManyThreadsNeverInterleave) {
    std::string path = qmTestPath("trace_threads.log");
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    std::thread a([] { for (int i = 0; i < 500; i++) trc("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa %d\n", i); });
    std::thread b([] { for (int i = 0; i < 500; i++) err("bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb %d\n", i); });
    a.join();
    b.join();
    fxCloseTraces();
    std::string text = qmReadText(path);
    size_t lines = 0, pos = 0;
    while ((pos = text.find('\n', pos)) != std::string::npos) {
        size_t start = text.rfind('\n', pos - 1);
        std::string line = text.substr(start + 1, pos - start - 1);
        if (line.find("aaaa") != std::string::npos || line.find("bbbb") != std::string::npos) {
            EXPECT_TRUE(line.find("aaaa") == std::string::npos || line.find("bbbb") == std::string::npos);
            lines++;
        }
        pos++;
    }
    EXPECT_EQ(lines, 1000u);
}
