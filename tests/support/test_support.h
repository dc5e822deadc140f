// Helpers shared by the test programs: scratch files under the build tree and byte access.
#pragma once

#include <string>
#include <vector>

#include "base/trace.h"

// A path for a scratch file named name under the build's test-output folder (created on demand).
std::string qmTestPath(const std::string& name);
// An empty scratch folder named name (what an earlier run left there is removed first).
std::string qmFreshDir(const std::string& name);
std::vector<unsigned char> qmReadFile(const std::string& path);
void qmWriteFile(const std::string& path, const std::vector<unsigned char>& bytes);
void qmWriteText(const std::string& path, const std::string& text);
std::string qmReadText(const std::string& path);

// Sets (value non-null) or removes an environment variable for one scope.
class QmScopedEnv {
public:
    QmScopedEnv(const char* name, const char* value);
    ~QmScopedEnv();
    QmScopedEnv(const QmScopedEnv&) = delete;
    QmScopedEnv& operator=(const QmScopedEnv&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

// Runs fn with the trace log open in a scratch file and returns everything the log received.
template <typename Fn>
std::string qmTraced(Fn fn) {
    std::string path = qmTestPath("trace.log");
    fxOpenTraces(path.c_str());
    fn();
    fxCloseTraces();
    return qmReadText(path);
}
