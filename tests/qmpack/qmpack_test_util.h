// Helpers of the qmpack tests: running the built program, scratch folders of sources (pictures,
// material libraries, engine model files) and reading a built package back through the engine.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/package.h"
#include "base/paths.h"
#include "geometry/geometry_test_util.h"
#include "geometry/model.h"
#include "support/png_write_gl.h"
#include "support/recording_env.h"
#include "support/test_support.h"

struct QmpRun {
    int rc;
    std::string out, err;
};

inline std::string qmpQuote(const std::string& s) { return "'" + s + "'"; }

// Runs "qmpack ARGS" through the shell (ARGS are shell words) with standard output and error
// captured; prefix goes before the program (e.g. "ulimit -v 300000;").
inline QmpRun qmpRun(const std::string& args, const std::string& prefix = "") {
    std::string out = qmTestPath("qmpack.stdout"), err = qmTestPath("qmpack.stderr");
    std::string cmd = prefix + " '" + QMPACK_PATH + "' " + args + " >'" + out + "' 2>'" + err + "'";
    int status = std::system(cmd.c_str());
    QmpRun r;
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = qmReadText(out);
    r.err = qmReadText(err);
    return r;
}

inline bool qmpHas(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A w x h RGBA picture whose pixel (x, y) is (x * 40, y * 60, 100, 255 - x) in PNG form.
inline void qmpWritePng(const std::string& path, int w = 4, int h = 3) {
    std::vector<unsigned char> px;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            px.insert(px.end(), {(unsigned char)(x * 40), (unsigned char)(y * 60), 100, (unsigned char)(255 - x)});
    qmWritePngRGBA(path, w, h, px.data(), w * 4, false);
}

// The first bytes of a JPEG picture up to its frame header (w x h, three components): enough
// for anything that reads headers; not decodable.
inline std::vector<unsigned char> qmpJpegHead(int w, int h) {
    std::vector<unsigned char> b = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    b.insert(b.end(), {0xFF, 0xC0, 0, 17, 8, (unsigned char)(h >> 8), (unsigned char)h, (unsigned char)(w >> 8),
                       (unsigned char)w, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1, 0xFF, 0xD9});
    return b;
}

// An engine model file: one quad mesh per material name, the library named libName.
inline void qmpWriteModel(const std::string& path, const std::string& name, const std::string& libName,
                          const std::vector<std::string>& materials) {
    FXModel m;
    m.name.Set(name.c_str());
    m.matlibName.Set(libName.c_str());
    for (size_t i = 0; i < materials.size(); i++) {
        FXMesh* x = new FXMesh;
        qmQuad(x, 0.1f * float(i));
        x->materialName.Set(materials[i].c_str());
        m.meshes.Push(x);
    }
    ASSERT_TRUE(m.Save(path.c_str()));
}

// A folder for one test's sources.
inline std::string qmpDir(const std::string& name) {
    std::string dir = qmTestPath(name);
    mkdir(dir.c_str(), 0755);
    return dir;
}

// An environment that reads material libraries from the package (the run-time path).
class QmpLoadEnv : public RecordingEnv {
public:
    FXMatlib* LoadMatlib(const char* f) override { return PEnv::LoadMatlib(f); }
    FXMatlib* LoadMatlibC(FXPackage* p, const char* n) override { return PEnv::LoadMatlibC(p, n); }
    FXMatlib* LoadMatlibCN(FXPackage* p, int id) override { return PEnv::LoadMatlibCN(p, id); }
    void ReleaseMatlib(FXMatlib* lib) override { PEnv::ReleaseMatlib(lib); }
    FXMaterial* GetDefaultMaterial() override { return PEnv::GetDefaultMaterial(); }
    FXMatlib* GetDefaultMatlib() override { return PEnv::GetDefaultMatlib(); }
};

// Entry bytes of a loaded package.
inline std::vector<unsigned char> qmpEntry(FXPackage* p, int id) {
    FXPackageData* d = p->GetDataPtr(id);
    return d ? std::vector<unsigned char>(d->start, d->start + d->size) : std::vector<unsigned char>();
}

// Names of the files in a folder that a failed command may have left ("." and ".." excepted).
std::vector<std::string> qmpFolderFiles(const std::string& dir);
