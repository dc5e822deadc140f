// Where the data, the configuration and the log are found, and the edit of the launcher's
// settings file (which must never lose the user's file).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "saver/config.h"
#include "support/test_support.h"

namespace {

const char kCommand[] = "qmsave -root";

// A settings file as the launcher writes it: the list spans continued lines, entries end in \n.
const char kSettings[] =
    "# XScreenSaver Preferences File\n"
    "mode:\t\tone\n"
    "selected:\t2\n"
    "programs:\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
    "- GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
    "\t\t\t\tqix -root -solid\t\t\t    \\n\n"
    "\n"
    "pointerHysteresis:\t10\n";

}  // namespace

TEST(Config, DataFolderFromEnvironmentThenFileThenDefault) {
    std::string xdg = qmFreshDir("config");
    QmScopedEnv config("XDG_CONFIG_HOME", xdg.c_str());
    QmScopedEnv env("QMSAVE_PATH", nullptr);

    QmConfig c = qmLoadConfig();
    EXPECT_EQ(c.file, xdg + "/qmsave/qmsave.conf");
    EXPECT_FALSE(c.fileExists);
    EXPECT_EQ(c.dataDir, c.defaultDir);
    EXPECT_FALSE(c.dataDir.empty()) << "never the root folder";

    mkdir((xdg + "/qmsave").c_str(), 0755);
    struct Case {
        const char* text;
        const char* path;
    } cases[] = {
        {"path=/srv/meadows\n", "/srv/meadows"},
        {"# path=/no\n  path =  \"/with blanks/x\"  \r\n", "/with blanks/x"},
        {"path=/first\npath=/second", "/second"},
        {"; comment\nother=1\n", ""},
        {"path=~/qm\n", nullptr},  // the home folder
    };
    QmScopedEnv home("HOME", "/home/tester");
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        qmWriteText(c.file, k.text);
        QmConfig r = qmLoadConfig();
        EXPECT_TRUE(r.fileExists);
        EXPECT_EQ(r.filePath, k.path ? k.path : "/home/tester/qm");
        EXPECT_EQ(r.dataDir, r.filePath.empty() ? r.defaultDir : r.filePath);
    }
    QmScopedEnv over("QMSAVE_PATH", "/from/env");
    EXPECT_EQ(qmLoadConfig().dataDir, "/from/env");
    QmScopedEnv relative("XDG_CONFIG_HOME", "relative/config");  // to be ignored
    EXPECT_EQ(qmLoadConfig().file, "/home/tester/.config/qmsave/qmsave.conf");
}

TEST(Config, LogInTheDataFolderWhenWritableElseInTheStateFolder) {
    std::string data = qmFreshDir("data");
    std::string state = qmFreshDir("state");
    QmScopedEnv s("XDG_STATE_HOME", state.c_str());
    EXPECT_EQ(qmLogFilePath(data, true), data + "/qmsave.log");
    // A folder that cannot be written (an installed one), and one that does not exist.
    std::string readOnly = qmFreshDir("readonly");
    chmod(readOnly.c_str(), 0555);
    bool rootIgnoresModes = access(readOnly.c_str(), W_OK) == 0;
    EXPECT_EQ(qmLogFilePath(data + "/missing", false), state + "/qmsave/qmsave.log");
    struct stat st;
    EXPECT_NE(stat((state + "/qmsave").c_str(), &st), 0) << "only described, not made";
    EXPECT_EQ(qmLogFilePath(data + "/missing", true), state + "/qmsave/qmsave.log");
    EXPECT_EQ(stat((state + "/qmsave").c_str(), &st), 0);
    if (!rootIgnoresModes) {
        EXPECT_EQ(qmLogFilePath(readOnly, true), state + "/qmsave/qmsave.log");
    }
    chmod(readOnly.c_str(), 0755);
}

TEST(ProgramsList, EntryAppendedKeepingEveryOtherByte) {
    std::string out;
    bool already = true;
    qmAddToProgramsList(kSettings, true, kCommand, &out, &already);
    EXPECT_FALSE(already);
    const std::string expect =
        "# XScreenSaver Preferences File\n"
        "mode:\t\tone\n"
        "selected:\t2\n"
        "programs:\t\t\t\t\t\t\t      \\\n"
        "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
        "- GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
        "\t\t\t\tqix -root -solid\t\t\t    \\n\\\n"
        "  GL: \t\t\t\tqmsave -root\t\t\t    \\n\n"
        "\n"
        "pointerHysteresis:\t10\n";
    EXPECT_EQ(out, expect);
    // Once listed (also switched off, or by its full path), nothing changes.
    std::string again;
    qmAddToProgramsList(out, true, "/usr/local/bin/qmsave -root", &again, &already);
    EXPECT_TRUE(already);
    EXPECT_EQ(again, out);
    qmAddToProgramsList("programs: - GL: /opt/x/qmsave -root -fps \\n\n", true, kCommand, &again, &already);
    EXPECT_TRUE(already);
}

TEST(ProgramsList, ListsOfEveryShape) {
    struct Case {
        const char* old;
        bool exists;
        const char* expect;
    } cases[] = {
        // The last entry without its \n.
        {"programs: maze -root\n", true, "programs: maze -root \\n\\\n  GL: \t\t\t\tqmsave -root\t\t\t    \\n\n"},
        // An empty list.
        {"a: 1\nprograms:\nb: 2\n", true,
         "a: 1\nprograms:\t\t\t\t\t\t\t      \\\n  GL: \t\t\t\tqmsave -root\t\t\t    \\n\nb: 2\n"},
        // No list, no final newline.
        {"mode: random", true,
         "mode: random\nprograms:\t\t\t\t\t\t\t      \\\n  GL: \t\t\t\tqmsave -root\t\t\t    \\n\n"},
        // No file.
        {"", false,
         "# XScreenSaver settings, started by qmsave register_scrsaver\n"
         "programs:\t\t\t\t\t\t\t      \\\n  GL: \t\t\t\tqmsave -root\t\t\t    \\n\n"},
        // A list at the very end of a file without a final newline.
        {"programs: \\\n  maze -root \\n", true,
         "programs: \\\n  maze -root \\n\\\n  GL: \t\t\t\tqmsave -root\t\t\t    \\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.old);
        std::string out;
        bool already = true;
        qmAddToProgramsList(c.old, c.exists, kCommand, &out, &already);
        EXPECT_FALSE(already);
        EXPECT_EQ(out, c.expect);
    }
}

TEST(Register, OldFileSurvivesByteForByteAndSecondRunChangesNothing) {
    std::string dir = qmFreshDir("home");
    std::string path = dir + "/.xscreensaver";
    std::string old = std::string(kSettings) + std::string("\x01\xff trailing bytes\r\n", 18);
    qmWriteText(path, old);
    chmod(path.c_str(), 0600);
    std::string report;
    ASSERT_TRUE(qmRegisterInFile(path, kCommand, &report)) << report;
    EXPECT_NE(report.find(".bak"), std::string::npos) << report;
    EXPECT_EQ(qmReadText(path + ".bak"), old);
    std::string now = qmReadText(path);
    EXPECT_NE(now.find("qmsave -root"), std::string::npos);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file keeps its permissions";

    ASSERT_TRUE(qmRegisterInFile(path, kCommand, &report)) << report;
    EXPECT_NE(report.find("already"), std::string::npos) << report;
    EXPECT_EQ(qmReadText(path), now);
    EXPECT_EQ(qmReadText(path + ".bak"), old) << "the backup of the user's own file stays";
}

TEST(Register, MissingFileIsCreatedAndALinkedFileEditedWhereItLives) {
    std::string dir = qmFreshDir("home");
    std::string path = dir + "/.xscreensaver";
    std::string report;
    ASSERT_TRUE(qmRegisterInFile(path, kCommand, &report)) << report;
    EXPECT_NE(qmReadText(path).find("qmsave -root"), std::string::npos);
    EXPECT_NE(access((path + ".bak").c_str(), F_OK), 0) << "nothing to back up";

    std::string real = dir + "/dotfiles-xscreensaver";
    qmWriteText(real, kSettings);
    unlink(path.c_str());
    ASSERT_EQ(symlink(real.c_str(), path.c_str()), 0);
    ASSERT_TRUE(qmRegisterInFile(path, kCommand, &report)) << report;
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    EXPECT_NE(qmReadText(real).find("qmsave -root"), std::string::npos);
    EXPECT_EQ(qmReadText(real + ".bak"), kSettings);
}

TEST(Register, UnwritableFolderLeavesTheFileAlone) {
    std::string dir = qmFreshDir("home");
    std::string path = dir + "/.xscreensaver";
    qmWriteText(path, kSettings);
    chmod(dir.c_str(), 0555);
    if (access(dir.c_str(), W_OK) == 0) {
        chmod(dir.c_str(), 0755);
        GTEST_SKIP() << "running as root: folder permissions do not hold";
    }
    std::string report;
    EXPECT_FALSE(qmRegisterInFile(path, kCommand, &report));
    EXPECT_NE(report.find("nothing was changed"), std::string::npos) << report;
    chmod(dir.c_str(), 0755);
    EXPECT_EQ(qmReadText(path), kSettings);
}
