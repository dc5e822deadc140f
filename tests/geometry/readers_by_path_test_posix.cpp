// Every engine reader that takes a file's path refuses a named pipe at once: models, animations,
// movies, material libraries and .mtl files, OBJ files and pictures. (Each used to open its file
// with fopen, which waits for ever for a pipe's writer.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "anim/anim.h"
#include "elements/smovie.h"
#include "geometry/model.h"
#include "geometry/model_obj.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "image/matlib.h"
#include "render/null_device.h"
#include "support/bounded_posix.h"
#include "support/test_support.h"

TEST(ReadersByPath, APipeIsRefusedAtOnceByEveryOne) {
    std::string dir = qmFreshDir("readers_pipe");
    for (const char* name : {"m.xm", "a.xa", "s.xs", "lib.bin", "lib.mtl", "m.obj", "p.png"})
        ASSERT_EQ(mkfifo((dir + "/" + name).c_str(), 0644), 0) << name;
    QmBounded r = qmRunBounded(30, 0, [&] {
        auto at = [&](const char* name) { return (dir + "/" + name); };
        FXNullDevice env;
        int loaded = 0;
        FXModel m;
        loaded += m.Load(&env, at("m.xm").c_str());
        FXAnim a;
        loaded += a.Load(&env, at("a.xa").c_str());
        SMovie s;
        loaded += s.Load(at("s.xs").c_str());
        FXMatlib lib, mtl;
        loaded += lib.Load(&env, at("lib.bin").c_str());
        loaded += mtl.LoadFromMtl(&env, at("lib.mtl").c_str());
        FXObjModel obj;
        loaded += obj.Load(&env, at("m.obj").c_str());
        FXCanvas c;
        if (fxLoadDevil()) loaded += c.CreateFromPict(at("p.png").c_str());
        fxUnloadDevil();
        return loaded;
    });
    EXPECT_TRUE(r.finished) << "a reader blocked on a named pipe";
    EXPECT_EQ(r.status, 0) << "a reader took a named pipe for a file";
}
