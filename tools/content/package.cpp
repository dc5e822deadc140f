// The package build (see package.h).
#include "package.h"

#include <cstdio>
#include <vector>

#include "choreo.h"
#include "generate.h"
#include "jobs.h"

namespace {

std::string localKeyPose(const QMCClip& clip, int k) {
    char name[64];
    snprintf(name, sizeof(name), "%s_%02d", clip.name, k);
    return name;
}

}  // namespace

std::string qmcManifestText() {
    std::string m =
        "# The demo package: every entry at the number the saver reads. Compiled libraries and\n"
        "# pictures take free numbers above these.\n"
        "0 ../src/pictures/error_notice.png\n"
        "1 ../src/pictures/preview.jpg\n"
        "4 medallion.xm\n"
        "5 ../src/pictures/label.png\n";
    for (const QMCClip& clip : qmcClips()) {
        m += std::to_string(clip.animEntry) + " " + clip.name + ".xa\n";
        if (clip.movieEntry >= 0) m += std::to_string(clip.movieEntry) + " " + clip.name + ".xs\n";
    }
    m += "749 ../src/pictures/cube_inner.jpg\n"
         "750 ../src/pictures/cube_outer.png\n"
         "751 ../src/pictures/meadow.jpg\n";
    return m;
}

bool qmcBuildPackage(const QMCPackageOptions& o, std::string* err) {
    std::string src = o.workDir + "/src", pack = o.workDir + "/pack", logs = o.workDir + "/logs";
    QMCGenerateOptions g;
    g.outDir = src;
    g.threads = o.jobs;
    if (!qmcGenerate(g, err) || !qmcMakeDirs(pack, err) || !qmcMakeDirs(logs, err)) return false;
    size_t slash = o.out.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !qmcMakeDirs(o.out.substr(0, slash), err)) return false;

    auto job = [&](const std::string& logName, std::vector<std::string> args) {
        QMCJob j;
        j.args = {o.qmpack};
        j.args.insert(j.args.end(), args.begin(), args.end());
        j.log = logs + "/" + logName + ".log";
        return j;
    };

    // Models first: every key pose and the medallion.
    std::vector<QMCJob> imports;
    imports.push_back(job("medallion", {"import-obj", src + "/medallion/medallion.obj", "-o", pack + "/medallion.xm"}));
    for (const QMCClip& clip : qmcClips()) {
        for (int k = 0; k < clip.keyCount; k++) {
            std::string name = localKeyPose(clip, k);
            imports.push_back(job(name, {"import-obj", src + "/sheet/" + name + ".obj", "-o", pack + "/" + name + ".xm"}));
        }
    }
    if (!qmcRunJobs(imports, o.jobs, err)) return false;

    // Then the animations (each key shown for the movie frames up to the next key) and the movies.
    std::vector<QMCJob> records;
    for (const QMCClip& clip : qmcClips()) {
        std::vector<std::string> args = {"anim", "-o", pack + "/" + clip.name + ".xa"};
        for (int k = 0; k < clip.keyCount; k++) {
            int ms = clip.openingMs;
            if (clip.movieFrames > 0) {
                int frames = k + 1 < clip.keyCount ? clip.KeyFrame(k + 1) - clip.KeyFrame(k) : 1;
                ms = int(frames * kQmcMovieFrameSeconds * 1000 + 0.5);
            } else if (k + 1 == clip.keyCount) {
                ms = 500;  // the last key is where the animation stops; its time is never shown
            }
            args.push_back(pack + "/" + localKeyPose(clip, k) + ".xm:" + std::to_string(ms));
        }
        if (clip.holdsLastKey) args.push_back(pack + "/" + localKeyPose(clip, clip.keyCount - 1) + ".xm:40");
        records.push_back(job(std::string(clip.name) + "_anim", args));
        if (clip.movieFrames <= 0) continue;
        std::string keys;
        for (int k = 0; k < clip.keyCount; k++) keys += (k ? "," : "") + std::to_string(clip.KeyFrame(k));
        char fps[32];
        snprintf(fps, sizeof(fps), "%g", 1.0 / kQmcMovieFrameSeconds);
        std::vector<std::string> margs = {"movie", "-o", pack + "/" + clip.name + ".xs", "--fps", fps, "--keys", keys};
        for (int f = 0; f < clip.movieFrames; f++) {
            char frame[64];
            snprintf(frame, sizeof(frame), "/movies/%s/frame_%03d.png", clip.name, f);
            margs.push_back(src + frame);
        }
        records.push_back(job(std::string(clip.name) + "_movie", margs));
    }
    if (!qmcRunJobs(records, o.jobs, err)) return false;

    std::string manifest = pack + "/qmsave.txt";
    if (!qmcWriteText(manifest, qmcManifestText(), err)) return false;
    std::vector<QMCJob> build = {job("build", {"build", o.out, manifest, "--names", pack + "/qmsave.names"})};
    return qmcRunJobs(build, 1, err);
}
