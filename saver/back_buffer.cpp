// Reading the back buffer before the swap, into a buffer kept from frame to frame.
#include "saver/back_buffer.h"

void QmBackBuffer::OnFrameShown(PEnv* env) {
    int w = env->width, h = env->height;
    if (w <= 0 || h <= 0) return;
    px.resize(size_t(w) * size_t(h) * 4);  // the same size every frame: no allocation after the first
    width = w;
    height = h;
    env->ReadBackBuffer(w, h, px.data());
    shown++;
}
