// win32_core_test.cpp -- message loop, activation, keys, clock, window geometry and GDI of the Win32 core.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/core/platform_core.h"

namespace {

// What the test window procedure saw, as "NAME wParam" lines.
std::vector<std::string> seen;
bool destroyInCreate = false;
bool quitOnDestroy = true;
std::vector<std::string> eventsBeforeCreateReturned;

std::string name(UINT m) {
    switch (m) {
    case WM_CREATE:
        return "WM_CREATE";
    case WM_DESTROY:
        return "WM_DESTROY";
    case WM_NCDESTROY:
        return "WM_NCDESTROY";
    case WM_ACTIVATE:
        return "WM_ACTIVATE";
    case WM_PAINT:
        return "WM_PAINT";
    case WM_CLOSE:
        return "WM_CLOSE";
    case WM_KEYDOWN:
        return "WM_KEYDOWN";
    case WM_KEYUP:
        return "WM_KEYUP";
    case WM_MOUSEMOVE:
        return "WM_MOUSEMOVE";
    case WM_LBUTTONDOWN:
        return "WM_LBUTTONDOWN";
    case WM_LBUTTONUP:
        return "WM_LBUTTONUP";
    case WM_QUIT:
        return "WM_QUIT";
    default:
        return std::to_string(m);
    }
}

LRESULT CALLBACK testProc(HWND hwnd, UINT m, WPARAM wp, LPARAM lp) {
    seen.push_back(name(m) + " " + std::to_string(m == WM_ACTIVATE ? LOWORD(wp) : wp));
    switch (m) {
    case WM_CREATE:
        if (destroyInCreate) DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        if (quitOnDestroy) PostQuitMessage(7);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        TextOutA(dc, 10, 10, "Hello, World!", 13);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (wp == VK_ESCAPE) DestroyWindow(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, m, wp, lp);
}

class Win32Core : public ::testing::Test {
  protected:
    void SetUp() override {
        platformReset();
        seen.clear();
        destroyInCreate = false;
        quitOnDestroy = true;
        WNDCLASSA wc = {};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = testProc;
        wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        wc.lpszClassName = "hello";
        ASSERT_NE(RegisterClassA(&wc), 0);
    }
    void TearDown() override { platformReset(); }

    HWND create() {
        return CreateWindowExA(WS_EX_APPWINDOW, "hello", "Test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                               nullptr, nullptr, nullptr);
    }

    // Runs the system's loop body once: all waiting messages are dispatched; returns true on WM_QUIT.
    bool pump(int* exitCode = nullptr) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                seen.push_back("WM_QUIT " + std::to_string(msg.wParam));
                if (exitCode) *exitCode = int(msg.wParam);
                return true;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return false;
    }
};

TEST_F(Win32Core, LifecycleOrderFromCreateToQuit) {
    HWND w = create();
    ASSERT_NE(w, nullptr);
    // WM_CREATE arrived before CreateWindowExA returned; nothing else yet (the window is hidden).
    EXPECT_EQ(seen, std::vector<std::string>{"WM_CREATE 0"});
    EXPECT_FALSE(ShowWindow(w, SW_SHOWDEFAULT)); // was hidden
    UpdateWindow(w);
    EXPECT_EQ(seen, (std::vector<std::string>{"WM_CREATE 0", "WM_ACTIVATE 1", "WM_PAINT 0"}));
    seen.clear();

    // Painted: an idle poll returns nothing and does not block.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    // Esc: DestroyWindow from the window procedure delivers WM_DESTROY synchronously, WM_QUIT follows.
    platformPostKey(VK_ESCAPE, true);
    PostMessageA(w, WM_USER, 5, 0); // queued after the key: dropped with the window
    int code = -1;
    EXPECT_TRUE(pump(&code));
    EXPECT_EQ(code, 7);
    EXPECT_EQ(seen, (std::vector<std::string>{"WM_KEYDOWN 27", "WM_ACTIVATE 0", "WM_DESTROY 0",
                                              "WM_NCDESTROY 0", "WM_QUIT 7"}));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // WM_QUIT was removed
    EXPECT_FALSE(DestroyWindow(w));                             // a stale handle is refused
}

TEST_F(Win32Core, QuitComesAfterMessagesPostedBeforeIt) {
    HWND w = create();
    PostMessageA(w, WM_USER, 1, 0);
    PostQuitMessage(3);
    PostMessageA(w, WM_USER, 2, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 1u); // not removed
    std::vector<UINT> order;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        order.push_back(msg.message == WM_QUIT ? 0u : UINT(msg.wParam));
        if (msg.message == WM_QUIT) break;
    }
    EXPECT_EQ(order, (std::vector<UINT>{1, 2, 0}));
}

TEST_F(Win32Core, CloseAndFailedCreation) {
    // DefWindowProcA turns WM_CLOSE (the user closing the window) into DestroyWindow.
    HWND w = create();
    ShowWindow(w, SW_SHOW);
    seen.clear();
    platformSendClose(w);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"WM_CLOSE 0", "WM_ACTIVATE 0", "WM_DESTROY 0", "WM_NCDESTROY 0"}));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(pump());

    // A window destroyed during its WM_CREATE: CreateWindowExA returns null, the quit follows.
    seen.clear();
    destroyInCreate = true;
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"WM_CREATE 0", "WM_DESTROY 0", "WM_NCDESTROY 0"}));
    int code = -1;
    EXPECT_TRUE(pump(&code));
    EXPECT_EQ(code, 7);

    // Unknown class: no window, no message.
    seen.clear();
    EXPECT_EQ(CreateWindowExA(0, "nope", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_TRUE(seen.empty());
}

TEST_F(Win32Core, ActivationCodesReachTheWindow) {
    HWND w = create();
    ShowWindow(w, SW_SHOW);
    ShowWindow(w, SW_SHOW); // already active: no second WM_ACTIVATE
    platformSendActivate(w, WA_INACTIVE);
    platformSendActivate(w, WA_CLICKACTIVE);
    platformSendActivate(w, WA_INACTIVE);
    platformSendActivate(w, WA_ACTIVE);
    EXPECT_EQ(seen, (std::vector<std::string>{"WM_CREATE 0", "WM_ACTIVATE 1", "WM_ACTIVATE 0",
                                              "WM_ACTIVATE 2", "WM_ACTIVATE 0", "WM_ACTIVATE 1"}));
    // A show command that does not activate sends nothing.
    HWND other = create();
    seen.clear();
    ShowWindow(other, SW_SHOWNA);
    EXPECT_TRUE(seen.empty());
}

TEST_F(Win32Core, KeyStateFollowsMessagesTakenFromTheQueue) {
    HWND w = create();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(GetKeyState(VK_UP), 0);
    platformPostKey(VK_UP, true);
    EXPECT_EQ(GetKeyState(VK_UP) & 0x8000, 0); // posted, not yet taken
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(GetKeyState(VK_UP) & 0x8000, 0); // looked at, not removed
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, WPARAM(VK_UP));
    EXPECT_EQ(msg.lParam & 0xFFFF, 1);     // repeat count
    EXPECT_EQ((msg.lParam >> 30) & 3, 0);  // first press, not a release
    EXPECT_LT(GetKeyState(VK_UP), 0);      // high bit: held
    EXPECT_NE(GetKeyState(VK_UP) >> 8, 0); // "high byte nonzero", as the camera tests it

    platformPostKey(VK_UP, true); // auto-repeat: previous state bit set
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ((msg.lParam >> 30) & 1, 1);
    platformPostKey(VK_UP, false);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_KEYUP));
    EXPECT_EQ(uint32_t(msg.lParam) >> 30, 3u); // previous state down, transition up
    EXPECT_EQ(GetKeyState(VK_UP) & 0x8000, 0);
    EXPECT_EQ(GetKeyState(VK_UP) & 1, 1); // toggled once

    // Tests and scripts may set a held key directly; out-of-range keys are ignored.
    platformSetKeyDown(VK_SHIFT, true);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    platformSetKeyDown(VK_SHIFT, false);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    platformSetKeyDown(300, true);
    EXPECT_EQ(GetKeyState(300), 0);
    EXPECT_EQ(GetKeyState(-1), 0);
}

TEST_F(Win32Core, MousePositionsArePackedAsWindowsDoes) {
    HWND w = create();
    ASSERT_NE(w, nullptr);
    platformPostMouseButton(320, 240, true);
    platformPostMouseMove(-1, 70000);
    platformPostMouseButton(65535, 0, false);
    platformPostMouseMove(3, 4);
    MSG m[4];
    for (auto& msg : m)
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m[0].message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(LOWORD(m[0].lParam), 320);
    EXPECT_EQ(HIWORD(m[0].lParam), 240);
    EXPECT_EQ(m[0].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(m[1].message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(LOWORD(m[1].lParam), 0xFFFF);         // -1 wraps, no sign extension
    EXPECT_EQ(HIWORD(m[1].lParam), 70000 & 0xFFFF); // cut to 16 bits
    EXPECT_EQ(m[1].wParam, WPARAM(MK_LBUTTON));     // button still held
    EXPECT_EQ(m[2].message, UINT(WM_LBUTTONUP));
    EXPECT_EQ(LOWORD(m[2].lParam), 65535);
    EXPECT_EQ(m[3].wParam, 0u);
    EXPECT_EQ(m[1].pt.x, PLATFORM_FRAME_LEFT - 1); // screen position of the cursor
    // The left button reads as a key while held.
    EXPECT_GE(GetKeyState(VK_LBUTTON), 0);

    // No window: input is dropped.
    DestroyWindow(w);
    platformPostMouseMove(1, 1);
    platformPostKey(VK_SPACE, true);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        EXPECT_EQ(msg.message, UINT(WM_QUIT));
}

TEST_F(Win32Core, TickCountWrapsAndAdvancesWhenIdle) {
    EXPECT_TRUE(platformClockIsVirtual());
    EXPECT_EQ(GetTickCount(), 0u);
    platformSetTickCount(0xFFFFFFF0u);
    DWORD before = GetTickCount();
    platformAdvanceTickCount(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_EQ(GetTickCount() - before, 0x20u); // unsigned difference survives the wrap

    platformUseVirtualClock(true, 20);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetTickCount(), 0x24u);
    HWND w = create();
    PostMessageA(w, WM_USER, 0, 0);
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetTickCount(), 0x24u); // only idle polls advance it
    EXPECT_EQ(msg.time, 0x24u);
}

TEST_F(Win32Core, WindowGeometryMakesA640x480ClientArea) {
    HWND w = create();
    RECT r;
    ASSERT_TRUE(GetClientRect(w, &r));
    EXPECT_EQ(r.right, 640 - PLATFORM_FRAME_LEFT - PLATFORM_FRAME_RIGHT);
    EXPECT_EQ(r.bottom, 480 - PLATFORM_FRAME_TOP - PLATFORM_FRAME_BOTTOM);
    // What the system does in WM_CREATE: grow the outer size by the borders.
    SetWindowPos(w, HWND_TOP, 0, 0, 1280 - r.right, 960 - r.bottom, SWP_NOOWNERZORDER);
    ASSERT_TRUE(GetClientRect(w, &r));
    EXPECT_EQ(r.right, 640);
    EXPECT_EQ(r.bottom, 480);
    POINT p = {0, 0};
    ASSERT_TRUE(ClientToScreen(w, &p));
    EXPECT_EQ(p.x, PLATFORM_FRAME_LEFT);
    EXPECT_EQ(p.y, PLATFORM_FRAME_TOP);
    platformWindowMoved(w, 100, 50); // the user moved it
    p = {0, 0};
    ClientToScreen(w, &p);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 50);
    ASSERT_TRUE(GetClientRect(w, &r));
    EXPECT_EQ(r.right, 640);
    SetWindowPos(w, HWND_TOP, 5, 6, 0, 0, SWP_NOSIZE);
    ASSERT_TRUE(GetClientRect(w, &r));
    EXPECT_EQ(r.bottom, 480);
    // A window without a frame has its client area as outer rectangle.
    HWND popup = CreateWindowExA(0, "hello", "p", WS_POPUP, 0, 0, 32, 16, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(GetClientRect(popup, &r));
    EXPECT_EQ(r.right, 32);
    EXPECT_EQ(r.bottom, 16);
    EXPECT_FALSE(GetClientRect(nullptr, &r));
}

TEST_F(Win32Core, BitmapCopiedIntoA16BitSurface) {
    // 3 x 2 bitmap (odd width): row 0 red, green, blue; row 1 white, grey, black.
    const uint32_t px[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080, 0x000000};
    HBITMAP bm = platformCreateBitmap(3, 2, px);
    ASSERT_NE(bm, nullptr);
    BITMAP info = {};
    EXPECT_EQ(GetObjectA(bm, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);

    uint16_t surface[2][4] = {}; // pitch 8 bytes: one padding pixel per row stays untouched
    surface[0][3] = surface[1][3] = 0xABCD;
    HDC dst = platformCreatePixelDC(surface, 3, 2, 8, 16, 0xF800, 0x07E0, 0x001F);
    HDC mem = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(mem, bm), nullptr);
    ASSERT_TRUE(BitBlt(dst, 0, 0, 3, 2, mem, 0, 0, SRCCOPY));
    EXPECT_EQ(surface[0][0], 0xF800);
    EXPECT_EQ(surface[0][1], 0x07E0);
    EXPECT_EQ(surface[0][2], 0x001F);
    EXPECT_EQ(surface[1][0], 0xFFFF);
    EXPECT_EQ(surface[1][1], (0x10 << 11) | (0x20 << 5) | 0x10); // top bits kept: 0x80 -> 16/32, 32/64
    EXPECT_EQ(surface[1][2], 0x0000);
    EXPECT_EQ(surface[0][3], 0xABCD);

    // 5-5-5 destination, clipped at the edges: only the overlapping pixel is written.
    uint16_t small[1] = {0};
    HDC dst555 = platformCreatePixelDC(small, 1, 1, 2, 16, 0x7C00, 0x03E0, 0x001F);
    ASSERT_TRUE(BitBlt(dst555, -1, 0, 3, 2, mem, 0, 0, SRCCOPY));
    EXPECT_EQ(small[0], 0x03E0); // the green pixel landed at (0, 0)

    EXPECT_FALSE(BitBlt(dst, 0, 0, 3, 2, mem, 0, 0, 0x00EE0086)); // only SRCCOPY
    // Deleting the bitmap while selected leaves the DC without pixels, not on freed memory.
    EXPECT_TRUE(DeleteObject(bm));
    surface[0][0] = 0;
    EXPECT_TRUE(BitBlt(dst, 0, 0, 3, 2, mem, 0, 0, SRCCOPY));
    EXPECT_EQ(surface[0][0], 0);
    EXPECT_EQ(GetObjectA(bm, sizeof info, &info), 0);
    EXPECT_TRUE(DeleteDC(mem));
    EXPECT_FALSE(DeleteDC(mem));
    EXPECT_TRUE(DeleteDC(dst));
    EXPECT_TRUE(DeleteDC(dst555));
    EXPECT_FALSE(BitBlt(dst, 0, 0, 1, 1, mem, 0, 0, SRCCOPY));
    EXPECT_EQ(platformCreateBitmap(0, 5, nullptr), nullptr);
    EXPECT_EQ(platformCreatePixelDC(surface, 3, 2, 4, 16, 0xF800, 0x07E0, 0x001F),
              nullptr);                                     // pitch too small
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))); // stock objects are never freed
}

TEST_F(Win32Core, MessageBoxesAreLoggedAndWrittenToStderr) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Texure Cannot Open \"check.bmp\"", "Texure Cannot Open", MB_OK), IDOK);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Texure Cannot Open: Texure Cannot Open \"check.bmp\"\n");
    ASSERT_EQ(platformMessageBoxCount(), 1);
    EXPECT_STREQ(platformMessageBoxText(0), "Texure Cannot Open: Texure Cannot Open \"check.bmp\"");
    EXPECT_EQ(platformMessageBoxText(1), nullptr);
}

} // namespace
