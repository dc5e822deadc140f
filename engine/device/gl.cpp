// The OpenGL device's platform-independent part: extension probing, the fixed render state, and
// the state operations (clearing, matrices, lights, materials, depth and culling). Every call
// here expects the context to be current on the calling thread.
#include <cstring>

#include "base/trace.h"
#include "image/light.h"
#include "image/material.h"
#include "device/gl.h"
#include "device/gl_api.h"

FXPfnActiveTexture fxglActiveTexture = nullptr;
FXPfnMultiTexCoord2f fxglMultiTexCoord2f = nullptr;
FXPfnMultiTexCoord2fv fxglMultiTexCoord2fv = nullptr;

const char* const kFXGLCapabilityMessage =
    "Your Graphics Capabilities seems to be insufficient. Either you have no Graphics Card, or "
    "you have not installed the drivers for it.";

namespace {

const char* localGLString(GLenum name) {
    const GLubyte* s = glGetString(name);
    return s ? reinterpret_cast<const char*>(s) : "";
}

void localSetCapability(GLenum cap, bool on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

// Binds m's texture on the active unit when it has one, else unbinds; returns whether bound.
bool localBindTexture(FXMaterial* m) {
    if (m && m->hasTexture && m->textureName) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, m->textureName);
        return true;
    }
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    return false;
}

}  // namespace

FXGL::FXGL() { matrix.SetIdentity(); }

FXGL::~FXGL() { FXGL::Destroy(); }

bool FXGL::TestExtensionString(const char* extensions, const char* name) {
    if (!extensions || !name || !*extensions || !*name) return false;
    size_t n = strlen(name);
    const char* start = extensions;
    while (*start) {
        const char* hit = strstr(start, name);
        if (!hit) return false;
        char after = hit[n];
        if (after == ' ' || after == 0) return true;
        start = hit + n;  // a longer name that begins with this one: search on behind it
    }
    return false;
}

bool FXGL::InitExtensions() {
    trc("OpenGL info:\n");
    trc("vendor: %s\n", localGLString(GL_VENDOR));
    trc("renderer: %s\n", localGLString(GL_RENDERER));
    trc("version: %s\n", localGLString(GL_VERSION));
    return InitExtensionsFrom(localGLString(GL_EXTENSIONS));
}

bool FXGL::InitExtensionsFrom(const char* ext) {
    hasBgra = TestExtensionString(ext, "EXT_bgra");
    hasSeparateSpecular = TestExtensionString(ext, "EXT_separate_specular_color");
    hasEdgeClamp = TestExtensionString(ext, "EXT_texture_edge_clamp") ||
                   TestExtensionString(ext, "SGIS_texture_edge_clamp");
    hasMultitexture = TestExtensionString(ext, "ARB_multitexture");
    hasCubeMap = TestExtensionString(ext, "ARB_texture_cube_map");
    npotTextures = TestExtensionString(ext, "ARB_texture_non_power_of_two");

    // Entry points are looked up only for a listed extension: a lookup of an unknown name may
    // still return a dispatch stub, so a non-null result proves nothing.
    if (hasMultitexture) {
        fxglActiveTexture = reinterpret_cast<FXPfnActiveTexture>(ProcAddress("glActiveTextureARB"));
        fxglMultiTexCoord2f = reinterpret_cast<FXPfnMultiTexCoord2f>(ProcAddress("glMultiTexCoord2fARB"));
        fxglMultiTexCoord2fv = reinterpret_cast<FXPfnMultiTexCoord2fv>(ProcAddress("glMultiTexCoord2fvARB"));
    } else {
        fxglActiveTexture = nullptr;
        fxglMultiTexCoord2f = nullptr;
        fxglMultiTexCoord2fv = nullptr;
    }

    if (hasBgra) trc("EXT_bgra\n");
    if (hasSeparateSpecular) trc("EXT_separate_specular_color\n");
    if (hasEdgeClamp) trc("EXT_texture_edge_clamp\n");
    if (hasMultitexture) trc("ARB_multitexture\n");
    if (hasCubeMap) trc("ARB_texture_cube_map\n");
    if (npotTextures) trc("ARB_texture_non_power_of_two\n");
    return hasEdgeClamp;
}

bool FXGL::TestGL(bool showMessage) {
    if (hasMultitexture) return true;
    if (showMessage) errmsg("%s", kFXGLCapabilityMessage);
    return false;
}

void FXGL::ClrParams() {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 2, -2);  // near 2, far -2: larger z lies further away
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    float black[4] = {0, 0, 0, 0};
    SetClrColor(black);
    glClearDepth(2.0);
    glClearStencil(0);

    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.007843138f);  // 2/255: alpha 0 and 1/255 are dropped
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_LIGHTING);
    glDisable(GL_NORMALIZE);
    float noAmbient[4] = {0, 0, 0, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, noAmbient);
    if (hasSeparateSpecular) glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SINGLE_COLOR);
}

void FXGL::SetClrColor(float* rgba) {
    for (int i = 0; i < 4; i++) clearColor[i] = rgba[i];
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
}

void FXGL::Clrscr(bool colour, bool depth, bool stencil) {
    FX_ASSERT(CanIssueCalls() && "the screen is cleared with the device's context current");
    GLbitfield mask = 0;
    if (colour) mask |= GL_COLOR_BUFFER_BIT;
    if (depth) mask |= GL_DEPTH_BUFFER_BIT;
    if (stencil) mask |= GL_STENCIL_BUFFER_BIT;
    glClear(mask);
}

void FXGL::UpdateLights() {
    for (int i = 0; i < kMaxLights; i++) {
        GLenum id = GL_LIGHT0 + i;
        FXLight* l = lights[i];
        if (!l || l->off) {
            glDisable(id);
            continue;
        }
        l->lightId = int(id);
        glLightfv(id, GL_POSITION, l->position);
        glLightfv(id, GL_SPOT_DIRECTION, l->spotDirection);
        glLightfv(id, GL_AMBIENT, l->ambient);
        glLightfv(id, GL_DIFFUSE, l->diffuse);
        glLightfv(id, GL_SPECULAR, l->specular);
        glLightf(id, GL_SPOT_EXPONENT, l->spotExponent);
        glLightf(id, GL_SPOT_CUTOFF, l->spotCutoff);
        glLightf(id, GL_CONSTANT_ATTENUATION, l->constantAttenuation);
        glLightf(id, GL_LINEAR_ATTENUATION, l->linearAttenuation);
        glLightf(id, GL_QUADRATIC_ATTENUATION, l->quadraticAttenuation);
        glEnable(id);
    }
}

void FXGL::ApplyMaterial(FXMaterial* m) {
    if (testingMaterial) return;
    if (m) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m->ambient);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m->diffuse);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m->specular);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, m->emission);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m->shininess);
    }
    textureOn = localBindTexture(m);
}

void FXGL::ApplyMaterial2(FXMaterial* m) {
    if (testingMaterial || !fxglActiveTexture) return;
    fxglActiveTexture(GL_TEXTURE1);
    texture2On = localBindTexture(m);
    fxglActiveTexture(GL_TEXTURE0);
}

void FXGL::ApplyMatrix(FXMatrix* m) {
    matrix.Copy(m);
    glLoadMatrixf(matrix.m);
}

void FXGL::MultiplyMatrix(FXMatrix* m) {
    FXMatrix product;
    product.Multiply(&matrix, m);
    matrix.Copy(&product);
    glLoadMatrixf(matrix.m);
}

void FXGL::ApplyMatrixIdentity() {
    matrix.SetIdentity();
    glLoadIdentity();
}

void FXGL::EnableLights(bool on) {
    lightsOn = on;
    localSetCapability(GL_LIGHTING, on);
}

void FXGL::EnableLight(bool on, FXLight* light) {
    if (!light) return;
    light->off = !on;
    if (light->lightId < int(GL_LIGHT0)) return;  // never sent by UpdateLights: no device light yet
    localSetCapability(GLenum(light->lightId), on);
}

void FXGL::DisableAllLights() {
    for (int i = 0; i < kMaxLights; i++) {
        if (lights[i]) lights[i]->off = true;
        glDisable(GL_LIGHT0 + i);
    }
}

void FXGL::SetAmbient(float* rgba) { glLightModelfv(GL_LIGHT_MODEL_AMBIENT, rgba); }

void FXGL::EnableDepthTest(bool on) {
    depthTest = on;
    localSetCapability(GL_DEPTH_TEST, on);
}

void FXGL::EnableDepthWrite(bool on) {
    depthWrite = on;
    glDepthMask(on ? GL_TRUE : GL_FALSE);
}

void FXGL::EnableCullface(bool front, bool back) {
    cullFront = front;
    cullBack = back;
    if (front || back) {
        glEnable(GL_CULL_FACE);
        glCullFace(back ? GL_BACK : GL_FRONT);
    } else {
        glDisable(GL_CULL_FACE);
    }
}

void FXGL::SetDrawArea(const FXScreenRect& area) {
    const FXScreenRect r = area.ClampedTo(width, height);
    if (area.whole || r.CoversWindow(width, height)) {
        glDisable(GL_SCISSOR_TEST);
        return;
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(r.x0, r.y0, r.Width(), r.Height());  // an empty area draws nothing
}

void FXGL::EnableNormalize(bool on) { localSetCapability(GL_NORMALIZE, on); }

void FXGL::EnableSphereMap(bool on) {
    if (on) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    }
    localSetCapability(GL_TEXTURE_GEN_S, on);
    localSetCapability(GL_TEXTURE_GEN_T, on);
}

bool FXGL::ReadBackBuffer(int w, int h, unsigned char* rgba) {
    if (!rgba || w <= 0 || h <= 0) return false;
    FX_ASSERT(CanIssueCalls() && "the back buffer is read with the device's context current");
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return true;
}
