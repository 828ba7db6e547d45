// html5_internal.h -- what the browser backend's two halves share: the window and input side
// (window_input.cpp) and the WebGL2 context (webgl_context.cpp)
#pragma once

#include "platform/win32.h"

// window_input.cpp: the core window the canvas shows (null: none), its client area, and the canvas's
// drawing buffer, first fitted to the canvas's size now.
HWND html5Window();
void html5ClientSize(int* width, int* height);
void html5FitDrawingBuffer(int* bufferWidth, int* bufferHeight);

// webgl_context.cpp: makes the page's WebGL2 context on `canvas` the first time (it outlives the backend's
// starts and stops), watches its loss and return, and makes it current. False, with the reason for the page
// in `error`, when the browser gives no WebGL2 context.
bool html5StartContext(const char* canvas, bool preserveDrawingBuffer, const char** error);
// The backend stops: the last frame is forgotten and the pixel-store settings are made again at the next use.
void html5ForgetLastFrame();
