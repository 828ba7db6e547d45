// window_system.cpp -- windows, message queue, key states, clock and GDI bitmaps of the Win32 layer (no SDL).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/core/platform_core.h"

// Handle objects. Their addresses are the handles; they are kept until platformReset() so that a stale
// handle never matches a newer object.
struct HWND__ {
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT outer = {0, 0, 0, 0}; // screen pixels
    bool hasFrame = false;
    bool alive = true;
    bool visible = false;
    bool needsPaint = false;
    bool destroying = false;
};

struct HICON__ {
    int unused;
};

enum class GdiKind { Brush, Bitmap };
struct HGDIOBJ__ {
    GdiKind kind = GdiKind::Brush;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // bitmaps: 0x00RRGGBB, top row first
};

enum class DcKind { Memory, Pixels, Paint };
struct HDC__ {
    DcKind kind = DcKind::Memory;
    HGDIOBJ selectedBitmap = nullptr; // memory DCs
    // Pixel DCs: caller-owned memory in a 16- or 32-bit RGB format.
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    DWORD bitCount = 0;
    DWORD masks[3] = {0, 0, 0};
};

namespace {

struct WindowClass {
    std::string name;
    WNDPROC proc;
    UINT style;
};

// All state of the core, cleared by platformReset().
struct CoreState {
    std::vector<WindowClass> classes;                   // registered window classes
    std::vector<std::unique_ptr<HWND__>> windows;       // every window created since the reset, live or not
    HWND activeWindow = nullptr;                        // window that last received WM_ACTIVATE(WA_ACTIVE)
    std::deque<MSG> queue;                              // posted messages, oldest first
    bool quitPosted = false;                            // PostQuitMessage called, WM_QUIT not yet removed
    int quitCode = 0;                                   // its exit code
    bool keyDown[256] = {};                             // held state as of the last key message taken
    bool keyToggled[256] = {};                          // low bit of GetKeyState, flips on each press
    bool postedKeyDown[256] = {};                       // held state as of the last key message posted
    bool postedButtonDown = false;                      // left button as of the last mouse message posted
    POINT cursor = {0, 0};                              // last posted mouse position, screen pixels
    bool virtualClock = true;                           // GetTickCount reads virtualTicks
    uint32_t virtualTicks = 0;                          // milliseconds, wrapping
    uint32_t idleAdvance = 0;                           // ms added per idle PeekMessageA
    const PlatformBackend* backend = nullptr;           // installed backend, or none
    PlatformMessageObserver observer = nullptr;         // told of every message removed from the queue
    std::vector<std::string> messageBoxes;              // "caption: text" of every MessageBoxA
    std::vector<std::unique_ptr<HGDIOBJ__>> gdiObjects; // live bitmaps
    std::vector<std::unique_ptr<HDC__>> dcs;            // live device contexts
};

CoreState g;

HICON__ placeholderIcon;
HICON__ placeholderCursor;
HGDIOBJ__ stockBrushes[5];

bool windowAlive(HWND hwnd) {
    if (!hwnd) return false;
    for (const auto& w : g.windows)
        if (w.get() == hwnd) return w->alive;
    return false;
}

bool sameName(const std::string& a, const char* b) {
    if (!b || a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

int frameLeft(const HWND__* w) {
    return w->hasFrame ? PLATFORM_FRAME_LEFT : 0;
}
int frameTop(const HWND__* w) {
    return w->hasFrame ? PLATFORM_FRAME_TOP : 0;
}
int frameWidth(const HWND__* w) {
    return w->hasFrame ? PLATFORM_FRAME_LEFT + PLATFORM_FRAME_RIGHT : 0;
}
int frameHeight(const HWND__* w) {
    return w->hasFrame ? PLATFORM_FRAME_TOP + PLATFORM_FRAME_BOTTOM : 0;
}
int clientWidth(const HWND__* w) {
    return std::max(0, int(w->outer.right - w->outer.left) - frameWidth(w));
}
int clientHeight(const HWND__* w) {
    return std::max(0, int(w->outer.bottom - w->outer.top) - frameHeight(w));
}

void notifyBackendMove(HWND w) {
    if (g.backend && g.backend->moveWindow)
        g.backend->moveWindow(w, w->outer.left + frameLeft(w), w->outer.top + frameTop(w), clientWidth(w),
                              clientHeight(w));
}

LRESULT sendTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!windowAlive(hwnd) || !hwnd->proc) return 0;
    return hwnd->proc(hwnd, message, wParam, lParam);
}

// Makes `hwnd` the active window (or none), sending WA_INACTIVE to the old one and `code` to the new one.
void activate(HWND hwnd, WORD code) {
    HWND old = g.activeWindow;
    if (old == hwnd) return;
    g.activeWindow = hwnd;
    if (old && windowAlive(old)) sendTo(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), (LPARAM)hwnd);
    if (hwnd) sendTo(hwnd, WM_ACTIVATE, MAKEWPARAM(code, 0), (LPARAM)old);
}

bool messageMatches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
    if (hwnd && m.hwnd != hwnd) return false;
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

// Key state follows the messages as they are taken from the queue.
void applyKeyState(const MSG& m) {
    int vk = -1;
    bool down = false;
    switch (m.message) {
    case WM_KEYDOWN:
        vk = int(m.wParam & 0xFF);
        down = true;
        break;
    case WM_KEYUP:
        vk = int(m.wParam & 0xFF);
        down = false;
        break;
    case WM_LBUTTONDOWN:
        vk = VK_LBUTTON;
        down = true;
        break;
    case WM_LBUTTONUP:
        vk = VK_LBUTTON;
        down = false;
        break;
    default:
        return;
    }
    if (down && !g.keyDown[vk]) g.keyToggled[vk] = !g.keyToggled[vk];
    g.keyDown[vk] = down;
}

bool postTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m;
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    m.pt = g.cursor;
    g.queue.push_back(m);
    return true;
}

bool isStock(HGDIOBJ obj) {
    for (const auto& b : stockBrushes)
        if (&b == obj) return true;
    return false;
}

HGDIOBJ__* liveBitmap(HGDIOBJ obj) {
    for (const auto& o : g.gdiObjects)
        if (o.get() == obj && o->kind == GdiKind::Bitmap) return o.get();
    return nullptr;
}

HDC__* liveDc(HDC dc) {
    for (const auto& d : g.dcs)
        if (d.get() == dc) return d.get();
    return nullptr;
}

HDC newDc(DcKind kind) {
    g.dcs.push_back(std::make_unique<HDC__>());
    g.dcs.back()->kind = kind;
    return g.dcs.back().get();
}

int lowBit(DWORD mask) {
    int s = 0;
    while (s < 32 && !(mask & (1u << s)))
        ++s;
    return s;
}

int bitCountOf(DWORD mask) {
    int n = 0;
    for (; mask; mask &= mask - 1)
        ++n;
    return n;
}

// One 8-bit channel into a mask, keeping its top bits (GDI's conversion to 16-bit formats).
DWORD encodeChannel(uint32_t c8, DWORD mask) {
    int bits = bitCountOf(mask);
    if (bits == 0) return 0;
    uint32_t v = bits >= 8 ? (c8 << (bits - 8)) : (c8 >> (8 - bits));
    return (v << lowBit(mask)) & mask;
}

uint32_t decodeChannel(DWORD pixel, DWORD mask) {
    int bits = bitCountOf(mask);
    if (bits == 0) return 0;
    uint32_t v = (pixel & mask) >> lowBit(mask);
    if (bits >= 8) return v >> (bits - 8);
    uint32_t maxV = (1u << bits) - 1;
    return (v * 255 + maxV / 2) / maxV;
}

// Reads one pixel of a DC as 0x00RRGGBB; false outside or when the DC has no pixels.
bool readPixel(const HDC__* dc, int x, int y, uint32_t* rgb) {
    if (dc->kind == DcKind::Memory) {
        const HGDIOBJ__* bm = dc->selectedBitmap;
        if (!bm || x < 0 || y < 0 || x >= bm->width || y >= bm->height) return false;
        *rgb = bm->pixels[size_t(y) * size_t(bm->width) + size_t(x)] & 0xFFFFFF;
        return true;
    }
    if (dc->kind != DcKind::Pixels || x < 0 || y < 0 || x >= dc->width || y >= dc->height) return false;
    const uint8_t* row = dc->bits + size_t(y) * size_t(dc->pitch);
    DWORD p;
    if (dc->bitCount == 16) {
        uint16_t v;
        std::memcpy(&v, row + size_t(x) * 2, 2);
        p = v;
    } else {
        std::memcpy(&p, row + size_t(x) * 4, 4);
    }
    *rgb = (decodeChannel(p, dc->masks[0]) << 16) | (decodeChannel(p, dc->masks[1]) << 8) |
           decodeChannel(p, dc->masks[2]);
    return true;
}

bool writePixel(HDC__* dc, int x, int y, uint32_t rgb) {
    if (dc->kind == DcKind::Memory) {
        HGDIOBJ__* bm = dc->selectedBitmap;
        if (!bm || x < 0 || y < 0 || x >= bm->width || y >= bm->height) return false;
        bm->pixels[size_t(y) * size_t(bm->width) + size_t(x)] = rgb & 0xFFFFFF;
        return true;
    }
    if (dc->kind != DcKind::Pixels || x < 0 || y < 0 || x >= dc->width || y >= dc->height) return false;
    DWORD p = encodeChannel((rgb >> 16) & 0xFF, dc->masks[0]) |
              encodeChannel((rgb >> 8) & 0xFF, dc->masks[1]) | encodeChannel(rgb & 0xFF, dc->masks[2]);
    uint8_t* row = dc->bits + size_t(y) * size_t(dc->pitch);
    if (dc->bitCount == 16) {
        uint16_t v = uint16_t(p);
        std::memcpy(row + size_t(x) * 2, &v, 2);
    } else {
        std::memcpy(row + size_t(x) * 4, &p, 4);
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Platform extensions
// ---------------------------------------------------------------------------------------------------------
void platformSetBackend(const PlatformBackend* backend) {
    g.backend = backend;
}

void platformSetMessageObserver(PlatformMessageObserver observer) {
    g.observer = observer;
}

void platformReset() {
    if (g.backend && g.backend->destroyWindow)
        for (const auto& w : g.windows)
            if (w->alive) g.backend->destroyWindow(w.get());
    g = CoreState();
}

void platformUseVirtualClock(bool useVirtual, uint32_t advancePerIdlePoll) {
    g.virtualClock = useVirtual;
    g.idleAdvance = advancePerIdlePoll;
}
void platformSetTickCount(uint32_t ms) {
    g.virtualTicks = ms;
}
void platformAdvanceTickCount(uint32_t ms) {
    g.virtualTicks += ms;
}
bool platformClockIsVirtual() {
    return g.virtualClock;
}

void platformSetKeyDown(int virtKey, bool down) {
    if (virtKey < 0 || virtKey > 255) return;
    if (down && !g.keyDown[virtKey]) g.keyToggled[virtKey] = !g.keyToggled[virtKey];
    g.keyDown[virtKey] = down;
    g.postedKeyDown[virtKey] = down;
}

HWND platformInputWindow() {
    for (auto it = g.windows.rbegin(); it != g.windows.rend(); ++it)
        if ((*it)->alive) return it->get();
    return nullptr;
}

void platformPostKey(int virtKey, bool down) {
    HWND w = platformInputWindow();
    if (!w || virtKey < 0 || virtKey > 255) return;
    // lParam: repeat count 1; bit 30 the previous state; bit 31 set for a release.
    DWORD lp = 1;
    if (g.postedKeyDown[virtKey] || !down) lp |= 1u << 30;
    if (!down) lp |= 1u << 31;
    g.postedKeyDown[virtKey] = down;
    postTo(w, down ? WM_KEYDOWN : WM_KEYUP, WPARAM(virtKey), LPARAM(lp));
}

void platformPostMouseMove(int x, int y) {
    HWND w = platformInputWindow();
    if (!w) return;
    g.cursor.x = w->outer.left + frameLeft(w) + x;
    g.cursor.y = w->outer.top + frameTop(w) + y;
    postTo(w, WM_MOUSEMOVE, g.postedButtonDown ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}

void platformPostMouseButton(int x, int y, bool down) {
    HWND w = platformInputWindow();
    if (!w) return;
    g.cursor.x = w->outer.left + frameLeft(w) + x;
    g.cursor.y = w->outer.top + frameTop(w) + y;
    g.postedButtonDown = down;
    postTo(w, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}

void platformSendActivate(HWND hwnd, WORD code) {
    if (!windowAlive(hwnd)) return;
    if (code == WA_INACTIVE) {
        if (g.activeWindow == hwnd) g.activeWindow = nullptr;
        sendTo(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
    } else if (g.activeWindow == hwnd) {
        sendTo(hwnd, WM_ACTIVATE, MAKEWPARAM(code, 0), 0);
    } else {
        activate(hwnd, code);
    }
}

void platformSendClose(HWND hwnd) {
    sendTo(hwnd, WM_CLOSE, 0, 0);
}

void platformWindowMoved(HWND hwnd, int clientX, int clientY) {
    if (!windowAlive(hwnd)) return;
    LONG w = hwnd->outer.right - hwnd->outer.left, h = hwnd->outer.bottom - hwnd->outer.top;
    hwnd->outer.left = clientX - frameLeft(hwnd);
    hwnd->outer.top = clientY - frameTop(hwnd);
    hwnd->outer.right = hwnd->outer.left + w;
    hwnd->outer.bottom = hwnd->outer.top + h;
}

void platformInvalidate(HWND hwnd) {
    if (windowAlive(hwnd)) hwnd->needsPaint = true;
}

int platformMessageBoxCount() {
    return int(g.messageBoxes.size());
}
const char* platformMessageBoxText(int index) {
    if (index < 0 || index >= int(g.messageBoxes.size())) return nullptr;
    return g.messageBoxes[size_t(index)].c_str();
}

HBITMAP platformCreateBitmap(int width, int height, const uint32_t* pixels) {
    if (width <= 0 || height <= 0) return nullptr;
    auto bm = std::make_unique<HGDIOBJ__>();
    bm->kind = GdiKind::Bitmap;
    bm->width = width;
    bm->height = height;
    bm->pixels.assign(size_t(width) * size_t(height), 0);
    if (pixels)
        for (size_t i = 0; i < bm->pixels.size(); ++i)
            bm->pixels[i] = pixels[i] & 0xFFFFFF;
    g.gdiObjects.push_back(std::move(bm));
    return g.gdiObjects.back().get();
}

const uint32_t* platformBitmapPixels(HBITMAP bitmap) {
    HGDIOBJ__* bm = liveBitmap(bitmap);
    return bm ? bm->pixels.data() : nullptr;
}

HDC platformCreatePixelDC(void* bits, int width, int height, int pitch, DWORD bitCount, DWORD redMask,
                          DWORD greenMask, DWORD blueMask) {
    if (!bits || width <= 0 || height <= 0 || (bitCount != 16 && bitCount != 32)) return nullptr;
    if (pitch < width * int(bitCount / 8)) return nullptr;
    HDC dc = newDc(DcKind::Pixels);
    dc->bits = static_cast<uint8_t*>(bits);
    dc->width = width;
    dc->height = height;
    dc->pitch = pitch;
    dc->bitCount = bitCount;
    dc->masks[0] = redMask;
    dc->masks[1] = greenMask;
    dc->masks[2] = blueMask;
    return dc;
}

// ---------------------------------------------------------------------------------------------------------
// user32: classes and windows
// ---------------------------------------------------------------------------------------------------------
ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
    for (const auto& c : g.classes)
        if (sameName(c.name, wc->lpszClassName)) return 0; // already registered
    g.classes.push_back({wc->lpszClassName, wc->lpfnWndProc, wc->style});
    return ATOM(0xC000 + g.classes.size());
}

HICON LoadIconA(HINSTANCE, LPCSTR) {
    return &placeholderIcon;
}
HCURSOR LoadCursorA(HINSTANCE, LPCSTR) {
    return &placeholderCursor;
}

HGDIOBJ GetStockObject(int object) {
    if (object < 0 || object > BLACK_BRUSH) return nullptr;
    return &stockBrushes[object];
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    const WindowClass* cls = nullptr;
    for (const auto& c : g.classes)
        if (sameName(c.name, className)) cls = &c;
    if (!cls) return nullptr;

    auto owned = std::make_unique<HWND__>();
    HWND w = owned.get();
    w->className = cls->name;
    w->title = windowName ? windowName : "";
    w->proc = cls->proc;
    w->style = style;
    w->exStyle = exStyle;
    w->hasFrame = (style & (WS_CAPTION | WS_THICKFRAME)) != 0;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = 640, height = 480;
    w->outer = {x, y, x + std::max(0, width), y + std::max(0, height)};
    g.windows.push_back(std::move(owned));

    if (g.backend && g.backend->createWindow)
        g.backend->createWindow(w, x + frameLeft(w), y + frameTop(w), clientWidth(w), clientHeight(w),
                                w->title.c_str());

    CREATESTRUCTA cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cy = height;
    cs.cx = width;
    cs.y = y;
    cs.x = x;
    cs.style = LONG(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (w->proc(w, WM_CREATE, 0, (LPARAM)&cs) == -1) {
        DestroyWindow(w);
        return nullptr;
    }
    if (!w->alive) return nullptr; // destroyed while handling WM_CREATE
    if (style & WS_VISIBLE) ShowWindow(w, SW_SHOW);
    return w;
}

BOOL ShowWindow(HWND hwnd, int showCommand) {
    if (!windowAlive(hwnd)) return FALSE;
    BOOL wasVisible = hwnd->visible ? TRUE : FALSE;
    if (showCommand == SW_HIDE) {
        hwnd->visible = false;
        if (g.backend && g.backend->showWindow) g.backend->showWindow(hwnd, false);
        if (g.activeWindow == hwnd) {
            g.activeWindow = nullptr;
            sendTo(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
        }
        return wasVisible;
    }
    if (!hwnd->visible) {
        hwnd->visible = true;
        hwnd->needsPaint = true;
        if (g.backend && g.backend->showWindow) g.backend->showWindow(hwnd, true);
    }
    bool activates = showCommand != SW_SHOWNOACTIVATE && showCommand != SW_SHOWNA &&
                     showCommand != SW_SHOWMINNOACTIVE && showCommand != SW_MINIMIZE;
    if (activates) activate(hwnd, WA_ACTIVE);
    return wasVisible;
}

BOOL UpdateWindow(HWND hwnd) {
    if (!windowAlive(hwnd)) return FALSE;
    if (hwnd->visible && hwnd->needsPaint) sendTo(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL DestroyWindow(HWND hwnd) {
    if (!windowAlive(hwnd)) return FALSE;
    if (hwnd->destroying) return TRUE; // already on its way out (DestroyWindow from WM_DESTROY)
    hwnd->destroying = true;
    // As on Windows, the active window is deactivated before it is destroyed.
    if (g.activeWindow == hwnd) {
        g.activeWindow = nullptr;
        sendTo(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
    }
    sendTo(hwnd, WM_DESTROY, 0, 0);
    sendTo(hwnd, WM_NCDESTROY, 0, 0);
    hwnd->alive = false;
    hwnd->visible = false;
    g.queue.erase(
        std::remove_if(g.queue.begin(), g.queue.end(), [hwnd](const MSG& m) { return m.hwnd == hwnd; }),
        g.queue.end());
    if (g.backend && g.backend->destroyWindow) g.backend->destroyWindow(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return windowAlive(hwnd) ? TRUE : FALSE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    if (!windowAlive(hwnd) || !rect) return FALSE;
    *rect = {0, 0, clientWidth(hwnd), clientHeight(hwnd)};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    if (!windowAlive(hwnd) || !rect) return FALSE;
    *rect = hwnd->outer;
    return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
    if (!windowAlive(hwnd)) return FALSE;
    RECT& r = hwnd->outer;
    if (!(flags & SWP_NOMOVE)) {
        LONG w = r.right - r.left, h = r.bottom - r.top;
        r = {x, y, x + w, y + h};
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, cx);
        r.bottom = r.top + std::max(0, cy);
    }
    notifyBackendMove(hwnd);
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    if (!windowAlive(hwnd) || !point) return FALSE;
    point->x += hwnd->outer.left + frameLeft(hwnd);
    point->y += hwnd->outer.top + frameTop(hwnd);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------------------
// user32: messages
// ---------------------------------------------------------------------------------------------------------
BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (!msg) return FALSE;
    if (g.backend && g.backend->pumpEvents) g.backend->pumpEvents();

    for (auto it = g.queue.begin(); it != g.queue.end(); ++it) {
        if (!messageMatches(*it, hwnd, filterMin, filterMax)) continue;
        *msg = *it;
        if (removeMessage & PM_REMOVE) {
            g.queue.erase(it);
            applyKeyState(*msg);
            if (g.observer) g.observer(*msg);
        }
        return TRUE;
    }
    if (g.quitPosted && !hwnd &&
        (filterMin == 0 && filterMax == 0 ? true : WM_QUIT >= filterMin && WM_QUIT <= filterMax)) {
        msg->hwnd = nullptr;
        msg->message = WM_QUIT;
        msg->wParam = WPARAM(g.quitCode);
        msg->lParam = 0;
        msg->time = GetTickCount();
        msg->pt = g.cursor;
        if (removeMessage & PM_REMOVE) g.quitPosted = false;
        return TRUE;
    }
    // WM_PAINT is made when nothing else waits, for a visible window that needs painting; it stays
    // until the window is painted (BeginPaint) or validated (DefWindowProcA).
    for (const auto& w : g.windows) {
        if (!w->alive || !w->visible || !w->needsPaint) continue;
        MSG m = {w.get(), WM_PAINT, 0, 0, GetTickCount(), g.cursor};
        if (!messageMatches(m, hwnd, filterMin, filterMax)) continue;
        *msg = m;
        return TRUE;
    }
    if (g.virtualClock) g.virtualTicks += g.idleAdvance;
    return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
    return msg && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP);
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return sendTo(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT:
        if (windowAlive(hwnd)) hwnd->needsPaint = false;
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return 0;
    }
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return sendTo(hwnd, message, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !windowAlive(hwnd)) return FALSE;
    return postTo(hwnd, message, wParam, lParam) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
    g.quitPosted = true;
    g.quitCode = exitCode;
}

// ---------------------------------------------------------------------------------------------------------
// user32: painting
// ---------------------------------------------------------------------------------------------------------
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    if (!windowAlive(hwnd)) return nullptr;
    hwnd->needsPaint = false;
    HDC dc = newDc(DcKind::Paint);
    if (paint) {
        std::memset(paint, 0, sizeof(*paint));
        paint->hdc = dc;
        paint->rcPaint = {0, 0, clientWidth(hwnd), clientHeight(hwnd)};
    }
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (!paint) return FALSE;
    return DeleteDC(paint->hdc);
}

BOOL TextOutA(HDC dc, int, int, LPCSTR text, int length) {
    return dc && (text || length == 0) ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------------------------------------
// Input and time
// ---------------------------------------------------------------------------------------------------------
SHORT GetKeyState(int virtKey) {
    if (virtKey < 0 || virtKey > 255) return 0;
    uint16_t state = uint16_t((g.keyDown[virtKey] ? 0x8000 : 0) | (g.keyToggled[virtKey] ? 1 : 0));
    return SHORT(state);
}

DWORD GetTickCount(void) {
    if (!g.virtualClock && g.backend && g.backend->ticks) return g.backend->ticks();
    return g.virtualTicks;
}

// ---------------------------------------------------------------------------------------------------------
// gdi32: bitmaps and device contexts
// ---------------------------------------------------------------------------------------------------------
int GetObjectA(HANDLE object, int size, LPVOID buffer) {
    HGDIOBJ__* bm = liveBitmap(static_cast<HGDIOBJ>(object));
    if (!bm) return 0;
    if (!buffer) return int(sizeof(BITMAP));
    if (size < int(sizeof(BITMAP))) return 0;
    BITMAP info;
    info.bmType = 0;
    info.bmWidth = bm->width;
    info.bmHeight = bm->height;
    info.bmWidthBytes = bm->width * 4;
    info.bmPlanes = 1;
    info.bmBitsPixel = 32;
    info.bmBits = bm->pixels.data();
    std::memcpy(buffer, &info, sizeof(info));
    return int(sizeof(BITMAP));
}

HDC CreateCompatibleDC(HDC) {
    return newDc(DcKind::Memory);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    HDC__* d = liveDc(dc);
    if (!d || !object) return nullptr;
    HGDIOBJ__* bm = liveBitmap(object);
    if (!bm) return isStock(object) ? object : nullptr; // brushes: accepted, nothing to draw with
    if (d->kind != DcKind::Memory) return nullptr;
    HGDIOBJ old = d->selectedBitmap;
    d->selectedBitmap = bm;
    return old;
}

BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop) {
    HDC__* d = liveDc(dest);
    HDC__* s = liveDc(src);
    if (!d || !s || rop != SRCCOPY || cx < 0 || cy < 0) return FALSE;
    for (int j = 0; j < cy; ++j)
        for (int i = 0; i < cx; ++i) {
            uint32_t rgb;
            if (readPixel(s, x1 + i, y1 + j, &rgb)) writePixel(d, x + i, y + j, rgb);
        }
    return TRUE;
}

BOOL DeleteDC(HDC dc) {
    auto it = std::find_if(g.dcs.begin(), g.dcs.end(),
                           [dc](const std::unique_ptr<HDC__>& d) { return d.get() == dc; });
    if (it == g.dcs.end()) return FALSE;
    g.dcs.erase(it);
    return TRUE;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (isStock(object)) return TRUE;
    auto it = std::find_if(g.gdiObjects.begin(), g.gdiObjects.end(),
                           [object](const std::unique_ptr<HGDIOBJ__>& o) { return o.get() == object; });
    if (it == g.gdiObjects.end()) return FALSE;
    for (const auto& d : g.dcs)
        if (d->selectedBitmap == object) d->selectedBitmap = nullptr; // never leave a DC on freed pixels
    g.gdiObjects.erase(it);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------------------
// Message box
// ---------------------------------------------------------------------------------------------------------
int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
    const char* c = caption ? caption : "Error";
    const char* t = text ? text : "";
    g.messageBoxes.push_back(std::string(c) + ": " + t);
    if (!(g.backend && g.backend->messageBox && g.backend->messageBox(c, t))) {
        std::fprintf(stderr, "%s: %s\n", c, t);
        std::fflush(stderr);
    }
    return IDOK;
}
