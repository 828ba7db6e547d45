// device.h -- DirectDraw / Direct3D device set-up: surfaces, device, viewport, projection, material, light
#pragma once

#include <cstring>

#include "math/vector_math.h"
#include "platform/d3d7.h"

// Interface pointers, created by initDirect3D and released in reverse order by the shutdown
// (shutdownDirect3D in app/shell.h). Each is null when absent; releasing one sets it to null.
extern IDirectDraw7* directDraw;            // the DirectDraw object
extern IDirectDrawSurface7* primarySurface; // the visible surface (the window's client area when windowed)
extern IDirectDrawSurface7* backBuffer;     // the 640 x 480 render target
extern IDirectDrawSurface7* zBuffer;        // depth surface attached to backBuffer
extern IDirect3D7* direct3D;                // obtained from directDraw
extern IDirect3DDevice7* d3dDevice;         // the device all drawing goes through

extern HWND mainWindow;     // the window given to initDirect3D
extern char hardwareDevice; // 1: the HAL device is used (video memory); 0: the RGB software device
extern char fullScreen;     // full-screen set-up and page flipping; 0 and never set: the demo runs windowed
extern HRESULT lastResult;  // result of the latest DirectDraw / Direct3D call
extern bool startupFailed;  // set when the set-up could not create what drawing needs; the entry point
                            // then ends with a non-zero exit code

// Perspective projection with a 90-degree field of view in x and y, near plane at view depth 1 and no far
// plane: depth (z - 1) / z. Rows (1,0,0,0), (0,1,0,0), (0,0,1,1), (0,0,-1,0).
inline constexpr Matrix4 PROJECTION_TEMPLATE(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, -1, 0);

extern Matrix4 projectionMatrix;   // PROJECTION_TEMPLATE until set-up rescales y by the viewport's aspect
extern Matrix4 cameraPose;         // camera-to-world pose: rows right, up, forward, eye; identity at start
extern Matrix4 initialWorldMatrix; // identity; the world transform set once during set-up

constexpr DWORD VIEWPORT_WIDTH = 640; // pixels; also the back buffer's size
constexpr DWORD VIEWPORT_HEIGHT = 480;

// A Matrix4 as the device's matrix record; the layouts are the same, element (r, c) at 4r + c.
inline D3DMATRIX toD3DMatrix(const Matrix4& matrix) {
    D3DMATRIX out;
    std::memcpy(static_cast<void*>(&out), matrix.m, sizeof(out));
    return out;
}

// The scene set-up that initDirect3D runs as its last step and whose result it returns. The application
// installs its own (setupScene) before the window is created; null: initDirect3D returns 1 after the
// device set-up. The scene lives above this library, hence the pointer.
extern int (*sceneSetupFunction)();

// Creates the DirectDraw object, the primary surface, the back buffer with its z-buffer and the device
// (HAL if it offers a pure z-buffer format, else RGB), then sets the viewport, the projection, the
// material, light 0, the specular material source and the three transforms, and runs the scene set-up.
// Returns its result, or 0 when an object could not be created: the failure is then written to stderr
// (which object, with the platform's reason), startupFailed is set, and whatever was created stays in the
// globals for the shutdown to release. No z-buffer format on either device also fails the set-up.
int initDirect3D(HWND window);

// EnumZBufferFormats callback: copies the first format whose flags are exactly DDPF_ZBUFFER (no stencil)
// into the DDPIXELFORMAT at `target` and stops; goes on past every other format.
HRESULT CALLBACK findZBufferFormat(LPDDPIXELFORMAT candidate, LPVOID target);

// The published name of a result code ("DDERR_GENERIC", "E_NOINTERFACE", ...), or its value in hex
// ("0x88760123") for one without a name here. The text lives in a static buffer for unnamed codes.
const char* resultName(HRESULT result);

// Releases every interface that exists, device first and DirectDraw last, and sets each to null.
void releaseDeviceObjects();

// Starts clean for tests: releases the interfaces, clears mainWindow, hardwareDevice, fullScreen,
// lastResult, startupFailed and sceneSetupFunction, and restores the three matrices to their start values.
void resetDevice();
