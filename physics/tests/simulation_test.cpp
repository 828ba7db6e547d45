// simulation_test.cpp -- the step's phases: integration delay, free fall, contact and friction forces, pairs
#include <gtest/gtest.h>

#include <cmath>

#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"

namespace {

const float DT = SIMULATION_DT;

class Simulation : public ::testing::Test {
protected:
    void SetUp() override {
        resetRenderObjects();
        resetPhysics();
    }
    void TearDown() override {
        resetRenderObjects();
        resetPhysics();
    }

    // A body placed at p with velocity v (what phase 1 leaves when the accumulators are empty).
    static int bodyAt(const Vector3& p, float radius, float mass, const Vector3& v = Vector3()) {
        const int b = createBody(nullptr, radius, mass);
        translationMatrix(bodyRenderObject[b]->world, p.x, p.y, p.z);
        bodyVelocity[b] = v;
        return b;
    }

    // Registers a world mesh of the given triangles (y up), after the bodies.
    static void world(const std::vector<Vector3>& points) {
        RenderObject* o = appendRenderObject();
        initRenderObject(o, IDENTITY_MATRIX, nullptr, static_cast<int>(points.size()));
        for (size_t i = 0; i < points.size(); ++i) o->vertices[i] = Vertex{points[i].x, points[i].y, points[i].z, 0, 1, 0, 0, 0};
        registerWorldMesh(o);
    }

    static void floorAt(float y) {
        world({Vector3(-1000, y, -1000), Vector3(1000, y, -1000), Vector3(0, y, 1000)});
    }

    // The force phase 3 adds for body b: weight and linear drag.
    static Vector3 gravityAndDrag(int b) {
        return Vector3(0, -GRAVITY * bodyMass[b], 0) - bodyVelocity[b] * LINEAR_DRAG;
    }
};

}  // namespace

TEST_F(Simulation, NewBodyMovesOnlyFromItsSecondStep) {
    const int b = bodyAt(Vector3(3, 50, -7), 2.0f, 4.0f);
    stepSimulation(DT);
    EXPECT_EQ(bodyPosition(b).x, 3.0f);
    EXPECT_EQ(bodyPosition(b).y, 50.0f);
    EXPECT_EQ(bodyPosition(b).z, -7.0f);
    EXPECT_EQ(lengthSquared(bodyVelocity[b]), 0.0f);
    EXPECT_FLOAT_EQ(bodyForce[b].y, -72.0f);  // weight for the next step
    stepSimulation(DT);
    EXPECT_FLOAT_EQ(bodyVelocity[b].y, -0.3f);
    EXPECT_EQ(bodyVelocity[b].x, 0.0f);
    EXPECT_FLOAT_EQ(bodyPosition(b).y, 50.0f - 0.3f * DT);
    // No spin: the orientation rows are copied unchanged.
    for (int i = 0; i < 12; ++i) EXPECT_EQ(bodyRenderObject[b]->world.m[i], IDENTITY_MATRIX.m[i]) << i;

    // Steps with dt <= 0 or NaN do nothing at all.
    const Vector3 before = bodyPosition(b);
    stepSimulation(0.0f);
    stepSimulation(-DT);
    stepSimulation(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(bodyPosition(b).y, before.y);
    EXPECT_FLOAT_EQ(bodyVelocity[b].y, -0.3f);
}

TEST_F(Simulation, FreeFallApproachesTerminalSpeed) {
    const int light = bodyAt(Vector3(0, 0, 0), 2.0f, 4.0f);
    const int heavy = bodyAt(Vector3(100, 0, 0), 2.0f, 8.0f);
    for (int s = 0; s < 3600; ++s) stepSimulation(DT);
    // 18 m = 2.5 v: 7.2 m units/s.
    EXPECT_NEAR(bodyVelocity[light].y, -28.8f, 1e-3f);
    EXPECT_NEAR(bodyVelocity[heavy].y, -57.6f, 2e-3f);
    EXPECT_EQ(bodyVelocity[light].x, 0.0f);
}

TEST_F(Simulation, SpinTurnsTheOrientationAboutTheWorldAxis) {
    const int b = bodyAt(Vector3(0, 0, 0), 1.0f, 1.0f);
    const int still = bodyAt(Vector3(50, 0, 0), 1.0f, 1.0f);
    bodyAngularVelocity[b] = Vector3(0, 0, 3.0f);
    bodyAngularVelocity[still] = Vector3(5e-8f, 0, 0);  // at or below the spin threshold
    Matrix4 tilted;
    axisAngleMatrix(tilted, Vector3(1, 0, 0), 0.4f);
    tilted.m[12] = 50.0f;
    bodyRenderObject[still]->world = tilted;
    stepSimulation(DT);
    // Turned by 3 dt about +z: the x axis row becomes (cos, sin, 0).
    const Matrix4& w = bodyRenderObject[b]->world;
    EXPECT_NEAR(w.m[0], std::cos(3.0f * DT), 1e-6f);
    EXPECT_NEAR(w.m[1], std::sin(3.0f * DT), 1e-6f);
    EXPECT_NEAR(w.m[4], -std::sin(3.0f * DT), 1e-6f);
    EXPECT_EQ(w.m[10], 1.0f);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(bodyRenderObject[still]->world.m[i], tilted.m[i]) << i;
    // Angular drag for the next step.
    EXPECT_FLOAT_EQ(bodyTorque[b].z, -7.5f);
}

TEST_F(Simulation, PairForcesOnlyBetweenOverlappingDistinctCentres) {
    const int a = bodyAt(Vector3(0, 0, 0), 2.0f, 4.0f);
    const int b = bodyAt(Vector3(3, 0, 0), 2.0f, 4.0f);    // overlap 1 with a
    const int c = bodyAt(Vector3(20, 0, 0), 2.0f, 4.0f);   // coincides with d
    const int d = bodyAt(Vector3(20, 0, 0), 2.0f, 4.0f);
    const int e = bodyAt(Vector3(-40, 0, 0), 2.0f, 4.0f);  // exactly touching f
    const int f = bodyAt(Vector3(-36, 0, 0), 2.0f, 4.0f);
    stepSimulation(DT);
    // Spring 30 * overlap / dt along the line of centres, equal and opposite.
    EXPECT_FLOAT_EQ(bodyForce[a].x, -1800.0f);
    EXPECT_FLOAT_EQ(bodyForce[b].x, 1800.0f);
    EXPECT_EQ(bodyForce[a].z, 0.0f);
    EXPECT_EQ(lengthSquared(bodyTorque[a]), 0.0f);
    for (int i : {c, d, e, f}) {
        EXPECT_EQ(bodyForce[i].x, 0.0f) << i;
        EXPECT_FLOAT_EQ(bodyForce[i].y, -72.0f) << i;
    }
}

TEST_F(Simulation, RestingContactGivesTheSpringAndDamperForce) {
    floorAt(0.0f);
    const int b = bodyAt(Vector3(5, 1.9f, 5), 2.0f, 4.0f, Vector3(0, -0.5f, 0));
    stepSimulation(DT);
    const float y = bodyPosition(b).y;  // moved by v dt in phase 1
    EXPECT_FLOAT_EQ(y, 1.9f - 0.5f * DT);
    const float lambda = 128.0f * (2.0f - y) / DT + 100.5f * 0.5f;
    const Vector3 f = bodyForce[b] - gravityAndDrag(b);
    EXPECT_NEAR(f.y, lambda, 1e-2f);
    EXPECT_NEAR(f.x, 0.0f, 1e-4f);
    EXPECT_NEAR(lengthSquared(bodyTorque[b]), 0.0f, 1e-6f);

    // Out of reach: no contact force at all.
    resetRenderObjects();
    resetPhysics();
    floorAt(0.0f);
    const int free = bodyAt(Vector3(5, 2.01f, 5), 2.0f, 4.0f);
    stepSimulation(DT);
    EXPECT_FLOAT_EQ(bodyForce[free].y, -72.0f);
}

TEST_F(Simulation, WorkedSlidingExampleAndStaticFriction) {
    floorAt(0.0f);
    const int b = bodyAt(Vector3(0, 1.999f, 0), 2.0f, 4.0f, Vector3(-2, 0, 0));
    stepSimulation(DT);
    const Vector3 f = bodyForce[b] - gravityAndDrag(b);
    EXPECT_NEAR(f.y, 7.68f, 0.01f);
    EXPECT_NEAR(f.x, 12.29f, 0.01f);
    EXPECT_NEAR(f.z, 0.0f, 1e-5f);
    EXPECT_NEAR(bodyTorque[b].z, 24.58f, 0.02f);
    EXPECT_NEAR(bodyTorque[b].x, 0.0f, 1e-5f);

    // Slow enough to stick: 1.6 lambda dt ~ 0.2048 > 0.1. The slip is cancelled in one step:
    // F = W / dt = -6 along x, tau = -I (W x -n) / r / dt = -19.2 about z.
    resetRenderObjects();
    resetPhysics();
    floorAt(0.0f);
    const int s = bodyAt(Vector3(0, 1.999f, 0), 2.0f, 4.0f, Vector3(0.1f, 0, 0));
    stepSimulation(DT);
    const Vector3 fs = bodyForce[s] - gravityAndDrag(s);
    EXPECT_NEAR(fs.x, -6.0f, 1e-3f);
    EXPECT_NEAR(bodyTorque[s].z, -19.2f, 1e-3f);
}

TEST_F(Simulation, FrictionIsSharedAmongContactsAndNegativeNormalForceSlides) {
    // Two floor triangles sharing the edge x = 0 under the centre: two contacts at the same point.
    world({Vector3(0, 0, -100), Vector3(0, 0, 100), Vector3(-100, 0, 0),  //
           Vector3(0, 0, -100), Vector3(100, 0, 0), Vector3(0, 0, 100)});
    const int b = bodyAt(Vector3(0, 1.999f, 0), 2.0f, 4.0f, Vector3(0, 0, -2));
    stepSimulation(DT);
    Vector3 contacts[MAX_WORLD_CONTACTS];
    ASSERT_EQ(gatherWorldContacts(bodyPosition(b), 2.0f, contacts), 2);
    const Vector3 f = bodyForce[b] - gravityAndDrag(b);
    EXPECT_NEAR(f.y, 2 * 7.68f, 0.02f);   // each normal force in full
    EXPECT_NEAR(f.z, 12.29f, 0.01f);      // friction halves summed: the friction of one contact
    EXPECT_NEAR(bodyTorque[b].x, -24.58f, 0.02f);

    // Leaving the surface fast: lambda < 0 takes the sliding branch; friction 1.6 |lambda| along -W.
    resetRenderObjects();
    resetPhysics();
    floorAt(0.0f);
    const int up = bodyAt(Vector3(0, 1.5f, 0), 2.0f, 4.0f, Vector3(-2, 29, 0));
    stepSimulation(DT);
    const float y = bodyPosition(up).y;
    ASSERT_LT(y, 2.0f);
    const float lambda = 128.0f * (2.0f - y) / DT - 29.0f * 100.5f;
    ASSERT_LT(lambda, 0.0f);
    const Vector3 fu = bodyForce[up] - gravityAndDrag(up);
    EXPECT_NEAR(fu.y, lambda, 0.05f);
    EXPECT_NEAR(fu.x, 1.6f * lambda, 0.1f);  // W = (2, 0, 0); the force points along -x
}

TEST_F(Simulation, ContactAtTheCentreIsSkippedButCounted) {
    // Triangle 0 passes through the centre (skipped: d.d <= 1e-7); triangle 1 is a floor below.
    world({Vector3(-10, 1, 0), Vector3(10, 1, 0), Vector3(0, 30, 0),  //
           Vector3(-1000, 0, -1000), Vector3(1000, 0, -1000), Vector3(0, 0, 1000)});
    const int b = bodyAt(Vector3(0, 1.999f, 0), 2.0f, 4.0f, Vector3(-2, 0, 0));
    stepSimulation(DT);
    const Vector3 f = bodyForce[b] - gravityAndDrag(b);
    // Vertical plane z = 0 contains the centre: its contact is skipped, yet N = 2 halves the friction.
    EXPECT_NEAR(f.y, 7.68f, 0.01f);
    EXPECT_NEAR(f.x, 12.29f / 2.0f, 0.01f);
    EXPECT_EQ(f.z, 0.0f);
}
