// qmpack movie -o OUT.xs --fps N [--keys K,K,...] [--loop] [--ping-pong] FRAME ...: a sprite
// movie from frame pictures with alpha. The movie's own save crops every frame to its visible
// pixels and splits it into a JPEG colour picture and a JPEG mask; qmpack lets it work on copies
// in a scratch folder (so no source is ever written over) and then puts the pairs beside OUT as
// "<OUT's name>-0000.jpg" and "<OUT's name>-0000_m.jpg", ..., which the movie file names from
// its own folder.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cleanup.h"
#include "elements/smovie.h"
#include "image/canvas.h"
#include "files.h"
#include "host.h"
#include "image/devil.h"
#include "output.h"
#include "pictures.h"
#include "progress.h"
#include "qmpack.h"
#include "report.h"
#include "scratch.h"
#include "tool_env.h"

namespace {

bool localParseKeys(const std::string& text, int frames, std::vector<int>* keys) {
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(',', pos);
        if (end == std::string::npos) end = text.size();
        int k = 0;
        if (!qmpackParseNumber(text.substr(pos, end - pos), &k))
            return qmpackRefuse("movie: --keys takes movie frame numbers separated by commas, not '%s'", text.c_str());
        if (k < 0 || k >= frames)
            return qmpackRefuse("movie: key %d is not a frame of this movie (frames 0 to %d)", k, frames - 1);
        if (!keys->empty() && k <= keys->back())
            return qmpackRefuse("movie: keys must rise (%d after %d)", k, keys->back());
        keys->push_back(k);
        pos = end + 1;
    }
    return true;
}

bool localCopy(const std::string& from, const std::string& to, std::string* why) {
    std::vector<unsigned char> bytes;
    if (!qmpackReadFile(from, &bytes, why)) return false;
    FILE* f = fopen(to.c_str(), "wb");
    bool ok = f && (bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    if (f && fclose(f) != 0) ok = false;
    if (!ok) *why = strerror(errno);
    return ok;
}

// A frame must be a picture the decoder reads: by its bytes, or a TGA by its name.
bool localCheckFrame(const std::string& file, std::string* kind) {
    std::string why;
    int fd = qmpackOpenInput(file, &why);
    if (fd < 0) return qmpackRefuse("%s: cannot read (%s)", file.c_str(), why.c_str());
    unsigned char head[64] = {};
    ssize_t got = read(fd, head, sizeof head);
    close(fd);
    *kind = qmpackSniffPicture(head, got > 0 ? size_t(got) : 0);
    if (kind->empty() && qmpackExtOf(file) == "tga") *kind = "tga";
    if (kind->empty()) return qmpackRefuse("%s: not a picture (PNG, JPEG, GIF, BMP or TGA)", file.c_str());
    return true;
}

// Removes the pictures an earlier, longer movie of the same name left beside it: STEM-NNNN.jpg and
// STEM-NNNN_m.jpg from frame number frames on.
void localRemoveStaleFrames(const std::string& stem, size_t frames) {
    std::string dir = qmpackDirOf(stem), prefix = qmpackBaseOf(stem) + "-";
    std::vector<std::string> names, stale;
    if (!qmpackListFolder(dir, &names)) return;
    for (const std::string& name : names) {
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string rest = name.substr(prefix.size());
        size_t digits = 0;
        while (digits < rest.size() && isdigit((unsigned char)rest[digits])) digits++;
        std::string tail = rest.substr(digits);
        if (digits < 4 || (tail != ".jpg" && tail != "_m.jpg")) continue;
        if (digits > 18 || std::stoull(rest.substr(0, digits)) >= frames) stale.push_back(dir + name);
    }
    for (const std::string& path : stale)
        if (int e = qmpackRemoveFile(path))
            qmpackWarn("%s: an earlier movie's picture could not be removed (%s)", path.c_str(), strerror(e));
    if (!stale.empty()) qmpackSyncFolder(dir);
}

// JPEG quality of the colour and mask pictures unless --quality says otherwise: high enough that
// soft mask edges keep no visible ringing, low enough to keep packages small.
const int kDefaultQuality = 90;

}  // namespace

int qmpackMovie(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("movie", argc, argv, {"-o", "--fps", "--keys", "--quality"}, {"--loop", "--ping-pong", "--json"}))
        return QMPACK_USAGE;
    if (args.positional.empty() || !args.Has("-o") || !args.Has("--fps")) return qmpackUsage("movie");
    const std::string out = args.Value("-o");
    const std::vector<std::string>& frames = args.positional;
    std::string fpsText = args.Value("--fps");
    char* end = nullptr;
    double fps = strtod(fpsText.c_str(), &end);
    if (fpsText.empty() || *end || !(fps > 0.0 && fps <= 1000.0))
        return qmpackBadValue("movie: --fps takes frames per second above 0 and at most 1000, not '%s'",
                              fpsText.c_str());
    int quality = kDefaultQuality;
    if (args.Has("--quality") && (!qmpackParseNumber(args.Value("--quality"), &quality) || quality < 1 || quality > 100))
        return qmpackBadValue("movie: --quality takes a JPEG quality from 1 to 100, not '%s'",
                              args.Value("--quality").c_str());
    std::vector<int> keys;
    if (args.Has("--keys") && !localParseKeys(args.Value("--keys"), int(frames.size()), &keys)) return QMPACK_USAGE;
    if (qmpackExtOf(out) != "xs") qmpackWarn("%s: a movie file is named .xs, which 'build' compiles", out.c_str());

    std::vector<QMPackInput> inputs;
    std::vector<std::string> kinds(frames.size());
    for (size_t i = 0; i < frames.size(); i++) {
        if (!localCheckFrame(frames[i], &kinds[i])) return QMPACK_FAILED;
        inputs.push_back({frames[i], "frame " + std::to_string(i)});
    }
    // The pictures go beside OUT, named after it; none may replace a frame.
    std::string stem = out.substr(0, out.size() - (qmpackExtOf(out).empty() ? 0 : qmpackExtOf(out).size() + 1));
    QMPackOutput record;
    if (!record.Open(out, inputs, false)) return QMPACK_FAILED;
    std::vector<std::unique_ptr<QMPackOutput>> pictures;
    for (size_t i = 0; i < frames.size(); i++) {
        char number[32];
        snprintf(number, sizeof number, "-%04zu", i);
        for (const char* suffix : {".jpg", "_m.jpg"}) {
            pictures.emplace_back(new QMPackOutput);
            if (!pictures.back()->Open(stem + number + suffix, inputs, false)) return QMPACK_FAILED;
        }
    }
    if (!fxLoadDevil())
        return qmpackFail("movie: the picture library DevIL (%s) cannot be loaded; it is needed to crop and encode "
                          "the frames (Debian: apt-get install libdevil1c2)",
                          fxDevilPlatformName());
    FXCanvas().SetJpegQuality(quality);  // the decoder's setting for every picture saved from here on
    QMPackScratch scratch;
    if (!scratch.Create()) return QMPACK_FAILED;
    QMPackEnv env;

    // The movie crops copies: its save writes the JPEG pairs beside the pictures it reads.
    SMovie mv;
    QMPackProgress progress;
    progress.Start(frames.size() > 50, "cropping " + std::to_string(frames.size()) + " frames", 2);
    progress.Step(0, "copying frames");
    for (size_t i = 0; i < frames.size(); i++) {
        char name[64];
        snprintf(name, sizeof name, "/frame%04zu.%s", i, kinds[i] == "jpg" ? "jpeg" : kinds[i].c_str());
        std::string copy = scratch.Dir() + name, why;
        qmpackTrackTemp(copy);
        if (!localCopy(frames[i], copy, &why)) return qmpackFail("%s: cannot copy (%s)", frames[i].c_str(), why.c_str());
        mv.colorNames.Push(copy.c_str());
    }
    mv.compiled = false;  // each frame is one picture whose alpha is the mask
    mv.saved = false;
    mv.frameDuration = 1.0 / fps;
    mv.pingPong = args.Has("--ping-pong");
    mv.loop = args.Has("--loop") || mv.pingPong;
    mv.keyed = !keys.empty();
    for (int k : keys) mv.keyFrames.PushInt(k);
    progress.Step(1, "cropping");
    std::string cropped = scratch.NewPath(".xs");
    scratch.TakeEngineErrors();
    errno = 0;
    if (!mv.Save(cropped.c_str())) {
        int error = errno;  // before the engine's log is read
        progress.Clear();
        std::vector<std::string> why = scratch.TakeEngineErrors();
        std::string reason = why.empty() ? "" : why.front();
        for (size_t i = 0; i < frames.size(); i++) {  // name the source, not its copy
            std::string copy = mv.colorNames.Get(int(i));
            if (reason.find(copy + " could not be read") != std::string::npos)
                return qmpackFail("%s: cannot be decoded (a damaged or cut-short picture)", frames[i].c_str());
        }
        return qmpackFail("%s: the frames could not be cropped (%s)", out.c_str(),
                          !reason.empty() ? reason.c_str() : error ? strerror(error) : "unknown reason");
    }
    for (int i = 0; i < mv.GetFrameCount(); i++) {
        qmpackTrackTemp(mv.colorNames.Get(i));
        qmpackTrackTemp(mv.maskNames.Get(i));
    }

    // The pairs to their places; the movie names them from OUT's folder.
    std::string outDir = qmpackDirOf(qmpackAbsolute(out));
    for (int i = 0; i < mv.GetFrameCount(); i++) {
        FXStrArray* lists[2] = {&mv.colorNames, &mv.maskNames};
        for (int k = 0; k < 2; k++) {
            QMPackOutput* pic = pictures[size_t(2 * i + k)].get();
            std::string why;
            if (!localCopy(lists[k]->Get(i), pic->TempPath(), &why))
                return qmpackFail("%s: cannot write (%s)", pic->Path().c_str(), why.c_str());
            lists[k]->Change(i, qmpackAbsolute(pic->Path()).c_str());
        }
    }
    bool written = false;
    int error = 0;
    std::string recordTemp = qmpackAbsolute(record.TempPath());
    {
        QMPackCwd cwd(outDir);
        errno = 0;
        written = cwd.ok && mv.Save(recordTemp.c_str());
        error = errno;  // before the working folder is changed back
    }
    if (!written)
        return qmpackFail("%s: cannot write the movie (%s)", out.c_str(), error ? strerror(error) : "write error");
    {
        // Every picture is in place before the record that names them; no signal comes between.
        QMPackCommitGuard guard;
        for (auto& pic : pictures)
            if (!pic->Commit()) return QMPACK_FAILED;
        if (!record.Commit()) return QMPACK_FAILED;
    }
    localRemoveStaleFrames(stem, frames.size());
    progress.Finish("wrote " + out);

    std::string keyText;
    for (size_t k = 0; k < keys.size(); k++) keyText += (k ? "," : "") + std::to_string(keys[k]);
    char line[4096];
    snprintf(line, sizeof line,
             "%s: %zu frame%s at %g fps%s%s%s, largest crop %dx%d; pictures %s-0000.jpg to %s-%04zu_m.jpg",
             out.c_str(), frames.size(), frames.size() == 1 ? "" : "s", fps, keys.empty() ? "" : ", keys ",
             keyText.c_str(), mv.loop ? (mv.pingPong ? ", ping-pong" : ", loop") : "", mv.maxCropWidth,
             mv.maxCropHeight, stem.c_str(), stem.c_str(), frames.size() - 1);
    QMPackReport report(args.Has("--json"));
    report.Text("file", out).Number("frames", double(frames.size())).Number("fps", fps).Numbers("keys", keys);
    report.Bool("loop", mv.loop).Bool("pingPong", mv.pingPong).Number("quality", quality);
    report.Number("cropWidth", mv.maxCropWidth).Number("cropHeight", mv.maxCropHeight);
    report.Number("pictures", double(2 * frames.size()));
    return report.Print(line) ? QMPACK_OK : qmpackFail("movie: cannot write the report");
}
