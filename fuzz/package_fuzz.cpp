// Fuzzes the package reader: arbitrary bytes are loaded as a package, then every entry is read
// with every cursor primitive, in a fixed pass per kind and in a mix steered by the input, and
// the writing primitives are run on a scratch cursor. The sanitizers catch any read or write
// outside the data area.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/binio.h"
#include "base/package.h"

namespace {

// Touches every byte of a block the cursor handed out, so a block outside the data area shows.
unsigned localTouch(const void* p, int len) {
    unsigned sum = 0;
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (int i = 0; p && i < len; i++) sum += b[i];
    return sum;
}

// Items the array reads of one input may produce: a damaged count pads up to a million items,
// and a few hundred such reads per input would starve the search for new paths.
int64_t localArrayBudget;

// One read of the given kind; returns a value so the reads are not optimised away.
unsigned localRead(FXPackageData* d, int kind, int len) {
    if (kind % 12 >= 8 && kind % 12 <= 10 && d->remaining >= 4) {
        int count = int(fxGetI32(d->current));
        if (count > 0 && count > localArrayBudget) return unsigned(d->ReadInt());
        if (count > 0) localArrayBudget -= count;
    }
    static FXStr s;
    static FXArray a;
    static FXFloatArray fa;
    static FXStrArray sa;
    float f4[4] = {0, 0, 0, 0};
    unsigned char copy[64];
    switch (kind % 12) {
        case 0: return d->ReadBool();
        case 1: return unsigned(d->ReadInt());
        case 2: return d->ReadFloat() > 0.0f;
        case 3: return d->ReadDouble() > 0.0;
        case 4: d->ReadFloat4(f4); return f4[0] > 0.0f;
        case 5: return localTouch(d->ReadBlc(len), len);
        case 6: {
            int n = len % int(sizeof(copy) + 1);
            const void* p = d->ReadCopyBlc(copy, n);
            return p ? localTouch(p, n) + localTouch(copy, n) : 0;
        }
        case 7: d->ReadString(&s); return unsigned(s.len) + localTouch(s.text, s.len);
        case 8: d->ReadArray(&a); return unsigned(a.top);
        case 9: d->ReadFloatArray(&fa); return unsigned(fa.top);
        case 10: {
            d->ReadStringArray(&sa);
            unsigned sum = 0;
            for (int i = 0; i < sa.top && i < 64; i++) sum += unsigned(strlen(sa.Get(i)));
            return sum;
        }
        default: {
            int id = 0;
            return fxParseEntryName(s.text, &id) ? unsigned(id) : 0;
        }
    }
}

volatile unsigned localSink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FXPackage p;  // reused, so reloading over a previous package is exercised too
    p.LoadFromMemory(data, long(size));
    unsigned sink = 0;
    localArrayBudget = 1 << 18;

    for (int i = 0; i < p.GetCount(); i++) {
        int id = p.IdAt(i);
        sink += unsigned(p.GetDataType(id));
        FXPackageData* d = p.GetDataPtr(id);
        if (!d) continue;
        // Every kind alone, from the start to the end of the entry.
        for (int kind = 0; kind < 12; kind++) {
            d->Reseek();
            for (int step = 0; step < 256 && d->remaining > 0; step++) {
                int before = d->remaining;
                sink += localRead(d, kind, step % 9);
                if (kind != 5 && kind != 6 && d->remaining == before) sink += d->ReadBool();
            }
        }
        // A mix steered by the entry's own bytes.
        d = p.GetDataPtr(id);
        for (int step = 0; step < 256 && d->remaining > 0; step++) {
            int kind = d->current[0];
            int len = d->remaining > 1 ? d->current[1] : 0;
            sink += localRead(d, kind, len);
            d->ReadBool();
        }
    }

    // The writing primitives on a scratch cursor, sized by the input.
    unsigned char scratch[64];
    memset(scratch, 0, sizeof(scratch));
    FXPackageData w;
    w.InitData(scratch, int(size % sizeof(scratch)));
    FXArray items;
    for (int i = 0; i < p.GetCount() && i < 20; i++) items.PushInt(p.IdAt(i));
    w.WriteArray(&items);
    w.WriteInt(int(size));
    FXPackageData r;
    r.InitData(scratch, int(size % sizeof(scratch)));
    FXArray back;
    r.ReadArray(&back);
    sink += unsigned(back.top);

    localSink = sink;
    return 0;
}
