// shell.cpp -- the entry point, the main window, the message loop and the paced frame
#include "app/shell.h"

#include <cstdio>

#include "app/camera.h"
#include "app/picking.h"
#include "app/scene_setup.h"
#include "render/device.h"
#include "render/render_object.h"
#include "render/texture_slots.h"
#include "scene/scene_classes.h"

int appActive = 0;
uint32_t lastFrameTime = 0;
FrameLoopHooks frameLoopHooks;

namespace {

const char WINDOW_CLASS_NAME[] = "hello";
const char WINDOW_TITLE[] = "Test";
const char PAINT_TEXT[] = "Hello, World!";

} // namespace

void resetShell() {
    appActive = 0;
    lastFrameTime = 0;
}

void releaseSceneResources() {
    for (int i = 0; i < renderObjectCount && i < MAX_RENDER_OBJECTS; ++i)
        freeRenderObject(&renderObjects[i]);
    for (int i = 0; i < textureCount && i < MAX_TEXTURES; ++i)
        releaseTexture(&textureSlots[i]);
}

void shutdownDirect3D() {
    releaseSceneResources();
    // Device, z-buffer, Direct3D, back buffer, primary surface, DirectDraw: the reverse of creation.
    releaseDeviceObjects();
}

void renderFrame() {
    if (directDraw == nullptr || d3dDevice == nullptr) return;
    // Unsigned difference: pacing keeps working across the wrap of the tick count.
    if (GetTickCount() - lastFrameTime < FRAME_INTERVAL_MS) return;
    lastFrameTime = GetTickCount();

    lastResult = d3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    lastResult = d3dDevice->BeginScene();
    lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE);
    lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
    lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);

    updateCameraAndDraw();

    lastResult = d3dDevice->EndScene();

    if (fullScreen) {
        lastResult = primarySurface->Flip(nullptr, DDFLIP_WAIT);
    } else {
        // Windowed: the back buffer is copied to the client area's place on the screen.
        RECT source;
        GetClientRect(mainWindow, &source);
        POINT origin = {0, 0};
        ClientToScreen(mainWindow, &origin);
        lastResult = primarySurface->BltFast(static_cast<DWORD>(origin.x), static_cast<DWORD>(origin.y),
                                             backBuffer, &source, DDBLTFAST_WAIT);
    }
    if (frameLoopHooks.framePresented != nullptr) frameLoopHooks.framePresented();
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        // Grow the outer size by the borders so that the client area is exactly 640 x 480.
        RECT client;
        GetClientRect(hwnd, &client);
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 1280 - client.right, 960 - client.bottom, SWP_NOOWNERZORDER);
        if (initDirect3D(hwnd) == 0) DestroyWindow(hwnd);
        return 0;
    }
    case WM_DESTROY:
        shutdownDirect3D();
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        // WA_CLICKACTIVE leaves the flag as it is.
        if (LOWORD(wParam) == WA_ACTIVE)
            appActive = 1;
        else if (LOWORD(wParam) == WA_INACTIVE)
            appActive = 0;
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        TextOutA(dc, 10, 10, PAINT_TEXT, static_cast<int>(sizeof(PAINT_TEXT) - 1));
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) DestroyWindow(hwnd);
        return 0;
    // Mouse positions: the low and high 16 bits of lParam, unsigned.
    case WM_MOUSEMOVE:
        dragBody(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        pickBody(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_LBUTTONUP:
        dropBody(LOWORD(lParam), HIWORD(lParam));
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

HWND createMainWindow(HINSTANCE instance, HINSTANCE previous, int showCommand) {
    VokRegisterSceneClasses();
    sceneSetupFunction = setupScene;

    if (previous == nullptr) {
        WNDCLASSA wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = windowProc;
        wc.cbClsExtra = 0;
        wc.cbWndExtra = 0;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszMenuName = nullptr;
        wc.lpszClassName = WINDOW_CLASS_NAME;
        RegisterClassA(&wc);
    }

    // WM_CREATE runs the whole set-up before CreateWindowExA returns.
    HWND window = CreateWindowExA(WS_EX_APPWINDOW, WINDOW_CLASS_NAME, WINDOW_TITLE, WS_OVERLAPPEDWINDOW, 0, 0,
                                  640, 480, nullptr, nullptr, instance, nullptr);
    if (startupFailed) return nullptr; // the reason is already on stderr; the window was destroyed
    if (window == nullptr) {
        std::fprintf(stderr, "cave-demo: set-up failed: the main window could not be created\n");
        startupFailed = true;
        return nullptr;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    (void)commandLine;
    if (createMainWindow(instance, previous, showCommand) == nullptr) return 1;
    if (frameLoopHooks.beforeMessageLoop != nullptr) frameLoopHooks.beforeMessageLoop();

    int exitCode = 0;
    while (runFramePass(&exitCode)) {
    }
    return exitCode;
}

bool runFramePass(int* exitCode) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (msg.message == WM_QUIT) {
            if (exitCode != nullptr) *exitCode = static_cast<int>(msg.wParam);
            return false;
        }
    }
    if (appActive) renderFrame();
    return true;
}
