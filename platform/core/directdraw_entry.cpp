// directdraw_entry.cpp -- the DirectX interface identifiers and DirectDrawCreateEx over the installed
// implementation.
#include "platform/d3d7.h"
#include "platform/core/platform_core.h"

#include <cstring>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDirectDraw7 = {0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
const IID IID_IDirectDrawSurface7 = {
    0x06675a80, 0x3b9b, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
const IID IID_IDirect3D7 = {0xf5049e77, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};
const IID IID_IDirect3DDevice7 = {
    0xf5049e79, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};
const CLSID IID_IDirect3DHALDevice = {
    0x84e63de0, 0x46aa, 0x11cf, {0x81, 0x6f, 0x00, 0x00, 0xc0, 0x20, 0x15, 0x6e}};
const CLSID IID_IDirect3DRGBDevice = {
    0xa4665c60, 0x2673, 0x11cf, {0xa3, 0x1a, 0x00, 0xaa, 0x00, 0xb9, 0x33, 0x56}};
const CLSID IID_IDirect3DTnLHalDevice = {
    0xf5049e78, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};

namespace {
PlatformDirectDrawFactory installedFactory = nullptr; // implementation behind DirectDrawCreateEx
}

void platformSetDirectDrawFactory(PlatformDirectDrawFactory factory) {
    installedFactory = factory;
}

HRESULT WINAPI DirectDrawCreateEx(GUID* guid, LPVOID* directDraw, REFIID iid, IUnknown* outer) {
    if (!directDraw) return DDERR_INVALIDPARAMS;
    *directDraw = nullptr;
    if (!installedFactory) return DDERR_NOTINITIALIZED;
    IDirectDraw7* dd = nullptr;
    HRESULT hr = installedFactory(guid, iid, outer, &dd);
    if (FAILED(hr)) {
        if (dd) dd->Release();
        return hr;
    }
    *directDraw = dd;
    return dd ? DD_OK : DDERR_GENERIC;
}

DDPIXELFORMAT platformZBufferFormat(DWORD zBits, DWORD stencilBits) {
    DDPIXELFORMAT f;
    std::memset(&f, 0, sizeof f);
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_ZBUFFER | (stencilBits ? DDPF_STENCILBUFFER : 0);
    f.dwZBufferBitDepth = zBits + stencilBits;
    f.dwStencilBitDepth = stencilBits;
    f.dwZBitMask = zBits >= 32 ? 0xFFFFFFFFu : ((1u << zBits) - 1) << stencilBits;
    f.dwStencilBitMask = stencilBits ? (1u << stencilBits) - 1 : 0;
    return f;
}

DDPIXELFORMAT platformRgbFormat(DWORD bits, DWORD redMask, DWORD greenMask, DWORD blueMask, DWORD alphaMask) {
    DDPIXELFORMAT f;
    std::memset(&f, 0, sizeof f);
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (alphaMask ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = redMask;
    f.dwGBitMask = greenMask;
    f.dwBBitMask = blueMask;
    f.dwRGBAlphaBitMask = alphaMask;
    return f;
}
