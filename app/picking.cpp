// picking.cpp -- picking a body on the screen with the mouse and dragging it in the plane of the screen
#include "app/picking.h"

#include <cmath>

#include "physics/bodies.h"
#include "render/device.h"
#include "render/draw.h"

int dragging = 0;
int pickedBody = 0;
int lastMouseX = 0;
int lastMouseY = 0;
float pickDepth = 0.0f;

void resetPicking() {
    dragging = 0;
    pickedBody = 0;
    lastMouseX = 0;
    lastMouseY = 0;
    pickDepth = 0.0f;
}

void pickBody(int x, int y) {
    if (d3dDevice == nullptr) return;
    D3DVIEWPORT7 viewport = {};
    lastResult = d3dDevice->GetViewport(&viewport);
    const float w = static_cast<float>(viewport.dwWidth);
    const float h = static_cast<float>(viewport.dwHeight);

    // World to screen pixels (y down): S = view * projection * diag(w/2, -h/2, 1, 1) * T(w/2, h/2, 0).
    const Matrix4 view = viewMatrixFromPose(cameraPose);
    const Matrix4 toPixels(w / 2, 0, 0, 0, 0, -h / 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    Matrix4 toCentre;
    translationMatrix(toCentre, w / 2, h / 2, 0.0f);
    Matrix4 screen;
    matrixMultiply(screen, view, projectionMatrix);
    matrixMultiply(screen, screen, toPixels);
    matrixMultiply(screen, screen, toCentre);

    for (int i = 0; i < numBodies && i < MAX_BODIES; ++i) {
        if (bodyRenderObject[i] == nullptr) continue;
        const Vector3 c = bodyPosition(i);
        const float* s = screen.m;
        const float qx = c.x * s[0] + c.y * s[4] + c.z * s[8] + s[12];
        const float qy = c.x * s[1] + c.y * s[5] + c.z * s[9] + s[13];
        const float qw = c.x * s[3] + c.y * s[7] + c.z * s[11] + s[15];
        if (qw <= 1.0f) continue; // behind the eye or not beyond the near plane at depth 1
        const float sx = qx / qw;
        const float sy = qy / qw;
        if (std::fabs(sx - static_cast<float>(x)) < PICK_WINDOW &&
            std::fabs(sy - static_cast<float>(y)) < PICK_WINDOW) {
            const Vector3 forward(cameraPose.m[8], cameraPose.m[9], cameraPose.m[10]);
            const Vector3 eye(cameraPose.m[12], cameraPose.m[13], cameraPose.m[14]);
            lastMouseX = x;
            lastMouseY = y;
            dragging = 1;
            pickedBody = i;
            pickDepth = dot(forward, c - eye);
            return;
        }
    }
}

void dragBody(int x, int y) {
    if (!dragging) return;
    if (d3dDevice == nullptr || pickedBody < 0 || pickedBody >= numBodies ||
        bodyRenderObject[pickedBody] == nullptr)
        return;
    D3DVIEWPORT7 viewport = {};
    lastResult = d3dDevice->GetViewport(&viewport);
    const float s = static_cast<float>(viewport.dwWidth) / 2;
    if (s <= 0.0f) return;

    // Both axes use half the width: one pixel spans the same view-plane distance in x and y.
    const float fx = static_cast<float>(x - lastMouseX) / s;
    const float fy = static_cast<float>(y - lastMouseY) / s;
    const Vector3 right(cameraPose.m[0], cameraPose.m[1], cameraPose.m[2]);
    const Vector3 up(cameraPose.m[4], cameraPose.m[5], cameraPose.m[6]);
    // Screen y grows downwards while up points up.
    const Vector3 delta = (right * fx - up * fy) * pickDepth;

    Matrix4 move;
    translationMatrix(move, delta.x, delta.y, delta.z);
    Matrix4& world = bodyRenderObject[pickedBody]->world;
    matrixMultiply(world, world, move);

    lastMouseX = x;
    lastMouseY = y;
}

void dropBody(int x, int y) {
    (void)x;
    (void)y;
    dragging = 0;
}
