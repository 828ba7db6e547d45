// device_state.cpp -- what every OpenGL Direct3D device keeps and does alike: render states, transforms,
// viewport, material, lights, texture stage 0, scenes and clears.
//
// Direct3D conventions reproduced here for every device:
// - matrices are row-major with row vectors; their memory is the column-major form OpenGL takes, so
//   World x View becomes the modelview and Projection x C the projection, where C maps Direct3D's clip
//   depth 0..w onto OpenGL's -w..w and moves the image by just under half a pixel (Direct3D samples pixel
//   centres at integer screen coordinates, OpenGL at +0.5);
// - the image is not flipped: Direct3D's row 0 (top) is OpenGL's top row of the framebuffer, so the
//   winding seen on screen is the same in both, and D3DCULL_CCW culls what looks counter-clockwise.
#include <algorithm>
#include <cstring>

#include "platform/gl/gl_internal.h"
#include "platform/core/picture_placement.h"

namespace glimpl {

D3DMATRIX identity() {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

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

D3DMATRIX glProjection(const D3DMATRIX& projection, const D3DVIEWPORT7& viewport) {
    // The half-pixel move is kept 1/64 pixel short so that a pixel centre lying exactly on an edge falls
    // inside for top and left edges and outside for bottom and right ones, Direct3D's fill rule (OpenGL's
    // own rule, seen through the flipped y axis, would give the opposite).
    const float move = 0.5f - 1.0f / 64.0f;
    D3DMATRIX c = identity();
    c._33 = 2.0f;
    c._43 = -1.0f;
    c._41 = 2.0f * move / float(viewport.dwWidth);
    c._42 = -2.0f * move / float(viewport.dwHeight);
    return multiply(projection, c);
}

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

GlDeviceBase::GlDeviceBase(GlSurface* t) : target(t) {
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

GlDeviceBase::~GlDeviceBase() {
    if (texture) texture->Release();
    target->Release();
}

HRESULT GlDeviceBase::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK cb, LPVOID ctx) {
    if (!cb) return DDERR_INVALIDPARAMS;
    for (const auto& t : textureFormats()) {
        DDPIXELFORMAT f = t.ddpf;
        if (cb(&f, ctx) == D3DENUMRET_CANCEL) break;
    }
    return D3D_OK;
}

HRESULT GlDeviceBase::BeginScene() {
    if (inScene) return D3DERR_SCENE_IN_SCENE;
    inScene = true;
    return D3D_OK;
}

HRESULT GlDeviceBase::EndScene() {
    if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    inScene = false;
    if (contextAlive()) glFlush();
    return D3D_OK;
}

bool GlDeviceBase::bindTarget() {
    if (!contextAlive() || !target->framebuffer) return false;
    framebufferChanging(target->framebuffer, false);
    glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer);
    GLint y = GLint(target->desc.dwHeight) - GLint(viewport.dwY + viewport.dwHeight);
    glViewport(GLint(viewport.dwX), y, GLsizei(viewport.dwWidth), GLsizei(viewport.dwHeight));
    glDepthRangef(viewport.dvMinZ, viewport.dvMaxZ);
    return true;
}

HRESULT GlDeviceBase::Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                            DWORD stencil) {
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
        glClearDepthf(std::min(1.0f, std::max(0.0f, z)));
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_STENCIL) && target->zbuffer &&
        (target->zbuffer->desc.ddpfPixelFormat.dwFlags & DDPF_STENCILBUFFER)) {
        glClearStencil(GLint(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
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

D3DMATRIX* GlDeviceBase::transformSlot(D3DTRANSFORMSTATETYPE s) {
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

HRESULT GlDeviceBase::SetTransform(D3DTRANSFORMSTATETYPE s, LPD3DMATRIX m) {
    D3DMATRIX* slot = transformSlot(s);
    if (!slot || !m) return DDERR_INVALIDPARAMS;
    *slot = *m;
    return D3D_OK;
}

HRESULT GlDeviceBase::GetTransform(D3DTRANSFORMSTATETYPE s, LPD3DMATRIX m) {
    D3DMATRIX* slot = transformSlot(s);
    if (!slot || !m) return DDERR_INVALIDPARAMS;
    *m = *slot;
    return D3D_OK;
}

HRESULT GlDeviceBase::SetViewport(LPD3DVIEWPORT7 vp) {
    if (!vp || vp->dwWidth == 0 || vp->dwHeight == 0 ||
        uint64_t(vp->dwX) + vp->dwWidth > target->desc.dwWidth ||
        uint64_t(vp->dwY) + vp->dwHeight > target->desc.dwHeight ||
        !(vp->dvMinZ >= 0.0f && vp->dvMinZ <= 1.0f) || !(vp->dvMaxZ >= 0.0f && vp->dvMaxZ <= 1.0f))
        return DDERR_INVALIDPARAMS;
    viewport = *vp;
    return D3D_OK;
}

HRESULT GlDeviceBase::GetViewport(LPD3DVIEWPORT7 vp) {
    if (!vp) return DDERR_INVALIDPARAMS;
    *vp = viewport;
    return D3D_OK;
}

HRESULT GlDeviceBase::SetMaterial(LPD3DMATERIAL7 m) {
    if (!m) return DDERR_INVALIDPARAMS;
    material = *m;
    return D3D_OK;
}

HRESULT GlDeviceBase::GetMaterial(LPD3DMATERIAL7 m) {
    if (!m) return DDERR_INVALIDPARAMS;
    *m = material;
    return D3D_OK;
}

HRESULT GlDeviceBase::SetLight(DWORD index, LPD3DLIGHT7 l) {
    if (!l || index >= 8 || l->dltType < D3DLIGHT_POINT || l->dltType > D3DLIGHT_DIRECTIONAL)
        return DDERR_INVALIDPARAMS;
    lights[index] = *l;
    lightSet[index] = true;
    return D3D_OK;
}

HRESULT GlDeviceBase::GetLight(DWORD index, LPD3DLIGHT7 l) {
    if (!l || index >= 8 || !lightSet[index]) return DDERR_INVALIDPARAMS;
    *l = lights[index];
    return D3D_OK;
}

HRESULT GlDeviceBase::LightEnable(DWORD index, BOOL enable) {
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

HRESULT GlDeviceBase::SetRenderState(D3DRENDERSTATETYPE s, DWORD value) {
    renderStates[DWORD(s)] = value;
    return D3D_OK;
}

HRESULT GlDeviceBase::GetRenderState(D3DRENDERSTATETYPE s, LPDWORD value) {
    if (!value) return DDERR_INVALIDPARAMS;
    *value = state(DWORD(s));
    return D3D_OK;
}

HRESULT GlDeviceBase::SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 surface) {
    GlSurface* t = ourSurface(surface);
    if (stage != 0 || (surface && (!t || t->role != Role::Texture))) return DDERR_INVALIDPARAMS;
    if (t) t->AddRef();
    if (texture) texture->Release();
    texture = t;
    return D3D_OK;
}

HRESULT GlDeviceBase::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count, DWORD) {
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
    if (count > DWORD(INT32_MAX / 32)) return DDERR_INVALIDPARAMS; // more bytes than OpenGL can be given
    if (!bindTarget()) return DDERR_GENERIC;
    drawVertices(mode, static_cast<const float*>(vertices), GLsizei(count));
    return D3D_OK;
}

void GlDeviceBase::applyDepthBlendCull() {
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
}

void blitClientArea(GLuint framebuffer, int sourceHeight, const RECT& r, int dx, int dy, int clientWidth,
                    int clientHeight, int drawWidth, int drawHeight) {
    const int cw = clientWidth > 0 ? clientWidth : 1, ch = clientHeight > 0 ? clientHeight : 1;
    const int w = r.right - r.left, h = r.bottom - r.top, sh = sourceHeight;
    const PicturePlacement p = picturePlacement(drawWidth, drawHeight, clientWidth, clientHeight);
    auto toX = [&](int clientX) { return GLint(p.x + int64_t(clientX) * p.width / cw); };
    auto toY = [&](int clientY) { return GLint(p.y + int64_t(clientY) * p.height / ch); };
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    // The bars are cleared black, and only when there are bars: on llvmpipe a clear of the window's
    // framebuffer at every present made later read-backs of the back buffer return the frame before, and
    // left the shader device drawing with the texture a released one had (seen in the device tests).
    if (p.x > 0 || p.y > 0 || p.width < drawWidth || p.height < drawHeight) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f); // the device sets its own colour before each of its clears
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBlitFramebuffer(r.left, sh - r.bottom, r.right, sh - r.top, toX(dx), drawHeight - toY(dy + h),
                      toX(dx + w), drawHeight - toY(dy), GL_COLOR_BUFFER_BIT,
                      pictureIsWholeMultiple(p, clientWidth, clientHeight) ? GL_NEAREST : GL_LINEAR);
}

} // namespace glimpl
