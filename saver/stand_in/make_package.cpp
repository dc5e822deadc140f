// Writes the small scene package of the tests to the path given, so the saver has content to show
// from the build tree until the demo package is built.
#include <cstdio>
#include <string>

#include "image/devil.h"
#include "support/scene_package.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s PACKAGE\n", argv[0]);
        return 2;
    }
    if (!fxLoadDevil()) {
        fprintf(stderr, "%s: the image library (DevIL) is missing\n", argv[0]);
        return 1;
    }
    QmScenePackage content;
    content.openingMs = 3000;
    std::string why;
    bool ok = qmWriteScenePackage(argv[1], content, &why);
    fxUnloadDevil();
    if (!ok) fprintf(stderr, "%s: %s\n", argv[0], why.c_str());
    return ok ? 0 : 1;
}
