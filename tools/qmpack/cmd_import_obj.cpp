// qmpack import-obj IN.obj -o OUT.xm [--unitize] [--reduce TOL]: a Wavefront OBJ model with its
// MTL material library made into an engine model file. The model names its library by a path
// relative to OUT's folder, so model, library and pictures can move together; `build` then
// compiles the library and its pictures into the package.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "image/material.h"
#include "image/matlib.h"
#include "output.h"
#include "progress.h"
#include "qmpack.h"
#include "report.h"
#include "scratch.h"
#include "tool_env.h"

namespace {

const long long kLargeObj = 8LL << 20;

// An engine message without the name of the function that wrote it.
std::string localPlain(const std::string& message) {
    size_t arrow = message.find("-> ");
    return arrow == std::string::npos ? message : message.substr(arrow + 3);
}

struct LocalCounts {
    int meshes = 0, vertices = 0, triangles = 0;
};

LocalCounts localCount(const FXModel& m) {
    LocalCounts c;
    for (int i = 0; i < m.meshes.top; i++)
        if (const FXMesh* mesh = static_cast<const FXMesh*>(m.meshes.items[i])) {
            c.meshes++;
            c.vertices += mesh->vertexCount;
            c.triangles += mesh->indexCount / 3;
        }
    return c;
}

// Warns about pictures of the library that cannot be read now; `build` will need them.
void localCheckPictures(const FXMatlib* lib, const std::string& mtl) {
    if (!lib) return;
    for (int i = 0; i < lib->GetCount(); i++) {
        const FXMaterial* mat = lib->GetMaterial(i);
        if (!mat || mat->textureFile.IsEmpty()) continue;
        std::string picture = qmpackJoin(qmpackDirOf(mtl), mat->textureFile.c_str());
        std::string why;
        if (!qmpackCheckInput(picture, &why))
            qmpackWarn("%s: material '%s' shows %s, which cannot be read (%s); 'build' will need it", mtl.c_str(),
                       mat->name.c_str(), picture.c_str(), why.c_str());
    }
}

}  // namespace

int qmpackImportObj(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("import-obj", argc, argv, {"-o", "--reduce"}, {"--unitize", "--json"})) return QMPACK_USAGE;
    if (args.positional.size() != 1 || !args.Has("-o")) return qmpackUsage("import-obj");
    const std::string in = args.positional[0], out = args.Value("-o");
    float tolerance = 0.0f;
    if (args.Has("--reduce")) {
        std::string text = args.Value("--reduce");
        char* end = nullptr;
        tolerance = strtof(text.c_str(), &end);
        if (text.empty() || *end || !(tolerance > 0.0f && tolerance < 90.0f))
            return qmpackBadValue("import-obj: --reduce takes an angle in degrees above 0 and below 90, not '%s'",
                              text.c_str());
    }
    std::string why;
    long long size = 0;
    if (!qmpackCheckInput(in, &why, &size)) return qmpackFail("%s: cannot read (%s)", in.c_str(), why.c_str());
    QMPackOutput output;
    if (!output.Open(out, {{in, "the OBJ file"}}, false)) return QMPACK_FAILED;
    QMPackScratch scratch;
    if (!scratch.Create()) return QMPACK_FAILED;
    QMPackEnv env;

    // In percent: reading the OBJ is most of the work (to 80), then reducing and writing.
    QMPackProgress progress;
    progress.Start(size > kLargeObj, "importing " + in + " (" + std::to_string(size >> 20) + " MB)", 100);
    struct {
        QMPackProgress* bar;
        std::string what;
    } reading{&progress, "reading " + in};
    progress.Step(0, reading.what);
    FXModel m;
    bool imported = m.ImportObj(
        in.c_str(),
        [](void* user, float done) {
            auto* r = static_cast<decltype(reading)*>(user);
            r->bar->Step(int(done * 80), r->what);
        },
        &reading);
    std::vector<std::string> messages = scratch.TakeEngineErrors();
    if (!imported) {
        progress.Clear();
        std::string reason = messages.empty() ? "not an OBJ model" : localPlain(messages.back());
        for (const std::string& msg : messages)
            if (msg.find("FXObjModel::Load") != std::string::npos || msg.find("ImportObj") != std::string::npos)
                reason = localPlain(msg);
        if (reason.compare(0, in.size(), in) != 0) reason = in + ": " + reason;
        return qmpackFail("%s", reason.c_str());
    }
    std::string mtl;
    if (!m.matlibName.IsEmpty()) {
        mtl = m.matlibName.c_str();
        if (!qmpackCheckInput(mtl, &why)) {
            progress.Clear();
            return qmpackFail("%s: names the material library %s, which cannot be read (%s)", in.c_str(), mtl.c_str(),
                              why.c_str());
        }
        if (!qmpackCheckNotAnInput(out, {{mtl, "its material library"}})) return QMPACK_FAILED;
    }
    for (const std::string& msg : messages) {
        if (msg.find("PEnv::") != std::string::npos) continue;
        std::string text = localPlain(msg);
        qmpackWarn("%s%s", text.compare(0, in.size(), in) == 0 ? "" : (in + ": ").c_str(), text.c_str());
    }
    localCheckPictures(m.matlib, mtl);

    if (m.name.IsEmpty()) {  // named after its file, as listings show it
        std::string base = qmpackBaseOf(in);
        m.name.Set(base.substr(0, base.find_last_of('.')).c_str());
    }
    m.UpdateMeshes();
    if (args.Has("--unitize")) m.Unitize();
    LocalCounts before = localCount(m);
    if (tolerance > 0.0f) {
        progress.Step(80, "reducing");
        for (int i = 0; i < m.meshes.top; i++)
            if (FXMesh* mesh = static_cast<FXMesh*>(m.meshes.items[i])) mesh->ReduceVertices(tolerance);
        for (const std::string& msg : scratch.TakeEngineErrors()) qmpackWarn("%s", localPlain(msg).c_str());
    }
    LocalCounts after = localCount(m);

    // The library is named from the model file's folder, so the three can move together.
    if (!mtl.empty()) {
        std::string rel = qmpackRelativePath(qmpackDirOf(qmpackAbsolute(out)), qmpackAbsolute(mtl));
        if (rel.size() > size_t(FXStr::kCapacity))
            return qmpackFail("%s: the path to the material library is too long (%zu characters)", out.c_str(),
                              rel.size());
        m.matlibName.Set(rel.c_str());
    }
    progress.Step(90, "writing " + out);
    errno = 0;
    if (!m.Save(output.TempPath().c_str())) {
        int e = errno;
        progress.Clear();
        return qmpackFail("%s: cannot write (%s)", out.c_str(), e ? strerror(e) : "write error");
    }
    if (!output.Commit()) return QMPACK_FAILED;
    progress.Finish("wrote " + out);
    char line[256];
    snprintf(line, sizeof line, "%s: %d mesh%s, %d vertices, %d triangle%s", out.c_str(), after.meshes,
             after.meshes == 1 ? "" : "es", after.vertices, after.triangles, after.triangles == 1 ? "" : "s");
    std::string text = line;
    if (tolerance > 0.0f)
        text += " (reduced from " + std::to_string(before.vertices) + " vertices, " + std::to_string(before.triangles) +
                " triangles)";
    text += std::string(mtl.empty() ? ", no material library" : ", material library ") + m.matlibName.c_str();
    QMPackReport report(args.Has("--json"));
    report.Text("file", out).Number("meshes", after.meshes).Number("vertices", after.vertices);
    report.Number("triangles", after.triangles).Text("library", m.matlibName.c_str());
    if (tolerance > 0.0f) report.Number("verticesBefore", before.vertices).Number("trianglesBefore", before.triangles);
    return report.Print(text) ? QMPACK_OK : qmpackFail("import-obj: cannot write the report");
}
