// The per-thread chain of error captures.
#include "base/errors.h"

#include <cstring>

namespace {

thread_local FXErrorCapture* localInnermost = nullptr;

}  // namespace

FXErrorCapture::FXErrorCapture() : outer(localInnermost) { localInnermost = this; }

FXErrorCapture::~FXErrorCapture() {
    // Captures end in the reverse order of their start; one that ends out of turn (kept in an
    // object that outlives a later one) is taken out of the chain wherever it is.
    for (FXErrorCapture** at = &localInnermost; *at; at = &(*at)->outer)
        if (*at == this) {
            *at = outer;
            break;
        }
}

std::vector<FXError> FXErrorCapture::Take() {
    std::vector<FXError> taken;
    taken.swap(errors);
    return taken;
}

bool FXErrorCapture::Failed() const {
    for (const FXError& e : errors)
        if (!e.IsWarning()) return true;
    return false;
}

void fxNoteError(const FXErrorKind& kind, const char* message) {
    FXErrorCapture* capture = localInnermost;
    if (!capture) return;
    FXError e;
    e.code = kind.code;
    if (kind.origin) e.origin = kind.origin;
    if (kind.subject) e.subject = kind.subject;
    size_t n = message ? strlen(message) : 0;
    while (n > 0 && message[n - 1] == '\n') n--;
    e.what.assign(message ? message : "", n);
    capture->errors.push_back(e);
}
