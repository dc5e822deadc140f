// The engine's rows of the bench table (bench/run prints them): each figure against a reference
// measured in the same run, as lines "name|value|reference|ratio|target|ok-or-MISS".
//   qmbench PACKAGE SCRATCH_DIR [ROW]   (ROW: only the rows whose name starts with it)
// Times are CPU time of the measuring thread, the best of several batches (the least disturbed
// by other work on the machine).
#include <fcntl.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "anim/anim.h"
#include "elements/smovie.h"
#include "image/devil.h"
#include "render/null_device.h"
#include "bench_content.h"
#include "anim/bezier.h"
#include "base/other.h"
#include "base/package.h"
#include "geometry/data.h"
#include "geometry/mesh.h"
#include "geometry/model.h"

namespace {

// CPU seconds of this thread (its user and system time): unlike the wall clock, it does not run
// on while other programs have the processor, which on a busy machine dominated the figures.
double localThreadSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// CPU seconds per call of f: the best of batches of calls, each batch at least minBatch seconds.
double localTime(const std::function<void()>& f, double minBatch = 0.05, int batches = 7) {
    double best = 1e30;
    int calls = 1;
    for (int b = 0; b < batches; b++) {
        for (;;) {
            const double start = localThreadSeconds();
            for (int i = 0; i < calls; i++) f();
            double s = localThreadSeconds() - start;
            if (s >= minBatch || calls > (1 << 28)) {
                if (s / calls < best) best = s / calls;
                break;
            }
            calls *= 2;
        }
    }
    return best;
}

void localRow(const char* name, const std::string& value, const std::string& reference, double ratio,
              const char* target, bool ok) {
    char r[32] = "-";
    if (ratio >= 0) snprintf(r, sizeof r, "%.2f", ratio);
    printf("%s|%s|%s|%s|%s|%s\n", name, value.c_str(), reference.c_str(), r, target, ok ? "ok" : "MISS");
    fflush(stdout);
}

std::string localFmt(const char* format, double v) {
    char s[64];
    snprintf(s, sizeof s, format, v);
    return s;
}

// A render environment that draws nothing: the engine's and the scene's own work of a frame,
// without a device.
class NullEnv : public FXNullDevice {
public:
    void Destroy() override {}
    bool StartLoop(PRender*) override { return true; }
    void StopLoop(double) override {}
    void Lock(bool) override {}
    bool RegisterLight(FXLight*) override { return true; }
    void UnregisterLight(FXLight*) override {}
    FXMaterial* GetDefaultMaterial() override { return nullptr; }
    FXMatlib* GetDefaultMatlib() override { return nullptr; }
    FXMatlib* LoadMatlib(const char*) override { return nullptr; }
    FXMatlib* LoadMatlibC(FXPackage*, const char*) override { return nullptr; }
    FXMatlib* LoadMatlibCN(FXPackage*, int) override { return nullptr; }
    void ReleaseMatlib(FXMatlib*) override {}
    void AddMaterial(FXMaterial*) override {}
    void ApplyDefaultMaterial() override {}
    void EnableTestingMaterial(bool) override {}
    void RenderLoop() override {}
};

// ---- counting allocator ----

// Every malloc, calloc and realloc of the process (operator new comes through malloc) is counted
// while counting is on: those made inside the image library or its JPEG decoder apart from the
// rest (the engine's and the scene's), told by the libraries on the call stack.
std::atomic<bool> localCounting{false};
std::atomic<long> localDecoderAllocations{0};
std::atomic<long> localOtherAllocations{0};

void localCount() {
    if (!localCounting.load(std::memory_order_relaxed)) return;
    static thread_local bool inside = false;  // backtrace and dladdr may allocate themselves
    if (inside) return;
    inside = true;
    void* frames[24];
    const int n = backtrace(frames, 24);
    bool decoder = false;
    for (int i = 1; i < n && !decoder; i++) {
        Dl_info info;
        if (dladdr(frames[i], &info) && info.dli_fname)
            decoder = strstr(info.dli_fname, "libIL") || strstr(info.dli_fname, "libjpeg");
    }
    (decoder ? localDecoderAllocations : localOtherAllocations)++;
    inside = false;
}

}  // namespace

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);

void* malloc(size_t n) {
    localCount();
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
    localCount();
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
    localCount();
    return __libc_realloc(p, n);
}
}

namespace {

// ---- a clip, frame by frame ----

// The scene's clip as it plays: a movie from the package, its two animation copies following
// its key frames, frame after frame on the controllable clock (the movie's own frame time), the
// movie starting again at its end. steady-allocs: heap allocations per frame after the first two
// seconds by the engine and the scene (the JPEG decoder's own are shown beside them);
// frame-engine: CPU time per frame (decoding the movie's pictures included), measured before the
// counting starts.
void localClipFrames(const char* packagePath) {
    FXPackage pck;
    pck.Load(packagePath);
    NullEnv env;
    fxLoadDevil();
    FXAnim a, b;
    SMovie m;
    a.LoadCN(&env, &pck, 94);
    b.LoadCN(&env, &pck, 94);
    for (FXAnim* x : {&a, &b}) {
        x->loop = x->pingPong = false;
        x->UpdateInterpolation(true, false);
    }
    m.LoadCN(&pck, 177);
    m.LoadIntoMem();
    m.waitFrame = false;
    m.loop = m.pingPong = false;
    m.animA = &a;
    m.animB = &b;
    if (m.GetFrameCount() <= 0 || a.GetFrameCount() <= 0) {
        localRow("frame-engine", "no clip in the package", "-", -1, "< 1 ms", false);
        localRow("steady-allocs", "no clip in the package", "-", -1, "0", false);
        return;
    }
    fxUseManualClock(100.0);
    const double step = m.frameDuration > 0.0 ? m.frameDuration + 0.001 : 0.041;
    m.Restart(fxGetTime());
    auto frame = [&] {
        const double t = fxGetTime();
        m.Prepare(&env, -1);
        m.OnRender0(&env, t);
        a.OnRender(&env, t);
        b.OnRender(&env, t);
        m.OnRender1(&env, t);
        m.Prepare(&env, -1);
        if (m.prepared.Count() <= 1) m.Restart(t);
        fxAdvanceClock(step);
    };
    const int warm = int(2.0 / step) + 1, frames = 400;
    for (int i = 0; i < warm; i++) frame();
    const double start = localThreadSeconds();
    for (int i = 0; i < frames; i++) frame();
    const double cpu = (localThreadSeconds() - start) / frames;
    void* warmUp[4];
    backtrace(warmUp, 4);  // loads what backtrace needs before counting starts
    localCounting = true;
    for (int i = 0; i < frames; i++) frame();
    localCounting = false;
    fxUseSystemClock();
    const double allocs = double(localOtherAllocations.load()) / frames;
    const double decoder = double(localDecoderAllocations.load()) / frames;
    localRow("frame-engine", localFmt("%.3f ms/frame", cpu * 1e3), "no device", -1, "< 1 ms", cpu < 1e-3);
    localRow("steady-allocs", localFmt("%.2f allocations/frame", allocs),
             localFmt("%.1f in the image library's decoder", decoder), -1, "0", allocs == 0.0);
    m.Destroy();
    a.Destroy();
    b.Destroy();
}

// ---- interpolation ----

const int kAnimVertices = 100000;
const int kAnimFrames = 10;

void localAnimBuild(FXAnim* a) {
    qmBenchAnimation(a, kAnimVertices, kAnimFrames, false);
    a->SetActFrames(3, 4);
}

// The streaming reference: the same bytes read per vertex (a cubic segment record: target
// pointer, nine coefficients, start point, for the position and for the normal) and the same
// bytes written (both fields of the vertex), with the same arithmetic.
struct localRefRecord {
    float* out;
    float coef[9];
    float p0[3];
};

void localRefEvaluate(const std::vector<localRefRecord>& records, float t) {
    const float t2 = t * t, t3 = t2 * t;
    for (const localRefRecord& r : records) {
        float* o = r.out;
        o[0] = r.coef[0] * t3 + r.coef[1] * t2 + r.coef[2] * t + r.p0[0];
        o[1] = r.coef[3] * t3 + r.coef[4] * t2 + r.coef[5] * t + r.p0[1];
        o[2] = r.coef[6] * t3 + r.coef[7] * t2 + r.coef[8] * t + r.p0[2];
    }
}

void localInterpolation() {
    FXAnim a;
    localAnimBuild(&a);
    float phase = 0.0f;
    double engine = localTime([&] {
        a.SetActPhase(phase);
        phase = phase < 0.99f ? phase + 0.01f : 0.0f;
    });
    std::vector<tagFXVertex> vertices(kAnimVertices);
    std::vector<localRefRecord> records(size_t(kAnimVertices) * 2);
    for (int i = 0; i < kAnimVertices; i++) {
        for (int f = 0; f < 2; f++) {
            localRefRecord& r = records[size_t(i) * 2 + f];
            r.out = f ? vertices[i].normal : vertices[i].pos;
            for (float& c : r.coef) c = float(fxGetRandom());
            for (float& c : r.p0) c = float(fxGetRandom());
        }
    }
    float t = 0.0f;
    double reference = localTime([&] {
        localRefEvaluate(records, t);
        t = t < 0.99f ? t + 0.01f : 0.0f;
    });
    double e = engine * 1e9 / kAnimVertices, r = reference * 1e9 / kAnimVertices;
    localRow("interpolation", localFmt("%.2f ns/vertex", e), localFmt("%.2f ns/vertex streaming", r), e / r,
             "<= 3 x", e <= 3 * r);
}

// ---- vector maps ----


// ns per corner of decoding a cols x cols grid from its vector map.
double localDecodeCorner(int cols) {
    FXMesh source;
    qmBenchGrid(&source, cols);
    FXVectorMap map;
    FXNumPool pool(800000);
    source.ToVMap(&map, &pool, nullptr, 0, nullptr);
    FXMesh decoded;
    decoded.CopyMeshI(&source);
    double s = localTime([&] {
        decoded.vertexCount = source.vertexCount;
        decoded.indexCount = source.indexCount;
        decoded.FromVMap(&map, &pool);
    });
    return s * 1e9 / source.indexCount;
}

double localEncode(int cols) {
    FXMesh source;
    qmBenchGrid(&source, cols);
    return localTime(
        [&] {
            FXVectorMap map;
            FXNumPool pool(800000);
            source.ToVMap(&map, &pool, nullptr, 0, nullptr);
        },
        0.05, 3);
}

void localVMap() {
    double small = localDecodeCorner(8), mid = localDecodeCorner(32), large = localDecodeCorner(96);
    localRow("vmap-decode", localFmt("%.1f ns/corner at 96x96", large) + localFmt(", %.1f at 32x32", mid),
             localFmt("%.1f ns/corner at 8x8", small), large / small, "<= 1.5 x", large <= 1.5 * small);
    double e8 = localEncode(8), e32 = localEncode(32);
    localRow("vmap-encode", localFmt("%.3f ms at 8x8", e8 * 1e3),
             localFmt("%.1f ns/corner at 32x32", e32 * 1e9 / (32 * 32 * 6)), -1, "< 0.1 ms", e8 < 1e-4);
}

// ---- package load ----

// Writes a package of about 64 MB (64 entries of 1 MB) into dir; its path.
std::string localBigPackage(const std::string& dir, bool transposed) {
    FXPackage p;
    std::vector<unsigned char> bytes(1 << 20);
    fxSrand(9);
    for (int i = 0; i < 64; i++) {
        for (unsigned char& b : bytes) b = (unsigned char)(fxGetRandom() * 256.0);
        std::string entry = dir + "/entry" + std::to_string(i) + ".bin";
        FILE* f = fopen(entry.c_str(), "wb");
        if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return "";
        fclose(f);
        p.AddDataFile(1000 + i, entry.c_str());
    }
    std::string path = dir + (transposed ? "/big-transposed.dat" : "/big.dat");
    bool saved = p.Save(path.c_str(), transposed ? 1 : 0);
    for (int i = 0; i < 64; i++) unlink((dir + "/entry" + std::to_string(i) + ".bin").c_str());
    return saved ? path : "";
}

// One read of the whole file into a new block, as any loader starts.
double localReadFile(const std::string& path) {
    return localTime(
        [&] {
            int fd = open(path.c_str(), O_RDONLY);
            if (fd < 0) return;
            size_t size = size_t(lseek(fd, 0, SEEK_END));
            lseek(fd, 0, SEEK_SET);
            char* block = static_cast<char*>(malloc(size));
            size_t at = 0;
            while (block && at < size) {
                ssize_t n = read(fd, block + at, size - at);
                if (n <= 0) break;
                at += size_t(n);
            }
            free(block);
            close(fd);
        },
        0.2, 5);
}

void localPackageLoad(const std::string& dir) {
    for (int transposed = 0; transposed < 2; transposed++) {
        std::string path = localBigPackage(dir, transposed != 0);
        const char* name = transposed ? "package-load-transposed" : "package-load";
        if (path.empty()) {
            localRow(name, "not written", "-", -1, "-", false);
            continue;
        }
        double plain = localReadFile(path);
        bool loaded = true;
        double load = localTime(
            [&] {
                FXPackage p;
                p.Load(path.c_str());
                loaded = loaded && p.GetCount() == 64;
            },
            0.2, 5);
        unlink(path.c_str());
        double limit = transposed ? 3.0 : 1.5;
        localRow(name, localFmt("%.1f ms", load * 1e3) + (loaded ? "" : " (refused)"),
                 localFmt("%.1f ms read", plain * 1e3), load / plain, transposed ? "<= 3 x" : "<= 1.5 x",
                 loaded && load <= limit * plain);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: qmbench PACKAGE SCRATCH_DIR [ROW]\n");
        return 2;
    }
    const std::string only = argc == 4 ? argv[3] : "";
    auto wanted = [&](const char* row) { return only.empty() || std::string(row).rfind(only, 0) == 0 || only.rfind(row, 0) == 0; };
    if (wanted("interpolation")) localInterpolation();
    if (wanted("vmap")) localVMap();
    if (wanted("package-load")) localPackageLoad(argv[2]);
    if (wanted("frame-engine") || wanted("steady-allocs")) localClipFrames(argv[1]);
    return 0;
}
