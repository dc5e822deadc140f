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
    if (m->meshes.top != first->meshes.top)
        return std::to_string(m->meshes.top) + " meshes, not " + std::to_string(first->meshes.top);
    for (int k = 0; k < first->meshes.top; k++) {
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

}  // namespace

int qmpackAnim(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("anim", argc, argv, {"-o"}, {"--loop", "--ping-pong", "--json"})) return QMPACK_USAGE;
    if (args.positional.empty() || !args.Has("-o")) return qmpackUsage("anim");
    const std::string out = args.Value("-o");
    std::vector<LocalFrame> frames(args.positional.size());
    std::vector<QMPackInput> inputs;
    for (size_t i = 0; i < frames.size(); i++) {
        if (!localParseFrame(args.positional[i], &frames[i])) return QMPACK_USAGE;
        inputs.push_back({frames[i].file, "frame " + std::to_string(i)});
    }
    QMPackOutput output;
    if (!output.Open(out, inputs, false)) return QMPACK_FAILED;
    QMPackScratch scratch;
    if (!scratch.Create()) return QMPACK_FAILED;
    QMPackEnv env;

    FXAnim a;
    std::string firstLib;
    QMPackProgress progress;
    progress.Start(frames.size() > 50, "reading " + std::to_string(frames.size()) + " frames", int(frames.size()));
    for (size_t i = 0; i < frames.size(); i++) {
        progress.Step(int(i), frames[i].file);
        std::unique_ptr<FXModel> m(new FXModel);
        std::string mtl, where = "anim: frame " + std::to_string(i);
        if (!qmpackReadModelFile(where, frames[i].file, &env, &scratch, m.get(), &mtl)) {
            progress.Clear();
            return QMPACK_FAILED;
        }
        // The animation may not replace a library it reads (the output was checked against the
        // frames before; the libraries are known only now).
        std::string role = "the material library of frame " + std::to_string(i);
        if (!mtl.empty() && !qmpackCheckNotAnInput(out, {{mtl, role}})) {
            progress.Clear();
            return QMPACK_FAILED;
        }
        if (i == 0) {
            firstLib = mtl;
        } else {
            std::string differs = localStructureDiffers(a.GetModel(0), m.get());
            if (!differs.empty()) {
                progress.Clear();
                return qmpackFail("%s: frame %zu does not have the meshes and triangles of frame 0 (%s): %s",
                                  frames[i].file.c_str(), i, frames[0].file.c_str(), differs.c_str());
            }
            if (mtl != firstLib)
                qmpackWarn("%s: frame %zu names the material library %s; an animation keeps frame 0's (%s)",
                           frames[i].file.c_str(), i, mtl.empty() ? "(none)" : mtl.c_str(),
                           firstLib.empty() ? "none" : firstLib.c_str());
        }
        if (m->name.IsEmpty()) {
            std::string base = fxBaseOf(frames[i].file);
            m->name.Set(base.substr(0, base.find_last_of('.')).c_str());
        }
        a.frameNames.Push(m->name.c_str());
        a.durations.PushInt(frames[i].duration);
        a.models.Push(m.release());
    }
    a.pingPong = args.Has("--ping-pong");
    a.loop = args.Has("--loop") || a.pingPong;
    a.playing = true;
    FXModel* first = a.GetModel(0);
    if (!firstLib.empty()) {
        // Named from the animation file's folder, so the two can move together.
        std::string rel = fxRelativePath(fxDirOf(fxAbsolutePath(out)), firstLib);
        if (rel.size() > size_t(FXStr::kCapacity))
            return qmpackFail("%s: the path to the material library is too long", out.c_str());
        first->matlibName.Set(rel.c_str());
    }
    progress.Step(int(frames.size()), "writing " + out);
    scratch.TakeEngineErrors();
    errno = 0;
    if (!a.Save(output.TempPath().c_str())) {
        int e = errno;
        progress.Clear();
        std::vector<FXError> why = scratch.TakeEngineErrors();
        return qmpackFail("%s: cannot write the animation (%s)", out.c_str(),
                          !why.empty() ? why.front().Text().c_str() : e ? strerror(e) : "write error");
    }
    if (!output.Commit()) return QMPACK_FAILED;
    progress.Finish("wrote " + out);
    long long total = 0;
    for (const LocalFrame& f : frames) total += f.duration;
    int vertices = first->GetTotalVertices();
    char line[256];
    snprintf(line, sizeof line, "%s: %zu frame%s, %.3g s, %d mesh%s, %d vertices a frame%s%s", out.c_str(),
             frames.size(), frames.size() == 1 ? "" : "s", double(total) / 1000.0, first->GetCount(),
             first->GetCount() == 1 ? "" : "es", vertices, a.loop ? (a.pingPong ? ", ping-pong" : ", loop") : "",
             firstLib.empty() ? ", no material library" : ", material library ");
    QMPackReport report(args.Has("--json"));
    report.Text("file", out).Number("frames", double(frames.size())).Number("milliseconds", double(total));
    report.Number("meshes", first->GetCount()).Number("vertices", vertices).Bool("loop", a.loop);
    report.Bool("pingPong", a.pingPong).Text("library", first->matlibName.c_str());
    return report.Print(line + std::string(first->matlibName.c_str())) ? QMPACK_OK
                                                                        : qmpackFail("anim: cannot write the report");
}
