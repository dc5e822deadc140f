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

struct LocalCounts {
    int meshes = 0, vertices = 0, triangles = 0;
};

LocalCounts localCount(const FXModel& m) {
    LocalCounts c;
    for (int i = 0; i < m.meshes.Count(); i++)
        if (const FXMesh* mesh = m.meshes.Get(i)) {
            c.meshes++;
            c.vertices += mesh->vertexCount;
            c.triangles += mesh->indexCount / 3;
        }
    return c;
}

// One import: what it reads and writes and what it found on the way.
struct LocalImport {
    std::string in, out, mtl;  // mtl: the library the OBJ file names, as the reader found it ("" for none)
    float tolerance = 0.0f;    // --reduce, 0 without it
    long long size = 0;
    QMPackOutput output;
    QMPackScratch scratch;
    QMPackEnv env;  // owns the model's library: declared before the model, so it outlives it
    QMPackProgress progress;
    FXModel m;
    LocalCounts before, after;
};

// --reduce's angle in degrees, strictly between 0 and 90.
int localParseTolerance(const QMPackArgs& args, float* tolerance) {
    if (!args.Has("--reduce")) return QMPACK_OK;
    std::string text = args.Value("--reduce");
    char* end = nullptr;
    *tolerance = strtof(text.c_str(), &end);
    if (text.empty() || *end || !(*tolerance > 0.0f && *tolerance < 90.0f))
        return qmpackBadValue("import-obj: --reduce takes an angle in degrees above 0 and below 90, not '%s'",
                              text.c_str());
    return QMPACK_OK;
}

// A message of the OBJ reader about the input, named after it unless it names it already.
std::string localAboutInput(const std::string& in, const std::string& what) {
    return what.compare(0, in.size(), in) == 0 ? what : in + ": " + what;
}

// Why the reader refused the file: its last error (a warning only when it said nothing else).
std::string localRefusal(const std::vector<FXError>& errors) {
    if (errors.empty()) return "not an OBJ model";
    const FXError* reason = &errors.back();
    for (const FXError& e : errors)
        if (!e.IsWarning()) reason = &e;
    return reason->what;
}

// Reads the OBJ file (most of the work: the progress runs to 80 percent meanwhile).
int localRead(LocalImport* x, std::vector<FXError>* messages) {
    x->progress.Start(x->size > kLargeObj, "importing " + x->in + " (" + std::to_string(x->size >> 20) + " MB)", 100);
    struct {
        QMPackProgress* bar;
        std::string what;
    } reading{&x->progress, "reading " + x->in};
    x->progress.Step(0, reading.what);
    bool imported = x->m.ImportObj(
        &x->env, x->in.c_str(),
        [](void* user, float done) {
            auto* r = static_cast<decltype(reading)*>(user);
            r->bar->Step(int(done * 80), r->what);
        },
        &reading);
    *messages = x->scratch.TakeEngineErrors();
    if (imported) return QMPACK_OK;
    x->progress.Clear();
    return qmpackFail("%s", localAboutInput(x->in, localRefusal(*messages)).c_str());
}

// Warns about pictures of the library that cannot be read now; `build` will need them.
void localCheckPictures(const FXMatlib* lib, const std::string& mtl) {
    if (!lib) return;
    for (int i = 0; i < lib->GetCount(); i++) {
        const FXMaterial* mat = lib->GetMaterial(i);
        if (!mat || mat->textureFile.IsEmpty()) continue;
        std::string picture = fxJoinPath(fxDirOf(mtl), mat->textureFile.c_str());
        std::string why;
        if (!qmpackCheckInput(picture, &why))
            qmpackWarn("%s: material '%s' shows %s, which cannot be read (%s); 'build' will need it", mtl.c_str(),
                       mat->name.c_str(), picture.c_str(), why.c_str());
    }
}

// The library the model names must be readable (and not be OUT); then the reader's complaints
// are shown as warnings (a library it could not load is said above, with the reason).
int localCheckLibrary(LocalImport* x, const std::vector<FXError>& messages) {
    if (!x->m.matlibName.IsEmpty()) {
        x->mtl = x->m.matlibName.c_str();
        std::string why;
        if (!qmpackCheckInput(x->mtl, &why)) {
            x->progress.Clear();
            return qmpackFail("%s: names the material library %s, which cannot be read (%s)", x->in.c_str(),
                              x->mtl.c_str(), why.c_str());
        }
        if (!qmpackCheckNotAnInput(x->out, {{x->mtl, "its material library"}})) return QMPACK_FAILED;
    }
    for (const FXError& e : messages)
        if (e.code != FX_ERR_LIBRARY) qmpackWarn("%s", localAboutInput(x->in, e.what).c_str());
    localCheckPictures(x->m.matlib.Get(), x->mtl);
    return QMPACK_OK;
}

// Names the model, builds its meshes and, with the options, unitizes and reduces them.
void localShape(LocalImport* x, bool unitize) {
    if (x->m.name.IsEmpty()) {  // named after its file, as listings show it
        std::string base = fxBaseOf(x->in);
        x->m.name.Set(base.substr(0, base.find_last_of('.')).c_str());
    }
    x->m.UpdateMeshes();
    if (unitize) x->m.Unitize();
    x->before = localCount(x->m);
    if (x->tolerance > 0.0f) {
        x->progress.Step(80, "reducing");
        for (int i = 0; i < x->m.meshes.Count(); i++)
            if (FXMesh* mesh = x->m.meshes.Get(i)) mesh->ReduceVertices(x->tolerance);
        for (const FXError& e : x->scratch.TakeEngineErrors()) qmpackWarn("%s", e.what.c_str());
    }
    x->after = localCount(x->m);
}

// Writes the model file; the library is named from its folder, so the three can move together.
int localWrite(LocalImport* x) {
    if (!x->mtl.empty()) {
        std::string rel = fxRelativePath(fxDirOf(fxAbsolutePath(x->out)), fxAbsolutePath(x->mtl));
        if (rel.size() > size_t(FXStr::kCapacity))
            return qmpackFail("%s: the path to the material library is too long (%zu characters)", x->out.c_str(),
                              rel.size());
        x->m.matlibName.Set(rel.c_str());
    }
    x->progress.Step(90, "writing " + x->out);
    errno = 0;
    if (!x->m.Save(x->output.TempPath().c_str())) {
        int e = errno;
        x->progress.Clear();
        return qmpackFail("%s: cannot write (%s)", x->out.c_str(), e ? strerror(e) : "write error");
    }
    if (!x->output.Commit()) return QMPACK_FAILED;
    x->progress.Finish("wrote " + x->out);
    return QMPACK_OK;
}

int localReport(const LocalImport& x, bool json) {
    char line[256];
    snprintf(line, sizeof line, "%s: %d mesh%s, %d vertices, %d triangle%s", x.out.c_str(), x.after.meshes,
             x.after.meshes == 1 ? "" : "es", x.after.vertices, x.after.triangles, x.after.triangles == 1 ? "" : "s");
    std::string text = line;
    if (x.tolerance > 0.0f)
        text += " (reduced from " + std::to_string(x.before.vertices) + " vertices, " +
                std::to_string(x.before.triangles) + " triangles)";
    text += std::string(x.mtl.empty() ? ", no material library" : ", material library ") + x.m.matlibName.c_str();
    QMPackReport report(json);
    report.Text("file", x.out).Number("meshes", x.after.meshes).Number("vertices", x.after.vertices);
    report.Number("triangles", x.after.triangles).Text("library", x.m.matlibName.c_str());
    if (x.tolerance > 0.0f)
        report.Number("verticesBefore", x.before.vertices).Number("trianglesBefore", x.before.triangles);
    return report.Print(text) ? QMPACK_OK : qmpackFail("import-obj: cannot write the report");
}

}  // namespace

int qmpackImportObj(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("import-obj", argc, argv, {"-o", "--reduce"}, {"--unitize", "--json"})) return QMPACK_USAGE;
    if (args.positional.size() != 1 || !args.Has("-o")) return qmpackUsage("import-obj");
    LocalImport x;
    x.in = args.positional[0];
    x.out = args.Value("-o");
    if (int status = localParseTolerance(args, &x.tolerance)) return status;
    std::string why;
    if (!qmpackCheckInput(x.in, &why, &x.size)) return qmpackFail("%s: cannot read (%s)", x.in.c_str(), why.c_str());
    if (!x.output.Open(x.out, {{x.in, "the OBJ file"}}, false)) return QMPACK_FAILED;
    if (!x.scratch.Create()) return QMPACK_FAILED;
    std::vector<FXError> messages;
    if (int status = localRead(&x, &messages)) return status;
    if (int status = localCheckLibrary(&x, messages)) return status;
    localShape(&x, args.Has("--unitize"));
    if (int status = localWrite(&x)) return status;
    return localReport(x, args.Has("--json"));
}
