// gl_support.h -- a headless window with the windowed DirectDraw / Direct3D set-up, for OpenGL device tests.
#pragma once

#include <cstring>
#include <cmath>
#include <initializer_list>
#include <ostream>

#include "platform/d3d7.h"
#include "platform/sdl/sdl_backend.h"

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

// Test names of the renderers, for parameterised tests.
inline const char* rendererName(PlatformRenderer r) {
    switch (r) {
    case PlatformRenderer::Shader:
        return "Shader";
    case PlatformRenderer::ShaderOnEs:
        return "ShaderOnEs";
    default:
        return "FixedFunction";
    }
}
inline void PrintTo(PlatformRenderer r, std::ostream* out) {
    *out << rendererName(r);
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

    bool open(PlatformMode mode = PlatformMode::Headless,
              PlatformRenderer renderer = PlatformRenderer::FixedFunction) {
        PlatformOptions options;
        options.mode = mode;
        options.renderer = renderer;
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

// The lit, textured triangle of triangle_png: the demo's projection, material and light, an 8 x 8
// checkerboard texture (16-bit like the demo's), a triangle tilted so that the light falls on it at an
// angle, with the specular highlight on. Draws one frame and presents it.
inline bool drawLitTexturedTriangle(GlScene& s) {
    // An 8 x 8 checkerboard of red and cream, 16-bit like the demo's textures.
    uint32_t check[64];
    for (int i = 0; i < 64; ++i)
        check[i] = ((i % 8) / 2 + (i / 8) / 2) % 2 ? 0xC02020 : 0xF0E0C0;
    IDirectDrawSurface7* tex = s.texture(8, 8, check);

    // The demo's projection, material and light.
    D3DMATRIX proj = {};
    proj._11 = 1.0f;
    proj._22 = 640.0f / 480.0f;
    proj._33 = 1.0f;
    proj._34 = 1.0f;
    proj._43 = -1.0f;
    D3DMATRIX id = identityMatrix();
    D3DMATERIAL7 m = {};
    m.diffuse = {{1}, {1}, {1}, {0}};
    m.ambient = {{1}, {1}, {1}, {0}};
    m.specular = {{1}, {1}, {1}, {0}};
    m.power = 10.0f;
    D3DLIGHT7 l = {};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse = {{0.8f}, {0.8f}, {0.8f}, {0}};
    l.dcvSpecular = {{1}, {1}, {1}, {0}};
    l.dcvAmbient = {{0.2f}, {0.2f}, {0.3f}, {0}};
    const float k = 1.0f / std::sqrt(0.75f);
    l.dvDirection = {{0.5f * k}, {-0.5f * k}, {0.5f * k}};
    l.dvRange = D3DLIGHT_RANGE_MAX;
    l.dvAttenuation1 = 1.0f;
    IDirect3DDevice7* d = s.device;
    d->SetMaterial(&m);
    d->SetLight(0, &l);
    d->LightEnable(0, TRUE);
    d->SetTransform(D3DTRANSFORMSTATE_WORLD, &id);
    d->SetTransform(D3DTRANSFORMSTATE_VIEW, &id);
    d->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);

    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00203040, 1.0f, 0);
    d->BeginScene();
    d->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    d->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
    d->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    d->SetTexture(0, tex);
    // Clockwise on screen (front face); tilted so that the light falls on it at an angle.
    const float n[3] = {-0.3f, 0.2f, -0.93f};
    TestVertex v[3] = {{-3, -2.5f, 8, n[0], n[1], n[2], 0, 1},
                       {0, 3, 9, n[0], n[1], n[2], 0.5f, 0},
                       {3.5f, -2, 10, n[0], n[1], n[2], 1, 1}};
    HRESULT drawn = d->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 3, D3DDP_WAIT);
    d->EndScene();
    s.present();
    d->SetTexture(0, nullptr);
    if (tex) tex->Release();
    return tex != nullptr && drawn == D3D_OK;
}
