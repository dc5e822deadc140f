// What the Wayland tests share: the outputs of the headless sway they run in (scripts/with-sway
// runs each test in its own), photographs of an output with grim, and a skip with the reason when
// a test runs outside the rig.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct QmSwayOutput {
    std::string name;
    int width = 0, height = 0, x = 0, y = 0;
    uint32_t rgb = 0;  // its background, 0xRRGGBB
};

// The rig's outputs, from QM_SWAY_OUTPUTS; empty outside the rig.
std::vector<QmSwayOutput> qmSwayOutputs();

// A photograph of one output taken by grim: rgb holds width x height pixels 0xRRGGBB, top row
// first; also saved as PNG at pngPath for a person to look at. False when grim fails.
struct QmGrimShot {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;
    uint32_t At(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
};
bool qmGrim(const std::string& output, const std::string& pngPath, QmGrimShot* shot);

// Each channel of two 0xRRGGBB colours within tolerance.
bool qmNearRGB(uint32_t a, uint32_t b, int tolerance = 8);

// Runs a shell command; its exit status.
int qmShell(const std::string& command);

#define QM_REQUIRE_SWAY()                                                                            \
    do {                                                                                             \
        if (qmSwayOutputs().empty())                                                                 \
            GTEST_SKIP() << "not inside the headless sway rig (scripts/with-sway runs these tests; " \
                            "sway is missing? scripts/setup test installs it)";                      \
    } while (0)
