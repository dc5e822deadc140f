// The generic host's run over two monitors with a scripted platform host: a monitor that goes away
// ends its own window while the other runs on, the last one ends the run with status 0, and a
// lost connection to the window system ends every window with status 1.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "saver/host.h"
#include "saver/scrnsave.h"

namespace {

// Two monitors; the events are the test's script, and the run ends when they run out.
class ScriptedHost final : public PHost {
public:
    std::deque<QmMsg> script;
    std::vector<void*> live;
    bool lost = false;

    bool Open() override { return true; }
    void Close() override {}
    bool DisplayLost() override { return lost; }
    bool IsWindow(void* w) override { return Live(w); }
    bool ClientSize(void*, int*, int*) override { return false; }
    std::vector<QmRect> Monitors() override {
        QmRect a, b;
        a.width = 800, a.height = 600;
        b.x = 800, b.width = 640, b.height = 480;
        return {a, b};
    }
    void* MakeWindow(QmStyle, void*, const QmRect& area) override {
        void* w = reinterpret_cast<void*>(uintptr_t(area.x + 1));
        live.push_back(w);
        return w;
    }
    void ShowWindow(void*) override {}
    void DestroyWindow(void* w) override {
        for (size_t i = 0; i < live.size(); i++)
            if (live[i] == w) live.erase(live.begin() + long(i));
    }
    void HideCursor(void*) override {}
    bool GetCursorPos(QmPoint*) override { return true; }
    int NextEvent(QmMsg* m, int) override {
        if (script.empty()) return -1;  // a script that runs out is a failed window system
        *m = script.front();
        script.pop_front();
        return 1;
    }
    bool TakePhotograph(FXScrShot*, void*) override { return false; }

    bool Live(void* w) const {
        for (void* l : live)
            if (l == w) return true;
        return false;
    }
};

// A saver that counts its windows' creations and destructions and leaves the rest to the host.
class CountingSaver final : public PSaverProcs {
public:
    int created = 0, destroyed = 0;
    intptr_t ScreenSaverProc(QmScreenSaver& host, void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) override {
        if (msg == kWmCreate) created++;
        if (msg == kWmDestroy) destroyed++;
        return host.DefScreenSaverProc(hwnd, msg, wParam, lParam);
    }
    int ScreenSaverConfigureDialog(void*, unsigned, uintptr_t, intptr_t) override { return 0; }
    int RegisterDialogClasses(void*) override { return 1; }
};

QmMsg localEnd(void* hwnd, QmEnd why) {
    QmMsg m;
    m.hwnd = hwnd;
    m.message = kWmHostEnd;
    m.lParam = why;
    return m;
}

void* const kLeft = reinterpret_cast<void*>(uintptr_t(1));
void* const kRight = reinterpret_cast<void*>(uintptr_t(801));

}  // namespace

TEST(OneWindowEnd, AMonitorThatGoesAwayEndsItsWindowAloneAndTheLastEndsTheRun) {
    ScriptedHost platform;
    CountingSaver saver;
    QmScreenSaver host(platform, saver);
    QmMsg paint;
    paint.hwnd = kLeft, paint.message = kWmPaint;
    platform.script = {localEnd(kRight, kEndMonitorGone), paint, localEnd(kLeft, kEndMonitorGone)};
    EXPECT_EQ(host.Run(QmHostLaunch()), 0);
    EXPECT_EQ(saver.created, 2);
    EXPECT_EQ(saver.destroyed, 2);
    // The run went on after the right one: the paint message was still read, and the left
    // window's own end finished the script.
    EXPECT_TRUE(platform.script.empty());
    EXPECT_TRUE(platform.live.empty());
    EXPECT_EQ(host.EndReason(), kEndMonitorGone);
}

TEST(OneWindowEnd, OtherEndsStillEndEveryWindowAndALostConnectionGivesStatusOne) {
    {
        ScriptedHost platform;
        CountingSaver saver;
        QmScreenSaver host(platform, saver);
        platform.script = {localEnd(kRight, kEndSignal), localEnd(kLeft, kEndSignal)};
        EXPECT_EQ(host.Run(QmHostLaunch()), 0);
        EXPECT_EQ(saver.destroyed, 2);
        EXPECT_EQ(platform.script.size(), 1u) << "the signal ended one window only";
    }
    {
        ScriptedHost platform;
        CountingSaver saver;
        QmScreenSaver host(platform, saver);
        platform.script = {localEnd(kLeft, kEndDisplayLost)};
        EXPECT_EQ(host.Run(QmHostLaunch()), 1) << "a lost connection reported as success";
        EXPECT_EQ(saver.destroyed, 2);
        EXPECT_TRUE(platform.live.empty());
    }
}

namespace {

// A saver whose scene cannot start on the windows listed (as when OpenGL cannot draw there).
class RefusingSaver final : public PSaverProcs {
public:
    std::vector<void*> refuse;
    int created = 0;
    intptr_t ScreenSaverProc(QmScreenSaver& host, void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) override {
        if (msg == kWmCreate) {
            for (void* w : refuse)
                if (w == hwnd) return -1;
            created++;
        }
        return host.DefScreenSaverProc(hwnd, msg, wParam, lParam);
    }
    int ScreenSaverConfigureDialog(void*, unsigned, uintptr_t, intptr_t) override { return 0; }
    int RegisterDialogClasses(void*) override { return 1; }
};

}  // namespace

TEST(OneWindowEnd, AMonitorWhoseSceneCannotStartLeavesTheOthersRunningAndNoneLeftIsAFailure) {
    {
        ScriptedHost platform;
        RefusingSaver saver;
        saver.refuse = {kLeft};
        QmScreenSaver host(platform, saver);
        QmMsg paint;
        paint.hwnd = kRight, paint.message = kWmPaint;
        platform.script = {paint, localEnd(kRight, kEndSignal)};
        EXPECT_EQ(host.Run(QmHostLaunch()), 0);
        EXPECT_EQ(saver.created, 1);
        EXPECT_TRUE(platform.script.empty()) << "the right monitor's window did not run on";
        EXPECT_TRUE(platform.live.empty());
    }
    {
        ScriptedHost platform;
        RefusingSaver saver;
        saver.refuse = {kLeft, kRight};
        QmScreenSaver host(platform, saver);
        EXPECT_EQ(host.Run(QmHostLaunch()), 1) << "no scene could start, yet the run reported success";
        EXPECT_TRUE(platform.live.empty());
    }
}
