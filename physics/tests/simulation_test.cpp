// simulation_test.cpp -- the step's phases: integration delay, free fall, contact and friction forces, pairs
#include <cmath>
#include <limits>

#include "physics/tests/physics_test_util.h"

namespace {

const float DT = SIMULATION_DT;

class Simulation : public PhysicsTest {
  protected:
    // A body placed at p with velocity v (what phase 1 keeps when the accumulators are empty).
    static int bodyAt(const Vector3& p, float radius, float mass, const Vector3& v = Vector3()) {
        const int b = createBody(nullptr, radius, mass);
        translationMatrix(bodyRenderObject[b]->world, p.x, p.y, p.z);
        bodyVelocity[b] = v;
        return b;
    }
    static void floorAtZero() {
        registerWorldMesh(meshOf({Vector3(-1000, 0, -1000), Vector3(1000, 0, -1000), Vector3(0, 0, 1000)}));
    }
    // One step of a body 1.999 above the floor with velocity v; returns the contact force (the
    // accumulated force less weight and drag).
    Vector3 contactForceAt(const Vector3& v, float height = 1.999f) {
        SetUp();
        floorAtZero();
        const int b = bodyAt(Vector3(0, height, 0), 2.0f, 4.0f, v);
        stepSimulation(DT);
        return bodyForce[b] - Vector3(0, -GRAVITY * bodyMass[b], 0) + bodyVelocity[b] * LINEAR_DRAG;
    }
};

} // namespace

TEST_F(Simulation, NewBodyMovesOnlyFromItsSecondStep) {
    const int b = bodyAt(Vector3(3, 50, -7), 2.0f, 4.0f);
    stepSimulation(DT);
    EXPECT_EQ(bodyPosition(b).y, 50.0f);
    EXPECT_EQ(lengthSquared(bodyVelocity[b]), 0.0f);
    EXPECT_FLOAT_EQ(bodyForce[b].y, -72.0f); // weight, for the next step
    stepSimulation(DT);
    EXPECT_FLOAT_EQ(bodyVelocity[b].y, -0.3f);
    EXPECT_FLOAT_EQ(bodyPosition(b).y, 50.0f - 0.3f * DT);
    EXPECT_EQ(bodyPosition(b).x, 3.0f);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(bodyRenderObject[b]->world.m[i], IDENTITY_MATRIX.m[i]) << i;
    // Steps with dt <= 0 or NaN do nothing.
    stepSimulation(0.0f);
    stepSimulation(-DT);
    stepSimulation(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(bodyPosition(b).y, 50.0f - 0.3f * DT);
}

TEST_F(Simulation, FreeFallApproachesTerminalSpeed) {
    const int light = bodyAt(Vector3(0, 0, 0), 2.0f, 4.0f);
    const int heavy = bodyAt(Vector3(100, 0, 0), 2.0f, 8.0f);
    for (int s = 0; s < 3600; ++s)
        stepSimulation(DT);
    EXPECT_NEAR(bodyVelocity[light].y, -28.8f, 1e-3f); // 18 m = 2.5 v
    EXPECT_NEAR(bodyVelocity[heavy].y, -57.6f, 2e-3f);
}

TEST_F(Simulation, SpinTurnsTheOrientationAboutTheWorldAxis) {
    const int b = bodyAt(Vector3(0, 0, 0), 1.0f, 1.0f);
    const int still = bodyAt(Vector3(50, 0, 0), 1.0f, 1.0f);
    bodyAngularVelocity[b] = Vector3(0, 0, 3.0f);
    bodyAngularVelocity[still] = Vector3(5e-8f, 0, 0); // at or below the spin threshold
    Matrix4 tilted;
    axisAngleMatrix(tilted, Vector3(1, 0, 0), 0.4f);
    tilted.m[12] = 50.0f;
    bodyRenderObject[still]->world = tilted;
    stepSimulation(DT);
    const Matrix4& w = bodyRenderObject[b]->world;
    EXPECT_NEAR(w.m[0], std::cos(3.0f * DT), 1e-6f);
    EXPECT_NEAR(w.m[1], std::sin(3.0f * DT), 1e-6f);
    EXPECT_NEAR(w.m[4], -std::sin(3.0f * DT), 1e-6f);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(bodyRenderObject[still]->world.m[i], tilted.m[i]) << i;
    EXPECT_FLOAT_EQ(bodyTorque[b].z, -7.5f); // angular drag
}

TEST_F(Simulation, PairForcesOnlyBetweenOverlappingDistinctCentres) {
    const int a = bodyAt(Vector3(0, 0, 0), 2.0f, 4.0f);
    const int b = bodyAt(Vector3(3, 0, 0), 2.0f, 4.0f); // overlap 1 with a
    const int others[] = {
        bodyAt(Vector3(20, 0, 0), 2.0f, 4.0f), bodyAt(Vector3(20, 0, 0), 2.0f, 4.0f),    // coincide
        bodyAt(Vector3(-40, 0, 0), 2.0f, 4.0f), bodyAt(Vector3(-36, 0, 0), 2.0f, 4.0f)}; // touch
    stepSimulation(DT);
    EXPECT_FLOAT_EQ(bodyForce[a].x, -1800.0f); // 30 * overlap / dt, equal and opposite
    EXPECT_FLOAT_EQ(bodyForce[b].x, 1800.0f);
    EXPECT_EQ(lengthSquared(bodyTorque[a]), 0.0f);
    for (int i : others)
        EXPECT_EQ(bodyForce[i].x, 0.0f) << i;
}

TEST_F(Simulation, ContactForcesFrictionAndTheirSharing) {
    // Resting face contact straight below: lambda = 128 penetration / dt - 100.5 vy.
    Vector3 f = contactForceAt(Vector3(0, -0.5f, 0), 1.9f);
    EXPECT_NEAR(f.y, 128.0f * (0.1f + 0.5f * DT) / DT + 100.5f * 0.5f, 1e-2f);
    EXPECT_NEAR(f.x, 0.0f, 1e-4f);
    EXPECT_FLOAT_EQ(contactForceAt(Vector3(), 2.01f).y, 0.0f); // out of reach

    // Worked sliding example: lambda ~ 7.68, friction ~ (12.29, 0, 0), torque ~ (0, 0, 24.58).
    f = contactForceAt(Vector3(-2, 0, 0));
    EXPECT_NEAR(f.y, 7.68f, 0.01f);
    EXPECT_NEAR(f.x, 12.29f, 0.01f);
    EXPECT_NEAR(bodyTorque[0].z, 24.58f, 0.02f);

    // Slow enough to stick (1.6 lambda dt ~ 0.2048 > 0.1): the slip is cancelled in one step,
    // F = W / dt = -6 along x, tau = -I (W x -n) / r / dt = -19.2 about z.
    f = contactForceAt(Vector3(0.1f, 0, 0));
    EXPECT_NEAR(f.x, -6.0f, 1e-3f);
    EXPECT_NEAR(bodyTorque[0].z, -19.2f, 1e-3f);

    // Leaving the surface fast: lambda < 0 slides, friction 1.6 |lambda| along -W.
    f = contactForceAt(Vector3(-2, 29, 0), 1.5f);
    const float lambda = 128.0f * (0.5f - 29.0f * DT) / DT - 29.0f * 100.5f;
    EXPECT_NEAR(f.y, lambda, 0.05f);
    EXPECT_NEAR(f.x, 1.6f * lambda, 0.1f);

    // Two contacts (two floor triangles meeting under the centre): normal forces add, friction is shared.
    SetUp();
    registerWorldMesh(meshOf({Vector3(0, 0, -100), Vector3(0, 0, 100), Vector3(-100, 0, 0), //
                              Vector3(0, 0, -100), Vector3(100, 0, 0), Vector3(0, 0, 100)}));
    const int b = bodyAt(Vector3(0, 1.999f, 0), 2.0f, 4.0f, Vector3(0, 0, -2));
    stepSimulation(DT);
    EXPECT_NEAR(bodyForce[b].y + 72.0f, 2 * 7.68f, 0.02f);
    EXPECT_NEAR(bodyForce[b].z - 5.0f, 12.29f, 0.01f);

    // A contact at the centre (a wall through it) is skipped but still counted in N.
    SetUp();
    registerWorldMesh(meshOf({Vector3(-10, 1, 0), Vector3(10, 1, 0), Vector3(0, 30, 0), //
                              Vector3(-1000, 0, -1000), Vector3(1000, 0, -1000), Vector3(0, 0, 1000)}));
    const int c = bodyAt(Vector3(0, 1.999f, 0), 2.0f, 4.0f, Vector3(-2, 0, 0));
    stepSimulation(DT);
    EXPECT_NEAR(bodyForce[c].y + 72.0f, 7.68f, 0.01f);
    EXPECT_NEAR(bodyForce[c].x - 5.0f, 12.29f / 2.0f, 0.01f);

    // A NaN slip counts as sliding, which adds nothing for it: a huge sphere over a tilted plane (normal
    // (0, 0.6, 0.8)) whose spin term w x a overflows to inf - inf keeps a finite force.
    SetUp();
    const Vector3 across(1, 0, 0), up(0, 0.8f, -0.6f), normal(0, 0.6f, 0.8f);
    registerWorldMesh(meshOf({(-across - up) * 4e9f, (across - up) * 4e9f, up * 4e9f}));
    const int d = bodyAt(normal * 1e19f, 1e20f, 4.0f);
    bodyAngularVelocity[d] = Vector3(0, 1e19f, 1e19f);
    stepSimulation(DT);
    EXPECT_TRUE(std::isfinite(bodyForce[d].x) && std::isfinite(bodyForce[d].y) &&
                std::isfinite(bodyForce[d].z));
    EXPECT_GT(dot(bodyForce[d], normal), 1e23f); // the normal force itself is applied
}
