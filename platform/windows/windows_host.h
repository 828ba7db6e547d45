// windows_host.h -- the Windows host: what cave-demo adds to the system on the real Win32 and DirectX 7,
// as thin as the system allows.
//
// The system calls user32, gdi32, kernel32 and ddraw.dll itself (platform/win32.h and platform/d3d7.h give
// it the real headers). The host adds:
// - input from a script: platformPostKey, platformPostMouseMove and platformPostMouseButton
//   (platform/core/platform_core.h) post the messages Windows would send to the system's window, and the
//   system's key reads see the posted keys (platform/win32.h routes GetKeyState and PeekMessageA here);
// - the observer of taken messages (platformSetMessageObserver), which cave-demo's --record writes;
// - the last frame as a PNG, read back from the back buffer (windowsHostCaptureFrame) and written with
//   stb_image_write.
// Everything runs on the system's one thread.
#pragma once

#include "platform/d3d7.h"
#include "platform/win32.h"

// The window that input goes to: the most recently shown top-level window of this thread (the system's
// only window), or null.
HWND windowsHostInputWindow();

// Copies the surface's pixels (the system's back buffer after a frame was presented) as the frame a
// screenshot writes. False, keeping the previous frame, when the surface cannot be locked or has a format
// other than 16- or 32-bit RGB.
bool windowsHostCaptureFrame(IDirectDrawSurface7* surface);

// Writes the last captured frame as a PNG. False with a line on stderr when no frame was captured or the
// file cannot be written.
bool windowsHostSaveScreenshot(const char* pngPath);

// Forgets the captured frame, the posted keys and the observer.
void windowsHostReset();
