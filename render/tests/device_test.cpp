// device_test.cpp -- device set-up sequences, fallbacks and failures; texture slots; drawing one object
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/device.h"
#include "render/draw.h"
#include "render/tests/render_test_util.h"
#include "render/texture_slots.h"

namespace {

void startClean(const RecordConfig& config = RecordConfig()) {
    resetDevice();
    resetTextureSlots();
    resetRenderObjects();
    recordReset(config);
}

std::vector<std::string> expectedSetup(bool hardware) {
    const std::string memory = hardware ? "DDSCAPS_VIDEOMEMORY" : "DDSCAPS_SYSTEMMEMORY";
    std::vector<std::string> calls = {
        "DirectDrawCreateEx(null, IID_IDirectDraw7) -> ddraw1",
        "ddraw1.SetCooperativeLevel(null, DDSCL_NORMAL)",
        "ddraw1.CreateSurface(flags=DDSD_CAPS caps=DDSCAPS_PRIMARYSURFACE) -> primary1",
        "ddraw1.QueryInterface(IID_IDirect3D7) -> d3d1", "d3d1.EnumZBufferFormats(IID_IDirect3DHALDevice)"};
    if (!hardware) calls.push_back("d3d1.EnumZBufferFormats(IID_IDirect3DRGBDevice)");
    const std::vector<std::string> rest = {
        "ddraw1.CreateSurface(flags=DDSD_CAPS|DDSD_HEIGHT|DDSD_WIDTH "
        "caps=DDSCAPS_OFFSCREENPLAIN|DDSCAPS_3DDEVICE|" +
            memory + " 640x480) -> target1",
        "ddraw1.CreateSurface(flags=DDSD_CAPS|DDSD_HEIGHT|DDSD_WIDTH|DDSD_PIXELFORMAT caps=DDSCAPS_ZBUFFER|" +
            memory + " 640x480 format={DDPF_ZBUFFER 16 z=0xFFFF}) -> zbuffer1",
        "target1.AddAttachedSurface(zbuffer1)",
        std::string("d3d1.CreateDevice(") + (hardware ? "IID_IDirect3DHALDevice" : "IID_IDirect3DRGBDevice") +
            ", target1) -> device1",
        "device1.SetViewport(0, 0, 640, 480, 0, 1)",
        "device1.SetMaterial(diffuse=(1,1,1,0) ambient=(1,1,1,0) specular=(1,1,1,0) emissive=(0,0,0,0) "
        "power=10)",
        "device1.SetLight(0, type=3 diffuse=(0.8,0.8,0.8,0) specular=(1,1,1,0) ambient=(0.6,0.6,0.6,0) "
        "position=(0,0,0) direction=(0.57735,-0.57735,0.57735) range=1.84467e+19 falloff=0 "
        "attenuation=(0,1,0) "
        "theta=0 phi=0)",
        "device1.LightEnable(0, 1)",
        "device1.SetRenderState(D3DRENDERSTATE_SPECULARMATERIALSOURCE, 2)",
        "device1.SetTransform(D3DTRANSFORMSTATE_WORLD, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",
        "device1.SetTransform(D3DTRANSFORMSTATE_VIEW, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",
        "device1.SetTransform(D3DTRANSFORMSTATE_PROJECTION, [1 0 0 0 0 1.33333 0 0 0 0 1 1 0 0 -1 0])"};
    calls.insert(calls.end(), rest.begin(), rest.end());
    return calls;
}

size_t callsAtSceneSetup = 0;
int noteSceneSetup() {
    callsAtSceneSetup = recordCalls().size();
    return 7;
}

} // namespace

TEST(DeviceSetup, HardwareOrSoftwareDevice) {
    // Hardware formats: the default (z with stencil, then pure 16-bit z), none, only z-plus-stencil.
    const std::vector<std::vector<DDPIXELFORMAT>> offers = {
        RecordConfig().halZBufferFormats, {}, {recordZBufferFormat(24, 8), recordZBufferFormat(16, 1)}};
    for (size_t i = 0; i < offers.size(); ++i) {
        RecordConfig config;
        config.halZBufferFormats = offers[i];
        startClean(config);
        sceneSetupFunction = noteSceneSetup;
        EXPECT_EQ(initDirect3D(nullptr), 7); // the scene set-up's result, and it runs after every device call
        EXPECT_EQ(callsAtSceneSetup, recordCalls().size());
        EXPECT_EQ(recordCalls(), expectedSetup(i == 0)) << i;
        EXPECT_EQ(hardwareDevice, i == 0 ? 1 : 0);
    }
    // Exactly diag(1, 640/480, 1, 1) x PROJECTION_TEMPLATE.
    const Matrix4 expected(1, 0, 0, 0, 0, 640.0f / 480.0f, 0, 0, 0, 0, 1, 1, 0, 0, -1, 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(projectionMatrix.m[i], expected.m[i]) << i;
    resetDevice();
    EXPECT_EQ(recordLiveObjects(), 0);
}

TEST(DeviceSetup, FailedCreationIsReportedAndEndsTheSetup) {
    const char* const cases[][2] = {
        {"DirectDrawCreateEx", "the DirectDraw object could not be created (DDERR_GENERIC)"},
        {"ddraw1.CreateSurface(flags=DDSD_CAPS caps",
         "the primary surface could not be created (DDERR_GENERIC)"},
        {"ddraw1.QueryInterface", "the Direct3D object could not be created (DDERR_GENERIC)"},
        {"CreateSurface:target", "the back buffer could not be created (DDERR_GENERIC)"},
        {"CreateSurface:zbuffer", "the z-buffer could not be created (DDERR_GENERIC)"},
        {"target1.AddAttachedSurface", "the z-buffer attachment to the back buffer could not be created"},
        {"d3d1.CreateDevice", "the Direct3D HAL device could not be created (DDERR_GENERIC)"},
        {"", "the z-buffer could not be created (neither"}, // no pure z-buffer format on either device
    };
    for (const auto& c : cases) {
        RecordConfig config;
        if (c[0][0] != '\0')
            config.failing = {c[0]};
        else
            config.halZBufferFormats = config.rgbZBufferFormats = {recordZBufferFormat(24, 8)};
        startClean(config);
        sceneSetupFunction = noteSceneSetup;
        callsAtSceneSetup = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(initDirect3D(nullptr), 0) << c[0];
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c[1]), std::string::npos) << err;
        EXPECT_TRUE(startupFailed);
        EXPECT_EQ(callsAtSceneSetup, 0u);
        EXPECT_TRUE(recordCallsTo("SetViewport").empty()); // nothing goes on without the object
        releaseDeviceObjects(); // what was created is held for the shutdown, which releases all of it
        EXPECT_EQ(recordLiveObjects(), 0) << c[0];
    }
    resetDevice();
}

TEST(Drawing, OneObjectThroughItsSlot) {
    startClean();
    ASSERT_EQ(initDirect3D(nullptr), 1);
    ASSERT_EQ(d3dDevice->BeginScene(), D3D_OK);
    IDirectDrawSurface7** slot = allocateTextureSlot();
    RenderObject* object = appendRenderObject();
    Matrix4 world;
    translationMatrix(world, 1, 2, 3);
    buildSphereMesh(object, world, slot, 4, 3);

    // The identity pose views through the identity; the slot is still empty: untextured.
    recordClearCalls();
    drawRenderObject(object, IDENTITY_MATRIX, d3dDevice);
    EXPECT_EQ(
        recordCalls(),
        std::vector<std::string>(
            {"device1.SetTransform(D3DTRANSFORMSTATE_WORLD, [1 0 0 0 0 1 0 0 0 0 1 0 1 2 3 1])",
             "device1.SetTransform(D3DTRANSFORMSTATE_VIEW, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",
             "device1.SetTransform(D3DTRANSFORMSTATE_PROJECTION, [1 0 0 0 0 1.33333 0 0 0 0 1 1 0 0 -1 0])",
             "device1.SetTexture(0, null)",
             "device1.DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, 48, D3DDP_WAIT)"}));
    EXPECT_EQ(recordDevice()->lastVertices, object->vertices);

    // A translated pose views through -e; a slot filled after the object was made is drawn from then on.
    ASSERT_EQ(createTestTexture(directDraw, slot), DD_OK);
    Matrix4 pose;
    translationMatrix(pose, 5, -6, 7);
    recordClearCalls();
    drawRenderObject(object, pose, d3dDevice);
    EXPECT_EQ(recordCalls()[1],
              "device1.SetTransform(D3DTRANSFORMSTATE_VIEW, [1 0 0 0 0 1 0 0 0 0 1 0 -5 6 -7 1])");
    EXPECT_EQ(recordCalls()[3], "device1.SetTexture(0, texture1)");

    // An empty object draws a count of 0; a count without its array is skipped.
    RenderObject empty = {};
    drawRenderObject(&empty, pose, d3dDevice);
    EXPECT_EQ(recordCalls().back(), "device1.DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, 0, D3DDP_WAIT)");
    empty.vertexCount = 3;
    const size_t before = recordCalls().size();
    drawRenderObject(&empty, pose, d3dDevice);
    EXPECT_EQ(recordCalls().size(), before);

    // Slots: the fifth is refused by name; releasing twice releases once.
    for (int i = 1; i < MAX_TEXTURES; ++i)
        EXPECT_EQ(allocateTextureSlot(), &textureSlots[i]);
    testing::internal::CaptureStderr();
    EXPECT_EQ(allocateTextureSlot(), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MAX_TEXTURES"), std::string::npos);
    EXPECT_EQ(textureCount, MAX_TEXTURES);
    recordClearCalls();
    restoreTexture(slot);
    releaseTexture(slot);
    releaseTexture(slot);
    EXPECT_EQ(recordCalls(), std::vector<std::string>({"texture1.Restore()", "texture1.Release() -> 0"}));
    resetRenderObjects();
    resetDevice();
}
