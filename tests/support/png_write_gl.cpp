// PNG encoding with stored (uncompressed) deflate blocks: signature, IHDR, one IDAT, IEND.
#include "support/png_write_gl.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

uint32_t localCrc(const unsigned char* p, size_t n, uint32_t crc = 0xFFFFFFFFu) {
    for (size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

void localPut32(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v >> 24));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

void localChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& body) {
    localPut32(out, uint32_t(body.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    localPut32(out, localCrc(out.data() + start, out.size() - start) ^ 0xFFFFFFFFu);
}

}  // namespace

bool qmWritePngRGBA(const std::string& path, int w, int h, const unsigned char* rgba, int stride,
                    bool bottomUp) {
    if (w <= 0 || h <= 0 || !rgba) return false;
    std::vector<unsigned char> raw;  // filter byte 0, then the row
    raw.reserve(size_t(h) * (size_t(w) * 4 + 1));
    for (int y = 0; y < h; y++) {
        const unsigned char* row = rgba + size_t(bottomUp ? h - 1 - y : y) * size_t(stride);
        raw.push_back(0);
        raw.insert(raw.end(), row, row + size_t(w) * 4);
    }
    std::vector<unsigned char> z = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521u;
        b = (b + a) % 65521u;
    }
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<unsigned char>(n));
        z.push_back(static_cast<unsigned char>(n >> 8));
        z.push_back(static_cast<unsigned char>(~n));
        z.push_back(static_cast<unsigned char>(~n >> 8));
        z.insert(z.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
        pos += n;
        if (last) break;
    }
    localPut32(z, (b << 16) | a);

    std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> ihdr;
    localPut32(ihdr, uint32_t(w));
    localPut32(ihdr, uint32_t(h));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
    localChunk(out, "IHDR", ihdr);
    localChunk(out, "IDAT", z);
    localChunk(out, "IEND", {});
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    return fclose(f) == 0 && ok;
}
