// scene_setup.h -- the demonstration's scene: three textures, the ball, the column of spheres and the cave
#pragma once

#include <cstdint>

#include "platform/d3d7.h"

extern uint32_t randomState; // state of the pseudo-random generator; 1 at start, never reseeded

// Next pseudo-random number, 0 .. 32767: state = state * 214013 + 2531011 (mod 2^32), result bits 16..30.
int nextRandom();

// Loads "check.bmp", "map.bmp" and "block.bmp" into slots 0, 1 and 2, creates the ball (body 0 at
// (0, 160, 0)) and the column of 100 spheres above the cave, points the camera along +z and loads
// "cave.x" as the world mesh textured by slot 2. Returns 1.
int setupScene();

// Appends a render object, converts the scene file into it (filling `slot` from the scene when empty),
// scales it by 8 about the origin with an identity world transform and registers it as a world mesh.
// Returns its index in worldMeshes, or -1 when the render-object table or the world-mesh list is full.
int loadWorldMesh(IDirectDrawSurface7** slot, const char* fileName);

// Sets randomState back to 1 (tests).
void resetRandom();
