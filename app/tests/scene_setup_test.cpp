// scene_setup_test.cpp -- the pseudo-random column, the bodies' order and the cave as world mesh
#include <gtest/gtest.h>

#include "app/tests/app_test_util.h"
#include "physics/bodies.h"
#include "physics/collision.h"
#include "render/tests/render_test_util.h"

namespace {

// The demonstration's files in a temporary directory: three bitmaps of distinct colours and a one-quad
// cave whose material names "other.bmp".
void writeDemoFiles(TempDir& dir, bool withBlock, bool withCave) {
    ASSERT_TRUE(writeBitmapFile(dir.file("check.bmp"), 4, 4, 0xFFFFFF));
    ASSERT_TRUE(writeBitmapFile(dir.file("map.bmp"), 4, 4, 0x0000FF));
    if (withBlock) {
        ASSERT_TRUE(writeBitmapFile(dir.file("block.bmp"), 2, 2, 0xFF0000));
    }
    ASSERT_TRUE(writeBitmapFile(dir.file("other.bmp"), 3, 3, 0x00FF00));
    if (withCave) {
        ASSERT_TRUE(writeTextFile(dir.file("cave.x"),
                                  sceneText({-1, 0, -1, -1, 0, 1, 1, 0, 1, 1, 0, -1}, {{0, 1, 2, 3}}, "other.bmp")));
    }
}

// The first pixel of the surface in a slot (16-bit 5-6-5).
uint16_t firstPixel(IDirectDrawSurface7* surface) {
    int pitch = 0;
    const void* pixels = recordSurfacePixels(surface, &pitch);
    return pixels != nullptr ? *static_cast<const uint16_t*>(pixels) : 0;
}

}  // namespace

TEST(SceneSetup, RandomNumbers) {
    resetRandom();
    EXPECT_EQ(nextRandom(), 41);
    EXPECT_EQ(nextRandom(), 18467);
    EXPECT_EQ(nextRandom(), 6334);
    for (int i = 0; i < 100000; ++i) {
        const int r = nextRandom();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
    resetRandom();
    EXPECT_EQ(randomState, 1u);
}

TEST(SceneSetup, BodiesThenTheCave) {
    TempDir dir;
    writeDemoFiles(dir, true, true);
    WorkingDirectory inside(dir.path());
    ASSERT_TRUE(inside.ok());
    startCleanApp();
    sceneSetupFunction = setupScene;
    ASSERT_EQ(initDirect3D(nullptr), 1);

    EXPECT_EQ(numBodies, 101);
    EXPECT_EQ(renderObjectCount, 102);
    EXPECT_EQ(textureCount, 3);
    EXPECT_EQ(worldMeshCount, 1);
    EXPECT_EQ(worldMeshes[0], &renderObjects[101]);
    for (int i = 0; i < 101; ++i) {
        ASSERT_EQ(bodyRenderObject[i], &renderObjects[i]);
        EXPECT_EQ(renderObjects[i].texture, &textureSlots[0]);
        EXPECT_EQ(bodyRadius[i], 2.0f);
        EXPECT_EQ(bodyMass[i], i == 0 ? 8.0f : 4.0f);
    }
    EXPECT_EQ(bodyPosition(0).x, 0.0f);
    EXPECT_EQ(bodyPosition(0).y, 160.0f);
    EXPECT_EQ(bodyPosition(0).z, 0.0f);
    // The first two numbers, 41 and 18467, place body 1.
    EXPECT_EQ(bodyPosition(1).x, 0.09375f);
    EXPECT_EQ(bodyPosition(1).y, 160.0f);
    EXPECT_EQ(bodyPosition(1).z, 66.28125f);
    EXPECT_EQ(bodyPosition(100).y, 160.0f + 4 * 99);
    EXPECT_EQ(renderObjects[1].world.m[0], 1.0f);  // identity orientation
    EXPECT_EQ(cameraDirection.z, 1.0f);

    // The cave: scaled by 8, identity world, textured from block.bmp (red), not the file it names.
    const RenderObject& cave = renderObjects[101];
    ASSERT_EQ(cave.vertexCount, 6);
    EXPECT_EQ(cave.vertices[0].x, -8.0f);
    EXPECT_EQ(cave.vertices[1].z, 8.0f);
    EXPECT_EQ(cave.world.m[0], 1.0f);
    EXPECT_EQ(cave.world.m[12], 0.0f);
    EXPECT_EQ(cave.texture, &textureSlots[2]);
    ASSERT_NE(textureSlots[2], nullptr);
    EXPECT_EQ(firstPixel(textureSlots[2]), 0xF800);
    EXPECT_EQ(recordCallsTo("CreateSurface").size(), 3u + 3u);  // primary, target, z-buffer, three textures
    stopApp();
}

TEST(SceneSetup, MissingFiles) {
    // Without block.bmp: a message box, then the scene's own texture fills slot 2.
    {
        TempDir dir;
        writeDemoFiles(dir, false, true);
        WorkingDirectory inside(dir.path());
        startCleanApp();
        sceneSetupFunction = setupScene;
        ASSERT_EQ(initDirect3D(nullptr), 1);
        ASSERT_EQ(platformMessageBoxCount(), 1);
        EXPECT_STREQ(platformMessageBoxText(0), "Texure Cannot Open: Texure Cannot Open \"block.bmp\"");
        ASSERT_NE(textureSlots[2], nullptr);
        EXPECT_EQ(firstPixel(textureSlots[2]), 0x07E0);
        stopApp();
    }
    // Without cave.x: the world mesh is still object 101 and entry 0, with nothing to draw or collide with.
    {
        TempDir dir;
        writeDemoFiles(dir, true, false);
        WorkingDirectory inside(dir.path());
        startCleanApp();
        sceneSetupFunction = setupScene;
        ASSERT_EQ(initDirect3D(nullptr), 1);
        EXPECT_EQ(renderObjectCount, 102);
        EXPECT_EQ(worldMeshes[0], &renderObjects[101]);
        EXPECT_EQ(renderObjects[101].vertexCount, 0);
        EXPECT_EQ(renderObjects[101].vertices, nullptr);
        stopApp();
    }
    // A full world-mesh list refuses a third mesh by name.
    {
        startCleanApp();
        TempDir dir;
        EXPECT_EQ(loadWorldMesh(nullptr, dir.file("none.x").c_str()), 0);
        EXPECT_EQ(loadWorldMesh(nullptr, dir.file("none.x").c_str()), 1);
        testing::internal::CaptureStderr();
        EXPECT_EQ(loadWorldMesh(nullptr, dir.file("none.x").c_str()), -1);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("MAX_WORLD_MESHES"), std::string::npos);
        EXPECT_EQ(renderObjectCount, 2);
        stopApp();
    }
}
