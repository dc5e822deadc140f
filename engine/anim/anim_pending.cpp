// Placeholder for the external drive of FXAnim until the frame animation's run-time lands: lets
// the sprite movie link. Removed when the animation's own implementation is merged.
#include "anim/anim.h"

void FXAnim::SetActFrames(int from, int) { frame = from; }
void FXAnim::SetActPhase(float p) { phase = p; }
FXAnim::~FXAnim() {}
void FXAnim::OnRender(PEnv*, double) {}
bool FXAnim::TestRedirect(int, int, int, int) { return false; }
