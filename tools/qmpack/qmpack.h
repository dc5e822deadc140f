// qmpack, the package authoring tool: the subcommand table and the helpers its subcommands
// share. A subcommand is one function in a file of its own, listed in the table in main.cpp;
// it gets the arguments after its name and returns the process exit code.
#pragma once

#include <string>
#include <vector>

#include "base/package.h"

enum { QMPACK_OK = 0, QMPACK_FAILED = 1, QMPACK_USAGE = 2 };

struct QMPackCommand {
    const char* name;
    const char* usage;    // arguments, e.g. "FILE NUMBER -o OUT"
    const char* summary;  // one line
    int (*run)(int argc, char** argv);
};

// ---- subcommands ----
int qmpackList(int argc, char** argv);
int qmpackExtract(int argc, char** argv);
int qmpackBuild(int argc, char** argv);
int qmpackAdd(int argc, char** argv);

// Prints "qmpack: <message>" on standard error; returns QMPACK_FAILED.
int qmpackFail(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Prints the usage line of the named subcommand on standard error; returns QMPACK_USAGE.
int qmpackUsage(const char* command);

// A subcommand's arguments: the positional ones and the flags it knows. An unknown flag, or a
// flag that takes a value and has none, is a usage error.
struct QMPackArgs {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;

    // valueFlags take the next argument as their value, switchFlags take none.
    bool Parse(const char* command, int argc, char** argv, const std::vector<std::string>& valueFlags,
               const std::vector<std::string>& switchFlags);
    bool Has(const std::string& flag) const;
    std::string Value(const std::string& flag) const;
};

// Loads a package file, saying why when it cannot (on standard error). transposed, when not
// null, tells whether the file's body is stored transposed.
bool qmpackLoad(const char* path, FXPackage* p, bool* transposed);
// A strict decimal entry number (the whole text, within int range).
bool qmpackParseNumber(const std::string& text, int* number);

// A manifest: "number path" lines, '#' comment lines and blank lines. Paths are relative to the
// manifest's folder unless absolute.
struct QMPackManifestEntry {
    int line;
    int number;
    std::string path;  // resolved
};
bool qmpackReadManifest(const char* path, std::vector<QMPackManifestEntry>* entries);
// Registers the entries with the package and saves it to out: every source is checked first
// and reported by manifest line; a build of more than 8 MB or 200 files reports progress.
int qmpackPackManifest(FXPackage* p, const char* manifest, const std::vector<QMPackManifestEntry>& entries,
                       const char* out, bool transposed);
