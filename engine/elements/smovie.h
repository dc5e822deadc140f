// SMovie: a sprite movie. A sequence of pre-rendered pictures shown one per frame on a textured
// quad (FXDesk) at a fixed frame duration, each picture a JPEG colour picture plus a mask that
// becomes its alpha. Upcoming frames are decoded ahead into a small pool of materials, so a frame
// switch only rebinds a texture already on the device. Each frame may carry a crop rectangle, so
// the quad covers only the visible part of its picture. A keyed movie drives up to two frame
// animations: keyFrames[k] is the movie frame at which animation key frame k is reached.
//
// Record (package entries and files alike): magic string "xs01", "xs02" or "xs03"; xs02 and xs03:
// the bools loop and pingPong and the float64 frameDuration; all: int32 maxCropWidth and
// maxCropHeight, rects (float array, four per frame), colour names and mask names (string
// arrays); xs03: the bool keyed and, when keyed, keyFrames (int array). In a package the names
// are decimal entry numbers, in a file they are file names. A damaged record (a count or string
// beyond the bytes that follow, a frame duration that is not a finite number of seconds >= 0,
// fewer or more masks than frames, an unknown magic) leaves the movie empty; crop rectangles that
// are not four per frame leave it uncropped.
#pragma once

#include "base/arrays.h"
#include "base/ptr_array.h"
#include "elements/desk.h"
#include "image/material.h"
#include "image/pixmap.h"
#include "render/render.h"

#include <memory>
#include <vector>

class FXAnim;
class FXPackage;
class FXPackageData;

class SMovie : public PRender {
public:
    bool compiled = false;    // frames are colour and mask picture pairs
    bool playing = true;      // the movie advances frames
    bool loop = true;
    bool pingPong = true;     // with loop: reverse at the ends instead of wrapping
    bool needsSetup = true;   // the quad and the material pool are made at the first Prepare
    int poolSize = 2;
    FXStrArray colorNames;    // per frame; its length is the frame count
    FXStrArray maskNames;
    // Per frame the encoded colour and mask pictures and their sizes. The blocks are never owned
    // here: they lie in the package (package set) or in fileBlocks.
    FXArray colorData;
    FXArray colorSizes;
    FXArray maskData;
    FXArray maskSizes;
    // The pictures read from files (or handed to KeepBlock), owned by the movie.
    std::vector<std::unique_ptr<unsigned char[]>> fileBlocks;
    FXPtrArray<FXMaterial> prepared;       // ready textures in display order, front on screen
    FXArray preparedFrames;   // frame index of each prepared material
    FXPtrArray<FXMaterial> freeMaterials;  // the free pool (a material is in one of the two)
    FXDesk desk;
    int direction = 1;        // 1 forward, -1 backward
    int current = -1;         // the frame prepared last
    bool finished = false;    // the last frame has been prepared
    double frameDuration = 0.0;  // seconds per frame
    double lastSwitch = 0.0;     // clock time of the last frame switch
    FXPixmap pixmap;          // scratch picture for texture upload
    bool inMemory = false;
    bool hasRects = false;    // rects holds four floats per frame
    FXArray edges;            // authoring: per frame the pixel crop box left, top, right, bottom
    FXFloatArray rects;       // per frame left, top, right, bottom in the quad's -1..1 coordinates
    int maxCropWidth = 0;
    int maxCropHeight = 0;
    bool waitFrame = false;   // drawing sleeps until the next frame is due
    bool saved = false;       // the frame pictures are already the cropped pairs
    bool keyed = false;       // the movie drives its linked animations
    FXArray keyFrames;        // movie frame of each animation key frame, ascending
    FXAnim* animA = nullptr;  // linked animations (not owned)
    FXAnim* animB = nullptr;
    int keyStart = -1;        // movie-frame range of the key pair set on the animations
    int keyEnd = -1;
    FXPackage* package = nullptr;  // the package the movie was loaded from (not owned)

    SMovie() = default;
    SMovie(const SMovie&) = delete;
    SMovie& operator=(const SMovie&) = delete;
    virtual ~SMovie();

    int GetFrameCount() const { return colorNames.top; }

    // Destroy, then read the record of entry id. False when the entry is missing or damaged (the
    // movie is then empty).
    bool LoadCN(FXPackage* pkg, int id);
    bool LoadC(FXPackage* pkg, const char* name);
    // From a file; frame names are joined to the current directory.
    bool Load(const char* path);
    // Every colour and mask picture into memory (package entries referenced in place).
    void LoadIntoMem();
    // Keeps block (a picture's bytes) with the movie and returns it, for colorData or maskData.
    void* KeepBlock(std::unique_ptr<unsigned char[]> block);
    // Decodes upcoming frames into free materials on env's device; -1: as many as the pool allows.
    void Prepare(PEnv* env, int count);
    void EmptyPrepared();
    // Select, draw and advance in one call.
    void OnRender(PEnv* env, double t) override;
    // Selects the front frame's texture and rectangle and drives the linked animations.
    virtual void OnRender0(PEnv* env, double t);
    // Draws the quad and advances once the frame duration has passed (sleeping for it with
    // waitFrame; the wait ends early when the render loop is asked to stop).
    virtual void OnRender1(PEnv* env, double t);
    // The two halves of OnRender1: draws the front frame's quad (as often as needed, changing
    // nothing), then advances.
    void DrawFront(PEnv* env);
    void Advance(PEnv* env, double t);
    void Restart(double t);
    void RestartBack(double t);
    void Continue(double t);
    // Key pair and phase of the linked animations for movie frame f.
    void PrepareStartEnd(int f);
    void Destroy();

    // Decoding one frame into a material's texture on env's device (colour plus mask as its alpha).
    bool PrepareTexture(PEnv* env, const char* colorFile, const char* maskFile, FXMaterial* m);
    bool PrepareTextureMem(PEnv* env, int frame, FXMaterial* m);

    // ---- authoring ----
    // Bounding box of the pixels whose alpha is not 0 (width, height, -1, -1 when there is none).
    static void ComputeEdges(FXPixmap* p, int* left, int* top, int* right, int* bottom);
    // Crops the frames into JPEG colour and "_m" mask pictures (unless saved) and writes "xs03".
    bool Save(const char* path);
    // Registers every frame picture with the package and names it by its entry number.
    bool Compile(FXPackage* pkg);
    void MovePos(int pos, int dir);
    void DeletePos(int pos);

private:
    // Frames whose pictures failed to decode, each reported once in the trace log (a movie
    // replays all night: a line per failing frame per replay would fill the disk).
    std::vector<bool> failedFrames;
    bool quietFailures = false;  // the frame being decoded failed before: no trace line

    // Frees the pictures read from files and empties the per-frame lists.
    void FreeBlocks();
    // Frees the picture block the movie keeps at that address (none for a package's).
    void FreeBlock(const void* block);
    // Reads the record under the cursor into this (emptied) movie; false, with a trace line
    // naming where, when the record is damaged.
    bool ReadRecord(FXPackageData* d, const char* where);
    // Steps current one frame in direction, with the loop and ping-pong rules.
    void StepCurrent();
    // Decodes frame current into m on env's device, from whichever source the movie has.
    void DecodeCurrent(PEnv* env, FXMaterial* m);
    // Colour and mask of every frame loaded, cropped to their visible box and written as
    // JPEG pairs; the frame lists then name the new pictures.
    bool CropFrames();
};
