// Compiling a sprite movie file for a package: its colour and mask pictures (file names from the
// movie file's folder) become entries on free numbers, and the movie is written again naming
// them by number.
#include "base/package.h"
#include "builder.h"
#include "elements/smovie.h"
#include "files.h"
#include "model_file.h"
#include "qmpack.h"
#include "scratch.h"

bool QMPackBuilder::CompileMovie(const QMPackManifestEntry& e) {
    std::string where = manifest->Where(e.line), why;
    if (!qmpackCheckInput(e.path, &why))
        return qmpackRefuse("%s: cannot read %s (%s)", where.c_str(), e.path.c_str(), why.c_str());
    NoteInput(e.path, "a source of " + where);
    if (!qmpackStartsWith(e.path, "xs01") && !qmpackStartsWith(e.path, "xs02") && !qmpackStartsWith(e.path, "xs03"))
        return qmpackRefuse("%s: %s is not a movie file (it does not start with xs01, xs02 or xs03)", where.c_str(),
                            e.path.c_str());
    std::string abs = fxAbsolutePath(e.path);
    SMovie mv;
    scratch->TakeEngineErrors();
    bool loaded = mv.Load(abs.c_str());  // frame names are read from the movie file's folder
    if (!scratch->ReportEngineErrors(where + ": " + e.path)) return false;
    if (!loaded || mv.GetFrameCount() == 0)
        return qmpackRefuse("%s: %s is a movie without frames", where.c_str(), e.path.c_str());

    // Pictures in the order the engine's compile step registers them: per frame colour, then mask.
    for (int i = 0; i < mv.GetFrameCount(); i++) {
        FXStrArray* lists[2] = {&mv.colorNames, &mv.maskNames};
        for (FXStrArray* names : lists) {
            if (i >= names->top || !*names->Get(i)) continue;
            std::string source = names->Get(i), readBy;
            std::string at = where + ": frame " + std::to_string(i);
            if (!Registerable(at, source, &readBy)) return false;
            std::string name = pkg->names.FindId(source.c_str()) >= 0 ? source : readBy;
            int number = 0;
            if (!RegisterFree(at, name, &number)) return false;
            names->Change(i, name.c_str());
        }
    }
    if (!mv.Compile(pkg) || !scratch->ReportEngineErrors(where))
        return qmpackRefuse("%s: the pictures of %s could not be registered", where.c_str(), e.path.c_str());
    std::string out = scratch->NewPath(".xs");
    if (!mv.Save(out.c_str())) {
        scratch->TakeEngineErrors();
        return qmpackRefuse("%s: cannot write the compiled movie", where.c_str());
    }
    return AddCompiled(e.number, out);
}
