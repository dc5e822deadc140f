// The package build's step runner: every step runs with its output in its log; a failing step is
// reported with its command line and what it printed, and no step starts after it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "jobs.h"
#include "support/test_support.h"

namespace {

QMCJob localShell(const std::string& dir, const std::string& name, const std::string& script) {
    QMCJob j;
    j.args = {"/bin/sh", "-c", script};
    j.log = dir + "/" + name + ".log";
    return j;
}

bool localExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

TEST(ContentJobs, RunAllStepsAndKeepTheirOutput) {
    std::string dir = qmFreshDir("jobs_ok"), err;
    std::vector<QMCJob> jobs;
    for (int i = 0; i < 5; i++)
        jobs.push_back(localShell(dir, "step" + std::to_string(i),
                                  "echo step " + std::to_string(i) + "; touch '" + dir + "/done" + std::to_string(i) + "'"));
    ASSERT_TRUE(qmcRunJobs(jobs, 2, &err)) << err;
    for (int i = 0; i < 5; i++) {
        EXPECT_TRUE(localExists(dir + "/done" + std::to_string(i)));
        EXPECT_EQ(qmReadText(dir + "/step" + std::to_string(i) + ".log"), "step " + std::to_string(i) + "\n");
    }
}

TEST(ContentJobs, AFailingStepIsReportedAndStopsTheRest) {
    struct Case {
        const char* name;
        std::vector<std::string> first;  // the failing step's arguments
        const char* said;                // expected in the report
    };
    const Case cases[] = {
        {"exit status", {"/bin/sh", "-c", "echo the model is damaged >&2; exit 3"}, "the model is damaged"},
        {"missing program", {"/nonexistent/qmpack", "build"}, "/nonexistent/qmpack"},
        {"killed", {"/bin/sh", "-c", "kill -9 $$"}, "kill -9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = qmFreshDir("jobs_fail"), err;
        std::vector<QMCJob> jobs;
        QMCJob bad;
        bad.args = c.first;
        bad.log = dir + "/bad.log";
        jobs.push_back(bad);
        jobs.push_back(localShell(dir, "later", "touch '" + dir + "/later'"));
        EXPECT_FALSE(qmcRunJobs(jobs, 1, &err));
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        EXPECT_FALSE(localExists(dir + "/later")) << "no step starts after a failure";
    }
}
