// cave_physics_test.cpp -- the demo's 101 spheres dropped into the shipped cave, run headless
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"
#include "app/testing/demo_scenes.h"
#include "physics/testing/test_scenes.h"
#include "tools/cavegen/cave_mesh.h"

namespace {

// Loaded as the demonstration loads it (setupDemoSceneFromFile: the scene set-up's loadWorldMesh).
const char* const kShippedCave = CAVE_SOURCE_ASSETS_DIR "/cave.x";

float speedOf(int i) {
    return std::sqrt(lengthSquared(bodyVelocity[i]));
}

struct Stillness {
    float fastest = 0.0f;      // largest speed, units/s
    float mean = 0.0f;         // mean speed, units/s
    float farthestMove = 0.0f; // largest distance a centre moved since `before`
};

Stillness measureStillness(const Vector3* before) {
    Stillness s;
    for (int i = 0; i < numBodies; ++i) {
        s.fastest = std::fmax(s.fastest, speedOf(i));
        s.mean += speedOf(i) / static_cast<float>(numBodies);
        s.farthestMove = std::fmax(s.farthestMove, std::sqrt(lengthSquared(bodyPosition(i) - before[i])));
    }
    return s;
}

// Runs `steps` steps; every body must stay finite, inside the cave's walls and above its floor.
// Tracks the highest climb above the starting heights and the largest speed.
void runChecked(int steps, const float* startY, float* highestRise, float* fastest) {
    for (int step = 0; step < steps; ++step) {
        stepSimulation(SIMULATION_DT);
        for (int i = 0; i < numBodies; ++i) {
            const Vector3 p = bodyPosition(i);
            const float speed = speedOf(i);
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) &&
                        std::isfinite(speed))
                << "body " << i << " step " << step;
            ASSERT_TRUE(p.x > cavegen::kMinX && p.x < cavegen::kMaxX && p.z > cavegen::kMinZ &&
                        p.z < cavegen::kMaxZ)
                << "body " << i << " left the cave at step " << step;
            ASSERT_GT(p.y, static_cast<float>(cavegen::floorSurfaceHeight(p.x, p.z)))
                << "body " << i << " went through the floor at step " << step;
            *highestRise = std::fmax(*highestRise, p.y - startY[i]);
            *fastest = std::fmax(*fastest, speed);
        }
    }
}

} // namespace

// The demo's first 1500 frames (25 s; the last sphere of the column lands after about 21 s): the
// ball lands on the plain, the column falls into the pit and heaps up there. Nothing leaves the
// cave, sinks through the floor, turns NaN, is thrown upwards or flies off; at the end only the
// small shivers of the newest arrivals are left. Run on to 50 s, everything is still: no sphere
// is left buzzing where several triangles meet.
TEST(CavePhysics, ColumnFallsIntoTheCaveAndComesToRest) {
    ASSERT_NE(setupDemoSceneFromFile(kShippedCave), nullptr);
    ASSERT_EQ(numBodies, 101);
    ASSERT_EQ(worldTriangleCount(worldMeshes[0]), static_cast<int>(cavegen::buildCave().triangles.size()));

    float startY[MAX_BODIES];
    for (int i = 0; i < numBodies; ++i)
        startY[i] = bodyPosition(i).y;
    float highestRise = -1e9f, fastest = 0.0f;
    Vector3 before[MAX_BODIES];

    runChecked(1440, startY, &highestRise, &fastest);
    for (int i = 0; i < numBodies; ++i)
        before[i] = bodyPosition(i);
    runChecked(60, startY, &highestRise, &fastest);
    if (HasFatalFailure()) return;
    const Stillness at25 = measureStillness(before);
    int inPit = 0;
    for (int i = 1; i < numBodies; ++i)
        if (cavegen::floorSurfaceHeight(bodyPosition(i).x, bodyPosition(i).z) < -8.0) ++inPit;

    runChecked(1440, startY, &highestRise, &fastest);
    for (int i = 0; i < numBodies; ++i)
        before[i] = bodyPosition(i);
    runChecked(60, startY, &highestRise, &fastest);
    if (HasFatalFailure()) return;
    const Stillness at50 = measureStillness(before);

    std::printf("highest rise %.3f, fastest %.3f; %d of the column in the pit\n", highestRise, fastest,
                inPit);
    std::printf("after 25 s: fastest %.3f, mean %.3f, farthest move in the last second %.3f\n", at25.fastest,
                at25.mean, at25.farthestMove);
    std::printf("after 50 s: fastest %.3f, mean %.3f, farthest move in the last second %.3f\n", at50.fastest,
                at50.mean, at50.farthestMove);
    // No launches: the fastest fall is the ball's terminal speed, 18 * 8 / 2.5 = 57.6 units/s.
    EXPECT_LT(highestRise, 0.5f) << "a body was thrown above its starting height";
    EXPECT_LT(fastest, 60.0f) << "a body was launched";
    EXPECT_GE(inPit, 95) << "the column should heap up in the pit";
    EXPECT_LT(at25.fastest, 5.0f);
    EXPECT_LT(at25.mean, 1.2f);
    EXPECT_LT(at50.fastest, 0.5f);
    EXPECT_LT(at50.farthestMove, 0.1f);
}

// The ball can be driven about: the arrow keys' torque (485.5 per unit of mass about the
// camera's right axis, with 220.5 of damping) rolls it across the plain, over a ridge and up the
// rim to the walls, inside the cave. Driven into a wall it climbs a little way up it (friction
// 1.6 against the spin) and falls back; nothing throws it higher.
TEST(CavePhysics, BallCanBeDrivenAroundTheCave) {
    ASSERT_NE(setupDemoSceneFromFile(kShippedCave), nullptr);
    float startY[MAX_BODIES];
    for (int i = 0; i < numBodies; ++i)
        startY[i] = bodyPosition(i).y;
    float highestRise = -1e9f, fastest = 0.0f;
    runChecked(480, startY, &highestRise, &fastest); // the ball has landed at (0, 2, 0)
    const float headings[4][2] = {{1.0f, 0.0f}, {0.0f, -1.0f}, {-1.0f, 0.3f}, {0.7f, 0.7f}}; // (x, z)
    for (const auto& d : headings) {
        const Vector3 from = bodyPosition(0);
        const Vector3 right = Vector3(d[1], 0.0f, -d[0]) * (1.0f / std::sqrt(d[0] * d[0] + d[1] * d[1]));
        float highestHop = 0.0f;
        for (int step = 0; step < 600 && !HasFatalFailure(); ++step) {
            bodyTorque[0] = bodyTorque[0] + right * (485.5f * bodyMass[0]) - bodyAngularVelocity[0] * 220.5f;
            runChecked(1, startY, &highestRise, &fastest);
            const Vector3 p = bodyPosition(0);
            highestHop =
                std::fmax(highestHop, p.y - static_cast<float>(cavegen::floorSurfaceHeight(p.x, p.z)));
        }
        const Vector3 moved = bodyPosition(0) - from;
        EXPECT_GT(std::sqrt(moved.x * moved.x + moved.z * moved.z), 100.0f)
            << "heading " << d[0] << ", " << d[1];
        EXPECT_LT(highestHop, 20.0f) << "heading " << d[0] << ", " << d[1];
    }
    EXPECT_LT(fastest, 60.0f);
}
