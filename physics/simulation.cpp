// simulation.cpp -- the step: integration, world contacts, gravity and drag, body pairs
#include "physics/simulation.h"

#include <cmath>

#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/contact_index.h"
#include "physics/pair_search.h"

ContactSearch contactSearch = SEARCH_ACCELERATED;

namespace {

int candidatePairs[MAX_BODY_PAIRS]; // the step's pair candidates, i * MAX_BODIES + j

// Number of bodies the arrays can hold, whatever numBodies says.
int bodyCount() {
    if (numBodies < 0) return 0;
    return numBodies < MAX_BODIES ? numBodies : MAX_BODIES;
}

// Phase 1, semi-implicit Euler for body i:
//   v += F * (dt / m);  w += tau * (dt / I)
//   R' = R * D, D the rotation by |w| dt about w / |w| (world axis, R on the left)
//   M' = (R' * T(p)) * T(v dt): the new centre is p + v dt
// then F = tau = 0.
void integrateBody(int i, float dt) {
    RenderObject* object = bodyRenderObject[i];
    const float k = dt / bodyMass[i];
    bodyVelocity[i] += bodyForce[i] * k;
    const float kr = dt / bodyInertia[i];
    bodyAngularVelocity[i] += bodyTorque[i] * kr;

    Matrix4 rotation = object->world;
    Matrix4 position;
    translationMatrix(position, rotation.m[12], rotation.m[13], rotation.m[14]);
    rotation.m[12] = 0.0f;
    rotation.m[13] = 0.0f;
    rotation.m[14] = 0.0f;

    const Vector3& w = bodyAngularVelocity[i];
    const double spin = std::sqrt(static_cast<double>(dot(w, w)));
    Matrix4 turn = IDENTITY_MATRIX;
    if (spin > SPIN_THRESHOLD) {
        const Vector3 axis = w * static_cast<float>(1.0 / spin);
        axisAngleMatrix(turn, axis, static_cast<float>(spin * dt));
    }
    matrixMultiply(rotation, rotation, turn);

    const Vector3 move = bodyVelocity[i] * dt;
    Matrix4 step;
    translationMatrix(step, move.x, move.y, move.z);
    Matrix4 world;
    matrixMultiply(world, rotation, position);
    matrixMultiply(world, world, step);
    object->world = world;

    bodyForce[i] = Vector3();
    bodyTorque[i] = Vector3();
}

// Phase 2 for body i: penalty normal force and Coulomb friction from each of its N world contacts.
// With d = P - c, n = d / |d| and penetration r - |d|:
//   lambda = -128 (|d| - r) / dt - 100.5 (n.v)           (spring and damper along n, may be negative)
//   surface point a = -r n; W = -(v - (n.v) n) - w x a    (negated sliding velocity of that point)
//   static  (|W| <= 1.6 lambda dt): F += (W / dt) / N;  tau -= (I (W x -n) / r / dt) / N
//   sliding (|W| > 1e-5):           g = 1.6 lambda W/|W|; F += g / N; tau -= (g x a) / N
// Friction is shared among the N contacts; the normal force is not.
void applyWorldContacts(int i, float dt, const Vector3* contacts, int count) {
    if (count <= 0) return;
    const float divisor = static_cast<float>(count);
    const Vector3 p = bodyPosition(i);
    const Vector3 v = bodyVelocity[i];
    const Vector3 w = bodyAngularVelocity[i];
    const float r = bodyRadius[i];
    const float inertia = bodyInertia[i];
    for (int c = 0; c < count; ++c) {
        const Vector3 d = p - contacts[c];
        const float dd = dot(d, d);
        if (dd <= CONTACT_MIN_DISTANCE_SQ) continue;
        const float dist = std::sqrt(dd);
        if (dist > r) continue;
        const Vector3 n = d * (1.0f / dist);

        const float lambda = ((dist - r) * -CONTACT_STIFFNESS) / dt - dot(n, v) * CONTACT_DAMPING;
        bodyForce[i] += n * lambda;

        const Vector3 vn = n * dot(n, v);
        const Vector3 vt = v - vn;
        const Vector3 arm = n * -r;
        const Vector3 slip = -vt - cross(w, arm);
        const float slipSpeed = std::sqrt(dot(slip, slip));

        // Static when |W| <= 1.6 lambda dt; a NaN slip or limit fails that test and counts as sliding,
        // where a NaN |W| then adds nothing.
        if (slipSpeed <= FRICTION_COEFFICIENT * lambda * dt) {
            // Static: cancel the slip within this step, force and torque alike.
            bodyForce[i] += (slip / dt) / divisor;
            bodyTorque[i] -= ((cross(slip, -n) * inertia) / r / dt) / divisor;
        } else if (slipSpeed > MIN_SLIDING_SPEED) {
            const Vector3 g = (slip / slipSpeed) * (FRICTION_COEFFICIENT * lambda);
            bodyForce[i] += g / divisor;
            bodyTorque[i] -= cross(g, arm) / divisor;
        }
    }
}

// Phase 3 for body i: weight m g and linear and angular drag.
void applyGravityAndDrag(int i) {
    bodyForce[i] += Vector3(0.0f, -GRAVITY, 0.0f) * bodyMass[i];
    bodyForce[i] += -bodyVelocity[i] * LINEAR_DRAG;
    bodyTorque[i] += -bodyAngularVelocity[i] * ANGULAR_DRAG;
}

// Phase 4 for the pair (i, j), i < j: with D = Pi - Pj, s = ri + rj and 0 < |D| < s, a spring
// along u = D / |D| pushes them apart: Fi += -u (|D| - s) 30 / dt, Fj gets the opposite.
void applyPairForce(int i, int j, float dt) {
    const Vector3 d = bodyPosition(i) - bodyPosition(j);
    const float reach = bodyRadius[i] + bodyRadius[j];
    const float dd = dot(d, d);
    if (!(dd < reach * reach) || dd == 0.0f) return;
    const float len = std::sqrt(dd);
    const Vector3 u = d / len;
    const Vector3 push = -u * (len - reach);
    bodyForce[i] += (push * PAIR_STIFFNESS) / dt;
    bodyForce[j] += ((push * -1.0f) * PAIR_STIFFNESS) / dt;
}

} // namespace

void stepSimulation(float dt) {
    if (!(dt > 0.0f)) return;
    const int count = bodyCount();
    // Phase 1: integrate what the previous step (and the user) accumulated; clear the accumulators.
    for (int i = 0; i < count; ++i) {
        if (bodyRenderObject[i] != nullptr) integrateBody(i, dt);
    }
    // Phase 2: world contacts at the new positions.
    const bool accelerated = contactSearch == SEARCH_ACCELERATED;
    const RenderObject* mesh = worldMeshCount > 0 ? worldMeshes[0] : nullptr;
    if (accelerated) ensureWorldContactIndex(mesh);
    for (int i = 0; i < count; ++i) {
        if (bodyRenderObject[i] == nullptr) continue;
        Vector3 contacts[MAX_WORLD_CONTACTS];
        const int n = accelerated ? gatherMeshContactsIndexed(mesh, bodyPosition(i), bodyRadius[i], contacts)
                                  : gatherMeshContacts(mesh, bodyPosition(i), bodyRadius[i], contacts);
        applyWorldContacts(i, dt, contacts, n);
    }
    // Phase 3: gravity and drag.
    for (int i = 0; i < count; ++i) {
        if (bodyRenderObject[i] != nullptr) applyGravityAndDrag(i);
    }
    // Phase 4: body pairs. The broad phase lists the candidate pairs in the loop's order (i, then j
    // ascending), so each body's force receives the same additions in the same order as from the full double
    // loop.
    const int pairCount = accelerated ? findCandidatePairs(count, candidatePairs) : -1;
    if (pairCount >= 0) {
        for (int k = 0; k < pairCount; ++k) {
            applyPairForce(candidatePairs[k] / MAX_BODIES, candidatePairs[k] % MAX_BODIES, dt);
        }
        return;
    }
    for (int i = 0; i + 1 < count; ++i) {
        if (bodyRenderObject[i] == nullptr) continue;
        for (int j = i + 1; j < count; ++j) {
            if (bodyRenderObject[j] != nullptr) applyPairForce(i, j, dt);
        }
    }
}

void resetPhysics() {
    resetBodies();
    resetWorldMeshes();
    contactSearch = SEARCH_ACCELERATED;
}
