// SMovie authoring: cropping frames to their visible box, writing the "xs03" record, registering
// the frame pictures with a package, and reordering or deleting frames. Not used while playing.
//
// Cropping loads each frame's picture (with its mask, for colour and mask pairs), finds the box of
// the pixels whose alpha is not 0, and writes the box as a JPEG colour picture "<name>.jpg" and a
// mask picture "<name>_m.jpg" beside the source. The box includes its last column and row; a
// frame without a visible pixel keeps its top-left pixel, fully transparent.
#include <cstdio>
#include <cstdlib>

#include "base/binio.h"
#include "base/package.h"
#include "base/paths.h"
#include "base/trace.h"
#include "elements/smovie.h"
#include "image/canvas.h"

namespace {

// Frame names are written relative to dir, the movie file's folder.
void localWriteRecord(const SMovie* mv, FILE* f, const char* dir) {
    FXStr("xs03").Save(f);
    fxFileWriteBool(f, mv->loop);
    fxFileWriteBool(f, mv->pingPong);
    fxFileWriteDouble(f, mv->frameDuration);
    fxFileWriteInt(f, mv->maxCropWidth);
    fxFileWriteInt(f, mv->maxCropHeight);
    mv->rects.Save(f);
    mv->colorNames.SaveShortPaths(f, dir);
    mv->maskNames.SaveShortPaths(f, dir);
    fxFileWriteBool(f, mv->keyed);
    if (mv->keyed) mv->keyFrames.Save(f);
}

// The cropped pair of one frame and where it went.
struct localCrop {
    int left, top, right, bottom;  // inclusive pixel box
    FXStr colour, mask;            // the written pictures
};

bool localCropFrame(FXCanvas* c, const char* colourName, const char* maskName, int frame, localCrop* out) {
    if (!c->CreateFromPict(colourName) || (*maskName && !c->LoadMask(maskName))) {
        err({FX_ERR_PICTURE, nullptr, colourName}, "movie frame %d: picture %s could not be read\n", frame, colourName);
        return false;
    }
    SMovie::ComputeEdges(&c->pixmap, &out->left, &out->top, &out->right, &out->bottom);
    if (out->right < out->left) out->left = out->top = out->right = out->bottom = 0;  // nothing visible
    const char* jpg = fxChangeExt(colourName, "jpg");
    if (jpg) out->colour.Set(jpg);
    const char* mask = jpg ? fxAppenfFname(out->colour, "_m") : nullptr;
    if (mask) out->mask.Set(mask);
    int x1 = out->right + 1, y1 = out->bottom + 1;
    if (!mask || !c->SaveToPict1(out->colour, out->left, out->top, x1, y1) ||
        !c->SaveToMask1(out->mask, out->left, out->top, x1, y1)) {
        err(FX_ERR_IO, "movie frame %d: cropped pictures of %s could not be written\n", frame, colourName);
        return false;
    }
    return true;
}

// Moves the block of n items of frame pos in list to frame pos + step (step is 1 or -1).
template <typename T>
void localSwapBlock(T* items, int pos, int step, int n) {
    for (int k = 0; k < n; k++) {
        T t = items[pos * n + k];
        items[pos * n + k] = items[(pos + step) * n + k];
        items[(pos + step) * n + k] = t;
    }
}

}  // namespace

void SMovie::ComputeEdges(FXPixmap* p, int* left, int* top, int* right, int* bottom) {
    int w = p ? p->width : 0, h = p ? p->height : 0;
    *left = w, *top = h, *right = -1, *bottom = -1;
    if (!p || !p->data) return;
    for (int y = 0; y < h; y++) {
        const unsigned char* px = p->PixelBytes(0, y);
        for (int x = 0; x < w; x++, px += 4) {
            if (px[3] == 0) continue;
            if (x < *left) *left = x;
            if (x > *right) *right = x;
            if (y < *top) *top = y;
            *bottom = y;
        }
    }
}

bool SMovie::CropFrames() {
    int count = GetFrameCount();
    FXStrArray colours, masks;
    FXArray boxes;
    FXFloatArray quads;
    int maxW = 0, maxH = 0;
    FXCanvas canvas;
    canvas.autoDetectTrans = false;
    for (int i = 0; i < count; i++) {
        localCrop crop;
        const char* mask = compiled && i < maskNames.top ? maskNames.Get(i) : "";
        if (!localCropFrame(&canvas, colorNames.Get(i), mask, i, &crop)) return false;
        float w = canvas.GetWidthF(), h = canvas.GetHeightF();
        int box[4] = {crop.left, crop.top, crop.right, crop.bottom};
        for (int v : box) boxes.PushInt(v);
        quads.Push(float(crop.left) * 2.0f / w - 1.0f);
        quads.Push(1.0f - float(crop.top) * 2.0f / h);
        quads.Push(float(crop.right + 1) * 2.0f / w - 1.0f);
        quads.Push(1.0f - float(crop.bottom + 1) * 2.0f / h);
        if (crop.right - crop.left + 1 > maxW) maxW = crop.right - crop.left + 1;
        if (crop.bottom - crop.top + 1 > maxH) maxH = crop.bottom - crop.top + 1;
        colours.Push(crop.colour);
        masks.Push(crop.mask);
    }
    // Every frame is written: the movie now names the cropped pairs.
    FreeBlocks();
    inMemory = false;
    edges.DestroyBuf();
    rects.DestroyBuf();
    colorNames.DestroyBuf();
    maskNames.DestroyBuf();
    for (int i = 0; i < count; i++) {
        colorNames.Push(colours.Get(i));
        maskNames.Push(masks.Get(i));
        for (int k = 0; k < 4; k++) {
            edges.PushInt(boxes.GetInt(4 * i + k));
            rects.Push(quads.items[4 * i + k]);
        }
    }
    maxCropWidth = maxW;
    maxCropHeight = maxH;
    hasRects = true;
    return true;
}

bool SMovie::Save(const char* path) {
    if (!path || !*path) return false;
    if (!saved && !CropFrames()) return false;
    FILE* f = fopen(path, "wb");
    if (!f) {
        err({FX_ERR_IO, nullptr, path}, "movie file %s could not be created\n", path);
        return false;
    }
    localWriteRecord(this, f, fxAbsolutePath(fxDirOf(path)).c_str());
    bool ok = !ferror(f);
    if (fclose(f) != 0) ok = false;
    if (!ok) {
        err({FX_ERR_IO, nullptr, path}, "movie file %s could not be written\n", path);
        return false;
    }
    compiled = saved = true;
    return true;
}

bool SMovie::Compile(FXPackage* pkg) {
    if (!pkg) return false;
    bool ok = true;
    for (int i = 0; i < GetFrameCount(); i++) {
        FXStrArray* lists[2] = {&colorNames, &maskNames};
        for (FXStrArray* names : lists) {
            if (i >= names->top || !*names->Get(i)) continue;
            FXStr name(names->Get(i));
            if (!fxIsAbsolutePath(name) && !pkg->sourceDir.IsEmpty()) {
                const char* joined = fxCombinePaths(pkg->sourceDir, name);
                if (joined) name.Set(joined);
            }
            FXStr path(name);
            pkg->AddDataFile1(&name);
            if (pkg->names.FindId(path) < 0) {  // no entry number left (traced by the package)
                ok = false;
                continue;
            }
            names->Change(i, name);
        }
    }
    return ok;
}

void SMovie::MovePos(int pos, int dir) {
    int count = GetFrameCount();
    int step = dir > 0 ? 1 : dir < 0 ? -1 : 0;
    if (step == 0 || pos < 0 || pos >= count || pos + step < 0 || pos + step >= count) return;
    colorNames.MovePos(pos, dir);
    if (maskNames.top == count) maskNames.MovePos(pos, dir);
    FXArray* perFrame[4] = {&colorData, &colorSizes, &maskData, &maskSizes};
    for (FXArray* a : perFrame)
        if (a->top == count) a->MovePos(pos, dir);
    if (edges.top == 4 * count) localSwapBlock(edges.items, pos, step, 4);
    if (rects.top == 4 * count) localSwapBlock(rects.items, pos, step, 4);
}

void SMovie::DeletePos(int pos) {
    int count = GetFrameCount();
    if (pos < 0 || pos >= count) return;
    colorNames.RemovePos(pos);
    if (maskNames.top == count) maskNames.RemovePos(pos);
    FXArray* blocks[2] = {&colorData, &maskData};
    for (FXArray* a : blocks) {
        if (a->top != count) continue;
        FreeBlock(a->Get(pos));
        a->RemovePos(pos);
    }
    if (colorSizes.top == count) colorSizes.RemovePos(pos);
    if (maskSizes.top == count) maskSizes.RemovePos(pos);
    bool boxes = edges.top == 4 * count, quads = rects.top == 4 * count;
    for (int k = 0; k < 4; k++) {
        if (boxes) edges.RemovePos(4 * pos);
        if (quads) rects.RemovePos(4 * pos);
    }
    hasRects = hasRects && rects.top == 4 * colorNames.top;
}
