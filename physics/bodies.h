// bodies.h -- the body store: parallel arrays of the spheres' dynamic state, and body creation
//
// A body's pose is the world matrix of its render object (rows 0-2 orientation, row 3 centre);
// the store holds everything else. Body i owns renderObjects[i]: all bodies are created before
// any other render object.
#pragma once

#include "math/vector_math.h"
#include "render/render_object.h"

constexpr int MAX_BODIES = 128;
static_assert(MAX_BODIES <= MAX_RENDER_OBJECTS, "every body needs a render object of its own");

extern Vector3 bodyForce[MAX_BODIES];    // force accumulator for the next integration, mass * units/s^2
extern Vector3 bodyVelocity[MAX_BODIES]; // linear velocity of the centre, units/s
extern Vector3
    bodyAngularVelocity[MAX_BODIES]; // angular velocity about world axes, rad/s (surface velocity w x r)
extern float bodyRadius[MAX_BODIES]; // sphere radius, units; also the scale of the body's mesh
extern float bodyMass[MAX_BODIES];   // mass
extern RenderObject* bodyRenderObject[MAX_BODIES]; // render object whose world matrix is the body's pose
extern Vector3 bodyTorque[MAX_BODIES];             // torque accumulator for the next integration
extern float bodyInertia[MAX_BODIES];              // solid-sphere moment of inertia, 0.4 * mass * radius^2
extern int numBodies;                              // bodies created; they are numbered 0 .. numBodies-1

// Creates a sphere body: takes the next render object, fills it with the 4-slice 3-ring sphere scaled
// to the radius, poses it at (0, radius, 0) with identity orientation and zero velocities and
// accumulators. Returns the body number, or -1 (with a message on stderr) when MAX_BODIES or
// MAX_RENDER_OBJECTS is reached or when radius or mass is not a finite positive number.
int createBody(IDirectDrawSurface7** textureSlot, float radius, float mass);

// Empties the body store: numBodies = 0 and every array zeroed. Render objects are not touched.
void resetBodies();

// Centre of body i: row 3 of its world matrix.
inline Vector3 bodyPosition(int i) {
    const Matrix4& w = bodyRenderObject[i]->world;
    return Vector3(w.m[12], w.m[13], w.m[14]);
}
