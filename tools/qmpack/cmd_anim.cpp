// qmpack anim -o OUT.xa [--loop] [--ping-pong] MODEL:DURATION_MS ...: a frame animation from
// engine model files, one per key frame, each shown for its duration. Every frame must have the
// first frame's meshes and triangles (only positions and normals move); the animation keeps the
// first frame's material library, named from OUT's folder.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "anim/anim.h"
#include "files.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "model_file.h"
#include "output.h"
#include "progress.h"
#include "qmpack.h"
#include "report.h"
#include "scratch.h"
#include "tool_env.h"

namespace {

struct LocalFrame {
    std::string file;
    int duration = 0;
};

bool localParseFrame(const std::string& arg, LocalFrame* f) {
    size_t colon = arg.find_last_of(':');
    int ms = 0;
    if (colon == std::string::npos || colon == 0 || !qmpackParseNumber(arg.substr(colon + 1), &ms) || ms < 1 ||
        ms > 3600000)
        return qmpackRefuse("anim: '%s' is not MODEL:DURATION_MS (a model file, a colon, milliseconds from 1 to "
                            "3600000)",
                            arg.c_str());
    f->file = arg.substr(0, colon);
    f->duration = ms;
    return true;
}

// Why frame i cannot share frame 0's meshes and triangles, or "" when it can.
std::string localStructureDiffers(const FXModel* first, const FXModel* m) {
    if (m->meshes.Count() != first->meshes.Count())
        return std::to_string(m->meshes.Count()) + " meshes, not " + std::to_string(first->meshes.Count());
    for (int k = 0; k < first->meshes.Count(); k++) {
        const FXMesh* a = first->EnumMeshes(k);
        const FXMesh* b = m->EnumMeshes(k);
        if (!a || !b) continue;
        std::string mesh = "mesh " + std::to_string(k);
        if (b->vertexCount != a->vertexCount)
            return mesh + " has " + std::to_string(b->vertexCount) + " vertices, not " + std::to_string(a->vertexCount);
        if (b->indexCount != a->indexCount ||
            (a->indexCount > 0 && memcmp(a->indices, b->indices, sizeof(int32_t) * size_t(a->indexCount)) != 0))
            return mesh + " has other triangles";
    }
    return "";
}

// The command's arguments and the frames they name.
struct LocalAnim {
    std::string out;
    std::vector<LocalFrame> frames;
    std::vector<QMPackInput> inputs;
    std::string firstLib;  // frame 0's material library ("" for none)
    FXAnim a;
};

// Reads frame i's model file into a new model of the animation, checking it against frame 0.
bool localAddFrame(LocalAnim* x, size_t i, QMPackEnv* env, QMPackScratch* scratch) {
    const LocalFrame& frame = x->frames[i];
    std::unique_ptr<FXModel> m(new FXModel);
    std::string mtl, where = "anim: frame " + std::to_string(i);
    if (!qmpackReadModelFile(where, frame.file, env, scratch, m.get(), &mtl)) return false;
    // The animation may not replace a library it reads (the output was checked against the
    // frames before; the libraries are known only now).
    if (!mtl.empty() && !qmpackCheckNotAnInput(x->out, {{mtl, "the material library of frame " + std::to_string(i)}}))
        return false;
    if (i == 0) {
        x->firstLib = mtl;
    } else {
        std::string differs = localStructureDiffers(x->a.GetModel(0), m.get());
        if (!differs.empty())
            return qmpackRefuse("%s: frame %zu does not have the meshes and triangles of frame 0 (%s): %s",
                                frame.file.c_str(), i, x->frames[0].file.c_str(), differs.c_str());
        if (mtl != x->firstLib)
            qmpackWarn("%s: frame %zu names the material library %s; an animation keeps frame 0's (%s)",
                       frame.file.c_str(), i, mtl.empty() ? "(none)" : mtl.c_str(),
                       x->firstLib.empty() ? "none" : x->firstLib.c_str());
    }
    if (m->name.IsEmpty()) {
        std::string base = fxBaseOf(frame.file);
        m->name.Set(base.substr(0, base.find_last_of('.')).c_str());
    }
    x->a.frameNames.Push(m->name.c_str());
    x->a.durations.PushInt(frame.duration);
    x->a.models.Push(m.release());
    return true;
}

// Writes the animation to the output's temporary file, its library named from OUT's folder so
// the two can move together.
bool localSave(LocalAnim* x, QMPackOutput* output, QMPackScratch* scratch) {
    FXModel* first = x->a.GetModel(0);
    if (!x->firstLib.empty()) {
        std::string rel = fxRelativePath(fxDirOf(fxAbsolutePath(x->out)), x->firstLib);
        if (rel.size() > size_t(FXStr::kCapacity))
            return qmpackRefuse("%s: the path to the material library is too long", x->out.c_str());
        first->matlibName.Set(rel.c_str());
    }
    scratch->TakeEngineErrors();
    errno = 0;
    if (x->a.Save(output->TempPath().c_str())) return true;
    int e = errno;
    std::vector<FXError> why = scratch->TakeEngineErrors();
    return qmpackRefuse("%s: cannot write the animation (%s)", x->out.c_str(),
                        !why.empty() ? why.front().Text().c_str() : e ? strerror(e) : "write error");
}

int localReport(const LocalAnim& x, bool json) {
    long long total = 0;
    for (const LocalFrame& f : x.frames) total += f.duration;
    const FXModel* first = x.a.GetModel(0);
    int vertices = first->GetTotalVertices();
    size_t frames = x.frames.size();
    char line[256];
    snprintf(line, sizeof line, "%s: %zu frame%s, %.3g s, %d mesh%s, %d vertices a frame%s%s", x.out.c_str(), frames,
             frames == 1 ? "" : "s", double(total) / 1000.0, first->GetCount(), first->GetCount() == 1 ? "" : "es",
             vertices, x.a.loop ? (x.a.pingPong ? ", ping-pong" : ", loop") : "",
             x.firstLib.empty() ? ", no material library" : ", material library ");
    QMPackReport report(json);
    report.Text("file", x.out).Number("frames", double(frames)).Number("milliseconds", double(total));
    report.Number("meshes", first->GetCount()).Number("vertices", vertices).Bool("loop", x.a.loop);
    report.Bool("pingPong", x.a.pingPong).Text("library", first->matlibName.c_str());
    return report.Print(line + std::string(first->matlibName.c_str())) ? QMPACK_OK
                                                                          : qmpackFail("anim: cannot write the report");
}

}  // namespace

int qmpackAnim(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("anim", argc, argv, {"-o"}, {"--loop", "--ping-pong", "--json"})) return QMPACK_USAGE;
    if (args.positional.empty() || !args.Has("-o")) return qmpackUsage("anim");
    QMPackEnv env;  // owns the material libraries the frames hold: it goes after the animation
    LocalAnim x;
    x.out = args.Value("-o");
    x.frames.resize(args.positional.size());
    for (size_t i = 0; i < x.frames.size(); i++) {
        if (!localParseFrame(args.positional[i], &x.frames[i])) return QMPACK_USAGE;
        x.inputs.push_back({x.frames[i].file, "frame " + std::to_string(i)});
    }
    QMPackOutput output;
    if (!output.Open(x.out, x.inputs, false)) return QMPACK_FAILED;
    QMPackScratch scratch;
    if (!scratch.Create()) return QMPACK_FAILED;

    QMPackProgress progress;
    progress.Start(x.frames.size() > 50, "reading " + std::to_string(x.frames.size()) + " frames", int(x.frames.size()));
    for (size_t i = 0; i < x.frames.size(); i++) {
        progress.Step(int(i), x.frames[i].file);
        if (!localAddFrame(&x, i, &env, &scratch)) {
            progress.Clear();
            return QMPACK_FAILED;
        }
    }
    x.a.pingPong = args.Has("--ping-pong");
    x.a.loop = args.Has("--loop") || x.a.pingPong;
    x.a.playing = true;
    progress.Step(int(x.frames.size()), "writing " + x.out);
    if (!localSave(&x, &output, &scratch)) {
        progress.Clear();
        return QMPACK_FAILED;
    }
    if (!output.Commit()) return QMPACK_FAILED;
    progress.Finish("wrote " + x.out);
    return localReport(x, args.Has("--json"));
}
