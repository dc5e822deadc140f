// Helpers shared by the test programs: scratch files under the build tree and byte access.
#pragma once

#include <functional>
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
// A text file as the program reads text: in text mode, so the platform's line ends read as "\n".
std::string qmReadText(const std::string& path);

// Runs fn and returns the error messages it showed a person, each as "Error: <text>" and a line
// end (the message boxes of Windows are answered with OK).
std::string qmShownErrors(const std::function<void()>& fn);

// Devices that are no regular file: one that reads as empty, one that never ends (where the
// platform has one by name).
extern const char* const kQmNullDevice;
extern const char* const kQmEndlessDevice;

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
