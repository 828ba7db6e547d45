// html5_backend.h -- the browser backend of the Win32 layer (Emscripten's HTML5 API): how a page starts it.
//
// The page's canvas plays the main window: its client area is the canvas's drawing buffer, sized by the
// core (640 x 480 after the window's set-up). The backend feeds the core as the SDL backend does:
// - keys from the page (arrows, space, shift, Esc and the others the SDL backend maps) as posted key
//   messages; the page does not scroll on the demo's keys (their default action is prevented);
// - the left button and mouse moves over the picture only, in client pixels: the canvas may have any CSS
//   size, the client area is shown in it scaled with its aspect kept (bars at the sides or top and
//   bottom), and a point on a bar or outside the canvas sends nothing;
// - the page's focus and blur as WM_ACTIVATE (WA_ACTIVE / WA_INACTIVE); keys still held at a blur are
//   released first, since their key-up would go to another window;
// - performance.now() as GetTickCount (milliseconds, wrapping at 2^32);
// - message boxes as a line in the page's status area and on the console;
// - lines appended to the debug log (VokDebug.txt in the working directory) on the console.
// It creates the WebGL2 context that the shader device draws with. The client area stays what the core
// window says (640 x 480); the canvas's drawing buffer follows the canvas's CSS size times the device
// pixel ratio, so that the frame is scaled once, into device pixels, and stays sharp on high-density
// displays (scaleToCanvas), or it stays the client area's own size (the saved frame is then the system's
// pixels; the page lets CSS fit it, with object-fit: contain).
//
// The page may define these functions on Module, each called when present:
//   Module.caveMessageBox(caption, text)   a message box
//   Module.caveDebugLog(line)              one line of the debug log, decoded from code page 932
#pragma once

#include "platform/win32.h"
#include "platform/core/platform_core.h"

struct Html5Options {
    const char* canvas = "#canvas";     // CSS selector of the canvas
    bool preserveDrawingBuffer = false; // keep the last frame readable (screenshots, tests)
    bool scaleToCanvas = true;          // drawing buffer of the canvas's size; false: of the client area's
    const char* debugLogPath = nullptr; // the debug log file, made a device that writes to the console
};

// Creates the WebGL2 context on the canvas, installs the backend, its event handlers and the shader device
// (gl/shader_device.h) as the DirectDraw implementation. Returns false,
// with the reason in `error` (a short sentence for the page), when there is no such canvas or the
// browser gives no WebGL2 context.
bool platformStartHtml5(const Html5Options& options, const char** error);

// Removes the event handlers, the backend (platformReset) and the DirectDraw implementation; the canvas
// keeps the last frame shown.
void platformStopHtml5();

// Shows the last presented frame again, fitted to the canvas's size now: the page calls it when the
// canvas was resized while no frames run (paused), which would otherwise leave the old picture stretched.
// Nothing when no window shows a frame.
void platformHtml5Represent();
