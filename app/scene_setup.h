// scene_setup.h -- the demonstration's scene: three textures, the ball, the column of spheres and the cave
#pragma once

#include <cstdint>

#include "platform/d3d7.h"

extern uint32_t randomState; // state of the pseudo-random generator; 1 at start, never reseeded

// Next pseudo-random number, 0 .. 32767: state = state * 214013 + 2531011 (mod 2^32), result bits 16..30.
int nextRandom();

// Loads "check.bmp" into slot 0, creates the ball (createBall), loads "map.bmp" and "block.bmp" into
// slots 1 and 2, creates the column (createColumn), points the camera along +z and loads "cave.x" as the
// world mesh textured by slot 2 (loadWorldMesh). Returns 1.
int setupScene();

// The ball: a body of radius 2 and mass 8 textured by `textureSlot`, its centre at (0, 160, 0). Returns its
// body number, or -1 when the body store or the render-object table is full.
int createBall(IDirectDrawSurface7** textureSlot);

// The column of 100 spheres of radius 2 and mass 4 textured by `textureSlot`: sphere j (0 .. 99) at
// ((r2 mod 16) / 32, 160 + 4 j, 66 + (r1 mod 16) / 32), r1 and r2 the next two nextRandom() values (drawn
// even when the body cannot be created). Returns the number of spheres created.
int createColumn(IDirectDrawSurface7** textureSlot);

// The demonstration's 101 bodies as setupScene creates them, without the bitmaps: createBall, then
// createColumn, both textured by `textureSlot` (may be null). The column's places depend on randomState
// (1 for the demonstration's own places). Returns the number of bodies created. For tests and cave-bench.
int createDemoBodies(IDirectDrawSurface7** textureSlot);

// Appends a render object, converts the scene file into it (filling `slot` from the scene when empty),
// scales it by 8 about the origin with an identity world transform and registers it as a world mesh.
// Returns its index in worldMeshes, or -1 when the render-object table or the world-mesh list is full.
int loadWorldMesh(IDirectDrawSurface7** slot, const char* fileName);

// Sets randomState back to 1 (tests).
void resetRandom();

// Every global group of the demonstration back at its start: render objects, texture slots, device,
// simulation, shell, camera, picking and the random generator (for tests and benchmarks that start the
// demonstration more than once in one process).
void resetDemonstration();
