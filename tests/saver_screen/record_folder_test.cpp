// Record mode takes the folder and the desktop picture named on its command line from where the
// saver was started: a relative folder receives its frames. (The scene used to make the data
// folder the working directory, so `qmsave --record rec` looked for rec there and wrote nothing.)
// A recording that writes no frame ends with status 1.
#include <gtest/gtest.h>  // Google Test before Xlib: Xlib's None is a macro
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "image/devil.h"
#include "saver_screen/saver_process.h"
#include "support/png_write_gl.h"
#include "support/scene_package.h"
#include "support/test_support.h"
#include "support/x11_test.h"

TEST(RecordFolder, RelativeNamesAreTakenFromWhereTheSaverWasStarted) {
    QM_REQUIRE_DISPLAY();
    std::string home = qmFreshDir("home"), data = qmFreshDir("data"), work = qmFreshDir("work");
    ASSERT_TRUE(fxLoadDevil());
    std::string why;
    ASSERT_TRUE(qmWriteScenePackage(data + "/qmsave.dat", QmScenePackage(), &why)) << why;
    fxUnloadDevil();
    std::vector<unsigned char> blue(64 * 32 * 4);
    for (size_t i = 0; i < blue.size(); i += 4) blue[i + 2] = blue[i + 3] = 255;
    ASSERT_TRUE(qmWritePngRGBA(work + "/desk.png", 64, 32, blue.data(), 64 * 4, false));
    mkdir((work + "/stuck").c_str(), 0755);
    mkdir((work + "/stuck/frame-00000.png").c_str(), 0755);  // where the first frame must go
    std::vector<std::string> env = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
                                    "XDG_STATE_HOME=" + home + "/.state", "QMSAVE_PATH=" + data};

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(work.c_str()), 0);
    const std::vector<std::string> shape = {"--seconds", "0.3", "--fps", "10", "--size", "160x120", "--desktop",
                                            "desk.png"};
    std::vector<std::string> args = {"--record", "rec"}, stuck = {"--record", "stuck"};
    args.insert(args.end(), shape.begin(), shape.end());
    stuck.insert(stuck.end(), shape.begin(), shape.end());
    QmRun r = qmStartSaver(args, env, "relative");
    int status = qmWaitExit(r);
    QmRun s = qmStartSaver(stuck, env, "stuck");
    int stuckStatus = qmWaitExit(s);
    ASSERT_EQ(chdir(cwd), 0);

    EXPECT_EQ(status, 0) << qmReadText(r.err);
    for (const char* frame : {"frame-00000.png", "frame-00001.png", "frame-00002.png", "sheet.png"})
        EXPECT_EQ(access((work + "/rec/" + frame).c_str(), F_OK), 0) << frame;
    EXPECT_NE(access((data + "/rec").c_str(), F_OK), 0) << "nothing lands in the data folder";
    EXPECT_EQ(stuckStatus, 1);
    EXPECT_NE(qmReadText(s.err).find("cannot write stuck/frame-00000.png; the recording stopped after 0 frames"),
              std::string::npos)
        << qmReadText(s.err);
}
