// shell_test.cpp -- the frame's call sequence, frame pacing, activation, tear-down and the entry point
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tests/app_test_util.h"
#include "physics/bodies.h"
#include "physics/collision.h"
#include "render/tests/render_test_util.h"

namespace {

// Two bodies and a one-triangle world mesh.
int smallScene() {
    createBody(nullptr, 2.0f, 8.0f);
    createBody(nullptr, 2.0f, 4.0f);
    RenderObject* ground = appendRenderObject();
    initRenderObject(ground, IDENTITY_MATRIX, nullptr, 3);
    const Vertex corners[3] = {{-50, 0, -50, 0, 1, 0, 0, 0}, {0, 0, 50, 0, 1, 0, 0, 0}, {50, 0, -50, 0, 1, 0, 0, 0}};
    for (int i = 0; i < 3; ++i) ground->vertices[i] = corners[i];
    registerWorldMesh(ground);
    cameraDirection = Vector3(0, 0, 1);
    return 1;
}

int drawnFrames() { return recordDevice() != nullptr ? recordDevice()->scenes : 0; }

}  // namespace

TEST(Frame, CallSequence) {
    startCleanApp();
    HWND window = createMainWindow(smallScene);
    ASSERT_NE(window, nullptr);
    // WM_CREATE made the client area exactly 640 x 480.
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);

    platformSetTickCount(1000);
    recordClearCalls();
    renderFrame();
    std::vector<std::string> expected = {
        "device1.Clear(0, null, D3DCLEAR_TARGET|D3DCLEAR_ZBUFFER, 0x0, 1, 0)",
        "device1.BeginScene()",
        "device1.SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 1)",
        "device1.SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1)",
        "device1.SetRenderState(D3DRENDERSTATE_CULLMODE, 3)",
        "device1.SetRenderState(D3DRENDERSTATE_LIGHTING, 1)",
        "device1.SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1)",
        "device1.SetRenderState(D3DRENDERSTATE_LIGHTING, 1)",
        "device1.SetRenderState(D3DRENDERSTATE_ZENABLE, 1)",
        "device1.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0)",
    };
    const std::vector<std::string> calls = recordCalls();
    ASSERT_EQ(calls.size(), expected.size() + 3 * 5 + 2);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(calls[i], expected[i]) << i;
    // Three transforms, the texture and the draw for each object, in table order.
    const int counts[3] = {48, 48, 3};
    for (int object = 0; object < 3; ++object) {
        const size_t at = expected.size() + 5 * object;
        EXPECT_EQ(calls[at].rfind("device1.SetTransform(D3DTRANSFORMSTATE_WORLD, ", 0), 0u) << calls[at];
        EXPECT_EQ(calls[at + 1].rfind("device1.SetTransform(D3DTRANSFORMSTATE_VIEW, ", 0), 0u);
        EXPECT_EQ(calls[at + 2].rfind("device1.SetTransform(D3DTRANSFORMSTATE_PROJECTION, ", 0), 0u);
        EXPECT_EQ(calls[at + 3], "device1.SetTexture(0, null)");
        EXPECT_EQ(calls[at + 4],
                  "device1.DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, " + std::to_string(counts[object]) + ", D3DDP_WAIT)");
    }
    EXPECT_EQ(calls[calls.size() - 2], "device1.EndScene()");
    // Windowed: the client rectangle of the back buffer to the client area's screen position.
    EXPECT_EQ(calls.back(), "primary1.BltFast(8, 31, target1, {0,0,640,480}, DDBLTFAST_WAIT)");

    // Shift: unlit, additive, no depth test; released, lighting and depth return (the blend factors stay).
    platformSetKeyDown(VK_SHIFT, true);
    platformAdvanceTickCount(20);
    recordClearCalls();
    renderFrame();
    const std::vector<std::string> shifted(recordCalls().begin() + 7, recordCalls().begin() + 12);
    EXPECT_EQ(shifted, std::vector<std::string>({
                           "device1.SetRenderState(D3DRENDERSTATE_LIGHTING, 0)",
                           "device1.SetRenderState(D3DRENDERSTATE_ZENABLE, 0)",
                           "device1.SetRenderState(D3DRENDERSTATE_SRCBLEND, 2)",
                           "device1.SetRenderState(D3DRENDERSTATE_DESTBLEND, 2)",
                           "device1.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1)",
                       }));
    platformSetKeyDown(VK_SHIFT, false);
    platformAdvanceTickCount(20);
    renderFrame();
    EXPECT_EQ(recordDevice()->renderStates.at(D3DRENDERSTATE_ZENABLE), 1u);
    EXPECT_EQ(recordDevice()->renderStates.at(D3DRENDERSTATE_LIGHTING), 1u);
    EXPECT_EQ(recordDevice()->renderStates.at(D3DRENDERSTATE_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));

    DestroyWindow(window);
    stopApp();
}

TEST(Frame, Pacing) {
    startCleanApp();
    HWND window = createMainWindow(smallScene);
    ASSERT_NE(window, nullptr);

    // The first frame runs at once, because lastFrameTime starts at 0.
    platformSetTickCount(500);
    renderFrame();
    EXPECT_EQ(drawnFrames(), 1);
    EXPECT_EQ(lastFrameTime, 500u);
    // 19 ms later: nothing; exactly 20 ms: a frame.
    platformSetTickCount(519);
    renderFrame();
    EXPECT_EQ(drawnFrames(), 1);
    platformSetTickCount(520);
    renderFrame();
    EXPECT_EQ(drawnFrames(), 2);
    // Across the wrap of the 32-bit tick count.
    lastFrameTime = 0xFFFFFFF0u;
    platformSetTickCount(3);
    renderFrame();
    EXPECT_EQ(drawnFrames(), 2);
    platformSetTickCount(4);
    renderFrame();
    EXPECT_EQ(drawnFrames(), 3);
    EXPECT_EQ(lastFrameTime, 4u);
    // Each frame advances the simulation by one step, however much time has passed.
    const float y = bodyPosition(0).y;
    platformSetTickCount(100000);
    renderFrame();
    EXPECT_NE(bodyPosition(0).y, y);

    DestroyWindow(window);
    stopApp();
}

TEST(Frame, ActivationKeysMouseAndTearDown) {
    startCleanApp();
    HWND window = createMainWindow(smallScene);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(appActive, 0);
    platformSendActivate(window, WA_ACTIVE);
    EXPECT_EQ(appActive, 1);
    platformSendActivate(window, WA_INACTIVE);
    EXPECT_EQ(appActive, 0);
    // A click activation after a deactivation keeps frames stopped until WA_ACTIVE.
    platformSendActivate(window, WA_CLICKACTIVE);
    EXPECT_EQ(appActive, 0);
    platformSendActivate(window, WA_ACTIVE);
    platformSendActivate(window, WA_CLICKACTIVE);
    EXPECT_EQ(appActive, 1);

    // Keys other than Esc do nothing in the window procedure; painting is handled.
    EXPECT_EQ(SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0), 0);
    EXPECT_EQ(SendMessageA(window, WM_PAINT, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window));

    // Mouse messages reach picking whether or not the window is active (nothing is under the cursor here).
    platformSendActivate(window, WA_INACTIVE);
    dragging = 1;
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(dragging, 0);

    // Esc: tear-down in reverse order of creation, then the quit message.
    IDirectDrawSurface7** slot = allocateTextureSlot();
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = desc.dwHeight = 2;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddpfPixelFormat = recordRgbFormat(16, 0xF800, 0x07E0, 0x001F);
    ASSERT_EQ(directDraw->CreateSurface(&desc, slot, nullptr), DD_OK);
    recordClearCalls();
    EXPECT_EQ(SendMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(recordCallsTo("Release"), std::vector<std::string>({
                                            "texture1.Release() -> 0",
                                            "device1.Release() -> 0",
                                            "target1.Release() -> 1",
                                            "zbuffer1.Release() -> 1",
                                            "d3d1.Release() -> 0",
                                            "ddraw1.Release() -> 1",
                                            "target1.Release() -> 0",
                                            "zbuffer1.Release() -> 0",
                                            "primary1.Release() -> 0",
                                            "ddraw1.Release() -> 0",
                                        }));
    EXPECT_EQ(recordLiveObjects(), 0);
    EXPECT_EQ(directDraw, nullptr);
    EXPECT_EQ(renderObjects[0].vertices, nullptr);
    EXPECT_EQ(renderObjectCount, 3);  // the counts stay
    EXPECT_EQ(textureCount, 1);

    // Between WM_DESTROY and WM_QUIT nothing is drawn.
    recordClearCalls();
    appActive = 1;
    platformAdvanceTickCount(1000);
    renderFrame();
    EXPECT_TRUE(recordCalls().empty());
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    stopApp();
}

namespace {

int framesBeforeEscape = 0;
bool escapePosted = false;
int framesSeen = 0;
int drawsSeen = 0;

// A backend that presses Esc once the wanted number of frames has been drawn (the device's counts are
// noted while it exists).
void pressEscapeAfterFrames() {
    if (recordDevice() != nullptr) {
        framesSeen = recordDevice()->scenes;
        drawsSeen = recordDevice()->draws;
    }
    if (!escapePosted && framesSeen >= framesBeforeEscape) {
        platformPostKey(VK_ESCAPE, true);
        escapePosted = true;
    }
}

const PlatformBackend escapeBackend = {nullptr, nullptr, nullptr, nullptr, pressEscapeAfterFrames, nullptr, nullptr};

}  // namespace

TEST(EntryPoint, RunsUntilEscapeAndReportsFailedStartUp) {
    // A whole run of the demonstration's scene in a directory of its own: frames, Esc, exit code 0.
    TempDir dir;
    ASSERT_TRUE(writeBitmapFile(dir.file("check.bmp"), 4, 4, 0xFFFFFF));
    ASSERT_TRUE(writeBitmapFile(dir.file("map.bmp"), 4, 4, 0x0000FF));
    ASSERT_TRUE(writeBitmapFile(dir.file("block.bmp"), 4, 4, 0x808080));
    ASSERT_TRUE(writeTextFile(dir.file("cave.x"),
                              sceneText({-20, 0, -20, -20, 0, 100, 20, 0, 100, 20, 0, -20}, {{0, 1, 2, 3}}, "")));
    {
        WorkingDirectory inside(dir.path());
        ASSERT_TRUE(inside.ok());
        startCleanApp();
        platformUseVirtualClock(true, 20);
        platformSetBackend(&escapeBackend);
        framesBeforeEscape = 3;
        escapePosted = false;
        framesSeen = drawsSeen = 0;
        EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL), 0);
        EXPECT_EQ(framesSeen, 3);
        EXPECT_EQ(drawsSeen, 3 * 102);
        EXPECT_FALSE(startupFailed);
        EXPECT_EQ(recordLiveObjects(), 0);
        EXPECT_EQ(platformMessageBoxCount(), 0);
        stopApp();
    }

    // A device that cannot be created: the reason on stderr, the window destroyed, everything released and a
    // non-zero exit code.
    RecordConfig config;
    config.failing = {"d3d1.CreateDevice"};
    startCleanApp(config);
    testing::internal::CaptureStderr();
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("the Direct3D HAL device could not be created (DDERR_GENERIC)"), std::string::npos) << err;
    EXPECT_TRUE(startupFailed);
    EXPECT_EQ(platformInputWindow(), nullptr);
    EXPECT_EQ(recordLiveObjects(), 0);
    EXPECT_EQ(renderObjectCount, 0);  // the scene set-up never ran
    stopApp();
}
