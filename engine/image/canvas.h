// FXCanvas, the engine's picture: a pixmap in R, G, B, A byte order plus the flags the texture
// code reads. Pictures decode from files and package entries through the DevIL image library,
// bound at run time (image/devil.h), so the program runs without it and every decode then fails.
// Text renders through the project's own bitmap-font rasterizer (no display needed).
#pragma once

#include "image/pixmap.h"

class FXPackage;

// A font for text rendering. handle is the platform font where one exists; the built-in
// rasterizer draws its bitmap font scaled to pixelHeight.
struct FXFontGDI {
    void* handle = nullptr;
    int pixelHeight = 16;
};

class FXCanvas {
public:
    FXPixmap pixmap;
    bool opaque = true;             // every pixel of the picture area has alpha 255
    bool autoDetectTrans = true;    // file loads take the transparency mode from the file name
    bool transMode = false;         // loads become white with alpha = the picture's red
    bool clearOnLoad = true;        // fill the whole buffer with clearColor before copying in
    float clearColor[4] = {0, 0, 0, 0};

    FXCanvas() = default;
    FXCanvas(const FXCanvas&) = delete;
    FXCanvas& operator=(const FXCanvas&) = delete;
    ~FXCanvas() { pixmap.Destroy(); }

    void Destroy();
    void Clear(const float* colour);

    bool CreateFromPict(const char* file);
    bool CreateFromPictCN(FXPackage* p, int id);
    bool CreateFromPictC(FXPackage* p, const char* name);
    bool LoadMask(const char* file);
    bool LoadMaskCN(FXPackage* p, int id);
    bool LoadMaskC(FXPackage* p, const char* name);

    bool CreateFromText(const char* text, FXFontGDI* font, const float* colour);
    bool CreateFromTextW(const wchar_t* text, FXFontGDI* font, const float* colour);
    bool GetTextSize(const char* text, FXFontGDI* font, int* w, int* h);
    bool GetTextWSize(const wchar_t* text, FXFontGDI* font, int* w, int* h);

    void Copy(const FXCanvas* src);
    void MixColorLayer(float* colour);
    void ExtendEdges();

    int GetWidth() const { return pixmap.width; }
    int GetHeight() const { return pixmap.height; }
    float GetWidthF() const { return float(pixmap.width); }
    float GetHeightF() const { return float(pixmap.height); }
    void GetColor(float u, float v, float* out) const;
    float GetBump(float u, float v) const;

    void SetJpegQuality(int q);
    bool SaveToPict(const char* file);
    bool SaveToPict1(const char* file, int x0, int y0, int x1, int y1);
    bool SaveToPict2(const char* file, int x0, int y0, int x1, int y1);
    bool SaveToMask(const char* file);
    bool SaveToMask1(const char* file, int x0, int y0, int x1, int y1);
};

// True when the lower-cased name contains "tran".
bool localDetectTransFilename(const char* name);
