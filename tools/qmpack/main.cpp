// qmpack's entry point: the subcommand table with each command's help, the overview help and the
// version.
#include <cstdio>
#include <cstring>

#include "cleanup.h"
#include "qmpack.h"

#ifndef QMPACK_VERSION
#define QMPACK_VERSION "unknown"
#endif

namespace {

int localHelp(int argc, char** argv);

const QMPackCommand kCommands[] = {
    {"import-obj", "IN.obj -o OUT.xm [--unitize] [--reduce TOL] [--json]",
     "make an engine model file from an OBJ model",
     "Reads the Wavefront OBJ model IN.obj (v, vn, vt, f, l, g, usemtl and mtllib statements; faces\n"
     "with more than three corners become fans of triangles) with the MTL material library it\n"
     "names, and writes the engine model file OUT.xm: one mesh per material. The model names its\n"
     "library by a path relative to OUT's folder; 'build' packs the library and its pictures.\n"
     "Statements the importer does not know are skipped with a warning; a damaged file (a face\n"
     "with fewer than three corners, a corner naming a position the file does not give, a line\n"
     "over 64 KB) is refused with its line number. Normals are generated when the OBJ has none.\n"
     "\n"
     "  --unitize       scale and move the model into the cube from -1 to 1, keeping its proportions\n"
     "  --reduce TOL    take out vertices that lie on a straight edge within TOL degrees in flat\n"
     "                  regions (fewer vertices, the same shape)\n"
     "\n"
     "  --json          the report as one JSON object\n"
     "\n"
     "Prints the meshes, vertices and triangles written.",
     qmpackImportObj},
    {"anim", "-o OUT.xa [--loop] [--ping-pong] [--json] MODEL:DURATION_MS ...", "make a frame animation from models",
     "Writes the frame animation OUT.xa: one key frame per engine model file (.xm, from\n"
     "'qmpack import-obj'), each shown for DURATION_MS milliseconds. The saver moves every vertex\n"
     "on a smooth curve through its places in the key frames, so every frame must have the first\n"
     "frame's meshes, vertices and triangles (only positions and normals may differ). The\n"
     "animation keeps the first frame's material library, named from OUT's folder. Frames are\n"
     "numbered from 0.\n"
     "\n"
     "  --loop          after the last frame, go on with the first\n"
     "  --ping-pong     after the last frame, play backwards to the first, and so on (implies --loop)\n"
     "  --json          the report as one JSON object\n"
     "\n"
     "Prints the frames, the length and the meshes written.",
     qmpackAnim},
    {"movie", "-o OUT.xs --fps N [--keys K,K,...] [--loop] [--ping-pong] [--quality Q] [--json] FRAME ...",
     "make a sprite movie from pictures with alpha",
     "Writes the sprite movie OUT.xs from frame pictures with alpha (PNG, or any picture DevIL\n"
     "reads), shown at N frames a second. Each frame is cropped to its visible pixels (alpha not\n"
     "0) and split into a JPEG colour picture and a JPEG mask, written beside OUT as\n"
     "OUT-0000.jpg, OUT-0000_m.jpg, OUT-0001.jpg, ... (OUT without its .xs); the movie names them\n"
     "from its own folder, and 'build' packs them. Needs the DevIL picture library.\n"
     "\n"
     "  --fps N         frames a second (above 0, at most 1000)\n"
     "  --keys K,K,...  the movie drives a frame animation: the animation's key frame k is\n"
     "                  reached at the k-th movie frame listed (movie frames from 0, rising)\n"
     "  --loop          after the last frame, go on with the first\n"
     "  --ping-pong     after the last frame, play backwards (implies --loop)\n"
     "  --quality Q     JPEG quality of the colour and mask pictures, 1 to 100 (90)\n"
     "  --json          the report as one JSON object\n"
     "\n"
     "A shorter movie written over a longer one removes the longer one's extra pictures.",
     qmpackMovie},
    {"build", "OUT MANIFEST [--transposed] [--names FILE] [--header FILE] [--json]",
     "build a package from a manifest",
     "Builds the package OUT from the files a manifest lists. Each manifest line is 'NUMBER PATH':\n"
     "the file at PATH (relative to the manifest's folder) becomes entry NUMBER. Blank lines and\n"
     "lines starting with '#' are ignored.\n"
     "\n"
     "Pictures (.png, .jpg, .jpeg, .gif, .bmp, .tga) are packed as pictures; a picture is typed by\n"
     "its bytes, and a file whose bytes are not the picture its name says is refused, as is one\n"
     "wider or taller than 8192 pixels or of more than 4096 x 4096 in all (by its header, before\n"
     "anything decodes it). The engine's\n"
     "own files are compiled: a model (.xm, from 'qmpack import-obj') brings its material library\n"
     "and the library's pictures, an animation (.xa, from 'qmpack anim') its library and pictures,\n"
     "a movie (.xs, from 'qmpack movie') its colour and mask pictures; each becomes an entry of its\n"
     "own, and the record names it by entry number. Such compiled content takes free numbers above\n"
     "every number the manifest uses; a line\n"
     "'free NUMBER' makes the free numbers start at NUMBER instead (numbers already taken are\n"
     "skipped). Any other file is packed as it is.\n"
     "\n"
     "  --transposed    store the body transposed (the saver reads both forms)\n"
     "  --names FILE    write the names file: what each free number holds (relative to the\n"
     "                  manifest's folder), and where the free numbers start, so that 'add' can\n"
     "                  continue the numbering\n"
     "  --header FILE   write a C header with one '#define FXNAME_<FILE>  <number>' per free number\n"
     "  --json          a JSON report: package, entries, added, replaced, compiled, dataBytes, names\n"
     "\n"
     "MANIFEST may be a pipe (build OUT <(printf ...)); its paths are then taken from the working\n"
     "folder. Nothing is written unless every source can be read; OUT is written beside its final\n"
     "name and renamed into place, keeps its permissions, and may not be one of the command's inputs.",
     qmpackBuild},
    {"add", "PACKAGE MANIFEST [--transposed] [--names FILE] [--header FILE] [--json]",
     "add a manifest's files to an existing package",
     "Adds the entries of MANIFEST (the same form as for 'build') to PACKAGE. Stored entries keep\n"
     "their numbers and their bytes; a number the package already holds is refused, and so is a\n"
     "negative one. The package is locked while it is read and rewritten, so two commands adding\n"
     "to it at once both succeed.\n"
     "A damaged package (one whose entries lie outside its data area) is refused and left alone.\n"
     "\n"
     "  --transposed    store the body transposed (a transposed package stays transposed)\n"
     "  --names FILE    continue the numbering of the names file an earlier 'build --names' wrote\n"
     "                  (files registered before keep their numbers), and write it back\n"
     "  --header FILE   write the C header of the names\n"
     "  --json          a JSON report, as for 'build'",
     qmpackAdd},
    {"replace", "PACKAGE MANIFEST [--any-kind] [--transposed] [--names FILE] [--header FILE] [--json]",
     "replace entries of a package (and add new ones) from a manifest",
     "Like 'add', but a number the package already holds is replaced: the entry's old bytes are\n"
     "dropped and the manifest's file takes its number. A picture must be replaced by a picture that\n"
     "decodes, and a model, animation, movie or other record by one of the same kind. Numbers the\n"
     "package does not hold are added. The package is locked and rewritten all or nothing, as\n"
     "with 'add'. Content that only the replaced entry named (a model's material library, a\n"
     "movie's pictures) stays in the package.\n"
     "\n"
     "  --any-kind      allow an entry to become another kind (a picture a record, a model a movie)\n"
     "  --transposed    store the body transposed (a transposed package stays transposed)\n"
     "  --names FILE    continue the numbering of the names file, and write it back\n"
     "  --header FILE   write the C header of the names\n"
     "  --json          a JSON report, as for 'build'",
     qmpackReplace},
    {"unpack", "PACKAGE -o DIR [--force] [--json]", "write every entry as a file, with a manifest that builds it again",
     "Writes every entry of PACKAGE as a file in DIR, in the form 'build' reads: pictures as\n"
     "pictures of their own kind, models as .xm, animations as .xa and movies as .xs files that\n"
     "name their material libraries (.mtl text) and pictures by path, and anything else as its\n"
     "bytes (.bin). DIR/qmsave.txt is the manifest: 'qmpack build OUT DIR/qmsave.txt' builds the\n"
     "package again with every entry on its number. The tree is built once to check it, which\n"
     "writes the names file DIR/qmsave.names and reports the entries that do not come back byte\n"
     "for byte (a library label outside DIR, material settings a .mtl file cannot hold, movies\n"
     "of older layouts). Names read from the package never lead outside DIR and never clash (a\n"
     "label that would need a folder where another file goes, or a part too long, gets a name\n"
     "that can be a file). Every file is written into a staging folder first and moved into place\n"
     "once all are written: a failure leaves DIR as it was. No file of the tree may be PACKAGE.\n"
     "\n"
     "  -o DIR          the folder to write (made when missing; refused when not empty)\n"
     "  --force         write into a folder that is not empty, replacing files of the same names\n"
     "  --json          the report as one JSON object: package, folder, manifest, names, entries,\n"
     "                  files, identical, differ (entry numbers), notes",
     qmpackUnpack},
    {"list", "FILE [NUMBER...] [--json]", "describe the entries of a package",
     "Prints one line per entry (or per NUMBER given): its number, type, size and what it holds:\n"
     "a picture's kind, size and layout; a model's name and library, with one line per mesh\n"
     "(vertex and index counts and material); a material library's materials and their pictures.\n"
     "Only the package's tables and each entry are read, never the whole file.\n"
     "\n"
     "Damage is marked on the entry's line (DAMAGED: reason): entries outside the data area,\n"
     "pictures that are not what their type says, records the engine refuses, numbers used twice,\n"
     "references to missing entries. A damaged package ends with a one-line summary on standard\n"
     "error and exit status 1.\n"
     "\n"
     "  --json          the same as one JSON object: {\"file\", \"transposed\", \"entries\": [...],\n"
     "                  \"damaged\"}; each entry has number, type, size, offset, kind, summary, the\n"
     "                  kind's own fields and, when damaged, problem",
     qmpackList},
    {"extract", "FILE NUMBER -o OUT", "write one entry's bytes to a file",
     "Writes the bytes of entry NUMBER of package FILE to OUT ('-' for standard output). OUT is\n"
     "written beside its final name and renamed into place; it may not be the package itself.",
     qmpackExtract},
    {"help", "[COMMAND]", "show this help, or one command's help", "", localHelp},
};

const QMPackCommand* localFind(const char* name) {
    for (const QMPackCommand& c : kCommands)
        if (strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

void localPrintHelp(FILE* out) {
    fprintf(out,
            "qmpack: builds and inspects QuietMeadows data packages.\n"
            "\n"
            "usage: qmpack COMMAND [ARGUMENTS]\n"
            "\n");
    for (const QMPackCommand& c : kCommands) fprintf(out, "  %-10s  %s\n", c.name, c.summary);
    fprintf(out,
            "\n"
            "'qmpack help COMMAND' (or 'qmpack COMMAND --help') tells more about one command;\n"
            "'qmpack --version' prints the version. The manual page is qmpack(1).\n"
            "Every command takes --quiet (errors only) and --verbose (each step).\n"
            "\n"
            "Exit status: 0 done, 1 failed (the message says which file and why), 2 wrong usage\n"
            "(also a value an option cannot take).\n");
}

void localPrintCommandHelp(const QMPackCommand& c) {
    printf("usage: qmpack %s %s\n\n%s\n", c.name, c.usage, *c.help ? c.help : c.summary);
}

int localHelp(int argc, char** argv) {
    if (argc > 0) {
        const QMPackCommand* c = localFind(argv[0]);
        if (!c) {
            fprintf(stderr, "qmpack: unknown command '%s' (try 'qmpack help')\n", argv[0]);
            return QMPACK_USAGE;
        }
        localPrintCommandHelp(*c);
        return QMPACK_OK;
    }
    localPrintHelp(stdout);
    return QMPACK_OK;
}

// True when the arguments ask for help before any "--".
bool localAsksHelp(int argc, char** argv) {
    for (int i = 0; i < argc; i++) {
        if (!strcmp(argv[i], "--")) return false;
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) return true;
    }
    return false;
}

}  // namespace

int qmpackUsage(const char* command) {
    const QMPackCommand* c = localFind(command);
    if (c) fprintf(stderr, "usage: qmpack %s %s\n(try 'qmpack help %s')\n", c->name, c->usage, c->name);
    return QMPACK_USAGE;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        localPrintHelp(stderr);
        return QMPACK_USAGE;
    }
    const char* name = argv[1];
    if (!strcmp(name, "-h") || !strcmp(name, "--help")) name = "help";
    if (!strcmp(name, "--version") || !strcmp(name, "-V")) {
        printf("qmpack %s (QuietMeadows package tool: packages pck01, models xm03, animations xa03, movies xs03)\n",
               QMPACK_VERSION);
        return QMPACK_OK;
    }
    const QMPackCommand* c = localFind(name);
    if (!c) {
        fprintf(stderr, "qmpack: unknown command '%s' (try 'qmpack help')\n", argv[1]);
        return QMPACK_USAGE;
    }
    if (localAsksHelp(argc - 2, argv + 2)) {
        localPrintCommandHelp(*c);
        return QMPACK_OK;
    }
    qmpackInstallCleanup();
    return c->run(argc - 2, argv + 2);
}
