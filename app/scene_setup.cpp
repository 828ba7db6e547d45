// scene_setup.cpp -- the demonstration's scene: three textures, the ball, the column of spheres and the cave
#include "app/scene_setup.h"

#include <cstdio>

#include "app/camera.h"
#include "app/picking.h"
#include "app/shell.h"
#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"
#include "render/device.h"
#include "render/render_object.h"
#include "render/texture.h"
#include "render/texture_slots.h"

uint32_t randomState = 1;

namespace {

constexpr float BALL_RADIUS = 2.0f;
constexpr float BALL_MASS = 8.0f;
constexpr float SPHERE_MASS = 4.0f;
constexpr int COLUMN_SPHERES = 100;
constexpr float COLUMN_BASE_Y = 160.0f; // height of the ball and of the lowest sphere of the column
constexpr float COLUMN_SPACING = 4.0f;  // neighbours in the column touch
constexpr float COLUMN_Z = 66.0f;
constexpr float JITTER_STEP = 0.03125f; // 1/32: offsets of up to 15/32 in x and z
constexpr float WORLD_SCALE = 8.0f;     // the cave file is scaled by 8 about the origin

// Hands out the next slot and loads the bitmap into it; a missing file leaves the slot empty.
IDirectDrawSurface7** loadSlot(const char* fileName) {
    IDirectDrawSurface7** slot = allocateTextureSlot();
    if (slot != nullptr) loadTexture(directDraw, d3dDevice, slot, fileName, hardwareDevice);
    return slot;
}

// The body's pose becomes a translation: identity orientation, centre (x, y, z).
void placeBody(int body, float x, float y, float z) {
    if (body < 0 || bodyRenderObject[body] == nullptr) return;
    translationMatrix(bodyRenderObject[body]->world, x, y, z);
}

} // namespace

int nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

void resetRandom() {
    randomState = 1;
}

void resetDemonstration() {
    resetRenderObjects();
    resetTextureSlots();
    resetDevice();
    resetPhysics();
    resetShell();
    resetCamera();
    resetPicking();
    resetRandom();
}

int setupScene() {
    IDirectDrawSurface7** checkSlot = loadSlot("check.bmp");
    createBall(checkSlot);

    loadSlot("map.bmp"); // loaded and released like the others; nothing draws with it
    IDirectDrawSurface7** blockSlot = loadSlot("block.bmp");

    createColumn(checkSlot);

    cameraDirection = Vector3(0.0f, 0.0f, 1.0f);
    loadWorldMesh(blockSlot, "cave.x");
    return 1;
}

int createBall(IDirectDrawSurface7** textureSlot) {
    const int ball = createBody(textureSlot, BALL_RADIUS, BALL_MASS);
    placeBody(ball, 0.0f, COLUMN_BASE_Y, 0.0f);
    return ball;
}

int createColumn(IDirectDrawSurface7** textureSlot) {
    int created = 0;
    for (int j = 0; j < COLUMN_SPHERES; ++j) {
        const int body = createBody(textureSlot, BALL_RADIUS, SPHERE_MASS);
        const int r1 = nextRandom();
        const float z = COLUMN_Z + static_cast<float>(r1 % 16) * JITTER_STEP;
        const int r2 = nextRandom();
        const float x = static_cast<float>(r2 % 16) * JITTER_STEP;
        const float y = COLUMN_BASE_Y + COLUMN_SPACING * static_cast<float>(j);
        placeBody(body, x, y, z);
        if (body >= 0) ++created;
    }
    return created;
}

int createDemoBodies(IDirectDrawSurface7** textureSlot) {
    const int ball = createBall(textureSlot);
    return (ball >= 0 ? 1 : 0) + createColumn(textureSlot);
}

int loadWorldMesh(IDirectDrawSurface7** slot, const char* fileName) {
    if (worldMeshCount >= MAX_WORLD_MESHES) {
        std::fprintf(stderr, "loadWorldMesh: MAX_WORLD_MESHES (%d) reached, \"%s\" not loaded\n",
                     MAX_WORLD_MESHES, fileName != nullptr ? fileName : "");
        return -1;
    }
    RenderObject* object = appendRenderObject();
    if (object == nullptr) return -1;

    convertScene(object, fileName, slot);
    const Matrix4 scale(WORLD_SCALE, 0, 0, 0, 0, WORLD_SCALE, 0, 0, 0, 0, WORLD_SCALE, 0, 0, 0, 0, 1);
    transformVertices(object, scale);
    // Identity world: the mesh's vertex positions are world coordinates, which the collision uses directly.
    object->world = IDENTITY_MATRIX;
    return registerWorldMesh(object);
}
