// camera.cpp -- the keyboard camera: driving, turning and lifting the ball, the chase camera, the drawing
#include "app/camera.h"
#include "app/shell.h"

#include <cmath>

#include "math/trig.h"
#include "physics/bodies.h"
#include "physics/simulation.h"
#include "platform/win32.h"
#include "render/device.h"
#include "render/draw.h"
#include "render/render_object.h"

Vector3 cameraDirection;
float turnRate = 0.0f;

namespace {

// A key counts as held when the high bit of its 16-bit state is set.
bool keyHeld(int virtKey) {
    return (static_cast<uint16_t>(GetKeyState(virtKey)) & 0x8000u) != 0;
}

// Torque about the camera's right axis R = n / |n|, n = (-d) x (0, 1, 0) = (d.z, 0, -d.x):
//   torque += factor * mass * R - 220.5 * angular velocity.
// The damping is added once per held arrow, so both arrows together double it.
void drive(float factor) {
    if (numBodies < 1) return;
    const Vector3& d = cameraDirection;
    const Vector3 n(d.z, 0.0f, -d.x);
    const float length = std::sqrt(lengthSquared(n));
    const Vector3 right = length > 0.0f ? n / length : Vector3();
    bodyTorque[0] += right * (factor * bodyMass[0]) - bodyAngularVelocity[0] * DRIVE_DAMPING;
}

} // namespace

void resetCamera() {
    cameraDirection = Vector3();
    turnRate = 0.0f;
}

void buildCameraPose(Matrix4& pose, const Vector3& d, const Vector3& p) {
    const Vector3 right(d.z, 0.0f, -d.x); // (0, 1, 0) x d, not normalised
    const Vector3 up = cross(d, right);
    const Matrix4 axes(right.x, right.y, right.z, 0.0f, up.x, up.y, up.z, 0.0f, d.x, d.y, d.z, 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f);
    // Eye = p - 8 d + (0, 3, 0), as the product axes * T(-8 d) * T(p) * T(0, 3, 0).
    Matrix4 back, ball, lift;
    translationMatrix(back, -CAMERA_DISTANCE * d.x, -CAMERA_DISTANCE * d.y, -CAMERA_DISTANCE * d.z);
    translationMatrix(ball, p.x, p.y, p.z);
    translationMatrix(lift, 0.0f, CAMERA_HEIGHT, 0.0f);
    matrixMultiply(pose, axes, back);
    matrixMultiply(pose, pose, ball);
    matrixMultiply(pose, pose, lift);
}

void updateCameraAndDraw() {
    if (keyHeld(VK_UP)) drive(DRIVE_TORQUE);
    if (keyHeld(VK_LEFT)) turnRate += TURN_STEP;
    if (keyHeld(VK_RIGHT)) turnRate -= TURN_STEP;
    if (keyHeld(VK_DOWN)) drive(-DRIVE_TORQUE);
    if (keyHeld(VK_SPACE) && numBodies > 0) bodyForce[0].y += LIFT_FORCE * bodyMass[0];

    // Turn by turnRate about +y (positive turns the view left); the direction is not renormalised.
    const float c = cave::cosf(turnRate);
    const float s = cave::sinf(turnRate);
    const Vector3 d = cameraDirection;
    cameraDirection.x = d.x * c - d.z * s;
    cameraDirection.z = d.z * c + d.x * s;
    turnRate *= TURN_DECAY;

    if (frameLoopHooks.beforeStep != nullptr) frameLoopHooks.beforeStep();
    stepSimulation(SIMULATION_DT);
    if (frameLoopHooks.afterStep != nullptr) frameLoopHooks.afterStep();

    if (d3dDevice != nullptr) {
        if (!keyHeld(VK_SHIFT)) {
            lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
            lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
            lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
        } else {
            // See-through: unlit, additive blending, no depth test. The blend factors stay set afterwards.
            lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
            lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
            lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
            lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
            lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        }
    }

    // The chase camera follows the ball's centre after this frame's step.
    Vector3 ball;
    if (renderObjectCount > 0) {
        const Matrix4& w = renderObjects[0].world;
        ball = Vector3(w.m[12], w.m[13], w.m[14]);
    }
    buildCameraPose(cameraPose, cameraDirection, ball);

    for (int i = 0; i < renderObjectCount && i < MAX_RENDER_OBJECTS; ++i)
        drawRenderObject(&renderObjects[i], cameraPose, d3dDevice);
}
