// What the Wayland build adds to the saver's hosts (host_wayland.cpp, idle_start_wayland.cpp):
// the Wayland host, the question whether a compositor answers, and the idle start. Only a build
// with the Wayland libraries has them; host_choice_x11.cpp asks for them there.
#pragma once

#include <memory>

#include "saver/host.h"

// The host of full-screen runs on a Wayland compositor: a surface per output, each photographed
// before any is shown.
std::unique_ptr<PHost> qmCreateWaylandHost();
// Whether $WAYLAND_DISPLAY is set and a compositor accepts a connection there.
bool qmWaylandCompositorAnswers();
// qmIdleMain on Wayland.
int qmWaylandIdleMain(double minutes, int (*runSaver)(void* user, bool* bySignal), void* user);
