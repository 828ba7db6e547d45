// texture_test.cpp -- bitmap textures and the conversion of scene files into render objects
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "render/device.h"
#include "render/tests/render_test_util.h"
#include "render/texture.h"
#include "render/texture_slots.h"
#include "scene/frame.h"
#include "scene/mesh.h"
#include "scene/scene_classes.h"
#include "platform/core/platform_core.h"

namespace {

void startDevice(const RecordConfig& config = RecordConfig()) {
    resetDevice();
    resetTextureSlots();
    resetRenderObjects();
    platformReset();
    recordReset(config);
    ASSERT_EQ(initDirect3D(nullptr), 1);
}

void stopDevice() {
    resetRenderObjects();
    resetTextureSlots();
    resetDevice();
}

} // namespace

TEST(Textures, LoadBitmapOrLeaveTheSlot) {
    TempDir dir;
    ASSERT_TRUE(writeBitmap(dir.file("red.bmp"), 3, 5, 0xFF0000));
    startDevice();
    IDirectDrawSurface7** slot = allocateTextureSlot();
    recordClearCalls();
    // Hardware: a managed texture of the bitmap's size in the first 16-bit format without alpha (not the
    // 1-5-5-5 listed first); GDI converts the pixels.
    EXPECT_TRUE(loadTexture(directDraw, d3dDevice, slot, dir.file("red.bmp").c_str(), 1));
    ASSERT_NE(*slot, nullptr);
    EXPECT_NE(recordCallsTo("CreateSurface")
                  .at(0)
                  .find("caps=DDSCAPS_TEXTURE caps2=DDSCAPS2_TEXTUREMANAGE 3x5 "
                        "format={DDPF_RGB 16 0xF800/0x7E0/0x1F/0x0} stage=0"),
              std::string::npos);
    int pitch = 0;
    EXPECT_EQ(*static_cast<const uint16_t*>(recordSurfacePixels(*slot, &pitch)), 0xF800);
    IDirectDrawSurface7* loaded = *slot;

    // A missing file: the message box, the slot unchanged. A long name is cut to the 256-byte buffer.
    EXPECT_FALSE(loadTexture(directDraw, d3dDevice, slot, "missing.bmp", 1));
    EXPECT_FALSE(loadTexture(directDraw, d3dDevice, slot, std::string(400, 'x').c_str(), 1));
    EXPECT_EQ(*slot, loaded);
    ASSERT_EQ(platformMessageBoxCount(), 2);
    EXPECT_STREQ(platformMessageBoxText(0), "Texure Cannot Open: Texure Cannot Open \"missing.bmp\"");
    EXPECT_EQ(std::strlen(platformMessageBoxText(1)), std::strlen("Texure Cannot Open: ") + 255);
    stopDevice();

    // No 16-bit format without alpha, or a failing texture creation: false, the slot unchanged.
    RecordConfig onlyAlpha, failing;
    onlyAlpha.textureFormats = {recordRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000)};
    failing.failing = {"CreateSurface:texture"};
    for (const RecordConfig& config : {onlyAlpha, failing}) {
        startDevice(config);
        slot = allocateTextureSlot();
        EXPECT_FALSE(loadTexture(directDraw, d3dDevice, slot, dir.file("red.bmp").c_str(), 0));
        EXPECT_EQ(*slot, nullptr);
        EXPECT_TRUE(FAILED(lastResult));
        stopDevice();
    }
}

TEST(SceneConversion, FansAndTextureSlots) {
    TempDir dir(true);
    ASSERT_TRUE(writeBitmap("stone.bmp", 4, 4, 0x00FF00));
    // A triangle, a quad, a pentagon and a two-corner face (which adds nothing); the material names
    // stone.bmp.
    const std::vector<float> p = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 3, 1, 0, 2, 2, 0};
    ASSERT_TRUE(
        writeFile("shapes.x", sceneText(p, {{0, 1, 2}, {0, 1, 2, 3}, {4, 5, 6, 3, 0}, {1, 2}}, "stone.bmp")));
    startDevice();
    IDirectDrawSurface7** slot = allocateTextureSlot();
    RenderObject* object = appendRenderObject();
    recordClearCalls();
    convertScene(object, "shapes.x", slot);
    const int order[] = {0, 1, 2, 0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 3, 4, 3, 0};
    ASSERT_EQ(object->vertexCount, 18);
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(object->vertices[i].x, p[3 * order[i]]) << i;
        EXPECT_EQ(object->vertices[i].y, p[3 * order[i] + 1]) << i;
    }
    EXPECT_EQ(std::memcmp(object->world.m, IDENTITY_MATRIX.m, sizeof(Matrix4)), 0);
    // The empty slot was filled from the scene's own texture and restored.
    ASSERT_NE(*slot, nullptr);
    EXPECT_EQ(recordCallsTo("Restore"), std::vector<std::string>({"texture1.Restore()"}));
    EXPECT_EQ(object->texture, slot);

    // A slot that already holds a surface is kept: the scene's texture is not loaded again.
    recordClearCalls();
    convertScene(appendRenderObject(), "shapes.x", slot);
    EXPECT_TRUE(recordCallsTo("CreateSurface").empty());

    // A scene texture that cannot be loaded: the message box, the slot stays empty.
    ASSERT_TRUE(writeFile("lost.x", sceneText(p, {{0, 1, 2}}, "nowhere.bmp")));
    IDirectDrawSurface7** empty = allocateTextureSlot();
    convertScene(appendRenderObject(), "lost.x", empty);
    EXPECT_EQ(*empty, nullptr);
    EXPECT_STREQ(platformMessageBoxText(0), "Texure Cannot Open: Texure Cannot Open \"nowhere.bmp\"");
    stopDevice();
}

TEST(SceneConversion, ScenesWithoutAUsableMesh) {
    TempDir dir(true);
    startDevice();
    IDirectDrawSurface7** slot = allocateTextureSlot();
    // An unreadable file leaves the object exactly as it was.
    RenderObject* object = appendRenderObject();
    buildSphereMesh(object, IDENTITY_MATRIX, nullptr, 4, 3);
    Vertex* before = object->vertices;
    convertScene(object, "absent.x", slot);
    EXPECT_EQ(object->vertices, before);
    EXPECT_EQ(object->texture, nullptr);
    // The root's mesh sits in a child frame, the root has no attachment of its own: an empty object.
    ASSERT_TRUE(writeFile(
        "nested.x", "xof 0303txt 0032\nFrame Root {\nFrame Child {\nMesh M {\n3;\n0;0;0;,1;0;0;,0;1;0;;\n"
                    "1;\n3;0,1,2;;\n}\n}\n}\n"));
    convertScene(object, "nested.x", slot);
    EXPECT_EQ(object->vertexCount, 0);
    EXPECT_EQ(object->vertices, nullptr);
    EXPECT_EQ(*slot, nullptr);
    EXPECT_EQ(platformMessageBoxCount(), 0);
    stopDevice();

    // In memory: a first attachment that is not a polygon mesh; a long texture name; no texture name.
    VokRegisterSceneClasses();
    TVokFrame* wrong = static_cast<TVokFrame*>(TVokFrame::Create());
    TVokFrame* root = static_cast<TVokFrame*>(TVokFrame::Create());
    TVokPolygonMesh* mesh = static_cast<TVokPolygonMesh*>(TVokPolygonMesh::Create());
    TVokLSObj* frame = TVokFrame::Create();
    wrong->Attach(frame); // a frame first, then the mesh
    wrong->Attach(mesh);
    root->Attach(mesh);
    frame->Release();
    mesh->Release();
    mesh->SetMaterialName("ignored.bmp");
    mesh->Reserve(3, 1);
    mesh->geometry->vertexCount = 3;
    mesh->geometry->faceCount = 1;
    ASSERT_TRUE(mesh->SetFaceIndexCount(0, 4));
    const uint16_t corners[4] = {0, 1, 2, 0};
    std::memcpy(mesh->geometry->faces[0].indices, corners, sizeof(corners));
    mesh->geometry->vertices[2].x = 7.0f;
    char name[TEXTURE_NAME_BUFFER];
    getSceneTextureName(wrong, name);
    EXPECT_EQ(countSceneVertices(wrong), 0);
    EXPECT_STREQ(name, "");
    wrong->Release();
    Vertex out[6];
    EXPECT_EQ(countSceneVertices(root), 6);
    EXPECT_EQ(fillSceneVertices(root, out, 5), 3); // never beyond the room given
    EXPECT_EQ(out[2].x, 7.0f);
    mesh->SetMaterialName(std::string(300, 'n').c_str());
    getSceneTextureName(root, name);
    EXPECT_EQ(std::string(name), std::string(255, 'n'));
    mesh->SetMaterialName(nullptr);
    getSceneTextureName(root, name);
    EXPECT_STREQ(name, "");
    root->Release();
}
