// The current environment of each thread: a render thread's is its own loop's environment, so
// scenes on several render threads (one per monitor) never reach each other's device.
#include "render/render.h"

thread_local PEnv* fxglobalEnv = nullptr;

void fxSetEnv(PEnv* env) { fxglobalEnv = env; }
