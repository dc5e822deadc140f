// Where the data, the configuration and the log are found, and the edit of the launcher's
// settings file (which must never lose the user's file).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "base/package.h"
#include "saver/config.h"
#include "support/bounded_posix.h"
#include "support/immutable_posix.h"
#include "support/package_bytes.h"
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

// What -c prints for the configuration in effect.
std::string localReport() {
    testing::internal::CaptureStdout();
    qmPrintConfig(qmLoadConfig());
    return testing::internal::GetCapturedStdout();
}

// A sparse file of size bytes: large to a reader, small on disk.
void localSparse(const std::string& path, long long size) {
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(size)), 0);
    close(fd);
}

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

// A configuration file that is a named pipe, a link to an endless device or a huge file is
// refused with a reason, at once and without reading it (it used to hang the saver and -c, or to
// read until the memory ran out); the saver then takes the default folder.
TEST(Config, AConfigurationFileThatIsNoFileIsRefusedAtOnce) {
    std::string xdg = qmFreshDir("config-bad");
    QmScopedEnv config("XDG_CONFIG_HOME", xdg.c_str());
    QmScopedEnv env("QMSAVE_PATH", nullptr);
    mkdir((xdg + "/qmsave").c_str(), 0755);
    std::string file = xdg + "/qmsave/qmsave.conf";
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* why;
    } cases[] = {
        {"a named pipe", [&] { mkfifo(file.c_str(), 0644); }, "is a named pipe, not a regular file"},
        {"a link to /dev/zero", [&] { symlink("/dev/zero", file.c_str()); }, "is a device, not a regular file"},
        {"a 2 GB file", [&] { localSparse(file, 2LL << 30); }, "is too large (2048 MB; at most 1 MB)"},
        {"a file of 1 MB and a byte", [&] { localSparse(file, (1 << 20) + 1); }, "is too large (1048577 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        unlink(file.c_str());
        c.make();
        QmBounded r = qmRunBounded(20, 512 << 20, [&] {
            QmConfig k = qmLoadConfig();
            std::string out = localReport();
            bool ok = k.fileExists && !k.fileReadable && k.fileProblem.find(c.why) == 0 && k.dataDir == k.defaultDir &&
                      out.find("present but cannot be read (" + std::string(c.why)) != std::string::npos;
            return ok ? 0 : 1;
        });
        EXPECT_TRUE(r.finished) << "the configuration was read without end";
        EXPECT_EQ(r.status, 0);
    }
    unlink(file.c_str());
}

// A path= value longer than any folder name is refused when the file is read, and no report
// prints a huge value whole (a 10 MB line used to be printed three times by -c).
TEST(Config, AHugePathLineIsRefusedAndReportsStaySmall) {
    std::string xdg = qmFreshDir("config-huge-line");
    QmScopedEnv config("XDG_CONFIG_HOME", xdg.c_str());
    QmScopedEnv env("QMSAVE_PATH", nullptr);
    mkdir((xdg + "/qmsave").c_str(), 0755);
    std::string huge(10 << 20, 'a');
    qmWriteText(xdg + "/qmsave/qmsave.conf", "# meadows\npath=/" + huge.substr(0, (1 << 20) - 64) + "\n");
    QmConfig c = qmLoadConfig();
    EXPECT_TRUE(c.fileReadable);
    EXPECT_EQ(c.filePath, "");
    EXPECT_EQ(c.dataDir, c.defaultDir);
    EXPECT_EQ(c.fileProblem, "line 2 refused: its path= value is 1048513 characters long (a folder name has at most "
                             "4096)");
    std::string out = localReport();
    EXPECT_NE(out.find("  line 2 refused: its path= value is 1048513 characters long"), std::string::npos) << out;
    EXPECT_LT(out.size(), 4000u);
    // The environment is read as it is; only its reports are shortened.
    QmScopedEnv big("QMSAVE_PATH", ("/" + huge).c_str());
    out = localReport();
    EXPECT_LT(out.size(), 4000u);
    EXPECT_NE(out.find("... (10485761 characters) (from QMSAVE_PATH)"), std::string::npos) << out.substr(0, 2000);
    EXPECT_EQ(qmShortened("short"), "short");
}

// -c reads the package as the saver will and says what is wrong with it.
TEST(Config, TheReportChecksThePackageAsTheSaverReadsIt) {
    std::string dir = qmFreshDir("config-package");
    QmScopedEnv env("QMSAVE_PATH", dir.c_str());
    std::string pkg = dir + "/qmsave.dat";
    std::vector<unsigned char> good =
        qmPackage({3, 9, 4}, {0, 5, 11}, {5, 6, 2}, {-1, -1, -1}, "helloworld!xy");
    std::vector<unsigned char> cut(good.begin(), good.end() - 8);
    struct Case {
        std::function<void()> make;
        std::string says;
    } cases[] = {
        {[&] {}, "qmsave.dat is missing: the saver shows nothing but its gadgets"},
        {[&] { qmWriteText(pkg, ""); }, "qmsave.dat cannot be used: not a package (no 'pck01' signature): the saver"},
        {[&] { qmWriteFile(pkg, qmPackage({1, 2}, {0}, {1}, {-1}, "x")); },
         "cannot be used: damaged package (its entry tables do not agree with its size): the saver"},
        {[&] { qmWriteFile(pkg, qmPackage({}, {}, {}, {}, "")); }, "qmsave.dat holds no entries: the saver shows"},
        {[&] { qmWriteFile(pkg, cut); },
         "qmsave.dat (3 entries, 5 bytes of data) is damaged: 2 of 3 entries lie outside its data area (the file was "
         "cut short?); the saver leaves them out"},
        {[&] { mkfifo(pkg.c_str(), 0644); }, "cannot be used: cannot open (is a named pipe, not a regular file)"},
        {[&] { qmWriteFile(pkg, good); }, "Package: " + pkg + " (3 entries, 13 bytes of data)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        unlink(pkg.c_str());
        c.make();
        QmBounded r = qmRunBounded(20, 0, [&] { return localReport().find(c.says) != std::string::npos ? 0 : 1; });
        EXPECT_TRUE(r.finished);
        EXPECT_EQ(r.status, 0) << localReport();
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

// Only a regular file of the user's own, which the user may write, is edited: a link to a file
// outside the settings file's folder is not followed (as root it could have replaced any file),
// a read-only file or one of another user is left alone, and a pipe, a device or a huge file is
// refused at once. Each refusal says why and changes nothing.
TEST(Register, OnlyTheUsersOwnWritableSettingsFileIsWritten) {
    std::string dir = qmFreshDir("home"), elsewhere = qmFreshDir("elsewhere");
    std::string path = dir + "/.xscreensaver", other = elsewhere + "/passwd";
    qmWriteText(other, "root:x:0:0\n");
    ASSERT_EQ(symlink(other.c_str(), path.c_str()), 0);
    std::string report;
    EXPECT_FALSE(qmRegisterInFile(path, kCommand, &report));
    EXPECT_NE(report.find("outside " + dir), std::string::npos) << report;
    EXPECT_NE(report.find("nothing was changed"), std::string::npos) << report;
    EXPECT_EQ(qmReadText(other), "root:x:0:0\n");
    EXPECT_NE(access((other + ".bak").c_str(), F_OK), 0);
    unlink(path.c_str());

    qmWriteText(path, kSettings);
    chmod(path.c_str(), 0444);
    EXPECT_FALSE(qmRegisterInFile(path, kCommand, &report));
    EXPECT_NE(report.find("is read-only (mode 0444)"), std::string::npos) << report;
    EXPECT_EQ(qmReadText(path), kSettings);
    EXPECT_NE(access((path + ".bak").c_str(), F_OK), 0);
    chmod(path.c_str(), 0644);
    if (geteuid() == 0 && chown(path.c_str(), 65534, 65534) == 0) {
        EXPECT_FALSE(qmRegisterInFile(path, kCommand, &report));
        EXPECT_NE(report.find("belongs to another user (uid 65534)"), std::string::npos) << report;
        EXPECT_EQ(qmReadText(path), kSettings);
    }
    unlink(path.c_str());

    struct Case {
        const char* what;
        std::function<void()> make;
        const char* why;
    } cases[] = {
        {"a named pipe", [&] { mkfifo(path.c_str(), 0644); }, "is a named pipe, not a regular file"},
        {"a link to /dev/zero", [&] { symlink("/dev/zero", path.c_str()); }, "outside"},
        {"a 1 GB file", [&] { localSparse(path, 1LL << 30); }, "is too large (1024 MB; at most 4 MB)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        unlink(path.c_str());
        c.make();
        QmBounded r = qmRunBounded(20, 512 << 20, [&] {
            std::string why;
            return !qmRegisterInFile(path, kCommand, &why) && why.find(c.why) != std::string::npos &&
                           why.find("nothing was changed") != std::string::npos
                       ? 0
                       : 1;
        });
        EXPECT_TRUE(r.finished) << "the settings file was read without end";
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(access((path + ".bak").c_str(), F_OK), 0);
    }
    unlink(path.c_str());
}

// A second programs line wins over the first, as the launcher reads its file; carriage returns
// are characters, not line ends: a second registration always finds the entry of the first.
TEST(ProgramsList, TheLastListIsEditedAndLinesAlwaysEndInANewline) {
    std::string out, again;
    EXPECT_EQ(qmAddToProgramsList("programs: maze -root\nmode: one\nprograms: qix -root\n", true, kCommand, &out),
              kListAdded);
    EXPECT_EQ(out, "programs: maze -root\nmode: one\nprograms: qix -root \\n\\\n  GL: \t\t\t\tqmsave --root\t\t\t    \\n\n");
    EXPECT_EQ(qmAddToProgramsList("programs: qmsave -root\nprograms: qix -root\n", true, kCommand, &out), kListAdded);
    // The input a fuzzer found: a list line ended by a carriage return alone.
    const std::string found = "rograms:\t\t  \rrms\t a:-rooi a:-r\nprograms:\t\t  \r";
    ASSERT_EQ(qmAddToProgramsList(found, true, kCommand, &out), kListAdded);
    EXPECT_EQ(qmAddToProgramsList(out, true, kCommand, &again), kListAlready) << out;
    EXPECT_EQ(again, out);
    // A key written with blanks around it is the same key.
    EXPECT_EQ(qmAddToProgramsList("  programs :  qmsave --root\n", true, kCommand, &out), kListAlready);
}
