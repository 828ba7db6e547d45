// platform_core.h -- what the platform core offers besides the Win32 calls the system makes: the backend
// interface, the clock, input as it comes from the user, the observer of taken messages, message-box log,
// GDI bitmaps over pixel memory, and the choice of Direct3D implementation. Backends, hosts and tests use it;
// the system's own code never does.
#pragma once

#include <cstdint>

#include "platform/d3d7.h"
#include "platform/win32.h"

// ---------------------------------------------------------------------------------------------------------
// Platform extensions (not Win32): used by the backends, the app's command-line options and tests.
// ---------------------------------------------------------------------------------------------------------

// Window frame of WS_OVERLAPPEDWINDOW windows: the outer rectangle is the client area plus these borders,
// so CreateWindowExA(640 x 480) gives a 624 x 441 client area, and an outer size of
// (1280 - 624) x (960 - 441) gives exactly 640 x 480. Windows without WS_CAPTION / WS_THICKFRAME have none.
#define PLATFORM_FRAME_LEFT 8
#define PLATFORM_FRAME_TOP 31
#define PLATFORM_FRAME_RIGHT 8
#define PLATFORM_FRAME_BOTTOM 8

// What a backend provides. Every hook may be null. The core calls them on the one thread.
struct PlatformBackend {
    // A window was created (hidden) with its client rectangle in screen pixels and its title.
    void (*createWindow)(HWND hwnd, int clientX, int clientY, int clientWidth, int clientHeight,
                         const char* title);
    void (*destroyWindow)(HWND hwnd);
    void (*showWindow)(HWND hwnd, bool visible);
    // The client rectangle moved or changed size (screen pixels).
    void (*moveWindow)(HWND hwnd, int clientX, int clientY, int clientWidth, int clientHeight);
    // Feeds pending events into the core (platformSend*/platformPost* below); called by PeekMessageA.
    void (*pumpEvents)();
    // Real milliseconds since start-up (the core keeps them 32-bit); unused while the clock is virtual.
    uint32_t (*ticks)();
    // Shows a modal box; returns false when it could not be shown (the core then writes to stderr).
    bool (*messageBox)(const char* caption, const char* text);
};

// Installs a backend (null for none). The backend stays in force until replaced or until platformReset().
void platformSetBackend(const PlatformBackend* backend);

// Clears the whole core: windows (the backend is told), classes, the queue, the quit flag, key states, the
// clock (virtual, at 0, no idle advance), the message-box log, GDI objects and the backend (none).
// Tests call it to start clean; platformStopSdl() calls it too.
void platformReset();

// Clock. While virtual, GetTickCount returns the virtual value; otherwise the backend's ticks (or 0).
// advancePerIdlePoll: milliseconds added to the virtual clock each time PeekMessageA finds no message,
// so that a headless loop sees time pass and renders on every idle pass (0: only explicit changes).
void platformUseVirtualClock(bool useVirtual, uint32_t advancePerIdlePoll = 0);
void platformSetTickCount(uint32_t ms);
void platformAdvanceTickCount(uint32_t ms); // wraps at 2^32
bool platformClockIsVirtual();

// Key states. Sets the held state at once (as if the key message had been taken from the queue).
void platformSetKeyDown(int virtKey, bool down);

// The window that input goes to: the most recently created window that still exists, or null.
HWND platformInputWindow();

// Input as it comes from the user: posted to the input window's queue with Windows' wParam/lParam; the key
// state changes when the message is taken from the queue (GetKeyState then reports it). Keys use
// virtual-key codes (VK_*). Mouse positions are client pixels; negative or large values wrap to 16 bits.
// Ignored when there is no input window.
void platformPostKey(int virtKey, bool down);
void platformPostMouseMove(int x, int y);
void platformPostMouseButton(int x, int y, bool down); // left button

// Observer of the input as the system receives it: called with every posted message that PeekMessageA
// removes from the queue (PM_REMOVE), after the key state has followed it and before it is returned.
// Null (the default, and after platformReset()): none. cave-demo's --record writes these messages.
typedef void (*PlatformMessageObserver)(const MSG& msg);
void platformSetMessageObserver(PlatformMessageObserver observer);

// Window events as a backend reports them; sent to the window procedure at once (as Windows sends them).
void platformSendActivate(HWND hwnd, WORD code);               // WM_ACTIVATE with WA_*
void platformSendClose(HWND hwnd);                             // WM_CLOSE (the user closes the window)
void platformWindowMoved(HWND hwnd, int clientX, int clientY); // records the new client origin
void platformInvalidate(HWND hwnd);                            // the window needs a WM_PAINT

// Message boxes shown so far, each as "caption: text", oldest first (for tests and headless runs).
int platformMessageBoxCount();
const char* platformMessageBoxText(int index); // null when out of range

// Bitmaps and device contexts over pixel memory (GDI objects of the core).
// A bitmap of 32-bit pixels 0x00RRGGBB, top row first, as LoadImageA makes them. Returns null if the size
// is not positive. `pixels` may be null (all black).
HBITMAP platformCreateBitmap(int width, int height, const uint32_t* pixels);
// Pixels of a bitmap (top row first, 0x00RRGGBB), or null if `bitmap` is not one.
const uint32_t* platformBitmapPixels(HBITMAP bitmap);
// A device context over caller-owned pixel memory, as a surface's GetDC gives: `bitCount` 16 or 32,
// `pitch` bytes per row, channel masks (e.g. 0xF800, 0x07E0, 0x001F for 5-6-5). Delete with DeleteDC.
HDC platformCreatePixelDC(void* bits, int width, int height, int pitch, DWORD bitCount, DWORD redMask,
                          DWORD greenMask, DWORD blueMask);

// Pixel formats as Direct3D 7 reports them (platform extension), shared by the implementations:
// DDPF_ZBUFFER [| DDPF_STENCILBUFFER] with the z bits above the stencil bits, and DDPF_RGB
// [| DDPF_ALPHAPIXELS] with the given channel masks.
DDPIXELFORMAT platformZBufferFormat(DWORD zBits, DWORD stencilBits = 0);
DDPIXELFORMAT platformRgbFormat(DWORD bits, DWORD redMask, DWORD greenMask, DWORD blueMask,
                                DWORD alphaMask = 0);

// ---------------------------------------------------------------------------------------------------------
// Choice of implementation (platform extension)
// ---------------------------------------------------------------------------------------------------------
// A factory that makes the DirectDraw object of one implementation (OpenGL or recorded), given the
// arguments of DirectDrawCreateEx (`directDraw` is not null and already set to null).
typedef HRESULT (*PlatformDirectDrawFactory)(GUID* guid, REFIID iid, IUnknown* outer,
                                             IDirectDraw7** directDraw);
// Installs the implementation DirectDrawCreateEx uses (null: none, DirectDrawCreateEx fails with
// DDERR_NOTINITIALIZED). platformStartSdl() installs OpenGL; recordReset() installs the recorder.
void platformSetDirectDrawFactory(PlatformDirectDrawFactory factory);
