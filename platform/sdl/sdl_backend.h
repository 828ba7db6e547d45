// sdl_backend.h -- the desktop backend (SDL2 window, keyboard and mouse, OpenGL context): how cave-demo and
// the tests start it, and the frame it presented.
#pragma once

#include <cstdint>

#include "platform/core/platform_core.h"

// How the SDL backend (cave_platform_sdl) runs. Choose before the first window is created.
enum class PlatformMode {
    Windowed, // a real window on the desktop, real clock, message boxes on screen
    Headless, // SDL's offscreen video driver (OpenGL through EGL, no display), virtual clock, stderr
};
// The Direct3D device the SDL backend installs, and the OpenGL context it runs on.
enum class PlatformRenderer {
    FixedFunction, // OpenGL's fixed function on a compatibility-profile context
    Shader,        // GLSL shaders on an OpenGL 3.3 core context
    ShaderOnEs,    // GLSL ES shaders on an OpenGL ES 3.0 context (as in a browser's WebGL2)
};
struct PlatformOptions {
    PlatformMode mode = PlatformMode::Windowed;
    uint32_t idleAdvanceMs = 20; // headless: virtual milliseconds per idle poll (20: a frame every pass)
    PlatformRenderer renderer = PlatformRenderer::FixedFunction;
    bool fullscreen = false; // windowed: windows fill the screen (desktop full screen) once shown
};
// Starts the SDL backend (platform/sdl/window_input.cpp) and installs it and the OpenGL DirectDraw
// implementation. Returns false with a line on stderr if SDL cannot start, or if a windowed start finds no
// display (SDL would fall back to a driver that shows nothing, unless SDL_VIDEODRIVER names that driver).
// platformStopSdl() shuts SDL down.
bool platformStartSdl(const PlatformOptions& options);
void platformStopSdl();
bool platformIsHeadless();

// The last presented frame: the window's client area as BltFast last left it, pixels 0x00RRGGBB, top row
// first; null before the first present, and null when the back buffer was drawn on again before the frame
// was asked for (OpenGL devices only; they read it back on request, not at every present).
const uint32_t* platformPresentedFrame(int* width, int* height);

// Saves the last presented frame (the window's 640 x 480 client area as BltFast last copied it) as a PNG
// (SDL2_image). Returns false with a line on stderr when nothing was presented or the file cannot be written.
bool platformSaveScreenshot(const char* pngPath);
