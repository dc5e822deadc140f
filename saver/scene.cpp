// Scene assembly: QmScene::Init (on the window thread, inside the window's creation) and
// QmScene::Destroy (inside its destruction). The order of the steps matters: the
// photograph is taken before the window is shown, textures are uploaded while the context is
// current on the window thread, the render thread starts last and stops first.
//
// Binding by name: every animation mesh looks its material up by name, the environment's default
// library first, and keeps what it found. scr_mat (the photograph) and scr_mat1 (entry 751) live
// in that library and are renamed before each copy is loaded, so the two copies of an animation
// bind "Material.001" and "Material.001a" to opposite materials.
#include "saver/scene.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "anim/anim_shape.h"
#include "base/other.h"
#include "base/paths.h"
#include "base/thread.h"
#include "base/trace.h"
#include "image/devil.h"
#include "image/scrshot.h"
#include "saver/config.h"

namespace {

const char kPackageFile[] = "qmsave.dat";
const int kLogNames = 16;  // qmsave.log and qmsave-2.log to qmsave-16.log

// The part area of the picture c (the whole of a layout's desktop): what lies under one monitor.
// Whatever of area lies outside the picture is opaque black.
bool localCrop(FXCanvas* c, const QmRect& area) {
    FXCanvas part;
    if (part.pixmap.Realloc(area.width, area.height) <= 0) return false;
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    part.Clear(black);
    for (int y = 0; y < area.height; y++) {
        int sy = area.y + y;
        if (sy < 0 || sy >= c->GetHeight()) continue;
        for (int x = 0; x < area.width; x++) {
            int sx = area.x + x;
            if (sx >= 0 && sx < c->GetWidth()) memcpy(part.pixmap.PixelBytes(x, y), c->pixmap.PixelBytes(sx, sy), 4);
        }
    }
    c->opaque = true;
    c->Copy(&part);
    return true;
}

}  // namespace

QmScene::QmScene(const QmSceneOptions& o)
    : options(o),
      ownContent_(o.content ? nullptr : new QmContent),
      content(o.content ? *o.content : *ownContent_),
      pck(content.Package()) {
    gr.frameSink = o.frameSink;
}

QmScene::~QmScene() { Destroy(); }

// The run's trace log: the first scene opens it, the scenes of the other monitors write to it too.
// A launcher that starts one saver per monitor runs several processes over one data folder: each
// writes a log of its own (qmsave.log, then qmsave-2.log, ...), the first name no live saver holds.
void QmScene::OpenLog() {
    if (fxTracesOpened()) return;
    std::string log = qmLogFilePath(options.dataDir, true);
    const size_t dot = log.rfind('.');
    for (int n = 1; !log.empty() && n <= kLogNames; n++) {
        std::string name = n == 1 ? log : log.substr(0, dot) + "-" + std::to_string(n) + log.substr(dot);
        if (fxOpenTraces(name.c_str())) return;
    }
    fprintf(stderr, "qmsave: no trace log (no writable folder for %s)\n", log.empty() ? "qmsave.log" : log.c_str());
}

// Binds the two pictures to the names the given copy of a pair shows them under: the first copy
// shows the photograph on "Material.001", the second on "Material.001a".
void QmScene::NameFor(bool firstCopy) {
    scr_mat.name.Set(firstCopy ? mat_name : mat_name1);
    scr_mat1.name.Set(firstCopy ? mat_name1 : mat_name);
}

// One copy of an animation, decoded from its entry.
void QmScene::LoadCopy(FXAnim* a, int entry, bool firstCopy) {
    NameFor(firstCopy);
    a->LoadCN(&gr, &pck, entry);
    a->loop = false;
    a->pingPong = false;
    a->linear = entry == 200;
    a->UpdateInterpolation(true, a->linear);
}

// Both copies of an animation from its shape, decoded once for every scene of the process: the
// copies share one set of splines and keep their own poses. An animation that has no shape
// (damaged frames, no splines) is loaded twice and drawn as it is.
void QmScene::LoadPair(FXAnim* first, FXAnim* second, int entry) {
    const bool linear = entry == 200;
    const FXAnimShape* shape = content.AnimShape(entry, linear);
    NameFor(true);
    bool made = shape && first->CreateFromShape(&gr, &pck, *shape);
    NameFor(false);
    made = made && second->CreateFromShape(&gr, &pck, *shape);
    if (made) return;
    LoadCopy(first, entry, true);
    LoadCopy(second, entry, false);
    // The scene only ever draws the interpolated poses.
    first->ReleaseFrames();
    second->ReleaseFrames();
}

void QmScene::LoadMovie(int i) {
    SMovie& m = movie[i];
    m.LoadCN(&pck, kClipMovieEntry[i]);
    m.LoadIntoMem();
    m.waitFrame = true;
    m.loop = false;
    m.pingPong = false;
    m.animA = &anim[i];
    m.animB = &anim1[i];
    m.desk.mesh.colorMode = 1;  // the scene fades the movie through its vertex colours
}

// Entry 751 with its padding filled from its edges: the meadow is shown slightly reduced, and its
// small mipmaps would otherwise mix transparent black into its right and bottom edges, letting the
// photograph beneath shine through there. Filled, an opaque picture hides the first copy of each
// clip animation completely, which spares drawing it (see DrawClip).
void QmScene::LoadSecondPicture() {
    FXCanvas& c = scr_mat1.canvas;
    scr_mat1.textureSource = nullptr;
    if (!c.CreateFromPictCN(&pck, kEntrySecondPicture)) {
        scr_mat1.SetTexture(&gr, nullptr);  // no picture: no texture
        return;
    }
    c.ExtendEdges();
    scr_mat1.SetTexture(&gr, &c);
    // The texture lives on the device; nothing reads the picture's pixels again.
    scr_mat1.textureSource = nullptr;
    c.Destroy();
}

void QmScene::SetUpLights() {
    light.SetDefDiffuse(1.0f);
    light.MultiColorF(1, 1, 1, 1);
    gr.RegisterLight(&light);
    light1.SetDefSpecular(1.0f);
    light1.MultiColorF(0, 0, 0, 1);
    light1.position[0] = 1.0f, light1.position[1] = -1.0f, light1.position[2] = -0.5f;
    light1.spotDirection[2] = 0.5f;
    gr.RegisterLight(&light1);
    light2.SetDefSpecular(1.0f);
    light2.MultiColorF(0, 0, 0, 1);
    light2.position[0] = -1.0f, light2.position[1] = -1.0f, light2.position[2] = -0.1f;
    light2.spotDirection[2] = 0.1f;
    gr.RegisterLight(&light2);
}

void QmScene::LoadFullScreenContent(FXScrShot* shot) {
    scr_mat.SetTexture(&gr, &shot->picture);
    // The photograph lives on as scr_mat's texture on the device; its pixels are freed before the
    // rest of the content is loaded.
    scr_mat.textureSource = nullptr;
    shot->picture.Destroy();
    scr_mat.SetDefDiffuse(1.0f);
    gr.AddMaterial(&scr_mat);
    scr_mat1.SetDefDiffuse(1.0f);
    LoadSecondPicture();
    gr.AddMaterial(&scr_mat1);

    LoadPair(&anim_starting, &anim1_starting, kEntryOpening);
    for (int i = 0; i < 3; i++) {
        LoadPair(&anim[i], &anim1[i], kClipAnimEntry[i]);
        LoadMovie(i);
    }
    SetUpLights();
    demo.CreateCN(&gr, &pck, kEntryDemoInner, kEntryDemoOuter);
    gad.CreateCN(&gr, &pck, kEntryLogoLabel, kEntryLogoModel);
    fxSetAppPriority(1);
}

// The desktop picture file when the options name one, else the screen under the window.
bool QmScene::TakeDesktopPicture(FXScrShot* shot, void* window) {
    if (options.desktopFile.empty()) return options.desktop && options.desktop->TakePhotograph(shot, window);
    const char* file = options.desktopFile.c_str();
    shot->picture.autoDetectTrans = false;  // a desktop picture is opaque whatever its name
    if (!shot->picture.CreateFromPict(file) ||
        (options.desktopArea.width > 0 && !localCrop(&shot->picture, options.desktopArea))) {
        fprintf(stderr, "qmsave: cannot read the desktop picture %s\n", file);
        err("host: cannot read the desktop picture %s\n", file);
        return false;
    }
    shot->count++;
    return true;
}

void SceneGL::RenderEnd() {
    if (frameSink && !windowLost.load()) frameSink->OnFrameShown(this);
    FXGL::RenderEnd();
}

void SceneGL::RenderEndPart(const FXScreenRects& areas) {
    if (frameSink && !windowLost.load()) frameSink->OnFrameShown(this);
    FXGL::RenderEndPart(areas);
}

bool QmScene::Init(void* window, bool startLoop) {
    FX_ASSERT(!initialized_ && "a scene is built once");
    initialized_ = true;
    const std::string ruvaPath = qmShortened(options.dataDir);
    if (!options.preview) OpenLog();
    // The content comes from the data folder or from nowhere: never from whatever folder the
    // saver happened to be started in. The package is named from the folder; the working
    // directory stays where the saver was started.
    std::string problem = qmDataDirProblem(options.dataDir);
    bool folderUsable = problem.empty();
    std::string noContent;  // why nothing can be shown; empty when the content is there
    if (!folderUsable) {
        noContent = "the data folder " + ruvaPath + " " + problem;
        fprintf(stderr, "qmsave: no content: %s\n", noContent.c_str());
        err("scene: the data folder %s %s\n", ruvaPath.c_str(), problem.c_str());
    }
    fxLoadDevil();
    FXScrShot shot;
    if (!options.preview) TakeDesktopPicture(&shot, window);
    // A host whose windows are no platform handle (a Wayland surface) names the window itself.
    FXNativeWindow drawn = options.desktop ? options.desktop->DrawingWindow(window) : FXNativeWindow();
    bool made = drawn.IsSet() ? gr.CreateOn(drawn) : gr.CreateChild(window);
    if (!made && !gr.HasContext()) {
        // No context at all: every OpenGL call would go nowhere (and the GLU library reads the
        // version string the missing context cannot give). Nothing is loaded; the saver ends.
        fprintf(stderr, "qmsave: OpenGL cannot draw into the saver window (no pixel format or rendering context); "
                        "is an OpenGL driver installed?\n");
        err("scene: OpenGL cannot draw into the window %p: no pixel format or rendering context\n", window);
        return false;
    }
    if (!options.preview && !gr.TestGL(false)) hasError = true;
    gr.SetAct(true);
    FXPackageStatus loaded;
    if (folderUsable) loaded = content.LoadPackage(options.dataDir + "/" + kPackageFile);
    if (folderUsable && pck.IsEmpty()) {
        // The scene runs on without content (only what the device itself draws); say why.
        std::string why = loaded.Ok() ? "it holds no entries" : loaded.why;
        noContent = ruvaPath + "/" + kPackageFile + " is missing or damaged (" + why + ")";
        fprintf(stderr, "qmsave: no content: %s\n", noContent.c_str());
        err("scene: no package %s in %s (%s)\n", kPackageFile, ruvaPath.c_str(), why.c_str());
    }
    if (!noContent.empty()) {
        MakeNotice(kNoContentHeading, noContent);
    } else if (loaded.refused > 0) {
        // A package cut short: what is left of it is shown, with a word on what is not.
        std::string why = ruvaPath + "/" + kPackageFile + " is damaged: " + std::to_string(loaded.refused) + " of " +
                          std::to_string(pck.GetCount()) + " entries lie outside its data area (the file was cut short?)";
        fprintf(stderr, "qmsave: damaged content: %s\n", why.c_str());
        err("scene: %s\n", why.c_str());
        MakeNotice(kDamagedHeading, why);
    }
    err_gad.CreateCN(&gr, &pck, kEntryErrorNotice);
    err_gad.active = hasError;
    if (options.preview) {
        preview_mat.LoadTextureCN(&gr, &pck, kEntryPreview);
        preview.Create(1, 1);
        preview.SetMaterial(&preview_mat);
    } else {
        LoadFullScreenContent(&shot);
        ReserveDamage();
        partial_ = !options.wholeFrames && gr.PresentsPart();
    }
    gr.SetAct(false);
    if (startLoop) gr.StartLoop(this);
    return true;
}

void QmScene::Destroy() {
    if (!initialized_ || destroyed_) return;
    destroyed_ = true;
    gr.StopLoop(100000.0);
    gr.SetAct(true);  // textures are deleted where they live
    preview.Destroy();
    preview_mat.Destroy();
    scr_mat.Destroy();
    scr_mat1.Destroy();
    anim_starting.Destroy();
    anim1_starting.Destroy();
    for (FXAnim& a : anim) a.Destroy();
    for (FXAnim& a : anim1) a.Destroy();
    for (SMovie& m : movie) m.Destroy();
    demo.Destroy();
    gad.Destroy();
    err_gad.Destroy();
    fps.Destroy();
    notice.Destroy();
    gr.SetAct(false);
    gr.Destroy();
    // The image library stays bound: the other monitors' scenes may still decode with it. The
    // scene's owner lets go of it once no scene is left.
}

void QmScene::Resize(int width, int height) {
    // The device follows: a window whose size the program sets (a Wayland surface) resizes its
    // drawable too.
    gr.Resize(width, height);
}
