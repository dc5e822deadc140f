// The OpenGL 1.x headers for the device files, the few later constants the device uses (older
// headers lack them) and the process-wide multitexture entry points, which are fetched only when
// the driver lists the extension and are null otherwise.
#pragma once

// On Windows, GL/gl.h brings the system declarations it needs itself.
#include <GL/gl.h>
#include <GL/glu.h>

#ifndef GLAPIENTRY  // the Windows headers call it APIENTRY
#define GLAPIENTRY APIENTRY
#endif
#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif
#ifndef GL_TEXTURE0
#define GL_TEXTURE0 0x84C0
#define GL_TEXTURE1 0x84C1
#endif
#ifndef GL_LIGHT_MODEL_COLOR_CONTROL
#define GL_LIGHT_MODEL_COLOR_CONTROL 0x81F8
#define GL_SINGLE_COLOR 0x81F9
#endif

typedef void(GLAPIENTRY* FXPfnActiveTexture)(GLenum unit);
typedef void(GLAPIENTRY* FXPfnMultiTexCoord2f)(GLenum unit, GLfloat s, GLfloat t);
typedef void(GLAPIENTRY* FXPfnMultiTexCoord2fv)(GLenum unit, const GLfloat* st);

extern FXPfnActiveTexture fxglActiveTexture;
extern FXPfnMultiTexCoord2f fxglMultiTexCoord2f;
extern FXPfnMultiTexCoord2fv fxglMultiTexCoord2fv;
