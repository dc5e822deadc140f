// Idle time on Wayland: the compositor says when its seat has had no input for a given time and
// when input resumes, through ext_idle_notifier_v1 where it has it, else org_kde_kwin_idle. The
// saver waits on the connection for either; nothing is polled.
//
// Threads: the window thread only, the one that dispatches the connection.
#pragma once

#include <atomic>
#include <cstdint>

class FXWaylandDisplay;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle_timeout;

class QmWaylandIdle {
public:
    int idledCount = 0;    // times the seat went idle since Start
    int resumedCount = 0;  // times input came back after that
    bool idle = false;     // idle now

    QmWaylandIdle() = default;
    QmWaylandIdle(const QmWaylandIdle&) = delete;
    QmWaylandIdle& operator=(const QmWaylandIdle&) = delete;
    ~QmWaylandIdle();

    // Asks the compositor to report timeoutMs without input on the seat, and the resume after.
    // False, with a trace line, when it has neither idle protocol or no seat.
    bool Start(FXWaylandDisplay* wl, uint32_t timeoutMs);
    void Stop();
    // The protocol in use ("ext_idle_notifier_v1", "org_kde_kwin_idle"), or "" before Start.
    const char* Protocol() const;

    // Dispatches the connection until the seat is idle (wantIdle) or active again, for at most
    // timeoutMs (-1: no limit): 1 when reached, 0 when the time passed or stop was set (set it,
    // then FXWaylandDisplay::Wake, from a signal handler or another thread), -1 when the
    // connection is lost.
    int Wait(bool wantIdle, int timeoutMs, const std::atomic<bool>* stop = nullptr);

    // Listener entry points.
    void OnIdled();
    void OnResumed();

private:
    FXWaylandDisplay* wl_ = nullptr;
    ext_idle_notification_v1* notification_ = nullptr;
    org_kde_kwin_idle_timeout* kdeTimeout_ = nullptr;
};
