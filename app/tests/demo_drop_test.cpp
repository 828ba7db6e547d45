// demo_drop_test.cpp -- the demonstration's 101 bodies dropped onto the generated bowl, and their runs with
// the accelerated contact search against the exhaustive one, bit for bit, in the bowl and the rock tube
#include <gtest/gtest.h>

#include <malloc.h>

#include <cmath>
#include <cstddef>

#include "app/scene_setup.h"
#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/contact_index.h"
#include "physics/simulation.h"
#include "physics/testing/test_scenes.h"
#include "app/testing/demo_scenes.h"
#include "physics/tests/physics_test_util.h"

namespace {

// Bytes of the C library's heap in use (every malloc and operator new of the program).
size_t heapInUse() {
#ifdef _WIN32
    // The C run-time's heap, block by block.
    size_t used = 0;
    _HEAPINFO entry = {};
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY) used += entry._size;
    return used;
#else
    return mallinfo2().uordblks;
#endif
}

} // namespace

TEST(DemoDrop, StartingPlacesFollowTheGenerator) {
    resetRandom();
    EXPECT_EQ(nextRandom(), 41);
    EXPECT_EQ(nextRandom(), 18467);
    ASSERT_NE(setupBowlScene(), nullptr);
    EXPECT_EQ(numBodies, 101);
    EXPECT_EQ(renderObjectCount, 102);
    EXPECT_EQ(worldMeshes[0], &renderObjects[101]);
    EXPECT_EQ(worldTriangleCount(worldMeshes[0]), BOWL_TRIANGLES);
    EXPECT_EQ(bodyPosition(0).y, 160.0f);
    EXPECT_EQ(bodyMass[0], 8.0f);
    EXPECT_EQ(bodyPosition(1).x, 0.09375f);
    EXPECT_EQ(bodyPosition(1).z, 66.28125f);
    EXPECT_EQ(bodyPosition(100).y, 556.0f);
    EXPECT_EQ(bodyMass[100], 4.0f);
}

TEST(DemoDrop, HundredAndOneBodiesLandInTheBowl) {
    ASSERT_NE(setupBowlScene(), nullptr);
    bool touched[MAX_BODIES] = {};
    stepSimulation(SIMULATION_DT); // from here on the heap in use stays as it is
    const size_t heapBefore = heapInUse();
    for (int step = 1; step < 1200; ++step) {
        stepSimulation(SIMULATION_DT);
        for (int i = 0; i < numBodies; ++i) {
            const Vector3 p = bodyPosition(i);
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << "body " << i;
            // Inside the bowl's square and above its surface (centre never below the triangles).
            ASSERT_LT(std::fabs(p.x - BOWL_CENTRE_X), BOWL_HALF_WIDTH) << "body " << i << " step " << step;
            ASSERT_LT(std::fabs(p.z - BOWL_CENTRE_Z), BOWL_HALF_WIDTH) << "body " << i << " step " << step;
            ASSERT_GT(p.y, bowlSurfaceHeight(p.x, p.z)) << "body " << i << " step " << step;
            Vector3 contacts[MAX_WORLD_CONTACTS];
            if (gatherMeshContactsIndexed(worldMeshes[0], p, bodyRadius[i], contacts) > 0) touched[i] = true;
        }
    }
    EXPECT_EQ(heapInUse(), heapBefore) << "the steps left memory allocated";
    // Landed: at the end every body rests on the bowl or on another body, and none is still falling
    // (free fall runs at 28.8 units/s); some still roll about the bottom.
    for (int i = 0; i < numBodies; ++i) {
        const Vector3 p = bodyPosition(i);
        Vector3 contacts[MAX_WORLD_CONTACTS];
        bool supported = gatherWorldContacts(p, bodyRadius[i], contacts) > 0;
        for (int j = 0; j < numBodies && !supported; ++j) {
            const Vector3 d = bodyPosition(j) - p;
            if (j != i && lengthSquared(d) <= 1.1f * 16.0f) supported = true;
        }
        EXPECT_TRUE(supported) << "body " << i << " at height " << p.y - bowlSurfaceHeight(p.x, p.z);
        EXPECT_LT(std::fabs(bodyVelocity[i].y), 5.0f) << "body " << i;
        EXPECT_LT(std::sqrt(lengthSquared(bodyVelocity[i])), 10.0f) << "body " << i;
        EXPECT_TRUE(std::isfinite(bodyForce[i].x) && std::isfinite(bodyTorque[i].y)) << "body " << i;
        EXPECT_TRUE(touched[i]) << "body " << i << " never reached the bowl";
    }
}

namespace {

// The exhaustive reference costs about 2 million sphere-triangle tests per step on the cave; under the
// sanitizers (there to catch memory faults) the cave comparison is cut short, ordinary builds run it all.
#if defined(__SANITIZE_ADDRESS__)
constexpr int CAVE_COMPARISON_STEPS = 300;
#else
constexpr int CAVE_COMPARISON_STEPS = 1500;
#endif

using ContactIndex = PhysicsTest;

} // namespace

TEST_F(ContactIndex, DemoRunsAgreeBitForBitOnTheBowl) {
    RenderObject* bowl = appendRenderObject();
    ASSERT_TRUE(buildBowlMesh(bowl));
    std::string difference;
    EXPECT_TRUE(demoSearchesAgree(bowl, 1500, &difference)) << difference;
}

TEST_F(ContactIndex, DemoRunsAgreeBitForBitOnTheTwentyThousandTriangleCave) {
    RenderObject* cave = appendRenderObject();
    ASSERT_TRUE(buildCaveMesh(cave));
    EXPECT_EQ(worldTriangleCount(cave), 20000);
    std::string difference;
    EXPECT_TRUE(demoSearchesAgree(cave, CAVE_COMPARISON_STEPS, &difference)) << difference;
    if (CAVE_COMPARISON_STEPS < 1500) return;
    // By the end the bodies are down in the cave, inside its walls and above its floor.
    for (int i = 0; i < numBodies; ++i) {
        const Vector3 p = bodyPosition(i);
        const float dx = p.x - CAVE_AXIS_X, dz = p.z - CAVE_AXIS_Z;
        EXPECT_LT(dx * dx + dz * dz, 59.0f * 59.0f) << "body " << i;
        EXPECT_GT(p.y, caveFloorHeight(p.x, p.z) - 1.0f) << "body " << i;
        EXPECT_LT(p.y, 200.0f) << "body " << i;
    }
}
