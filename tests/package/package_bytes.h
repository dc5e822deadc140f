// Builds package files byte by byte for the package tests, so damaged and unusual layouts can be
// made that the writer never produces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/binio.h"

struct QMPackageBytes {
    std::vector<unsigned char> bytes;

    QMPackageBytes& Int(int32_t v) {
        unsigned char b[4];
        fxPutI32(b, v);
        bytes.insert(bytes.end(), b, b + 4);
        return *this;
    }
    QMPackageBytes& Text(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    QMPackageBytes& Sig(const std::string& s) { return Int(int32_t(s.size())).Text(s); }
    QMPackageBytes& Table(const std::vector<int32_t>& values) {
        Int(int32_t(values.size()));
        for (int32_t v : values) Int(v);
        return *this;
    }
};

// A plain package: signature, the four tables and the data area.
inline std::vector<unsigned char> qmPackage(const std::vector<int32_t>& ids, const std::vector<int32_t>& offsets,
                                            const std::vector<int32_t>& sizes, const std::vector<int32_t>& types,
                                            const std::string& data, const std::string& sig = "pck01") {
    QMPackageBytes b;
    b.Sig(sig).Table(ids).Table(offsets).Table(sizes).Table(types).Text(data);
    return b.bytes;
}
