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
#include "image/picture_header.h"
#include "progress.h"
#include "qmpack.h"
#include "report.h"
#include "scratch.h"

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
    fxCloseInput(fd);
    *kind = fxSniffPicture(head, got > 0 ? size_t(got) : 0);
    if (kind->empty() && fxExtOf(file) == "tga") *kind = "tga";
    if (kind->empty()) return qmpackRefuse("%s: not a picture (PNG, JPEG, GIF, BMP or TGA)", file.c_str());
    return true;
}

// Removes the pictures an earlier, longer movie of the same name left beside it: STEM-NNNN.jpg and
// STEM-NNNN_m.jpg from frame number frames on.
void localRemoveStaleFrames(const std::string& stem, size_t frames) {
    std::string dir = fxDirOf(stem), prefix = fxBaseOf(stem) + "-";
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

// One movie in the making: what the command line asks for, the outputs it claims and the movie.
struct LocalMovie {
    std::string out;
    std::string stem;                        // OUT without its extension: the pictures' names start with it
    std::vector<std::string> frames, kinds;  // the frame pictures and their kinds ("png", "jpg", ...)
    double fps = 0.0;
    int quality = kDefaultQuality;
    std::vector<int> keys;
    bool loop = false, pingPong = false;
    QMPackOutput record;
    std::vector<std::unique_ptr<QMPackOutput>> pictures;  // colour, mask, colour, mask, ...
    QMPackScratch scratch;
    QMPackProgress progress;
    SMovie mv;
};

// The options; a value an option cannot take is wrong usage.
int localParseOptions(const QMPackArgs& args, LocalMovie* x) {
    x->out = args.Value("-o");
    x->frames = args.positional;
    std::string fpsText = args.Value("--fps");
    char* end = nullptr;
    x->fps = strtod(fpsText.c_str(), &end);
    if (fpsText.empty() || *end || !(x->fps > 0.0 && x->fps <= 1000.0))
        return qmpackBadValue("movie: --fps takes frames per second above 0 and at most 1000, not '%s'",
                              fpsText.c_str());
    if (args.Has("--quality") &&
        (!qmpackParseNumber(args.Value("--quality"), &x->quality) || x->quality < 1 || x->quality > 100))
        return qmpackBadValue("movie: --quality takes a JPEG quality from 1 to 100, not '%s'",
                              args.Value("--quality").c_str());
    if (args.Has("--keys") && !localParseKeys(args.Value("--keys"), int(x->frames.size()), &x->keys))
        return QMPACK_USAGE;
    x->pingPong = args.Has("--ping-pong");
    x->loop = args.Has("--loop") || x->pingPong;
    if (fxExtOf(x->out) != "xs")
        qmpackWarn("%s: a movie file is named .xs, which 'build' compiles", x->out.c_str());
    return QMPACK_OK;
}

// Checks the frames and claims the movie file and its pictures beside it, named after it; none
// may replace a frame.
int localClaimOutputs(LocalMovie* x) {
    std::vector<QMPackInput> inputs;
    x->kinds.resize(x->frames.size());
    for (size_t i = 0; i < x->frames.size(); i++) {
        if (!localCheckFrame(x->frames[i], &x->kinds[i])) return QMPACK_FAILED;
        inputs.push_back({x->frames[i], "frame " + std::to_string(i)});
    }
    std::string ext = fxExtOf(x->out);
    x->stem = x->out.substr(0, x->out.size() - (ext.empty() ? 0 : ext.size() + 1));
    if (!x->record.Open(x->out, inputs, false)) return QMPACK_FAILED;
    for (size_t i = 0; i < x->frames.size(); i++) {
        char number[32];
        snprintf(number, sizeof number, "-%04zu", i);
        for (const char* suffix : {".jpg", "_m.jpg"}) {
            x->pictures.emplace_back(new QMPackOutput);
            if (!x->pictures.back()->Open(x->stem + number + suffix, inputs, false)) return QMPACK_FAILED;
        }
    }
    return QMPACK_OK;
}

// Why the movie's save refused the frames: a frame it could not decode is named by its source,
// not by its copy.
int localCropFailure(const LocalMovie& x, const std::vector<FXError>& errors, int error) {
    if (!errors.empty() && errors.front().code == FX_ERR_PICTURE)
        for (size_t i = 0; i < x.frames.size(); i++)
            if (errors.front().subject == x.mv.colorNames.Get(int(i)))
                return qmpackFail("%s: cannot be decoded (a damaged or cut-short picture)", x.frames[i].c_str());
    std::string reason = errors.empty() ? "" : errors.front().Text();
    return qmpackFail("%s: the frames could not be cropped (%s)", x.out.c_str(),
                      !reason.empty() ? reason.c_str()
                      : error         ? strerror(error)
                                      : "unknown reason");
}

// The movie crops copies in the scratch folder: its save writes the JPEG pairs beside the
// pictures it reads.
int localCrop(LocalMovie* x) {
    if (!fxLoadDevil())
        return qmpackFail("movie: the picture library DevIL (%s) cannot be loaded; it is needed to crop and encode "
                          "the frames (Debian: apt-get install libdevil1c2)",
                          fxDevilPlatformName());
    FXCanvas().SetJpegQuality(x->quality);  // the decoder's setting for every picture saved from here on
    if (!x->scratch.Create()) return QMPACK_FAILED;
    x->progress.Start(x->frames.size() > 50, "cropping " + std::to_string(x->frames.size()) + " frames", 2);
    x->progress.Step(0, "copying frames");
    SMovie& mv = x->mv;
    for (size_t i = 0; i < x->frames.size(); i++) {
        char name[64];
        snprintf(name, sizeof name, "/frame%04zu.%s", i, x->kinds[i] == "jpg" ? "jpeg" : x->kinds[i].c_str());
        std::string copy = x->scratch.Dir() + name, why;
        qmpackTrackTemp(copy);
        if (!localCopy(x->frames[i], copy, &why))
            return qmpackFail("%s: cannot copy (%s)", x->frames[i].c_str(), why.c_str());
        mv.colorNames.Push(copy.c_str());
    }
    mv.compiled = false;  // each frame is one picture whose alpha is the mask
    mv.saved = false;
    mv.frameDuration = 1.0 / x->fps;
    mv.pingPong = x->pingPong;
    mv.loop = x->loop;
    mv.keyed = !x->keys.empty();
    for (int k : x->keys) mv.keyFrames.PushInt(k);
    x->progress.Step(1, "cropping");
    std::string cropped = x->scratch.NewPath(".xs");
    x->scratch.TakeEngineErrors();
    errno = 0;
    if (!mv.Save(cropped.c_str())) {
        int error = errno;  // before anything else can change it
        x->progress.Clear();
        return localCropFailure(*x, x->scratch.TakeEngineErrors(), error);
    }
    for (int i = 0; i < mv.GetFrameCount(); i++) {
        qmpackTrackTemp(mv.colorNames.Get(i));
        qmpackTrackTemp(mv.maskNames.Get(i));
    }
    return QMPACK_OK;
}

// The pairs to their places (temporary files beside OUT until committed); the movie names them
// from OUT's folder.
int localPlacePairs(LocalMovie* x) {
    for (int i = 0; i < x->mv.GetFrameCount(); i++) {
        FXStrArray* lists[2] = {&x->mv.colorNames, &x->mv.maskNames};
        for (int k = 0; k < 2; k++) {
            QMPackOutput* pic = x->pictures[size_t(2 * i + k)].get();
            std::string why;
            if (!localCopy(lists[k]->Get(i), pic->TempPath(), &why))
                return qmpackFail("%s: cannot write (%s)", pic->Path().c_str(), why.c_str());
            lists[k]->Change(i, fxAbsolutePath(pic->Path()).c_str());
        }
    }
    return QMPACK_OK;
}

// Writes the movie file, which names its pictures from its own folder (OUT's), then puts every
// picture in place before the record that names them; no signal comes between.
int localWrite(LocalMovie* x) {
    std::string recordTemp = fxAbsolutePath(x->record.TempPath());
    errno = 0;
    bool written = x->mv.Save(recordTemp.c_str());
    int error = errno;
    if (!written)
        return qmpackFail("%s: cannot write the movie (%s)", x->out.c_str(), error ? strerror(error) : "write error");
    {
        QMPackCommitGuard guard;
        for (auto& pic : x->pictures)
            if (!pic->Commit()) return QMPACK_FAILED;
        if (!x->record.Commit()) return QMPACK_FAILED;
    }
    localRemoveStaleFrames(x->stem, x->frames.size());
    x->progress.Finish("wrote " + x->out);
    return QMPACK_OK;
}

int localReport(const LocalMovie& x, bool json) {
    std::string keyText;
    for (size_t k = 0; k < x.keys.size(); k++) keyText += (k ? "," : "") + std::to_string(x.keys[k]);
    size_t frames = x.frames.size();
    char line[4096];
    snprintf(line, sizeof line,
             "%s: %zu frame%s at %g fps%s%s%s, largest crop %dx%d; pictures %s-0000.jpg to %s-%04zu_m.jpg",
             x.out.c_str(), frames, frames == 1 ? "" : "s", x.fps, x.keys.empty() ? "" : ", keys ", keyText.c_str(),
             x.loop ? (x.pingPong ? ", ping-pong" : ", loop") : "", x.mv.maxCropWidth, x.mv.maxCropHeight,
             x.stem.c_str(), x.stem.c_str(), frames - 1);
    QMPackReport report(json);
    report.Text("file", x.out).Number("frames", double(frames)).Number("fps", x.fps).Numbers("keys", x.keys);
    report.Bool("loop", x.loop).Bool("pingPong", x.pingPong).Number("quality", x.quality);
    report.Number("cropWidth", x.mv.maxCropWidth).Number("cropHeight", x.mv.maxCropHeight);
    report.Number("pictures", double(2 * frames));
    return report.Print(line) ? QMPACK_OK : qmpackFail("movie: cannot write the report");
}

}  // namespace

int qmpackMovie(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("movie", argc, argv, {"-o", "--fps", "--keys", "--quality"}, {"--loop", "--ping-pong", "--json"}))
        return QMPACK_USAGE;
    if (args.positional.empty() || !args.Has("-o") || !args.Has("--fps")) return qmpackUsage("movie");
    LocalMovie x;
    if (int status = localParseOptions(args, &x)) return status;
    if (int status = localClaimOutputs(&x)) return status;
    if (int status = localCrop(&x)) return status;
    if (int status = localPlacePairs(&x)) return status;
    if (int status = localWrite(&x)) return status;
    return localReport(x, args.Has("--json"));
}
