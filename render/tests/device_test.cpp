// device_test.cpp -- device set-up sequences, fallbacks and failures; texture slots; drawing one object
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/d3d7_record.h"
#include "render/device.h"
#include "render/draw.h"
#include "render/render_object.h"
#include "render/texture_slots.h"

namespace {

void startClean(const RecordConfig& config = RecordConfig()) {
    resetDevice();
    resetTextureSlots();
    resetRenderObjects();
    recordReset(config);
}

std::vector<std::string> callsFrom(size_t first) {
    const std::vector<std::string>& all = recordCalls();
    return std::vector<std::string>(all.begin() + static_cast<long>(first), all.end());
}

const char* const DEVICE_STATE_CALLS[] = {
    "device1.SetViewport(0, 0, 640, 480, 0, 1)",
    "device1.SetMaterial(diffuse=(1,1,1,0) ambient=(1,1,1,0) specular=(1,1,1,0) emissive=(0,0,0,0) power=10)",
    "device1.SetLight(0, type=3 diffuse=(0.8,0.8,0.8,0) specular=(1,1,1,0) ambient=(0.6,0.6,0.6,0) "
    "position=(0,0,0) direction=(0.57735,-0.57735,0.57735) range=1.84467e+19 falloff=0 attenuation=(0,1,0) "
    "theta=0 phi=0)",
    "device1.LightEnable(0, 1)",
    "device1.SetRenderState(D3DRENDERSTATE_SPECULARMATERIALSOURCE, 2)",
    "device1.SetTransform(D3DTRANSFORMSTATE_WORLD, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",
    "device1.SetTransform(D3DTRANSFORMSTATE_VIEW, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",
    "device1.SetTransform(D3DTRANSFORMSTATE_PROJECTION, [1 0 0 0 0 1.33333 0 0 0 0 1 1 0 0 -1 0])",
};

std::vector<std::string> expectedSetup(bool hardware, const char* window = "null") {
    const std::string memory = hardware ? "DDSCAPS_VIDEOMEMORY" : "DDSCAPS_SYSTEMMEMORY";
    std::vector<std::string> calls = {
        "DirectDrawCreateEx(null, IID_IDirectDraw7) -> ddraw1",
        std::string("ddraw1.SetCooperativeLevel(") + window + ", DDSCL_NORMAL)",
        "ddraw1.CreateSurface(flags=DDSD_CAPS caps=DDSCAPS_PRIMARYSURFACE) -> primary1",
        "ddraw1.QueryInterface(IID_IDirect3D7) -> d3d1",
        "d3d1.EnumZBufferFormats(IID_IDirect3DHALDevice)",
    };
    if (!hardware) calls.push_back("d3d1.EnumZBufferFormats(IID_IDirect3DRGBDevice)");
    calls.push_back("ddraw1.CreateSurface(flags=DDSD_CAPS|DDSD_HEIGHT|DDSD_WIDTH caps=DDSCAPS_OFFSCREENPLAIN|"
                    "DDSCAPS_3DDEVICE|" + memory + " 640x480) -> target1");
    calls.push_back("ddraw1.CreateSurface(flags=DDSD_CAPS|DDSD_HEIGHT|DDSD_WIDTH|DDSD_PIXELFORMAT caps=DDSCAPS_ZBUFFER|" +
                    memory + " 640x480 format={DDPF_ZBUFFER 16 z=0xFFFF}) -> zbuffer1");
    calls.push_back("target1.AddAttachedSurface(zbuffer1)");
    calls.push_back(std::string("d3d1.CreateDevice(") +
                    (hardware ? "IID_IDirect3DHALDevice" : "IID_IDirect3DRGBDevice") + ", target1) -> device1");
    for (const char* call : DEVICE_STATE_CALLS) calls.push_back(call);
    return calls;
}

int sceneSetupCalls = 0;
size_t callsAtSceneSetup = 0;
int recordingSceneSetup() {
    ++sceneSetupCalls;
    callsAtSceneSetup = recordCalls().size();
    return 1;
}

}  // namespace

TEST(DeviceSetup, HardwareDeviceWithPureZBufferFormat) {
    // The default hardware formats: 24-bit z with stencil first (passed over), then pure 16-bit z.
    startClean();
    HWND window = reinterpret_cast<HWND>(0x1);
    sceneSetupCalls = 0;
    sceneSetupFunction = recordingSceneSetup;
    EXPECT_EQ(initDirect3D(window), 1);
    EXPECT_EQ(recordCalls(), expectedSetup(true, "hwnd"));
    EXPECT_EQ(hardwareDevice, 1);
    EXPECT_EQ(mainWindow, window);
    EXPECT_FALSE(startupFailed);
    // The scene set-up runs once, after every device call.
    EXPECT_EQ(sceneSetupCalls, 1);
    EXPECT_EQ(callsAtSceneSetup, recordCalls().size());

    // Exactly diag(1, 640/480, 1, 1) x PROJECTION_TEMPLATE.
    const float aspect = 640.0f / 480.0f;
    const Matrix4 expected(1, 0, 0, 0, 0, aspect, 0, 0, 0, 0, 1, 1, 0, 0, -1, 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(projectionMatrix.m[i], expected.m[i]) << i;
    const RecordDeviceState* state = recordDevice();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->projection._22, aspect);
    EXPECT_FLOAT_EQ(state->lights[0].dvDirection.x, 1.0f / std::sqrt(3.0f));
    EXPECT_FLOAT_EQ(state->lights[0].dvDirection.y, -1.0f / std::sqrt(3.0f));
    EXPECT_EQ(state->lights[0].dvRange, D3DLIGHT_RANGE_MAX);
    EXPECT_TRUE(state->lightEnabled[0]);
    EXPECT_EQ(state->material.power, 10.0f);
    EXPECT_EQ(state->viewport.dwWidth, 640u);
    EXPECT_EQ(state->viewport.dwHeight, 480u);
    resetDevice();
    EXPECT_EQ(recordLiveObjects(), 0);
}

TEST(DeviceSetup, FallsBackToRgbDeviceInSystemMemory) {
    // No hardware z-buffer format at all, and hardware formats that all carry a stencil: both use RGB.
    std::vector<std::vector<DDPIXELFORMAT>> hardwareOffers = {
        {}, {recordZBufferFormat(24, 8), recordZBufferFormat(16, 1)}};
    for (const auto& offer : hardwareOffers) {
        RecordConfig config;
        config.halZBufferFormats = offer;
        startClean(config);
        EXPECT_EQ(initDirect3D(nullptr), 1);
        EXPECT_EQ(recordCalls(), expectedSetup(false));
        EXPECT_EQ(hardwareDevice, 0);
        // The software device's first pure format is taken even when a stencil one comes first.
        config.rgbZBufferFormats = {recordZBufferFormat(24, 8), recordZBufferFormat(16)};
        startClean(config);
        EXPECT_EQ(initDirect3D(nullptr), 1);
        EXPECT_EQ(recordCalls(), expectedSetup(false));
    }
    resetDevice();
}

TEST(DeviceSetup, FailedCreationIsReportedAndEndsTheSetup) {
    struct Case {
        const char* failing;
        const char* message;
        int callsAfterFailure;
    };
    const Case cases[] = {
        {"DirectDrawCreateEx", "the DirectDraw object could not be created (DDERR_GENERIC)", 0},
        {"ddraw1.CreateSurface(flags=DDSD_CAPS caps", "the primary surface could not be created (DDERR_GENERIC)", 0},
        {"ddraw1.QueryInterface", "the Direct3D object could not be created (DDERR_GENERIC)", 0},
        {"CreateSurface:target", "the back buffer could not be created (DDERR_GENERIC)", 0},
        {"CreateSurface:zbuffer", "the z-buffer could not be created (DDERR_GENERIC)", 0},
        {"target1.AddAttachedSurface", "attachment to the back buffer could not be created (DDERR_GENERIC)", 0},
        {"d3d1.CreateDevice", "the Direct3D HAL device could not be created (DDERR_GENERIC)", 0},
    };
    for (const Case& c : cases) {
        RecordConfig config;
        config.failing = {c.failing};
        startClean(config);
        sceneSetupCalls = 0;
        sceneSetupFunction = recordingSceneSetup;
        testing::internal::CaptureStderr();
        EXPECT_EQ(initDirect3D(nullptr), 0) << c.failing;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_TRUE(startupFailed);
        EXPECT_EQ(sceneSetupCalls, 0);
        // The failed call is the last one: nothing goes on without the object.
        ASSERT_FALSE(recordCalls().empty());
        EXPECT_NE(recordCalls().back().find(" = FAILED"), std::string::npos) << recordCalls().back();
        // What was created is still held for the shutdown, which releases all of it.
        releaseDeviceObjects();
        EXPECT_EQ(recordLiveObjects(), 0) << c.failing;
    }

    // Neither device offers a pure z-buffer format: the set-up fails before any surface but the primary.
    RecordConfig config;
    config.halZBufferFormats = {recordZBufferFormat(24, 8)};
    config.rgbZBufferFormats = {};
    startClean(config);
    testing::internal::CaptureStderr();
    EXPECT_EQ(initDirect3D(nullptr), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the z-buffer could not be created"), std::string::npos);
    EXPECT_TRUE(startupFailed);
    EXPECT_EQ(recordCallsTo("CreateSurface").size(), 1u);
    EXPECT_EQ(recordCallsTo("CreateDevice").size(), 0u);
    resetDevice();
    EXPECT_EQ(recordLiveObjects(), 0);
}

TEST(DeviceSetup, ResultNames) {
    EXPECT_STREQ(resultName(DDERR_GENERIC), "DDERR_GENERIC");
    EXPECT_STREQ(resultName(E_NOINTERFACE), "E_NOINTERFACE");
    EXPECT_STREQ(resultName(DDERR_INVALIDPIXELFORMAT), "DDERR_INVALIDPIXELFORMAT");
    EXPECT_STREQ(resultName(static_cast<HRESULT>(0x88760123u)), "0x88760123");
}

TEST(TextureSlots, HandOutReleaseRestore) {
    startClean();
    ASSERT_EQ(initDirect3D(nullptr), 1);
    IDirectDrawSurface7** slots[MAX_TEXTURES];
    for (int i = 0; i < MAX_TEXTURES; ++i) {
        slots[i] = allocateTextureSlot();
        EXPECT_EQ(slots[i], &textureSlots[i]);
    }
    EXPECT_EQ(textureCount, MAX_TEXTURES);
    // A fifth slot is refused by name and does not count.
    testing::internal::CaptureStderr();
    EXPECT_EQ(allocateTextureSlot(), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MAX_TEXTURES"), std::string::npos);
    EXPECT_EQ(textureCount, MAX_TEXTURES);

    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = desc.dwHeight = 4;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddpfPixelFormat = recordRgbFormat(16, 0xF800, 0x07E0, 0x001F);
    ASSERT_EQ(directDraw->CreateSurface(&desc, slots[0], nullptr), DD_OK);
    const int live = recordLiveObjects();

    recordClearCalls();
    restoreTexture(slots[0]);
    restoreTexture(slots[1]);  // empty: nothing
    releaseTexture(slots[1]);  // empty: nothing
    EXPECT_EQ(recordCalls(), std::vector<std::string>({"texture1.Restore()"}));
    releaseTexture(slots[0]);
    releaseTexture(slots[0]);  // released once only
    EXPECT_EQ(recordCallsTo("Release").size(), 1u);
    EXPECT_EQ(*slots[0], nullptr);
    EXPECT_EQ(recordLiveObjects(), live - 1);

    // Clearing forgets the surface without releasing it.
    IDirectDrawSurface7* kept = nullptr;
    ASSERT_EQ(directDraw->CreateSurface(&desc, &kept, nullptr), DD_OK);
    *slots[2] = kept;
    recordClearCalls();
    clearTextureSlot(slots[2]);
    EXPECT_EQ(*slots[2], nullptr);
    EXPECT_TRUE(recordCalls().empty());
    kept->Release();
    resetTextureSlots();
    resetDevice();
}

TEST(DrawRenderObject, TransformsTextureAndDraw) {
    startClean();
    ASSERT_EQ(initDirect3D(nullptr), 1);
    IDirectDrawSurface7** slot = allocateTextureSlot();
    RenderObject* object = appendRenderObject();
    Matrix4 world;
    translationMatrix(world, 1, 2, 3);
    buildSphereMesh(object, world, slot, 4, 3);

    ASSERT_EQ(d3dDevice->BeginScene(), D3D_OK);
    // Identity pose: identity view. The slot is still empty: untextured.
    size_t first = recordCalls().size();
    drawRenderObject(object, IDENTITY_MATRIX, d3dDevice);
    EXPECT_EQ(callsFrom(first), std::vector<std::string>({
                                    "device1.SetTransform(D3DTRANSFORMSTATE_WORLD, [1 0 0 0 0 1 0 0 0 0 1 0 1 2 3 1])",
                                    "device1.SetTransform(D3DTRANSFORMSTATE_VIEW, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",
                                    "device1.SetTransform(D3DTRANSFORMSTATE_PROJECTION, [1 0 0 0 0 1.33333 0 0 0 0 1 1 0 0 -1 0])",
                                    "device1.SetTexture(0, null)",
                                    "device1.DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, 48, D3DDP_WAIT)",
                                }));
    EXPECT_EQ(recordDevice()->lastVertices, object->vertices);

    // A pure translation to e views through -e; a slot filled after the object was made is used from then on.
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = desc.dwHeight = 2;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddpfPixelFormat = recordRgbFormat(16, 0xF800, 0x07E0, 0x001F);
    ASSERT_EQ(directDraw->CreateSurface(&desc, slot, nullptr), DD_OK);
    Matrix4 pose;
    translationMatrix(pose, 5, -6, 7);
    first = recordCalls().size();
    drawRenderObject(object, pose, d3dDevice);
    const std::vector<std::string> calls = callsFrom(first);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[1], "device1.SetTransform(D3DTRANSFORMSTATE_VIEW, [1 0 0 0 0 1 0 0 0 0 1 0 -5 6 -7 1])");
    EXPECT_EQ(calls[3], "device1.SetTexture(0, texture1)");

    // An empty object draws with a count of 0; a count without its array is skipped.
    RenderObject empty = {};
    empty.world = IDENTITY_MATRIX;
    first = recordCalls().size();
    drawRenderObject(&empty, pose, d3dDevice);
    EXPECT_EQ(recordCalls().back(), "device1.DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, 0, D3DDP_WAIT)");
    empty.vertexCount = 3;
    first = recordCalls().size();
    drawRenderObject(&empty, pose, d3dDevice);
    EXPECT_EQ(recordCalls().size(), first);

    resetRenderObjects();
    resetTextureSlots();
    resetDevice();
}

TEST(DrawRenderObject, ViewMatrixIsTheRigidInverseOfThePose) {
    // A rotated, translated pose: pose * view maps every point back to itself.
    Matrix4 rotation, move, pose;
    axisAngleMatrix(rotation, Vector3(0, 1, 0), 0.7f);
    translationMatrix(move, 3, 4, -5);
    matrixMultiply(pose, rotation, move);
    const Matrix4 view = viewMatrixFromPose(pose);
    Matrix4 product;
    matrixMultiply(product, pose, view);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(product(r, c), r == c ? 1.0f : 0.0f, 1e-5f) << r << "," << c;
    EXPECT_EQ(view(0, 3), 0.0f);
    EXPECT_EQ(view(3, 3), 1.0f);
    // Rows are not renormalised: a right axis of length 2 scales the view's first column.
    Matrix4 scaled = IDENTITY_MATRIX;
    scaled(0, 0) = 2.0f;
    scaled(3, 0) = 1.0f;
    const Matrix4 v2 = viewMatrixFromPose(scaled);
    EXPECT_EQ(v2(0, 0), 2.0f);
    EXPECT_EQ(v2(3, 0), -2.0f);
}
