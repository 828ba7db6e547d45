// windows_host.cpp -- the Windows host: script input posted to the system's window, the key state and the
// message queue as the system sees them, the observer of taken messages, and screenshots of the back buffer
#include "platform/windows/windows_host.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <vector>

#include "platform/core/platform_core.h"

// The real calls behind the names platform/win32.h routes here.
#undef GetKeyState
#undef PeekMessageA

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO_UTF8
#include <stb_image_write.h>

namespace {

struct HostState {
    // Keys as the host posted them: the states of key messages posted and not yet taken (oldest first),
    // and whether the last one taken was a key-down.
    std::deque<bool> pendingKeys[256];
    bool postedKeyHeld[256] = {};
    bool postedKeyDown[256] = {}; // as last posted: the previous-state bit of the next key message
    bool postedButtonDown = false;
    PlatformMessageObserver observer = nullptr;
    // The last captured frame: 0xRR, 0xGG, 0xBB per pixel, top row first.
    int frameWidth = 0, frameHeight = 0;
    std::vector<uint8_t> frame;
};

HostState host;

BOOL CALLBACK findShownWindow(HWND hwnd, LPARAM found) {
    if (!IsWindowVisible(hwnd) || GetWindow(hwnd, GW_OWNER) != nullptr) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

void postTo(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = windowsHostInputWindow();
    if (window != nullptr) PostMessageA(window, message, wParam, lParam);
}

// The bits of a channel mask: its lowest set bit and its width.
void maskShape(DWORD mask, int& shift, int& bits) {
    shift = 0;
    bits = 0;
    if (mask == 0) return;
    while (!(mask & 1u)) {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1u) {
        mask >>= 1;
        ++bits;
    }
}

// A channel of a pixel widened to 8 bits as Direct3D's readers do: the top bits repeated below.
uint8_t channel(DWORD pixel, int shift, int bits) {
    if (bits == 0) return 0;
    DWORD v = (pixel >> shift) & ((1u << bits) - 1);
    if (bits >= 8) return uint8_t(v >> (bits - 8));
    DWORD wide = v << (8 - bits);
    for (int filled = bits; filled < 8; filled += bits)
        wide |= v << (8 - bits) >> filled;
    return uint8_t(wide);
}

} // namespace

HWND windowsHostInputWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findShownWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

SHORT windowsHostGetKeyState(int virtKey) {
    SHORT state = GetKeyState(virtKey);
    if (virtKey >= 0 && virtKey < 256 && host.postedKeyHeld[virtKey]) state = SHORT(state | 0x8000);
    return state;
}

BOOL windowsHostPeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (!PeekMessageA(msg, hwnd, filterMin, filterMax, removeMessage)) return FALSE;
    if (!(removeMessage & PM_REMOVE)) return TRUE;
    if ((msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->wParam < 256) {
        // A posted key's message: the oldest one pending for that key, in the same state. Other key
        // messages come from the keyboard, whose state Windows keeps itself.
        std::deque<bool>& pending = host.pendingKeys[msg->wParam];
        const bool down = msg->message == WM_KEYDOWN;
        if (!pending.empty() && pending.front() == down) {
            pending.pop_front();
            host.postedKeyHeld[msg->wParam] = down;
        }
    }
    if (host.observer != nullptr) host.observer(*msg);
    return TRUE;
}

void platformPostKey(int virtKey, bool down) {
    HWND window = windowsHostInputWindow();
    if (window == nullptr || virtKey < 0 || virtKey > 255) return;
    // lParam: repeat count 1; bit 30 the previous state; bit 31 set for a release.
    DWORD lp = 1;
    if (host.postedKeyDown[virtKey] || !down) lp |= 1u << 30;
    if (!down) lp |= 1u << 31;
    host.postedKeyDown[virtKey] = down;
    host.pendingKeys[virtKey].push_back(down);
    PostMessageA(window, down ? WM_KEYDOWN : WM_KEYUP, WPARAM(virtKey), LPARAM(lp));
}

void platformPostMouseMove(int x, int y) {
    postTo(WM_MOUSEMOVE, host.postedButtonDown ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}

void platformPostMouseButton(int x, int y, bool down) {
    host.postedButtonDown = down;
    postTo(down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}

void platformSetMessageObserver(PlatformMessageObserver observer) {
    host.observer = observer;
}

bool windowsHostCaptureFrame(IDirectDrawSurface7* surface) {
    if (surface == nullptr) return false;
    DDSURFACEDESC2 desc;
    ZeroMemory(&desc, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (FAILED(
            surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY | DDLOCK_SURFACEMEMORYPTR, nullptr)))
        return false;
    const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    const DWORD bits = format.dwRGBBitCount;
    if (!(format.dwFlags & DDPF_RGB) || (bits != 16 && bits != 32) || desc.lpSurface == nullptr) {
        surface->Unlock(nullptr);
        return false;
    }
    int rShift, rBits, gShift, gBits, bShift, bBits;
    maskShape(format.dwRBitMask, rShift, rBits);
    maskShape(format.dwGBitMask, gShift, gBits);
    maskShape(format.dwBBitMask, bShift, bBits);
    host.frameWidth = int(desc.dwWidth);
    host.frameHeight = int(desc.dwHeight);
    host.frame.resize(size_t(host.frameWidth) * size_t(host.frameHeight) * 3);
    uint8_t* out = host.frame.data();
    for (int y = 0; y < host.frameHeight; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(desc.lpSurface) + ptrdiff_t(y) * desc.lPitch;
        for (int x = 0; x < host.frameWidth; ++x) {
            DWORD pixel = bits == 32 ? reinterpret_cast<const uint32_t*>(row)[x]
                                     : DWORD(reinterpret_cast<const uint16_t*>(row)[x]);
            *out++ = channel(pixel, rShift, rBits);
            *out++ = channel(pixel, gShift, gBits);
            *out++ = channel(pixel, bShift, bBits);
        }
    }
    surface->Unlock(nullptr);
    return true;
}

bool windowsHostSaveScreenshot(const char* pngPath) {
    if (host.frame.empty()) {
        std::fprintf(stderr, "cave-demo: no frame was presented; no screenshot written\n");
        return false;
    }
    if (!stbi_write_png(pngPath, host.frameWidth, host.frameHeight, 3, host.frame.data(),
                        host.frameWidth * 3)) {
        std::fprintf(stderr, "cave-demo: cannot write the screenshot %s\n", pngPath);
        return false;
    }
    return true;
}

void windowsHostReset() {
    for (auto& pending : host.pendingKeys)
        pending.clear();
    for (int k = 0; k < 256; ++k)
        host.postedKeyHeld[k] = host.postedKeyDown[k] = false;
    host.postedButtonDown = false;
    host.observer = nullptr;
    host.frameWidth = host.frameHeight = 0;
    host.frame.clear();
}
