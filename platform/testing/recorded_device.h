// recorded_device.h -- a DirectDraw 7 / Direct3D 7 implementation that records every call, for tests.
//
// recordReset() installs it as the implementation of DirectDrawCreateEx and starts an empty log. Every call
// on its objects then appends one line of text, for example
//     DirectDrawCreateEx(null, IID_IDirectDraw7) -> ddraw1
//     ddraw1.SetCooperativeLevel(hwnd, DDSCL_NORMAL)
//     ddraw1.CreateSurface(flags=DDSD_CAPS caps=DDSCAPS_PRIMARYSURFACE) -> primary1
//     d3d1.EnumZBufferFormats(IID_IDirect3DHALDevice)
//     device1.SetRenderState(D3DRENDERSTATE_LIGHTING, 1)
//     device1.SetTransform(D3DTRANSFORMSTATE_WORLD, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])
//     device1.DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, 48, D3DDP_WAIT)
//     texture1.Release() -> 0
// Objects are named by kind and creation order: ddraw1, d3d1, device1, and surfaces by role (primary1,
// target1 for an off-screen 3D surface, zbuffer1, texture1, texture2, ..., surface1 for any other).
// Floats are printed with %g; flags by their published names joined with '|'; unknown values in hex.
// A call that fails appends " = FAILED" to its line.
//
// Its behaviour is configurable: the formats it enumerates and which calls fail (RecordConfig::failing).
// Texture surfaces keep real 16-bit pixel memory, so GetDC + BitBlt fill them as on Windows.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/d3d7.h"

struct RecordConfig {
    // Formats offered by EnumZBufferFormats for the hardware and the software device, in this order.
    // Default: hardware offers 24-bit z with 8-bit stencil, then 16-bit z; software offers 16-bit z.
    std::vector<DDPIXELFORMAT> halZBufferFormats;
    std::vector<DDPIXELFORMAT> rgbZBufferFormats;
    // Formats offered by EnumTextureFormats. Default: 5-5-5 with 1-bit alpha, 5-6-5, 4-4-4-4, 32-bit ARGB.
    std::vector<DDPIXELFORMAT> textureFormats;
    // A call fails (DDERR_GENERIC, out pointers null) when its log line without the " -> name" part starts
    // with one of these, e.g. "d3d1.CreateDevice(IID_IDirect3DHALDevice" or "DirectDrawCreateEx".
    // Surface creation can be matched by role prefix: "CreateSurface:texture" fails every texture.
    std::vector<std::string> failing;

    RecordConfig(); // the defaults above, nothing failing
};

// Pixel formats as Direct3D 7 reports them.
DDPIXELFORMAT recordZBufferFormat(DWORD zBits, DWORD stencilBits = 0); // DDPF_ZBUFFER [| DDPF_STENCILBUFFER]
DDPIXELFORMAT recordRgbFormat(DWORD bits, DWORD redMask, DWORD greenMask, DWORD blueMask,
                              DWORD alphaMask = 0);

// Installs the recorder as the DirectDraw implementation with this configuration and clears the log.
// Objects of an earlier run that are still alive keep working but are no longer counted.
void recordReset(const RecordConfig& config = RecordConfig());

// The log, oldest first, and the result of each call (same index).
const std::vector<std::string>& recordCalls();
const std::vector<HRESULT>& recordResults();
void recordClearCalls();
// The lines whose method name (the part after '.') is `method`, in order.
std::vector<std::string> recordCallsTo(const std::string& method);

// Number of recorder objects created since recordReset() that have not been released to zero.
int recordLiveObjects();
// The log name of an object of the recorder ("texture1"), or "null" / "?" .
std::string recordName(const IUnknown* object);

// State of the most recently created device, as the calls left it.
struct RecordDeviceState {
    std::map<DWORD, DWORD> renderStates; // only the states that were set
    D3DMATRIX world, view, projection;   // identity until set
    D3DVIEWPORT7 viewport;               // 0 x 0 until set
    D3DMATERIAL7 material;               // zero until set
    D3DLIGHT7 lights[8];                 // zero until set
    bool lightEnabled[8];
    IDirectDrawSurface7* texture; // stage 0, null when none
    bool inScene;                 // between BeginScene and EndScene
    int scenes;                   // EndScene calls that succeeded
    int draws;                    // DrawPrimitive calls that succeeded
    const void* lastVertices;     // vertex pointer of the last DrawPrimitive
    DWORD lastVertexCount;
};
const RecordDeviceState* recordDevice(); // null before a device was created

// The pixel memory of a recorder surface (16 or 32 bits per pixel as its format says, rows of `pitch`
// bytes), or null. Written by BitBlt into the surface's device context.
const void* recordSurfacePixels(IDirectDrawSurface7* surface, int* pitch);

// Marks every live surface as lost (IsLost reports DDERR_SURFACELOST until Restore).
void recordLoseSurfaces();
