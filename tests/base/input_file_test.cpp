// Files read by name, on every platform: a regular file opens with its size and identity, a
// missing file and a folder are refused with a reason in words, a device is refused, and whole
// reads keep to their limit.
#include "base/input_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "base/paths.h"
#include "support/test_support.h"

TEST(InputFile, ARegularFileOpensWithItsSizeAndIdentity) {
    std::string path = qmTestPath("input.txt");
    qmWriteText(path, "twelve bytes");
    FXInputInfo info;
    int fd = fxOpenInput(path.c_str(), &info);
    ASSERT_GE(fd, 0) << info.Why();
    EXPECT_EQ(info.size, 12);
    EXPECT_FALSE(info.pipe);
    EXPECT_TRUE(info.id == fxFileIdOf(path.c_str()));
    EXPECT_EQ(fxInputSize(fd), 12);
    char buf[6] = {};
    EXPECT_TRUE(fxReadAt(fd, 7, buf, 5));
    EXPECT_EQ(std::string(buf, 5), "bytes");
    EXPECT_FALSE(fxReadAt(fd, 8, buf, 5));  // past the end
    fxCloseInput(fd);
    EXPECT_TRUE(info.Why().empty());
}

TEST(InputFile, WhatIsNoRegularFileIsRefusedInWords) {
    FXInputInfo info;
    EXPECT_LT(fxOpenInput(qmTestPath("no-such-file").c_str(), &info), 0);
    EXPECT_EQ(info.error, ENOENT);
    EXPECT_EQ(info.Why(), "No such file or directory");
    std::string folder = qmFreshDir("input_folder");
    EXPECT_LT(fxOpenInput(folder.c_str(), &info), 0);
    EXPECT_EQ(info.Why(), "is a directory");
    EXPECT_LT(fxOpenInput(kQmNullDevice, &info), 0);
    EXPECT_EQ(info.Why(), "is a device, not a regular file");
    EXPECT_LT(fxOpenInput(nullptr, &info), 0);
    EXPECT_LT(fxOpenInput("", &info), 0);
    // The stream form says so in the trace log too.
    std::string log = qmTraced([&] { EXPECT_EQ(fxOpenInputFile(folder.c_str()), nullptr); });
    EXPECT_NE(log.find(folder + " refused: is a directory"), std::string::npos) << log;
    EXPECT_FALSE(fxFileIdOf(qmTestPath("no-such-file").c_str()).valid);
}

TEST(InputFile, WholeReadsKeepToTheirLimit) {
    std::string path = qmTestPath("input_limit.txt");
    qmWriteText(path, std::string(1024, 'x'));
    std::string text;
    FXInputInfo info;
    ASSERT_TRUE(fxReadInput(path.c_str(), 1024, &text, &info)) << info.Why();
    EXPECT_EQ(text.size(), 1024u);
    EXPECT_FALSE(fxReadInput(path.c_str(), 1023, &text, &info));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(info.Why(), "is too large (1 kB; at most 1023 bytes)");
    EXPECT_FALSE(fxReadInput(kQmEndlessDevice, 1 << 20, &text, &info));
    EXPECT_EQ(info.Why(), "is a device, not a regular file");
    EXPECT_EQ(fxByteCount(1 << 20), "1 MB");
    EXPECT_EQ(fxByteCount(3 << 10), "3 kB");
    EXPECT_EQ(fxByteCount(1), "1 byte");
    EXPECT_EQ(fxByteCount(1025), "1025 bytes");
}
