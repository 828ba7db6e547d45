// triangle_png.cpp -- opens a window offscreen, draws a lit, textured triangle and saves the frame as a PNG.
// Usage: triangle_png [--windowed] [OUT.png]   (default: headless, triangle.png)
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/tests/gl_support.h"

int main(int argc, char** argv) {
    const char* out = "triangle.png";
    PlatformMode mode = PlatformMode::Headless;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--windowed") == 0)
            mode = PlatformMode::Windowed;
        else
            out = argv[i];
    }
    GlScene s;
    if (!s.open(mode)) {
        std::fprintf(stderr, "triangle_png: cannot set up the OpenGL device headless\n");
        s.close();
        return 1;
    }
    // An 8 x 8 checkerboard of red and cream, 16-bit like the demo's textures.
    uint32_t check[64];
    for (int i = 0; i < 64; ++i)
        check[i] = ((i % 8) / 2 + (i / 8) / 2) % 2 ? 0xC02020 : 0xF0E0C0;
    IDirectDrawSurface7* tex = s.texture(8, 8, check);

    // The demo's projection, material and light.
    D3DMATRIX proj = {};
    proj._11 = 1.0f;
    proj._22 = 640.0f / 480.0f;
    proj._33 = 1.0f;
    proj._34 = 1.0f;
    proj._43 = -1.0f;
    D3DMATRIX id = identityMatrix();
    D3DMATERIAL7 m = {};
    m.diffuse = {{1}, {1}, {1}, {0}};
    m.ambient = {{1}, {1}, {1}, {0}};
    m.specular = {{1}, {1}, {1}, {0}};
    m.power = 10.0f;
    D3DLIGHT7 l = {};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse = {{0.8f}, {0.8f}, {0.8f}, {0}};
    l.dcvSpecular = {{1}, {1}, {1}, {0}};
    l.dcvAmbient = {{0.2f}, {0.2f}, {0.3f}, {0}};
    const float k = 1.0f / std::sqrt(0.75f);
    l.dvDirection = {{0.5f * k}, {-0.5f * k}, {0.5f * k}};
    l.dvRange = D3DLIGHT_RANGE_MAX;
    l.dvAttenuation1 = 1.0f;
    IDirect3DDevice7* d = s.device;
    d->SetMaterial(&m);
    d->SetLight(0, &l);
    d->LightEnable(0, TRUE);
    d->SetTransform(D3DTRANSFORMSTATE_WORLD, &id);
    d->SetTransform(D3DTRANSFORMSTATE_VIEW, &id);
    d->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);

    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00203040, 1.0f, 0);
    d->BeginScene();
    d->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    d->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
    d->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    d->SetTexture(0, tex);
    // Clockwise on screen (front face); tilted so that the light falls on it at an angle.
    const float n[3] = {-0.3f, 0.2f, -0.93f};
    TestVertex v[3] = {{-3, -2.5f, 8, n[0], n[1], n[2], 0, 1},
                       {0, 3, 9, n[0], n[1], n[2], 0.5f, 0},
                       {3.5f, -2, 10, n[0], n[1], n[2], 1, 1}};
    d->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 3, D3DDP_WAIT);
    d->EndScene();
    s.present();
    bool ok = platformSaveScreenshot(out);
    d->SetTexture(0, nullptr);
    if (tex) tex->Release();
    s.close();
    if (!ok) return 1;
    std::printf("triangle_png: wrote %s\n", out);
    return 0;
}
