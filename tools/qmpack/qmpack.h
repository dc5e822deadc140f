// qmpack, the package authoring tool: the subcommand table, messages and argument parsing that
// every subcommand shares. A subcommand is one function in a file of its own, listed in the table
// in main.cpp; it gets the arguments after its name and returns the process exit code.
#pragma once

#include <string>
#include <vector>

#include "base/compiler.h"

enum { QMPACK_OK = 0, QMPACK_FAILED = 1, QMPACK_USAGE = 2 };

struct QMPackCommand {
    const char* name;
    const char* usage;    // arguments, e.g. "FILE NUMBER -o OUT"
    const char* summary;  // one line
    const char* help;     // the rest of "qmpack help COMMAND": what it does, its options
    int (*run)(int argc, char** argv);
};

// ---- subcommands ----
int qmpackList(int argc, char** argv);
int qmpackExtract(int argc, char** argv);
int qmpackBuild(int argc, char** argv);
int qmpackAdd(int argc, char** argv);
int qmpackReplace(int argc, char** argv);
int qmpackUnpack(int argc, char** argv);
int qmpackImportObj(int argc, char** argv);
int qmpackAnim(int argc, char** argv);
int qmpackMovie(int argc, char** argv);

// Prints "qmpack: <message>" on standard error; returns QMPACK_FAILED.
int qmpackFail(const char* fmt, ...) FX_PRINTF(1, 2);
// The same, returning false: for checks that report why they refuse.
bool qmpackRefuse(const char* fmt, ...) FX_PRINTF(1, 2);
// How much a command says: 0 errors only (--quiet), 1 its report and warnings, 2 each step too
// (--verbose). Every command takes both options.
extern int qmpackVerbosity;
// A report line on standard output ("wrote ..."), unless --quiet.
void qmpackSay(const char* fmt, ...) FX_PRINTF(1, 2);
// "qmpack: <message>" on standard error with --verbose only: one step of the work.
void qmpackDetail(const char* fmt, ...) FX_PRINTF(1, 2);
// Prints "qmpack: warning: <message>" on standard error, unless --quiet.
void qmpackWarn(const char* fmt, ...) FX_PRINTF(1, 2);
// Prints "qmpack: <message>" on standard error; returns QMPACK_USAGE: a value an option or an
// argument cannot take is wrong usage, whichever command it is given to.
int qmpackBadValue(const char* fmt, ...) FX_PRINTF(1, 2);
// Prints the usage line of the named subcommand on standard error; returns QMPACK_USAGE.
int qmpackUsage(const char* command);

// A subcommand's arguments: the positional ones and the flags it knows (and --quiet and
// --verbose, which every command takes and which set qmpackVerbosity). An unknown flag, or a
// flag that takes a value and has none, is a usage error. "--flag=value" is the same as
// "--flag value"; "--" ends the options; a negative number is an argument, not an option.
struct QMPackArgs {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;

    // valueFlags take the next argument as their value, switchFlags take none.
    bool Parse(const char* command, int argc, char** argv, const std::vector<std::string>& valueFlags,
               const std::vector<std::string>& switchFlags);
    bool Has(const std::string& flag) const;
    std::string Value(const std::string& flag) const;
};

// A strict decimal entry number (the whole text, within int range).
bool qmpackParseNumber(const std::string& text, int* number);
