// Running jobs in parallel with their output in log files (see jobs.h).
#include "jobs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

extern char** environ;

namespace {

std::string localCommandLine(const QMCJob& j) {
    std::string s;
    for (const std::string& a : j.args) s += (s.empty() ? "" : " ") + a;
    return s;
}

std::string localTail(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "";
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
    fclose(f);
    if (text.size() > 2000) text = "..." + text.substr(text.size() - 2000);
    return text;
}

bool localStart(QMCJob* j, std::string* err) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, j->log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    std::vector<char*> argv;
    for (std::string& a : j->args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int rc = posix_spawn(&j->pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
        *err = "cannot run " + j->args[0] + " (" + strerror(rc) + ")";
        return false;
    }
    return true;
}

}  // namespace

bool qmcRunJobs(std::vector<QMCJob>& jobs, int parallel, std::string* err) {
    std::map<pid_t, QMCJob*> running;
    size_t next = 0;
    bool failed = false;
    while ((next < jobs.size() && !failed) || !running.empty()) {
        while (!failed && next < jobs.size() && int(running.size()) < parallel) {
            QMCJob* j = &jobs[next++];
            if (!localStart(j, err)) {
                failed = true;
                break;
            }
            running[j->pid] = j;
        }
        if (running.empty()) break;
        int status = 0;
        pid_t pid = waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            *err = std::string("waiting for qmpack failed (") + strerror(errno) + ")";
            return false;
        }
        auto it = running.find(pid);
        if (it == running.end()) continue;
        QMCJob* j = it->second;
        running.erase(it);
        if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0) && !failed) {
            failed = true;
            *err = "this step failed:\n  " + localCommandLine(*j) + "\n" + localTail(j->log);
        }
    }
    return !failed;
}

