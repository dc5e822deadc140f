// FXScrPos01: pixel rectangles to placement matrices. Every division by a size is guarded: a
// size that is not set gives the identity (or leaves the matrix alone) instead of inf or NaN.
#include "elements/scrpos01.h"

#include <climits>
#include <cmath>

namespace {

int localTrunc(float v) {
    if (std::isnan(v)) return 0;
    if (v >= float(INT_MAX)) return INT_MAX;
    if (v <= float(INT_MIN)) return INT_MIN;
    return int(v);
}

}  // namespace

void FXScrPos01::Update() {
    if (!SizesSet()) {
        matrix.SetIdentity();
        return;
    }
    FXMatrix scale, move;
    scale.SetScaleF(objW / screenW, objH / screenH, 1.0f);
    float tx = ((objW - screenW) * 0.5f + posX) / screenW * 2.0f;
    float ty = ((objH - screenH) * 0.5f + posY) / screenH * -2.0f;
    move.SetMoveF(tx, ty, 0.0f);
    matrix.Multiply(&move, &scale);
}

void FXScrPos01::SetPos(float x, float y) {
    posX = x;
    posY = y;
    Update();
}

void FXScrPos01::ShiftPos(float dx, float dy) {
    posX += screenW * dx;
    posY += screenH * dy;
    Update();
}

void FXScrPos01::UpdateSize() {
    if (!SizesSet()) {
        matrix.SetIdentity();
        return;
    }
    matrix.SetScaleF(objW / screenW, objH / screenH, 1.0f);
}

void FXScrPos01::UpdateAspectH1(int align, float w, float h) {
    if (!(screenW > 0.0f && screenH > 0.0f && w > 0.0f && h > 0.0f)) return;
    float sx = w / screenW;
    float sy = h / screenH;
    float k = sy / sx;
    if (!(k < 1.0f)) return;
    FXMatrix scale, result;
    scale.SetScaleF(k, 1.0f, 1.0f);
    if (align == 0) {
        result.Multiply(&matrix, &scale);
    } else {
        FXMatrix move, moveScale;
        move.SetMoveF(align == 1 ? 1.0f - k : k - 1.0f, 0.0f, 0.0f);
        moveScale.Multiply(&move, &scale);
        result.Multiply(&matrix, &moveScale);
    }
    matrix.Copy(&result);
}

void FXScrPos01::GetPixelRC(FXRect* r, int width, int height) const {
    if (!r) return;
    if (!(screenW > 0.0f && screenH > 0.0f)) {
        r->SetZero();
        return;
    }
    float w = float(width), h = float(height);
    r->left = localTrunc(w * posX / screenW);
    r->top = localTrunc(h * posY / screenH);
    r->right = localTrunc(w * float(localTrunc(posX + objW)) / screenW);
    r->bottom = localTrunc(h * float(localTrunc(posY + objH)) / screenH);
}

void FXScrPos01::OnRender(PEnv* env, double) {
    if (!env) return;
    if (!relative) {
        env->ApplyMatrix(&matrix);
        return;
    }
    FXMatrix product;
    product.Multiply(&env->matrix, &matrix);
    env->ApplyMatrix(&product);
}
