// window_input.cpp -- the SDL2 backend of the Win32 layer: real windows, input events, ticks, message boxes,
// screenshots.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/sdl/sdl_internal.h"
#include "platform/win32.h"
#include "platform/sdl/sdl_backend.h"

namespace {

struct SdlWindow {
    HWND hwnd;
    SDL_Window* window;
};

// State of the backend, cleared by platformStopSdl().
struct SdlState {
    bool started = false;           // SDL video initialised by platformStartSdl
    bool headless = false;          // offscreen driver, message boxes on stderr
    bool fullscreen = false;        // windows fill the screen (desktop full screen) when shown
    std::vector<SdlWindow> windows; // SDL windows of the core's windows
    uint8_t sidesHeld[256] = {};    // by virtual key of a modifier: bit 0 its left key held, bit 1 its right
};

SdlState s;

HWND hwndOf(Uint32 windowId) {
    SDL_Window* w = SDL_GetWindowFromID(windowId);
    for (const auto& e : s.windows)
        if (e.window == w) return e.hwnd;
    return nullptr;
}

// SDL keys to Windows virtual-key codes; 0 for keys the layer does not report.
int virtualKey(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + int(k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return '0' + int(k - SDLK_0);
    switch (k) {
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_BACKSPACE:
        return VK_BACK;
    default:
        return 0;
    }
}

// The side of a modifier key: 1 for the left key of shift, control or alt, 2 for the right one, else 0.
uint8_t modifierSide(SDL_Keycode k) {
    switch (k) {
    case SDLK_LSHIFT:
    case SDLK_LCTRL:
    case SDLK_LALT:
        return 1;
    case SDLK_RSHIFT:
    case SDLK_RCTRL:
    case SDLK_RALT:
        return 2;
    default:
        return 0;
    }
}

// A key event to the core. Shift, control and alt stay down while either key of their pair is held, so
// releasing one of two held keys posts nothing.
void postKey(SDL_Keycode k, bool down) {
    int vk = virtualKey(k);
    if (vk == 0) return;
    if (uint8_t side = modifierSide(k)) {
        uint8_t& held = s.sidesHeld[vk & 0xFF];
        held = down ? uint8_t(held | side) : uint8_t(held & ~side);
        if (!down && held != 0) return;
    }
    platformPostKey(vk, down);
}

// The window of a mouse event and the client pixel under the cursor when the cursor is over the picture
// of its client area; null otherwise. Nothing captures the mouse: moves and buttons outside the window
// (which SDL still reports while a button is held) or on the bars beside the picture are not the window's.
HWND clientAreaUnder(Uint32 windowId, Sint32 x, Sint32 y, int* clientX, int* clientY) {
    HWND w = hwndOf(windowId);
    SDL_Window* win = SDL_GetWindowFromID(windowId);
    RECT client;
    if (!w || !win || !GetClientRect(w, &client)) return nullptr;
    int winW = 0, winH = 0, drawW = 0, drawH = 0;
    SDL_GetWindowSize(win, &winW, &winH);
    SDL_GL_GetDrawableSize(win, &drawW, &drawH);
    if (drawW <= 0 || drawH <= 0) drawW = winW, drawH = winH;
    return clientPixelAt(x, y, winW, winH, drawW, drawH, client.right, client.bottom, clientX, clientY)
               ? w
               : nullptr;
}

void createWindow(HWND hwnd, int x, int y, int w, int h, const char* title) {
    if (!s.started) return;
    // The user may resize or maximise the window; the client area keeps its size for the system and its
    // picture is scaled to the window. Drawable pixels are the display's own on high-density screens.
    SDL_Window* win = SDL_CreateWindow(title, x, y, w > 0 ? w : 1, h > 0 ? h : 1,
                                       SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE |
                                           SDL_WINDOW_ALLOW_HIGHDPI);
    if (!win) {
        std::fprintf(stderr, "platform: cannot create a window: %s\n", SDL_GetError());
        return;
    }
    s.windows.push_back({hwnd, win});
}

void destroyWindow(HWND hwnd) {
    for (auto it = s.windows.begin(); it != s.windows.end(); ++it)
        if (it->hwnd == hwnd) {
            glForgetWindow(it->window);
            SDL_DestroyWindow(it->window);
            s.windows.erase(it);
            return;
        }
}

// Full screen at the desktop's resolution. A window manager does it on SDL's request; without one
// (a bare X server) the request changes nothing but SDL's idea of the size, so the window is first made
// borderless and as large as its display by hand, which makes both agree in every case.
void fillScreen(SDL_Window* w) {
    SDL_Rect bounds;
    int display = SDL_GetWindowDisplayIndex(w);
    if (display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0) {
        SDL_SetWindowBordered(w, SDL_FALSE);
        SDL_SetWindowPosition(w, bounds.x, bounds.y);
        SDL_SetWindowSize(w, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void showWindow(HWND hwnd, bool visible) {
    SDL_Window* w = sdlWindowOf(hwnd);
    if (!w) return;
    if (visible) {
        SDL_ShowWindow(w);
        if (s.fullscreen) fillScreen(w);
    } else
        SDL_HideWindow(w);
}

void moveWindow(HWND hwnd, int x, int y, int w, int h) {
    SDL_Window* win = sdlWindowOf(hwnd);
    if (!win || (SDL_GetWindowFlags(win) & SDL_WINDOW_FULLSCREEN)) return; // a full screen stays so
    SDL_SetWindowPosition(win, x, y);
    SDL_SetWindowSize(win, w > 0 ? w : 1, h > 0 ? h : 1);
}

void pumpEvents() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_QUIT:
            if (HWND w = platformInputWindow()) platformSendClose(w);
            break;
        case SDL_WINDOWEVENT: {
            HWND w = hwndOf(e.window.windowID);
            if (!w) break;
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                platformSendClose(w);
                break;
            // The focus event does not say whether a click caused it; WA_ACTIVE keeps frames running.
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                platformSendActivate(w, WA_ACTIVE);
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                platformSendActivate(w, WA_INACTIVE);
                break;
            case SDL_WINDOWEVENT_MOVED:
                platformWindowMoved(w, e.window.data1, e.window.data2);
                break;
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SIZE_CHANGED: // the picture is scaled anew on the next present
                platformInvalidate(w);
                break;
            default:
                break;
            }
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            postKey(e.key.keysym.sym, e.type == SDL_KEYDOWN);
            break;
        case SDL_MOUSEMOTION: {
            int cx = 0, cy = 0;
            if (clientAreaUnder(e.motion.windowID, e.motion.x, e.motion.y, &cx, &cy))
                platformPostMouseMove(cx, cy);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            int cx = 0, cy = 0;
            if (e.button.button == SDL_BUTTON_LEFT &&
                clientAreaUnder(e.button.windowID, e.button.x, e.button.y, &cx, &cy))
                platformPostMouseButton(cx, cy, e.type == SDL_MOUSEBUTTONDOWN);
            break;
        }
        default:
            break;
        }
    }
}

uint32_t ticks() {
    return SDL_GetTicks();
}

bool messageBox(const char* caption, const char* text) {
    if (s.headless) return false;
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr) == 0;
}

const PlatformBackend sdlBackend = {createWindow, destroyWindow, showWindow, moveWindow,
                                    pumpEvents,   ticks,         messageBox};

} // namespace

SDL_Window* sdlWindowOf(HWND hwnd) {
    for (const auto& e : s.windows)
        if (e.hwnd == hwnd) return e.window;
    return nullptr;
}

bool platformStartSdl(const PlatformOptions& options) {
    if (s.started) platformStopSdl();
    s.headless = options.mode == PlatformMode::Headless;
    s.fullscreen = options.fullscreen && !s.headless;
    // Headless runs use the offscreen driver, which renders OpenGL through EGL without a display.
    if (s.headless) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
    // The window gets mouse messages only while the cursor is over it: no capture while a button is held.
    SDL_SetHintWithPriority(SDL_HINT_MOUSE_AUTO_CAPTURE, "0", SDL_HINT_OVERRIDE);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "platform: cannot start SDL video: %s\n", SDL_GetError());
        return false;
    }
    // Without a display SDL falls back to a driver that shows nothing; a windowed run there would go on
    // invisibly for ever. Only an explicit choice of such a driver (SDL_VIDEODRIVER) is taken as wanted.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* chosen = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    bool showsNothing =
        driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (!s.headless && showsNothing && !(chosen && std::strstr(chosen, driver))) {
        std::fprintf(stderr, "platform: no display to open a window on\n");
        SDL_Quit();
        return false;
    }
    s.started = true;
    PlatformDirectDrawFactory directDraw = glPrepareRenderer(options.renderer); // the context it needs
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    platformSetBackend(&sdlBackend);
    platformUseVirtualClock(s.headless, s.headless ? options.idleAdvanceMs : 0);
    platformSetDirectDrawFactory(directDraw);
    return true;
}

void platformStopSdl() {
    if (!s.started) return;
    platformReset(); // destroys the core's windows through the backend
    glShutdown();
    for (const auto& e : s.windows)
        SDL_DestroyWindow(e.window);
    platformSetDirectDrawFactory(nullptr);
    SDL_Quit();
    s = SdlState();
}

bool platformIsHeadless() {
    return s.started && s.headless;
}

bool platformSaveScreenshot(const char* pngPath) {
    int w = 0, h = 0;
    const uint32_t* pixels = glPresentedFrame(&w, &h);
    if (!pixels || !pngPath) {
        std::fprintf(stderr, "platform: no presented frame to save\n");
        return false;
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), w, h, 32, w * 4,
                                                              SDL_PIXELFORMAT_RGB888);
    if (!surface) {
        std::fprintf(stderr, "platform: cannot save %s: %s\n", pngPath, SDL_GetError());
        return false;
    }
    bool ok = IMG_SavePNG(surface, pngPath) == 0;
    if (!ok) std::fprintf(stderr, "platform: cannot save %s: %s\n", pngPath, IMG_GetError());
    SDL_FreeSurface(surface);
    return ok;
}
