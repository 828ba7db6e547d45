// test_scenes.h -- generated collision worlds, for tests, cave-bench and cave-gen's gallery
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

// The demonstration's 101 bodies in these worlds: app/testing/demo_scenes.h (they come from the
// demonstration's own scene set-up, which stands above this library).
