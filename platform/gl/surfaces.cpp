// surfaces.cpp -- DirectDraw and Direct3D objects on the OpenGL context: surfaces, textures, the
// z-buffer, and the choice of device.
//
// The back buffer is a framebuffer object with an RGBA8 colour renderbuffer; the z-buffer a depth
// renderbuffer attached to it; textures are GL textures fed from 16-bit pixel memory that GDI fills
// between GetDC and ReleaseDC. The pixel memory keeps the surface's own format and size; what OpenGL is
// given is converted at upload to layouts that OpenGL ES has too, and scaled down to the context's
// largest texture when the surface is larger.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gl/gl_internal.h"
#include "platform/core/platform_core.h"

namespace glimpl {

namespace {

// How the pixel memory of a format becomes what OpenGL is given.
enum Repack : GLenum {
    AsIs = 0,     // 5-6-5: OpenGL's GL_UNSIGNED_SHORT_5_6_5 has the same layout
    Argb1555 = 1, // A1R5G5B5 -> R5G5B5A1
    Xrgb1555 = 2, // X1R5G5B5 -> R5G5B5A1, opaque
    Argb4444 = 3, // A4R4G4B4 -> R4G4B4A4
    Argb8888 = 4, // B G R A bytes -> R G B A bytes
};

// Repack rule of a format, kept in TextureFormat::internal's neighbour table below.
struct FormatUpload {
    GLenum internal, format, type;
    Repack repack;
};

const FormatUpload uploads[] = {
    {GL_RGB5_A1, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, Argb1555},
    {GL_RGBA4, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, Argb4444},
    {GL_RGB, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, AsIs},
    {GL_RGB5_A1, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, Xrgb1555},
    {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, Argb8888},
};

Repack repackOf(const TextureFormat* f) {
    return uploads[f - textureFormats().data()].repack;
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

// Side of the texture OpenGL holds for a surface side: the side itself, or the largest the context takes.
GLsizei textureSide(DWORD side) {
    return GLsizei(std::min<DWORD>(side, DWORD(maxTextureSize())));
}

// Surfaces and devices are only ever ours; anything else is refused by role check on our own list.
std::vector<GlSurface*> liveSurfaces;

} // namespace

struct GlDirectDraw : GlInterface<IDirectDraw7> {
    DeviceMaker maker;     // the devices its Direct3D makes
    HWND window = nullptr; // from SetCooperativeLevel
    bool cooperative = false;

    explicit GlDirectDraw(DeviceMaker m) : maker(m) {}

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

const std::vector<TextureFormat>& textureFormats() {
    static const std::vector<TextureFormat> formats = [] {
        const DDPIXELFORMAT ddpf[] = {
            platformRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000),
            platformRgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
            platformRgbFormat(16, 0xF800, 0x07E0, 0x001F, 0),
            platformRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0),
            platformRgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000),
        };
        static_assert(sizeof ddpf / sizeof ddpf[0] == sizeof uploads / sizeof uploads[0], "one upload each");
        std::vector<TextureFormat> list;
        for (size_t i = 0; i < sizeof ddpf / sizeof ddpf[0]; ++i)
            list.push_back({ddpf[i], uploads[i].internal, uploads[i].format, uploads[i].type});
        return list;
    }();
    return formats;
}

GlSurface* ourSurface(IDirectDrawSurface7* p) {
    for (GlSurface* s : liveSurfaces)
        if (static_cast<IDirectDrawSurface7*>(s) == p) return s;
    return nullptr;
}

GlSurface::GlSurface(Role r, const DDSURFACEDESC2& d, GlDirectDraw* dd) : role(r), desc(d), owner(dd) {
    owner->AddRef();
    liveSurfaces.push_back(this);
}

HRESULT GlSurface::GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* attached) {
    if (!caps || !attached) return DDERR_INVALIDPARAMS;
    *attached = nullptr;
    if (zbuffer && (caps->dwCaps & DDSCAPS_ZBUFFER)) {
        zbuffer->AddRef();
        *attached = zbuffer;
        return DD_OK;
    }
    return DDERR_NOTFOUND;
}

HRESULT GlSurface::GetDC(HDC* out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (role != Role::Texture || pixels.empty()) return DDERR_NODC;
    if (dc) return DDERR_DCALREADYCREATED;
    const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
    dc = platformCreatePixelDC(pixels.data(), int(desc.dwWidth), int(desc.dwHeight), pitch, f.dwRGBBitCount,
                               f.dwRBitMask, f.dwGBitMask, f.dwBBitMask);
    if (!dc) return DDERR_NODC;
    *out = dc;
    return DD_OK;
}

HRESULT GlSurface::ReleaseDC(HDC in) {
    if (!dc || in != dc) return DDERR_INVALIDPARAMS;
    DeleteDC(dc);
    dc = nullptr;
    upload();
    return DD_OK;
}

void GlSurface::upload() {
    if (!texture || !contextAlive()) return;
    const Repack repack = repackOf(format);
    const int bytes = int(format->ddpf.dwRGBBitCount / 8);
    const DWORD w = desc.dwWidth, h = desc.dwHeight;
    // A surface larger than the context's largest texture is point-sampled down to it: texel (x, y) of
    // the texture takes the pixel under its centre, so texture coordinates keep their meaning.
    const GLsizei tw = textureWidth, th = textureHeight;
    std::vector<uint8_t> texels(size_t(tw) * size_t(th) * size_t(bytes));
    for (GLsizei y = 0; y < th; ++y) {
        const uint8_t* row = &pixels[size_t((2 * uint64_t(y) + 1) * h / (2 * uint64_t(th))) * size_t(pitch)];
        uint8_t* out = &texels[size_t(y) * size_t(tw) * size_t(bytes)];
        for (GLsizei x = 0; x < tw; ++x, out += bytes) {
            const uint8_t* in = row + size_t((2 * uint64_t(x) + 1) * w / (2 * uint64_t(tw))) * size_t(bytes);
            if (bytes == 4) {
                // Memory B G R A (0xAARRGGBB little-endian) -> R G B A.
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = in[3];
                continue;
            }
            uint16_t v;
            std::memcpy(&v, in, 2);
            switch (repack) {
            case Argb1555:
                v = uint16_t(v << 1 | v >> 15);
                break;
            case Xrgb1555:
                v = uint16_t(v << 1 | 1);
                break;
            case Argb4444:
                v = uint16_t(v << 4 | v >> 12);
                break;
            default:
                break;
            }
            std::memcpy(out, &v, 2);
        }
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tw, th, format->format, format->type, texels.data());
}

GlSurface::~GlSurface() {
    liveSurfaces.erase(std::find(liveSurfaces.begin(), liveSurfaces.end(), this));
    if (dc) DeleteDC(dc);
    if (zbuffer) zbuffer->Release();
    if (contextAlive()) {
        if (framebuffer) {
            framebufferChanging(framebuffer, true); // a frame presented from it stays readable
            glDeleteFramebuffers(1, &framebuffer);
        }
        if (colorBuffer) glDeleteRenderbuffers(1, &colorBuffer);
        if (depthBuffer) glDeleteRenderbuffers(1, &depthBuffer);
        if (texture) glDeleteTextures(1, &texture);
    }
    owner->Release();
}

namespace {

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
        if (isHalGuid(g) && !contextIsHardware()) return D3D_OK; // no hardware device: nothing to offer
        for (DDPIXELFORMAT f : zBufferFormats())
            if (cb(&f, ctx) == D3DENUMRET_CANCEL) break;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateDevice(REFCLSID g, LPDIRECTDRAWSURFACE7 target,
                                           LPDIRECT3DDEVICE7* out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (!isHalGuid(g) && g != IID_IDirect3DRGBDevice) return D3DERR_INVALID_DEVICE;
        GlSurface* t = ourSurface(target);
        if (!t || t->role != Role::Target) return DDERR_INVALIDCAPS;
        if (!ensureContext()) return DDERR_GENERIC;
        if (isHalGuid(g) && !contextIsHardware()) return D3DERR_INVALID_DEVICE; // no GPU: only the RGB device
        // The hardware and software devices draw the same way; only their availability differs.
        GlDeviceBase* device = owner->maker(t);
        if (!device) return DDERR_GENERIC;
        *out = device;
        return D3D_OK;
    }
};

} // namespace

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
    if (!contextAlive()) return DDERR_GENERIC;
    return present(owner->window, src->framebuffer, int(sh), r, int(x), int(y));
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
        // Textures take any bitmap LoadImageA reads (larger ones than the context's largest texture are
        // scaled down at upload); render targets and z-buffers up to 4096 a side.
        const DWORD side = role == Role::Texture ? PLATFORM_MAX_BITMAP_SIDE : 4096;
        if ((d->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || d->dwWidth == 0 ||
            d->dwHeight == 0 || d->dwWidth > side || d->dwHeight > side ||
            (role == Role::Texture && uint64_t(d->dwWidth) * d->dwHeight > PLATFORM_MAX_BITMAP_PIXELS))
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
            depthFormat = 0x81A7; // GL_DEPTH_COMPONENT32: desktop OpenGL only (never offered)
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
        s->textureWidth = textureSide(made.dwWidth);
        s->textureHeight = textureSide(made.dwHeight);
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(texFormat->internal), s->textureWidth, s->textureHeight, 0,
                     texFormat->format, texFormat->type, nullptr);
        s->upload();
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

HRESULT createDirectDraw(DeviceMaker maker, GUID* guid, REFIID iid, IUnknown* outer,
                         IDirectDraw7** directDraw) {
    if (!directDraw) return DDERR_INVALIDPARAMS;
    *directDraw = nullptr;
    if (guid || outer || iid != IID_IDirectDraw7) return DDERR_INVALIDPARAMS;
    if (!ensureContext()) return DDERR_GENERIC;
    *directDraw = new GlDirectDraw(maker);
    return DD_OK;
}

} // namespace glimpl
