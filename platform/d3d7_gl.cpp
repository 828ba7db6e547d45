// d3d7_gl.cpp -- DirectDraw 7 / Direct3D 7 over OpenGL: surfaces, the device and its fixed-function results.
//
// One OpenGL context (compatibility profile) serves every object; it lives on a small hidden window of its
// own so that it survives the windows it presents to. The back buffer is a framebuffer object with an
// RGBA8 colour renderbuffer; the z-buffer a depth renderbuffer attached to it; textures are GL textures
// fed from 16-bit pixel memory that GDI fills between GetDC and ReleaseDC.
//
// Direct3D conventions reproduced here:
// - matrices are row-major with row vectors; their memory is the column-major form OpenGL loads, so
//   World x View becomes the modelview and Projection x C the projection, where C maps Direct3D's clip
//   depth 0..w onto OpenGL's -w..w and moves the image by half a pixel (Direct3D samples pixel centres at
//   integer screen coordinates, OpenGL at +0.5);
// - the image is not flipped: Direct3D's row 0 (top) is OpenGL's top row of the framebuffer, so the
//   winding seen on screen is the same in both, and D3DCULL_CCW culls what looks counter-clockwise;
// - lighting is OpenGL's fixed-function lighting, which has Direct3D 7's formula: emissive + ambient +
//   diffuse max(N.L, 0) + specular (N.H)^P only where N.L > 0, H from the local viewer, specular added
//   after texturing (separate specular colour).
#define GL_GLEXT_PROTOTYPES 1
#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/sdl_gl.h"

namespace {

// The one OpenGL context and what it knows.
struct GlState {
    SDL_Window* contextWindow = nullptr; // hidden window the context was made on
    SDL_GLContext context = nullptr;
    SDL_Window* current = nullptr;   // window the context is current on
    bool hardware = false;           // OpenGL runs on a GPU (not llvmpipe / softpipe / swrast)
    int generation = 0;              // changes when the context is destroyed
    std::vector<uint32_t> presented; // last presented client area, 0x00RRGGBB, top row first
    int presentedWidth = 0;
    int presentedHeight = 0;
};

GlState gl;

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
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1); // odd-sized 16-bit textures have rows of any length
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glDisable(GL_DITHER);
    return true;
}

// Makes the context current (on `window` if given, else where it is).
bool makeCurrent(SDL_Window* window = nullptr) {
    if (!gl.context) return false;
    SDL_Window* target = window ? window : gl.current;
    if (!target) target = gl.contextWindow;
    if (SDL_GL_GetCurrentContext() != gl.context || SDL_GL_GetCurrentWindow() != target) {
        if (SDL_GL_MakeCurrent(target, gl.context) != 0) return false;
        SDL_GL_SetSwapInterval(0); // the frame loop paces itself; presenting never waits for the display
    }
    gl.current = target;
    return true;
}

D3DMATRIX identity() {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Row-vector product a x b.
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k)
                s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

// A texture format the device offers and how OpenGL takes its pixels.
struct TextureFormat {
    DDPIXELFORMAT ddpf;
    GLenum internal, format, type;
};

const std::vector<TextureFormat>& textureFormats() {
    static const std::vector<TextureFormat> formats = {
        {platformRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000), GL_RGBA, GL_BGRA,
         GL_UNSIGNED_SHORT_1_5_5_5_REV},
        {platformRgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000), GL_RGBA, GL_BGRA,
         GL_UNSIGNED_SHORT_4_4_4_4_REV},
        {platformRgbFormat(16, 0xF800, 0x07E0, 0x001F, 0), GL_RGB, GL_RGB, GL_UNSIGNED_SHORT_5_6_5},
        {platformRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0), GL_RGB, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV},
        {platformRgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000), GL_RGBA, GL_BGRA,
         GL_UNSIGNED_INT_8_8_8_8_REV},
    };
    return formats;
}

const TextureFormat* findTextureFormat(const DDPIXELFORMAT& f) {
    for (const auto& t : textureFormats())
        if (t.ddpf.dwFlags == f.dwFlags && t.ddpf.dwRGBBitCount == f.dwRGBBitCount &&
            t.ddpf.dwRBitMask == f.dwRBitMask && t.ddpf.dwGBitMask == f.dwGBitMask &&
            t.ddpf.dwBBitMask == f.dwBBitMask && t.ddpf.dwRGBAlphaBitMask == f.dwRGBAlphaBitMask)
            return &t;
    return nullptr;
}

// Z-buffer formats of the context: pure 24-bit, pure 16-bit, 24-bit with 8-bit stencil.
const std::vector<DDPIXELFORMAT>& zBufferFormats() {
    static const std::vector<DDPIXELFORMAT> formats = {
        platformZBufferFormat(24, 0), platformZBufferFormat(16, 0), platformZBufferFormat(24, 8)};
    return formats;
}

bool isHalGuid(REFCLSID g) {
    return g == IID_IDirect3DHALDevice || g == IID_IDirect3DTnLHalDevice;
}

// Reference counting shared by every object.
struct GlObject {
    DWORD refs = 1;
    int generation = gl.generation; // context the object's GL names belong to
    virtual ~GlObject() = default;
    bool contextAlive() const { return gl.context && generation == gl.generation && makeCurrent(); }
};

// One interface of an object: its reference counting, and QueryInterface for the interface itself.
template <class Interface> struct GlInterface : Interface, GlObject {
    DWORD STDMETHODCALLTYPE AddRef() override { return ++refs; }
    DWORD STDMETHODCALLTYPE Release() override {
        DWORD left = --refs;
        if (left == 0) delete this;
        return left;
    }
    // Gives this object when `riid` is `own` or IUnknown.
    HRESULT queryOwn(REFIID riid, REFIID own, LPVOID* object) {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != own && riid != IID_IUnknown) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<Interface*>(this);
        return S_OK;
    }
};

enum class Role { Primary, Target, ZBuffer, Texture };

struct GlDirectDraw;

struct GlSurface : GlInterface<IDirectDrawSurface7> {
    Role role;
    DDSURFACEDESC2 desc;
    GlDirectDraw* owner;    // holds a reference
    GLuint framebuffer = 0; // target
    GLuint colorBuffer = 0; // target
    GLuint depthBuffer = 0; // z-buffer
    GLuint texture = 0;     // texture
    const TextureFormat* format = nullptr;
    std::vector<uint8_t> pixels; // texture pixel memory, rows of `pitch` bytes
    int pitch = 0;
    GlSurface* zbuffer = nullptr; // attached to a target, holds a reference
    HDC dc = nullptr;

    GlSurface(Role r, const DDSURFACEDESC2& d, GlDirectDraw* dd);
    ~GlSurface() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override {
        return queryOwn(riid, IID_IDirectDrawSurface7, object);
    }
    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE7 attached) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* attached) override {
        if (!caps || !attached) return DDERR_INVALIDPARAMS;
        *attached = nullptr;
        if (zbuffer && (caps->dwCaps & DDSCAPS_ZBUFFER)) {
            zbuffer->AddRef();
            *attached = zbuffer;
            return DD_OK;
        }
        return DDERR_NOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT srcRect,
                                      DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE7, DWORD) override { return DDERR_NOTFLIPPABLE; }
    HRESULT STDMETHODCALLTYPE GetDC(HDC* out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (role != Role::Texture || pixels.empty()) return DDERR_NODC;
        if (dc) return DDERR_DCALREADYCREATED;
        const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
        dc = platformCreatePixelDC(pixels.data(), int(desc.dwWidth), int(desc.dwHeight), pitch,
                                   f.dwRGBBitCount, f.dwRBitMask, f.dwGBitMask, f.dwBBitMask);
        if (!dc) return DDERR_NODC;
        *out = dc;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC in) override {
        if (!dc || in != dc) return DDERR_INVALIDPARAMS;
        DeleteDC(dc);
        dc = nullptr;
        upload();
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC2 out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = desc;
        out->dwSize = sizeof(DDSURFACEDESC2);
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE IsLost() override { return DD_OK; } // OpenGL objects are never lost
    HRESULT STDMETHODCALLTYPE Restore() override { return DD_OK; }

    // Sends the pixel memory to the GL texture (formats without alpha are stored opaque).
    void upload() {
        if (!texture || !contextAlive()) return;
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(desc.dwWidth), GLsizei(desc.dwHeight), format->format,
                        format->type, pixels.data());
    }
};

struct GlDevice : GlInterface<IDirect3DDevice7> {
    GlSurface* target; // holds a reference
    std::map<DWORD, DWORD> renderStates;
    D3DMATRIX world = identity(), view = identity(), projection = identity();
    D3DVIEWPORT7 viewport;
    D3DMATERIAL7 material;
    D3DLIGHT7 lights[8];
    bool lightSet[8] = {};
    bool lightEnabled[8] = {};
    GlSurface* texture = nullptr; // stage 0, holds a reference
    bool inScene = false;

    explicit GlDevice(GlSurface* t) : target(t) {
        target->AddRef();
        viewport = {0, 0, t->desc.dwWidth, t->desc.dwHeight, 0.0f, 1.0f};
        std::memset(&material, 0, sizeof material);
        std::memset(lights, 0, sizeof lights);
        // Direct3D 7 defaults.
        renderStates[D3DRENDERSTATE_ZENABLE] = t->zbuffer ? D3DZB_TRUE : D3DZB_FALSE;
        renderStates[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
        renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
        renderStates[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
        renderStates[D3DRENDERSTATE_LIGHTING] = TRUE;
        renderStates[D3DRENDERSTATE_SPECULARENABLE] = FALSE;
        renderStates[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
        renderStates[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
        renderStates[D3DRENDERSTATE_ALPHABLENDENABLE] = FALSE;
        renderStates[D3DRENDERSTATE_AMBIENT] = 0;
        renderStates[D3DRENDERSTATE_LOCALVIEWER] = TRUE;
        renderStates[D3DRENDERSTATE_NORMALIZENORMALS] = FALSE;
        renderStates[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
        renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    }
    ~GlDevice() override {
        if (texture) texture->Release();
        target->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override {
        return queryOwn(riid, IID_IDirect3DDevice7, object);
    }

    DWORD state(DWORD s) const {
        auto it = renderStates.find(s);
        return it == renderStates.end() ? 0 : it->second;
    }

    HRESULT STDMETHODCALLTYPE EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK cb, LPVOID ctx) override {
        if (!cb) return DDERR_INVALIDPARAMS;
        for (const auto& t : textureFormats()) {
            DDPIXELFORMAT f = t.ddpf;
            if (cb(&f, ctx) == D3DENUMRET_CANCEL) break;
        }
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override {
        if (inScene) return D3DERR_SCENE_IN_SCENE;
        inScene = true;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE EndScene() override {
        if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
        inScene = false;
        if (contextAlive()) glFlush();
        return D3D_OK;
    }

    // Binds the render target and maps the viewport (y down in Direct3D, up in OpenGL).
    bool bindTarget() {
        if (!contextAlive() || !target->framebuffer) return false;
        glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer);
        GLint y = GLint(target->desc.dwHeight) - GLint(viewport.dwY + viewport.dwHeight);
        glViewport(GLint(viewport.dwX), y, GLsizei(viewport.dwWidth), GLsizei(viewport.dwHeight));
        glDepthRange(viewport.dvMinZ, viewport.dvMaxZ);
        return true;
    }

    HRESULT STDMETHODCALLTYPE Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                                    DWORD stencil) override {
        if ((count > 0 && !rects) || !(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
            return DDERR_INVALIDPARAMS;
        if ((flags & D3DCLEAR_ZBUFFER) && !target->zbuffer) return D3DERR_ZBUFFER_NOTPRESENT;
        if (!bindTarget()) return DDERR_GENERIC;
        GLbitfield mask = 0;
        if (flags & D3DCLEAR_TARGET) {
            glClearColor(float((color >> 16) & 0xFF) / 255.0f, float((color >> 8) & 0xFF) / 255.0f,
                         float(color & 0xFF) / 255.0f, float((color >> 24) & 0xFF) / 255.0f);
            mask |= GL_COLOR_BUFFER_BIT;
        }
        if (flags & D3DCLEAR_ZBUFFER) {
            glClearDepth(std::min(1.0f, std::max(0.0f, z)));
            glDepthMask(GL_TRUE);
            mask |= GL_DEPTH_BUFFER_BIT;
        }
        if ((flags & D3DCLEAR_STENCIL) && target->zbuffer &&
            (target->zbuffer->desc.ddpfPixelFormat.dwFlags & DDPF_STENCILBUFFER)) {
            glClearStencil(GLint(stencil));
            mask |= GL_STENCIL_BUFFER_BIT;
        }
        glDisable(GL_SCISSOR_TEST);
        glEnable(GL_SCISSOR_TEST);
        // Direct3D clears the viewport (or the given rectangles inside it), not the whole surface.
        DWORD n = count ? count : 1;
        for (DWORD i = 0; i < n; ++i) {
            LONG x1 = LONG(viewport.dwX), y1 = LONG(viewport.dwY);
            LONG x2 = x1 + LONG(viewport.dwWidth), y2 = y1 + LONG(viewport.dwHeight);
            if (count) {
                x1 = std::max(x1, rects[i].x1);
                y1 = std::max(y1, rects[i].y1);
                x2 = std::min(x2, rects[i].x2);
                y2 = std::min(y2, rects[i].y2);
            }
            if (x2 <= x1 || y2 <= y1) continue;
            glScissor(x1, GLint(target->desc.dwHeight) - y2, x2 - x1, y2 - y1);
            glClear(mask);
        }
        glDisable(GL_SCISSOR_TEST);
        return D3D_OK;
    }

    D3DMATRIX* transformSlot(D3DTRANSFORMSTATETYPE s) {
        switch (s) {
        case D3DTRANSFORMSTATE_WORLD:
            return &world;
        case D3DTRANSFORMSTATE_VIEW:
            return &view;
        case D3DTRANSFORMSTATE_PROJECTION:
            return &projection;
        }
        return nullptr;
    }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE s, LPD3DMATRIX m) override {
        D3DMATRIX* slot = transformSlot(s);
        if (!slot || !m) return DDERR_INVALIDPARAMS;
        *slot = *m;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE s, LPD3DMATRIX m) override {
        D3DMATRIX* slot = transformSlot(s);
        if (!slot || !m) return DDERR_INVALIDPARAMS;
        *m = *slot;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetViewport(LPD3DVIEWPORT7 vp) override {
        if (!vp || vp->dwWidth == 0 || vp->dwHeight == 0 ||
            uint64_t(vp->dwX) + vp->dwWidth > target->desc.dwWidth ||
            uint64_t(vp->dwY) + vp->dwHeight > target->desc.dwHeight ||
            !(vp->dvMinZ >= 0.0f && vp->dvMinZ <= 1.0f) || !(vp->dvMaxZ >= 0.0f && vp->dvMaxZ <= 1.0f))
            return DDERR_INVALIDPARAMS;
        viewport = *vp;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetViewport(LPD3DVIEWPORT7 vp) override {
        if (!vp) return DDERR_INVALIDPARAMS;
        *vp = viewport;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMaterial(LPD3DMATERIAL7 m) override {
        if (!m) return DDERR_INVALIDPARAMS;
        material = *m;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMaterial(LPD3DMATERIAL7 m) override {
        if (!m) return DDERR_INVALIDPARAMS;
        *m = material;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, LPD3DLIGHT7 l) override {
        if (!l || index >= 8 || l->dltType < D3DLIGHT_POINT || l->dltType > D3DLIGHT_DIRECTIONAL)
            return DDERR_INVALIDPARAMS;
        lights[index] = *l;
        lightSet[index] = true;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD index, LPD3DLIGHT7 l) override {
        if (!l || index >= 8 || !lightSet[index]) return DDERR_INVALIDPARAMS;
        *l = lights[index];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override {
        if (index >= 8) return DDERR_INVALIDPARAMS;
        if (!lightSet[index]) { // Direct3D enables a default white directional light
            std::memset(&lights[index], 0, sizeof lights[index]);
            lights[index].dltType = D3DLIGHT_DIRECTIONAL;
            lights[index].dcvDiffuse = {{1.0f}, {1.0f}, {1.0f}, {0.0f}};
            lights[index].dvDirection = {{0.0f}, {0.0f}, {1.0f}};
            lightSet[index] = true;
        }
        lightEnabled[index] = enable != FALSE;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE s, DWORD value) override {
        renderStates[DWORD(s)] = value;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE s, LPDWORD value) override {
        if (!value) return DDERR_INVALIDPARAMS;
        *value = state(DWORD(s));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 surface) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count,
                                            DWORD flags) override;

    void applyStates();
};

GLenum blendFactor(DWORD b) {
    switch (b) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    default:
        return GL_ONE;
    }
}

GLenum compareFunc(DWORD c) {
    switch (c) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

void setColor(GLenum light, GLenum what, const D3DCOLORVALUE& c) {
    const GLfloat v[4] = {c.r, c.g, c.b, c.a};
    glLightfv(light, what, v);
}

void GlDevice::applyStates() {
    // Transforms: projection x C (depth 0..w -> -w..w, half-pixel move), modelview = world x view.
    // The half-pixel move is kept 1/64 pixel short so that a pixel centre lying exactly on an edge falls
    // inside for top and left edges and outside for bottom and right ones, Direct3D's fill rule (OpenGL's
    // own rule, seen through the flipped y axis, would give the opposite).
    const float move = 0.5f - 1.0f / 64.0f;
    D3DMATRIX c = identity();
    c._33 = 2.0f;
    c._43 = -1.0f;
    c._41 = 2.0f * move / float(viewport.dwWidth);
    c._42 = -2.0f * move / float(viewport.dwHeight);
    D3DMATRIX p = multiply(projection, c);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(&p.m[0][0]);
    glMatrixMode(GL_MODELVIEW);

    bool lighting = state(D3DRENDERSTATE_LIGHTING) != FALSE;
    if (lighting) {
        glEnable(GL_LIGHTING);
        DWORD amb = state(D3DRENDERSTATE_AMBIENT);
        const GLfloat ambient[4] = {float((amb >> 16) & 0xFF) / 255.0f, float((amb >> 8) & 0xFF) / 255.0f,
                                    float(amb & 0xFF) / 255.0f, float((amb >> 24) & 0xFF) / 255.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, state(D3DRENDERSTATE_LOCALVIEWER) ? GL_TRUE : GL_FALSE);
        glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
        glDisable(GL_COLOR_MATERIAL);
        bool specular = state(D3DRENDERSTATE_SPECULARENABLE) != FALSE;
        const GLfloat md[4] = {material.diffuse.r, material.diffuse.g, material.diffuse.b,
                               material.diffuse.a};
        const GLfloat ma[4] = {material.ambient.r, material.ambient.g, material.ambient.b,
                               material.ambient.a};
        const GLfloat ms[4] = {specular ? material.specular.r : 0.0f, specular ? material.specular.g : 0.0f,
                               specular ? material.specular.b : 0.0f, specular ? material.specular.a : 0.0f};
        const GLfloat me[4] = {material.emissive.r, material.emissive.g, material.emissive.b,
                               material.emissive.a};
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, md);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ma);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, ms);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, me);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::min(128.0f, std::max(0.0f, material.power)));
        if (state(D3DRENDERSTATE_NORMALIZENORMALS))
            glEnable(GL_NORMALIZE);
        else
            glDisable(GL_NORMALIZE);
        // Light positions and directions are in world space: specify them under the view transform.
        glLoadMatrixf(&view.m[0][0]);
        for (int i = 0; i < 8; ++i) {
            GLenum l = GLenum(GL_LIGHT0 + i);
            if (!lightEnabled[i]) {
                glDisable(l);
                continue;
            }
            const D3DLIGHT7& d = lights[i];
            glEnable(l);
            setColor(l, GL_DIFFUSE, d.dcvDiffuse);
            setColor(l, GL_SPECULAR, d.dcvSpecular);
            setColor(l, GL_AMBIENT, d.dcvAmbient);
            if (d.dltType == D3DLIGHT_DIRECTIONAL) {
                const GLfloat towards[4] = {-d.dvDirection.x, -d.dvDirection.y, -d.dvDirection.z, 0.0f};
                glLightfv(l, GL_POSITION, towards);
                glLightf(l, GL_SPOT_CUTOFF, 180.0f);
                glLightf(l, GL_CONSTANT_ATTENUATION, 1.0f);
                glLightf(l, GL_LINEAR_ATTENUATION, 0.0f);
                glLightf(l, GL_QUADRATIC_ATTENUATION, 0.0f);
            } else {
                const GLfloat at[4] = {d.dvPosition.x, d.dvPosition.y, d.dvPosition.z, 1.0f};
                glLightfv(l, GL_POSITION, at);
                glLightf(l, GL_CONSTANT_ATTENUATION, d.dvAttenuation0);
                glLightf(l, GL_LINEAR_ATTENUATION, d.dvAttenuation1);
                glLightf(l, GL_QUADRATIC_ATTENUATION, d.dvAttenuation2);
                if (d.dltType == D3DLIGHT_SPOT) {
                    const GLfloat dir[3] = {d.dvDirection.x, d.dvDirection.y, d.dvDirection.z};
                    glLightfv(l, GL_SPOT_DIRECTION, dir);
                    glLightf(l, GL_SPOT_CUTOFF, std::min(90.0f, d.dvPhi * 0.5f * 57.29578f));
                    glLightf(l, GL_SPOT_EXPONENT, std::min(128.0f, std::max(0.0f, d.dvFalloff)));
                } else {
                    glLightf(l, GL_SPOT_CUTOFF, 180.0f);
                }
            }
        }
    } else {
        glDisable(GL_LIGHTING);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f); // unlit vertices without a colour are white
    }
    D3DMATRIX mv = multiply(world, view);
    glLoadMatrixf(&mv.m[0][0]);

    if (texture && texture->texture) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture->texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    } else {
        glDisable(GL_TEXTURE_2D);
    }

    if (target->zbuffer && state(D3DRENDERSTATE_ZENABLE) != D3DZB_FALSE) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(compareFunc(state(D3DRENDERSTATE_ZFUNC)));
        glDepthMask(state(D3DRENDERSTATE_ZWRITEENABLE) ? GL_TRUE : GL_FALSE);
    } else {
        glDisable(GL_DEPTH_TEST); // also no depth writes
    }

    if (state(D3DRENDERSTATE_ALPHABLENDENABLE)) {
        glEnable(GL_BLEND);
        glBlendFunc(blendFactor(state(D3DRENDERSTATE_SRCBLEND)),
                    blendFactor(state(D3DRENDERSTATE_DESTBLEND)));
    } else {
        glDisable(GL_BLEND);
    }

    // The image is not flipped, so OpenGL's counter-clockwise is what looks counter-clockwise on screen.
    glFrontFace(GL_CCW);
    switch (state(D3DRENDERSTATE_CULLMODE)) {
    case D3DCULL_NONE:
        glDisable(GL_CULL_FACE);
        break;
    case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        break;
    default:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        break;
    }
    switch (state(D3DRENDERSTATE_FILLMODE)) {
    case D3DFILL_POINT:
        glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
        break;
    case D3DFILL_WIREFRAME:
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        break;
    default:
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        break;
    }
    glShadeModel(state(D3DRENDERSTATE_SHADEMODE) == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);
}

HRESULT GlDevice::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count, DWORD) {
    if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    if (fvf != (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1)) return D3DERR_INVALIDVERTEXFORMAT;
    GLenum mode;
    switch (type) {
    case D3DPT_POINTLIST:
        mode = GL_POINTS;
        break;
    case D3DPT_LINELIST:
        mode = GL_LINES;
        break;
    case D3DPT_LINESTRIP:
        mode = GL_LINE_STRIP;
        break;
    case D3DPT_TRIANGLELIST:
        mode = GL_TRIANGLES;
        break;
    case D3DPT_TRIANGLESTRIP:
        mode = GL_TRIANGLE_STRIP;
        break;
    case D3DPT_TRIANGLEFAN:
        mode = GL_TRIANGLE_FAN;
        break;
    default:
        return DDERR_INVALIDPARAMS;
    }
    if (count > 0 && !vertices) return DDERR_INVALIDPARAMS;
    if (count == 0) return D3D_OK;
    if (!bindTarget()) return DDERR_GENERIC;
    applyStates();
    const GLsizei stride = 32; // x y z, nx ny nz, tu tv
    const float* v = static_cast<const float*>(vertices);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, v);
    glNormalPointer(GL_FLOAT, stride, v + 3);
    glTexCoordPointer(2, GL_FLOAT, stride, v + 6);
    glDrawArrays(mode, 0, GLsizei(count));
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    return D3D_OK;
}

struct GlDirect3D;

struct GlDirectDraw : GlInterface<IDirectDraw7> {
    HWND window = nullptr; // from SetCooperativeLevel
    bool cooperative = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD flags) override {
        bool normal = (flags & DDSCL_NORMAL) != 0;
        bool exclusive =
            (flags & (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE)) == (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
        if (normal == exclusive || (exclusive && !hwnd) || (hwnd && !IsWindow(hwnd)))
            return DDERR_INVALIDPARAMS;
        window = hwnd;
        cooperative = true;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD, DWORD, DWORD) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC2 d, LPDIRECTDRAWSURFACE7* out,
                                            IUnknown* outer) override;
};

struct GlDirect3D : GlInterface<IDirect3D7> {
    GlDirectDraw* owner; // holds a reference

    explicit GlDirect3D(GlDirectDraw* dd) : owner(dd) { owner->AddRef(); }
    ~GlDirect3D() override { owner->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override {
        return queryOwn(riid, IID_IDirect3D7, object);
    }
    HRESULT STDMETHODCALLTYPE EnumZBufferFormats(REFCLSID g, LPD3DENUMPIXELFORMATSCALLBACK cb,
                                                 LPVOID ctx) override {
        if (!cb || (!isHalGuid(g) && g != IID_IDirect3DRGBDevice)) return DDERR_INVALIDPARAMS;
        if (!ensureContext()) return DDERR_GENERIC;
        if (isHalGuid(g) && !gl.hardware) return D3D_OK; // no hardware device: nothing to offer
        for (DDPIXELFORMAT f : zBufferFormats())
            if (cb(&f, ctx) == D3DENUMRET_CANCEL) break;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateDevice(REFCLSID g, LPDIRECTDRAWSURFACE7 target,
                                           LPDIRECT3DDEVICE7* out) override;
};

// Surfaces and devices are only ever ours; anything else is refused by role check on our own list.
std::vector<GlSurface*> liveSurfaces;

GlSurface* ourSurface(IDirectDrawSurface7* p) {
    for (GlSurface* s : liveSurfaces)
        if (static_cast<IDirectDrawSurface7*>(s) == p) return s;
    return nullptr;
}

GlSurface::GlSurface(Role r, const DDSURFACEDESC2& d, GlDirectDraw* dd) : role(r), desc(d), owner(dd) {
    owner->AddRef();
    liveSurfaces.push_back(this);
}

GlSurface::~GlSurface() {
    liveSurfaces.erase(std::find(liveSurfaces.begin(), liveSurfaces.end(), this));
    if (dc) DeleteDC(dc);
    if (zbuffer) zbuffer->Release();
    if (contextAlive()) {
        if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
        if (colorBuffer) glDeleteRenderbuffers(1, &colorBuffer);
        if (depthBuffer) glDeleteRenderbuffers(1, &depthBuffer);
        if (texture) glDeleteTextures(1, &texture);
    }
    owner->Release();
}

HRESULT GlSurface::AddAttachedSurface(LPDIRECTDRAWSURFACE7 attached) {
    GlSurface* z = ourSurface(attached);
    if (!z || z->role != Role::ZBuffer || role != Role::Target) return DDERR_INVALIDPARAMS;
    if (zbuffer) return DDERR_SURFACEALREADYATTACHED;
    if (z->desc.dwWidth != desc.dwWidth || z->desc.dwHeight != desc.dwHeight) return DDERR_INVALIDPARAMS;
    if (!contextAlive()) return DDERR_GENERIC;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    bool stencil = (z->desc.ddpfPixelFormat.dwFlags & DDPF_STENCILBUFFER) != 0;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, z->depthBuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, 0);
        return DDERR_INVALIDPIXELFORMAT;
    }
    z->AddRef();
    zbuffer = z;
    return DD_OK;
}

HRESULT GlSurface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT srcRect, DWORD) {
    GlSurface* src = ourSurface(source);
    if (!src || src->role != Role::Target) return DDERR_INVALIDPARAMS;
    LONG sw = LONG(src->desc.dwWidth), sh = LONG(src->desc.dwHeight);
    RECT r = srcRect ? *srcRect : RECT{0, 0, sw, sh};
    if (r.left < 0 || r.top < 0 || r.right > sw || r.bottom > sh || r.left > r.right || r.top > r.bottom)
        return DDERR_INVALIDPARAMS;
    if (role != Role::Primary) return DDERR_UNSUPPORTED;
    HWND hwnd = owner->window;
    SDL_Window* win = sdlWindowOf(hwnd);
    if (!win) return DDERR_GENERIC;
    if (!contextAlive() || !makeCurrent(win)) return DDERR_GENERIC;
    // The destination is in screen pixels; the window's client area starts at ClientToScreen(0, 0).
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    RECT client;
    GetClientRect(hwnd, &client);
    int cw = client.right, ch = client.bottom;
    int dx = int(x) - origin.x, dy = int(y) - origin.y;
    int w = r.right - r.left, h = r.bottom - r.top;

    int winW = 0, winH = 0;
    SDL_GL_GetDrawableSize(win, &winW, &winH);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, src->framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(r.left, sh - r.bottom, r.right, sh - r.top, dx, winH - (dy + h), dx + w, winH - dy,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);

    // Keep what the client area now shows, for screenshots and read-back.
    if (gl.presentedWidth != cw || gl.presentedHeight != ch) {
        gl.presentedWidth = cw;
        gl.presentedHeight = ch;
        gl.presented.assign(size_t(cw) * size_t(ch), 0);
    }
    int x0 = std::max(0, dx), y0 = std::max(0, dy);
    int x1 = std::min(cw, dx + w), y1 = std::min(ch, dy + h);
    if (x1 > x0 && y1 > y0) {
        std::vector<uint8_t> rgba(size_t(x1 - x0) * size_t(y1 - y0) * 4);
        // Client row yc shows source row r.top + (yc - dy), which is OpenGL row sh - 1 - that.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, src->framebuffer);
        GLint readX = r.left + (x0 - dx);
        GLint readY = sh - (r.top + (y1 - dy));
        glReadPixels(readX, readY, GLsizei(x1 - x0), GLsizei(y1 - y0), GL_RGBA, GL_UNSIGNED_BYTE,
                     rgba.data());
        for (int row = 0; row < y1 - y0; ++row) {
            const uint8_t* in = &rgba[size_t(y1 - y0 - 1 - row) * size_t(x1 - x0) * 4];
            uint32_t* out = &gl.presented[size_t(y0 + row) * size_t(cw) + size_t(x0)];
            for (int col = 0; col < x1 - x0; ++col, in += 4)
                out[col] = (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8) | uint32_t(in[2]);
        }
    }
    SDL_GL_SwapWindow(win);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return DD_OK;
}

HRESULT GlDirectDraw::CreateSurface(LPDDSURFACEDESC2 d, LPDIRECTDRAWSURFACE7* out, IUnknown* outer) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!d || outer || (d->dwSize != sizeof(DDSURFACEDESC2) && d->dwSize != DDSURFACEDESC2_WINDOWS_SIZE) ||
        !(d->dwFlags & DDSD_CAPS))
        return DDERR_INVALIDPARAMS;
    if (!cooperative) return DDERR_NOCOOPERATIVELEVELSET;
    DWORD caps = d->ddsCaps.dwCaps;
    Role role;
    if (caps & DDSCAPS_PRIMARYSURFACE)
        role = Role::Primary;
    else if (caps & DDSCAPS_ZBUFFER)
        role = Role::ZBuffer;
    else if (caps & DDSCAPS_TEXTURE)
        role = Role::Texture;
    else if (caps & DDSCAPS_3DDEVICE)
        role = Role::Target;
    else
        return DDERR_INVALIDCAPS; // plain off-screen surfaces are not needed by the system
    DDSURFACEDESC2 made = *d;
    if (role == Role::Primary) {
        if (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX)) return DDERR_UNSUPPORTED; // no full-screen flipping
        RECT client = {0, 0, 0, 0};
        GetClientRect(window, &client);
        made.dwWidth = DWORD(client.right);
        made.dwHeight = DWORD(client.bottom);
        made.ddpfPixelFormat = platformRgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    } else {
        if ((d->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || d->dwWidth == 0 ||
            d->dwHeight == 0 || d->dwWidth > 4096 || d->dwHeight > 4096)
            return DDERR_INVALIDPARAMS;
    }
    const DDPIXELFORMAT& f = d->ddpfPixelFormat;
    bool hasFormat = (d->dwFlags & DDSD_PIXELFORMAT) != 0;
    const TextureFormat* texFormat = nullptr;
    GLenum depthFormat = 0;
    if (role == Role::ZBuffer) {
        if (!hasFormat || !(f.dwFlags & DDPF_ZBUFFER)) return DDERR_INVALIDPIXELFORMAT;
        bool stencil = (f.dwFlags & DDPF_STENCILBUFFER) != 0;
        if (stencil && f.dwZBufferBitDepth == 32 && f.dwStencilBitDepth == 8)
            depthFormat = GL_DEPTH24_STENCIL8;
        else if (!stencil && f.dwZBufferBitDepth == 16)
            depthFormat = GL_DEPTH_COMPONENT16;
        else if (!stencil && f.dwZBufferBitDepth == 24)
            depthFormat = GL_DEPTH_COMPONENT24;
        else if (!stencil && f.dwZBufferBitDepth == 32)
            depthFormat = GL_DEPTH_COMPONENT32;
        else
            return DDERR_INVALIDPIXELFORMAT;
    }
    if (role == Role::Texture) {
        texFormat = hasFormat ? findTextureFormat(f) : nullptr;
        if (!texFormat) return DDERR_INVALIDPIXELFORMAT;
    }
    if (role == Role::Target) made.ddpfPixelFormat = platformRgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    made.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    if (!ensureContext() || !makeCurrent()) return DDERR_GENERIC;

    GlSurface* s = new GlSurface(role, made, this);
    while (glGetError() != GL_NO_ERROR) {
    }
    if (role == Role::Target) {
        glGenFramebuffers(1, &s->framebuffer);
        glGenRenderbuffers(1, &s->colorBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, s->colorBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, GLsizei(made.dwWidth), GLsizei(made.dwHeight));
        glBindFramebuffer(GL_FRAMEBUFFER, s->framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s->colorBuffer);
        bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (!complete) {
            s->Release();
            return DDERR_OUTOFMEMORY;
        }
    } else if (role == Role::ZBuffer) {
        glGenRenderbuffers(1, &s->depthBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, s->depthBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, depthFormat, GLsizei(made.dwWidth), GLsizei(made.dwHeight));
    } else if (role == Role::Texture) {
        s->format = texFormat;
        s->pitch = int(made.dwWidth * (texFormat->ddpf.dwRGBBitCount / 8));
        s->pixels.assign(size_t(s->pitch) * made.dwHeight, 0);
        glGenTextures(1, &s->texture);
        glBindTexture(GL_TEXTURE_2D, s->texture);
        // Point sampling and wrapping, as the device's texture stage 0 does by default.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        // Row 0 of the pixel memory is the top row of the bitmap and texture coordinate v = 0.
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(texFormat->internal), GLsizei(made.dwWidth),
                     GLsizei(made.dwHeight), 0, texFormat->format, texFormat->type, s->pixels.data());
    }
    if (glGetError() != GL_NO_ERROR) {
        s->Release();
        return DDERR_OUTOFMEMORY;
    }
    *out = s;
    return DD_OK;
}

HRESULT GlDirectDraw::QueryInterface(REFIID riid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IDirectDraw7 || riid == IID_IUnknown) {
        AddRef();
        *object = static_cast<IDirectDraw7*>(this);
        return S_OK;
    }
    if (riid == IID_IDirect3D7) {
        *object = static_cast<IDirect3D7*>(new GlDirect3D(this));
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT GlDirect3D::CreateDevice(REFCLSID g, LPDIRECTDRAWSURFACE7 target, LPDIRECT3DDEVICE7* out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!isHalGuid(g) && g != IID_IDirect3DRGBDevice) return D3DERR_INVALID_DEVICE;
    GlSurface* t = ourSurface(target);
    if (!t || t->role != Role::Target) return DDERR_INVALIDCAPS;
    if (!ensureContext()) return DDERR_GENERIC;
    if (isHalGuid(g) && !gl.hardware) return D3DERR_INVALID_DEVICE; // no GPU: only the RGB device
    *out = new GlDevice(t); // both devices draw the same way; only their availability differs
    return D3D_OK;
}

HRESULT GlDevice::SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 surface) {
    GlSurface* t = ourSurface(surface);
    if (stage != 0 || (surface && (!t || t->role != Role::Texture))) return DDERR_INVALIDPARAMS;
    if (t) t->AddRef();
    if (texture) texture->Release();
    texture = t;
    return D3D_OK;
}

} // namespace

HRESULT glCreateDirectDraw(GUID* guid, REFIID iid, IUnknown* outer, IDirectDraw7** directDraw) {
    if (guid || outer || iid != IID_IDirectDraw7) return DDERR_INVALIDPARAMS;
    if (!ensureContext()) return DDERR_GENERIC;
    *directDraw = new GlDirectDraw();
    return DD_OK;
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
}

const uint32_t* glPresentedFrame(int* width, int* height) {
    if (gl.presented.empty()) return nullptr;
    if (width) *width = gl.presentedWidth;
    if (height) *height = gl.presentedHeight;
    return gl.presented.data();
}

const uint32_t* platformPresentedFrame(int* width, int* height) {
    return glPresentedFrame(width, height);
}
