// d3d7.h -- the DirectDraw 7 / Direct3D 7 subset the demo calls: interfaces, records, constants, results.
//
// Implementations: the OpenGL surfaces (platform/gl/surfaces.cpp) with two devices, OpenGL's fixed function
// (platform/gl/fixed_function_device.cpp) and GLSL shaders (platform/gl/shader_device.cpp), and a recorded
// device for tests (platform/testing/recorded_device.h). DirectDrawCreateEx creates the DirectDraw object of
// the implementation installed with platformSetDirectDrawFactory() (platform/core/platform_core.h); the SDL
// backend installs the OpenGL one of the chosen device, the browser backend the shader one, the recorder
// itself.
//
// What the system relies on (and the implementations guarantee):
// - every call returns a published result code; a failure is a real failure (FAILED(hr)) and the out
//   pointer is then null;
// - EnumZBufferFormats / EnumTextureFormats call the callback per format in the platform's order until it
//   returns D3DENUMRET_CANCEL; the hardware device (IID_IDirect3DHALDevice) offers z-buffer formats only
//   when OpenGL runs on a GPU, the software device (IID_IDirect3DRGBDevice) always;
// - the windowed primary surface is the window's client area; BltFast onto it takes a destination point in
//   screen pixels (ClientToScreen), copies the source rectangle of the back buffer and shows the frame;
// - GetDC / ReleaseDC on a texture give a GDI device context (BitBlt converts to the surface's format);
// - the device reproduces Direct3D 7 fixed-function results: row vectors (v x World x View x Projection),
//   depth 0..1 and less-or-equal, D3DCULL_CCW with y down, per-vertex lighting with specular, texture
//   modulated by the diffuse colour with point sampling, additive blending with SRCBLEND/DESTBLEND ONE;
// - a DrawPrimitive with a count of 0 draws nothing and succeeds.
#pragma once

#include "platform/win32.h"

#if defined(CAVE_REAL_WIN32)
// Built for the Windows host (platform/windows/): the real DirectDraw 7 and Direct3D 7 (ddraw.dll). The
// interfaces, records, constants and GUIDs are MinGW-w64's <ddraw.h> and <d3d.h>; nothing is routed.
#include <d3d.h>
#include <ddraw.h>
#else

// ---------------------------------------------------------------------------------------------------------
// GUIDs (used as tags: compared by value)
// ---------------------------------------------------------------------------------------------------------
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef GUID* LPGUID;

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool operator!=(const GUID& a, const GUID& b) {
    return !(a == b);
}

extern const IID IID_IUnknown;
extern const IID IID_IDirectDraw7;
extern const IID IID_IDirectDrawSurface7;
extern const IID IID_IDirect3D7;
extern const IID IID_IDirect3DDevice7;
extern const CLSID IID_IDirect3DHALDevice;
extern const CLSID IID_IDirect3DRGBDevice;
extern const CLSID IID_IDirect3DTnLHalDevice;

// ---------------------------------------------------------------------------------------------------------
// Results
// ---------------------------------------------------------------------------------------------------------
#define MAKE_DDHRESULT(code) ((HRESULT)(0x88760000u | (DWORD)(code)))
#define S_OK ((HRESULT)0)
#define DD_OK S_OK
#define D3D_OK S_OK
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define DDERR_GENERIC E_FAIL
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_SURFACEALREADYATTACHED MAKE_DDHRESULT(410)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NODC MAKE_DDHRESULT(583)
#define DDERR_DCALREADYCREATED MAKE_DDHRESULT(620)
#define DDERR_NOTINITIALIZED ((HRESULT)0x800401F0u)
#define D3DERR_INVALID_DEVICE MAKE_DDHRESULT(705)
#define D3DERR_SCENE_IN_SCENE MAKE_DDHRESULT(770)
#define D3DERR_SCENE_NOT_IN_SCENE MAKE_DDHRESULT(771)
#define D3DERR_LIGHT_SET_FAILED MAKE_DDHRESULT(750)
#define D3DERR_ZBUFFER_NOTPRESENT MAKE_DDHRESULT(769)
#define D3DERR_VIEWPORTHASNODEVICE MAKE_DDHRESULT(781)
#define D3DERR_INVALIDVERTEXFORMAT MAKE_DDHRESULT(2042)

// ---------------------------------------------------------------------------------------------------------
// DirectDraw records and constants
// ---------------------------------------------------------------------------------------------------------
struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

// 32 bytes.
struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwYUVBitCount;
        DWORD dwZBufferBitDepth;
        DWORD dwAlphaBitDepth;
        DWORD dwLuminanceBitCount;
        DWORD dwBumpBitCount;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwYBitMask;
        DWORD dwStencilBitDepth;
        DWORD dwLuminanceBitMask;
        DWORD dwBumpDuBitMask;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwUBitMask;
        DWORD dwZBitMask;
        DWORD dwBumpDvBitMask;
    };
    union {
        DWORD dwBBitMask;
        DWORD dwVBitMask;
        DWORD dwStencilBitMask;
        DWORD dwBumpLuminanceBitMask;
    };
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwYUVAlphaBitMask;
        DWORD dwLuminanceAlphaBitMask;
        DWORD dwRGBZBitMask;
        DWORD dwYUVZBitMask;
    };
};
typedef DDPIXELFORMAT* LPDDPIXELFORMAT;
static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT is 32 bytes");

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    union {
        DWORD dwCaps4;
        DWORD dwVolumeDepth;
    };
};
typedef DDSCAPS2* LPDDSCAPS2;

// 124 bytes on 32-bit Windows; larger here because lpSurface is a 64-bit pointer. CreateSurface accepts
// dwSize == sizeof(DDSURFACEDESC2) and the Windows value 124 alike.
struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    union {
        DWORD dwBackBufferCount;
        DWORD dwDepth;
    };
    union {
        DWORD dwMipMapCount;
        DWORD dwRefreshRate;
        DWORD dwSrcVBHandle;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    union {
        DDCOLORKEY ddckCKDestOverlay;
        DWORD dwEmptyFaceColor;
    };
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    union {
        DDPIXELFORMAT ddpfPixelFormat;
        DWORD dwFVF;
    };
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};
typedef DDSURFACEDESC2* LPDDSURFACEDESC2;
#define DDSURFACEDESC2_WINDOWS_SIZE 124

// DDSURFACEDESC2 dwFlags.
#define DDSD_CAPS 0x00000001l
#define DDSD_HEIGHT 0x00000002l
#define DDSD_WIDTH 0x00000004l
#define DDSD_PITCH 0x00000008l
#define DDSD_BACKBUFFERCOUNT 0x00000020l
#define DDSD_ZBUFFERBITDEPTH 0x00000040l
#define DDSD_ALPHABITDEPTH 0x00000080l
#define DDSD_LPSURFACE 0x00000800l
#define DDSD_PIXELFORMAT 0x00001000l
#define DDSD_CKDESTOVERLAY 0x00002000l
#define DDSD_CKDESTBLT 0x00004000l
#define DDSD_CKSRCOVERLAY 0x00008000l
#define DDSD_CKSRCBLT 0x00010000l
#define DDSD_MIPMAPCOUNT 0x00020000l
#define DDSD_REFRESHRATE 0x00040000l
#define DDSD_LINEARSIZE 0x00080000l
#define DDSD_TEXTURESTAGE 0x00100000l
#define DDSD_FVF 0x00200000l

// DDSCAPS2 dwCaps.
#define DDSCAPS_ALPHA 0x00000002l
#define DDSCAPS_BACKBUFFER 0x00000004l
#define DDSCAPS_COMPLEX 0x00000008l
#define DDSCAPS_FLIP 0x00000010l
#define DDSCAPS_FRONTBUFFER 0x00000020l
#define DDSCAPS_OFFSCREENPLAIN 0x00000040l
#define DDSCAPS_OVERLAY 0x00000080l
#define DDSCAPS_PALETTE 0x00000100l
#define DDSCAPS_PRIMARYSURFACE 0x00000200l
#define DDSCAPS_SYSTEMMEMORY 0x00000800l
#define DDSCAPS_TEXTURE 0x00001000l
#define DDSCAPS_3DDEVICE 0x00002000l
#define DDSCAPS_VIDEOMEMORY 0x00004000l
#define DDSCAPS_VISIBLE 0x00008000l
#define DDSCAPS_WRITEONLY 0x00010000l
#define DDSCAPS_ZBUFFER 0x00020000l
#define DDSCAPS_OWNDC 0x00040000l
#define DDSCAPS_MIPMAP 0x00400000l
#define DDSCAPS_LOCALVIDMEM 0x10000000l
#define DDSCAPS_NONLOCALVIDMEM 0x20000000l
// DDSCAPS2 dwCaps2.
#define DDSCAPS2_TEXTUREMANAGE 0x00000010l
#define DDSCAPS2_D3DTEXTUREMANAGE 0x00020000l

// DDPIXELFORMAT dwFlags.
#define DDPF_ALPHAPIXELS 0x00000001l
#define DDPF_ALPHA 0x00000002l
#define DDPF_FOURCC 0x00000004l
#define DDPF_PALETTEINDEXED8 0x00000020l
#define DDPF_RGB 0x00000040l
#define DDPF_ZBUFFER 0x00000400l
#define DDPF_STENCILBUFFER 0x00004000l
#define DDPF_LUMINANCE 0x00020000l
#define DDPF_BUMPLUMINANCE 0x00040000l
#define DDPF_BUMPDUDV 0x00080000l

// SetCooperativeLevel.
#define DDSCL_FULLSCREEN 0x00000001l
#define DDSCL_ALLOWREBOOT 0x00000002l
#define DDSCL_NOWINDOWCHANGES 0x00000004l
#define DDSCL_NORMAL 0x00000008l
#define DDSCL_EXCLUSIVE 0x00000010l

// BltFast and Flip.
#define DDBLTFAST_NOCOLORKEY 0x00000000
#define DDBLTFAST_SRCCOLORKEY 0x00000001
#define DDBLTFAST_DESTCOLORKEY 0x00000002
#define DDBLTFAST_WAIT 0x00000010
#define DDFLIP_WAIT 0x00000001l

// ---------------------------------------------------------------------------------------------------------
// Direct3D records and constants
// ---------------------------------------------------------------------------------------------------------
typedef float D3DVALUE;
typedef DWORD D3DCOLOR; // 0xAARRGGBB

struct D3DCOLORVALUE {
    union {
        D3DVALUE r;
        D3DVALUE dvR;
    };
    union {
        D3DVALUE g;
        D3DVALUE dvG;
    };
    union {
        D3DVALUE b;
        D3DVALUE dvB;
    };
    union {
        D3DVALUE a;
        D3DVALUE dvA;
    };
};

struct D3DVECTOR {
    union {
        D3DVALUE x;
        D3DVALUE dvX;
    };
    union {
        D3DVALUE y;
        D3DVALUE dvY;
    };
    union {
        D3DVALUE z;
        D3DVALUE dvZ;
    };
};

// Row-major, row vectors on the left: the layout of the system's Matrix4 (element (r, c) at 4r + c).
struct D3DMATRIX {
    union {
        struct {
            D3DVALUE _11, _12, _13, _14;
            D3DVALUE _21, _22, _23, _24;
            D3DVALUE _31, _32, _33, _34;
            D3DVALUE _41, _42, _43, _44;
        };
        D3DVALUE m[4][4];
    };
};
typedef D3DMATRIX* LPD3DMATRIX;
static_assert(sizeof(D3DMATRIX) == 64, "D3DMATRIX is 16 floats");

struct D3DRECT {
    LONG x1;
    LONG y1;
    LONG x2;
    LONG y2;
};
typedef D3DRECT* LPD3DRECT;

struct D3DVIEWPORT7 {
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    D3DVALUE dvMinZ;
    D3DVALUE dvMaxZ;
};
typedef D3DVIEWPORT7* LPD3DVIEWPORT7;

struct D3DMATERIAL7 {
    union {
        D3DCOLORVALUE diffuse;
        D3DCOLORVALUE dcvDiffuse;
    };
    union {
        D3DCOLORVALUE ambient;
        D3DCOLORVALUE dcvAmbient;
    };
    union {
        D3DCOLORVALUE specular;
        D3DCOLORVALUE dcvSpecular;
    };
    union {
        D3DCOLORVALUE emissive;
        D3DCOLORVALUE dcvEmissive;
    };
    union {
        D3DVALUE power;
        D3DVALUE dvPower;
    };
};
typedef D3DMATERIAL7* LPD3DMATERIAL7;

enum D3DLIGHTTYPE {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
};

struct D3DLIGHT7 {
    D3DLIGHTTYPE dltType;
    D3DCOLORVALUE dcvDiffuse;
    D3DCOLORVALUE dcvSpecular;
    D3DCOLORVALUE dcvAmbient;
    D3DVECTOR dvPosition;
    D3DVECTOR dvDirection;
    D3DVALUE dvRange;
    D3DVALUE dvFalloff;
    D3DVALUE dvAttenuation0;
    D3DVALUE dvAttenuation1;
    D3DVALUE dvAttenuation2;
    D3DVALUE dvTheta;
    D3DVALUE dvPhi;
};
typedef D3DLIGHT7* LPD3DLIGHT7;

#define D3DLIGHT_RANGE_MAX ((float)1.8446743e19f) // sqrt(FLT_MAX)

enum D3DPRIMITIVETYPE {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum D3DTRANSFORMSTATETYPE {
    D3DTRANSFORMSTATE_WORLD = 1,
    D3DTRANSFORMSTATE_VIEW = 2,
    D3DTRANSFORMSTATE_PROJECTION = 3,
};

enum D3DRENDERSTATETYPE {
    D3DRENDERSTATE_ANTIALIAS = 2,
    D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_FILLMODE = 8,
    D3DRENDERSTATE_SHADEMODE = 9,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_ALPHATESTENABLE = 15,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_DITHERENABLE = 26,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_FOGENABLE = 28,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_COLORKEYENABLE = 41,
    D3DRENDERSTATE_LIGHTING = 137,
    D3DRENDERSTATE_AMBIENT = 139,
    D3DRENDERSTATE_COLORVERTEX = 141,
    D3DRENDERSTATE_LOCALVIEWER = 142,
    D3DRENDERSTATE_NORMALIZENORMALS = 143,
    D3DRENDERSTATE_DIFFUSEMATERIALSOURCE = 145,
    D3DRENDERSTATE_SPECULARMATERIALSOURCE = 146,
    D3DRENDERSTATE_AMBIENTMATERIALSOURCE = 147,
    D3DRENDERSTATE_EMISSIVEMATERIALSOURCE = 148,
};

// Values of render states.
#define D3DZB_FALSE 0
#define D3DZB_TRUE 1
#define D3DCULL_NONE 1
#define D3DCULL_CW 2
#define D3DCULL_CCW 3
#define D3DCMP_NEVER 1
#define D3DCMP_LESS 2
#define D3DCMP_EQUAL 3
#define D3DCMP_LESSEQUAL 4
#define D3DCMP_GREATER 5
#define D3DCMP_NOTEQUAL 6
#define D3DCMP_GREATEREQUAL 7
#define D3DCMP_ALWAYS 8
#define D3DBLEND_ZERO 1
#define D3DBLEND_ONE 2
#define D3DBLEND_SRCCOLOR 3
#define D3DBLEND_INVSRCCOLOR 4
#define D3DBLEND_SRCALPHA 5
#define D3DBLEND_INVSRCALPHA 6
#define D3DBLEND_DESTALPHA 7
#define D3DBLEND_INVDESTALPHA 8
#define D3DBLEND_DESTCOLOR 9
#define D3DBLEND_INVDESTCOLOR 10
#define D3DMCS_MATERIAL 0
#define D3DMCS_COLOR1 1
#define D3DMCS_COLOR2 2
#define D3DFILL_POINT 1
#define D3DFILL_WIREFRAME 2
#define D3DFILL_SOLID 3
#define D3DSHADE_FLAT 1
#define D3DSHADE_GOURAUD 2

// Clear flags.
#define D3DCLEAR_TARGET 0x00000001l
#define D3DCLEAR_ZBUFFER 0x00000002l
#define D3DCLEAR_STENCIL 0x00000004l

// Flexible vertex format. The system draws D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1 (0x112): 32 bytes of
// position, normal and texture coordinates, all floats.
#define D3DFVF_XYZ 0x002
#define D3DFVF_NORMAL 0x010
#define D3DFVF_DIFFUSE 0x040
#define D3DFVF_SPECULAR 0x080
#define D3DFVF_TEX1 0x100

// DrawPrimitive flags.
#define D3DDP_WAIT 0x00000001l

// Enumeration callback results.
#define D3DENUMRET_CANCEL 0
#define D3DENUMRET_OK 1

// Colour helpers.
#define RGBA_MAKE(r, g, b, a)                                                                                \
    ((D3DCOLOR)(((DWORD)(a) << 24) | ((DWORD)(r) << 16) | ((DWORD)(g) << 8) | (DWORD)(b)))
#define RGB_MAKE(r, g, b) ((D3DCOLOR)(((DWORD)(r) << 16) | ((DWORD)(g) << 8) | (DWORD)(b)))

typedef HRESULT(CALLBACK* LPD3DENUMPIXELFORMATSCALLBACK)(LPDDPIXELFORMAT format, LPVOID context);

// ---------------------------------------------------------------------------------------------------------
// Interfaces (abstract; reference-counted: a new object has one reference, Release drops one and destroys
// the object at zero)
// ---------------------------------------------------------------------------------------------------------
struct IUnknown;
struct IDirectDraw7;
struct IDirectDrawSurface7;
struct IDirect3D7;
struct IDirect3DDevice7;
typedef IUnknown* LPUNKNOWN;
typedef IDirectDraw7* LPDIRECTDRAW7;
typedef IDirectDrawSurface7* LPDIRECTDRAWSURFACE7;
typedef IDirect3D7* LPDIRECT3D7;
typedef IDirect3DDevice7* LPDIRECT3DDEVICE7;

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) = 0;
    virtual DWORD STDMETHODCALLTYPE AddRef() = 0;
    virtual DWORD STDMETHODCALLTYPE Release() = 0; // returns the references left

  protected:
    virtual ~IUnknown() = default;
};

struct IDirectDraw7 : IUnknown {
    // QueryInterface(IID_IDirect3D7) gives the Direct3D object.
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    // Full-screen only; not supported by the windowed implementations (DDERR_UNSUPPORTED).
    virtual HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD refreshRate,
                                                     DWORD flags) = 0;
    // Primary surface (DDSCAPS_PRIMARYSURFACE: the window given to SetCooperativeLevel), off-screen 3D
    // render target (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE), z-buffer (DDSCAPS_ZBUFFER with a z format
    // from EnumZBufferFormats) or texture (DDSCAPS_TEXTURE with a 16-bit RGB format from EnumTextureFormats).
    virtual HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* surface,
                                                    IUnknown* outer) = 0;
};

struct IDirectDrawSurface7 : IUnknown {
    // Attaches a z-buffer to a render target: depth testing on it from then on. The target holds a reference.
    virtual HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE7 attached) = 0;
    // Full-screen flipping chains only; DDERR_NOTFOUND otherwise.
    virtual HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* attached) = 0;
    // On the primary surface: copies `srcRect` (null: all) of `source` to the screen point (x, y).
    virtual HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT srcRect,
                                              DWORD flags) = 0;
    // Full-screen flipping chains only; DDERR_NOTFOUND otherwise.
    virtual HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE7 target, DWORD flags) = 0;
    // A device context over the surface's pixels (textures); ReleaseDC hands them back to the device.
    virtual HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC2 desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLost() = 0;  // DD_OK, or DDERR_SURFACELOST
    virtual HRESULT STDMETHODCALLTYPE Restore() = 0; // DD_OK when the surface holds its memory again
};

struct IDirect3D7 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumZBufferFormats(REFCLSID deviceGuid,
                                                         LPD3DENUMPIXELFORMATSCALLBACK callback,
                                                         LPVOID context) = 0;
    // The render target must be a 3D-capable surface of this DirectDraw object.
    virtual HRESULT STDMETHODCALLTYPE CreateDevice(REFCLSID deviceGuid, LPDIRECTDRAWSURFACE7 target,
                                                   LPDIRECT3DDEVICE7* device) = 0;
};

struct IDirect3DDevice7 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback,
                                                         LPVOID context) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginScene() = 0;
    virtual HRESULT STDMETHODCALLTYPE EndScene() = 0;
    // count 0 and rects null: the whole viewport. z in 0..1.
    virtual HRESULT STDMETHODCALLTYPE Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR color,
                                            D3DVALUE z, DWORD stencil) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetViewport(LPD3DVIEWPORT7 viewport) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetViewport(LPD3DVIEWPORT7 viewport) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMaterial(LPD3DMATERIAL7 material) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMaterial(LPD3DMATERIAL7 material) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLight(DWORD index, LPD3DLIGHT7 light) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLight(DWORD index, LPD3DLIGHT7 light) = 0;
    virtual HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) = 0;
    // Stage 0 only; null draws untextured. The device holds a reference to the texture while it is set.
    virtual HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) = 0;
    // D3DPT_TRIANGLELIST of 0x112 vertices (see D3DFVF_*); `count` vertices, a multiple of 3.
    virtual HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat,
                                                    LPVOID vertices, DWORD count, DWORD flags) = 0;
};

// Creates the DirectDraw object. `guid` null: the default display driver; `iid` must be IID_IDirectDraw7.
HRESULT WINAPI DirectDrawCreateEx(GUID* guid, LPVOID* directDraw, REFIID iid, IUnknown* outer);

#endif // CAVE_REAL_WIN32
