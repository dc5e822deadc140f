// Compiling an animation file for a package. A compact animation ("xa03", as `qmpack anim`
// writes it) holds its frames itself: their shared material library and its pictures become
// entries, and the animation is written again naming the library by number. An animation of the
// older layout names one model file per frame: each frame's model is compiled like a model file
// and becomes an entry of its own, named by number in the animation.
#include "anim/anim.h"
#include "base/package.h"
#include "builder.h"
#include "files.h"
#include "geometry/model.h"
#include "model_file.h"
#include "qmpack.h"
#include "scratch.h"

namespace {

// The older layout's frames, read again as model files from the animation's folder (so that each
// finds its library from its own folder).
bool localReadFrameFiles(const std::string& where, const std::string& dir, FXAnim* a, QMPackEnv* env,
                         QMPackScratch* scratch, std::vector<std::string>* files, std::vector<std::string>* libs) {
    for (int i = 0; i < a->GetFrameCount(); i++) {
        std::string name = i < a->frameNames.top && i < a->models.Count() ? a->frameNames.Get(i) : "";
        if (name.empty()) return qmpackRefuse("%s: frame %d names no model file", where.c_str(), i);
        std::string file = fxJoinPath(dir, name), mtl;
        FXModel* m = new FXModel;
        a->models.Replace(i, m);  // a frame read halfway is destroyed with the animation
        if (!qmpackReadModelFile(where + ": frame " + std::to_string(i), file, env, scratch, m, &mtl)) return false;
        files->push_back(file);
        libs->push_back(mtl);
    }
    return true;
}

// The older layout starts with its frames' model files (int32 count, then the names): each must be
// a regular file before the engine's reader opens it (a named pipe would block it for ever).
bool localCheckFrameFiles(const std::string& where, const std::string& path, const std::string& dir,
                          std::vector<std::string>* files) {
    std::vector<unsigned char> bytes;
    std::string why;
    if (!qmpackReadFile(path, &bytes, &why, 256LL << 20))
        return qmpackRefuse("%s: cannot read %s (%s)", where.c_str(), path.c_str(), why.c_str());
    FXPackageData d;
    d.InitData(bytes.data(), int(bytes.size()));
    int count = d.ReadInt();
    for (int i = 0; i < count && d.remaining >= 4; i++) {
        FXStr name;
        d.ReadString(&name);
        if (name.IsEmpty()) continue;
        std::string file = fxJoinPath(dir, name.c_str());
        if (!qmpackCheckInput(file, &why))
            return qmpackRefuse("%s: frame %d: cannot read %s (%s)", where.c_str(), i, file.c_str(), why.c_str());
        files->push_back(file);
    }
    return true;
}

}  // namespace

bool QMPackBuilder::CompileAnim(const QMPackManifestEntry& e) {
    std::string where = manifest->Where(e.line), why;
    if (!qmpackCheckInput(e.path, &why))
        return qmpackRefuse("%s: cannot read %s (%s)", where.c_str(), e.path.c_str(), why.c_str());
    NoteInput(e.path, "a source of " + where);
    std::string abs = fxAbsolutePath(e.path), dir = fxDirOf(abs);
    bool compact = qmpackStartsWith(e.path, "xa03");
    env.baseDir = dir;
    if (!compact) {
        std::vector<std::string> frameFiles;
        if (!localCheckFrameFiles(where, e.path, dir, &frameFiles)) return false;
        // The frames are inputs too: the package may replace none of them.
        for (const std::string& f : frameFiles) NoteInput(f, "a frame of " + where);
    }
    FXAnim a;
    scratch->TakeEngineErrors();
    int loaded = a.Load(&env, abs.c_str());  // the older layout names its frames' files from its own folder
    if (!loaded || a.GetFrameCount() == 0) {
        if (!scratch->ReportEngineErrors(where + ": " + e.path)) return false;
        return qmpackRefuse("%s: %s is not an animation file (or has no frames)", where.c_str(), e.path.c_str());
    }
    if (!compact) scratch->TakeEngineErrors();  // the frames are read again below
    if (compact && !scratch->ReportEngineErrors(where + ": " + e.path)) return false;

    std::string out = scratch->NewPath(".xa");
    if (compact) {
        FXModel* first = a.GetModel(0);
        if (first && first->matlib) {
            std::string mtl = fxAbsolutePath(fxJoinPath(dir, first->matlibName.c_str()));
            if (!qmpackCheckInput(mtl, &why))
                return qmpackRefuse("%s: %s names the material library %s, which cannot be read (%s)", where.c_str(),
                                    e.path.c_str(), mtl.c_str(), why.c_str());
            if (!PreparePictures(first->matlib.Get(), mtl)) return false;
        }
        for (int i = 0; i < a.GetFrameCount(); i++)
            if (FXModel* m = a.GetModel(i))
                if (!CompileLibrary(where, m)) return false;
        if (!a.Save(out.c_str())) {
            scratch->ReportEngineErrors(where + ": " + e.path);
            return qmpackRefuse("%s: cannot write the compiled animation", where.c_str());
        }
        return AddCompiled(e.number, out);
    }

    std::vector<std::string> files, libs;
    if (!localReadFrameFiles(where, dir, &a, &env, scratch, &files, &libs)) return false;
    for (int i = 0; i < a.GetFrameCount(); i++) {
        FXModel* m = a.GetModel(i);
        if (!PreparePictures(m->matlib.Get(), libs[size_t(i)]) || !CompileLibrary(where, m)) return false;
        std::string frame = scratch->NewPath(".xm");
        if (!m->Save(frame.c_str())) return qmpackRefuse("%s: cannot write the compiled frame %d", where.c_str(), i);
        int number = 0;
        shown[frame] = Shown(fxAbsolutePath(files[size_t(i)]));
        if (!RegisterFree(where, frame, &number)) return false;
        a.frameNames.Change(i, std::to_string(number).c_str());
    }
    if (!a.Save_v02(out.c_str())) return qmpackRefuse("%s: cannot write the compiled animation", where.c_str());
    return AddCompiled(e.number, out);
}
