// Damaged animation records, built byte by byte: counts beyond the entry, names and durations of
// different lengths, damaged timing graphs, meshes, corner streams and vector maps, records whose
// frames would need more memory than any real animation, and every cut of a valid record. Each is
// refused (the animation empty) or, for a damaged timing graph alone, loaded without the graph.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "anim/anim.h"
#include "base/package.h"
#include "geometry/mesh.h"
#include "support/package_bytes.h"
#include "support/test_support.h"

namespace {

// The parts of a small "xa03" record: two frames of one triangle.
struct Compact {
    std::vector<std::string> names{"a", "b"};
    int namesCount = -1;  // stored count; -1: the number of names
    int firstNameLength = -1;
    std::vector<int32_t> durations{100, 200};
    int durationsCount = -1;
    std::vector<int32_t> keyX{0, 1}, keyY{10, 20};
    int keyXCount = -1;
    int meshes = 1;
    int vertices = 3, corners = 3;
    std::vector<unsigned char> stream{0, 0, 0};  // corners (0,0,0), (1,1,1), (2,2,2)
    int positionFloats = 9;
    int maps = 2;
    int positionCount = -1;  // stored count; -1: positionFloats

    // The common head (a v02 record on its own).
    QmBytes Head() const {
        QmBytes b;
        b.Int(namesCount < 0 ? int(names.size()) : namesCount);
        for (size_t i = 0; i < names.size(); i++) {
            if (i == 0 && firstNameLength >= 0)
                b.Int(firstNameLength).Text(names[i]);
            else
                b.Str(names[i]);
        }
        b.Int(durationsCount < 0 ? int(durations.size()) : durationsCount);
        for (int32_t d : durations) b.Int(d);
        b.Int(3).Int(1000).Int(keyXCount < 0 ? int(keyX.size()) : keyXCount);
        for (int32_t x : keyX) b.Int(x);
        b.Table(keyY).Byte(1).Byte(0).Float(0.3f).Int(16);
        b.Float(1.5f).Byte(1).Byte(0).Byte(1).Byte(0);  // spare value, playing, backwards, loop, pingPong
        return b;
    }

    std::vector<unsigned char> Bytes() const {
        QmBytes b;
        b.Str("xa03").Raw(Head().bytes);
        b.Int(meshes).Str("7");
        const int stored = meshes > 0 && meshes < 4 ? meshes : 1;
        for (int j = 0; j < stored; j++) b.Str("skin").Float(0).Float(0).Int(0).Int(0).Int(vertices).Int(corners);
        for (int j = 0; j < stored; j++) b.Int(int(stream.size())).Raw(stream);
        for (int i = 0; i < maps; i++) {
            b.Int(positionCount < 0 ? positionFloats : positionCount);
            for (int k = 0; k < positionFloats; k++) b.Float(float(i + k));
            b.Int(9);
            for (int k = 0; k < 9; k++) b.Float(k % 3 == 2 ? -1.0f : 0.0f);
            b.Int(6);
            for (int k = 0; k < 6; k++) b.Float(0.5f);
        }
        return b.bytes;
    }
};

int LoadEntry(FXAnim* a, const std::vector<unsigned char>& record, std::string* log = nullptr) {
    FXPackage pkg;
    std::vector<unsigned char> file = qmPackageFile({{3, -1, record}});
    pkg.LoadFromMemory(file.data(), long(file.size()));
    int r = 0;
    std::string trace = qmTraced([&] { r = a->LoadCN(nullptr, &pkg, 3); });
    return log ? (*log = trace, r) : r;
}

}  // namespace

TEST(FXAnimDamage, HandMadeRecords) {
    struct Case {
        const char* name;
        Compact record;
        int result;
        const char* trace;  // expected in the trace log ("" for none)
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, int result, const char* trace, auto change) {
        Compact c;
        change(c);
        cases.push_back({name, c, result, trace});
    };
    add("valid", 1, "", [](Compact&) {});
    add("frame names beyond the entry", 0, "frame names do not fit", [](Compact& c) { c.namesCount = 1 << 20; });
    add("name longer than the entry", 0, "the name of frame 0 runs past",
        [](Compact& c) { c.firstNameLength = 100000; });
    add("durations beyond the entry", 0, "durations do not fit", [](Compact& c) { c.durationsCount = 50000; });
    add("fewer names than durations", 0, "frame names (1) and durations (2) differ",
        [](Compact& c) { c.names = {"a"}; });
    add("negative name count", 0, "frame names (0) and durations (2) differ",
        [](Compact& c) { c.namesCount = -4, c.names = {}; });
    add("graph keys of different lengths", 1, "timing graph refused", [](Compact& c) { c.keyY = {5}; });
    add("graph with a negative key count", 1, "timing graph refused",
        [](Compact& c) { c.keyXCount = -2, c.keyX = {}; });
    add("graph keys beyond the entry", 0, "timing graph runs past", [](Compact& c) { c.keyXCount = 1 << 24; });
    add("mesh count beyond the entry", 0, "meshes do not fit", [](Compact& c) { c.meshes = 1000; });
    add("negative mesh count", 0, "meshes do not fit", [](Compact& c) { c.meshes = -1; });
    add("corner count beyond the entry", 0, "the header of mesh 0 is damaged", [](Compact& c) { c.corners = 1 << 20; });
    add("corner stream naming a missing position", 0, "a corner stream does not fit the vector map of frame 0",
        [](Compact& c) { c.positionFloats = 6; });
    add("corner stream with a damaged control byte", 0, "a corner stream does not fit the vector map of frame 0",
        [](Compact& c) {
            c.stream = {0, 0xC0, 0};
        });
    add("fewer vector maps than frames", 0, "vector map", [](Compact& c) { c.maps = 1; });
    add("vector map count beyond the entry", 0, "the vector map of frame 0 is damaged",
        [](Compact& c) { c.positionCount = 1 << 22; });
    for (const Case& c : cases) {
        FXAnim a;
        std::string log;
        EXPECT_EQ(LoadEntry(&a, c.record.Bytes(), &log), c.result) << c.name << "\n" << log;
        EXPECT_NE(log.find(c.trace), std::string::npos) << c.name << ": " << log;
        if (c.result == 0) {
            EXPECT_EQ(a.GetFrameCount(), 0) << c.name;
            EXPECT_EQ(a.models.Count(), 0) << c.name;
            continue;
        }
        // Loaded: both frames with the triangle, the flags read after the graph.
        ASSERT_EQ(a.GetFrameCount(), 2) << c.name;
        EXPECT_EQ(a.spareValue, 1.5f) << c.name;
        EXPECT_TRUE(a.playing && a.loop && !a.backwards && !a.pingPong) << c.name;
        ASSERT_NE(a.GetModel(1), nullptr);
        EXPECT_EQ(a.GetModel(1)->EnumMeshes(0)->vertexCount, 3) << c.name;
        EXPECT_EQ(a.GetModel(1)->EnumMeshes(0)->vertices[2].pos[0], 7.0f) << c.name;  // frame 1's own map
        EXPECT_EQ(a.graph.GetKeyCount(), std::string(c.trace).empty() ? 2 : 0) << c.name;
    }
}

TEST(FXAnimDamage, FramesBeyondAnyRealAnimationAreRefused) {
    // 40000 frames sharing one corner stream of 200000 corners: a 1 MB record that would ask for
    // terabytes of vertex arrays.
    Compact c;
    c.names.assign(40000, "");
    c.durations.assign(40000, 100);
    c.vertices = c.corners = 200000;
    c.stream.assign(200000, 0);
    c.positionFloats = 0;
    c.maps = 40000;
    FXAnim a;
    std::string log;
    EXPECT_EQ(LoadEntry(&a, c.Bytes(), &log), 0);
    EXPECT_NE(log.find("the frames take too much memory"), std::string::npos) << log;
}

TEST(FXAnimDamage, EveryCutOfAValidRecordIsRefused) {
    for (bool compact : {true, false}) {
        std::vector<unsigned char> full = compact ? Compact().Bytes() : Compact().Head().bytes;
        FXAnim whole;
        ASSERT_EQ(LoadEntry(&whole, full), 1) << compact;
        ASSERT_EQ(whole.GetFrameCount(), 2);
        for (size_t len = 0; len < full.size(); len++) {
            FXAnim a;
            EXPECT_EQ(LoadEntry(&a, std::vector<unsigned char>(full.begin(), full.begin() + long(len))), 0)
                << compact << " cut at " << len;
            EXPECT_EQ(a.GetFrameCount(), 0);
        }
        // The file form too.
        std::string path = qmTestPath("cut.anim");
        for (size_t len : {size_t(3), full.size() / 2, full.size() - 1}) {
            qmWriteFile(path, std::vector<unsigned char>(full.begin(), full.begin() + long(len)));
            FXAnim a;
            qmTraced([&] { EXPECT_EQ(a.Load(nullptr, path.c_str()), 0) << compact << " file cut at " << len; });
        }
    }
}
