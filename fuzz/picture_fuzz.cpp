// Fuzzes picture decoding through the image library: the first input byte picks the entry type
// (BMP, JPEG, PNG, TGA, GIF) and whether buffers round up to powers of two, the rest is a picture
// entry of a package. The picture is decoded into a canvas reused from the previous input (so a
// buffer is grown, shrunk and reused), then as a mask, sampled and edge-extended; the canvas must
// keep its picture inside its buffer. The sanitizers catch any write outside the pixel buffer.
#include <cstdlib>

#include "fuzz_input.h"
#include "image/canvas.h"
#include "image/devil.h"

namespace {

const int kTypes[] = {FX_PACKAGE_TYPE_BMP, FX_PACKAGE_TYPE_JPG, FX_PACKAGE_TYPE_PNG, FX_PACKAGE_TYPE_TGA,
                      FX_PACKAGE_TYPE_GIF};

volatile float localSink;

void localCheck(const FXCanvas& c) {
    const FXPixmap& p = c.pixmap;
    if (p.width < 0 || p.height < 0 || p.width > p.bufWidth || p.height > p.bufHeight ||
        int64_t(p.bufWidth) * p.bufHeight > int64_t(p.allocated))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool devil = fxLoadDevil();
    if (!devil || size < 1) return 0;
    static FXPackage pkg;
    static FXCanvas canvas;
    qmFuzzPackage(&pkg, data + 1, size - 1, 0, kTypes[data[0] % 5]);
    canvas.pixmap.power2 = data[0] >> 7;
    canvas.transMode = (data[0] >> 6) & 1;
    if (canvas.CreateFromPictCN(&pkg, 0)) {
        localCheck(canvas);
        float rgba[4];
        canvas.GetColor(0.5f, 0.5f, rgba);
        localSink = rgba[0] + canvas.GetBump(0.25f, 0.75f);
        canvas.ExtendEdges();
        localCheck(canvas);
    }
    if (canvas.LoadMaskCN(&pkg, 0)) localCheck(canvas);
    return 0;
}
