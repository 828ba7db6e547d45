// test_scenes.h -- generated collision worlds and the demonstration's bodies, for tests and cave-bench
#pragma once

#include "render/render_object.h"

// Bowl: a height field over a 32 x 32 grid of 12-unit squares (2048 triangles, every edge longer than
// 10 units) centred on (BOWL_CENTRE_X, BOWL_CENTRE_Z), rising from BOWL_BOTTOM_Y as a paraboloid with a
// gentle ripple.
constexpr int BOWL_CELLS = 32;
constexpr float BOWL_SPACING = 12.0f;
constexpr float BOWL_CENTRE_X = 0.0f;
constexpr float BOWL_CENTRE_Z = 33.0f;
constexpr float BOWL_BOTTOM_Y = 100.0f;
constexpr float BOWL_HALF_WIDTH = 0.5f * BOWL_CELLS * BOWL_SPACING; // 192 units
constexpr int BOWL_TRIANGLES = 2 * BOWL_CELLS * BOWL_CELLS;

// Fills object with the bowl (identity world matrix, no texture). Returns false if it cannot allocate.
bool buildBowlMesh(RenderObject* object);

// Height of the bowl's triangles at (x, z), as meshed; only meaningful inside the bowl's square.
float bowlSurfaceHeight(float x, float z);

// Cave: CAVE_TRIANGLES triangles of mixed sizes in a deterministic shuffled order (so triangle numbers
// say nothing about place): an irregular rock tube of radius 59..77 about the vertical line
// x = 0, z = 33, from y = 40 to 640, open at the top, standing on a rippled bowl-shaped floor of 2-unit
// squares (about y = 60 in the middle) with a field of bumps where the column lands, and 200 small rock
// pyramids. Every body of the demonstration starts inside the tube. Returns false if it
// cannot allocate.
constexpr int CAVE_TRIANGLES = 20000;
constexpr float CAVE_AXIS_X = 0.0f;
constexpr float CAVE_AXIS_Z = 33.0f;
bool buildCaveMesh(RenderObject* object);

// Height of the cave's floor function at (x, z) (the triangles interpolate it).
float caveFloorHeight(float x, float z);

// The demonstration's pseudo-random generator: s = s * 214013 + 2531011, result (s >> 16) & 0x7FFF.
struct DemoRandom {
    unsigned state = 1; // starts at 1, never reseeded
    int next();
};

// Creates the demonstration's 101 bodies in their starting places: body 0 (radius 2, mass 8) at
// (0, 160, 0), then bodies 1..100 (radius 2, mass 4) at ((r2 & 15) / 32, 160 + 4j, 66 + (r1 & 15) / 32).
// Returns the number created.
int createDemoBodies(IDirectDrawSurface7** textureSlot);

// Starts clean (render objects and physics reset), creates the 101 bodies, appends one more render
// object filled by `fill` and registers it as the world mesh. Returns that mesh, or null on failure.
RenderObject* setupDemoScene(bool (*fill)(RenderObject*));

// setupDemoScene with the bowl, or with the 20,000-triangle cave.
RenderObject* setupBowlScene();
RenderObject* setupCaveScene();
