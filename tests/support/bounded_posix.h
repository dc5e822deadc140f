// Runs a piece of a test in a child process with a deadline and a memory limit, for faults whose
// failure is a hang or an unbounded read: on the code before a fix the child is killed (or dies
// of running out of memory) and the test fails instead of hanging the suite or exhausting the
// machine.
#pragma once

#include <functional>

struct QmBounded {
    bool finished = false;  // the child ended by itself before the deadline
    int status = -1;        // its exit status (-1 when a signal ended it)
};

// Forks, runs fn in the child under an address-space limit of memoryBytes (0: none; none either
// in sanitizer builds) and exits with fn's result; the parent kills the child after seconds.
QmBounded qmRunBounded(double seconds, long long memoryBytes, const std::function<int()>& fn);
