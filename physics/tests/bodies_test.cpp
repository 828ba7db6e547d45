// bodies_test.cpp -- body creation: render object, pose, inertia, capacities
#include <gtest/gtest.h>

#include <limits>

#include "physics/tests/physics_test_util.h"

using Bodies = PhysicsTest;

TEST_F(Bodies, CreationFillsRenderObjectPoseAndInertia) {
    IDirectDrawSurface7* slot = nullptr;
    ASSERT_EQ(createBody(&slot, 2.0f, 8.0f), 0);
    ASSERT_EQ(createBody(&slot, 2.0f, 4.0f), 1);
    EXPECT_EQ(bodyRenderObject[0], &renderObjects[0]);
    EXPECT_EQ(bodyRenderObject[1], &renderObjects[1]);
    EXPECT_EQ(renderObjects[0].texture, &slot);
    // Identity orientation, centre one radius above the origin.
    Matrix4 expected;
    translationMatrix(expected, 0.0f, 2.0f, 0.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(renderObjects[0].world.m[i], expected.m[i]) << i;
    // 0.4 m r^2 in single precision.
    EXPECT_EQ(bodyInertia[0], 12.8f);
    EXPECT_EQ(bodyInertia[1], 6.4f);
    // Mesh scaled to the radius.
    ASSERT_EQ(renderObjects[1].vertexCount, 48);
    for (int v = 0; v < 48; ++v) {
        const Vertex& p = renderObjects[1].vertices[v];
        EXPECT_NEAR(p.x * p.x + p.y * p.y + p.z * p.z, 4.0f, 1e-5f);
    }
    EXPECT_EQ(lengthSquared(bodyVelocity[1]) + lengthSquared(bodyAngularVelocity[1]) +
                  lengthSquared(bodyForce[1]) + lengthSquared(bodyTorque[1]),
              0.0f);
}

TEST_F(Bodies, CapacitiesAndBadArgumentsAreRefused) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(createBody(nullptr, 0.0f, 4.0f), -1);
    EXPECT_EQ(createBody(nullptr, 2.0f, -1.0f), -1);
    EXPECT_EQ(createBody(nullptr, std::numeric_limits<float>::quiet_NaN(), 4.0f), -1);
    EXPECT_EQ(createBody(nullptr, 2.0f, std::numeric_limits<float>::infinity()), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(numBodies, 0);
    EXPECT_EQ(renderObjectCount, 0);

    for (int i = 0; i < MAX_BODIES; ++i)
        ASSERT_EQ(createBody(nullptr, 1.0f, 1.0f), i);
    testing::internal::CaptureStderr();
    EXPECT_EQ(createBody(nullptr, 1.0f, 1.0f), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MAX_BODIES"), std::string::npos);
    EXPECT_EQ(renderObjectCount, MAX_BODIES);

    // With the render-object table full, no body is created either.
    SetUp();
    while (renderObjectCount < MAX_RENDER_OBJECTS)
        appendRenderObject();
    testing::internal::CaptureStderr();
    EXPECT_EQ(createBody(nullptr, 1.0f, 1.0f), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MAX_RENDER_OBJECTS"), std::string::npos);
    EXPECT_EQ(numBodies, 0);
}
