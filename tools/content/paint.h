// Drawing helpers over Cairo: an owned surface with its context, PNG and JPEG output, the DejaVu
// fonts, and a few shapes several pictures share (soft glows, rounded boxes, dandelion heads).
#pragma once

#include <cairo.h>

#include <string>

#include "content.h"

// An ARGB32 image surface with a drawing context, released together.
class QMCCanvas {
public:
    // alpha false makes an opaque picture (written without an alpha channel).
    QMCCanvas(int width, int height, bool alpha = true);
    ~QMCCanvas();
    QMCCanvas(const QMCCanvas&) = delete;
    QMCCanvas& operator=(const QMCCanvas&) = delete;

    cairo_t* cr() const { return context; }
    cairo_surface_t* surface() const { return image; }
    int width() const { return w; }
    int height() const { return h; }

    bool SavePng(const std::string& path, std::string* err) const;
    // JPEG through the engine's picture writer (the image library it binds); opaque pictures only.
    bool SaveJpeg(const std::string& path, int quality, std::string* err) const;
    // R, G, B, A bytes of pixel (x, y), not premultiplied.
    void Pixel(int x, int y, unsigned char* rgba) const;
    // The colour at texture coordinates (u, v) (nearest pixel), 0..1 per channel; call Flush
    // once after drawing first.
    void Sample(double u, double v, double* rgb) const;
    void Flush() const { cairo_surface_flush(image); }

private:
    void PixelRaw(int x, int y, unsigned char* rgba) const;

    cairo_surface_t* image = nullptr;
    cairo_t* context = nullptr;
    int w = 0, h = 0;
};

enum QMCFont { kQmcSans, kQmcSansBold, kQmcSerif, kQmcSerifBold, kQmcSerifItalic };
// Selects a DejaVu face at the given pixel size.
void qmcFont(cairo_t* cr, QMCFont font, double size);
// Draws text centred on (x, y) (the ink box's centre).
void qmcTextCentred(cairo_t* cr, const char* text, double x, double y);

void qmcRgba(cairo_t* cr, double r, double g, double b, double a);
// A round glow: colour at the centre fading to nothing at radius.
void qmcGlow(cairo_t* cr, double x, double y, double radius, double r, double g, double b, double a);
void qmcRoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
// A dandelion seed head (a "clock"): fine white rays from a centre, radius in pixels.
void qmcDandelionClock(cairo_t* cr, QMCRandom* rnd, double x, double y, double radius, double alpha);
// One dandelion seed: the stalk from (x, y) at angle (radians, 0 = upwards) with its parachute.
void qmcDandelionSeed(cairo_t* cr, double x, double y, double size, double angle, double alpha, double twist);
