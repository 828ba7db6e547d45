// app_test_util.h -- a clean start for the application tests: platform core, recorder, device and scene state
#pragma once

#include "app/camera.h"
#include "app/picking.h"
#include "app/scene_setup.h"
#include "app/shell.h"
#include "physics/simulation.h"
#include "platform/d3d7_record.h"
#include "platform/win32.h"
#include "render/device.h"
#include "render/render_object.h"
#include "render/texture_slots.h"

inline void startCleanApp(const RecordConfig& config = RecordConfig()) {
    resetDevice();
    resetTextureSlots();
    resetRenderObjects();
    resetPhysics();
    resetShell();
    resetCamera();
    resetPicking();
    resetRandom();
    platformReset();
    platformUseVirtualClock(true, 0);
    recordReset(config);
}

inline void stopApp() {
    resetRenderObjects();
    resetTextureSlots();
    resetDevice();
    resetPhysics();
    platformReset();
}

// Registers the window class as the entry point does and creates the main window; its WM_CREATE runs the
// device set-up and then `sceneSetup` (null: none).
inline HWND createMainWindow(int (*sceneSetup)()) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = "hello";
    RegisterClassA(&wc);
    sceneSetupFunction = sceneSetup;
    return CreateWindowExA(WS_EX_APPWINDOW, "hello", "Test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                           nullptr, nullptr);
}
