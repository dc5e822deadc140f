// Running the package build's qmpack steps: each job is a program with its arguments whose
// output goes to a log file; up to `parallel` jobs run at once.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct QMCJob {
    std::vector<std::string> args;  // args[0] is the program (a path; no search)
    std::string log;                // standard output and error go here
    pid_t pid = -1;
};

// Runs the jobs in order, at most `parallel` at a time. After a failure no further job starts, the
// running ones are waited for, and *err names the first failing command with the end of its log.
bool qmcRunJobs(std::vector<QMCJob>& jobs, int parallel, std::string* err);
