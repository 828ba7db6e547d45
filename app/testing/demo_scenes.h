// demo_scenes.h -- the demonstration's 101 bodies in the generated worlds or in a scene file, as the
// demonstration's own set-up places them, for tests, cave-bench and cave-tracecheck
#pragma once

#include <string>

#include "render/render_object.h"

// Starts clean (render objects, physics and the set-up's pseudo-random generator reset), creates the 101
// bodies in the demonstration's starting places, appends one more render object filled by `fill` and
// registers it as the world mesh. Returns that mesh, or null on failure.
RenderObject* setupDemoScene(bool (*fill)(RenderObject*));

// setupDemoScene with the bowl, or with the 20,000-triangle cave (physics/testing/test_scenes.h).
RenderObject* setupBowlScene();
RenderObject* setupCaveScene();

// Starts clean as setupDemoScene does, creates the 101 bodies and loads the scene file as the
// demonstration loads its cave (loadWorldMesh: first mesh, scaled by 8, untextured here). Returns the
// world mesh, or null when the file gives no triangles.
RenderObject* setupDemoSceneFromFile(const char* fileName);

// Sets up the demonstration's 101 bodies in their starting places over worldMesh (any render object
// whose vertices are world coordinates, such as the converted and scaled cave) and runs
// searchesAgreeFromHere (physics/testing/search_comparison.h) for `steps` steps. Empties the body store
// and the world-mesh list first and appends 101 render objects for the bodies, so the table needs room
// for them.
bool demoSearchesAgree(RenderObject* worldMesh, int steps, std::string* difference);
