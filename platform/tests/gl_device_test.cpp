// gl_device_test.cpp -- read-back tests of the OpenGL device against the Direct3D 7 results the demo relies
// on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sdl/sdl_internal.h"
#include "platform/tests/gl_support.h"
#include "platform/sdl/sdl_backend.h"

namespace {

struct Rgb {
    float r, g, b;
};

int channel(uint32_t p, int shift) {
    return int((p >> shift) & 0xFF);
}

// Pixel (x, y) matches the colour within `tolerance` units of 1/255 per channel.
::testing::AssertionResult near(uint32_t p, Rgb want, int tolerance) {
    int w[3] = {int(std::lround(std::min(1.0f, want.r) * 255)),
                int(std::lround(std::min(1.0f, want.g) * 255)),
                int(std::lround(std::min(1.0f, want.b) * 255))};
    int got[3] = {channel(p, 16), channel(p, 8), channel(p, 0)};
    for (int i = 0; i < 3; ++i)
        if (std::abs(got[i] - w[i]) > tolerance) {
            char buf[128];
            std::snprintf(buf, sizeof buf, "got %02X%02X%02X, want %02X%02X%02X", got[0], got[1], got[2],
                          w[0], w[1], w[2]);
            return ::testing::AssertionFailure() << buf;
        }
    return ::testing::AssertionSuccess();
}

// What a 5-6-5 texel shows for an 8-bit colour: top bits kept, then widened back to 8 bits.
Rgb through565(uint32_t p) {
    auto widen = [](int v, int bits) { return float(v) / float((1 << bits) - 1); };
    return {widen(channel(p, 16) >> 3, 5), widen(channel(p, 8) >> 2, 6), widen(channel(p, 0) >> 3, 5)};
}

D3DCOLORVALUE cv(float r, float g, float b) {
    return {{r}, {g}, {b}, {0.0f}};
}

// Every device test runs on each device: the fixed-function one, the shader one on a 3.3 core context,
// and the shader one on an OpenGL ES 3.0 context (where nothing of desktop OpenGL may be used).
class GlDevice : public ::testing::TestWithParam<PlatformRenderer> {
  protected:
    GlScene s;

    void SetUp() override {
        ASSERT_TRUE(s.open(PlatformMode::Headless, GetParam()))
            << "the " << rendererName(GetParam()) << " device could not be set up headless";
        D3DMATRIX id = identityMatrix();
        D3DMATRIX proj = screenProjection();
        s.device->SetTransform(D3DTRANSFORMSTATE_WORLD, &id);
        s.device->SetTransform(D3DTRANSFORMSTATE_VIEW, &id);
        s.device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
        s.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        s.device->BeginScene();
    }
    void TearDown() override { s.close(); }

    // Ends the scene, presents it and opens the next one.
    void show() {
        s.device->EndScene();
        s.present();
        s.device->BeginScene();
    }

    // Lit by emissive colour only: a flat colour whatever the lights.
    void solid(float r, float g, float b) {
        D3DMATERIAL7 m = {};
        m.emissive = cv(r, g, b);
        s.device->SetMaterial(&m);
        s.device->LightEnable(0, FALSE);
        s.device->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
    }

    // A screen-space rectangle (pixels, y down) at depth z as two triangles that face the viewer, with
    // texture coordinates u0..u1, v0..v1.
    void rect(float x0, float y0, float x1, float y1, float z, float u0 = 0, float v0 = 0, float u1 = 1,
              float v1 = 1) {
        TestVertex v[6] = {{x0, y0, z, 0, 0, -1, u0, v0}, {x1, y0, z, 0, 0, -1, u1, v0},
                           {x0, y1, z, 0, 0, -1, u0, v1}, {x1, y0, z, 0, 0, -1, u1, v0},
                           {x1, y1, z, 0, 0, -1, u1, v1}, {x0, y1, z, 0, 0, -1, u0, v1}};
        EXPECT_EQ(s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 6, D3DDP_WAIT), D3D_OK);
    }
};

// Direct3D 7 lighting of one vertex (view space = world space here): returns lit colour and specular.
struct LitVertex {
    Rgb color, specular;
};

LitVertex light(const float p[3], const float n[3], const D3DMATERIAL7& m, const D3DLIGHT7& l) {
    float L[3] = {-l.dvDirection.x, -l.dvDirection.y, -l.dvDirection.z};
    float ll = std::sqrt(L[0] * L[0] + L[1] * L[1] + L[2] * L[2]);
    for (float& c : L)
        c /= ll;
    float nl = n[0] * L[0] + n[1] * L[1] + n[2] * L[2];
    float V[3] = {-p[0], -p[1], -p[2]};
    float vl = std::sqrt(V[0] * V[0] + V[1] * V[1] + V[2] * V[2]);
    float H[3] = {V[0] / vl + L[0], V[1] / vl + L[1], V[2] / vl + L[2]};
    float hl = std::sqrt(H[0] * H[0] + H[1] * H[1] + H[2] * H[2]);
    float nh = (n[0] * H[0] + n[1] * H[1] + n[2] * H[2]) / hl;
    float highlight = nl > 0 ? std::pow(std::max(nh, 0.0f), m.power) : 0.0f;
    float d = std::max(nl, 0.0f);
    auto c = [&](float me, float ma, float la, float md, float ld) {
        return std::min(1.0f, me + ma * la + md * ld * d);
    };
    LitVertex out;
    out.color = {c(m.emissive.r, m.ambient.r, l.dcvAmbient.r, m.diffuse.r, l.dcvDiffuse.r),
                 c(m.emissive.g, m.ambient.g, l.dcvAmbient.g, m.diffuse.g, l.dcvDiffuse.g),
                 c(m.emissive.b, m.ambient.b, l.dcvAmbient.b, m.diffuse.b, l.dcvDiffuse.b)};
    out.specular = {std::min(1.0f, m.specular.r * l.dcvSpecular.r * highlight),
                    std::min(1.0f, m.specular.g * l.dcvSpecular.g * highlight),
                    std::min(1.0f, m.specular.b * l.dcvSpecular.b * highlight)};
    return out;
}

TEST_P(GlDevice, LitTriangleFollowsTheLightingFormula) {
    // The demo's projection: 90 degrees across, aspect 4:3, near plane 1, no far plane.
    D3DMATRIX proj = {};
    proj._11 = 1.0f;
    proj._22 = 640.0f / 480.0f;
    proj._33 = 1.0f;
    proj._34 = 1.0f;
    proj._43 = -1.0f;
    s.device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);

    D3DMATERIAL7 m = {};
    m.diffuse = cv(0.5f, 0.25f, 0.75f);
    m.ambient = cv(0.2f, 0.2f, 0.2f);
    m.specular = cv(1.0f, 0.5f, 0.25f);
    m.emissive = cv(0.05f, 0.0f, 0.0f);
    m.power = 10.0f;
    D3DLIGHT7 l = {};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse = cv(0.6f, 0.6f, 0.6f);
    l.dcvSpecular = cv(0.5f, 0.5f, 0.5f);
    l.dcvAmbient = cv(0.25f, 0.5f, 0.0f);
    l.dvDirection = {{0.3f}, {-0.2f}, {1.0f}}; // mostly away from the viewer: the face is lit from the front
    l.dvRange = D3DLIGHT_RANGE_MAX;
    ASSERT_EQ(s.device->SetMaterial(&m), D3D_OK);
    ASSERT_EQ(s.device->SetLight(0, &l), D3D_OK);
    ASSERT_EQ(s.device->LightEnable(0, TRUE), D3D_OK);
    s.device->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
    s.device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);

    // A triangle 10 units ahead facing the eye; its corners run clockwise on screen (bottom-left, top-left,
    // bottom-right), so it is a front face for D3DCULL_CCW, like the faces of the sphere seen from outside.
    const float P[3][3] = {{-4, -3, 10}, {-4, 3, 10}, {4, -3, 10}};
    const float N[3] = {0, 0, -1};
    TestVertex v[3];
    for (int i = 0; i < 3; ++i)
        v[i] = {P[i][0], P[i][1], P[i][2], N[0], N[1], N[2], 0, 0};
    // Screen corners (pixel centres at integer coordinates): (192,336), (192,144), (448,336).
    const float X[3] = {192, 192, 448}, Y[3] = {336, 144, 336};
    LitVertex lit[3];
    for (int i = 0; i < 3; ++i)
        lit[i] = light(P[i], N, m, l);

    // Expected colour at pixel (px, py): the corners' colours interpolated (the face is at one depth).
    auto expected = [&](int px, int py, bool specular, Rgb texel) {
        float det = (Y[1] - Y[2]) * (X[0] - X[2]) + (X[2] - X[1]) * (Y[0] - Y[2]);
        float b0 = ((Y[1] - Y[2]) * (px - X[2]) + (X[2] - X[1]) * (py - Y[2])) / det;
        float b1 = ((Y[2] - Y[0]) * (px - X[2]) + (X[0] - X[2]) * (py - Y[2])) / det;
        float b[3] = {b0, b1, 1 - b0 - b1};
        Rgb c = {0, 0, 0};
        for (int i = 0; i < 3; ++i) {
            c.r += b[i] * (lit[i].color.r * texel.r + (specular ? lit[i].specular.r : 0));
            c.g += b[i] * (lit[i].color.g * texel.g + (specular ? lit[i].specular.g : 0));
            c.b += b[i] * (lit[i].color.b * texel.b + (specular ? lit[i].specular.b : 0));
        }
        return c;
    };
    const int samples[3][2] = {{277, 272}, {210, 320}, {200, 160}};
    const Rgb white = {1, 1, 1};

    // Diffuse, ambient and emissive terms; no specular while SPECULARENABLE is off.
    s.device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE);
    s.device->SetTexture(0, nullptr);
    EXPECT_EQ(s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 3, D3DDP_WAIT), D3D_OK);
    show();
    for (const auto& p : samples)
        EXPECT_TRUE(near(GlScene::pixel(p[0], p[1]), expected(p[0], p[1], false, white), 3));
    EXPECT_EQ(GlScene::pixel(100, 100), 0u); // outside: the cleared black

    // With specular.
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    s.device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 3, D3DDP_WAIT);
    show();
    for (const auto& p : samples)
        EXPECT_TRUE(near(GlScene::pixel(p[0], p[1]), expected(p[0], p[1], true, white), 3));
    EXPECT_GT(channel(GlScene::pixel(277, 272), 16), channel(GlScene::pixel(277, 272), 0));

    // The specular term is added after texturing: a black texture leaves only the highlight; a grey one
    // halves the lit colour (modulation) and keeps the highlight whole.
    const uint32_t black = 0x000000, grey = 0x808080;
    IDirectDrawSurface7* blackTex = s.texture(1, 1, &black);
    IDirectDrawSurface7* greyTex = s.texture(1, 1, &grey);
    ASSERT_NE(blackTex, nullptr);
    ASSERT_NE(greyTex, nullptr);
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    s.device->SetTexture(0, blackTex);
    s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 3, D3DDP_WAIT);
    show();
    for (const auto& p : samples)
        EXPECT_TRUE(near(GlScene::pixel(p[0], p[1]), expected(p[0], p[1], true, {0, 0, 0}), 3));
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    s.device->SetTexture(0, greyTex);
    s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 3, D3DDP_WAIT);
    show();
    for (const auto& p : samples)
        EXPECT_TRUE(near(GlScene::pixel(p[0], p[1]), expected(p[0], p[1], true, through565(grey)), 3));

    // The same triangle with its corners in the other order faces away and is culled.
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    std::swap(v[1], v[2]);
    s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 3, D3DDP_WAIT);
    show();
    EXPECT_EQ(GlScene::pixel(277, 272), 0u);
    s.device->SetTexture(0, nullptr);
    blackTex->Release();
    greyTex->Release();
}

TEST_P(GlDevice, CullingFollowsScreenWindingWithYDown) {
    s.device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE); // unlit: white
    // Left: top-left, top-right, bottom-left (clockwise as seen); right: the reverse (counter-clockwise).
    TestVertex cw[3] = {
        {10, 10, 0.5f, 0, 0, -1, 0, 0}, {110, 10, 0.5f, 0, 0, -1, 0, 0}, {10, 110, 0.5f, 0, 0, -1, 0, 0}};
    TestVertex ccw[3] = {
        {310, 10, 0.5f, 0, 0, -1, 0, 0}, {310, 110, 0.5f, 0, 0, -1, 0, 0}, {410, 10, 0.5f, 0, 0, -1, 0, 0}};
    const DWORD modes[3] = {D3DCULL_CCW, D3DCULL_CW, D3DCULL_NONE};
    const bool cwShown[3] = {true, false, true}, ccwShown[3] = {false, true, true};
    for (int i = 0; i < 3; ++i) {
        s.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        s.device->SetRenderState(D3DRENDERSTATE_CULLMODE, modes[i]);
        s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, cw, 3, D3DDP_WAIT);
        s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, ccw, 3, D3DDP_WAIT);
        show();
        EXPECT_EQ(GlScene::pixel(30, 30), cwShown[i] ? 0xFFFFFFu : 0u) << "cull mode " << modes[i];
        EXPECT_EQ(GlScene::pixel(330, 30), ccwShown[i] ? 0xFFFFFFu : 0u) << "cull mode " << modes[i];
    }
    // Pixel centres are at integer coordinates and (0, 0) is the top-left: a rectangle from 0 to 10
    // covers pixels 0..9.
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    s.device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    rect(0, 0, 10, 10, 0.5f);
    show();
    EXPECT_EQ(GlScene::pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(GlScene::pixel(9, 9), 0xFFFFFFu);
    EXPECT_EQ(GlScene::pixel(10, 9), 0u);
    EXPECT_EQ(GlScene::pixel(9, 10), 0u);
    EXPECT_EQ(GlScene::pixel(0, 479), 0u);
}

TEST_P(GlDevice, DepthIsLessOrEqualAndZEnableOffNeitherTestsNorWrites) {
    s.device->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    // Near red, then far green over it: the red stays. Equal depth drawn later wins (less-or-equal).
    solid(1, 0, 0);
    rect(0, 0, 100, 100, 0.3f);
    solid(0, 1, 0);
    rect(0, 0, 100, 100, 0.6f);
    solid(0, 0, 1);
    rect(50, 0, 100, 100, 0.3f);
    show();
    EXPECT_EQ(GlScene::pixel(25, 50), 0xFF0000u);
    EXPECT_EQ(GlScene::pixel(75, 50), 0x0000FFu);

    // ZENABLE FALSE: no test (far green covers near red) and no writes (a later far draw with the test on
    // still passes against the cleared 1.0).
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    s.device->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    solid(1, 0, 0);
    rect(0, 0, 100, 100, 0.3f);
    s.device->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
    solid(0, 1, 0);
    rect(0, 0, 100, 100, 0.6f);   // over the red, without a depth test
    rect(200, 0, 300, 100, 0.1f); // would write 0.1 if writes were on
    s.device->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    solid(0, 0, 1);
    rect(200, 0, 300, 100, 0.9f); // passes: the depth there is still 1.0
    show();
    EXPECT_EQ(GlScene::pixel(50, 50), 0x00FF00u);
    EXPECT_EQ(GlScene::pixel(250, 50), 0x0000FFu);

    // Clearing to another depth: 0.5 keeps out a draw at 0.6 and lets one at 0.5 through.
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 0.5f, 0);
    solid(1, 1, 0);
    rect(0, 0, 100, 100, 0.6f);
    rect(100, 0, 200, 100, 0.5f);
    show();
    EXPECT_EQ(GlScene::pixel(50, 50), 0u);
    EXPECT_EQ(GlScene::pixel(150, 50), 0xFFFF00u);
}

TEST_P(GlDevice, AdditiveBlendingWithSrcAndDestOne) {
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00402010, 1.0f, 0);
    s.device->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
    s.device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    s.device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    s.device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    solid(0.25f, 0.5f, 0.125f);
    rect(0, 0, 100, 100, 0.5f);
    rect(50, 0, 100, 100, 0.5f); // twice on the right half
    // The see-through mode: unlit white saturates.
    s.device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    rect(200, 0, 300, 100, 0.5f);
    // Blending off again: plain replacement, whatever the blend factors still say.
    s.device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    solid(0.25f, 0.5f, 0.125f);
    rect(400, 0, 500, 100, 0.5f);
    show();
    EXPECT_TRUE(near(GlScene::pixel(25, 50),
                     {0x40 / 255.0f + 0.25f, 0x20 / 255.0f + 0.5f, 0x10 / 255.0f + 0.125f}, 2));
    EXPECT_TRUE(
        near(GlScene::pixel(75, 50), {0x40 / 255.0f + 0.5f, 0x20 / 255.0f + 1.0f, 0x10 / 255.0f + 0.25f}, 2));
    EXPECT_EQ(GlScene::pixel(250, 50), 0xFFFFFFu);
    EXPECT_TRUE(near(GlScene::pixel(450, 50), {0.25f, 0.5f, 0.125f}, 2));
    EXPECT_EQ(GlScene::pixel(350, 50), 0x402010u);
}

TEST_P(GlDevice, TexturesArePointSampledWrappedAndTopLeftFirst) {
    // 3 x 3 texels (odd size), all different; row 0 is the top row of the bitmap as seen.
    const uint32_t px[9] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF,
                            0xFF00FF, 0x808080, 0xFFFFFF, 0x204080};
    IDirectDrawSurface7* tex = s.texture(3, 3, px);
    ASSERT_NE(tex, nullptr);
    DDSURFACEDESC2 d = {};
    tex->GetSurfaceDesc(&d);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(d.ddpfPixelFormat.dwFlags & DDPF_ALPHAPIXELS, 0u);
    EXPECT_EQ(d.dwWidth, 3u);

    s.device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE); // white, so the texel shows as it is
    s.device->SetTexture(0, tex);
    rect(0, 0, 640, 480, 0.5f);
    show();
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            int x = int((i + 0.5f) * 640 / 3), y = int((j + 0.5f) * 480 / 3);
            EXPECT_TRUE(near(GlScene::pixel(x, y), through565(px[j * 3 + i]), 1))
                << "texel " << i << "," << j;
            // Point sampling: the same texel right up to its edge, no blend with the neighbour.
            int edge = int((i + 1) * 640 / 3.0f) - 1;
            EXPECT_EQ(GlScene::pixel(edge, y), GlScene::pixel(x, y)) << "texel " << i << "," << j;
        }

    // Wrapping: coordinates 0..2 show the texture twice across.
    rect(0, 0, 640, 480, 0.5f, 0, 0, 2, 1);
    show();
    EXPECT_EQ(GlScene::pixel(50, 80), GlScene::pixel(370, 80));
    EXPECT_TRUE(near(GlScene::pixel(50, 80), through565(px[0]), 1));

    // Modulation by the diffuse colour, and untextured draws with the colour alone.
    solid(0.5f, 0.5f, 0.5f);
    rect(0, 0, 640, 480, 0.5f);
    s.device->SetTexture(0, nullptr);
    rect(0, 0, 100, 100, 0.5f);
    show();
    Rgb red = through565(px[0]);
    EXPECT_TRUE(near(GlScene::pixel(150, 80), {red.r * 0.5f, red.g * 0.5f, red.b * 0.5f}, 2));
    EXPECT_TRUE(near(GlScene::pixel(50, 50), {0.5f, 0.5f, 0.5f}, 2));
    tex->Release();
}

TEST_P(GlDevice, EveryOfferedTextureFormatShowsTheBitmapsPixels) {
    // Each format the device offers keeps its own layout in the surface's memory; what reaches OpenGL is
    // converted where OpenGL ES lacks that layout. Whatever the format, the drawn texels are the bitmap's
    // colours cut to the format's bits per channel.
    std::vector<DDPIXELFORMAT> formats;
    s.device->EnumTextureFormats(
        [](LPDDPIXELFORMAT f, LPVOID list) -> HRESULT {
            static_cast<std::vector<DDPIXELFORMAT>*>(list)->push_back(*f);
            return D3DENUMRET_OK;
        },
        &formats);
    ASSERT_GE(formats.size(), 3u);
    const uint32_t px[4] = {0xFF8040, 0x20C0E0, 0x000000, 0xFFFFFF};
    HBITMAP bm = platformCreateBitmap(2, 2, px);
    s.device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    for (const DDPIXELFORMAT& f : formats) {
        DDSURFACEDESC2 d =
            GlScene::describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT, DDSCAPS_TEXTURE, 2, 2);
        d.ddpfPixelFormat = f;
        IDirectDrawSurface7* t = nullptr;
        ASSERT_EQ(s.dd->CreateSurface(&d, &t, nullptr), DD_OK) << std::hex << f.dwRBitMask;
        HDC mem = CreateCompatibleDC(nullptr);
        SelectObject(mem, bm);
        HDC dc = nullptr;
        ASSERT_EQ(t->GetDC(&dc), DD_OK);
        BitBlt(dc, 0, 0, 2, 2, mem, 0, 0, SRCCOPY);
        t->ReleaseDC(dc);
        DeleteDC(mem);
        s.device->SetTexture(0, t);
        rect(0, 0, 640, 480, 0.5f);
        show();
        auto bits = [](DWORD mask) {
            int n = 0;
            for (; mask; mask &= mask - 1)
                ++n;
            return n;
        };
        auto cut = [](int v, int n) { return float(v >> (8 - n)) / float((1 << n) - 1); };
        const int r = bits(f.dwRBitMask), g = bits(f.dwGBitMask), b = bits(f.dwBBitMask);
        for (int i = 0; i < 4; ++i) {
            Rgb want = {cut(channel(px[i], 16), r), cut(channel(px[i], 8), g), cut(channel(px[i], 0), b)};
            EXPECT_TRUE(near(GlScene::pixel(160 + 320 * (i % 2), 120 + 240 * (i / 2)), want, 1))
                << "format with red mask " << std::hex << f.dwRBitMask << ", alpha mask "
                << f.dwRGBAlphaBitMask << ", texel " << i;
        }
        s.device->SetTexture(0, nullptr);
        t->Release();
    }
    DeleteObject(bm);
}

TEST_P(GlDevice, TexturesLargerThanTheContextTakesAreScaledDownKeepingTheirCoordinates) {
    // 8 x 4 texels in blocks of 2 x 2, each block its own colour. With the largest texture lowered to 4
    // a side, OpenGL holds 4 x 2 texels, one per block: a full-screen draw shows the same picture as the
    // 4 x 2 texture of the blocks' colours would. The surface itself keeps its size and 16-bit pixels.
    const uint32_t blocks[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF,
                                0xFFFF00, 0x00FFFF, 0xFF00FF, 0x808080};
    uint32_t px[32];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            px[y * 8 + x] = blocks[(y / 2) * 4 + x / 2];
    glSetTextureSizeLimit(4);
    IDirectDrawSurface7* tex = s.texture(8, 4, px);
    ASSERT_NE(tex, nullptr) << "a texture larger than the limit still gets a surface";
    DDSURFACEDESC2 d = {};
    tex->GetSurfaceDesc(&d);
    EXPECT_EQ(d.dwWidth, 8u);
    EXPECT_EQ(d.dwHeight, 4u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 16u);

    s.device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    s.device->SetTexture(0, tex);
    rect(0, 0, 640, 480, 0.5f, 0, 0, 2, 1); // twice across: wrapping still works on the smaller texture
    show();
    for (int by = 0; by < 2; ++by)
        for (int bx = 0; bx < 8; ++bx) {
            int x = bx * 80 + 40, y = by * 240 + 120;
            EXPECT_TRUE(near(GlScene::pixel(x, y), through565(blocks[by * 4 + bx % 4]), 1))
                << "block " << bx << "," << by;
            // Point sampling keeps each block sharp to its edge.
            EXPECT_EQ(GlScene::pixel(bx * 80 + 79, y), GlScene::pixel(x, y)) << "block " << bx << "," << by;
        }
    // New pixels given later go to the texture OpenGL holds, even once the limit is back up.
    glSetTextureSizeLimit(0);
    for (uint32_t& p : px)
        p ^= 0xFFFFFF;
    HBITMAP bm = platformCreateBitmap(8, 4, px);
    HDC mem = CreateCompatibleDC(nullptr);
    SelectObject(mem, bm);
    HDC texDc = nullptr;
    ASSERT_EQ(tex->GetDC(&texDc), DD_OK);
    BitBlt(texDc, 0, 0, 8, 4, mem, 0, 0, SRCCOPY);
    tex->ReleaseDC(texDc);
    DeleteDC(mem);
    DeleteObject(bm);
    rect(0, 0, 640, 480, 0.5f);
    show();
    EXPECT_TRUE(near(GlScene::pixel(80, 120), through565(blocks[0] ^ 0xFFFFFF), 1));
    EXPECT_TRUE(near(GlScene::pixel(560, 360), through565(blocks[7] ^ 0xFFFFFF), 1));
    s.device->SetTexture(0, nullptr);
    tex->Release();

    // Surfaces of bitmaps larger than 4096 a side are made (within the bitmap limits), larger ones refused.
    DDSURFACEDESC2 wide =
        GlScene::describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT, DDSCAPS_TEXTURE, 5000, 3);
    s.device->EnumTextureFormats(first16BitRgb, &wide.ddpfPixelFormat);
    IDirectDrawSurface7* big = nullptr;
    ASSERT_EQ(s.dd->CreateSurface(&wide, &big, nullptr), DD_OK);
    HDC dc = nullptr;
    EXPECT_EQ(big->GetDC(&dc), DD_OK);
    if (dc) {
        EXPECT_EQ(big->ReleaseDC(dc), DD_OK);
    }
    big->Release();
    wide.dwWidth = PLATFORM_MAX_BITMAP_SIDE + 1;
    EXPECT_EQ(s.dd->CreateSurface(&wide, &big, nullptr), DDERR_INVALIDPARAMS);
    wide.dwWidth = PLATFORM_MAX_BITMAP_SIDE;
    wide.dwHeight = PLATFORM_MAX_BITMAP_SIDE; // more pixels than any bitmap LoadImageA takes
    EXPECT_EQ(s.dd->CreateSurface(&wide, &big, nullptr), DDERR_INVALIDPARAMS);
}

TEST_P(GlDevice, BitmapFileOfOddSizeBecomesA16BitTexture) {
    // A 3 x 2 24-bit Windows bitmap written by hand: rows bottom-up, each padded to 12 bytes. The files
    // are named by process: each device's instance of this test runs in a process of its own, side by
    // side with the others in the same folder.
    const std::string pid = std::to_string(getpid());
    const std::string pathName = "platform_test_odd_" + pid + ".bmp";
    const char* path = pathName.c_str();
    const uint32_t top[3] = {0xFF0000, 0x00FF00, 0x0000FF}, bottom[3] = {0xFFFFFF, 0x000000, 0xFF8000};
    std::vector<uint8_t> f = {'B', 'M'};
    auto le32 = [&f](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f.push_back(uint8_t(v >> (8 * i)));
    };
    auto le16 = [&f](uint32_t v) {
        f.push_back(uint8_t(v));
        f.push_back(uint8_t(v >> 8));
    };
    le32(54 + 24);
    le32(0);
    le32(54);
    le32(40);
    le32(3);
    le32(2);
    le16(1);
    le16(24);
    le32(0);
    le32(24);
    le32(2835);
    le32(2835);
    le32(0);
    le32(0);
    for (const uint32_t* row : {bottom, top}) {
        for (int i = 0; i < 3; ++i) {
            f.push_back(uint8_t(row[i]));
            f.push_back(uint8_t(row[i] >> 8));
            f.push_back(uint8_t(row[i] >> 16));
        }
        for (int pad = 0; pad < 3; ++pad)
            f.push_back(0);
    }
    FILE* out = std::fopen(path, "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(f.data(), 1, f.size(), out);
    std::fclose(out);

    HANDLE bm =
        LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE);
    std::remove(path);
    ASSERT_NE(bm, nullptr);
    BITMAP info = {};
    ASSERT_EQ(GetObjectA(bm, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(platformBitmapPixels((HBITMAP)bm)[0], 0xFF0000u); // top-left as seen
    IDirectDrawSurface7* tex = s.textureFromBitmap((HBITMAP)bm);
    DeleteObject((HBITMAP)bm);
    ASSERT_NE(tex, nullptr);

    s.device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    s.device->SetTexture(0, tex);
    rect(0, 0, 300, 200, 0.5f);
    show();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(near(GlScene::pixel(50 + 100 * i, 50), through565(top[i]), 1)) << i;
        EXPECT_TRUE(near(GlScene::pixel(50 + 100 * i, 150), through565(bottom[i]), 1)) << i;
    }
    s.device->SetTexture(0, nullptr);
    tex->Release();

    EXPECT_EQ(LoadImageA(nullptr, "no-such-file.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);

    // Odd files fail cleanly, and a header that claims a huge bitmap is refused before pixel memory is
    // allocated for it: 54 bytes claiming 12000 x 12000 must not cost the 432 MB that decoding would.
    auto bitmapFile = [&](uint32_t infoSize, int32_t w, int32_t h, size_t pixelBytes) {
        f = {'B', 'M'};
        le32(uint32_t(14 + infoSize + pixelBytes));
        le32(0);
        le32(14 + infoSize);
        le32(infoSize);
        if (infoSize == 12) {
            le16(uint32_t(w));
            le16(uint32_t(h));
            le16(1);
            le16(24);
        } else {
            for (uint32_t v : {uint32_t(w), uint32_t(h), 1u | 24u << 16, 0u, 0u, 2835u, 2835u, 0u, 0u})
                le32(v);
        }
        f.resize(f.size() + pixelBytes, 0x80);
        return f;
    };
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> odd = {
        {"text", {'h', 'e', 'l', 'l', 'o', '\n'}},
        {"empty", {}},
        {"cut short", bitmapFile(40, 3, 2, 10)},
        {"negative width", bitmapFile(40, -3, 2, 24)},
        {"wider than the limit",
         bitmapFile(40, PLATFORM_MAX_BITMAP_SIDE + 1, 1, (PLATFORM_MAX_BITMAP_SIDE + 2) * 3)},
        {"12000 x 12000, no pixels", bitmapFile(40, 12000, -12000, 0)},
        {"12000 x 12000 core header, no pixels", bitmapFile(12, 12000, 12000, 0)},
    };
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    long peakBefore = usage.ru_maxrss; // kilobytes
    for (const auto& file : odd) {
        out = std::fopen(path, "wb");
        ASSERT_NE(out, nullptr);
        if (!file.second.empty()) std::fwrite(file.second.data(), 1, file.second.size(), out);
        std::fclose(out);
        EXPECT_EQ(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr) << file.first;
        std::remove(path);
    }
    EXPECT_EQ(LoadImageA(nullptr, ".", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr); // a directory
    const std::string pipeName = "platform_test_pipe_" + pid + ".bmp";
    const char* pipe = pipeName.c_str(); // a named pipe with no writer: refused, not waited on
    std::remove(pipe);
    ASSERT_EQ(mkfifo(pipe, 0600), 0);
    alarm(20); // waiting on it would end the test here rather than hang the run
    EXPECT_EQ(LoadImageA(nullptr, pipe, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    alarm(0);
    std::remove(pipe);
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - peakBefore, 256 * 1024) << "kilobytes of peak memory taken by the odd files";
}

TEST_P(GlDevice, DevicesFormatsAndResults) {
    // Each device runs on the context it needs: the shader device on OpenGL ES 3.0 when asked, and on a
    // core profile (no fixed function to fall back on) otherwise.
    const std::string version = glContextVersion();
    if (GetParam() == PlatformRenderer::ShaderOnEs)
        EXPECT_EQ(version.rfind("OpenGL ES 3", 0), 0u) << version;
    else
        EXPECT_EQ(version.find("OpenGL ES"), std::string::npos) << version;
    if (GetParam() == PlatformRenderer::Shader && version.find("Mesa") != std::string::npos) {
        EXPECT_NE(version.find("Core Profile"), std::string::npos) << version;
    }

    // The software device always exists; the hardware one exactly when it offers z-buffer formats.
    int halFormats = 0;
    s.d3d->EnumZBufferFormats(
        IID_IDirect3DHALDevice,
        [](LPDDPIXELFORMAT, LPVOID n) -> HRESULT { return ++*(int*)n, D3DENUMRET_OK; }, &halFormats);
    IDirect3DDevice7* dev = nullptr;
    HRESULT hal = s.d3d->CreateDevice(IID_IDirect3DHALDevice, s.back, &dev);
    EXPECT_EQ(SUCCEEDED(hal), halFormats > 0);
    EXPECT_EQ(s.hardware, halFormats > 0);
    if (dev) dev->Release();
    if (FAILED(hal)) {
        EXPECT_EQ(dev, nullptr); // a failed creation says so and leaves nothing
    }
    dev = nullptr;
    ASSERT_EQ(s.d3d->CreateDevice(IID_IDirect3DRGBDevice, s.back, &dev), D3D_OK);
    dev->Release();
    EXPECT_EQ(s.d3d->CreateDevice(IID_IDirect3DRGBDevice, s.z, &dev),
              DDERR_INVALIDCAPS); // not a render target

    D3DVIEWPORT7 vp = {};
    ASSERT_EQ(s.device->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.dwWidth, 640u);
    EXPECT_EQ(vp.dwHeight, 480u);

    // A draw of 0 vertices succeeds and draws nothing; drawing outside a scene fails.
    TestVertex none[1] = {};
    EXPECT_EQ(s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, none, 0, D3DDP_WAIT), D3D_OK);
    show();
    EXPECT_EQ(GlScene::pixel(320, 240), 0u);
    // The presented frame is read from the back buffer when asked for: once the back buffer is drawn on
    // unread, there is no frame to give (not an older one) until the next present.
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FFFFFF, 1.0f, 0);
    s.present();
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    EXPECT_EQ(platformPresentedFrame(nullptr, nullptr), nullptr);
    s.present();
    EXPECT_EQ(GlScene::pixel(320, 240), 0u);
    s.device->EndScene();
    EXPECT_EQ(s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, none, 0, D3DDP_WAIT),
              D3DERR_SCENE_NOT_IN_SCENE);
    s.device->BeginScene();

    // Texture surfaces need a format the device offered; full-screen operations are refused.
    DDSURFACEDESC2 d =
        GlScene::describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT, DDSCAPS_TEXTURE, 4, 4);
    IDirectDrawSurface7* t = (IDirectDrawSurface7*)1;
    EXPECT_EQ(s.dd->CreateSurface(&d, &t, nullptr), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(s.dd->SetDisplayMode(640, 480, 16, 0, 0), DDERR_UNSUPPORTED);
    EXPECT_EQ(s.primary->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    DDSCAPS2 caps = {};
    caps.dwCaps = DDSCAPS_ZBUFFER;
    IDirectDrawSurface7* attached = nullptr;
    ASSERT_EQ(s.back->GetAttachedSurface(&caps, &attached), DD_OK);
    EXPECT_EQ(attached, s.z);
    attached->Release();
    EXPECT_EQ(s.back->AddAttachedSurface(s.z), DDERR_SURFACEALREADYATTACHED);
}

INSTANTIATE_TEST_SUITE_P(Devices, GlDevice,
                         ::testing::Values(PlatformRenderer::FixedFunction, PlatformRenderer::Shader,
                                           PlatformRenderer::ShaderOnEs),
                         [](const ::testing::TestParamInfo<PlatformRenderer>& info) {
                             return std::string(rendererName(info.param));
                         });

} // namespace
