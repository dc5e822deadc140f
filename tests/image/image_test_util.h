// Helpers of the picture tests: pixels by bytes, hand-built package bytes, trace-log messages,
// and a fixture that binds the real DevIL library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/binio.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "support/package_bytes.h"
#include "support/test_support.h"

// Pixel bytes in memory order packed as r | g << 8 | b << 16 | a << 24.
inline uint32_t qmiRgba(unsigned r, unsigned g, unsigned b, unsigned a) { return r | (g << 8) | (b << 16) | (a << 24); }

inline uint32_t qmiPixel(const FXCanvas& c, int x, int y) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(c.pixmap.data + size_t(y) * c.pixmap.bufWidth + x);
    return qmiRgba(p[0], p[1], p[2], p[3]);
}

inline void qmiSetPixel(FXCanvas* c, int x, int y, uint32_t v) {
    unsigned char* p = c->pixmap.PixelBytes(x, y);
    for (int k = 0; k < 4; k++) p[k] = (v >> (8 * k)) & 0xFF;
}

// A w x h picture whose pixels come from f(x, y); the padding is filled with 0xEEEEEEEE.
template <typename F>
void qmiFill(FXCanvas* c, int w, int h, F f) {
    c->pixmap.Realloc(w, h);
    c->pixmap.Clear(0xEEEEEEEEu);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) qmiSetPixel(c, x, y, f(x, y));
}

using QmiEntry = QmEntry;
inline std::vector<unsigned char> qmiPackage(const std::vector<QmEntry>& entries) { return qmPackageFile(entries); }

// The messages of a trace log, prefixes removed; error records lead with "E:".
inline std::vector<std::string> qmiTraceMessages(const std::string& path) {
    std::vector<std::string> out;
    std::string text = qmReadText(path);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        size_t mark = line.find("] ");
        if (mark == std::string::npos) continue;
        bool error = line.compare(0, 8, "#ERROR: ") == 0;
        out.push_back((error ? "E:" : "") + line.substr(mark + 2) + "\n");
    }
    return out;
}

// Binds the real DevIL before each test (a test may have unbound it or changed its names).
class DevilTest : public testing::Test {
protected:
    void SetUp() override {
        fxSetDevilLibraryNames(nullptr, nullptr);
        ASSERT_TRUE(fxLoadDevil());
    }
    void TearDown() override { fxSetDevilLibraryNames(nullptr, nullptr); }
};
