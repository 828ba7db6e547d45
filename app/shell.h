// shell.h -- the entry point, the main window, the message loop and the paced frame
#pragma once

#include <cstdint>

#include "platform/win32.h"

extern int appActive;          // 1 while the window is active; frames run only then
extern uint32_t lastFrameTime; // GetTickCount() at the start of the last frame, milliseconds

constexpr uint32_t FRAME_INTERVAL_MS = 20; // at most one frame starts per 20 ms of ticks

// Hooks of the frame loop: where a host observes and feeds the run (the body trace, the input script, the
// frame limit, the browser's timings). Each is called only when set; all are null by default, which leaves
// the loop as it is.
struct FrameLoopHooks {
    void (*beforeMessageLoop)() =
        nullptr;                    // WinMain: after the set-up, showing and painting, before the first poll
    void (*beforeStep)() = nullptr; // right before each frame's simulation step
    void (*afterStep)() = nullptr;  // right after it, before the camera is built
    void (*framePresented)() = nullptr; // at the end of renderFrame, after the frame has been presented
};
extern FrameLoopHooks frameLoopHooks;

// Registers the class "hello" (when `previous` is null), registers the scene classes, installs the scene
// set-up, creates the window "Test" (its WM_CREATE runs the whole set-up) and shows it. Returns the
// window, or null when the set-up failed (startupFailed, the reason on stderr) or the window could not
// be created.
HWND createMainWindow(HINSTANCE instance, HINSTANCE previous, int showCommand);

// createMainWindow, then runFramePass until WM_QUIT. Returns the quit message's wParam, or 1 when the
// set-up failed (startupFailed) or the window could not be created.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// One pass of the message loop: takes every waiting message (PeekMessageA with PM_REMOVE, then
// TranslateMessage and DispatchMessageA), then calls renderFrame when the window is active (appActive);
// renderFrame keeps its own pace. Returns true to be called again. On WM_QUIT (taken once no other
// message waits) it stops without the frame, stores the quit message's wParam in *exitCode (when exitCode
// is not null) and returns false. WinMain calls it until it returns false; a host that drives
// the frames itself (a browser, once per animation frame) calls it the same way.
bool runFramePass(int* exitCode);

// The main window's procedure: set-up on WM_CREATE, tear-down on WM_DESTROY, activation, Esc, painting
// and the mouse (picking and dragging).
LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// One frame when at least FRAME_INTERVAL_MS have passed since the last one (unsigned 32-bit difference):
// clear, begin the scene, the five fixed render states, the camera, the simulation step and the drawing,
// end the scene, present. Nothing when the device does not exist.
void renderFrame();

// Frees the scene's resources, then releases the device objects in reverse order of creation.
void shutdownDirect3D();

// Frees every render object's vertices and releases every texture slot handed out; the counts stay.
void releaseSceneResources();

// Clears appActive and lastFrameTime (tests).
void resetShell();
