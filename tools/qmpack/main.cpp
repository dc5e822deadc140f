// qmpack's entry point: picks the subcommand from the first argument and prints help.
#include <cstdio>
#include <cstring>

#include "qmpack.h"

namespace {

int localHelp(int argc, char** argv);

const QMPackCommand kCommands[] = {
    {"list", "FILE", "one line per entry: number, type, size and a record's leading magic", qmpackList},
    {"extract", "FILE NUMBER -o OUT", "write the bytes of entry NUMBER to OUT", qmpackExtract},
    {"build", "OUT MANIFEST [--transposed]", "build a package from a manifest of 'number path' lines",
     qmpackBuild},
    {"add", "PACKAGE MANIFEST [--transposed]",
     "add the manifest's files to an existing package; stored entries keep their numbers", qmpackAdd},
    {"help", "[COMMAND]", "show this help, or one command's usage", localHelp},
};

const QMPackCommand* localFind(const char* name) {
    for (const QMPackCommand& c : kCommands)
        if (strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

void localPrintHelp(FILE* out) {
    fprintf(out, "qmpack: builds and inspects QuietMeadows data packages.\n\nusage:\n");
    for (const QMPackCommand& c : kCommands) fprintf(out, "  qmpack %s %s\n      %s\n", c.name, c.usage, c.summary);
    fprintf(out,
            "\nA manifest holds one 'number path' line per entry (path relative to the manifest's\n"
            "folder); lines starting with '#' and blank lines are ignored.\n");
}

int localHelp(int argc, char** argv) {
    if (argc > 0) {
        const QMPackCommand* c = localFind(argv[0]);
        if (!c) return qmpackFail("unknown command '%s' (try 'qmpack help')", argv[0]);
        printf("usage: qmpack %s %s\n  %s\n", c->name, c->usage, c->summary);
        return QMPACK_OK;
    }
    localPrintHelp(stdout);
    return QMPACK_OK;
}

}  // namespace

int qmpackUsage(const char* command) {
    const QMPackCommand* c = localFind(command);
    if (c) fprintf(stderr, "usage: qmpack %s %s\n", c->name, c->usage);
    return QMPACK_USAGE;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        localPrintHelp(stderr);
        return QMPACK_USAGE;
    }
    const char* name = argv[1];
    if (!strcmp(name, "-h") || !strcmp(name, "--help")) name = "help";
    const QMPackCommand* c = localFind(name);
    if (!c) {
        fprintf(stderr, "qmpack: unknown command '%s' (try 'qmpack help')\n", argv[1]);
        return QMPACK_USAGE;
    }
    return c->run(argc - 2, argv + 2);
}
