// Fuzzes the compact mesh storage readers: arbitrary bytes are read, from a package entry and from
// a file, as a vector map record followed by a number pool record (the layout a compact model
// stores). The corner stream is then decoded against the map the way a mesh rebuilds itself, every
// vector a corner names is fetched, and a map that loaded is written and read back: the same counts
// must return. The sanitizers catch any read outside a record.
#include <cmath>
#include <cstdlib>

#include "fuzz_input.h"
#include "geometry/data.h"

namespace {

volatile float localSink;

void localDecode(FXVectorMap* map, FXNumPool* pool) {
    map->MangleNorm(false);
    map->ManglePos(false);
    map->MangleTex(false);
    map->SizeUsed();
    map->ClearUsed();
    FXCornerCoder coder;
    pool->Reseek();
    float v[3];
    for (int k = 0; k < 1 << 16; k++) {
        int idx[3];
        if (!coder.Read(pool, idx)) break;
        map->GetVecPos(idx[0], v);
        map->GetVecNorm(idx[1], v);
        map->GetVecTex(idx[2], v);
        localSink = v[0];
        if (idx[0] < 0 || idx[0] >= map->posCount || idx[1] < 0 || idx[1] >= map->normCount || idx[2] < 0 ||
            idx[2] >= map->texCount)
            continue;
        if (map->GetUsed(idx[0], idx[1], idx[2]) == -1) map->PushUsed(idx[0], idx[1], idx[2], k);
    }
}

void localRoundTrip(const FXVectorMap& map, const FXNumPool& pool) {
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    if (!f) return;
    bool saved = map.Save(f) && pool.Save(f);
    fclose(f);
    FILE* r = saved ? fmemopen(buf, len, "rb") : nullptr;
    if (r) {
        FXVectorMap back;
        FXNumPool backPool;
        if (!back.Load(r) || !backPool.Load(r) || back.posCount != map.posCount || back.normCount != map.normCount ||
            back.texCount != map.texCount || backPool.size != pool.size)
            abort();
        fclose(r);
    }
    free(buf);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FXPackage pkg;
    qmFuzzPackage(&pkg, data, size);
    {
        FXVectorMap map;
        FXNumPool pool;
        FXPackageData* d = pkg.GetDataPtr(0);
        if (map.LoadC(&pkg, d)) {
            localRoundTrip(map, pool);
            if (pool.LoadC(&pkg, d)) localDecode(&map, &pool);
        }
    }
    if (FILE* f = qmFuzzStream(data, size)) {
        FXVectorMap map;
        FXNumPool pool;
        if (map.Load(f) && pool.Load(f)) {
            localRoundTrip(map, pool);
            localDecode(&map, &pool);
        }
        fclose(f);
    }
    return 0;
}
