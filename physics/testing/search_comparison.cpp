// search_comparison.cpp -- lockstep bit-for-bit comparison of the exhaustive and accelerated searches
#include "physics/testing/search_comparison.h"

#include <cstdio>
#include <cstring>

#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"
#include "physics/testing/test_scenes.h"

namespace {

// Every float the step reads or writes for one body: the world matrix (0..15), then velocity,
// angular velocity, force and torque, three each.
constexpr int STATE_FLOATS = 28;
constexpr int VELOCITY = 16, ANGULAR = 19, FORCE = 22, TORQUE = 25;
struct BodyState {
    float value[STATE_FLOATS];
};
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

Vector3 vectorAt(const BodyState& s, int first) {
    return Vector3(s.value[first], s.value[first + 1], s.value[first + 2]);
}

void save(BodyState* states) {
    for (int i = 0; i < numBodies && i < MAX_BODIES; ++i) {
        BodyState& s = states[i];
        std::memset(&s, 0, sizeof s);
        if (bodyRenderObject[i] != nullptr)
            std::memcpy(s.value, bodyRenderObject[i]->world.m, sizeof(Matrix4));
        copyVector(s.value + VELOCITY, bodyVelocity[i]);
        copyVector(s.value + ANGULAR, bodyAngularVelocity[i]);
        copyVector(s.value + FORCE, bodyForce[i]);
        copyVector(s.value + TORQUE, bodyTorque[i]);
    }
}

void restore(const BodyState* states) {
    for (int i = 0; i < numBodies && i < MAX_BODIES; ++i) {
        const BodyState& s = states[i];
        if (bodyRenderObject[i] != nullptr)
            std::memcpy(bodyRenderObject[i]->world.m, s.value, sizeof(Matrix4));
        bodyVelocity[i] = vectorAt(s, VELOCITY);
        bodyAngularVelocity[i] = vectorAt(s, ANGULAR);
        bodyForce[i] = vectorAt(s, FORCE);
        bodyTorque[i] = vectorAt(s, TORQUE);
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
            const float* a = referenceState[i].value;
            const float* b = now[i].value;
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
