// recorded_device.cpp -- a DirectDraw 7 / Direct3D 7 implementation that logs every call, for tests.
#include "platform/testing/recorded_device.h"
#include "platform/core/platform_core.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct RecObject;
struct RecSurface;
struct RecDevice;

// All state of the recorder, replaced by recordReset().
struct RecordState {
    RecordConfig config;
    std::vector<std::string> calls;   // log lines, oldest first
    std::vector<HRESULT> results;     // result of each logged call
    int generation = 0;               // objects of older generations are not counted
    std::map<std::string, int> named; // objects named so far per kind ("texture" -> 3)
    RecDevice* device = nullptr;      // most recently created live device
};

RecordState rs;
std::vector<RecObject*> liveObjects; // every recorder object not yet destroyed

// --- formatting ---------------------------------------------------------------------------------------

std::string hex(DWORD v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", unsigned(v));
    return buf;
}

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

struct FlagName {
    DWORD value;
    const char* name;
};

std::string flagNames(DWORD v, const FlagName* table, size_t n) {
    if (v == 0) return "0";
    std::string out;
    for (size_t i = 0; i < n; ++i)
        if (table[i].value && (v & table[i].value) == table[i].value) {
            if (!out.empty()) out += "|";
            out += table[i].name;
            v &= ~table[i].value;
        }
    if (v) out += (out.empty() ? "" : "|") + hex(v);
    return out;
}

#define FN(x)                                                                                                \
    { DWORD(x), #x }
const FlagName ddsdNames[] = {FN(DDSD_CAPS),        FN(DDSD_HEIGHT),          FN(DDSD_WIDTH),
                              FN(DDSD_PITCH),       FN(DDSD_BACKBUFFERCOUNT), FN(DDSD_ZBUFFERBITDEPTH),
                              FN(DDSD_PIXELFORMAT), FN(DDSD_TEXTURESTAGE),    FN(DDSD_LPSURFACE),
                              FN(DDSD_MIPMAPCOUNT)};
const FlagName capsNames[] = {
    FN(DDSCAPS_PRIMARYSURFACE), FN(DDSCAPS_OFFSCREENPLAIN), FN(DDSCAPS_TEXTURE),     FN(DDSCAPS_ZBUFFER),
    FN(DDSCAPS_3DDEVICE),       FN(DDSCAPS_FLIP),           FN(DDSCAPS_COMPLEX),     FN(DDSCAPS_BACKBUFFER),
    FN(DDSCAPS_SYSTEMMEMORY),   FN(DDSCAPS_VIDEOMEMORY),    FN(DDSCAPS_LOCALVIDMEM), FN(DDSCAPS_MIPMAP)};
const FlagName caps2Names[] = {FN(DDSCAPS2_TEXTUREMANAGE), FN(DDSCAPS2_D3DTEXTUREMANAGE)};
const FlagName ddpfNames[] = {FN(DDPF_RGB),           FN(DDPF_ALPHAPIXELS), FN(DDPF_ZBUFFER),
                              FN(DDPF_STENCILBUFFER), FN(DDPF_FOURCC),      FN(DDPF_LUMINANCE)};
const FlagName scNames[] = {FN(DDSCL_FULLSCREEN), FN(DDSCL_EXCLUSIVE), FN(DDSCL_NOWINDOWCHANGES),
                            FN(DDSCL_NORMAL), FN(DDSCL_ALLOWREBOOT)};
const FlagName clearNames[] = {FN(D3DCLEAR_TARGET), FN(D3DCLEAR_ZBUFFER), FN(D3DCLEAR_STENCIL)};
const FlagName bltNames[] = {FN(DDBLTFAST_WAIT), FN(DDBLTFAST_SRCCOLORKEY), FN(DDBLTFAST_DESTCOLORKEY)};
const FlagName rsNames[] = {FN(D3DRENDERSTATE_ANTIALIAS),
                            FN(D3DRENDERSTATE_TEXTUREPERSPECTIVE),
                            FN(D3DRENDERSTATE_ZENABLE),
                            FN(D3DRENDERSTATE_FILLMODE),
                            FN(D3DRENDERSTATE_SHADEMODE),
                            FN(D3DRENDERSTATE_ZWRITEENABLE),
                            FN(D3DRENDERSTATE_ALPHATESTENABLE),
                            FN(D3DRENDERSTATE_SRCBLEND),
                            FN(D3DRENDERSTATE_DESTBLEND),
                            FN(D3DRENDERSTATE_CULLMODE),
                            FN(D3DRENDERSTATE_ZFUNC),
                            FN(D3DRENDERSTATE_DITHERENABLE),
                            FN(D3DRENDERSTATE_ALPHABLENDENABLE),
                            FN(D3DRENDERSTATE_FOGENABLE),
                            FN(D3DRENDERSTATE_SPECULARENABLE),
                            FN(D3DRENDERSTATE_COLORKEYENABLE),
                            FN(D3DRENDERSTATE_LIGHTING),
                            FN(D3DRENDERSTATE_AMBIENT),
                            FN(D3DRENDERSTATE_COLORVERTEX),
                            FN(D3DRENDERSTATE_LOCALVIEWER),
                            FN(D3DRENDERSTATE_NORMALIZENORMALS),
                            FN(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE),
                            FN(D3DRENDERSTATE_SPECULARMATERIALSOURCE),
                            FN(D3DRENDERSTATE_AMBIENTMATERIALSOURCE),
                            FN(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE)};
const FlagName tsNames[] = {FN(D3DTRANSFORMSTATE_WORLD), FN(D3DTRANSFORMSTATE_VIEW),
                            FN(D3DTRANSFORMSTATE_PROJECTION)};
const FlagName ptNames[] = {FN(D3DPT_POINTLIST),    FN(D3DPT_LINELIST),      FN(D3DPT_LINESTRIP),
                            FN(D3DPT_TRIANGLELIST), FN(D3DPT_TRIANGLESTRIP), FN(D3DPT_TRIANGLEFAN)};
#undef FN

template <size_t N> std::string enumName(DWORD v, const FlagName (&table)[N]) {
    for (const auto& f : table)
        if (f.value == v) return f.name;
    return std::to_string(v);
}

template <size_t N> std::string flags(DWORD v, const FlagName (&table)[N]) {
    return flagNames(v, table, N);
}

std::string guidName(REFGUID g) {
    if (g == IID_IDirect3DHALDevice) return "IID_IDirect3DHALDevice";
    if (g == IID_IDirect3DRGBDevice) return "IID_IDirect3DRGBDevice";
    if (g == IID_IDirect3DTnLHalDevice) return "IID_IDirect3DTnLHalDevice";
    if (g == IID_IDirectDraw7) return "IID_IDirectDraw7";
    if (g == IID_IDirect3D7) return "IID_IDirect3D7";
    if (g == IID_IDirect3DDevice7) return "IID_IDirect3DDevice7";
    if (g == IID_IDirectDrawSurface7) return "IID_IDirectDrawSurface7";
    if (g == IID_IUnknown) return "IID_IUnknown";
    return "{" + hex(g.Data1) + "}";
}

std::string formatName(const DDPIXELFORMAT& f) {
    std::string s = "{" + flags(f.dwFlags, ddpfNames) + " " + std::to_string(f.dwRGBBitCount);
    if (f.dwFlags & DDPF_ZBUFFER) return s + " z=" + hex(f.dwZBitMask) + "}";
    return s + " " + hex(f.dwRBitMask) + "/" + hex(f.dwGBitMask) + "/" + hex(f.dwBBitMask) + "/" +
           hex(f.dwRGBAlphaBitMask) + "}";
}

std::string colorText(const D3DCOLORVALUE& c) {
    return "(" + num(c.r) + "," + num(c.g) + "," + num(c.b) + "," + num(c.a) + ")";
}

std::string vecText(const D3DVECTOR& v) {
    return "(" + num(v.x) + "," + num(v.y) + "," + num(v.z) + ")";
}

HRESULT logCall(const std::string& text, HRESULT hr) {
    rs.calls.push_back(FAILED(hr) ? text + " = FAILED" : text);
    rs.results.push_back(hr);
    return hr;
}

bool configuredToFail(const std::string& text) {
    for (const auto& f : rs.config.failing)
        if (!f.empty() && text.compare(0, f.size(), f) == 0) return true;
    return false;
}

std::string newName(const std::string& kind) {
    return kind + std::to_string(++rs.named[kind]);
}

D3DMATRIX identity() {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// --- objects ------------------------------------------------------------------------------------------

struct RecObject {
    std::string name;
    DWORD refs = 1;
    int generation;
    const void* iface = nullptr; // the interface pointer callers hold

    explicit RecObject(std::string n) : name(std::move(n)), generation(rs.generation) {
        liveObjects.push_back(this);
    }
    virtual ~RecObject() { liveObjects.erase(std::find(liveObjects.begin(), liveObjects.end(), this)); }

    DWORD addRef() {
        ++refs;
        return refs;
    }
    DWORD release() {
        DWORD left = --refs;
        logCall(name + ".Release() -> " + std::to_string(left), DD_OK);
        if (left == 0) delete this;
        return left;
    }
};

RecObject* findLive(const void* p) {
    for (RecObject* o : liveObjects)
        if (o->iface == p) return o;
    return nullptr;
}

template <class T> T* liveAs(const void* p) {
    RecObject* o = findLive(p);
    return o ? dynamic_cast<T*>(o) : nullptr;
}

bool sameRgbFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
    return a.dwFlags == b.dwFlags && a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask &&
           a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask &&
           a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask;
}

struct RecSurface : IDirectDrawSurface7, RecObject {
    std::string role;
    DDSURFACEDESC2 desc;
    std::vector<uint8_t> pixels;
    int pitch = 0;
    RecSurface* zbuffer = nullptr; // attached, holds a reference
    HDC dc = nullptr;              // handed out by GetDC
    bool lost = false;

    RecSurface(const std::string& r, const DDSURFACEDESC2& d) : RecObject(newName(r)), role(r), desc(d) {
        iface = static_cast<IDirectDrawSurface7*>(this);
        DWORD bpp = desc.ddpfPixelFormat.dwRGBBitCount;
        if ((role == "texture" || role == "target" || role == "surface") && (bpp == 16 || bpp == 32)) {
            pitch = int(desc.dwWidth * (bpp / 8));
            pixels.assign(size_t(pitch) * desc.dwHeight, 0);
        }
    }
    ~RecSurface() override {
        if (dc) DeleteDC(dc);
        if (zbuffer) zbuffer->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IDirectDrawSurface7 || riid == IID_IUnknown) {
            addRef();
            *object = static_cast<IDirectDrawSurface7*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    DWORD STDMETHODCALLTYPE AddRef() override { return addRef(); }
    DWORD STDMETHODCALLTYPE Release() override { return release(); }

    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE7 attached) override {
        std::string call = name + ".AddAttachedSurface(" + recordName(attached) + ")";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        RecSurface* z = liveAs<RecSurface>(attached);
        if (!z || z->role != "zbuffer" || !(desc.ddsCaps.dwCaps & DDSCAPS_3DDEVICE))
            return logCall(call, DDERR_INVALIDPARAMS);
        if (zbuffer) return logCall(call, DDERR_SURFACEALREADYATTACHED);
        if (z->desc.dwWidth != desc.dwWidth || z->desc.dwHeight != desc.dwHeight)
            return logCall(call, DDERR_INVALIDPARAMS);
        z->addRef();
        zbuffer = z;
        return logCall(call, DD_OK);
    }
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* attached) override {
        std::string call =
            name + ".GetAttachedSurface(" + (caps ? flags(caps->dwCaps, capsNames) : "null") + ")";
        if (!attached || !caps) return logCall(call, DDERR_INVALIDPARAMS);
        *attached = nullptr;
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if (zbuffer && (caps->dwCaps & DDSCAPS_ZBUFFER)) {
            zbuffer->addRef();
            *attached = zbuffer;
            return logCall(call + " -> " + zbuffer->name, DD_OK);
        }
        return logCall(call, DDERR_NOTFOUND);
    }
    HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT srcRect,
                                      DWORD fl) override {
        std::string rect = srcRect ? "{" + std::to_string(srcRect->left) + "," +
                                         std::to_string(srcRect->top) + "," + std::to_string(srcRect->right) +
                                         "," + std::to_string(srcRect->bottom) + "}"
                                   : "null";
        std::string call = name + ".BltFast(" + std::to_string(x) + ", " + std::to_string(y) + ", " +
                           recordName(source) + ", " + rect + ", " + flags(fl, bltNames) + ")";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        RecSurface* src = liveAs<RecSurface>(source);
        if (!src) return logCall(call, DDERR_INVALIDPARAMS);
        if (srcRect && (srcRect->left < 0 || srcRect->top < 0 || srcRect->right > LONG(src->desc.dwWidth) ||
                        srcRect->bottom > LONG(src->desc.dwHeight) || srcRect->left > srcRect->right ||
                        srcRect->top > srcRect->bottom))
            return logCall(call, DDERR_INVALIDPARAMS);
        if (lost || src->lost) return logCall(call, DDERR_SURFACELOST);
        return logCall(call, DD_OK);
    }
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE7 target, DWORD fl) override {
        std::string call = name + ".Flip(" + recordName(target) + ", " + std::to_string(fl) + ")";
        return logCall(call, configuredToFail(call) ? DDERR_GENERIC : DDERR_NOTFLIPPABLE);
    }
    HRESULT STDMETHODCALLTYPE GetDC(HDC* out) override {
        std::string call = name + ".GetDC()";
        if (!out) return logCall(call, DDERR_INVALIDPARAMS);
        *out = nullptr;
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if (lost) return logCall(call, DDERR_SURFACELOST);
        if (dc) return logCall(call, DDERR_DCALREADYCREATED);
        if (pixels.empty()) return logCall(call, DDERR_NODC);
        const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
        dc = platformCreatePixelDC(pixels.data(), int(desc.dwWidth), int(desc.dwHeight), pitch,
                                   f.dwRGBBitCount, f.dwRBitMask, f.dwGBitMask, f.dwBBitMask);
        if (!dc) return logCall(call, DDERR_NODC);
        *out = dc;
        return logCall(call, DD_OK);
    }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC in) override {
        std::string call = name + ".ReleaseDC()";
        if (!dc || in != dc) return logCall(call, DDERR_INVALIDPARAMS);
        DeleteDC(dc);
        dc = nullptr;
        return logCall(call, DD_OK);
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC2 out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = desc;
        out->dwSize = sizeof(DDSURFACEDESC2);
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE IsLost() override {
        return logCall(name + ".IsLost()", lost ? DDERR_SURFACELOST : DD_OK);
    }
    HRESULT STDMETHODCALLTYPE Restore() override {
        std::string call = name + ".Restore()";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        lost = false;
        return logCall(call, DD_OK);
    }
};

struct RecDevice : IDirect3DDevice7, RecObject {
    RecordDeviceState state;
    RecSurface* target; // holds a reference

    RecDevice(RecSurface* t) : RecObject(newName("device")), target(t) {
        iface = static_cast<IDirect3DDevice7*>(this);
        target->addRef();
        state.world = state.view = state.projection = identity();
        std::memset(&state.viewport, 0, sizeof state.viewport);
        std::memset(&state.material, 0, sizeof state.material);
        std::memset(state.lights, 0, sizeof state.lights);
        std::fill(std::begin(state.lightEnabled), std::end(state.lightEnabled), false);
        state.texture = nullptr;
        state.inScene = false;
        state.scenes = 0;
        state.draws = 0;
        state.lastVertices = nullptr;
        state.lastVertexCount = 0;
        rs.device = this;
    }
    ~RecDevice() override {
        if (state.texture) state.texture->Release();
        target->Release();
        if (rs.device == this) rs.device = nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IDirect3DDevice7 || riid == IID_IUnknown) {
            addRef();
            *object = static_cast<IDirect3DDevice7*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    DWORD STDMETHODCALLTYPE AddRef() override { return addRef(); }
    DWORD STDMETHODCALLTYPE Release() override { return release(); }

    HRESULT STDMETHODCALLTYPE EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK cb, LPVOID ctx) override {
        std::string call = name + ".EnumTextureFormats()";
        if (!cb) return logCall(call, DDERR_INVALIDPARAMS);
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        logCall(call, D3D_OK);
        for (DDPIXELFORMAT f : rs.config.textureFormats)
            if (cb(&f, ctx) == D3DENUMRET_CANCEL) break;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override {
        std::string call = name + ".BeginScene()";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if (state.inScene) return logCall(call, D3DERR_SCENE_IN_SCENE);
        state.inScene = true;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE EndScene() override {
        std::string call = name + ".EndScene()";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if (!state.inScene) return logCall(call, D3DERR_SCENE_NOT_IN_SCENE);
        state.inScene = false;
        ++state.scenes;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, LPD3DRECT rects, DWORD fl, D3DCOLOR color, D3DVALUE z,
                                    DWORD stencil) override {
        std::string call = name + ".Clear(" + std::to_string(count) + ", " + (rects ? "rects" : "null") +
                           ", " + flags(fl, clearNames) + ", " + hex(color) + ", " + num(z) + ", " +
                           std::to_string(stencil) + ")";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if ((count > 0 && !rects) || !(fl & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
            return logCall(call, DDERR_INVALIDPARAMS);
        if ((fl & D3DCLEAR_ZBUFFER) && !target->zbuffer) return logCall(call, D3DERR_ZBUFFER_NOTPRESENT);
        return logCall(call, D3D_OK);
    }
    D3DMATRIX* transformSlot(D3DTRANSFORMSTATETYPE s) {
        switch (s) {
        case D3DTRANSFORMSTATE_WORLD:
            return &state.world;
        case D3DTRANSFORMSTATE_VIEW:
            return &state.view;
        case D3DTRANSFORMSTATE_PROJECTION:
            return &state.projection;
        }
        return nullptr;
    }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE s, LPD3DMATRIX m) override {
        std::string call = name + ".SetTransform(" + enumName(DWORD(s), tsNames) + ", ";
        if (m) {
            call += "[";
            for (int i = 0; i < 16; ++i)
                call += (i ? " " : "") + num(m->m[i / 4][i % 4]);
            call += "])";
        } else {
            call += "null)";
        }
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        D3DMATRIX* slot = transformSlot(s);
        if (!slot || !m) return logCall(call, DDERR_INVALIDPARAMS);
        *slot = *m;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE s, LPD3DMATRIX m) override {
        D3DMATRIX* slot = transformSlot(s);
        if (!slot || !m) return DDERR_INVALIDPARAMS;
        *m = *slot;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetViewport(LPD3DVIEWPORT7 vp) override {
        std::string call = name + ".SetViewport(";
        call += vp ? std::to_string(vp->dwX) + ", " + std::to_string(vp->dwY) + ", " +
                         std::to_string(vp->dwWidth) + ", " + std::to_string(vp->dwHeight) + ", " +
                         num(vp->dvMinZ) + ", " + num(vp->dvMaxZ) + ")"
                   : "null)";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if (!vp || vp->dwWidth == 0 || vp->dwHeight == 0 ||
            uint64_t(vp->dwX) + vp->dwWidth > target->desc.dwWidth ||
            uint64_t(vp->dwY) + vp->dwHeight > target->desc.dwHeight ||
            !(vp->dvMinZ >= 0.0f && vp->dvMinZ <= 1.0f) || !(vp->dvMaxZ >= 0.0f && vp->dvMaxZ <= 1.0f))
            return logCall(call, DDERR_INVALIDPARAMS);
        state.viewport = *vp;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE GetViewport(LPD3DVIEWPORT7 vp) override {
        std::string call = name + ".GetViewport()";
        if (!vp) return logCall(call, DDERR_INVALIDPARAMS);
        *vp = state.viewport;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE SetMaterial(LPD3DMATERIAL7 m) override {
        std::string call = name + ".SetMaterial(";
        call += m ? "diffuse=" + colorText(m->diffuse) + " ambient=" + colorText(m->ambient) +
                        " specular=" + colorText(m->specular) + " emissive=" + colorText(m->emissive) +
                        " power=" + num(m->power) + ")"
                  : "null)";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if (!m) return logCall(call, DDERR_INVALIDPARAMS);
        state.material = *m;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE GetMaterial(LPD3DMATERIAL7 m) override {
        if (!m) return DDERR_INVALIDPARAMS;
        *m = state.material;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, LPD3DLIGHT7 l) override {
        std::string call = name + ".SetLight(" + std::to_string(index) + ", ";
        call += l ? "type=" + std::to_string(int(l->dltType)) + " diffuse=" + colorText(l->dcvDiffuse) +
                        " specular=" + colorText(l->dcvSpecular) + " ambient=" + colorText(l->dcvAmbient) +
                        " position=" + vecText(l->dvPosition) + " direction=" + vecText(l->dvDirection) +
                        " range=" + num(l->dvRange) + " falloff=" + num(l->dvFalloff) + " attenuation=(" +
                        num(l->dvAttenuation0) + "," + num(l->dvAttenuation1) + "," + num(l->dvAttenuation2) +
                        ") theta=" + num(l->dvTheta) + " phi=" + num(l->dvPhi) + ")"
                  : "null)";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if (!l || index >= 8 || l->dltType < D3DLIGHT_POINT || l->dltType > D3DLIGHT_DIRECTIONAL)
            return logCall(call, DDERR_INVALIDPARAMS);
        state.lights[index] = *l;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD index, LPD3DLIGHT7 l) override {
        if (!l || index >= 8) return DDERR_INVALIDPARAMS;
        *l = state.lights[index];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override {
        std::string call =
            name + ".LightEnable(" + std::to_string(index) + ", " + std::to_string(enable) + ")";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if (index >= 8) return logCall(call, DDERR_INVALIDPARAMS);
        state.lightEnabled[index] = enable != FALSE;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE s, DWORD value) override {
        std::string call =
            name + ".SetRenderState(" + enumName(DWORD(s), rsNames) + ", " + std::to_string(value) + ")";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        state.renderStates[DWORD(s)] = value;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE s, LPDWORD value) override {
        if (!value) return DDERR_INVALIDPARAMS;
        auto it = state.renderStates.find(DWORD(s));
        *value = it == state.renderStates.end() ? 0 : it->second;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) override {
        std::string call = name + ".SetTexture(" + std::to_string(stage) + ", " + recordName(texture) + ")";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        RecSurface* t = liveAs<RecSurface>(texture);
        if (stage != 0 || (texture && (!t || t->role != "texture")))
            return logCall(call, DDERR_INVALIDPARAMS);
        if (t) t->addRef();
        if (state.texture) state.texture->Release();
        state.texture = t;
        return logCall(call, D3D_OK);
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count,
                                            DWORD fl) override {
        std::string call = name + ".DrawPrimitive(" + enumName(DWORD(type), ptNames) + ", " + hex(fvf) +
                           ", " + std::to_string(count) + ", " +
                           (fl == D3DDP_WAIT ? std::string("D3DDP_WAIT") : hex(fl)) + ")";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        if (!state.inScene) return logCall(call, D3DERR_SCENE_NOT_IN_SCENE);
        if (fvf != (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1))
            return logCall(call, D3DERR_INVALIDVERTEXFORMAT);
        if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN || (count > 0 && !vertices))
            return logCall(call, DDERR_INVALIDPARAMS);
        ++state.draws;
        state.lastVertices = vertices;
        state.lastVertexCount = count;
        return logCall(call, D3D_OK);
    }
};

struct RecDirect3D;

struct RecDirectDraw : IDirectDraw7, RecObject {
    RecDirectDraw() : RecObject(newName("ddraw")) { iface = static_cast<IDirectDraw7*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override;
    DWORD STDMETHODCALLTYPE AddRef() override { return addRef(); }
    DWORD STDMETHODCALLTYPE Release() override { return release(); }

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD fl) override {
        std::string call =
            name + ".SetCooperativeLevel(" + (hwnd ? "hwnd" : "null") + ", " + flags(fl, scNames) + ")";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        bool normal = (fl & DDSCL_NORMAL) != 0;
        bool exclusive = (fl & (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE)) == (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
        if (normal == exclusive || (exclusive && !hwnd)) return logCall(call, DDERR_INVALIDPARAMS);
        return logCall(call, DD_OK);
    }
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD w, DWORD h, DWORD bpp, DWORD rate, DWORD fl) override {
        std::string call = name + ".SetDisplayMode(" + std::to_string(w) + ", " + std::to_string(h) + ", " +
                           std::to_string(bpp) + ", " + std::to_string(rate) + ", " + std::to_string(fl) +
                           ")";
        return logCall(call, configuredToFail(call) ? DDERR_GENERIC : DDERR_UNSUPPORTED);
    }
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC2 d, LPDIRECTDRAWSURFACE7* out,
                                            IUnknown* outer) override {
        std::string call = name + ".CreateSurface(";
        std::string role = "surface";
        if (d) {
            call += "flags=" + flags(d->dwFlags, ddsdNames);
            if (d->dwFlags & DDSD_CAPS) {
                call += " caps=" + flags(d->ddsCaps.dwCaps, capsNames);
                if (d->ddsCaps.dwCaps2) call += " caps2=" + flags(d->ddsCaps.dwCaps2, caps2Names);
                DWORD c = d->ddsCaps.dwCaps;
                role = (c & DDSCAPS_PRIMARYSURFACE) ? "primary"
                       : (c & DDSCAPS_ZBUFFER)      ? "zbuffer"
                       : (c & DDSCAPS_TEXTURE)      ? "texture"
                       : (c & DDSCAPS_3DDEVICE)     ? "target"
                                                    : "surface";
            }
            if (d->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT))
                call += " " + std::to_string(d->dwWidth) + "x" + std::to_string(d->dwHeight);
            if (d->dwFlags & DDSD_BACKBUFFERCOUNT)
                call += " backbuffers=" + std::to_string(d->dwBackBufferCount);
            if (d->dwFlags & DDSD_PIXELFORMAT) call += " format=" + formatName(d->ddpfPixelFormat);
            if (d->dwFlags & DDSD_TEXTURESTAGE) call += " stage=" + std::to_string(d->dwTextureStage);
        } else {
            call += "null";
        }
        call += ")";
        if (!out) return logCall(call, DDERR_INVALIDPARAMS);
        *out = nullptr;
        if (configuredToFail(call) || configuredToFail("CreateSurface:" + role))
            return logCall(call, DDERR_GENERIC);
        if (!d || outer ||
            (d->dwSize != sizeof(DDSURFACEDESC2) && d->dwSize != DDSURFACEDESC2_WINDOWS_SIZE) ||
            !(d->dwFlags & DDSD_CAPS))
            return logCall(call, DDERR_INVALIDPARAMS);
        DDSURFACEDESC2 made = *d;
        if (role == "primary") {
            if (d->ddsCaps.dwCaps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX)) return logCall(call, DDERR_UNSUPPORTED);
            made.dwWidth = 640;
            made.dwHeight = 480;
        } else {
            if ((d->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || d->dwWidth == 0 ||
                d->dwHeight == 0 || d->dwWidth > 4096 || d->dwHeight > 4096)
                return logCall(call, DDERR_INVALIDPARAMS);
        }
        const DDPIXELFORMAT& f = d->ddpfPixelFormat;
        bool hasFormat = (d->dwFlags & DDSD_PIXELFORMAT) != 0;
        if (role == "zbuffer" &&
            (!hasFormat || !(f.dwFlags & DDPF_ZBUFFER) ||
             (f.dwZBufferBitDepth != 16 && f.dwZBufferBitDepth != 24 && f.dwZBufferBitDepth != 32)))
            return logCall(call, DDERR_INVALIDPIXELFORMAT);
        if (role == "texture") {
            bool offered = false;
            for (const auto& o : rs.config.textureFormats)
                offered = offered || (hasFormat && sameRgbFormat(o, f));
            if (!offered) return logCall(call, DDERR_INVALIDPIXELFORMAT);
        }
        if (!hasFormat && role != "zbuffer")
            made.ddpfPixelFormat = recordRgbFormat(16, 0xF800, 0x07E0, 0x001F);
        made.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        RecSurface* s = new RecSurface(role, made);
        *out = s;
        return logCall(call + " -> " + s->name, DD_OK);
    }
};

struct RecDirect3D : IDirect3D7, RecObject {
    RecDirectDraw* owner; // holds a reference

    explicit RecDirect3D(RecDirectDraw* dd) : RecObject(newName("d3d")), owner(dd) {
        iface = static_cast<IDirect3D7*>(this);
        owner->addRef();
    }
    ~RecDirect3D() override { owner->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IDirect3D7 || riid == IID_IUnknown) {
            addRef();
            *object = static_cast<IDirect3D7*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    DWORD STDMETHODCALLTYPE AddRef() override { return addRef(); }
    DWORD STDMETHODCALLTYPE Release() override { return release(); }

    const std::vector<DDPIXELFORMAT>* formatsFor(REFCLSID g) {
        if (g == IID_IDirect3DHALDevice || g == IID_IDirect3DTnLHalDevice)
            return &rs.config.halZBufferFormats;
        if (g == IID_IDirect3DRGBDevice) return &rs.config.rgbZBufferFormats;
        return nullptr;
    }
    HRESULT STDMETHODCALLTYPE EnumZBufferFormats(REFCLSID g, LPD3DENUMPIXELFORMATSCALLBACK cb,
                                                 LPVOID ctx) override {
        std::string call = name + ".EnumZBufferFormats(" + guidName(g) + ")";
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        const std::vector<DDPIXELFORMAT>* formats = formatsFor(g);
        if (!cb || !formats) return logCall(call, DDERR_INVALIDPARAMS);
        logCall(call, D3D_OK);
        for (DDPIXELFORMAT f : *formats)
            if (cb(&f, ctx) == D3DENUMRET_CANCEL) break;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateDevice(REFCLSID g, LPDIRECTDRAWSURFACE7 target,
                                           LPDIRECT3DDEVICE7* out) override {
        std::string call = name + ".CreateDevice(" + guidName(g) + ", " + recordName(target) + ")";
        if (!out) return logCall(call, DDERR_INVALIDPARAMS);
        *out = nullptr;
        if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
        const std::vector<DDPIXELFORMAT>* formats = formatsFor(g);
        if (!formats) return logCall(call, D3DERR_INVALID_DEVICE);
        RecSurface* t = liveAs<RecSurface>(target);
        if (!t || !(t->desc.ddsCaps.dwCaps & DDSCAPS_3DDEVICE)) return logCall(call, DDERR_INVALIDCAPS);
        RecDevice* dev = new RecDevice(t);
        *out = dev;
        return logCall(call + " -> " + dev->name, D3D_OK);
    }
};

HRESULT RecDirectDraw::QueryInterface(REFIID riid, LPVOID* object) {
    std::string call = name + ".QueryInterface(" + guidName(riid) + ")";
    if (!object) return logCall(call, E_POINTER);
    *object = nullptr;
    if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
    if (riid == IID_IDirectDraw7 || riid == IID_IUnknown) {
        addRef();
        *object = static_cast<IDirectDraw7*>(this);
        return logCall(call + " -> " + name, S_OK);
    }
    if (riid == IID_IDirect3D7) {
        RecDirect3D* d3d = new RecDirect3D(this);
        *object = static_cast<IDirect3D7*>(d3d);
        return logCall(call + " -> " + d3d->name, S_OK);
    }
    return logCall(call, E_NOINTERFACE);
}

HRESULT recordFactory(GUID* guid, REFIID iid, IUnknown* outer, IDirectDraw7** out) {
    std::string call =
        std::string("DirectDrawCreateEx(") + (guid ? guidName(*guid) : "null") + ", " + guidName(iid) + ")";
    if (configuredToFail(call)) return logCall(call, DDERR_GENERIC);
    if (guid || outer || iid != IID_IDirectDraw7) return logCall(call, DDERR_INVALIDPARAMS);
    RecDirectDraw* dd = new RecDirectDraw();
    *out = dd;
    return logCall(call + " -> " + dd->name, DD_OK);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Public recorder API
// ---------------------------------------------------------------------------------------------------------
DDPIXELFORMAT recordZBufferFormat(DWORD zBits, DWORD stencilBits) {
    return platformZBufferFormat(zBits, stencilBits);
}

DDPIXELFORMAT recordRgbFormat(DWORD bits, DWORD redMask, DWORD greenMask, DWORD blueMask, DWORD alphaMask) {
    return platformRgbFormat(bits, redMask, greenMask, blueMask, alphaMask);
}

RecordConfig::RecordConfig() {
    halZBufferFormats = {recordZBufferFormat(24, 8), recordZBufferFormat(16)};
    rgbZBufferFormats = {recordZBufferFormat(16)};
    textureFormats = {recordRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000),
                      recordRgbFormat(16, 0xF800, 0x07E0, 0x001F),
                      recordRgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
                      recordRgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000)};
}

void recordReset(const RecordConfig& config) {
    int generation = rs.generation + 1;
    rs = RecordState();
    rs.generation = generation;
    rs.config = config;
    platformSetDirectDrawFactory(recordFactory);
}

const std::vector<std::string>& recordCalls() {
    return rs.calls;
}
const std::vector<HRESULT>& recordResults() {
    return rs.results;
}

void recordClearCalls() {
    rs.calls.clear();
    rs.results.clear();
}

std::vector<std::string> recordCallsTo(const std::string& method) {
    std::vector<std::string> out;
    for (const auto& c : rs.calls) {
        size_t dot = c.find('.');
        size_t start = dot == std::string::npos ? 0 : dot + 1;
        if (c.compare(start, method.size(), method) == 0 && c.size() > start + method.size() &&
            c[start + method.size()] == '(')
            out.push_back(c);
    }
    return out;
}

int recordLiveObjects() {
    int n = 0;
    for (RecObject* o : liveObjects)
        if (o->generation == rs.generation) ++n;
    return n;
}

std::string recordName(const IUnknown* object) {
    if (!object) return "null";
    RecObject* o = findLive(object);
    return o ? o->name : "?";
}

const RecordDeviceState* recordDevice() {
    return rs.device ? &rs.device->state : nullptr;
}

const void* recordSurfacePixels(IDirectDrawSurface7* surface, int* pitch) {
    RecSurface* s = liveAs<RecSurface>(surface);
    if (!s || s->pixels.empty()) return nullptr;
    if (pitch) *pitch = s->pitch;
    return s->pixels.data();
}

void recordLoseSurfaces() {
    for (RecObject* o : liveObjects)
        if (RecSurface* s = dynamic_cast<RecSurface*>(o)) s->lost = true;
}
