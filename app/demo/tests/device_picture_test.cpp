// d3d7_picture_test.cpp -- the fixed-function and the shader device draw the same pictures: the lit,
// textured triangle and frames of the demonstration itself (the shipped cave after 1500 frames, the
// see-through view, and the cave with its textures larger than the context's limit).
//
// Two pictures agree when, for each channel, the mean absolute difference is at most 1 level and at
// least 99% of the pixels are within 3 levels in every channel. The pictures of a failed comparison are
// saved as PNG files next to the test's output (its working folder), named in the failure message.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/picking.h"
#include "app/scene_setup.h"
#include "app/shell.h"
#include "physics/bodies.h"
#include "physics/simulation.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/tests/gl_support.h"
#include "render/device.h"
#include "render/render_object.h"
#include "render/texture_slots.h"
#include "platform/sdl/sdl_backend.h"

namespace {

namespace fs = std::filesystem;

// A presented frame: 0x00RRGGBB, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

Picture presentedPicture() {
    Picture p;
    const uint32_t* f = platformPresentedFrame(&p.width, &p.height);
    if (f) p.pixels.assign(f, f + size_t(p.width) * size_t(p.height));
    return p;
}

bool savePng(const Picture& p, const std::string& path) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(p.pixels.data()), p.width,
                                                        p.height, 32, p.width * 4, SDL_PIXELFORMAT_RGB888);
    if (!s) return false;
    bool ok = IMG_SavePNG(s, path.c_str()) == 0;
    SDL_FreeSurface(s);
    return ok;
}

// Compares two pictures; on disagreement saves both as NAME_A.png and NAME_B.png.
::testing::AssertionResult agree(const Picture& a, const char* nameA, const Picture& b, const char* nameB,
                                 const std::string& name) {
    if (a.pixels.empty() || b.pixels.empty()) return ::testing::AssertionFailure() << "no picture";
    if (a.width != b.width || a.height != b.height)
        return ::testing::AssertionFailure()
               << "sizes differ: " << a.width << "x" << a.height << " and " << b.width << "x" << b.height;
    double sum[3] = {0, 0, 0};
    size_t close = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            int d = std::abs(int((a.pixels[i] >> (8 * c)) & 0xFF) - int((b.pixels[i] >> (8 * c)) & 0xFF));
            sum[c] += d;
            worst = std::max(worst, d);
        }
        if (worst <= 3) ++close;
    }
    const double n = double(a.pixels.size());
    const double meanR = sum[2] / n, meanG = sum[1] / n, meanB = sum[0] / n;
    const double closeShare = double(close) / n;
    std::printf("%s (%s, %s): mean differences R %.3f G %.3f B %.3f, %.2f%% of pixels within 3 levels\n",
                name.c_str(), nameA, nameB, meanR, meanG, meanB, closeShare * 100);
    if (meanR <= 1.0 && meanG <= 1.0 && meanB <= 1.0 && closeShare >= 0.99)
        return ::testing::AssertionSuccess();
    std::string fileA = name + "_" + nameA + ".png", fileB = name + "_" + nameB + ".png";
    bool saved = savePng(a, fileA) && savePng(b, fileB);
    return ::testing::AssertionFailure()
           << name << ": mean differences R " << meanR << " G " << meanG << " B " << meanB << ", "
           << closeShare * 100 << "% of pixels within 3 levels; pictures "
           << (saved ? "saved as " : "could not be saved as ") << (fs::current_path() / fileA).string()
           << " and " << fileB;
}

Picture triangleOn(PlatformRenderer renderer) {
    GlScene s;
    Picture p;
    if (s.open(PlatformMode::Headless, renderer) && drawLitTexturedTriangle(s)) p = presentedPicture();
    s.close();
    return p;
}

TEST(PictureAgreement, LitTexturedTriangle) {
    Picture fixed = triangleOn(PlatformRenderer::FixedFunction);
    Picture shader = triangleOn(PlatformRenderer::Shader);
    Picture es = triangleOn(PlatformRenderer::ShaderOnEs);
    ASSERT_EQ(fixed.width, 640);
    EXPECT_TRUE(agree(fixed, "fixed", shader, "shader", "triangle"));
    EXPECT_TRUE(agree(fixed, "fixed", es, "shader_es", "triangle"));
    // The comparison can fail: the same triangle without its specular highlight is another picture.
    Picture unlit = fixed;
    for (uint32_t& p : unlit.pixels)
        p = p & 0xF0F0F0;
    EXPECT_FALSE(agree(fixed, "fixed", unlit, "darker", "triangle_darker"));
    std::remove("triangle_darker_fixed.png");
    std::remove("triangle_darker_darker.png");
}

// Frames of the demonstration, started as cave-demo --headless does, in a copy of the shipped files.
struct DemoFrames {
    Picture last;       // after `frames` frames
    Picture seeThrough; // the next frame, with shift held
    bool texturesLoaded = false;
};

DemoFrames runDemo(PlatformRenderer renderer, int frames, int textureLimit) {
    DemoFrames out;
    const fs::path folder = fs::current_path() / "picture_test_data";
    fs::create_directories(folder);
    for (const char* file : {"cave.x", "check.bmp", "map.bmp", "block.bmp"})
        fs::copy_file(fs::path(CAVE_ASSETS_DIR) / file, folder / file, fs::copy_options::overwrite_existing);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    resetDemonstration();
    PlatformOptions options;
    options.mode = PlatformMode::Headless;
    options.idleAdvanceMs = 0;
    options.renderer = renderer;
    if (platformStartSdl(options)) {
        glSetTextureSizeLimit(textureLimit);
        HWND window = createMainWindow(nullptr, nullptr, SW_SHOWNORMAL);
        if (window != nullptr && numBodies == 101) {
            out.texturesLoaded = textureCount > 0;
            for (int i = 0; i < textureCount; ++i)
                out.texturesLoaded = out.texturesLoaded && textureSlots[i] != nullptr;
            for (int i = 0; i < frames; ++i) {
                platformAdvanceTickCount(FRAME_INTERVAL_MS);
                renderFrame();
            }
            out.last = presentedPicture();
            platformSetKeyDown(VK_SHIFT, true);
            platformAdvanceTickCount(FRAME_INTERVAL_MS);
            renderFrame();
            out.seeThrough = presentedPicture();
            platformSetKeyDown(VK_SHIFT, false);
            DestroyWindow(window);
        }
        platformStopSdl();
    }
    resetDemonstration();
    fs::current_path(previous);
    return out;
}

TEST(PictureAgreement, ShippedSceneAfter1500FramesAndItsSeeThroughView) {
    DemoFrames fixed = runDemo(PlatformRenderer::FixedFunction, 1500, 0);
    DemoFrames shader = runDemo(PlatformRenderer::Shader, 1500, 0);
    EXPECT_TRUE(agree(fixed.last, "fixed", shader.last, "shader", "frame1500"));
    EXPECT_TRUE(agree(fixed.seeThrough, "fixed", shader.seeThrough, "shader", "see_through"));
    // The see-through view is a picture of its own (unlit, additive), not the lit frame again.
    EXPECT_FALSE(agree(fixed.last, "lit", fixed.seeThrough, "see_through", "lit_vs_see_through"));
    std::remove("lit_vs_see_through_lit.png");
    std::remove("lit_vs_see_through_see_through.png");
}

TEST(PictureAgreement, CaveWithTexturesLargerThanTheLimit) {
    // The shipped bitmaps are 64 and 128 pixels a side; with the context's limit lowered to 32 every
    // texture is scaled down, and each slot still holds its texture.
    DemoFrames fixed = runDemo(PlatformRenderer::FixedFunction, 60, 32);
    DemoFrames shader = runDemo(PlatformRenderer::Shader, 60, 32);
    EXPECT_TRUE(fixed.texturesLoaded);
    EXPECT_TRUE(shader.texturesLoaded);
    EXPECT_TRUE(agree(fixed.last, "fixed", shader.last, "shader", "limited_textures"));
}

} // namespace
