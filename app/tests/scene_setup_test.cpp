// scene_setup_test.cpp -- the pseudo-random column, the bodies' order and the cave as world mesh
#include <gtest/gtest.h>

#include "app/tests/app_test_util.h"
#include "platform/core/platform_core.h"

namespace {

uint16_t firstPixel(IDirectDrawSurface7* surface) {
    int pitch = 0;
    const void* pixels = surface != nullptr ? recordSurfacePixels(surface, &pitch) : nullptr;
    return pixels != nullptr ? *static_cast<const uint16_t*>(pixels) : 0;
}

void setUpIn(bool withBlock, bool withCave) {
    ASSERT_TRUE(writeDemoFiles(withBlock, withCave));
    startCleanApp();
    sceneSetupFunction = setupScene;
    ASSERT_EQ(initDirect3D(nullptr), 1);
}

} // namespace

TEST(SceneSetup, BodiesThenTheCave) {
    resetRandom();
    EXPECT_EQ(nextRandom(), 41);
    EXPECT_EQ(nextRandom(), 18467);
    TempDir dir(true);
    setUpIn(true, true);
    EXPECT_EQ(renderObjectCount, 102);
    EXPECT_EQ(textureCount, 3);
    EXPECT_EQ(worldMeshCount, 1);
    EXPECT_EQ(worldMeshes[0], &renderObjects[101]);
    ASSERT_EQ(numBodies, 101);
    for (int i = 0; i < 101; ++i) {
        EXPECT_EQ(bodyRenderObject[i], &renderObjects[i]);
        EXPECT_EQ(bodyMass[i], i == 0 ? 8.0f : 4.0f);
    }
    const float expected[3][3] = {{0, 160, 0}, {0.09375f, 160, 66.28125f}};
    for (int b = 0; b < 2; ++b) {
        EXPECT_EQ(bodyPosition(b).x, expected[b][0]);
        EXPECT_EQ(bodyPosition(b).y, expected[b][1]);
        EXPECT_EQ(bodyPosition(b).z, expected[b][2]);
    }
    EXPECT_EQ(bodyPosition(100).y, 160.0f + 4 * 99);
    // The cave: scaled by 8 with an identity world, textured from block.bmp (red), not the file it names.
    const RenderObject& cave = renderObjects[101];
    ASSERT_EQ(cave.vertexCount, 6);
    EXPECT_EQ(cave.vertices[0].x, -8.0f);
    EXPECT_EQ(cave.world.m[0], 1.0f);
    EXPECT_EQ(cave.texture, &textureSlots[2]);
    EXPECT_EQ(firstPixel(textureSlots[2]), 0xF800);
    stopApp();
}

TEST(SceneSetup, MissingFiles) {
    { // Without block.bmp: the message box, then the scene's own texture (green) fills slot 2.
        TempDir dir(true);
        setUpIn(false, true);
        EXPECT_STREQ(platformMessageBoxText(0), "Texure Cannot Open: Texure Cannot Open \"block.bmp\"");
        EXPECT_EQ(firstPixel(textureSlots[2]), 0x07E0);
        stopApp();
    }
    { // Without cave.x: the world mesh is still object 101 and entry 0, with nothing in it.
        TempDir dir(true);
        setUpIn(true, false);
        EXPECT_EQ(worldMeshes[0], &renderObjects[101]);
        EXPECT_EQ(renderObjects[101].vertices, nullptr);
        // A third world mesh is refused by name.
        EXPECT_EQ(loadWorldMesh(nullptr, "none.x"), 1);
        testing::internal::CaptureStderr();
        EXPECT_EQ(loadWorldMesh(nullptr, "none.x"), -1);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("MAX_WORLD_MESHES"), std::string::npos);
        EXPECT_EQ(renderObjectCount, 103);
        stopApp();
    }
}
