// device.cpp -- DirectDraw / Direct3D device set-up and the device's globals
#include "render/device.h"

#include <cmath>
#include <cstdio>
#include <cstring>

IDirectDraw7* directDraw = nullptr;
IDirectDrawSurface7* primarySurface = nullptr;
IDirectDrawSurface7* backBuffer = nullptr;
IDirectDrawSurface7* zBuffer = nullptr;
IDirect3D7* direct3D = nullptr;
IDirect3DDevice7* d3dDevice = nullptr;

HWND mainWindow = nullptr;
char hardwareDevice = 0;
char fullScreen = 0;
HRESULT lastResult = 0;
bool startupFailed = false;

Matrix4 projectionMatrix = PROJECTION_TEMPLATE;
Matrix4 cameraPose = IDENTITY_MATRIX;
Matrix4 initialWorldMatrix = IDENTITY_MATRIX;

int (*sceneSetupFunction)() = nullptr;

namespace {

// Writes "cave-demo: set-up failed: <what> could not be created (<reason>)" and marks the start-up as
// failed; returns 0, the set-up's failure result.
int setupFailure(const char* what, HRESULT result) {
    std::fprintf(stderr, "cave-demo: set-up failed: %s could not be created (%s)\n", what,
                 resultName(result));
    startupFailed = true;
    return 0;
}

// A DDSURFACEDESC2 cleared and given its size: the platform's own size of the record, 124 bytes in a 32-bit
// build and 136 in a 64-bit one (64-bit DirectDraw refuses the 32-bit size).
void clearSurfaceDesc(DDSURFACEDESC2& desc) {
    std::memset(static_cast<void*>(&desc), 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
}

template <typename T> void releaseInterface(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

} // namespace

namespace {

struct ResultNameEntry {
    HRESULT code;
    const char* name;
};

// Published names of the results the platform returns; E_FAIL, E_NOTIMPL, E_OUTOFMEMORY and E_INVALIDARG
// carry their DirectDraw names.
const ResultNameEntry RESULT_NAMES[] = {
    {S_OK, "S_OK"},
    {E_NOTIMPL, "DDERR_UNSUPPORTED"},
    {E_NOINTERFACE, "E_NOINTERFACE"},
    {E_POINTER, "E_POINTER"},
    {E_FAIL, "DDERR_GENERIC"},
    {E_OUTOFMEMORY, "DDERR_OUTOFMEMORY"},
    {E_INVALIDARG, "DDERR_INVALIDPARAMS"},
    {DDERR_INVALIDCAPS, "DDERR_INVALIDCAPS"},
    {DDERR_INVALIDOBJECT, "DDERR_INVALIDOBJECT"},
    {DDERR_INVALIDPIXELFORMAT, "DDERR_INVALIDPIXELFORMAT"},
    {DDERR_NOTFOUND, "DDERR_NOTFOUND"},
    {DDERR_SURFACEALREADYATTACHED, "DDERR_SURFACEALREADYATTACHED"},
    {DDERR_SURFACELOST, "DDERR_SURFACELOST"},
    {DDERR_NOTFLIPPABLE, "DDERR_NOTFLIPPABLE"},
    {DDERR_NODC, "DDERR_NODC"},
    {DDERR_DCALREADYCREATED, "DDERR_DCALREADYCREATED"},
    {DDERR_NOTINITIALIZED, "DDERR_NOTINITIALIZED"},
    {D3DERR_INVALID_DEVICE, "D3DERR_INVALID_DEVICE"},
    {D3DERR_SCENE_IN_SCENE, "D3DERR_SCENE_IN_SCENE"},
    {D3DERR_SCENE_NOT_IN_SCENE, "D3DERR_SCENE_NOT_IN_SCENE"},
    {D3DERR_LIGHT_SET_FAILED, "D3DERR_LIGHT_SET_FAILED"},
    {D3DERR_ZBUFFER_NOTPRESENT, "D3DERR_ZBUFFER_NOTPRESENT"},
    {D3DERR_VIEWPORTHASNODEVICE, "D3DERR_VIEWPORTHASNODEVICE"},
    {D3DERR_INVALIDVERTEXFORMAT, "D3DERR_INVALIDVERTEXFORMAT"},
};

} // namespace

const char* resultName(HRESULT result) {
    for (const ResultNameEntry& entry : RESULT_NAMES)
        if (entry.code == result) return entry.name;
    static char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(result));
    return text;
}

HRESULT CALLBACK findZBufferFormat(LPDDPIXELFORMAT candidate, LPVOID target) {
    if (candidate == nullptr || target == nullptr) return D3DENUMRET_OK;
    // Exactly DDPF_ZBUFFER: a format with a stencil (or any other flag) does not qualify.
    if (candidate->dwFlags == DDPF_ZBUFFER) {
        std::memcpy(target, candidate, sizeof(DDPIXELFORMAT));
        return D3DENUMRET_CANCEL;
    }
    return D3DENUMRET_OK;
}

int initDirect3D(HWND window) {
    mainWindow = window;

    lastResult =
        DirectDrawCreateEx(nullptr, reinterpret_cast<LPVOID*>(&directDraw), IID_IDirectDraw7, nullptr);
    if (FAILED(lastResult) || directDraw == nullptr) return setupFailure("the DirectDraw object", lastResult);

    if (fullScreen) {
        lastResult = directDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE |
                                                                 DDSCL_NOWINDOWCHANGES);
        lastResult = directDraw->SetDisplayMode(640, 480, 16, 0, 0);
    } else {
        lastResult = directDraw->SetCooperativeLevel(window, DDSCL_NORMAL);
    }

    DDSURFACEDESC2 desc;
    clearSurfaceDesc(desc);
    if (fullScreen) {
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.dwBackBufferCount = 1;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    } else {
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    }
    lastResult = directDraw->CreateSurface(&desc, &primarySurface, nullptr);
    if (FAILED(lastResult) || primarySurface == nullptr)
        return setupFailure("the primary surface", lastResult);

    lastResult = directDraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<LPVOID*>(&direct3D));
    if (FAILED(lastResult) || direct3D == nullptr) return setupFailure("the Direct3D object", lastResult);

    // The hardware device when it offers a pure z-buffer format, else the RGB software device.
    DDPIXELFORMAT zFormat;
    std::memset(&zFormat, 0, sizeof(zFormat));
    lastResult = direct3D->EnumZBufferFormats(IID_IDirect3DHALDevice, findZBufferFormat, &zFormat);
    hardwareDevice = 1;
    if (zFormat.dwSize != sizeof(DDPIXELFORMAT)) {
        lastResult = direct3D->EnumZBufferFormats(IID_IDirect3DRGBDevice, findZBufferFormat, &zFormat);
        hardwareDevice = 0;
    }
    // Without a depth format the cave would be drawn over the spheres: refuse to run.
    if (zFormat.dwSize != sizeof(DDPIXELFORMAT)) {
        std::fprintf(
            stderr,
            "cave-demo: set-up failed: the z-buffer could not be created (neither the hardware nor the "
            "RGB device offers a z-buffer format without stencil)\n");
        startupFailed = true;
        return 0;
    }
    const DWORD memoryCaps = hardwareDevice ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;

    if (fullScreen) {
        DDSCAPS2 caps;
        std::memset(&caps, 0, sizeof(caps));
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        lastResult = primarySurface->GetAttachedSurface(&caps, &backBuffer);
    } else {
        clearSurfaceDesc(desc);
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        desc.dwWidth = VIEWPORT_WIDTH;
        desc.dwHeight = VIEWPORT_HEIGHT;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | memoryCaps;
        lastResult = directDraw->CreateSurface(&desc, &backBuffer, nullptr);
    }
    if (FAILED(lastResult) || backBuffer == nullptr) return setupFailure("the back buffer", lastResult);

    // The description record is reused; fields that the flags do not name are ignored.
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = VIEWPORT_WIDTH;
    desc.dwHeight = VIEWPORT_HEIGHT;
    desc.ddpfPixelFormat = zFormat;
    desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | memoryCaps;
    lastResult = directDraw->CreateSurface(&desc, &zBuffer, nullptr);
    if (FAILED(lastResult) || zBuffer == nullptr) return setupFailure("the z-buffer", lastResult);

    lastResult = backBuffer->AddAttachedSurface(zBuffer);
    if (FAILED(lastResult)) return setupFailure("the z-buffer attachment to the back buffer", lastResult);

    lastResult = direct3D->CreateDevice(hardwareDevice ? IID_IDirect3DHALDevice : IID_IDirect3DRGBDevice,
                                        backBuffer, &d3dDevice);
    if (FAILED(lastResult) || d3dDevice == nullptr)
        return setupFailure(hardwareDevice ? "the Direct3D HAL device" : "the Direct3D RGB device",
                            lastResult);

    D3DVIEWPORT7 viewport;
    viewport.dwX = 0;
    viewport.dwY = 0;
    viewport.dwWidth = VIEWPORT_WIDTH;
    viewport.dwHeight = VIEWPORT_HEIGHT;
    viewport.dvMinZ = 0.0f;
    viewport.dvMaxZ = 1.0f;
    lastResult = d3dDevice->SetViewport(&viewport);

    // Only the y scale changes: one pixel spans the same view-plane distance in x and y.
    const float aspect = static_cast<float>(viewport.dwWidth) / static_cast<float>(viewport.dwHeight);
    const Matrix4 aspectScale(1, 0, 0, 0, 0, aspect, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    matrixMultiply(projectionMatrix, aspectScale, projectionMatrix);

    D3DMATERIAL7 material;
    std::memset(&material, 0, sizeof(material));
    material.diffuse.r = material.diffuse.g = material.diffuse.b = 1.0f;
    material.ambient.r = material.ambient.g = material.ambient.b = 1.0f;
    material.specular.r = material.specular.g = material.specular.b = 1.0f;
    material.power = 10.0f;
    lastResult = d3dDevice->SetMaterial(&material);

    D3DLIGHT7 light;
    std::memset(&light, 0, sizeof(light));
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvDiffuse.r = light.dcvDiffuse.g = light.dcvDiffuse.b = 0.8f;
    light.dcvSpecular.r = light.dcvSpecular.g = light.dcvSpecular.b = 1.0f;
    light.dcvAmbient.r = light.dcvAmbient.g = light.dcvAmbient.b = 0.6f;
    // (0.5, -0.5, 0.5) / sqrt(0.75): unit length, falling downwards.
    const float lightLength = std::sqrt(0.75f);
    light.dvDirection.x = 0.5f / lightLength;
    light.dvDirection.y = -0.5f / lightLength;
    light.dvDirection.z = 0.5f / lightLength;
    light.dvRange = D3DLIGHT_RANGE_MAX;
    light.dvAttenuation1 = 1.0f;
    lastResult = d3dDevice->SetLight(0, &light);
    lastResult = d3dDevice->LightEnable(0, TRUE);

    lastResult = d3dDevice->SetRenderState(D3DRENDERSTATE_SPECULARMATERIALSOURCE, D3DMCS_COLOR2);

    D3DMATRIX world = toD3DMatrix(initialWorldMatrix);
    D3DMATRIX view = toD3DMatrix(cameraPose);
    D3DMATRIX projection = toD3DMatrix(projectionMatrix);
    lastResult = d3dDevice->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    lastResult = d3dDevice->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
    lastResult = d3dDevice->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);

    if (sceneSetupFunction == nullptr) return 1;
    return sceneSetupFunction();
}

void releaseDeviceObjects() {
    releaseInterface(d3dDevice);
    releaseInterface(zBuffer);
    releaseInterface(direct3D);
    releaseInterface(backBuffer);
    releaseInterface(primarySurface);
    releaseInterface(directDraw);
}

void resetDevice() {
    releaseDeviceObjects();
    mainWindow = nullptr;
    hardwareDevice = 0;
    fullScreen = 0;
    lastResult = 0;
    startupFailed = false;
    sceneSetupFunction = nullptr;
    projectionMatrix = PROJECTION_TEMPLATE;
    cameraPose = IDENTITY_MATRIX;
    initialWorldMatrix = IDENTITY_MATRIX;
}
