// gl_support.h -- a headless window with the windowed DirectDraw / Direct3D set-up, for OpenGL device tests.
#pragma once

#include <cstring>
#include <initializer_list>

#include "platform/d3d7.h"

// One vertex of the system's format 0x112.
struct TestVertex {
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
};
static_assert(sizeof(TestVertex) == 32, "the device reads 32-byte vertices");

inline LRESULT CALLBACK testWindowProc(HWND hwnd, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, m, wp, lp);
}

inline HRESULT CALLBACK firstPureZ(LPDDPIXELFORMAT f, LPVOID ctx) {
    if (f->dwFlags != DDPF_ZBUFFER) return D3DENUMRET_OK;
    std::memcpy(ctx, f, sizeof *f);
    return D3DENUMRET_CANCEL;
}

inline HRESULT CALLBACK first16BitRgb(LPDDPIXELFORMAT f, LPVOID ctx) {
    if ((f->dwFlags & (DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV | DDPF_ALPHAPIXELS)) ||
        f->dwFourCC || f->dwRGBBitCount != 16)
        return D3DENUMRET_OK;
    std::memcpy(ctx, f, sizeof *f);
    return D3DENUMRET_CANCEL;
}

// The window and the objects of the windowed set-up: a 640 x 480 client area, the primary surface, a
// 640 x 480 back buffer with a z-buffer, and the device (hardware when offered, software otherwise).
struct GlScene {
    HWND window = nullptr;
    IDirectDraw7* dd = nullptr;
    IDirect3D7* d3d = nullptr;
    IDirectDrawSurface7* primary = nullptr;
    IDirectDrawSurface7* back = nullptr;
    IDirectDrawSurface7* z = nullptr;
    IDirect3DDevice7* device = nullptr;
    bool hardware = false;

    bool open(PlatformMode mode = PlatformMode::Headless) {
        PlatformOptions options;
        options.mode = mode;
        if (!platformStartSdl(options)) return false;
        WNDCLASSA wc = {};
        wc.lpfnWndProc = testWindowProc;
        wc.lpszClassName = "hello";
        RegisterClassA(&wc);
        window = CreateWindowExA(WS_EX_APPWINDOW, "hello", "Test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                 nullptr, nullptr, nullptr, nullptr);
        if (!window) return false;
        RECT r;
        GetClientRect(window, &r);
        SetWindowPos(window, HWND_TOP, 0, 0, 1280 - r.right, 960 - r.bottom, SWP_NOOWNERZORDER);
        ShowWindow(window, SW_SHOW);
        if (FAILED(DirectDrawCreateEx(nullptr, (LPVOID*)&dd, IID_IDirectDraw7, nullptr))) return false;
        dd->SetCooperativeLevel(window, DDSCL_NORMAL);
        DDSURFACEDESC2 d = describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE, 0, 0);
        if (FAILED(dd->CreateSurface(&d, &primary, nullptr))) return false;
        if (FAILED(dd->QueryInterface(IID_IDirect3D7, (LPVOID*)&d3d))) return false;
        DDPIXELFORMAT zf;
        std::memset(&zf, 0, sizeof zf);
        d3d->EnumZBufferFormats(IID_IDirect3DHALDevice, firstPureZ, &zf);
        hardware = zf.dwSize == sizeof zf;
        if (!hardware) d3d->EnumZBufferFormats(IID_IDirect3DRGBDevice, firstPureZ, &zf);
        DWORD mem = hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
        d = describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | mem,
                     640, 480);
        if (FAILED(dd->CreateSurface(&d, &back, nullptr))) return false;
        d = describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT, DDSCAPS_ZBUFFER | mem, 640,
                     480);
        d.ddpfPixelFormat = zf;
        if (FAILED(dd->CreateSurface(&d, &z, nullptr))) return false;
        if (FAILED(back->AddAttachedSurface(z))) return false;
        if (FAILED(
                d3d->CreateDevice(hardware ? IID_IDirect3DHALDevice : IID_IDirect3DRGBDevice, back, &device)))
            return false;
        D3DVIEWPORT7 vp = {0, 0, 640, 480, 0.0f, 1.0f};
        return SUCCEEDED(device->SetViewport(&vp));
    }

    void close() {
        for (IUnknown** p : {(IUnknown**)&device, (IUnknown**)&z, (IUnknown**)&d3d, (IUnknown**)&back,
                             (IUnknown**)&primary, (IUnknown**)&dd})
            if (*p) {
                (*p)->Release();
                *p = nullptr;
            }
        platformStopSdl();
    }

    static DDSURFACEDESC2 describe(DWORD flags, DWORD caps, DWORD w, DWORD h) {
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        d.dwFlags = flags;
        d.ddsCaps.dwCaps = caps;
        d.dwWidth = w;
        d.dwHeight = h;
        return d;
    }

    // A 16-bit texture of the device's first 16-bit RGB format, filled from 0x00RRGGBB pixels via GDI.
    IDirectDrawSurface7* texture(int w, int h, const uint32_t* pixels) {
        HBITMAP bm = platformCreateBitmap(w, h, pixels);
        IDirectDrawSurface7* t = textureFromBitmap(bm);
        DeleteObject(bm);
        return t;
    }

    IDirectDrawSurface7* textureFromBitmap(HBITMAP bm) {
        BITMAP info = {};
        if (!GetObjectA(bm, sizeof info, &info)) return nullptr;
        DDSURFACEDESC2 d =
            describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE,
                     DDSCAPS_TEXTURE, DWORD(info.bmWidth), DWORD(info.bmHeight));
        device->EnumTextureFormats(first16BitRgb, &d.ddpfPixelFormat);
        IDirectDrawSurface7* t = nullptr;
        if (FAILED(dd->CreateSurface(&d, &t, nullptr))) return nullptr;
        HDC mem = CreateCompatibleDC(nullptr);
        SelectObject(mem, bm);
        HDC dc = nullptr;
        if (SUCCEEDED(t->GetDC(&dc))) {
            BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, mem, 0, 0, SRCCOPY);
            t->ReleaseDC(dc);
        }
        DeleteDC(mem);
        return t;
    }

    // Shows the back buffer in the window as the system does, and returns the client-area pixel (x, y).
    void present() {
        RECT src;
        GetClientRect(window, &src);
        POINT p = {0, 0};
        ClientToScreen(window, &p);
        primary->BltFast(DWORD(p.x), DWORD(p.y), back, &src, DDBLTFAST_WAIT);
    }
    static uint32_t pixel(int x, int y) {
        int w = 0, h = 0;
        const uint32_t* f = platformPresentedFrame(&w, &h);
        if (!f || x < 0 || y < 0 || x >= w || y >= h) return 0xDEADBEEF;
        return f[y * w + x];
    }
};

// A projection that maps vertex (x, y, z) to screen pixel (x, y), y down, depth z: row vectors, so
// x' = x/320 - 1, y' = 1 - y/240, z' = z, w' = 1.
inline D3DMATRIX screenProjection() {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = 2.0f / 640.0f;
    m._22 = -2.0f / 480.0f;
    m._33 = 1.0f;
    m._41 = -1.0f;
    m._42 = 1.0f;
    m._44 = 1.0f;
    return m;
}

inline D3DMATRIX identityMatrix() {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}
