// demo_scenes.cpp -- the demonstration's bodies over the generated worlds and scene files
#include "app/testing/demo_scenes.h"

#include "app/scene_setup.h"
#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"
#include "physics/testing/search_comparison.h"
#include "physics/testing/test_scenes.h"

namespace {

// Empty render-object table, body store and world-mesh list, and the generator at its first state.
void startClean() {
    resetRenderObjects();
    resetPhysics();
    resetRandom();
}

} // namespace

RenderObject* setupDemoScene(bool (*fill)(RenderObject*)) {
    startClean();
    if (createDemoBodies(nullptr) != 101) return nullptr;
    RenderObject* mesh = appendRenderObject();
    if (mesh == nullptr || !fill(mesh)) return nullptr;
    if (registerWorldMesh(mesh) != 0) return nullptr;
    return mesh;
}

RenderObject* setupDemoSceneFromFile(const char* fileName) {
    startClean();
    if (createDemoBodies(nullptr) != 101 || loadWorldMesh(nullptr, fileName) != 0) return nullptr;
    RenderObject* mesh = worldMeshes[0];
    return worldTriangleCount(mesh) > 0 ? mesh : nullptr;
}

RenderObject* setupBowlScene() {
    return setupDemoScene(buildBowlMesh);
}

RenderObject* setupCaveScene() {
    return setupDemoScene(buildCaveMesh);
}

bool demoSearchesAgree(RenderObject* worldMesh, int steps, std::string* difference) {
    resetPhysics();
    resetRandom();
    if (createDemoBodies(nullptr) != 101 || registerWorldMesh(worldMesh) != 0) {
        if (difference != nullptr) *difference = "cannot set up the 101 bodies and the world mesh";
        return false;
    }
    return searchesAgreeFromHere(steps, difference);
}
