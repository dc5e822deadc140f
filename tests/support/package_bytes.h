// Record and package bytes built by hand, so loaders meet exact layouts and damaged input that
// the writers never produce. Little-endian, through the engine's own byte primitives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/binio.h"

struct QmBytes {
    std::vector<unsigned char> bytes;

    QmBytes& Int(int32_t v) {
        unsigned char x[4];
        fxPutI32(x, v);
        bytes.insert(bytes.end(), x, x + 4);
        return *this;
    }
    QmBytes& Float(float v) {
        unsigned char x[4];
        fxPutF32(x, v);
        bytes.insert(bytes.end(), x, x + 4);
        return *this;
    }
    QmBytes& Byte(unsigned char v) {
        bytes.push_back(v);
        return *this;
    }
    QmBytes& Text(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    QmBytes& Raw(const std::vector<unsigned char>& r) {
        bytes.insert(bytes.end(), r.begin(), r.end());
        return *this;
    }
    // A length-prefixed string (a short string, a package signature).
    QmBytes& Str(const std::string& s) { return Int(int32_t(s.size())).Text(s); }
    QmBytes& Sig(const std::string& s) { return Str(s); }
    // An int table: count, then the values.
    QmBytes& Table(const std::vector<int32_t>& values) {
        Int(int32_t(values.size()));
        for (int32_t v : values) Int(v);
        return *this;
    }
};

// A plain package from its four tables and data area, written as they are (damage included).
inline std::vector<unsigned char> qmPackage(const std::vector<int32_t>& ids, const std::vector<int32_t>& offsets,
                                            const std::vector<int32_t>& sizes, const std::vector<int32_t>& types,
                                            const std::string& data, const std::string& sig = "pck01") {
    return QmBytes().Sig(sig).Table(ids).Table(offsets).Table(sizes).Table(types).Text(data).bytes;
}

struct QmEntry {
    int id;
    int type;  // -1 for engine records
    std::vector<unsigned char> bytes;
};

// A well-formed plain package holding the entries in order, packed without gaps.
inline std::vector<unsigned char> qmPackageFile(const std::vector<QmEntry>& entries) {
    std::vector<int32_t> ids, offsets, sizes, types;
    int32_t offset = 0;
    QmBytes data;
    for (const QmEntry& e : entries) {
        ids.push_back(e.id);
        offsets.push_back(offset);
        sizes.push_back(int32_t(e.bytes.size()));
        types.push_back(e.type);
        offset += int32_t(e.bytes.size());
        data.Raw(e.bytes);
    }
    return QmBytes().Sig("pck01").Table(ids).Table(offsets).Table(sizes).Table(types).Raw(data.bytes).bytes;
}
