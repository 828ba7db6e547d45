// webgl_context.cpp -- the browser backend's OpenGL side: the page's WebGL2 context (made once, lost and
// given back by the browser), the context layer the shader device draws through, and presentation into the
// canvas
#include <GLES3/gl3.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <cstdio>

#include "platform/core/picture_placement.h"
#include "platform/gl/gl_internal.h"
#include "platform/html5/html5_backend.h"
#include "platform/html5/html5_internal.h"

namespace {

// The page's WebGL2 context, which outlives the backend's starts and stops: the browser may take it away
// (a reset of the graphics driver, too many pages with WebGL) and give it back; GL names made before a loss
// belong to an older generation and are never used again.
struct Html5Context {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle = 0; // 0: not made yet
    bool lost = false;                          // taken away and not given back yet
    int generation = 0;                         // counts the losses
    bool watched = false;                       // the loss and restore handlers are installed
};

Html5Context context;

// What the device layer keeps of the context, cleared when the backend stops.
struct GlState {
    bool ready = false;     // the context's pixel-store settings are made
    int maxTextureSize = 0; // GL_MAX_TEXTURE_SIZE of the context
    struct {                // the last present, to show it again after a resize
        GLuint framebuffer = 0;
        int sourceHeight = 0, x = 0, y = 0;
        RECT rect = {0, 0, 0, 0};
    } last;
};

GlState gl;

// clang-format off
EM_JS(void, html5ReportContext, (int lost), {
    var name = lost ? "caveContextLost" : "caveContextRestored";
    console.warn("platform: the WebGL2 context was " + (lost ? "lost" : "restored"));
    if (Module[name]) Module[name]();
});
// clang-format on

// The browser took the context away: nothing draws until it is given back (the page is told, and starts
// the demo again then, since every surface of the device went with the context). Returning true lets the
// browser give it back.
EM_BOOL onContextLost(int, const void*, void*) {
    context.lost = true;
    ++context.generation;
    gl.ready = false;
    html5ReportContext(1);
    return EM_TRUE;
}

EM_BOOL onContextRestored(int, const void*, void*) {
    context.lost = false;
    gl.ready = false; // the pixel-store settings are made again on the next use
    html5ReportContext(0);
    return EM_TRUE;
}

// Installed once, for the page's lifetime: a loss can come while no run is going on.
void watchContext(const char* canvas) {
    if (context.watched) return;
    context.watched = true;
    emscripten_set_webglcontextlost_callback(canvas, nullptr, EM_FALSE, onContextLost);
    emscripten_set_webglcontextrestored_callback(canvas, nullptr, EM_FALSE, onContextRestored);
}

} // namespace

bool html5StartContext(const char* canvas, bool preserveDrawingBuffer, const char** error) {
    if (context.handle <= 0) {
        EmscriptenWebGLContextAttributes attributes;
        emscripten_webgl_init_context_attributes(&attributes);
        attributes.majorVersion = 2; // WebGL2: OpenGL ES 3.0, what the shader device is written for
        attributes.minorVersion = 0;
        attributes.alpha = EM_FALSE;
        attributes.depth = EM_TRUE;
        attributes.stencil = EM_FALSE;
        attributes.antialias = EM_FALSE; // the demo draws aliased, as the native devices do
        attributes.premultipliedAlpha = EM_FALSE;
        attributes.preserveDrawingBuffer = preserveDrawingBuffer ? EM_TRUE : EM_FALSE;
        attributes.failIfMajorPerformanceCaveat = EM_FALSE; // a software rasterizer is welcome
        context.handle = emscripten_webgl_create_context(canvas, &attributes);
        if (context.handle <= 0) {
            context.handle = 0;
            *error = "this browser gives the page no WebGL2 context";
            return false;
        }
    }
    watchContext(canvas);
    if (!context.lost && emscripten_webgl_make_context_current(context.handle) != EMSCRIPTEN_RESULT_SUCCESS) {
        *error = "the WebGL2 context cannot be made current";
        return false;
    }
    return true;
}

void html5ForgetLastFrame() {
    gl = GlState();
}

void platformHtml5Represent() {
    const HWND window = html5Window();
    if (!window || gl.last.framebuffer == 0) return;
    const auto last = gl.last;
    glimpl::present(window, last.framebuffer, last.sourceHeight, last.rect, last.x, last.y);
}

// ---------------------------------------------------------------------------------------------------------
// The OpenGL context of the shader device (gl/gl_internal.h): the page's WebGL2 context. The canvas's
// drawing buffer is the window's client area; the browser shows what a frame left in it once the frame's
// pass returns, so presenting is a blit without a swap.
// ---------------------------------------------------------------------------------------------------------
namespace glimpl {

bool ensureContext() {
    if (context.handle <= 0 || context.lost) {
        std::fprintf(stderr, "platform: no WebGL2 context (the browser backend has not started)\n");
        return false;
    }
    if (!makeCurrent()) return false;
    if (!gl.ready) {
        GLint maxSize = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
        gl.maxTextureSize = maxSize > 0 ? maxSize : 64;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1); // odd-sized 16-bit textures have rows of any length
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glDisable(GL_DITHER);
        gl.ready = true;
    }
    return true;
}

bool makeCurrent() {
    if (context.handle <= 0 || context.lost) return false;
    if (emscripten_webgl_get_current_context() == context.handle) return true;
    return emscripten_webgl_make_context_current(context.handle) == EMSCRIPTEN_RESULT_SUCCESS;
}

// A context the browser took away and gave back is a new generation: the names made before are dead.
int contextGeneration() {
    return context.generation;
}

bool contextExists() {
    return context.handle > 0 && !context.lost;
}

// A page cannot tell a GPU from a software rasterizer (the renderer's name is masked): only the RGB
// device, which every context has, is offered.
bool contextIsHardware() {
    return false;
}

bool contextIsEs() {
    return true;
}

int maxTextureSize() {
    return gl.maxTextureSize > 0 ? gl.maxTextureSize : 64;
}

HRESULT present(HWND hwnd, GLuint framebuffer, int sourceHeight, const RECT& r, int x, int y) {
    if (hwnd != html5Window() || !makeCurrent()) return DDERR_GENERIC;
    gl.last.framebuffer = framebuffer;
    gl.last.sourceHeight = sourceHeight;
    gl.last.rect = r;
    gl.last.x = x;
    gl.last.y = y;
    int bufferWidth, bufferHeight, clientWidth, clientHeight;
    html5FitDrawingBuffer(&bufferWidth, &bufferHeight); // the page may have been resized since the last frame
    html5ClientSize(&clientWidth, &clientHeight);
    // The destination is in screen pixels; the window's client area starts at ClientToScreen(0, 0).
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    blitClientArea(framebuffer, sourceHeight, r, x - origin.x, y - origin.y, clientWidth, clientHeight,
                   bufferWidth, bufferHeight);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return DD_OK;
}

// Nothing is read back: the page reads the canvas itself. A framebuffer that goes is not shown again.
void framebufferChanging(GLuint framebuffer, bool) {
    if (framebuffer == gl.last.framebuffer) gl.last.framebuffer = 0;
}

} // namespace glimpl
