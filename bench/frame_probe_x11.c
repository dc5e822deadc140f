/* A measuring shim for any OpenGL program on X11, loaded with LD_PRELOAD by the bench: it counts
 * the frames shown (glXSwapBuffers, eglSwapBuffers, or glXCopySubBufferMESA: the first part
 * shown after a glClear), notes when the first one was shown, and counts the texture
 * bytes uploaded, split into replaced storage (glTexImage2D on a texture that already had
 * storage, every level that mipmap building makes included) and the rest: a texture's first
 * storage and updates into existing storage (glTexSubImage2D). With
 * QM_PROBE_SAMPLES=1 it also wraps each frame in an occlusion query and adds up the samples the
 * rasteriser wrote (this waits for the result at each swap, so frame rates are not measured in
 * that mode).
 *
 * The figures go to the file named by QM_PROBE_OUT, rewritten in place after every frame as one
 * line: frames, samples, bytes of replaced storage, other uploaded bytes, first-frame time, time now
 * (seconds of CLOCK_REALTIME). The texture bound last on GL_TEXTURE_2D is taken as the one an
 * upload goes to (uploads follow their glBindTexture). The bench reads it while the program runs. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#ifndef GL_SAMPLES_PASSED
#define GL_SAMPLES_PASSED 0x8914
#define GL_QUERY_RESULT 0x8866
#endif

typedef void (*swap_fn)(Display*, GLXDrawable);
typedef unsigned (*eglswap_fn)(void*, void*);
typedef void (*teximage_fn)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
typedef void (*subimage_fn)(GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*);
typedef void (*genqueries_fn)(GLsizei, GLuint*);
typedef void (*query_fn)(GLenum, GLuint);
typedef void (*endquery_fn)(GLenum);
typedef void (*getquery_fn)(GLuint, GLenum, GLuint*);
typedef void (*bind_fn)(GLenum, GLuint);
typedef void (*delete_fn)(GLsizei, const GLuint*);

#define PROBE_NAMES 65536
static unsigned char probeSpecified[PROBE_NAMES]; /* level 0 of this texture name has storage */
static GLuint probeBound;                          /* last bound on GL_TEXTURE_2D */
static int probeReplacing;                      /* the bound texture's levels are sent again */

static struct {
    int fd;
    int samplesOn;
    unsigned long long frames, samples, texImageBytes, subImageBytes;
    double firstFrame;
    GLuint query;
    int queryRunning;
    genqueries_fn genQueries;
    query_fn beginQuery;
    endquery_fn endQuery;
    getquery_fn getQuery;
} probe = {-1, 0, 0, 0, 0, 0, 0.0, 0, 0, NULL, NULL, NULL, NULL};

static double probeNow(void) {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

static void* probeNext(const char* name) {
    void* f = dlsym(RTLD_NEXT, name);
    if (!f) {
        fprintf(stderr, "frame probe: %s not found\n", name);
        abort();
    }
    return f;
}

/* Bytes of one uploaded image: 8-bit channels only (all this program family uses). */
static unsigned long long probeBytes(GLsizei w, GLsizei h, GLenum format) {
    int channels = format == GL_RGBA || format == GL_BGRA ? 4 : format == GL_RGB || format == GL_BGR ? 3
                   : format == GL_LUMINANCE_ALPHA                                               ? 2
                                                                                                : 1;
    return w > 0 && h > 0 ? (unsigned long long)w * (unsigned long long)h * (unsigned long long)channels : 0;
}

static void probeWrite(void) {
    if (probe.fd < 0) {
        const char* out = getenv("QM_PROBE_OUT");
        if (!out || !*out) return;
        probe.fd = open(out, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (probe.fd < 0) return;
        const char* s = getenv("QM_PROBE_SAMPLES");
        probe.samplesOn = s && strcmp(s, "1") == 0;
    }
    char line[200];
    int n = snprintf(line, sizeof line, "%llu %llu %llu %llu %.6f %.6f", probe.frames, probe.samples,
                     probe.texImageBytes, probe.subImageBytes, probe.firstFrame, probeNow());
    /* Fixed width, so a shorter line never leaves the tail of a longer one behind. */
    memset(line + n, ' ', sizeof line - 2 - (size_t)n);
    line[sizeof line - 2] = '\n';
    if (pwrite(probe.fd, line, sizeof line - 1, 0) < 0) return;
}

static void probeQueries(void) {
    if (probe.genQueries || !probe.samplesOn) return;
    probe.genQueries = (genqueries_fn)glXGetProcAddressARB((const GLubyte*)"glGenQueries");
    probe.beginQuery = (query_fn)glXGetProcAddressARB((const GLubyte*)"glBeginQuery");
    probe.endQuery = (endquery_fn)glXGetProcAddressARB((const GLubyte*)"glEndQuery");
    probe.getQuery = (getquery_fn)glXGetProcAddressARB((const GLubyte*)"glGetQueryObjectuiv");
    if (probe.genQueries && probe.beginQuery && probe.endQuery && probe.getQuery)
        probe.genQueries(1, &probe.query);
    else
        probe.samplesOn = 0;
}

static void probeBeforeSwap(void) {
    if (probe.fd < 0) probeWrite();
    probeQueries();
    if (probe.samplesOn && probe.queryRunning) {
        GLuint samples = 0;
        probe.endQuery(GL_SAMPLES_PASSED);
        probe.getQuery(probe.query, GL_QUERY_RESULT, &samples);
        probe.samples += samples;
        probe.queryRunning = 0;
    }
}

static void probeAfterSwap(void) {
    if (probe.frames++ == 0) probe.firstFrame = probeNow();
    probeWrite();
    if (probe.samplesOn && probe.query) {
        probe.beginQuery(GL_SAMPLES_PASSED, probe.query);
        probe.queryRunning = 1;
    }
}

void glXSwapBuffers(Display* dpy, GLXDrawable drawable) {
    static swap_fn next;
    if (!next) next = (swap_fn)probeNext("glXSwapBuffers");
    probeBeforeSwap();
    next(dpy, drawable);
    probeAfterSwap();
}

/* A frame shown in part (GLX_MESA_copy_sub_buffer): programs reach it through
 * glXGetProcAddressARB, so the probe hands out its own wrapper for that name. */
typedef void (*copysub_fn)(Display*, GLXDrawable, int, int, int, int);
typedef __GLXextFuncPtr (*getproc_fn)(const GLubyte*);
static copysub_fn probeCopySubNext;

static int probeCleared; /* glClear was called since the last part shown */

/* A frame may be shown in several parts: the first part after a clear shows a new frame. */
static void probeCopySubBuffer(Display* dpy, GLXDrawable drawable, int x, int y, int w, int h) {
    int frame = probeCleared;
    probeCleared = 0;
    if (frame) probeBeforeSwap();
    probeCopySubNext(dpy, drawable, x, y, w, h);
    if (frame) probeAfterSwap();
}

void glClear(GLbitfield mask) {
    static void (*next)(GLbitfield);
    if (!next) next = (void (*)(GLbitfield))probeNext("glClear");
    probeCleared = 1;
    next(mask);
}

static __GLXextFuncPtr probeProc(getproc_fn next, const GLubyte* name) {
    __GLXextFuncPtr f = next(name);
    if (f && name && strcmp((const char*)name, "glXCopySubBufferMESA") == 0) {
        probeCopySubNext = (copysub_fn)f;
        return (__GLXextFuncPtr)probeCopySubBuffer;
    }
    return f;
}

__GLXextFuncPtr glXGetProcAddressARB(const GLubyte* name) {
    static getproc_fn next;
    if (!next) next = (getproc_fn)probeNext("glXGetProcAddressARB");
    return probeProc(next, name);
}

__GLXextFuncPtr glXGetProcAddress(const GLubyte* name) {
    static getproc_fn next;
    if (!next) next = (getproc_fn)probeNext("glXGetProcAddress");
    return probeProc(next, name);
}

void glXCopySubBufferMESA(Display* dpy, GLXDrawable drawable, int x, int y, int w, int h) {
    if (!probeCopySubNext) probeCopySubNext = (copysub_fn)probeNext("glXCopySubBufferMESA");
    probeCopySubBuffer(dpy, drawable, x, y, w, h);
}

/* Programs that draw through EGL (the peer): frames and uploads only. */
unsigned eglSwapBuffers(void* dpy, void* surface) {
    static eglswap_fn next;
    if (!next) next = (eglswap_fn)probeNext("eglSwapBuffers");
    unsigned shown = next(dpy, surface);
    probeAfterSwap();
    return shown;
}

void glTexImage2D(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format,
                  GLenum type, const void* pixels) {
    static teximage_fn next;
    if (!next) next = (teximage_fn)probeNext("glTexImage2D");
    if (target == GL_TEXTURE_2D && level == 0) {
        int known = probeBound < PROBE_NAMES && probeSpecified[probeBound];
        probeReplacing = known;
        if (probeBound < PROBE_NAMES) probeSpecified[probeBound] = 1;
    }
    if (pixels && probeReplacing)
        probe.texImageBytes += probeBytes(w, h, format);
    else if (pixels)
        probe.subImageBytes += probeBytes(w, h, format);
    next(target, level, internal, w, h, border, format, type, pixels);
}

void glBindTexture(GLenum target, GLuint name) {
    static bind_fn next;
    if (!next) next = (bind_fn)probeNext("glBindTexture");
    if (target == GL_TEXTURE_2D) {
        probeBound = name;
        probeReplacing = 0;
    }
    next(target, name);
}

/* A deleted name may come back for a new texture: its first storage replaces nothing. */
void glDeleteTextures(GLsizei n, const GLuint* names) {
    static delete_fn next;
    if (!next) next = (delete_fn)probeNext("glDeleteTextures");
    for (GLsizei i = 0; names && i < n; i++)
        if (names[i] < PROBE_NAMES) probeSpecified[names[i]] = 0;
    next(n, names);
}

void glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h, GLenum format,
                     GLenum type, const void* pixels) {
    static subimage_fn next;
    if (!next) next = (subimage_fn)probeNext("glTexSubImage2D");
    if (pixels) probe.subImageBytes += probeBytes(w, h, format);
    next(target, level, x, y, w, h, format, type, pixels);
}
