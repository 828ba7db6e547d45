// test_scenes.cpp -- the generated bowl and cave worlds and the demonstration's 101 bodies
#include "physics/testing/test_scenes.h"

#include <cmath>

#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"

namespace {

// Paraboloid bowl with a ripple, sampled at the grid corners.
float bowlCornerHeight(int i, int k) {
    const float x = BOWL_CENTRE_X - BOWL_HALF_WIDTH + BOWL_SPACING * static_cast<float>(i);
    const float z = BOWL_CENTRE_Z - BOWL_HALF_WIDTH + BOWL_SPACING * static_cast<float>(k);
    const float dx = x - BOWL_CENTRE_X, dz = z - BOWL_CENTRE_Z;
    return BOWL_BOTTOM_Y + 0.004f * (dx * dx + dz * dz) + 1.5f * std::sin(0.3f * x) * std::cos(0.25f * z);
}

Vertex gridVertex(int i, int k) {
    Vertex v{};
    v.x = BOWL_CENTRE_X - BOWL_HALF_WIDTH + BOWL_SPACING * static_cast<float>(i);
    v.z = BOWL_CENTRE_Z - BOWL_HALF_WIDTH + BOWL_SPACING * static_cast<float>(k);
    v.y = bowlCornerHeight(i, k);
    v.ny = 1.0f;
    v.tu = static_cast<float>(i);
    v.tv = static_cast<float>(k);
    return v;
}

}  // namespace

bool buildBowlMesh(RenderObject* object) {
    initRenderObject(object, IDENTITY_MATRIX, nullptr, 3 * BOWL_TRIANGLES);
    if (object == nullptr || object->vertices == nullptr) return false;
    Vertex* out = object->vertices;
    // Each grid square (i, k) is split along its diagonal from corner (i, k) to (i+1, k+1).
    for (int k = 0; k < BOWL_CELLS; ++k) {
        for (int i = 0; i < BOWL_CELLS; ++i) {
            *out++ = gridVertex(i, k);
            *out++ = gridVertex(i + 1, k);
            *out++ = gridVertex(i + 1, k + 1);
            *out++ = gridVertex(i, k);
            *out++ = gridVertex(i + 1, k + 1);
            *out++ = gridVertex(i, k + 1);
        }
    }
    return true;
}

float bowlSurfaceHeight(float x, float z) {
    const float gx = (x - (BOWL_CENTRE_X - BOWL_HALF_WIDTH)) / BOWL_SPACING;
    const float gz = (z - (BOWL_CENTRE_Z - BOWL_HALF_WIDTH)) / BOWL_SPACING;
    int i = static_cast<int>(std::floor(gx));
    int k = static_cast<int>(std::floor(gz));
    i = i < 0 ? 0 : (i >= BOWL_CELLS ? BOWL_CELLS - 1 : i);
    k = k < 0 ? 0 : (k >= BOWL_CELLS ? BOWL_CELLS - 1 : k);
    const float fx = gx - static_cast<float>(i), fz = gz - static_cast<float>(k);
    const float h00 = bowlCornerHeight(i, k), h10 = bowlCornerHeight(i + 1, k);
    const float h11 = bowlCornerHeight(i + 1, k + 1), h01 = bowlCornerHeight(i, k + 1);
    // Below the diagonal (fx >= fz): triangle (0,0) (1,0) (1,1); above it: (0,0) (1,1) (0,1).
    if (fx >= fz) return h00 + (h10 - h00) * fx + (h11 - h10) * fz;
    return h00 + (h11 - h01) * fx + (h01 - h00) * fz;
}

int DemoRandom::next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
}

int createDemoBodies(IDirectDrawSurface7** textureSlot) {
    int created = 0;
    const int ball = createBody(textureSlot, 2.0f, 8.0f);
    if (ball < 0) return created;
    ++created;
    translationMatrix(bodyRenderObject[ball]->world, 0.0f, 160.0f, 0.0f);
    DemoRandom random;
    for (int j = 0; j < 100; ++j) {
        const int b = createBody(textureSlot, 2.0f, 4.0f);
        if (b < 0) break;
        ++created;
        const float z = 66.0f + static_cast<float>(random.next() % 16) * 0.03125f;
        const float x = static_cast<float>(random.next() % 16) * 0.03125f;
        const float y = 160.0f + 4.0f * static_cast<float>(j);
        translationMatrix(bodyRenderObject[b]->world, x, y, z);
    }
    return created;
}

RenderObject* setupDemoScene(bool (*fill)(RenderObject*)) {
    resetRenderObjects();
    resetPhysics();
    if (createDemoBodies(nullptr) != 101) return nullptr;
    RenderObject* mesh = appendRenderObject();
    if (mesh == nullptr || !fill(mesh)) return nullptr;
    if (registerWorldMesh(mesh) != 0) return nullptr;
    return mesh;
}

RenderObject* setupBowlScene() { return setupDemoScene(buildBowlMesh); }

bool buildCaveMesh(RenderObject* object, int triangles) {
    (void)triangles;
    initRenderObject(object, IDENTITY_MATRIX, nullptr, 0);
    return false;
}

namespace {
bool buildStandardCave(RenderObject* object) { return buildCaveMesh(object, 20000); }
}  // namespace

RenderObject* setupCaveScene() { return setupDemoScene(buildStandardCave); }
