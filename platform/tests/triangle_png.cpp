// triangle_png.cpp -- opens a window offscreen, draws a lit, textured triangle and saves the frame as a PNG.
// Usage: triangle_png [--windowed] [--shader | --shader-es] [OUT.png]   (default: headless, the
// fixed-function device, triangle.png)
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/tests/gl_support.h"
#include "platform/sdl/sdl_backend.h"

int main(int argc, char** argv) {
    const char* out = "triangle.png";
    PlatformMode mode = PlatformMode::Headless;
    PlatformRenderer renderer = PlatformRenderer::FixedFunction;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--windowed") == 0)
            mode = PlatformMode::Windowed;
        else if (std::strcmp(argv[i], "--shader") == 0)
            renderer = PlatformRenderer::Shader;
        else if (std::strcmp(argv[i], "--shader-es") == 0)
            renderer = PlatformRenderer::ShaderOnEs;
        else
            out = argv[i];
    }
    GlScene s;
    if (!s.open(mode, renderer)) {
        std::fprintf(stderr, "triangle_png: cannot set up the %s device\n", rendererName(renderer));
        s.close();
        return 1;
    }
    drawLitTexturedTriangle(s);
    bool ok = platformSaveScreenshot(out);
    s.close();
    if (!ok) return 1;
    std::printf("triangle_png: wrote %s\n", out);
    return 0;
}
