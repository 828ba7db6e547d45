// gl_context.cpp -- the one OpenGL context of the SDL backend, presentation to a window (the client
// area scaled to the window's size), and the read-back of the presented frame when someone asks for it.
//
// The context lives on a small hidden window of its own so that it survives the windows it presents to.
// Which context is made (compatibility profile for the fixed-function device, 3.3 core or OpenGL ES 3.0
// for the shader device) is set by the SDL backend's GL attributes before the first DirectDraw object.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gl/gl_internal.h"
#include "platform/gl/fixed_function_device.h"
#include "platform/gl/shader_device.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/sdl/sdl_backend.h"

namespace {

// The one OpenGL context and what it knows.
struct GlState {
    SDL_Window* contextWindow = nullptr; // hidden window the context was made on
    SDL_GLContext context = nullptr;
    SDL_Window* current = nullptr; // window the context is current on
    bool hardware = false;         // OpenGL runs on a GPU (not llvmpipe / softpipe / swrast)
    bool es = false;               // OpenGL ES context
    int maxTextureSize = 0;        // GL_MAX_TEXTURE_SIZE
    int generation = 0;            // changes when the context is destroyed
    // The last present, kept so that its pixels can be read when asked for: the framebuffer object it
    // came from (0 once drawn on or read), and where its rectangle went in the client area.
    GLuint pendingFramebuffer = 0;
    int pendingSourceHeight = 0;
    RECT pendingRect = {0, 0, 0, 0};
    int pendingX = 0, pendingY = 0;
    std::vector<uint32_t> presented; // last presented client area read so far, 0x00RRGGBB, top row first
    bool presentedLost = false;      // the last present was drawn over before anyone read it
    int presentedWidth = 0;
    int presentedHeight = 0;
};

GlState gl;
int textureSizeLimit = 0;            // testing: a lower GL_MAX_TEXTURE_SIZE (0: the context's own)
bool keepWindowPicture = false;      // testing: read the window's drawable at each present
std::vector<uint32_t> windowPicture; // the last one read, 0x00RRGGBB, top row first
int windowPictureW = 0, windowPictureH = 0;

// Reads the default framebuffer (the drawable the present just drew) into `windowPicture`.
void readWindowPicture(int width, int height) {
    windowPicture.clear();
    windowPictureW = windowPictureH = 0;
    if (width <= 0 || height <= 0) return;
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    windowPicture.resize(size_t(width) * size_t(height));
    for (int row = 0; row < height; ++row) {
        const uint8_t* in = &rgba[size_t(height - 1 - row) * size_t(width) * 4];
        for (int col = 0; col < width; ++col, in += 4)
            windowPicture[size_t(row) * size_t(width) + size_t(col)] =
                (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8) | uint32_t(in[2]);
    }
    windowPictureW = width;
    windowPictureH = height;
}

// Makes the context current on `target` (its own window when null).
bool makeCurrentOn(SDL_Window* target) {
    if (!gl.context) return false;
    if (!target) target = gl.current ? gl.current : gl.contextWindow;
    if (SDL_GL_GetCurrentContext() != gl.context || SDL_GL_GetCurrentWindow() != target) {
        if (SDL_GL_MakeCurrent(target, gl.context) != 0) return false;
        SDL_GL_SetSwapInterval(0); // the frame loop paces itself; presenting never waits for the display
    }
    gl.current = target;
    return true;
}

// Reads the pending present into `gl.presented` (the client area as the blit left it).
void readPending() {
    if (!gl.pendingFramebuffer || !makeCurrentOn(nullptr)) return;
    const RECT& r = gl.pendingRect;
    const int sh = gl.pendingSourceHeight;
    const int cw = gl.presentedWidth, ch = gl.presentedHeight;
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int dx = gl.pendingX, dy = gl.pendingY;
    int x0 = std::max(0, dx), y0 = std::max(0, dy);
    int x1 = std::min(cw, dx + w), y1 = std::min(ch, dy + h);
    if (x1 > x0 && y1 > y0) {
        std::vector<uint8_t> rgba(size_t(x1 - x0) * size_t(y1 - y0) * 4);
        // Client row yc shows source row r.top + (yc - dy), which is OpenGL row sh - 1 - that.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, gl.pendingFramebuffer);
        GLint readX = r.left + (x0 - dx);
        GLint readY = sh - (r.top + (y1 - dy));
        glReadPixels(readX, readY, GLsizei(x1 - x0), GLsizei(y1 - y0), GL_RGBA, GL_UNSIGNED_BYTE,
                     rgba.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        for (int row = 0; row < y1 - y0; ++row) {
            const uint8_t* in = &rgba[size_t(y1 - y0 - 1 - row) * size_t(x1 - x0) * 4];
            uint32_t* out = &gl.presented[size_t(y0 + row) * size_t(cw) + size_t(x0)];
            for (int col = 0; col < x1 - x0; ++col, in += 4)
                out[col] = (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8) | uint32_t(in[2]);
        }
    }
    gl.pendingFramebuffer = 0;
}

} // namespace

namespace glimpl {

bool ensureContext() {
    if (gl.context) return true;
    gl.contextWindow = SDL_CreateWindow("cave-gl", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!gl.contextWindow) {
        std::fprintf(stderr, "platform: no window for OpenGL: %s\n", SDL_GetError());
        return false;
    }
    gl.context = SDL_GL_CreateContext(gl.contextWindow);
    if (!gl.context) {
        std::fprintf(stderr, "platform: no OpenGL context: %s\n", SDL_GetError());
        SDL_DestroyWindow(gl.contextWindow);
        gl.contextWindow = nullptr;
        return false;
    }
    gl.current = gl.contextWindow;
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::string r = renderer ? renderer : "";
    gl.hardware = !r.empty() && r.find("llvmpipe") == std::string::npos &&
                  r.find("softpipe") == std::string::npos && r.find("Software") == std::string::npos &&
                  r.find("swrast") == std::string::npos;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    gl.es = version && std::strncmp(version, "OpenGL ES", 9) == 0;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    gl.maxTextureSize = maxSize > 0 ? maxSize : 64; // every OpenGL has at least 64
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);          // odd-sized 16-bit textures have rows of any length
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glDisable(GL_DITHER);
    return true;
}

bool makeCurrent() {
    return makeCurrentOn(nullptr);
}

int contextGeneration() {
    return gl.generation;
}

bool contextExists() {
    return gl.context != nullptr;
}

bool contextIsHardware() {
    return gl.hardware;
}

bool contextIsEs() {
    return gl.es;
}

int maxTextureSize() {
    return textureSizeLimit > 0 ? std::min(textureSizeLimit, gl.maxTextureSize) : gl.maxTextureSize;
}

HRESULT present(HWND hwnd, GLuint framebuffer, int sourceHeight, const RECT& r, int x, int y) {
    SDL_Window* win = sdlWindowOf(hwnd);
    if (!win) return DDERR_GENERIC;
    if (!makeCurrentOn(win)) return DDERR_GENERIC;
    // The destination is in screen pixels; the window's client area starts at ClientToScreen(0, 0).
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    RECT client;
    GetClientRect(hwnd, &client);
    const int cw = client.right, ch = client.bottom;
    const int dx = x - origin.x, dy = y - origin.y;
    int winW = 0, winH = 0;
    SDL_GL_GetDrawableSize(win, &winW, &winH);
    blitClientArea(framebuffer, sourceHeight, r, dx, dy, cw, ch, winW, winH);
    if (keepWindowPicture) readWindowPicture(winW, winH);

    // What the client area now shows is read from the framebuffer object only when asked for.
    readPending(); // an earlier present that was neither read nor drawn over (a second blit of a frame)
    if (gl.presentedWidth != cw || gl.presentedHeight != ch) {
        gl.presentedWidth = cw;
        gl.presentedHeight = ch;
        gl.presented.assign(size_t(cw) * size_t(ch), 0);
    }
    gl.pendingFramebuffer = framebuffer;
    gl.presentedLost = false;
    gl.pendingSourceHeight = sourceHeight;
    gl.pendingRect = r;
    gl.pendingX = dx;
    gl.pendingY = dy;
    SDL_GL_SwapWindow(win);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return DD_OK;
}

void framebufferChanging(GLuint framebuffer, bool keep) {
    if (!gl.pendingFramebuffer || gl.pendingFramebuffer != framebuffer) return;
    if (keep) {
        readPending();
    } else {
        gl.pendingFramebuffer = 0;
        gl.presentedLost = true;
    }
}

} // namespace glimpl

PlatformDirectDrawFactory glPrepareRenderer(PlatformRenderer renderer) {
    switch (renderer) {
    case PlatformRenderer::Shader:
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        return shaderCreateDirectDraw;
    case PlatformRenderer::ShaderOnEs:
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        return shaderCreateDirectDraw;
    case PlatformRenderer::FixedFunction:
        break;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    return glCreateDirectDraw;
}

void glForgetWindow(SDL_Window* window) {
    if (gl.context && gl.current == window) {
        SDL_GL_MakeCurrent(gl.contextWindow, gl.context);
        gl.current = gl.contextWindow;
    }
}

void glShutdown() {
    if (gl.context) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(gl.context);
    }
    if (gl.contextWindow) SDL_DestroyWindow(gl.contextWindow);
    int generation = gl.generation + 1;
    gl = GlState();
    gl.generation = generation;
    textureSizeLimit = 0;
    keepWindowPicture = false;
    windowPicture.clear();
    windowPictureW = windowPictureH = 0;
}

const char* glContextVersion() {
    if (!gl.context || !makeCurrentOn(nullptr)) return "";
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return version ? version : "";
}

void glSetTextureSizeLimit(int side) {
    textureSizeLimit = side > 0 ? side : 0;
}

void glKeepWindowPicture(bool keep) {
    keepWindowPicture = keep;
}

const uint32_t* glWindowPicture(int* width, int* height) {
    if (windowPicture.empty()) return nullptr;
    if (width) *width = windowPictureW;
    if (height) *height = windowPictureH;
    return windowPicture.data();
}

const uint32_t* glPresentedFrame(int* width, int* height) {
    readPending();
    // A frame drawn over unread is not given as an older one: the caller learns there is none.
    if (gl.presented.empty() || gl.presentedLost) return nullptr;
    if (width) *width = gl.presentedWidth;
    if (height) *height = gl.presentedHeight;
    return gl.presented.data();
}

const uint32_t* platformPresentedFrame(int* width, int* height) {
    return glPresentedFrame(width, height);
}
