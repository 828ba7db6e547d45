// recorded_device_test.cpp -- the recorded DirectDraw / Direct3D device: log lines, configuration, failures.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/testing/recorded_device.h"
#include "platform/core/platform_core.h"

namespace {

// Picks the first pure z-buffer format, as the system's callback does.
HRESULT CALLBACK pickPureZ(LPDDPIXELFORMAT f, LPVOID ctx) {
    if (f->dwFlags == DDPF_ZBUFFER) {
        std::memcpy(ctx, f, sizeof *f);
        return D3DENUMRET_CANCEL;
    }
    return D3DENUMRET_OK;
}

HRESULT CALLBACK pick16BitRgb(LPDDPIXELFORMAT f, LPVOID ctx) {
    if (!(f->dwFlags & DDPF_ALPHAPIXELS) && f->dwRGBBitCount == 16) {
        std::memcpy(ctx, f, sizeof *f);
        return D3DENUMRET_CANCEL;
    }
    return D3DENUMRET_OK;
}

int countCalls;
HRESULT CALLBACK countAll(LPDDPIXELFORMAT, LPVOID) {
    ++countCalls;
    return D3DENUMRET_OK;
}

DDSURFACEDESC2 describe(DWORD flags, DWORD caps, DWORD w, DWORD h) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = DDSURFACEDESC2_WINDOWS_SIZE; // the 32-bit size, accepted as well
    d.dwFlags = flags;
    d.ddsCaps.dwCaps = caps;
    d.dwWidth = w;
    d.dwHeight = h;
    return d;
}

struct Objects {
    IDirectDraw7* dd = nullptr;
    IDirect3D7* d3d = nullptr;
    IDirectDrawSurface7* primary = nullptr;
    IDirectDrawSurface7* target = nullptr;
    IDirectDrawSurface7* zbuffer = nullptr;
    IDirect3DDevice7* device = nullptr;
    bool hardware = false;
};

// The windowed set-up: software fallback when the hardware device has no pure z-buffer format.
Objects setUpWindowed() {
    Objects o;
    EXPECT_EQ(DirectDrawCreateEx(nullptr, (LPVOID*)&o.dd, IID_IDirectDraw7, nullptr), DD_OK);
    if (!o.dd) return o;
    o.dd->SetCooperativeLevel((HWND)1, DDSCL_NORMAL);
    DDSURFACEDESC2 d = describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE, 0, 0);
    o.dd->CreateSurface(&d, &o.primary, nullptr);
    o.dd->QueryInterface(IID_IDirect3D7, (LPVOID*)&o.d3d);
    DDPIXELFORMAT z;
    std::memset(&z, 0, sizeof z);
    o.d3d->EnumZBufferFormats(IID_IDirect3DHALDevice, pickPureZ, &z);
    o.hardware = true;
    if (z.dwSize != sizeof z) {
        o.d3d->EnumZBufferFormats(IID_IDirect3DRGBDevice, pickPureZ, &z);
        o.hardware = false;
    }
    DWORD mem = o.hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
    d = describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | mem, 640,
                 480);
    o.dd->CreateSurface(&d, &o.target, nullptr);
    d = describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT, DDSCAPS_ZBUFFER | mem, 640, 480);
    d.ddpfPixelFormat = z;
    o.dd->CreateSurface(&d, &o.zbuffer, nullptr);
    if (o.target && o.zbuffer) o.target->AddAttachedSurface(o.zbuffer);
    o.d3d->CreateDevice(o.hardware ? IID_IDirect3DHALDevice : IID_IDirect3DRGBDevice, o.target, &o.device);
    return o;
}

void releaseAll(Objects& o) {
    for (IUnknown** p : {(IUnknown**)&o.device, (IUnknown**)&o.zbuffer, (IUnknown**)&o.d3d,
                         (IUnknown**)&o.target, (IUnknown**)&o.primary, (IUnknown**)&o.dd})
        if (*p) {
            (*p)->Release();
            *p = nullptr;
        }
}

TEST(RecordDevice, SetUpSequenceAndFallbackToSoftware) {
    RecordConfig config;
    config.halZBufferFormats = {recordZBufferFormat(24, 8), recordZBufferFormat(15, 1)}; // stencil only
    recordReset(config);
    Objects o = setUpWindowed();
    ASSERT_NE(o.device, nullptr);
    EXPECT_FALSE(o.hardware);
    std::vector<std::string> expected = {
        "DirectDrawCreateEx(null, IID_IDirectDraw7) -> ddraw1",
        "ddraw1.SetCooperativeLevel(hwnd, DDSCL_NORMAL)",
        "ddraw1.CreateSurface(flags=DDSD_CAPS caps=DDSCAPS_PRIMARYSURFACE) -> primary1",
        "ddraw1.QueryInterface(IID_IDirect3D7) -> d3d1",
        "d3d1.EnumZBufferFormats(IID_IDirect3DHALDevice)",
        "d3d1.EnumZBufferFormats(IID_IDirect3DRGBDevice)",
        "ddraw1.CreateSurface(flags=DDSD_CAPS|DDSD_HEIGHT|DDSD_WIDTH "
        "caps=DDSCAPS_OFFSCREENPLAIN|DDSCAPS_3DDEVICE|DDSCAPS_SYSTEMMEMORY 640x480) -> target1",
        "ddraw1.CreateSurface(flags=DDSD_CAPS|DDSD_HEIGHT|DDSD_WIDTH|DDSD_PIXELFORMAT "
        "caps=DDSCAPS_ZBUFFER|DDSCAPS_SYSTEMMEMORY 640x480 format={DDPF_ZBUFFER 16 z=0xFFFF}) -> zbuffer1",
        "target1.AddAttachedSurface(zbuffer1)",
        "d3d1.CreateDevice(IID_IDirect3DRGBDevice, target1) -> device1",
    };
    EXPECT_EQ(recordCalls(), expected);
    EXPECT_EQ(recordLiveObjects(), 6);
    // The tear-down order of the system releases everything: the device and the target let go of the
    // surfaces they hold.
    recordClearCalls();
    releaseAll(o);
    EXPECT_EQ(recordLiveObjects(), 0);
    EXPECT_EQ(recordCalls().front(), "device1.Release() -> 0");
}

TEST(RecordDevice, HardwareChosenWhenItOffersAPureZBuffer) {
    recordReset(); // default: hardware offers 24+8 stencil, then pure 16
    Objects o = setUpWindowed();
    EXPECT_TRUE(o.hardware);
    EXPECT_EQ(recordCallsTo("CreateDevice").at(0),
              "d3d1.CreateDevice(IID_IDirect3DHALDevice, target1) -> device1");
    releaseAll(o);

    // The enumeration stops at D3DENUMRET_CANCEL and otherwise offers every format in order.
    recordReset();
    o = setUpWindowed();
    countCalls = 0;
    o.d3d->EnumZBufferFormats(IID_IDirect3DHALDevice, countAll, nullptr);
    EXPECT_EQ(countCalls, 2);
    countCalls = 0;
    o.device->EnumTextureFormats(countAll, nullptr);
    EXPECT_EQ(countCalls, 4);
    EXPECT_EQ(o.d3d->EnumZBufferFormats(IID_IDirect3DHALDevice, nullptr, nullptr), DDERR_INVALIDPARAMS);
    releaseAll(o);
}

TEST(RecordDevice, ConfiguredFailuresAreRealFailures) {
    RecordConfig config;
    config.failing = {"d3d1.CreateDevice(IID_IDirect3DHALDevice"};
    recordReset(config);
    Objects o = setUpWindowed();
    EXPECT_TRUE(o.hardware);
    EXPECT_EQ(o.device, nullptr); // out pointer null on failure
    EXPECT_EQ(recordCalls().back(), "d3d1.CreateDevice(IID_IDirect3DHALDevice, target1) = FAILED");
    EXPECT_EQ(recordResults().back(), DDERR_GENERIC);
    releaseAll(o);

    config.failing = {"DirectDrawCreateEx"};
    recordReset(config);
    IDirectDraw7* dd = (IDirectDraw7*)1;
    EXPECT_TRUE(FAILED(DirectDrawCreateEx(nullptr, (LPVOID*)&dd, IID_IDirectDraw7, nullptr)));
    EXPECT_EQ(dd, nullptr);
    EXPECT_EQ(recordLiveObjects(), 0);

    // With no implementation installed, DirectDrawCreateEx fails instead of returning nothing.
    platformSetDirectDrawFactory(nullptr);
    EXPECT_EQ(DirectDrawCreateEx(nullptr, (LPVOID*)&dd, IID_IDirectDraw7, nullptr), DDERR_NOTINITIALIZED);
}

TEST(RecordDevice, TextureSurfacesAndTheirDeviceContext) {
    recordReset();
    Objects o = setUpWindowed();
    ASSERT_NE(o.device, nullptr);
    DDSURFACEDESC2 d = describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE,
                                DDSCAPS_TEXTURE, 3, 1);
    d.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    IDirectDrawSurface7* tex = (IDirectDrawSurface7*)1;
    // No format chosen: the pixel format is all zero and creation fails.
    EXPECT_EQ(o.dd->CreateSurface(&d, &tex, nullptr), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(tex, nullptr);
    o.device->EnumTextureFormats(pick16BitRgb, &d.ddpfPixelFormat);
    EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, 0xF800u); // 5-6-5, the first 16-bit format without alpha
    ASSERT_EQ(o.dd->CreateSurface(&d, &tex, nullptr), DD_OK);
    EXPECT_EQ(recordName(tex), "texture1");

    const uint32_t px[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    HBITMAP bm = platformCreateBitmap(3, 1, px);
    HDC mem = CreateCompatibleDC(nullptr);
    SelectObject(mem, bm);
    HDC dc = nullptr;
    ASSERT_EQ(tex->GetDC(&dc), DD_OK);
    HDC second = nullptr;
    EXPECT_EQ(tex->GetDC(&second), DDERR_DCALREADYCREATED);
    EXPECT_TRUE(BitBlt(dc, 0, 0, 3, 1, mem, 0, 0, SRCCOPY));
    EXPECT_EQ(tex->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(tex->ReleaseDC(dc), DDERR_INVALIDPARAMS);
    DeleteDC(mem);
    DeleteObject(bm);
    int pitch = 0;
    const uint16_t* pixels = static_cast<const uint16_t*>(recordSurfacePixels(tex, &pitch));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pitch, 6);
    EXPECT_EQ(pixels[0], 0xF800);
    EXPECT_EQ(pixels[1], 0x07E0);
    EXPECT_EQ(pixels[2], 0x001F);

    // A lost texture refuses its DC until restored.
    recordLoseSurfaces();
    EXPECT_EQ(tex->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(tex->GetDC(&dc), DDERR_SURFACELOST);
    EXPECT_EQ(tex->Restore(), DD_OK);
    EXPECT_EQ(tex->IsLost(), DD_OK);

    // Every texture creation can be made to fail.
    RecordConfig config;
    config.failing = {"CreateSurface:texture"};
    recordReset(config);
    Objects p = setUpWindowed();
    ASSERT_NE(p.device, nullptr);
    IDirectDrawSurface7* none = nullptr;
    EXPECT_EQ(p.dd->CreateSurface(&d, &none, nullptr), DDERR_GENERIC);
    releaseAll(p);
    tex->Release();
    releaseAll(o);
}

TEST(RecordDevice, FrameCallsAndDeviceState) {
    recordReset();
    Objects o = setUpWindowed();
    ASSERT_NE(o.device, nullptr);
    recordClearCalls();
    IDirect3DDevice7* dev = o.device;
    float vertices[3 * 8] = {};
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, vertices, 3, D3DDP_WAIT),
              D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(dev->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->BeginScene(), D3DERR_SCENE_IN_SCENE);
    dev->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1;
    m._42 = 160;
    dev->SetTransform(D3DTRANSFORMSTATE_WORLD, &m);
    EXPECT_EQ(dev->SetTransform(D3DTRANSFORMSTATE_VIEW, nullptr), DDERR_INVALIDPARAMS);
    dev->SetTexture(0, nullptr);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, vertices, 0, D3DDP_WAIT),
              D3D_OK); // draws nothing
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, vertices, 3, D3DDP_WAIT), D3D_OK);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x152, vertices, 3, D3DDP_WAIT),
              D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, nullptr, 3, D3DDP_WAIT), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dev->EndScene(), D3D_OK);
    RECT src = {0, 0, 640, 480};
    EXPECT_EQ(o.primary->BltFast(8, 31, o.target, &src, DDBLTFAST_WAIT), DD_OK);
    RECT tooBig = {0, 0, 641, 480};
    EXPECT_EQ(o.primary->BltFast(8, 31, o.target, &tooBig, DDBLTFAST_WAIT), DDERR_INVALIDPARAMS);

    const std::vector<std::string>& calls = recordCalls();
    EXPECT_EQ(calls[2], "device1.Clear(0, null, D3DCLEAR_TARGET|D3DCLEAR_ZBUFFER, 0x0, 1, 0)");
    EXPECT_EQ(calls[5], "device1.SetRenderState(D3DRENDERSTATE_CULLMODE, 3)");
    EXPECT_EQ(calls[6], "device1.SetTransform(D3DTRANSFORMSTATE_WORLD, [1 0 0 0 0 1 0 0 0 0 1 0 0 160 0 1])");
    EXPECT_EQ(calls[8], "device1.SetTexture(0, null)");
    EXPECT_EQ(calls[9], "device1.DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, 0, D3DDP_WAIT)");
    EXPECT_EQ(recordCallsTo("BltFast").at(0),
              "primary1.BltFast(8, 31, target1, {0,0,640,480}, DDBLTFAST_WAIT)");

    const RecordDeviceState* s = recordDevice();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->renderStates.at(D3DRENDERSTATE_CULLMODE), DWORD(D3DCULL_CCW));
    EXPECT_EQ(s->world._42, 160.0f);
    EXPECT_EQ(s->view._11, 1.0f); // identity until set
    EXPECT_EQ(s->draws, 2);
    EXPECT_EQ(s->scenes, 1);
    EXPECT_EQ(s->lastVertices, vertices);
    EXPECT_EQ(s->lastVertexCount, 3u);

    // The viewport must fit the render target; GetViewport returns what was set.
    D3DVIEWPORT7 vp = {0, 0, 640, 480, 0.0f, 1.0f};
    EXPECT_EQ(dev->SetViewport(&vp), D3D_OK);
    D3DVIEWPORT7 back = {};
    EXPECT_EQ(dev->GetViewport(&back), D3D_OK);
    EXPECT_EQ(back.dwWidth, 640u);
    EXPECT_EQ(back.dwHeight, 480u);
    vp.dwWidth = 641;
    EXPECT_EQ(dev->SetViewport(&vp), DDERR_INVALIDPARAMS);
    // Clearing depth without an attached z-buffer fails.
    DDSURFACEDESC2 d =
        describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 64, 64);
    IDirectDrawSurface7* bare = nullptr;
    ASSERT_EQ(o.dd->CreateSurface(&d, &bare, nullptr), DD_OK);
    IDirect3DDevice7* dev2 = nullptr;
    ASSERT_EQ(o.d3d->CreateDevice(IID_IDirect3DRGBDevice, bare, &dev2), D3D_OK);
    EXPECT_EQ(dev2->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_ZBUFFER_NOTPRESENT);
    dev2->Release();
    bare->Release();
    releaseAll(o);
    EXPECT_EQ(recordLiveObjects(), 0);
}

} // namespace
