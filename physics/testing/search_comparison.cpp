// search_comparison.cpp -- lockstep bit-for-bit comparison of the exhaustive and accelerated searches
#include "physics/testing/search_comparison.h"

#include <cstdio>
#include <cstring>

#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"
#include "physics/testing/test_scenes.h"

namespace {

// Every float the step reads or writes for one body.
struct BodyState {
    float world[16];
    float velocity[3], angular[3], force[3], torque[3];
};
constexpr int STATE_FLOATS = 28;
static_assert(sizeof(BodyState) == STATE_FLOATS * sizeof(float), "BodyState is plain floats");
const char* const FIELD_NAMES[STATE_FLOATS] = {
    "m00", "m01", "m02", "m03", "m10", "m11", "m12", "m13", "m20", "m21", "m22", "m23", "px", "py",
    "pz",  "m33", "vx",  "vy",  "vz",  "wx",  "wy",  "wz",  "fx",  "fy",  "fz",  "tx",  "ty", "tz"};

BodyState startState[MAX_BODIES];
BodyState referenceState[MAX_BODIES];

void copyVector(float* out, const Vector3& v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

void save(BodyState* states) {
    for (int i = 0; i < numBodies && i < MAX_BODIES; ++i) {
        BodyState& s = states[i];
        std::memset(&s, 0, sizeof s);
        if (bodyRenderObject[i] != nullptr)
            std::memcpy(s.world, bodyRenderObject[i]->world.m, sizeof s.world);
        copyVector(s.velocity, bodyVelocity[i]);
        copyVector(s.angular, bodyAngularVelocity[i]);
        copyVector(s.force, bodyForce[i]);
        copyVector(s.torque, bodyTorque[i]);
    }
}

void restore(const BodyState* states) {
    for (int i = 0; i < numBodies && i < MAX_BODIES; ++i) {
        const BodyState& s = states[i];
        if (bodyRenderObject[i] != nullptr)
            std::memcpy(bodyRenderObject[i]->world.m, s.world, sizeof s.world);
        bodyVelocity[i] = Vector3(s.velocity[0], s.velocity[1], s.velocity[2]);
        bodyAngularVelocity[i] = Vector3(s.angular[0], s.angular[1], s.angular[2]);
        bodyForce[i] = Vector3(s.force[0], s.force[1], s.force[2]);
        bodyTorque[i] = Vector3(s.torque[0], s.torque[1], s.torque[2]);
    }
}

} // namespace

bool searchesAgreeFromHere(int steps, std::string* difference) {
    const ContactSearch previous = contactSearch;
    BodyState now[MAX_BODIES];
    for (int step = 1; step <= steps; ++step) {
        save(startState);
        contactSearch = SEARCH_EXHAUSTIVE;
        stepSimulation(SIMULATION_DT);
        save(referenceState);
        restore(startState);
        contactSearch = SEARCH_ACCELERATED;
        stepSimulation(SIMULATION_DT);
        save(now);
        for (int i = 0; i < numBodies && i < MAX_BODIES; ++i) {
            const float* a = &referenceState[i].world[0];
            const float* b = &now[i].world[0];
            for (int f = 0; f < STATE_FLOATS; ++f) {
                if (std::memcmp(a + f, b + f, sizeof(float)) == 0) continue;
                if (difference != nullptr) {
                    char text[200];
                    std::snprintf(text, sizeof text, "step %d body %d %s: exhaustive %.9g, accelerated %.9g",
                                  step, i, FIELD_NAMES[f], static_cast<double>(a[f]),
                                  static_cast<double>(b[f]));
                    *difference = text;
                }
                contactSearch = previous;
                return false;
            }
        }
    }
    contactSearch = previous;
    return true;
}

bool demoSearchesAgree(RenderObject* worldMesh, int steps, std::string* difference) {
    resetPhysics();
    if (createDemoBodies(nullptr) != 101 || registerWorldMesh(worldMesh) != 0) {
        if (difference != nullptr) *difference = "cannot set up the 101 bodies and the world mesh";
        return false;
    }
    return searchesAgreeFromHere(steps, difference);
}
