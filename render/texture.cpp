// texture.cpp -- bitmap files into 16-bit RGB texture surfaces through GDI
#include "render/texture.h"

#include <cstdio>
#include <cstring>

#include "render/device.h"

HRESULT CALLBACK findTextureFormat(LPDDPIXELFORMAT candidate, LPVOID target) {
    if (candidate == nullptr || target == nullptr) return D3DENUMRET_OK;
    if (candidate->dwFlags & (DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV)) return D3DENUMRET_OK;
    if (candidate->dwFourCC != 0) return D3DENUMRET_OK;
    if (candidate->dwFlags & DDPF_ALPHAPIXELS) return D3DENUMRET_OK;
    if (candidate->dwRGBBitCount != 16) return D3DENUMRET_OK;
    std::memcpy(target, candidate, sizeof(DDPIXELFORMAT));
    return D3DENUMRET_CANCEL;
}

bool loadTexture(IDirectDraw7* directDraw, IDirect3DDevice7* device, IDirectDrawSurface7** slot,
                 const char* fileName, char hardwareDevice) {
    if (slot == nullptr || fileName == nullptr) return false;

    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, fileName, IMAGE_BITMAP, 0, 0,
                                                     LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE));
    if (bitmap == nullptr) {
        // The text is cut to the buffer when the name is long.
        char text[TEXTURE_NAME_BUFFER];
        std::snprintf(text, sizeof(text), "Texure Cannot Open \"%s\"", fileName);
        MessageBoxA(nullptr, text, TEXTURE_OPEN_CAPTION, MB_OK);
        return false;
    }
    if (directDraw == nullptr || device == nullptr) {
        DeleteObject(bitmap);
        return false;
    }

    BITMAP info;
    std::memset(&info, 0, sizeof(info));
    GetObjectA(bitmap, sizeof(info), &info);

    DDSURFACEDESC2 desc;
    std::memset(static_cast<void*>(&desc), 0, sizeof(desc));
    desc.dwSize = sizeof(desc); // the platform's own size of the record: 124 bytes in 32 bits, 136 in 64
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE;
    desc.dwWidth = static_cast<DWORD>(info.bmWidth);
    desc.dwHeight = static_cast<DWORD>(info.bmHeight);
    if (hardwareDevice) {
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    } else {
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    }
    desc.dwTextureStage = 0;
    lastResult = device->EnumTextureFormats(findTextureFormat, &desc.ddpfPixelFormat);

    // Created aside and stored only on success, so that a failure leaves the slot as it was.
    IDirectDrawSurface7* surface = nullptr;
    lastResult = directDraw->CreateSurface(&desc, &surface, nullptr);
    if (FAILED(lastResult) || surface == nullptr) {
        DeleteObject(bitmap);
        return false;
    }
    *slot = surface;

    // GDI converts the bitmap's pixels to the surface's 16-bit format.
    HDC memoryDC = CreateCompatibleDC(nullptr);
    SelectObject(memoryDC, bitmap);
    HDC surfaceDC = nullptr;
    lastResult = surface->GetDC(&surfaceDC);
    if (SUCCEEDED(lastResult) && surfaceDC != nullptr) {
        BitBlt(surfaceDC, 0, 0, info.bmWidth, info.bmHeight, memoryDC, 0, 0, SRCCOPY);
        lastResult = surface->ReleaseDC(surfaceDC);
    }
    DeleteDC(memoryDC);
    DeleteObject(bitmap);
    return true;
}
