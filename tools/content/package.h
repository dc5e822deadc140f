// The package build: writes the sources (generate.h), compiles them with qmpack and builds the
// package from a manifest that puts every part at the entry number the scene reads:
//
//   qmpack import-obj  each key pose and the medallion    -> pack/<name>.xm
//   qmpack anim        the opening and the three clips     -> pack/<clip>.xa (91, 94, 203, 200)
//   qmpack movie       the three seed movies, keyed        -> pack/<clip>.xs (177, 88, 748)
//   qmpack build       pack/qmsave.txt                     -> the package
//
// Independent qmpack runs go in parallel; each run's output is kept in logs/ under the work
// folder, and a failing run is reported with its command line and what it printed.
#pragma once

#include <string>

struct QMCPackageOptions {
    std::string qmpack;   // the qmpack program
    std::string workDir;  // sources, compiled files and logs go here
    std::string out;      // the package file
    int jobs = 2;
};

bool qmcBuildPackage(const QMCPackageOptions& options, std::string* err);

// The manifest's text for compiled files in pack/ and sources in src/ (pack/ is its folder).
std::string qmcManifestText();
