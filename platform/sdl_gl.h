// sdl_gl.h -- what the SDL backend and the OpenGL device share inside cave_platform_sdl_gl (no SDL/GL types).
#pragma once

#include "platform/d3d7.h"

struct SDL_Window;

// win32_sdl.cpp: the SDL window made for a window of the core, or null.
SDL_Window* sdlWindowOf(HWND hwnd);

// d3d7_gl.cpp: the OpenGL DirectDraw implementation (installed by platformStartSdl).
HRESULT glCreateDirectDraw(GUID* guid, REFIID iid, IUnknown* outer, IDirectDraw7** directDraw);
// A window is about to go: the OpenGL context lets go of it.
void glForgetWindow(SDL_Window* window);
// Destroys the OpenGL context (platformStopSdl). Objects still alive stop drawing.
void glShutdown();
// The last presented frame: client-area pixels 0x00RRGGBB, top row first; null before the first present.
const uint32_t* glPresentedFrame(int* width, int* height);
