// The process-wide current environment.
#include "render/render.h"

PEnv* fxglobalEnv = nullptr;

void fxSetEnv(PEnv* env) { fxglobalEnv = env; }
