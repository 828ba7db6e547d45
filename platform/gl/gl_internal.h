// gl_internal.h -- what the OpenGL context, its surfaces and the devices drawing on them share.
//
// Three layers, each in its own file:
// - the context: the one OpenGL context, presentation to a window and the read-back of the presented
//   frame on request. The backend provides it (platform/sdl/gl_context.cpp on an SDL window of its own,
//   platform/html5/webgl_context.cpp on the page's WebGL2 context): this library declares it, every
//   program that links a backend gets its definitions from there;
// - gl/surfaces.cpp: DirectDraw (surfaces, textures, the z-buffer) and Direct3D (device choice,
//   z-buffer formats) on that context;
// - gl/device_state.cpp: the device state every device keeps (render states, transforms, viewport,
//   material, lights, clears, scenes); a device adds its drawing (gl/fixed_function_device.cpp: OpenGL's
//   fixed function; gl/shader_device.cpp: GLSL shaders).
// The context, surface and device-state files use only what OpenGL ES 3.0 has, so that they serve an
// OpenGL ES or WebGL2 context as they are.
#pragma once

#if defined(CAVE_GL_FIXED_FUNCTION)
#define GL_GLEXT_PROTOTYPES 1
#include <SDL_opengl.h>
#else
#include <GLES3/gl3.h>
#endif

#include <cstdint>
#include <map>
#include <vector>

#include "platform/d3d7.h"

namespace glimpl {

// ---- context (the backend's: sdl/gl_context.cpp, html5/webgl_context.cpp) ----

// Creates the context if there is none. False with a line on stderr when it cannot be made.
bool ensureContext();
// Makes the context current where it last was (the window it last presented to, or its own window).
bool makeCurrent();
// Changes each time the context is destroyed: GL names made under another generation are gone.
int contextGeneration();
bool contextExists();
// OpenGL runs on a GPU (not llvmpipe, softpipe or swrast).
bool contextIsHardware();
// The context is OpenGL ES (or WebGL): shaders are GLSL ES 3.00.
bool contextIsEs();
// GL_MAX_TEXTURE_SIZE of the context, or the lower limit set by glSetTextureSizeLimit.
int maxTextureSize();

// Shows the rectangle `r` (Direct3D coordinates, y down) of the framebuffer object `framebuffer` (height
// `sourceHeight`) in the window at client position (dx, dy), then swaps. No pixels are read back: the
// presented frame is read from `framebuffer` when asked for, as long as it has not been drawn on since.
HRESULT present(HWND hwnd, GLuint framebuffer, int sourceHeight, const RECT& r, int dx, int dy);
// The framebuffer object is about to be drawn on, cleared or deleted: a frame presented from it and not
// yet read is read now if `keep` (deletion), or given up (drawing: the system presents what it draws).
void framebufferChanging(GLuint framebuffer, bool keep);

// Both contexts' presentation (gl/device_state.cpp): copies the rectangle `r` (Direct3D coordinates, y down)
// of `framebuffer` (height `sourceHeight`), which sits at client position (dx, dy), into the default
// framebuffer of drawWidth x drawHeight, where the client area of clientWidth x clientHeight is scaled to its
// place (picturePlacement: aspect kept, black bars around, cleared only when there are bars). A whole
// multiple of the client size copies each pixel into a square of pixels; any other size filters linearly,
// so that no column or row of the frame comes out wider than its neighbours. Leaves the default framebuffer
// bound for drawing and `framebuffer` for reading.
void blitClientArea(GLuint framebuffer, int sourceHeight, const RECT& r, int dx, int dy, int clientWidth,
                    int clientHeight, int drawWidth, int drawHeight);

// ---- surfaces (gl/surfaces.cpp) ----

// A texture format the device offers and how OpenGL takes its pixels.
struct TextureFormat {
    DDPIXELFORMAT ddpf;
    GLenum internal, format, type;
};
const std::vector<TextureFormat>& textureFormats();

// Reference counting shared by every object.
struct GlObject {
    DWORD refs = 1;
    int generation = contextGeneration(); // context the object's GL names belong to
    virtual ~GlObject() = default;
    bool contextAlive() const {
        return contextExists() && generation == contextGeneration() && makeCurrent();
    }
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
    GLsizei textureWidth = 0, textureHeight = 0; // size of the GL texture (smaller when scaled down)
    GlSurface* zbuffer = nullptr;                // attached to a target, holds a reference
    HDC dc = nullptr;

    GlSurface(Role r, const DDSURFACEDESC2& d, GlDirectDraw* dd);
    ~GlSurface() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override {
        return queryOwn(riid, IID_IDirectDrawSurface7, object);
    }
    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE7 attached) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* attached) override;
    HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT srcRect,
                                      DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE7, DWORD) override { return DDERR_NOTFLIPPABLE; }
    HRESULT STDMETHODCALLTYPE GetDC(HDC* out) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC in) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC2 out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = desc;
        out->dwSize = sizeof(DDSURFACEDESC2);
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE IsLost() override { return DD_OK; } // OpenGL objects are never lost
    HRESULT STDMETHODCALLTYPE Restore() override { return DD_OK; }

    // Sends the pixel memory to the GL texture (formats without alpha are stored opaque).
    void upload();
};

// The surface behind `p` when it is one of ours, else null.
GlSurface* ourSurface(IDirectDrawSurface7* p);

// ---- devices (gl/device_state.cpp) ----

D3DMATRIX identity();
// Row-vector product a x b.
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b);
// Projection x C, where C maps Direct3D's clip depth 0..w onto OpenGL's -w..w and moves the image by
// just under half a pixel, so that pixel centres and the top-left fill rule come out as Direct3D's.
D3DMATRIX glProjection(const D3DMATRIX& projection, const D3DVIEWPORT7& viewport);

// OpenGL's blend factor and depth comparison for Direct3D's.
GLenum blendFactor(DWORD b);
GLenum compareFunc(DWORD c);

// What every device keeps and does the same way; a device adds how it draws.
struct GlDeviceBase : GlInterface<IDirect3DDevice7> {
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

    explicit GlDeviceBase(GlSurface* t);
    ~GlDeviceBase() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override {
        return queryOwn(riid, IID_IDirect3DDevice7, object);
    }
    DWORD state(DWORD s) const {
        auto it = renderStates.find(s);
        return it == renderStates.end() ? 0 : it->second;
    }

    HRESULT STDMETHODCALLTYPE EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK cb, LPVOID ctx) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                                    DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE s, LPD3DMATRIX m) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE s, LPD3DMATRIX m) override;
    HRESULT STDMETHODCALLTYPE SetViewport(LPD3DVIEWPORT7 vp) override;
    HRESULT STDMETHODCALLTYPE GetViewport(LPD3DVIEWPORT7 vp) override;
    HRESULT STDMETHODCALLTYPE SetMaterial(LPD3DMATERIAL7 m) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(LPD3DMATERIAL7 m) override;
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, LPD3DLIGHT7 l) override;
    HRESULT STDMETHODCALLTYPE GetLight(DWORD index, LPD3DLIGHT7 l) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE s, DWORD value) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE s, LPDWORD value) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 surface) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count,
                                            DWORD flags) override;

    // Draws `count` vertices of the system's format (x y z, nx ny nz, tu tv: 32 bytes each) as `mode`
    // with the current states; the target is bound and its viewport set.
    virtual void drawVertices(GLenum mode, const float* vertices, GLsizei count) = 0;

  protected:
    D3DMATRIX* transformSlot(D3DTRANSFORMSTATETYPE s);
    // Binds the render target and maps the viewport (y down in Direct3D, up in OpenGL).
    bool bindTarget();
    // Sets OpenGL's depth test, blending and culling from the render states, the same on every device.
    void applyDepthBlendCull();
};

// Makes a device on a render-target surface of ours (the device holds a reference to it); null if the
// device cannot be made on the context.
typedef GlDeviceBase* (*DeviceMaker)(GlSurface* target);
// DirectDrawCreateEx for the OpenGL surfaces, with `maker` behind IDirect3D7::CreateDevice.
HRESULT createDirectDraw(DeviceMaker maker, GUID* guid, REFIID iid, IUnknown* outer,
                         IDirectDraw7** directDraw);

} // namespace glimpl
