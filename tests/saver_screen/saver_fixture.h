// The saver host run inside the test program: its real window on the test display, real input
// sent through the XTest extension on a second connection, the controllable clock, and the
// message loop pumped one message at a time by the test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <X11/Xlib.h>

#include "saver/host.h"
#include "saver/main.h"
#include "saver/scrnsave.h"
#include "support/test_support.h"
#include "support/x11_test.h"

class SaverHostTest : public ::testing::Test {
protected:
    Display* xt = nullptr;  // the test's own connection, for XTest input
    std::string data;       // the data folder of the run (empty: no package)
    std::unique_ptr<PHost> platform;
    std::unique_ptr<QmSaver> saver;
    std::unique_ptr<QmScreenSaver> host;

    void SetUp() override;
    void TearDown() override;
    // Creates the saver window of style as the host does (a child of parent, or a window of the
    // screen's size), shows it, and stops the render loop so the clock moves only when the test
    // moves it.
    void* Launch(QmStyle style, void* parent = nullptr);
    // Dispatches messages until one of kind msg was handled (false when none came within 5 s),
    // then everything that was posted meanwhile.
    bool Pump(unsigned msg);
    void Key(const char* keysymName, bool down);
    void MoveBy(int dx, int dy);
    void MoveTo(int x, int y);
    void Click(int button);

private:
    QmScopedEnv* env_[4] = {};
};
