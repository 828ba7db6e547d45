// scaled_window_test.cpp -- the demo in a real window under Xvfb, resized: the 640 x 480 frame scaled to
// the window with bars around it, and mouse positions mapped back to the system's client pixels
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/demo/body_trace.h"
#include "app/demo/demo_session.h"
#include "app/demo/tests/demo_process.h"
#include "app/picking.h"
#include "app/scene_setup.h"
#include "app/shell.h"
#include "physics/bodies.h"
#include "physics/simulation.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/win32.h"
#include "render/device.h"
#include "render/render_object.h"
#include "render/texture_slots.h"
#include "platform/sdl/sdl_backend.h"

namespace fs = std::filesystem;

namespace {

const int BODIES = 101;
const float DT = 1.0f / 60.0f;

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

Picture copyOf(const uint32_t* p, int w, int h) {
    Picture out;
    if (!p) return out;
    out.width = w, out.height = h;
    out.pixels.assign(p, p + size_t(w) * size_t(h));
    return out;
}

void savePng(const Picture& p, const std::string& path) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(p.pixels.data()), p.width,
                                                        p.height, 32, p.width * 4, SDL_PIXELFORMAT_RGB888);
    if (!s) return;
    IMG_SavePNG(s, path.c_str());
    SDL_FreeSurface(s);
}

// The demo started as cave-demo starts it, in a window on a private Xvfb, with the shipped files copied
// into a folder of the test's own; frames are driven by the test on a virtual clock, and the body trace
// is written by cave-demo's own session hooks. The window is resized to width x height before frame 1.
class ScaledWindow : public ::testing::Test {
  protected:
    BackgroundProcess xvfb;
    fs::path folder, previous;
    HWND window = nullptr;
    SDL_Window* sdlWindow = nullptr;
    BodyTrace trace;
    DemoSession* session = nullptr;
    bool started = false;

    void TearDown() override {
        if (window && IsWindow(window)) DestroyWindow(window);
        frameLoopHooks.afterStep = nullptr;
        activeDemoSession = nullptr;
        delete session;
        std::string error;
        trace.close(error);
        if (started) platformStopSdl();
        resetDemonstration();
        if (!previous.empty()) {
            fs::current_path(previous);
            std::error_code ec;
            fs::remove_all(folder, ec);
        }
        stopProcess(xvfb);
    }

    // Starts the demo in a window of width x height (full screen when both are 0); skips the test when
    // Xvfb is missing.
    void start(int width, int height) {
        xvfb = startXvfb();
        if (xvfb.pid < 0) GTEST_SKIP() << "Xvfb is not available";
        setenv("DISPLAY", (":" + std::to_string(xvfb.display)).c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::current_path() / (std::string("scaled_window_") + info->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const char* file : {"cave.x", "check.bmp", "map.bmp", "block.bmp"})
            fs::copy_file(fs::path(CAVE_ASSETS_DIR) / file, folder / file);
        previous = fs::current_path();
        fs::current_path(folder);
        resetDemonstration();
        std::string error;
        ASSERT_TRUE(trace.open((folder / "t.csv").string(), error)) << error;
        session = new DemoSession(&trace, nullptr, 0);
        activeDemoSession = session;
        frameLoopHooks.afterStep = demoHookAfterStep;

        PlatformOptions options;
        options.mode = PlatformMode::Windowed;
        options.fullscreen = width == 0 && height == 0;
        ASSERT_TRUE(platformStartSdl(options));
        started = true;
        platformUseVirtualClock(true, 0);
        glKeepWindowPicture(true);
        window = createMainWindow(nullptr, nullptr, SW_SHOWNORMAL);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(numBodies, BODIES);
        RECT client;
        ASSERT_TRUE(GetClientRect(window, &client));
        ASSERT_EQ(client.right, 640); // the system's own client area, whatever the window's size
        ASSERT_EQ(client.bottom, 480);
        sdlWindow = sdlWindowOf(window);
        ASSERT_NE(sdlWindow, nullptr);
        EXPECT_TRUE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_RESIZABLE);
        EXPECT_TRUE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_ALLOW_HIGHDPI);
        if (!options.fullscreen) SDL_SetWindowSize(sdlWindow, width, height); // as the user drags a corner
        pump();
        session->beforeLoop();
        ASSERT_TRUE(appActive);
    }

    // Takes and dispatches every waiting message, as the message loop does.
    void pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }

    // The waiting messages, then one frame.
    void frame() {
        pump();
        platformAdvanceTickCount(FRAME_INTERVAL_MS);
        renderFrame();
    }

    // A left-button or move event at a window point, as SDL reports the real mouse.
    void mouse(Uint32 type, int x, int y) {
        SDL_Event e = {};
        e.type = type;
        if (type == SDL_MOUSEMOTION) {
            e.motion.windowID = SDL_GetWindowID(sdlWindow), e.motion.x = x, e.motion.y = y;
            e.motion.state = SDL_BUTTON_LMASK;
        } else {
            e.button.windowID = SDL_GetWindowID(sdlWindow), e.button.x = x, e.button.y = y;
            e.button.button = SDL_BUTTON_LEFT;
            e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        }
        SDL_PushEvent(&e);
    }

    Picture windowPicture() {
        int w = 0, h = 0;
        const uint32_t* p = glWindowPicture(&w, &h);
        return copyOf(p, w, h);
    }
    Picture presentedFrame() {
        int w = 0, h = 0;
        const uint32_t* p = platformPresentedFrame(&w, &h);
        return copyOf(p, w, h);
    }
};

// Frame 1 leaves everything where the set-up put it, so a press before frame 2 sees body 1 (the lowest
// sphere of the column) at client pixel (320.4, 252.9) and nothing else within 12 pixels (see the drag
// of the window test in demo_run_test.cpp).
TEST_F(ScaledWindow, At1280x960TheFrameIsDoubledAndAClickOnASphereDragsIt) {
    start(1280, 960);
    if (IsSkipped() || HasFatalFailure()) return;
    frame();
    Picture shown = windowPicture(), frame1 = presentedFrame();
    ASSERT_EQ(shown.width, 1280);
    ASSERT_EQ(shown.height, 960);
    ASSERT_EQ(frame1.width, 640); // the read-back (and so the screenshot) is still the system's frame
    ASSERT_EQ(frame1.height, 480);
    savePng(shown, (previous / "scaled_window_1280x960.png").string()); // to look at
    // Twice the client size in both directions: every frame pixel fills a 2 x 2 square, exactly.
    int wrong = 0;
    for (int y = 0; y < 960; ++y)
        for (int x = 0; x < 1280; ++x)
            wrong += shown.at(x, y) != frame1.at(x / 2, y / 2);
    EXPECT_EQ(wrong, 0);

    // The drag of the window test, at twice the scale: press on the sphere's doubled position, moves of
    // twice the distance. The system sees the same client pixels as there.
    mouse(SDL_MOUSEBUTTONDOWN, 641, 507); // client (320, 253)
    mouse(SDL_MOUSEMOTION, 641 + 80, 507);
    frame(); // frame 2
    EXPECT_EQ(dragging, 1);
    EXPECT_EQ(pickedBody, 1);
    EXPECT_EQ(lastMouseX, 360);
    EXPECT_EQ(lastMouseY, 253);
    mouse(SDL_MOUSEMOTION, 641 + 160, 507 - 40);
    frame(); // frame 3
    frame();
    mouse(SDL_MOUSEBUTTONUP, 641 + 160, 507 - 40);
    frame(); // frame 5
    frame();
    EXPECT_EQ(dragging, 0);
    std::string error;
    ASSERT_TRUE(trace.close(error)) << error;

    std::string header;
    std::vector<TraceRow> rows;
    ASSERT_TRUE(readTrace((folder / "t.csv").string(), header, rows, error)) << error;
    ASSERT_EQ(rows.size(), size_t(7 * BODIES));
    auto row = [&](int f, int body) { return rows[size_t(f * BODIES + body)]; };
    // Each move shifts body 1 by depth * (dx r - dy u) / 320 at the pick depth, on top of its own v dt.
    ASSERT_EQ(row(1, 1).p(2), 66.28125f);
    const float depth = 66.28125f + 8.0f;
    const float expectedShift[2][3] = {{depth * 40 / 320, 0, 0}, {depth * 40 / 320, depth * 20 / 320, 0}};
    for (int k = 2; k <= 3; ++k)
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(row(k, 1).p(a) - row(k - 1, 1).p(a) - row(k, 1).vel(a) * DT, expectedShift[k - 2][a],
                        1e-3)
                << "frame " << k << " axis " << a;
    for (int a = 0; a < 3; ++a) // released: the step's motion only
        EXPECT_NEAR(row(6, 1).p(a) - row(5, 1).p(a), row(6, 1).vel(a) * DT, 1e-3) << "axis " << a;
}

// A window wider than 4:3: the picture keeps its aspect (667 x 500 from x 166), black bars at the sides,
// and the bars are not the client area: nothing there reaches the system.
TEST_F(ScaledWindow, At1000x500TheBarsAreBlackAndTheMouseThereReachesNothing) {
    start(1000, 500);
    if (IsSkipped() || HasFatalFailure()) return;
    frame();
    Picture shown = windowPicture(), frame1 = presentedFrame();
    ASSERT_EQ(shown.width, 1000);
    ASSERT_EQ(shown.height, 500);
    ASSERT_EQ(frame1.width, 640);
    savePng(shown, (previous / "scaled_window_1000x500.png").string());
    int barPixelsLit = 0;
    for (int y = 0; y < 500; ++y)
        for (int x : {0, 100, 165, 833, 900, 999})
            barPixelsLit += shown.at(x, y) != 0;
    EXPECT_EQ(barPixelsLit, 0);
    // The picture is the frame filtered to 667 x 500: each channel's mean agrees within a level, over the
    // whole picture and over each quarter (a picture shifted, cropped or flipped would not).
    for (int quarter = 0; quarter < 5; ++quarter) {
        const int qx = quarter % 2, qy = quarter / 2; // quarter 4: the whole picture
        const bool whole = quarter == 4;
        double shownSum[3] = {0, 0, 0}, frameSum[3] = {0, 0, 0};
        double shownCount = 0, frameCount = 0;
        for (int y = 0; y < 500; ++y)
            for (int x = 166; x < 833; ++x) {
                if (!whole && ((x - 166) * 2 / 667 != qx || y * 2 / 500 != qy)) continue;
                for (int c = 0; c < 3; ++c)
                    shownSum[c] += (shown.at(x, y) >> (8 * c)) & 0xFF;
                ++shownCount;
            }
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                if (!whole && (x * 2 / 640 != qx || y * 2 / 480 != qy)) continue;
                for (int c = 0; c < 3; ++c)
                    frameSum[c] += (frame1.at(x, y) >> (8 * c)) & 0xFF;
                ++frameCount;
            }
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(shownSum[c] / shownCount, frameSum[c] / frameCount, 1.0)
                << "quarter " << quarter << " channel " << c;
    }

    // Client pixel (320, 253) lies under window pixel (500, 264).
    mouse(SDL_MOUSEBUTTONDOWN, 80, 264); // the left bar: no press
    pump();
    EXPECT_EQ(dragging, 0);
    mouse(SDL_MOUSEBUTTONDOWN, 500, 264);
    pump();
    EXPECT_EQ(dragging, 1);
    EXPECT_EQ(pickedBody, 1);
    EXPECT_EQ(lastMouseX, 320);
    EXPECT_EQ(lastMouseY, 253);
    // Onto the right bar and released there: neither the move nor the release is the window's, so the
    // drag goes on, as after a release outside the window.
    mouse(SDL_MOUSEMOTION, 960, 264);
    mouse(SDL_MOUSEBUTTONUP, 960, 264);
    pump();
    EXPECT_EQ(dragging, 1);
    EXPECT_EQ(lastMouseX, 320);
    // Back over the picture: the move drags, the release ends it, at client pixels.
    mouse(SDL_MOUSEMOTION, 832, 0); // the picture's top-right pixel
    pump();
    EXPECT_EQ(lastMouseX, 639);
    EXPECT_EQ(lastMouseY, 0);
    mouse(SDL_MOUSEBUTTONUP, 166, 499); // its bottom-left pixel
    pump();
    EXPECT_EQ(dragging, 0);
}

// Full screen on Xvfb's 1024 x 768 screen, with no window manager to ask: the window covers the screen and
// the frame fills it (scaled by 1.6), and a click on the sphere's place there picks it.
TEST_F(ScaledWindow, FullScreenCoversTheScreenAndAClickThereStillPicks) {
    start(0, 0);
    if (IsSkipped() || HasFatalFailure()) return;
    frame();
    Picture shown = windowPicture();
    ASSERT_EQ(shown.width, 1024);
    ASSERT_EQ(shown.height, 768);
    int x = -1, y = -1;
    SDL_GetWindowPosition(sdlWindow, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    // No bars: the picture's corners are the frame's corners.
    Picture frame1 = presentedFrame();
    EXPECT_EQ(shown.at(0, 767), frame1.at(0, 479));
    EXPECT_EQ(shown.at(1023, 767), frame1.at(639, 479));
    mouse(SDL_MOUSEBUTTONDOWN, 512, 405); // client (320, 253)
    pump();
    EXPECT_EQ(dragging, 1);
    EXPECT_EQ(pickedBody, 1);
    EXPECT_EQ(lastMouseX, 320);
    EXPECT_EQ(lastMouseY, 253);
}

} // namespace
