// Idle notifications: ext_idle_notifier_v1's notification, else org_kde_kwin_idle's timeout,
// both reporting "idled" and "resumed" for the seat.
#include <time.h>

#include <wayland-client.h>

#include "base/trace.h"
#include "base/wayland_display.h"
#include "ext-idle-notify-v1-client.h"
#include "kde-idle-client.h"
#include "saver/wayland_idle.h"

namespace {

QmWaylandIdle* localIdle(void* data) { return static_cast<QmWaylandIdle*>(data); }

void localExtIdled(void* data, ext_idle_notification_v1*) { localIdle(data)->OnIdled(); }
void localExtResumed(void* data, ext_idle_notification_v1*) { localIdle(data)->OnResumed(); }
const ext_idle_notification_v1_listener localExtListener = {localExtIdled, localExtResumed};

void localKdeIdle(void* data, org_kde_kwin_idle_timeout*) { localIdle(data)->OnIdled(); }
void localKdeResumed(void* data, org_kde_kwin_idle_timeout*) { localIdle(data)->OnResumed(); }
const org_kde_kwin_idle_timeout_listener localKdeListener = {localKdeIdle, localKdeResumed};

int64_t localNowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

QmWaylandIdle::~QmWaylandIdle() { Stop(); }

bool QmWaylandIdle::Start(FXWaylandDisplay* wl, uint32_t timeoutMs) {
    Stop();
    if (!wl || !wl->display || !wl->seat) {
        err("wayland: no seat to watch for idle time\n");
        return false;
    }
    wl_ = wl;
    if (wl->idleNotifier) {
        notification_ = ext_idle_notifier_v1_get_idle_notification(wl->idleNotifier, timeoutMs, wl->seat);
        ext_idle_notification_v1_add_listener(notification_, &localExtListener, this);
    } else if (wl->kdeIdle) {
        kdeTimeout_ = org_kde_kwin_idle_get_idle_timeout(wl->kdeIdle, wl->seat, timeoutMs);
        org_kde_kwin_idle_timeout_add_listener(kdeTimeout_, &localKdeListener, this);
    } else {
        err("wayland: the compositor reports no idle time (neither ext_idle_notifier_v1 nor org_kde_kwin_idle)\n");
        wl_ = nullptr;
        return false;
    }
    trc("wayland: waiting for %u ms of idle time through %s\n", timeoutMs, Protocol());
    wl_display_flush(wl->display);
    return true;
}

void QmWaylandIdle::Stop() {
    if (notification_) ext_idle_notification_v1_destroy(notification_);
    if (kdeTimeout_) org_kde_kwin_idle_timeout_release(kdeTimeout_);
    notification_ = nullptr;
    kdeTimeout_ = nullptr;
    wl_ = nullptr;
    idle = false;
    idledCount = resumedCount = 0;
}

const char* QmWaylandIdle::Protocol() const {
    if (notification_) return "ext_idle_notifier_v1";
    if (kdeTimeout_) return "org_kde_kwin_idle";
    return "";
}

int QmWaylandIdle::Wait(bool wantIdle, int timeoutMs, const std::atomic<bool>* stop) {
    if (!wl_) return -1;
    const int64_t end = localNowMs() + timeoutMs;
    while (idle != wantIdle) {
        int left = -1;
        if (timeoutMs >= 0) {
            int64_t remaining = end - localNowMs();
            if (remaining <= 0) return 0;
            left = int(remaining);
        }
        if (stop && stop->load()) return 0;
        if (wl_->Dispatch(left) < 0) return -1;
    }
    return 1;
}

void QmWaylandIdle::OnIdled() {
    idle = true;
    idledCount++;
}

void QmWaylandIdle::OnResumed() {
    idle = false;
    resumedCount++;
}
