// camera_test.cpp -- driving, turning and lifting the ball, and the chase camera's pose
#include <gtest/gtest.h>

#include <cmath>

#include "app/tests/app_test_util.h"
#include "physics/bodies.h"

namespace {

// The ball alone, spinning, in empty space; no device (nothing is drawn).
void ballAlone() {
    startCleanApp();
    ASSERT_EQ(createBody(nullptr, 2.0f, 8.0f), 0);
    translationMatrix(renderObjects[0].world, 1, 50, 2);
    bodyAngularVelocity[0] = Vector3(0.5f, -1.0f, 2.0f);
    cameraDirection = Vector3(0.6f, 0.0f, 0.8f);
}

// One frame with these keys held; returns the ball's angular and linear velocity afterwards.
void frameWith(std::initializer_list<int> keys, Vector3* angular, Vector3* linear) {
    ballAlone();
    for (int key : keys) platformSetKeyDown(key, true);
    updateCameraAndDraw();
    *angular = bodyAngularVelocity[0];
    *linear = bodyVelocity[0];
}

}  // namespace

TEST(Camera, PoseBehindAndAboveTheBall) {
    Matrix4 pose;
    buildCameraPose(pose, Vector3(0.6f, 0.0f, 0.8f), Vector3(1, 2, 3));
    // right (d.z, 0, -d.x), up d x right, forward d, eye p - 8 d + (0, 3, 0).
    const float expected[16] = {0.8f, 0, -0.6f, 0, 0, 0.6f * 0.6f + 0.8f * 0.8f, 0, 0, 0.6f, 0, 0.8f, 0,
                                1 - 8 * 0.6f, 5, 3 - 8 * 0.8f, 1};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(pose.m[i], expected[i], 1e-6f) << i;

    // The frame places the camera from the ball's position after the step; the eye climbs with the ball.
    ballAlone();
    updateCameraAndDraw();
    const Vector3 ball = bodyPosition(0);
    EXPECT_NEAR(cameraPose(3, 0), ball.x - 8 * cameraDirection.x, 1e-5f);
    EXPECT_NEAR(cameraPose(3, 1), ball.y + 3, 1e-5f);
    EXPECT_NEAR(cameraPose(3, 2), ball.z - 8 * cameraDirection.z, 1e-5f);
    stopApp();
}

TEST(Camera, TurningDecays) {
    ballAlone();
    platformSetKeyDown(VK_LEFT, true);
    updateCameraAndDraw();
    // Turned left by 0.003 rad about +y, then the rate damped.
    EXPECT_NEAR(cameraDirection.x, 0.6f * std::cos(0.003f) - 0.8f * std::sin(0.003f), 1e-7f);
    EXPECT_NEAR(cameraDirection.z, 0.8f * std::cos(0.003f) + 0.6f * std::sin(0.003f), 1e-7f);
    EXPECT_EQ(cameraDirection.y, 0.0f);
    EXPECT_FLOAT_EQ(turnRate, 0.003f * 0.95f);
    // Released: the view keeps turning a little while the rate decays.
    platformSetKeyDown(VK_LEFT, false);
    const Vector3 before = cameraDirection;
    updateCameraAndDraw();
    EXPECT_FLOAT_EQ(turnRate, 0.003f * 0.95f * 0.95f);
    EXPECT_NE(cameraDirection.x, before.x);
    // Both side arrows cancel; held, the rate settles at 0.057 rad per frame.
    platformSetKeyDown(VK_LEFT, true);
    platformSetKeyDown(VK_RIGHT, true);
    const float rate = turnRate;
    updateCameraAndDraw();
    EXPECT_NEAR(turnRate, rate * 0.95f, 1e-9f);
    platformSetKeyDown(VK_RIGHT, false);
    for (int i = 0; i < 400; ++i) updateCameraAndDraw();
    EXPECT_NEAR(turnRate, 0.057f, 1e-5f);
    stopApp();
}

TEST(Camera, DrivingAndLifting) {
    Vector3 idleSpin, idleVelocity, spin, velocity;
    frameWith({}, &idleSpin, &idleVelocity);
    const float dt = 1.0f / 60.0f;
    const float inertia = bodyInertia[0];
    const float mass = bodyMass[0];
    const Vector3 w0(0.5f, -1.0f, 2.0f);
    const Vector3 right(0.8f, 0.0f, -0.6f);  // (d.z, 0, -d.x), already unit length

    // Arrow up: 485.5 * mass about the right axis, less 220.5 * the spin.
    frameWith({VK_UP}, &spin, &velocity);
    Vector3 torque = right * (485.5f * mass) - w0 * 220.5f;
    EXPECT_NEAR(spin.x - idleSpin.x, torque.x * dt / inertia, 1e-3f);
    EXPECT_NEAR(spin.y - idleSpin.y, torque.y * dt / inertia, 1e-3f);
    EXPECT_NEAR(spin.z - idleSpin.z, torque.z * dt / inertia, 1e-3f);

    // Both arrows: the drives cancel, the damping counts twice.
    frameWith({VK_UP, VK_DOWN}, &spin, &velocity);
    torque = w0 * (-2.0f * 220.5f);
    EXPECT_NEAR(spin.x - idleSpin.x, torque.x * dt / inertia, 1e-3f);
    EXPECT_NEAR(spin.y - idleSpin.y, torque.y * dt / inertia, 1e-3f);
    EXPECT_NEAR(spin.z - idleSpin.z, torque.z * dt / inertia, 1e-3f);

    // Space: 40 * mass upwards, more than gravity's 18 * mass.
    frameWith({VK_SPACE}, &spin, &velocity);
    EXPECT_NEAR(velocity.y - idleVelocity.y, 40.0f * dt, 1e-4f);
    EXPECT_EQ(spin.x, idleSpin.x);
    for (int i = 0; i < 30; ++i) updateCameraAndDraw();
    EXPECT_GT(bodyVelocity[0].y, 0.0f);
    EXPECT_GT(bodyPosition(0).y, 50.0f);
    stopApp();
}
