// bodies.cpp -- the body store and body creation
#include "physics/bodies.h"

#include <cmath>
#include <cstdio>

Vector3 bodyForce[MAX_BODIES];
Vector3 bodyVelocity[MAX_BODIES];
Vector3 bodyAngularVelocity[MAX_BODIES];
float bodyRadius[MAX_BODIES];
float bodyMass[MAX_BODIES];
RenderObject* bodyRenderObject[MAX_BODIES];
Vector3 bodyTorque[MAX_BODIES];
float bodyInertia[MAX_BODIES];
int numBodies = 0;

namespace {
bool finitePositive(float value) {
    return std::isfinite(value) && value > 0.0f;
}
} // namespace

int createBody(IDirectDrawSurface7** textureSlot, float radius, float mass) {
    if (numBodies < 0 || numBodies >= MAX_BODIES) {
        std::fprintf(stderr, "createBody: MAX_BODIES (%d) reached, body refused\n", MAX_BODIES);
        return -1;
    }
    // Zero or negative mass or radius would give an infinite 1/m or 1/I in the step.
    if (!finitePositive(radius) || !finitePositive(mass)) {
        std::fprintf(stderr, "createBody: radius %g and mass %g must be finite and positive, body refused\n",
                     static_cast<double>(radius), static_cast<double>(mass));
        return -1;
    }
    RenderObject* object = appendRenderObject();
    if (object == nullptr) {
        std::fprintf(stderr, "createBody: no render object left (MAX_RENDER_OBJECTS), body refused\n");
        return -1;
    }
    // Unit octahedral sphere (4 slices, 3 rings: 48 vertices) scaled to the radius.
    buildSphereMesh(object, IDENTITY_MATRIX, textureSlot, 4, 3);
    const Matrix4 scale(radius, 0, 0, 0, 0, radius, 0, 0, 0, 0, radius, 0, 0, 0, 0, 1);
    transformVertices(object, scale);

    const int b = numBodies;
    bodyRadius[b] = radius;
    translationMatrix(object->world, 0.0f, radius, 0.0f);
    bodyRenderObject[b] = object;
    bodyVelocity[b] = Vector3();
    bodyForce[b] = Vector3();
    bodyTorque[b] = Vector3();
    bodyAngularVelocity[b] = Vector3();
    bodyMass[b] = mass;
    // Solid sphere: I = 0.4 m r^2, evaluated as ((m * r) * r) * 0.4f.
    bodyInertia[b] = mass * radius * radius * 0.4f;
    ++numBodies;
    return b;
}

void resetBodies() {
    for (int i = 0; i < MAX_BODIES; ++i) {
        bodyForce[i] = Vector3();
        bodyVelocity[i] = Vector3();
        bodyAngularVelocity[i] = Vector3();
        bodyRadius[i] = 0.0f;
        bodyMass[i] = 0.0f;
        bodyRenderObject[i] = nullptr;
        bodyTorque[i] = Vector3();
        bodyInertia[i] = 0.0f;
    }
    numBodies = 0;
}
