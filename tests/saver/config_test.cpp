// Where the data, the configuration and the log are found, and the edit of the launcher's
// settings file (which must never lose the user's file).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "saver/config.h"
#include "support/immutable_posix.h"
#include "support/test_support.h"

namespace {

const char kCommand[] = "qmsave --root";

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

TEST(Config, RelativeFoldersAreMadeAbsoluteOnce) {
    std::string xdg = qmFreshDir("config-rel");
    QmScopedEnv config("XDG_CONFIG_HOME", xdg.c_str());
    QmScopedEnv env("QMSAVE_PATH", "meadows/data");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(qmLoadConfig().dataDir, std::string(cwd) + "/meadows/data") << "against the current folder";
    QmScopedEnv unset("QMSAVE_PATH", nullptr);
    mkdir((xdg + "/qmsave").c_str(), 0755);
    qmWriteText(xdg + "/qmsave/qmsave.conf", "path=content\n");
    EXPECT_EQ(qmLoadConfig().dataDir, xdg + "/qmsave/content") << "against the configuration file's folder";
}

TEST(Config, DataFolderProblemsAreNamed) {
    std::string dir = qmFreshDir("data-problems");
    qmWriteText(dir + "/file", "x");
    struct Case {
        std::string folder;
        const char* problem;  // a part of the words; empty: usable
    } cases[] = {
        {dir, ""},
        {dir + "/", ""},
        {"", "no data folder"},
        {"relative/data", "not an absolute path"},
        {dir + "/missing", "No such file"},
        {dir + "/file", "not a folder"},
        {"/" + std::string(300, 'a'), "longer than the 258 characters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        std::string p = qmDataDirProblem(c.folder);
        if (!*c.problem) EXPECT_EQ(p, "");
        else EXPECT_NE(p.find(c.problem), std::string::npos) << p;
    }
}

TEST(Config, HomeFolderFromThePasswordDatabaseWhenHomeIsUnset) {
    QmScopedEnv unset("HOME", nullptr);
    std::string home = qmHomeFolder();
    EXPECT_FALSE(home.empty());
    EXPECT_EQ(home[0], '/');
    QmScopedEnv set("HOME", "/somewhere/else");
    EXPECT_EQ(qmHomeFolder(), "/somewhere/else");
}

TEST(ProgramsList, EntryAppendedKeepingEveryOtherByte) {
    std::string out;
    EXPECT_EQ(qmAddToProgramsList(kSettings, true, kCommand, &out), kListAdded);
    const std::string expect =
        "# XScreenSaver Preferences File\n"
        "mode:\t\tone\n"
        "selected:\t2\n"
        "programs:\t\t\t\t\t\t\t      \\\n"
        "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
        "- GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
        "\t\t\t\tqix -root -solid\t\t\t    \\n\\\n"
        "  GL: \t\t\t\tqmsave --root\t\t\t    \\n\n"
        "\n"
        "pointerHysteresis:\t10\n";
    EXPECT_EQ(out, expect);
    // Once listed and on (also by its full path, or in the single-dash form), nothing changes.
    std::string again;
    EXPECT_EQ(qmAddToProgramsList(out, true, "/usr/local/bin/qmsave --root", &again), kListAlready);
    EXPECT_EQ(again, out);
    EXPECT_EQ(qmAddToProgramsList("programs: GL: /opt/x/qmsave -root -fps \\n\n", true, kCommand, &again),
              kListAlready);
}

TEST(ProgramsList, AnEntrySwitchedOffIsSwitchedOnWhereItStands) {
    struct Case {
        const char* old;
        const char* expect;
    } cases[] = {
        // The launcher's own way of writing it, in the middle of a list spread over lines.
        {"programs:\t\\\n  maze --root \\n\\\n- GL: \t\tqmsave --root\t\\n\\\n  qix --root \\n\n",
         "programs:\t\\\n  maze --root \\n\\\n  GL: \t\tqmsave --root\t\\n\\\n  qix --root \\n\n"},
        // On the list's first line, without a visual.
        {"programs: -qmsave -root -fps\n", "programs:  qmsave -root -fps\n"},
        // Off twice, on nowhere: the first is switched on.
        {"programs: - qmsave -root \\n - GL: qmsave --root\n", "programs:   qmsave -root \\n - GL: qmsave --root\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.old);
        std::string out;
        EXPECT_EQ(qmAddToProgramsList(c.old, true, kCommand, &out), kListSwitchedOn);
        EXPECT_EQ(out, c.expect);
        std::string again;
        EXPECT_EQ(qmAddToProgramsList(out, true, kCommand, &again), kListAlready);
    }
    std::string out;
    EXPECT_EQ(qmAddToProgramsList("programs: - qmsave --root \\n qmsave -root\n", true, kCommand, &out),
              kListAlready)
        << "one entry on is enough";
}

TEST(ProgramsList, ListsOfEveryShape) {
    struct Case {
        const char* old;
        bool exists;
        const char* expect;
    } cases[] = {
        // The last entry without its \n.
        {"programs: maze -root\n", true, "programs: maze -root \\n\\\n  GL: \t\t\t\tqmsave --root\t\t\t    \\n\n"},
        // An empty list.
        {"a: 1\nprograms:\nb: 2\n", true,
         "a: 1\nprograms:\t\t\t\t\t\t\t      \\\n  GL: \t\t\t\tqmsave --root\t\t\t    \\n\nb: 2\n"},
        // No list, no final newline.
        {"mode: random", true,
         "mode: random\nprograms:\t\t\t\t\t\t\t      \\\n  GL: \t\t\t\tqmsave --root\t\t\t    \\n\n"},
        // No file.
        {"", false,
         "# XScreenSaver settings, started by qmsave register_scrsaver\n"
         "programs:\t\t\t\t\t\t\t      \\\n  GL: \t\t\t\tqmsave --root\t\t\t    \\n\n"},
        // A list at the very end of a file without a final newline.
        {"programs: \\\n  maze -root \\n", true,
         "programs: \\\n  maze -root \\n\\\n  GL: \t\t\t\tqmsave --root\t\t\t    \\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.old);
        std::string out;
        EXPECT_EQ(qmAddToProgramsList(c.old, c.exists, kCommand, &out), kListAdded);
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
    EXPECT_NE(now.find("qmsave --root"), std::string::npos);
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
    EXPECT_NE(qmReadText(path).find("qmsave --root"), std::string::npos);
    EXPECT_NE(access((path + ".bak").c_str(), F_OK), 0) << "nothing to back up";

    std::string real = dir + "/dotfiles-xscreensaver";
    qmWriteText(real, kSettings);
    unlink(path.c_str());
    ASSERT_EQ(symlink(real.c_str(), path.c_str()), 0);
    ASSERT_TRUE(qmRegisterInFile(path, kCommand, &report)) << report;
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    EXPECT_NE(qmReadText(real).find("qmsave --root"), std::string::npos);
    EXPECT_EQ(qmReadText(real + ".bak"), kSettings);

    // A link to nothing would become a plain file, the link lost: refused, nothing written.
    unlink(path.c_str());
    ASSERT_EQ(symlink((dir + "/gone").c_str(), path.c_str()), 0);
    EXPECT_FALSE(qmRegisterInFile(path, kCommand, &report));
    EXPECT_NE(report.find("symbolic link"), std::string::npos) << report;
    EXPECT_NE(report.find("nothing was changed"), std::string::npos) << report;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(access((dir + "/gone").c_str(), F_OK), 0);
}

TEST(Register, AFailedWriteKeepsTheOlderBackup) {
    // The disk takes the old file's size but not the longer new text (a file-size limit in a
    // child process): neither the file nor the backup of an earlier run may change.
    std::string dir = qmFreshDir("home");
    std::string path = dir + "/.xscreensaver";
    qmWriteText(path, kSettings);
    qmWriteText(path + ".bak", "the backup of an earlier run\n");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {sizeof kSettings + 8, sizeof kSettings + 8};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string report;
        bool ok = qmRegisterInFile(path, kCommand, &report);
        _exit(!ok && report.find("nothing was changed") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write failed and said so";
    EXPECT_EQ(qmReadText(path), kSettings);
    EXPECT_EQ(qmReadText(path + ".bak"), "the backup of an earlier run\n");
    // And with room on the disk the same call goes through.
    std::string report;
    EXPECT_TRUE(qmRegisterInFile(path, kCommand, &report)) << report;
    EXPECT_EQ(qmReadText(path + ".bak"), kSettings);
}

TEST(Register, SwitchedOffEntryIsSwitchedOnAndSaid) {
    std::string dir = qmFreshDir("home");
    std::string path = dir + "/.xscreensaver";
    qmWriteText(path, "programs: \\\n- GL: qmsave --root \\n\n");
    std::string report;
    ASSERT_TRUE(qmRegisterInFile(path, kCommand, &report)) << report;
    EXPECT_NE(report.find("switched on"), std::string::npos) << report;
    EXPECT_EQ(qmReadText(path), "programs: \\\n  GL: qmsave --root \\n\n");
}

TEST(Register, UnwritableFolderLeavesTheFileAlone) {
    std::string dir = qmFreshDir("home");
    std::string path = dir + "/.xscreensaver";
    qmWriteText(path, kSettings);
    std::string report;
    {
        QmImmutable locked(dir);  // unwritable for root too
        if (!locked.set) GTEST_SKIP() << "folders cannot be made immutable here";
        EXPECT_FALSE(qmRegisterInFile(path, kCommand, &report));
    }
    EXPECT_NE(report.find("nothing was changed"), std::string::npos) << report;
    EXPECT_EQ(qmReadText(path), kSettings);
    EXPECT_NE(access((path + ".bak").c_str(), F_OK), 0);
}
