// fixed_function_device.cpp -- the Direct3D device on OpenGL's fixed function (a compatibility-profile
// context).
//
// Lighting is OpenGL's fixed-function lighting, which has Direct3D 7's formula: emissive + ambient +
// diffuse max(N.L, 0) + specular (N.H)^P only where N.L > 0, H from the local viewer, specular added after
// texturing (separate specular colour).
#define CAVE_GL_FIXED_FUNCTION 1
#include <algorithm>

#include "platform/gl/gl_internal.h"
#include "platform/gl/fixed_function_device.h"

namespace glimpl {

namespace {

struct FixedFunctionDevice : GlDeviceBase {
    explicit FixedFunctionDevice(GlSurface* t) : GlDeviceBase(t) {}
    void drawVertices(GLenum mode, const float* v, GLsizei count) override;
    void applyStates();
};

void setColor(GLenum light, GLenum what, const D3DCOLORVALUE& c) {
    const GLfloat v[4] = {c.r, c.g, c.b, c.a};
    glLightfv(light, what, v);
}

void FixedFunctionDevice::applyStates() {
    // Transforms: projection x C (depth 0..w -> -w..w, half-pixel move), modelview = world x view.
    D3DMATRIX p = glProjection(projection, viewport);
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

    applyDepthBlendCull();
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

void FixedFunctionDevice::drawVertices(GLenum mode, const float* v, GLsizei count) {
    applyStates();
    const GLsizei stride = 32; // x y z, nx ny nz, tu tv
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, v);
    glNormalPointer(GL_FLOAT, stride, v + 3);
    glTexCoordPointer(2, GL_FLOAT, stride, v + 6);
    glDrawArrays(mode, 0, count);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

GlDeviceBase* newFixedFunctionDevice(GlSurface* target) {
    return new FixedFunctionDevice(target);
}

} // namespace

} // namespace glimpl

HRESULT glCreateDirectDraw(GUID* guid, REFIID iid, IUnknown* outer, IDirectDraw7** directDraw) {
    return glimpl::createDirectDraw(glimpl::newFixedFunctionDevice, guid, iid, outer, directDraw);
}
