// Errors as values: the loaders' err records reach the thread's innermost error capture with
// their kind, while the trace log keeps the same lines; warnings do not fail a load; captures
// keep to their own thread and their own lifetime.
#include "base/errors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/binio.h"
#include "base/package.h"
#include "base/trace.h"
#include "elements/smovie.h"
#include "geometry/model.h"
#include "image/image_test_util.h"
#include "image/matlib.h"
#include "support/test_support.h"

namespace {

// A package body of four tables (ids, offsets, sizes, types) after the "pck01" signature.
std::vector<unsigned char> localPackage(const std::vector<std::vector<int32_t>>& tables) {
    std::vector<unsigned char> b(9);
    fxPutI32(b.data(), 5);
    memcpy(b.data() + 4, "pck01", 5);
    for (const std::vector<int32_t>& t : tables) {
        std::vector<int32_t> all{int32_t(t.size())};
        all.insert(all.end(), t.begin(), t.end());
        for (int32_t v : all) {
            b.resize(b.size() + 4);
            fxPutI32(b.data() + b.size() - 4, v);
        }
    }
    return b;
}

}  // namespace

TEST(ErrorCapture, DamagedInputGivesItsKindAndTheLoggedText) {
    std::string mtl = qmTestPath("errors_unknown.mtl");
    qmWriteText(mtl, "newmtl skin\nnbogus 1 2\nKd 1 0 0\n");
    std::string model = qmTestPath("errors_cut.xm");
    // A model file whose mesh count is far beyond its size: its loader says so only in the error.
    qmWriteFile(model, {4, 0, 0, 0, 'x', 'm', '0', '3', 1, 0, 0, 0, 'm', 0, 0, 0, 0, 0x40, 0x42, 0x0f, 0});
    std::string noMovie = qmTestPath("errors_no_such_movie.xs");
    remove(noMovie.c_str());

    std::vector<FXError> kept;
    bool mtlLoaded = false, packageLoaded = true, movieLoaded = true;
    qmTraced([&] {
        FXErrorCapture capture;
        FXMatlib lib;
        mtlLoaded = lib.LoadFromMtl(nullptr, mtl.c_str());
        std::vector<unsigned char> bad = localPackage({{1, 2}, {0}, {0}, {-1}});  // two ids, one offset
        FXPackage pkg;
        pkg.LoadFromMemory(bad.data(), long(bad.size()));
        packageLoaded = pkg.GetCount() > 0;
        FXModel m;
        m.Load(nullptr, model.c_str());
        SMovie mv;
        movieLoaded = mv.Load(noMovie.c_str());
        kept = capture.Take();
    });

    // The library with a word its reader does not know loads; the package and the movie fail.
    EXPECT_TRUE(mtlLoaded);
    EXPECT_FALSE(packageLoaded);
    EXPECT_FALSE(movieLoaded);
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[0].code, FX_WARN_UNKNOWN_TOKEN);
    EXPECT_TRUE(kept[0].IsWarning());
    EXPECT_EQ(kept[0].origin, "FXMatlib::LoadFromMtl");
    EXPECT_EQ(kept[0].what, "unknown token(0): nbogus  in lib:" + mtl);
    EXPECT_EQ(kept[1].code, FX_ERR_DAMAGED);
    EXPECT_FALSE(kept[1].IsWarning());
    EXPECT_EQ(kept[1].Text(), "package refused: damaged entry tables (counts 2/1/1/1)");
    EXPECT_EQ(kept[2].code, FX_ERR_DAMAGED);
    EXPECT_EQ(kept[2].Text(), "model 'm' refused: 1000000 meshes do not fit the record");
    EXPECT_EQ(kept.back().code, FX_ERR_IO);
    EXPECT_EQ(kept.back().subject, noMovie);
    EXPECT_EQ(kept.back().Text(), "movie file " + noMovie + " could not be read");

    // Every value is a line of the log, in the same order and with the same words.
    std::vector<std::string> logged;
    for (const std::string& m : qmiTraceMessages(qmTestPath("trace.log")))
        if (m.compare(0, 2, "E:") == 0) logged.push_back(m.substr(2, m.size() - 3));  // without "E:" and the line end
    ASSERT_EQ(logged.size(), kept.size());
    for (size_t i = 0; i < kept.size(); i++) EXPECT_EQ(logged[i], kept[i].Text());
}

TEST(ErrorCapture, WarningsAloneDoNotFailAndPlainErrorsAreKeptWhole) {
    FXErrorCapture capture;
    err({FX_WARN_UNKNOWN_TOKEN, "reader"}, "unknown token(1): %s\n", "nx");
    EXPECT_FALSE(capture.Failed());
    err("plain %d\n", 7);
    EXPECT_TRUE(capture.Failed());
    std::string big(5000, 'b');
    err("%s\n", big.c_str());
    std::string shown = qmShownErrors([] { errmsg("shown %s\n", "too"); });
    EXPECT_EQ(shown, "Error: shown too\n");

    std::vector<FXError> kept = capture.Take();
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[0].Text(), "reader -> unknown token(1): nx");
    EXPECT_EQ(kept[1].code, FX_ERR_OTHER);
    EXPECT_EQ(kept[1].Text(), "plain 7");
    EXPECT_EQ(kept[2].what, std::string(4096, 'b'));  // cut as the log cuts it (the line end went too)
    EXPECT_EQ(kept[3].what, "shown too");
    EXPECT_TRUE(capture.Errors().empty());  // taken
    EXPECT_FALSE(capture.Failed());
}

TEST(ErrorCapture, NestedEndedAndOtherThreadsCapturesKeepTheirOwn) {
    err("before any capture\n");
    auto outer = std::make_unique<FXErrorCapture>();
    err(FX_ERR_IO, "outer 1\n");
    {
        FXErrorCapture inner;
        err(FX_ERR_DAMAGED, "inner\n");
        std::thread other([] { err(FX_ERR_MEMORY, "other thread\n"); });
        other.join();
        ASSERT_EQ(inner.Errors().size(), 1u);
        EXPECT_EQ(inner.Errors()[0].what, "inner");
    }
    err(FX_ERR_MISSING, "outer 2\n");
    ASSERT_EQ(outer->Errors().size(), 2u);
    EXPECT_EQ(outer->Errors()[0].what, "outer 1");
    EXPECT_EQ(outer->Errors()[1].what, "outer 2");

    // A capture ended out of turn leaves the chain sound: the later one keeps collecting.
    auto later = std::make_unique<FXErrorCapture>();
    outer.reset();
    err("to the later\n");
    ASSERT_EQ(later->Errors().size(), 1u);
    EXPECT_EQ(later->Errors()[0].what, "to the later");
    later.reset();
    err("after every capture\n");
    FXErrorCapture fresh;
    EXPECT_TRUE(fresh.Errors().empty());
}
