// shell_test.cpp -- the frame's call sequence, frame pacing, activation, tear-down and the entry point
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tests/app_test_util.h"
#include "platform/core/platform_core.h"

namespace {

// Two bodies and an empty world mesh.
int smallScene() {
    createBody(nullptr, 2.0f, 8.0f);
    createBody(nullptr, 2.0f, 4.0f);
    registerWorldMesh(appendRenderObject());
    cameraDirection = Vector3(0, 0, 1);
    return 1;
}

// The main window, made as the entry point makes it; its WM_CREATE runs the set-up with `scene`.
HWND createMainWindow(int (*scene)()) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = "hello";
    RegisterClassA(&wc);
    sceneSetupFunction = scene;
    return CreateWindowExA(WS_EX_APPWINDOW, "hello", "Test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                           nullptr, nullptr, nullptr);
}

int frames() {
    return recordDevice() != nullptr ? recordDevice()->scenes : 0;
}

} // namespace

TEST(Frame, CallSequence) {
    startCleanApp();
    HWND window = createMainWindow(smallScene);
    ASSERT_NE(window, nullptr);
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
        "device1.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0)"};
    for (int count : {48, 48, 0}) { // per object in table order: three transforms, the texture, the draw
        for (const char* t : {"WORLD", "VIEW", "PROJECTION"})
            expected.push_back(std::string("SetTransform ") + t);
        expected.push_back("device1.SetTexture(0, null)");
        expected.push_back("device1.DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, " + std::to_string(count) +
                           ", D3DDP_WAIT)");
    }
    expected.push_back("device1.EndScene()");
    // Windowed: the 640 x 480 client area of the back buffer to the client area's screen position.
    expected.push_back("primary1.BltFast(8, 31, target1, {0,0,640,480}, DDBLTFAST_WAIT)");
    std::vector<std::string> calls = recordCalls();
    for (std::string& call : calls) // transforms compared by kind; their values are tested with the camera
        if (call.rfind("device1.SetTransform(D3DTRANSFORMSTATE_", 0) == 0)
            call = "SetTransform " + call.substr(39, call.find(',') - 39);
    EXPECT_EQ(calls, expected);

    // Shift: unlit, additive, no depth test.
    platformSetKeyDown(VK_SHIFT, true);
    platformAdvanceTickCount(20);
    recordClearCalls();
    renderFrame();
    EXPECT_EQ(std::vector<std::string>(recordCalls().begin() + 7, recordCalls().begin() + 12),
              std::vector<std::string>({"device1.SetRenderState(D3DRENDERSTATE_LIGHTING, 0)",
                                        "device1.SetRenderState(D3DRENDERSTATE_ZENABLE, 0)",
                                        "device1.SetRenderState(D3DRENDERSTATE_SRCBLEND, 2)",
                                        "device1.SetRenderState(D3DRENDERSTATE_DESTBLEND, 2)",
                                        "device1.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1)"}));
    DestroyWindow(window);
    stopApp();
}

TEST(Frame, PacingActivationAndTearDown) {
    startCleanApp();
    HWND window = createMainWindow(smallScene);
    ASSERT_NE(window, nullptr);
    // First frame at once; 19 ms later nothing; exactly 20 ms a frame; across the wrap of the tick count.
    const struct {
        uint32_t last, now;
        int frames;
    } steps[] = {{0, 500, 1}, {500, 519, 1}, {500, 520, 2}, {0xFFFFFFF0u, 3, 2}, {0xFFFFFFF0u, 4, 3}};
    for (const auto& s : steps) {
        lastFrameTime = s.last;
        platformSetTickCount(s.now);
        renderFrame();
        EXPECT_EQ(frames(), s.frames) << s.now;
    }
    EXPECT_EQ(lastFrameTime, 4u);

    // A click activation after a deactivation keeps frames stopped until WA_ACTIVE.
    const struct {
        WORD code;
        int active;
    } activations[] = {
        {WA_ACTIVE, 1}, {WA_INACTIVE, 0}, {WA_CLICKACTIVE, 0}, {WA_ACTIVE, 1}, {WA_CLICKACTIVE, 1}};
    for (const auto& a : activations) {
        platformSendActivate(window, a.code);
        EXPECT_EQ(appActive, a.active);
    }
    // Keys other than Esc do nothing; mouse messages are handled while inactive too.
    SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(IsWindow(window));
    platformSendActivate(window, WA_INACTIVE);
    dragging = 1;
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(dragging, 0);

    // Esc: the slots and render objects, then the objects in reverse order of creation, then WM_QUIT.
    ASSERT_EQ(createTestTexture(directDraw, allocateTextureSlot()), DD_OK);
    recordClearCalls();
    SendMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(recordCallsTo("Release"),
              std::vector<std::string>({"texture1.Release() -> 0", "device1.Release() -> 0",
                                        "target1.Release() -> 1", "zbuffer1.Release() -> 1",
                                        "d3d1.Release() -> 0", "ddraw1.Release() -> 1",
                                        "target1.Release() -> 0", "zbuffer1.Release() -> 0",
                                        "primary1.Release() -> 0", "ddraw1.Release() -> 0"}));
    EXPECT_EQ(recordLiveObjects(), 0);
    EXPECT_EQ(renderObjects[0].vertices, nullptr);
    EXPECT_EQ(renderObjectCount, 3);
    // Between WM_DESTROY and WM_QUIT nothing is drawn.
    recordClearCalls();
    appActive = 1;
    platformAdvanceTickCount(1000);
    renderFrame();
    EXPECT_TRUE(recordCalls().empty());
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    stopApp();
}

namespace {

int framesSeen = 0, drawsSeen = 0;

// A backend that notes the device's counts and presses Esc after three frames.
void escapeAfterThreeFrames() {
    if (recordDevice() != nullptr) framesSeen = recordDevice()->scenes, drawsSeen = recordDevice()->draws;
    if (framesSeen == 3 && platformInputWindow() != nullptr) platformPostKey(VK_ESCAPE, true);
}

} // namespace

TEST(EntryPoint, RunsUntilEscapeOrFailsWithNonZeroCode) {
    {
        TempDir dir(true);
        ASSERT_TRUE(writeDemoFiles());
        startCleanApp();
        platformUseVirtualClock(true, 20);
        const PlatformBackend backend = {nullptr, nullptr, nullptr, nullptr, escapeAfterThreeFrames,
                                         nullptr, nullptr};
        platformSetBackend(&backend);
        EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL), 0);
        EXPECT_EQ(framesSeen, 3);
        EXPECT_EQ(drawsSeen, 3 * 102);
        EXPECT_EQ(recordLiveObjects(), 0);
        stopApp();
    }
    // A device that cannot be created: the reason on stderr, the window destroyed, all released, exit code 1.
    RecordConfig config;
    config.failing = {"d3d1.CreateDevice"};
    startCleanApp(config);
    testing::internal::CaptureStderr();
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("the Direct3D HAL device could not be created (DDERR_GENERIC)"), std::string::npos)
        << err;
    EXPECT_EQ(platformInputWindow(), nullptr);
    EXPECT_EQ(recordLiveObjects(), 0);
    EXPECT_EQ(renderObjectCount, 0);
    stopApp();
}

TEST(FramePass, TakesEveryWaitingMessageDrawsWhileActiveAndReturnsOnQuit) {
    startCleanApp();
    HWND window = createMainWindow(smallScene);
    ASSERT_NE(window, nullptr);
    platformSetTickCount(1000);
    MSG msg;
    int exitCode = -1;

    // Inactive: the messages are taken (the key state follows them), no frame.
    platformSendActivate(window, WA_INACTIVE);
    platformPostKey(VK_SPACE, true);
    platformPostMouseMove(3, 4);
    EXPECT_TRUE(runFramePass(&exitCode));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_NE(GetKeyState(VK_SPACE) & 0x8000, 0);
    EXPECT_EQ(frames(), 0);

    // Active: one frame per pass, at the frame loop's pace.
    platformSendActivate(window, WA_ACTIVE);
    EXPECT_TRUE(runFramePass(&exitCode));
    EXPECT_EQ(frames(), 1);
    platformAdvanceTickCount(FRAME_INTERVAL_MS - 1);
    EXPECT_TRUE(runFramePass(&exitCode));
    EXPECT_EQ(frames(), 1);
    platformAdvanceTickCount(1);
    EXPECT_TRUE(runFramePass(&exitCode));
    EXPECT_EQ(frames(), 2);
    EXPECT_EQ(exitCode, -1);

    // A quit posted by the caller: the messages before it are dispatched, then the pass returns without a
    // frame; the next pass runs on.
    platformAdvanceTickCount(FRAME_INTERVAL_MS);
    platformPostKey(VK_SPACE, false);
    PostQuitMessage(7);
    EXPECT_FALSE(runFramePass(&exitCode));
    EXPECT_EQ(exitCode, 7);
    EXPECT_EQ(GetKeyState(VK_SPACE) & 0x8000, 0);
    EXPECT_EQ(frames(), 2);
    EXPECT_TRUE(runFramePass(nullptr));
    EXPECT_EQ(frames(), 3);

    // Esc: the window is destroyed, its WM_QUIT (code 0) ends the same pass; a null exitCode is allowed.
    platformAdvanceTickCount(FRAME_INTERVAL_MS);
    platformPostKey(VK_ESCAPE, true);
    EXPECT_FALSE(runFramePass(nullptr));
    EXPECT_FALSE(IsWindow(window));
    platformPostKey(VK_ESCAPE, true); // no input window any more: nothing is posted
    PostQuitMessage(0);
    EXPECT_FALSE(runFramePass(&exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(recordLiveObjects(), 0);
    stopApp();
}
