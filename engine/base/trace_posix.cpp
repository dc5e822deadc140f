// Error messages go to standard error on this platform (there is no message box).
#include <cstdio>
#include <cstring>

#include "base/trace.h"

int fxShowErrorMessage(const char* text) {
    size_t n = strlen(text);
    fprintf(stderr, "Error: %s%s", text, (n > 0 && text[n - 1] == '\n') ? "" : "\n");
    fflush(stderr);
    return 1;
}
