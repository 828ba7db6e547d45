// texture_test.cpp -- bitmap textures and the conversion of scene files into render objects
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d7_record.h"
#include "platform/win32.h"
#include "render/device.h"
#include "render/render_object.h"
#include "render/tests/render_test_util.h"
#include "render/texture.h"
#include "render/texture_slots.h"
#include "scene/frame.h"
#include "scene/mesh.h"
#include "scene/scene_classes.h"

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

// Vertex positions as (x, y, z) triples, for comparing fans.
std::vector<float> positions(const RenderObject& o) {
    std::vector<float> out;
    for (int i = 0; i < o.vertexCount; ++i) {
        out.push_back(o.vertices[i].x);
        out.push_back(o.vertices[i].y);
        out.push_back(o.vertices[i].z);
    }
    return out;
}

}  // namespace

TEST(Texture, FormatChoice) {
    DDPIXELFORMAT chosen = {};
    const DDPIXELFORMAT alpha = recordRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    DDPIXELFORMAT luminance = recordRgbFormat(16, 0xF800, 0x07E0, 0x001F);
    luminance.dwFlags |= DDPF_LUMINANCE;
    DDPIXELFORMAT fourcc = recordRgbFormat(16, 0xF800, 0x07E0, 0x001F);
    fourcc.dwFourCC = 0x31545844;
    DDPIXELFORMAT rgb32 = recordRgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    const DDPIXELFORMAT rgb555 = recordRgbFormat(16, 0x7C00, 0x03E0, 0x001F);
    for (DDPIXELFORMAT* refused : {const_cast<DDPIXELFORMAT*>(&alpha), &luminance, &fourcc, &rgb32}) {
        EXPECT_EQ(findTextureFormat(refused, &chosen), D3DENUMRET_OK);
        EXPECT_EQ(chosen.dwSize, 0u);
    }
    EXPECT_EQ(findTextureFormat(const_cast<DDPIXELFORMAT*>(&rgb555), &chosen), D3DENUMRET_CANCEL);
    EXPECT_EQ(std::memcmp(&chosen, &rgb555, sizeof(chosen)), 0);
}

TEST(Texture, LoadBitmapIntoSlot) {
    TempDir dir;
    const std::string red = dir.file("red.bmp");
    ASSERT_TRUE(writeBitmapFile(red, 3, 5, 0xFF0000));

    startDevice();
    IDirectDrawSurface7** slot = allocateTextureSlot();
    recordClearCalls();
    EXPECT_TRUE(loadTexture(directDraw, d3dDevice, slot, red.c_str(), 1));
    ASSERT_NE(*slot, nullptr);
    // Hardware: a managed texture of the bitmap's size in the first 16-bit format without alpha (5-6-5).
    const std::vector<std::string> created = recordCallsTo("CreateSurface");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_NE(created[0].find("caps=DDSCAPS_TEXTURE caps2=DDSCAPS2_TEXTUREMANAGE 3x5"), std::string::npos)
        << created[0];
    EXPECT_NE(created[0].find("format={DDPF_RGB 16 0xF800/0x7E0/0x1F/0x0} stage=0"), std::string::npos) << created[0];
    int pitch = 0;
    const uint16_t* pixels = static_cast<const uint16_t*>(recordSurfacePixels(*slot, &pitch));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0xF800);
    EXPECT_EQ(recordCallsTo("ReleaseDC").size(), 1u);

    // Software: system memory.
    IDirectDrawSurface7** second = allocateTextureSlot();
    recordClearCalls();
    EXPECT_TRUE(loadTexture(directDraw, d3dDevice, second, red.c_str(), 0));
    EXPECT_NE(recordCallsTo("CreateSurface").at(0).find("caps=DDSCAPS_TEXTURE|DDSCAPS_SYSTEMMEMORY 3x5"),
              std::string::npos)
        << recordCallsTo("CreateSurface").at(0);
    stopDevice();
}

TEST(Texture, FailuresLeaveTheSlotAlone) {
    TempDir dir;
    const std::string red = dir.file("red.bmp");
    ASSERT_TRUE(writeBitmapFile(red, 2, 2, 0xFF0000));

    // A missing file: the message box with the file name, nothing created.
    startDevice();
    IDirectDrawSurface7** slot = allocateTextureSlot();
    EXPECT_FALSE(loadTexture(directDraw, d3dDevice, slot, "missing.bmp", 1));
    EXPECT_EQ(*slot, nullptr);
    ASSERT_EQ(platformMessageBoxCount(), 1);
    EXPECT_STREQ(platformMessageBoxText(0), "Texure Cannot Open: Texure Cannot Open \"missing.bmp\"");
    // A name too long for the message buffer is cut to fit it.
    const std::string longName(400, 'x');
    EXPECT_FALSE(loadTexture(directDraw, d3dDevice, slot, longName.c_str(), 1));
    ASSERT_EQ(platformMessageBoxCount(), 2);
    const std::string text = platformMessageBoxText(1);
    EXPECT_EQ(text.size(), std::strlen("Texure Cannot Open: ") + TEXTURE_NAME_BUFFER - 1);
    EXPECT_EQ(text.compare(0, 40, "Texure Cannot Open: Texure Cannot Open \""), 0);
    stopDevice();

    // No 16-bit format without alpha: the surface cannot be created.
    RecordConfig onlyAlpha;
    onlyAlpha.textureFormats = {recordRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000)};
    startDevice(onlyAlpha);
    slot = allocateTextureSlot();
    EXPECT_FALSE(loadTexture(directDraw, d3dDevice, slot, red.c_str(), 1));
    EXPECT_EQ(*slot, nullptr);
    EXPECT_TRUE(FAILED(lastResult));
    stopDevice();

    // Texture creation fails: false, and a slot that held a surface still holds it.
    RecordConfig failing;
    failing.failing = {"CreateSurface:texture"};
    startDevice(failing);
    slot = allocateTextureSlot();
    IDirectDrawSurface7* marker = primarySurface;
    *slot = marker;
    EXPECT_FALSE(loadTexture(directDraw, d3dDevice, slot, red.c_str(), 1));
    EXPECT_EQ(*slot, marker);
    *slot = nullptr;
    EXPECT_EQ(platformMessageBoxCount(), 0);
    stopDevice();
}

TEST(SceneConversion, FacesAreFannedAndVerticesCopied) {
    TempDir dir;
    const std::string scene = dir.file("shapes.x");
    // A triangle, a quad, a pentagon and a two-corner face (which adds nothing).
    const std::vector<float> p = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 3, 1, 0, 2, 2, 0};
    ASSERT_TRUE(writeTextFile(scene, sceneText(p, {{0, 1, 2}, {0, 1, 2, 3}, {4, 5, 6, 3, 0}, {1, 2}}, "")));

    startDevice();
    IDirectDrawSurface7** slot = allocateTextureSlot();
    RenderObject* object = appendRenderObject();
    convertScene(object, scene.c_str(), slot);
    ASSERT_EQ(object->vertexCount, 3 + 6 + 9);
    auto at = [&](int i) { return std::vector<float>(p.begin() + 3 * i, p.begin() + 3 * i + 3); };
    std::vector<float> expected;
    for (int i : {0, 1, 2, 0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 3, 4, 3, 0}) {
        const std::vector<float> v = at(i);
        expected.insert(expected.end(), v.begin(), v.end());
    }
    EXPECT_EQ(positions(*object), expected);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(object->world.m[k], IDENTITY_MATRIX.m[k]);
    // No texture name: untextured, no message box, but the object points at its slot.
    EXPECT_EQ(object->texture, slot);
    EXPECT_EQ(*slot, nullptr);
    EXPECT_EQ(platformMessageBoxCount(), 0);
    stopDevice();
}

TEST(SceneConversion, TextureSlotKeptOrFilledFromTheScene) {
    TempDir dir;
    const std::string bitmap = dir.file("stone.bmp");
    ASSERT_TRUE(writeBitmapFile(bitmap, 4, 4, 0x00FF00));
    const std::string scene = dir.file("textured.x");
    // The scene names its texture relative to the working directory, as the cave does.
    ASSERT_TRUE(writeTextFile(scene, sceneText({0, 0, 0, 1, 0, 0, 0, 1, 0}, {{0, 1, 2}}, "stone.bmp")));
    WorkingDirectory inside(dir.path());

    // Empty slot: the scene's own texture is loaded into it and restored.
    startDevice();
    IDirectDrawSurface7** slot = allocateTextureSlot();
    RenderObject* object = appendRenderObject();
    recordClearCalls();
    convertScene(object, scene.c_str(), slot);
    ASSERT_NE(*slot, nullptr);
    EXPECT_EQ(recordCallsTo("CreateSurface").size(), 1u);
    EXPECT_EQ(recordCallsTo("Restore"), std::vector<std::string>({recordName(*slot) + ".Restore()"}));
    EXPECT_EQ(object->texture, slot);
    EXPECT_EQ(object->vertexCount, 3);

    // A slot that already holds a surface is kept: the scene's texture file is not read at all.
    IDirectDrawSurface7* held = *slot;
    RenderObject* second = appendRenderObject();
    recordClearCalls();
    convertScene(second, scene.c_str(), slot);
    EXPECT_EQ(*slot, held);
    EXPECT_TRUE(recordCallsTo("CreateSurface").empty());
    EXPECT_TRUE(recordCallsTo("Restore").empty());
    EXPECT_EQ(second->texture, slot);

    // No slot: geometry only.
    RenderObject* third = appendRenderObject();
    recordClearCalls();
    convertScene(third, scene.c_str(), nullptr);
    EXPECT_EQ(third->texture, nullptr);
    EXPECT_EQ(third->vertexCount, 3);
    EXPECT_TRUE(recordCallsTo("CreateSurface").empty());

    // The scene names a texture that cannot be loaded: message box, the slot stays empty.
    const std::string missing = dir.file("missing-texture.x");
    ASSERT_TRUE(writeTextFile(missing, sceneText({0, 0, 0, 1, 0, 0, 0, 1, 0}, {{0, 1, 2}}, "nowhere.bmp")));
    IDirectDrawSurface7** empty = allocateTextureSlot();
    RenderObject* fourth = appendRenderObject();
    convertScene(fourth, missing.c_str(), empty);
    EXPECT_EQ(*empty, nullptr);
    EXPECT_EQ(fourth->texture, empty);
    ASSERT_EQ(platformMessageBoxCount(), 1);
    EXPECT_STREQ(platformMessageBoxText(0), "Texure Cannot Open: Texure Cannot Open \"nowhere.bmp\"");
    stopDevice();
}

TEST(SceneConversion, ScenesWithoutAUsableMesh) {
    TempDir dir;
    startDevice();
    IDirectDrawSurface7** slot = allocateTextureSlot();

    // An unreadable file leaves the object exactly as it was.
    RenderObject* object = appendRenderObject();
    buildSphereMesh(object, IDENTITY_MATRIX, nullptr, 4, 3);
    Vertex* before = object->vertices;
    convertScene(object, dir.file("absent.x").c_str(), slot);
    EXPECT_EQ(object->vertices, before);
    EXPECT_EQ(object->vertexCount, 48);
    EXPECT_EQ(object->texture, nullptr);

    // A root whose mesh sits in a child frame has no attachment of its own: an empty object.
    const std::string nested = dir.file("nested.x");
    ASSERT_TRUE(writeTextFile(nested, "xof 0303txt 0032\nFrame Root {\n  Frame Child {\n    Mesh M {\n      3;\n"
                                      "      0;0;0;,1;0;0;,0;1;0;;\n      1;\n      3;0,1,2;;\n    }\n  }\n}\n"));
    RenderObject* empty = appendRenderObject();
    convertScene(empty, nested.c_str(), slot);
    EXPECT_EQ(empty->vertexCount, 0);
    EXPECT_EQ(empty->vertices, nullptr);
    EXPECT_EQ(empty->texture, slot);
    EXPECT_EQ(*slot, nullptr);
    EXPECT_EQ(platformMessageBoxCount(), 0);

    // Built in memory: no attachment, a first attachment that is a frame, a mesh without geometry or
    // material, and a texture name longer than the name buffer.
    VokRegisterSceneClasses();
    TVokFrame* root = static_cast<TVokFrame*>(TVokFrame::Create());
    char name[TEXTURE_NAME_BUFFER];
    Vertex out[6];
    EXPECT_EQ(countSceneVertices(root), 0);
    EXPECT_EQ(fillSceneVertices(root, out, 6), 0);
    getSceneTextureName(root, name);
    EXPECT_STREQ(name, "");

    TVokLSObj* frame = TVokFrame::Create();
    root->Attach(frame);
    frame->Release();
    TVokPolygonMesh* mesh = static_cast<TVokPolygonMesh*>(TVokPolygonMesh::Create());
    mesh->SetMaterialName("ignored.bmp");
    root->Attach(mesh);
    EXPECT_EQ(countSceneVertices(root), 0);  // the first attachment is not a polygon mesh
    getSceneTextureName(root, name);
    EXPECT_STREQ(name, "");
    root->Release();

    root = static_cast<TVokFrame*>(TVokFrame::Create());
    root->Attach(mesh);
    mesh->Release();
    EXPECT_EQ(countSceneVertices(root), 0);  // no geometry yet
    mesh->Reserve(4, 1);
    mesh->geometry->vertexCount = 3;
    ASSERT_TRUE(mesh->SetFaceIndexCount(0, 4));
    mesh->geometry->faceCount = 1;
    mesh->geometry->vertices[1].x = 7.0f;
    const uint16_t corners[4] = {0, 1, 2, 3};  // corner 3 lies outside the three vertices in use
    std::memcpy(mesh->geometry->faces[0].indices, corners, sizeof(corners));
    EXPECT_EQ(countSceneVertices(root), 6);
    for (Vertex& v : out) v.x = -1.0f;
    EXPECT_EQ(fillSceneVertices(root, out, 6), 6);
    EXPECT_EQ(out[1].x, 7.0f);
    EXPECT_EQ(out[5].x, 0.0f);  // the index outside the vertices gives a zero vertex
    EXPECT_EQ(fillSceneVertices(root, out, 5), 3);  // never beyond the capacity given

    const std::string longName(300, 'n');
    mesh->SetMaterialName(longName.c_str());
    getSceneTextureName(root, name);
    EXPECT_EQ(std::strlen(name), static_cast<size_t>(TEXTURE_NAME_BUFFER - 1));
    EXPECT_EQ(std::string(name), longName.substr(0, TEXTURE_NAME_BUFFER - 1));
    mesh->SetMaterialName(nullptr);
    getSceneTextureName(root, name);
    EXPECT_STREQ(name, "");
    root->Release();
    stopDevice();
}
