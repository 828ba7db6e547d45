// sdl_internal.h -- what the SDL backend's window and input side (window_input.cpp) and its OpenGL context
// (gl_context.cpp) share, and what tests of the OpenGL devices ask of the context (no SDL/GL types).
#pragma once

#include "platform/d3d7.h"
#include "platform/core/picture_placement.h"
#include "platform/win32.h"
#include "platform/sdl/sdl_backend.h"

struct SDL_Window;

// sdl/window_input.cpp: the SDL window made for a window of the core, or null.
SDL_Window* sdlWindowOf(HWND hwnd);

// sdl/gl_context.cpp:
// Sets SDL's OpenGL attributes for the renderer's context (before the context is made) and returns the
// DirectDraw implementation of its device.
PlatformDirectDrawFactory glPrepareRenderer(PlatformRenderer renderer);
// A window is about to go: the OpenGL context lets go of it.
void glForgetWindow(SDL_Window* window);
// Destroys the OpenGL context (platformStopSdl). Objects still alive stop drawing.
void glShutdown();
// The last presented frame: client-area pixels 0x00RRGGBB, top row first; null before the first present.
// Read from the back buffer on the first request after a present (or when the back buffer goes); null
// when the back buffer was drawn on again before anyone asked (the next present brings a frame back).
const uint32_t* glPresentedFrame(int* width, int* height);
// Testing: while on, each present also reads the window's whole drawable as the blit left it (bars
// included) before the buffers are swapped; glWindowPicture returns it (0x00RRGGBB, top row first; null
// before such a present). Cleared by glShutdown.
void glKeepWindowPicture(bool keep);
const uint32_t* glWindowPicture(int* width, int* height);
// GL_VERSION of the context ("" before it is made): which OpenGL the device runs on.
const char* glContextVersion();
// Testing: textures larger than `side` are scaled down as if it were the context's GL_MAX_TEXTURE_SIZE
// (0: the context's own). Cleared by glShutdown.
void glSetTextureSizeLimit(int side);
