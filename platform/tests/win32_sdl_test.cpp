// win32_sdl_test.cpp -- the SDL backend feeding the core: keys, mouse, focus, close, moves, clock, message
// boxes.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/sdl/sdl_internal.h"
#include "platform/win32.h"
#include "platform/sdl/sdl_backend.h"

namespace {

std::vector<MSG> dispatched; // what reached the window procedure, in order

LRESULT CALLBACK recordingProc(HWND hwnd, UINT m, WPARAM wp, LPARAM lp) {
    MSG msg = {hwnd, m, wp, lp, 0, {0, 0}};
    dispatched.push_back(msg);
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, m, wp, lp);
}

class SdlBackend : public ::testing::Test {
  protected:
    HWND window = nullptr;

    void SetUp() override {
        PlatformOptions options;
        options.mode = PlatformMode::Headless;
        ASSERT_TRUE(platformStartSdl(options));
        WNDCLASSA wc = {};
        wc.lpfnWndProc = recordingProc;
        wc.lpszClassName = "hello";
        RegisterClassA(&wc);
        window = CreateWindowExA(WS_EX_APPWINDOW, "hello", "Test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                 nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        pump();
        dispatched.clear();
    }
    void TearDown() override { platformStopSdl(); }

    // The system's loop body: takes and dispatches every waiting message; true once WM_QUIT was taken.
    bool pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return true;
            DispatchMessageA(&msg);
        }
        return false;
    }

    Uint32 windowId() {
        // The SDL window of our window is the one that is shown (the OpenGL device's own window is hidden).
        for (Uint32 id = 1; id < 64; ++id)
            if (SDL_Window* w = SDL_GetWindowFromID(id))
                if (SDL_GetWindowFlags(w) & SDL_WINDOW_SHOWN) return id;
        return 0;
    }

    void key(SDL_Keycode k, bool down) {
        SDL_Event e = {};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = windowId();
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = k;
        SDL_PushEvent(&e);
    }

    void windowEvent(Uint8 what, int a = 0, int b = 0) {
        SDL_Event e = {};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = windowId();
        e.window.event = what;
        e.window.data1 = a;
        e.window.data2 = b;
        SDL_PushEvent(&e);
    }

    std::vector<UINT> messages(UINT only = 0) const {
        std::vector<UINT> out;
        for (const MSG& m : dispatched)
            if (!only || m.message == only) out.push_back(m.message);
        return out;
    }
};

TEST_F(SdlBackend, KeysArriveAsVirtualKeysAndHoldTheirState) {
    ASSERT_NE(windowId(), 0u);
    key(SDLK_UP, true);
    key(SDLK_RSHIFT, true);
    key(SDLK_F5, true); // not a key the layer reports
    key(SDLK_a, true);
    pump();
    std::vector<WPARAM> downs;
    for (const MSG& m : dispatched)
        if (m.message == WM_KEYDOWN) downs.push_back(m.wParam);
    EXPECT_EQ(downs, (std::vector<WPARAM>{VK_UP, VK_SHIFT, 'A'}));
    EXPECT_LT(GetKeyState(VK_UP), 0);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);

    key(SDLK_UP, false);
    key(SDLK_RSHIFT, false);
    pump();
    EXPECT_GE(GetKeyState(VK_UP), 0);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);

    // Esc through the default handling of the test window does nothing; the message carries VK_ESCAPE.
    dispatched.clear();
    key(SDLK_ESCAPE, true);
    pump();
    ASSERT_EQ(messages(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(dispatched.back().wParam, WPARAM(VK_ESCAPE));
}

TEST_F(SdlBackend, MouseEventsCarryClientPixelsInLParam) {
    SDL_Event e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.windowID = windowId();
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = 320;
    e.button.y = 200;
    SDL_PushEvent(&e);
    e.button.button = SDL_BUTTON_RIGHT; // ignored
    SDL_PushEvent(&e);
    SDL_Event move = {};
    move.type = SDL_MOUSEMOTION;
    move.motion.windowID = windowId();
    move.motion.x = 623; // the client area's bottom-right pixel (624 x 441)
    move.motion.y = 440;
    SDL_PushEvent(&move);
    e.type = SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    SDL_PushEvent(&e);
    pump();
    ASSERT_EQ(messages(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}));
    EXPECT_EQ(LOWORD(dispatched[0].lParam), 320);
    EXPECT_EQ(HIWORD(dispatched[0].lParam), 200);
    EXPECT_EQ(LOWORD(dispatched[1].lParam), 623);
    EXPECT_EQ(HIWORD(dispatched[1].lParam), 440);
    EXPECT_EQ(dispatched[1].wParam, WPARAM(MK_LBUTTON));
}

TEST_F(SdlBackend, NothingCapturesTheMouseOutsideTheClientArea) {
    EXPECT_STREQ(SDL_GetHint(SDL_HINT_MOUSE_AUTO_CAPTURE), "0");
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    ASSERT_EQ(client.right, 624);
    ASSERT_EQ(client.bottom, 441);
    auto mouse = [this](Uint32 type, int x, int y) {
        SDL_Event e = {};
        e.type = type;
        if (type == SDL_MOUSEMOTION) {
            e.motion.windowID = windowId(), e.motion.x = x, e.motion.y = y;
            e.motion.state = SDL_BUTTON_LMASK;
        } else {
            e.button.windowID = windowId(), e.button.x = x, e.button.y = y;
            e.button.button = SDL_BUTTON_LEFT;
        }
        SDL_PushEvent(&e);
    };
    // A press inside, a drag out past each edge (SDL reports these while the button is held), the
    // release outside: only the press reaches the window, so the drag is not ended and no move packs a
    // negative or far position into lParam.
    mouse(SDL_MOUSEBUTTONDOWN, 10, 10);
    for (const POINT p : {POINT{-1, 10}, POINT{10, -1}, POINT{-300, -20}, POINT{624, 10}, POINT{10, 441}})
        mouse(SDL_MOUSEMOTION, p.x, p.y);
    mouse(SDL_MOUSEBUTTONUP, -40, 200);
    mouse(SDL_MOUSEBUTTONDOWN, 700, 10); // a press outside is not the window's either
    pump();
    EXPECT_EQ(messages(), (std::vector<UINT>{WM_LBUTTONDOWN}));

    // Back over the window the button still counts as held; the release inside ends it.
    dispatched.clear();
    mouse(SDL_MOUSEMOTION, 0, 0);
    mouse(SDL_MOUSEBUTTONUP, 623, 440);
    mouse(SDL_MOUSEMOTION, 5, 6);
    pump();
    ASSERT_EQ(messages(), (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONUP, WM_MOUSEMOVE}));
    EXPECT_EQ(dispatched[0].lParam, MAKELPARAM(0, 0));
    EXPECT_EQ(dispatched[0].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(dispatched[1].lParam, MAKELPARAM(623, 440));
    EXPECT_EQ(dispatched[2].wParam, WPARAM(0));

    // Events of a window that is not the system's are not its either.
    dispatched.clear();
    SDL_Event other = {};
    other.type = SDL_MOUSEMOTION;
    other.motion.windowID = 0;
    other.motion.x = other.motion.y = 20;
    SDL_PushEvent(&other);
    pump();
    EXPECT_TRUE(messages().empty());
}

// The picture of a 640 x 480 client area in windows of other sizes, and window points mapped back to the
// client pixels under them.
TEST(ScaledPicture, FitsTheWindowWithBarsAndMapsPointsBackToClientPixels) {
    struct Place {
        int dw, dh, x, y, w, h;
    };
    for (const Place& c : {Place{640, 480, 0, 0, 640, 480}, Place{1280, 960, 0, 0, 1280, 960},
                           Place{1000, 500, 166, 0, 667, 500}, Place{500, 1000, 0, 312, 500, 375},
                           Place{1920, 1080, 240, 0, 1440, 1080}, Place{1, 1000, 0, 499, 1, 1},
                           Place{0, 480, 0, 0, 0, 0}, Place{640, -1, 0, 0, 0, 0}}) {
        PicturePlacement p = picturePlacement(c.dw, c.dh, 640, 480);
        EXPECT_EQ((std::vector<int>{p.x, p.y, p.width, p.height}), (std::vector<int>{c.x, c.y, c.w, c.h}))
            << c.dw << " x " << c.dh;
    }

    // At the client area's own size every point is its own client pixel, and nothing outside is one: the
    // unscaled window behaves exactly as before. The same with a drawable of twice the points (a
    // high-density display).
    for (int density = 1; density <= 2; ++density) {
        int mismatches = 0;
        for (int y = -2; y < 483; ++y)
            for (int x = -2; x < 643; ++x) {
                int cx = -1, cy = -1;
                bool in = clientPixelAt(x, y, 640, 480, 640 * density, 480 * density, 640, 480, &cx, &cy);
                bool inside = x >= 0 && y >= 0 && x < 640 && y < 480;
                mismatches += in != inside || (inside && (cx != x || cy != y));
            }
        EXPECT_EQ(mismatches, 0) << "density " << density;
    }

    // 1000 x 500: the picture covers x 166 .. 832; each client column is under one or two window columns,
    // in order, and every client column is reached.
    int cx = -1, cy = -1;
    EXPECT_FALSE(clientPixelAt(165, 250, 1000, 500, 1000, 500, 640, 480, &cx, &cy));
    EXPECT_FALSE(clientPixelAt(833, 250, 1000, 500, 1000, 500, 640, 480, &cx, &cy));
    EXPECT_FALSE(clientPixelAt(1000, 250, 1000, 500, 1000, 500, 640, 480, &cx, &cy));
    EXPECT_FALSE(clientPixelAt(-1, 250, 1000, 500, 1000, 500, 640, 480, &cx, &cy));
    EXPECT_EQ(cx, -1); // nothing written for a point on a bar
    std::vector<int> reached(640, 0);
    int previous = -1, backwards = 0;
    for (int x = 166; x < 833; ++x) {
        ASSERT_TRUE(clientPixelAt(x, 499, 1000, 500, 1000, 500, 640, 480, &cx, &cy)) << x;
        ASSERT_TRUE(cx >= 0 && cx < 640) << x;
        EXPECT_EQ(cy, 479);
        backwards += cx < previous;
        previous = cx;
        ++reached[size_t(cx)];
    }
    EXPECT_EQ(backwards, 0);
    EXPECT_EQ(std::count(reached.begin(), reached.end(), 0), 0);
    EXPECT_TRUE(clientPixelAt(500, 264, 1000, 500, 1000, 500, 640, 480, &cx, &cy));
    EXPECT_EQ((std::vector<int>{cx, cy}), (std::vector<int>{320, 253}));
    // Bars at the top and bottom of a tall window; the first and last rows of the picture.
    EXPECT_FALSE(clientPixelAt(250, 311, 500, 1000, 500, 1000, 640, 480, &cx, &cy));
    EXPECT_TRUE(clientPixelAt(250, 312, 500, 1000, 500, 1000, 640, 480, &cx, &cy));
    EXPECT_EQ(cy, 0);
    EXPECT_TRUE(clientPixelAt(499, 686, 500, 1000, 500, 1000, 640, 480, &cx, &cy));
    EXPECT_EQ((std::vector<int>{cx, cy}), (std::vector<int>{639, 479}));
    EXPECT_FALSE(clientPixelAt(250, 687, 500, 1000, 500, 1000, 640, 480, &cx, &cy));
    // An empty window or client area has no picture to point at.
    EXPECT_FALSE(clientPixelAt(0, 0, 0, 0, 0, 0, 640, 480, &cx, &cy));
    EXPECT_FALSE(clientPixelAt(0, 0, 640, 480, 640, 480, 0, 0, &cx, &cy));
}

TEST_F(SdlBackend, AModifierStaysDownWhileEitherOfItsKeysIsHeld) {
    key(SDLK_LSHIFT, true);
    key(SDLK_RSHIFT, true);
    key(SDLK_LSHIFT, false);
    key(SDLK_RCTRL, true);
    key(SDLK_LCTRL, true);
    key(SDLK_RCTRL, false);
    pump();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);
    key(SDLK_LSHIFT, true); // pressed again, released again: the right one is still held
    key(SDLK_LSHIFT, false);
    pump();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    key(SDLK_RSHIFT, false);
    key(SDLK_LCTRL, false);
    pump();
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
    // One shift alone: down, then up.
    key(SDLK_LSHIFT, true);
    pump();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    key(SDLK_LSHIFT, false);
    pump();
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(SdlBackend, FocusMovesAndCloseReachTheWindow) {
    windowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    windowEvent(SDL_WINDOWEVENT_MOVED, 100, 60);
    pump();
    std::vector<WPARAM> codes;
    for (const MSG& m : dispatched)
        if (m.message == WM_ACTIVATE) codes.push_back(LOWORD(m.wParam));
    EXPECT_EQ(codes, (std::vector<WPARAM>{WA_INACTIVE, WA_ACTIVE}));
    POINT p = {0, 0};
    ClientToScreen(window, &p);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 60);

    // Closing the window: WM_CLOSE, the default handling destroys it, WM_DESTROY, then the quit.
    dispatched.clear();
    windowEvent(SDL_WINDOWEVENT_CLOSE);
    EXPECT_TRUE(pump());
    std::vector<UINT> order;
    for (UINT m : messages())
        if (m == WM_CLOSE || m == WM_DESTROY) order.push_back(m);
    EXPECT_EQ(order, (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(SdlBackend, HeadlessClockAdvancesPerIdlePassAndBoxesGoToStderr) {
    EXPECT_TRUE(platformIsHeadless());
    EXPECT_TRUE(platformClockIsVirtual());
    DWORD before = GetTickCount();
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetTickCount() - before, 20u); // one frame's worth per idle pass

    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Texure Cannot Open \"x.bmp\"", "Texure Cannot Open", MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Texure Cannot Open: Texure Cannot Open \"x.bmp\"\n");

    EXPECT_EQ(LoadImageA(nullptr, "no-such-file.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, nullptr, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    // Nothing was presented yet: no screenshot.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(platformSaveScreenshot("never.png"));
    testing::internal::GetCapturedStderr();
}

} // namespace
