// The rig's outputs read from the environment, and grim's photographs read back (PPM) and saved
// (PNG).
#include "wayland/sway_rig_wayland.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/png_write_gl.h"
#include "support/test_support.h"

std::vector<QmSwayOutput> qmSwayOutputs() {
    std::vector<QmSwayOutput> outs;
    const char* listed = getenv("QM_SWAY_OUTPUTS");
    if (!listed || !getenv("WAYLAND_DISPLAY")) return outs;
    std::istringstream words(listed);
    std::string word;
    while (words >> word) {
        // NAME:WxH+X+Y:RRGGBB
        QmSwayOutput o;
        char name[64] = {0};
        unsigned rgb = 0;
        if (sscanf(word.c_str(), "%63[^:]:%dx%d+%d+%d:%x", name, &o.width, &o.height, &o.x, &o.y, &rgb) != 6) continue;
        o.name = name;
        o.rgb = rgb;
        outs.push_back(o);
    }
    return outs;
}

bool qmGrim(const std::string& output, const std::string& pngPath, QmGrimShot* shot) {
    std::string ppm = pngPath + ".ppm";
    if (qmShell("grim -t ppm -o '" + output + "' '" + ppm + "'") != 0) return false;
    std::vector<unsigned char> bytes = qmReadFile(ppm);
    unlink(ppm.c_str());
    // "P6\n<w> <h>\n255\n" then the pixels.
    int w = 0, h = 0, maxv = 0, used = 0;
    std::string head(bytes.begin(), bytes.begin() + long(std::min<size_t>(bytes.size(), 64)));
    if (sscanf(head.c_str(), "P6 %d %d %d%n", &w, &h, &maxv, &used) != 3 || maxv != 255 || w <= 0 || h <= 0)
        return false;
    size_t start = size_t(used) + 1;
    if (bytes.size() < start + size_t(w) * size_t(h) * 3) return false;
    shot->width = w;
    shot->height = h;
    shot->rgb.assign(size_t(w) * size_t(h), 0);
    std::vector<unsigned char> rgba(size_t(w) * size_t(h) * 4);
    for (size_t i = 0; i < shot->rgb.size(); i++) {
        const unsigned char* p = &bytes[start + i * 3];
        shot->rgb[i] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        rgba[i * 4 + 0] = p[0];
        rgba[i * 4 + 1] = p[1];
        rgba[i * 4 + 2] = p[2];
        rgba[i * 4 + 3] = 255;
    }
    qmWritePngRGBA(pngPath, w, h, rgba.data(), w * 4, false);
    return true;
}

bool qmNearRGB(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8)
        if (abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > tolerance) return false;
    return true;
}

int qmShell(const std::string& command) {
    int status = system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
