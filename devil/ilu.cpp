// The stand-in ILU companion: scaling the bound image of the stand-in DevIL library.
#include <cstring>

#include "il_standin.h"

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_STATIC
#include <stb_image_resize.h>

namespace {

const ILenum kIluFilter = 0x2600;
ILenum localFilter = 0;

}  // namespace

QMIL_API ILboolean FX_ILAPI iluScale(ILuint w, ILuint h, ILuint d) {
    QmilImage* img = qmilCurrentImage();
    if (!img || img->data.empty() || w == 0 || h == 0 || d != 1) return 0;
    if (uint64_t(w) * h * img->channels > 0x40000000ull || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return 0;
    if (int(w) == img->width && int(h) == img->height) return 1;
    std::vector<unsigned char> out(size_t(w) * h * img->channels);
    int alpha = img->channels == 2 ? 1 : img->channels == 4 ? 3 : STBIR_ALPHA_CHANNEL_NONE;
    if (!stbir_resize_uint8_generic(img->data.data(), img->width, img->height, 0, out.data(), int(w), int(h), 0,
                                    img->channels, alpha, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_DEFAULT,
                                    STBIR_COLORSPACE_LINEAR, nullptr))
        return 0;
    img->data.swap(out);
    img->width = int(w);
    img->height = int(h);
    return 1;
}

// The filter choice is kept; scaling always uses the resampler's own filter.
QMIL_API void FX_ILAPI iluImageParameter(ILenum name, ILenum param) {
    if (name == kIluFilter) localFilter = param;
}
