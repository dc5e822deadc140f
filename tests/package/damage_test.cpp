// Damaged packages: every cut of a valid file and random bit flips in its tables must load as
// an empty package or as entries that lie inside the data area. Run under ASan as well.
#include <gtest/gtest.h>

#include <random>

#include "base/package.h"
#include "support/package_bytes.h"
#include "support/test_support.h"

namespace {

std::vector<unsigned char> localSample(const char* sig) {
    QmBytes body;
    body.Table({1, 2, 30, 4}).Table({0, 7, 16, 32}).Table({7, 9, 16, 3}).Table({-1, 1066, -1, 1061});
    body.Int(3).Text("xm0");           // entry 1: a record with a short string
    body.Int(2).Int(11).Text("z");     // entry 2
    body.Int(-9).Int(500).Int(1).Text("abcd");  // entry 30: counts that lie
    body.Text("png");                  // entry 4
    std::vector<unsigned char> b = body.bytes;
    QmBytes out;
    out.Sig(sig);
    if (std::string(sig).find('s') != std::string::npos) {
        std::vector<unsigned char> t(b.size());
        fxPackageTranspose(t.data(), b.data(), int(b.size()));
        b = t;
    }
    out.bytes.insert(out.bytes.end(), b.begin(), b.end());
    return out.bytes;
}

// Checks what a loaded package hands out and reads every entry with every primitive.
void localCheckAndReadAll(FXPackage& p) {
    if (p.IsEmpty()) {
        EXPECT_EQ(p.EntryAt(0), nullptr);
        return;
    }
    EXPECT_EQ(p.EntryAt(p.GetCount()), nullptr);
    for (int i = 0; i < p.GetCount(); i++) {
        FXPackageData* d = p.EntryAt(i);
        if (!d) continue;
        ASSERT_GE(d->start, p.Data());
        ASSERT_LE(d->start + d->size, p.Data() + p.DataLength());
        for (int kind = 0; kind < 6; kind++) {
            d->Reseek();
            FXStr s;
            FXArray a;
            FXStrArray sa;
            float f4[4];
            unsigned char copy[3];
            for (int guard = 0; d->remaining > 0 && guard < 64; guard++) {
                int before = d->remaining;
                switch (kind) {
                    case 0: d->ReadInt(); break;
                    case 1: d->ReadString(&s); break;
                    case 2: d->ReadArray(&a); break;
                    case 3: d->ReadStringArray(&sa); break;
                    case 4: d->ReadFloat4(f4); d->ReadDouble(); break;
                    case 5: d->ReadCopyBlc(copy, 3); break;
                }
                d->ReadBool();
                ASSERT_LE(d->remaining, before);
                ASSERT_GE(d->remaining, 0);
                ASSERT_EQ(d->current, d->start + (d->size - d->remaining));
            }
        }
    }
}

}  // namespace

TEST(FXPackageDamage, EveryTruncationLoadsSafely) {
    for (const char* sig : {"pck01", "pck01s"}) {
        std::vector<unsigned char> full = localSample(sig);
        FXPackage whole;
        whole.LoadFromMemory(full.data(), long(full.size()));
        ASSERT_EQ(whole.GetCount(), 4) << sig;
        localCheckAndReadAll(whole);

        for (size_t len = 0; len < full.size(); len++) {
            // An exact-size heap copy, so ASan sees any read past the cut.
            std::vector<unsigned char> cut(full.begin(), full.begin() + long(len));
            FXPackage p;
            p.LoadFromMemory(cut.empty() ? nullptr : cut.data(), long(len));
            localCheckAndReadAll(p);
            // A plain cut inside the last entry keeps the table; that entry is refused.
            if (!strcmp(sig, "pck01") && len >= full.size() - 3) {
                EXPECT_EQ(p.GetCount(), 4);
                EXPECT_EQ(p.GetDataPtr(4), nullptr);
                EXPECT_NE(p.GetDataPtr(1), nullptr);
            }
        }
    }
    std::string path = qmTestPath("pkg_cut.dat");
    std::vector<unsigned char> full = localSample("pck01");
    for (long len : {0, 3, 7, 20}) {  // cut inside the length, the signature, the tables
        qmWriteFile(path, std::vector<unsigned char>(full.begin(), full.begin() + len));
        FXPackage p;
        p.Load(path.c_str());
        EXPECT_TRUE(p.IsEmpty());
    }
}

TEST(FXPackageDamage, BitFlipsInTheTablesNeverReadOutside) {
    std::mt19937 rng(20240611u);
    for (const char* sig : {"pck01", "pck01s"}) {
        std::vector<unsigned char> full = localSample(sig);
        size_t sigEnd = 4 + strlen(sig);
        size_t tablesEnd = sigEnd + 4 * 20;
        for (int round = 0; round < 2000; round++) {
            std::vector<unsigned char> b = full;
            int flips = 1 + int(rng() % 4);
            for (int k = 0; k < flips; k++) {
                // Plain packages: flip inside the tables; transposed: anywhere in the body.
                size_t span = (!strcmp(sig, "pck01") ? tablesEnd : b.size()) - sigEnd;
                size_t at = sigEnd + rng() % span;
                b[at] ^= (unsigned char)(1u << (rng() % 8));
            }
            FXPackage p;
            p.LoadFromMemory(b.data(), long(b.size()));
            localCheckAndReadAll(p);
            if (HasFatalFailure()) return;
        }
    }
}

// A plain package file is read table by table and its data area straight into place: every cut
// and flipped table bit loads from the file exactly as from memory.
TEST(FXPackageDamage, PlainFilesLoadLikeTheSameBytesInMemory) {
    std::vector<unsigned char> full = localSample("pck01");
    std::string path = qmTestPath("pkg_plain_file.dat");
    std::mt19937 rng(7u);
    for (size_t round = 0; round < full.size() + 300; round++) {
        std::vector<unsigned char> b = full;
        if (round < full.size()) {
            b.resize(round);
        } else {
            size_t at = 4 + strlen("pck01") + rng() % (4 * 20);
            b[at] ^= (unsigned char)(1u << (rng() % 8));
        }
        qmWriteFile(path, b);
        FXPackage fromFile, fromMemory;
        fromFile.Load(path.c_str());
        fromMemory.LoadFromMemory(b.empty() ? nullptr : b.data(), long(b.size()));
        localCheckAndReadAll(fromFile);
        ASSERT_EQ(fromFile.GetCount(), fromMemory.GetCount()) << round;
        ASSERT_EQ(fromFile.DataLength(), fromMemory.DataLength()) << round;
        for (int i = 0; i < fromFile.GetCount(); i++) {
            const int id = fromFile.IdAt(i);
            EXPECT_EQ(id, fromMemory.IdAt(i)) << round;
            FXPackageData* a = fromFile.GetDataPtr(id);
            FXPackageData* m = fromMemory.GetDataPtr(id);
            ASSERT_EQ(a == nullptr, m == nullptr) << round;
            if (a) {
                ASSERT_EQ(a->remaining, m->remaining) << round;
                EXPECT_EQ(memcmp(a->current, m->current, size_t(a->remaining)), 0) << round;
            }
        }
    }
}
