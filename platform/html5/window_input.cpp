// window_input.cpp -- the browser backend of the Win32 layer: the page's canvas as the window, its keyboard,
// mouse and focus events, performance.now() ticks, message boxes and the debug log, over Emscripten's HTML5
// API (the WebGL2 context is webgl_context.cpp's)
#include "platform/html5/html5_backend.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/html5/html5_internal.h"
#include "platform/gl/shader_device.h"
#include "platform/core/picture_placement.h"
#include "platform/core/platform_core.h"

namespace {

// State of the backend, cleared by platformStopHtml5().
struct Html5State {
    bool started = false;
    const char* canvas = "#canvas";        // selector of the canvas (the caller's string)
    HWND window = nullptr;                 // the core window the canvas shows, or null
    int clientWidth = 0, clientHeight = 0; // the window's client area, pixels
    int bufferWidth = 0, bufferHeight = 0; // the canvas's drawing buffer, pixels
    bool scaleToCanvas = true;             // the drawing buffer follows the canvas's CSS size
    bool held[256] = {};                   // keys down as the page reported them, by VK_* code
};

Html5State s;

// clang-format off
EM_JS(void, html5ShowMessageBox, (const char* caption, const char* text), {
    var c = UTF8ToString(caption), t = UTF8ToString(text);
    console.error(c + ": " + t);
    if (Module["caveMessageBox"]) Module["caveMessageBox"](c, t);
});

// Makes `path` a character device whose lines go to the console (and Module.caveDebugLog). The debug log
// writes code page 932; a line longer than 4096 bytes is passed on in pieces.
EM_JS(void, html5MakeDebugLogDevice, (const char* path), {
    var name = UTF8ToString(path);
    var decoder;
    try { decoder = new TextDecoder("shift_jis"); } catch (e) { decoder = new TextDecoder(); }
    var line = [];
    var emit = function() {
        var text = decoder.decode(new Uint8Array(line));
        line = [];
        console.log("VokDebug.txt: " + text);
        if (Module["caveDebugLog"]) Module["caveDebugLog"](text);
    };
    if (!Module["caveDebugLogDevice"]) {
        Module["caveDebugLogDevice"] = FS.makedev(64, 0);
        FS.registerDevice(Module["caveDebugLogDevice"], {
            open: function(stream) { stream.seekable = false; },
            close: function(stream) { if (line.length) emit(); },
            read: function(stream, buffer, offset, length, pos) { return 0; },
            write: function(stream, buffer, offset, length, pos) {
                for (var i = 0; i < length; i++) {
                    var b = buffer[offset + i];
                    if (b === 10) emit();
                    else if (b !== 13) { line.push(b); if (line.length >= 4096) emit(); }
                }
                return length;
            }
        });
    }
    try { FS.unlink(name); } catch (e) {}
    try { FS.mkdev(name, 438, Module["caveDebugLogDevice"]); } catch (e) {
        console.warn("platform: the debug log stays a file: " + e);
    }
});
// clang-format on

// Key codes of the page (KeyboardEvent.code) to Windows virtual-key codes; 0 for keys the layer does not
// report. The same keys as the SDL backend.
int virtualKey(const char* code) {
    static const struct {
        const char* code;
        int vk;
    } keys[] = {
        {"ArrowUp", VK_UP},           {"ArrowDown", VK_DOWN},
        {"ArrowLeft", VK_LEFT},       {"ArrowRight", VK_RIGHT},
        {"Space", VK_SPACE},          {"ShiftLeft", VK_SHIFT},
        {"ShiftRight", VK_SHIFT},     {"ControlLeft", VK_CONTROL},
        {"ControlRight", VK_CONTROL}, {"AltLeft", VK_MENU},
        {"AltRight", VK_MENU},        {"Escape", VK_ESCAPE},
        {"Enter", VK_RETURN},         {"Tab", VK_TAB},
        {"Backspace", VK_BACK},
    };
    for (const auto& k : keys)
        if (std::strcmp(code, k.code) == 0) return k.vk;
    // "KeyA".."KeyZ", "Digit0".."Digit9"
    if (std::strncmp(code, "Key", 3) == 0 && code[3] >= 'A' && code[3] <= 'Z' && code[4] == 0) return code[3];
    if (std::strncmp(code, "Digit", 5) == 0 && code[5] >= '0' && code[5] <= '9' && code[6] == 0)
        return code[5];
    return 0;
}

// The demo's own keys, whose default action (scrolling the page, leaving full screen) is prevented.
bool demoKey(int vk) {
    return vk == VK_UP || vk == VK_DOWN || vk == VK_LEFT || vk == VK_RIGHT || vk == VK_SPACE ||
           vk == VK_ESCAPE;
}

EM_BOOL onKey(int eventType, const EmscriptenKeyboardEvent* e, void*) {
    if (!s.started || !s.window) return EM_FALSE;
    int vk = virtualKey(e->code);
    if (vk == 0) return EM_FALSE;
    bool down = eventType == EMSCRIPTEN_EVENT_KEYDOWN;
    s.held[vk] = down;
    platformPostKey(vk, down);
    return demoKey(vk) ? EM_TRUE : EM_FALSE;
}

// The canvas's CSS size in whole pixels and the drawing buffer a sharp picture needs for it (CSS pixels times
// the device pixel ratio). False when the canvas is not laid out (no size).
bool canvasGeometry(int& cssWidth, int& cssHeight, int& deviceWidth, int& deviceHeight) {
    double w = 0, h = 0;
    if (emscripten_get_element_css_size(s.canvas, &w, &h) != EMSCRIPTEN_RESULT_SUCCESS) return false;
    double ratio = emscripten_get_device_pixel_ratio();
    if (!(ratio >= 0.25 && ratio <= 16)) ratio = 1; // a broken or hostile value keeps the buffer sane
    if (!(w >= 1 && h >= 1 && w <= 65536 && h <= 65536)) return false;
    cssWidth = int(w + 0.5);
    cssHeight = int(h + 0.5);
    deviceWidth = int(w * ratio + 0.5);
    deviceHeight = int(h * ratio + 0.5);
    return cssWidth > 0 && cssHeight > 0 && deviceWidth > 0 && deviceHeight > 0;
}

// A mouse position over the canvas to the client pixel of the picture under it: the picture is the client
// area scaled into the canvas with its aspect kept. False on a bar (or when the canvas has no size).
bool clientPoint(const EmscriptenMouseEvent* e, int& x, int& y) {
    int cssWidth, cssHeight, deviceWidth, deviceHeight;
    if (!canvasGeometry(cssWidth, cssHeight, deviceWidth, deviceHeight)) return false;
    const double tx = double(e->targetX), ty = double(e->targetY);
    if (!(tx >= 0 && ty >= 0 && tx < cssWidth && ty < cssHeight)) return false;
    return clientPixelAt(int(tx), int(ty), cssWidth, cssHeight, deviceWidth, deviceHeight, s.clientWidth,
                         s.clientHeight, &x, &y);
}

EM_BOOL onMouse(int eventType, const EmscriptenMouseEvent* e, void*) {
    if (!s.started || !s.window) return EM_FALSE;
    int x, y;
    if (!clientPoint(e, x, y)) {
        // On a bar: nothing reaches the demo, but a left press there starts no text selection.
        return eventType == EMSCRIPTEN_EVENT_MOUSEDOWN && e->button == 0 ? EM_TRUE : EM_FALSE;
    }
    switch (eventType) {
    case EMSCRIPTEN_EVENT_MOUSEMOVE:
        platformPostMouseMove(x, y);
        return EM_FALSE;
    case EMSCRIPTEN_EVENT_MOUSEDOWN:
    case EMSCRIPTEN_EVENT_MOUSEUP:
        if (e->button != 0) return EM_FALSE; // left button only
        platformPostMouseButton(x, y, eventType == EMSCRIPTEN_EVENT_MOUSEDOWN);
        return EM_TRUE; // no text selection or image drag starts from the canvas
    default:
        return EM_FALSE;
    }
}

EM_BOOL onFocus(int eventType, const EmscriptenFocusEvent*, void*) {
    if (!s.started || !s.window) return EM_FALSE;
    if (eventType == EMSCRIPTEN_EVENT_BLUR) {
        // The key-ups of keys held now go to whatever has the focus next: release them here.
        for (int vk = 0; vk < 256; ++vk)
            if (s.held[vk]) {
                s.held[vk] = false;
                platformPostKey(vk, false);
            }
        platformSendActivate(s.window, WA_INACTIVE);
    } else {
        platformSendActivate(s.window, WA_ACTIVE);
    }
    return EM_FALSE;
}

// The drawing buffer: the canvas's CSS size times the device pixel ratio (scaleToCanvas), or the client
// area's size. Setting the size clears the buffer, so it is set only when it changes.
void fitDrawingBuffer() {
    int width = s.clientWidth, height = s.clientHeight;
    int cssWidth, cssHeight;
    if (s.scaleToCanvas && !canvasGeometry(cssWidth, cssHeight, width, height)) {
        width = s.clientWidth;
        height = s.clientHeight;
    }
    // A drawing buffer is at most 8192 a side here (browsers refuse larger ones or shrink them silently).
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (width > 8192) width = 8192;
    if (height > 8192) height = 8192;
    if (width == s.bufferWidth && height == s.bufferHeight) return;
    s.bufferWidth = width;
    s.bufferHeight = height;
    emscripten_set_canvas_element_size(s.canvas, width, height);
}

void setClientSize(int width, int height) {
    s.clientWidth = width < 1 ? 1 : width;
    s.clientHeight = height < 1 ? 1 : height;
    fitDrawingBuffer();
}

void createWindow(HWND hwnd, int, int, int clientWidth, int clientHeight, const char*) {
    if (s.window) return; // one canvas: only the first window is shown
    s.window = hwnd;
    setClientSize(clientWidth, clientHeight);
}

void destroyWindow(HWND hwnd) {
    if (hwnd == s.window) s.window = nullptr; // the canvas keeps showing the last frame
}

void moveWindow(HWND hwnd, int, int, int clientWidth, int clientHeight) {
    if (hwnd == s.window) setClientSize(clientWidth, clientHeight);
}

// performance.now() in milliseconds, kept to 32 bits as GetTickCount wraps (the double is first taken to
// 64 bits: a value past 2^32 converted straight to 32 bits would be undefined).
uint32_t ticks() {
    double now = emscripten_performance_now();
    if (!(now > 0)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(now));
}

bool messageBox(const char* caption, const char* text) {
    html5ShowMessageBox(caption, text);
    return true;
}

// Events arrive through the handlers between passes of the loop; there is nothing to poll.
const PlatformBackend html5Backend = {createWindow, destroyWindow, nullptr,   moveWindow,
                                      nullptr,      ticks,         messageBox};

void setHandlers(bool on) {
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(window, nullptr, EM_TRUE, on ? onKey : nullptr);
    emscripten_set_keyup_callback(window, nullptr, EM_TRUE, on ? onKey : nullptr);
    emscripten_set_mousedown_callback(s.canvas, nullptr, EM_TRUE, on ? onMouse : nullptr);
    emscripten_set_mouseup_callback(s.canvas, nullptr, EM_TRUE, on ? onMouse : nullptr);
    emscripten_set_mousemove_callback(s.canvas, nullptr, EM_TRUE, on ? onMouse : nullptr);
    emscripten_set_focus_callback(window, nullptr, EM_TRUE, on ? onFocus : nullptr);
    emscripten_set_blur_callback(window, nullptr, EM_TRUE, on ? onFocus : nullptr);
}

} // namespace

bool platformStartHtml5(const Html5Options& options, const char** error) {
    static const char* ignored;
    if (!error) error = &ignored;
    *error = nullptr;
    if (s.started) platformStopHtml5();
    s.canvas = options.canvas ? options.canvas : "#canvas";
    s.scaleToCanvas = options.scaleToCanvas;

    double cssWidth = 0, cssHeight = 0;
    if (emscripten_get_element_css_size(s.canvas, &cssWidth, &cssHeight) != EMSCRIPTEN_RESULT_SUCCESS) {
        *error = "the page has no canvas for the demo";
        return false;
    }
    if (!html5StartContext(s.canvas, options.preserveDrawingBuffer, error)) return false;

    platformSetBackend(&html5Backend);
    platformUseVirtualClock(false);
    platformSetDirectDrawFactory(shaderCreateDirectDraw);
    if (options.debugLogPath) html5MakeDebugLogDevice(options.debugLogPath);
    s.started = true;
    setHandlers(true);
    return true;
}

void platformStopHtml5() {
    if (!s.started) return;
    setHandlers(false);
    platformReset(); // destroys the core's windows through the backend
    platformSetDirectDrawFactory(nullptr);
    html5ForgetLastFrame();
    s = Html5State();
}

// ---- what the WebGL2 context needs of the window side (html5_internal.h) ----

HWND html5Window() {
    return s.window;
}

void html5ClientSize(int* width, int* height) {
    *width = s.clientWidth;
    *height = s.clientHeight;
}

void html5FitDrawingBuffer(int* bufferWidth, int* bufferHeight) {
    fitDrawingBuffer();
    *bufferWidth = s.bufferWidth;
    *bufferHeight = s.bufferHeight;
}
