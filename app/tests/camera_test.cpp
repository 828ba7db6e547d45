// camera_test.cpp -- driving, turning and lifting the ball, and the chase camera's pose
#include <gtest/gtest.h>

#include <cmath>

#include "app/tests/app_test_util.h"
#include "platform/core/platform_core.h"

namespace {

const Vector3 SPIN(0.5f, -1.0f, 2.0f);

// The ball alone and spinning, the camera along (0.6, 0, 0.8); one frame with these keys held (no device:
// nothing is drawn).
void frameWith(std::initializer_list<int> keys) {
    startCleanApp();
    createBody(nullptr, 2.0f, 8.0f);
    translationMatrix(renderObjects[0].world, 1, 50, 2);
    bodyAngularVelocity[0] = SPIN;
    cameraDirection = Vector3(0.6f, 0.0f, 0.8f);
    for (int key : keys)
        platformSetKeyDown(key, true);
    updateCameraAndDraw();
}

} // namespace

TEST(Camera, PoseAndTurning) {
    Matrix4 pose;
    buildCameraPose(pose, Vector3(0.6f, 0, 0.8f), Vector3(1, 2, 3));
    // Rows: right (d.z, 0, -d.x), up d x right, forward d; eye p - 8 d + (0, 3, 0).
    const float expected[16] = {0.8f, 0, -0.6f, 0, 0, 1, 0, 0, 0.6f, 0, 0.8f, 0, 1 - 4.8f, 5, 3 - 6.4f, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(pose.m[i], expected[i], 1e-6f) << i;

    // Arrow left turns the view left by 0.003 rad, then the rate decays by 0.95 per frame.
    frameWith({VK_LEFT});
    EXPECT_NEAR(cameraDirection.x, 0.6f * std::cos(0.003f) - 0.8f * std::sin(0.003f), 1e-7f);
    EXPECT_NEAR(cameraDirection.z, 0.8f * std::cos(0.003f) + 0.6f * std::sin(0.003f), 1e-7f);
    EXPECT_FLOAT_EQ(turnRate, 0.003f * 0.95f);
    // The eye follows the ball's position after the step.
    EXPECT_NEAR(cameraPose(3, 1), bodyPosition(0).y + 3, 1e-5f);
    platformSetKeyDown(VK_LEFT, false);
    updateCameraAndDraw();
    EXPECT_FLOAT_EQ(turnRate, 0.003f * 0.95f * 0.95f);
    platformSetKeyDown(VK_LEFT, true);
    for (int i = 0; i < 400; ++i)
        updateCameraAndDraw();
    EXPECT_NEAR(turnRate, 0.057f, 1e-5f);
    stopApp();
}

TEST(Camera, DrivingAndLifting) {
    frameWith({});
    const Vector3 idleSpin = bodyAngularVelocity[0], idleVelocity = bodyVelocity[0];
    const float scale = (1.0f / 60.0f) / bodyInertia[0];
    const Vector3 right(0.8f, 0, -0.6f);
    // Arrow up: 485.5 * mass about the right axis less 220.5 * spin; both arrows: the drives cancel and the
    // damping counts twice.
    const struct {
        std::initializer_list<int> keys;
        Vector3 torque;
    } cases[] = {{{VK_UP}, right * (485.5f * 8) - SPIN * 220.5f}, {{VK_UP, VK_DOWN}, SPIN * (-2 * 220.5f)}};
    for (const auto& c : cases) {
        frameWith(c.keys);
        EXPECT_NEAR(bodyAngularVelocity[0].x - idleSpin.x, c.torque.x * scale, 1e-3f);
        EXPECT_NEAR(bodyAngularVelocity[0].y - idleSpin.y, c.torque.y * scale, 1e-3f);
        EXPECT_NEAR(bodyAngularVelocity[0].z - idleSpin.z, c.torque.z * scale, 1e-3f);
    }
    // Space: 40 * mass upwards, more than gravity, so the ball rises while it is held.
    frameWith({VK_SPACE});
    EXPECT_NEAR(bodyVelocity[0].y - idleVelocity.y, 40.0f / 60.0f, 1e-4f);
    for (int i = 0; i < 30; ++i)
        updateCameraAndDraw();
    EXPECT_GT(bodyPosition(0).y, 50.0f);
    stopApp();
}
