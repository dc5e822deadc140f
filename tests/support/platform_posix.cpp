// Test helpers that differ by platform, POSIX side. Error messages are shown on standard error:
// what fn shows is what it printed there.
#include <gtest/gtest.h>

#include "support/test_support.h"

std::string qmShownErrors(const std::function<void()>& fn) {
    testing::internal::CaptureStderr();
    fn();
    return testing::internal::GetCapturedStderr();
}

const char* const kQmNullDevice = "/dev/null";
const char* const kQmEndlessDevice = "/dev/zero";
