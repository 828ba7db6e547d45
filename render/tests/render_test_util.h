// render_test_util.h -- temporary directories, bitmap and scene files for the rendering and app tests
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/testing/recorded_device.h"

// A fresh temporary directory, removed with its contents at the end; optionally the working directory
// meanwhile (scenes name their textures relative to it).
class TempDir {
  public:
    explicit TempDir(bool enter = false) {
        // A random name, created atomically: test programs running side by side never share one.
        std::random_device random;
        for (int tries = 0; path_.empty() && tries < 100; ++tries) {
            std::filesystem::path path =
                std::filesystem::temp_directory_path() / ("cave-render-" + std::to_string(random()));
            if (std::filesystem::create_directory(path)) path_ = path.string();
        }
        if (enter && !path_.empty()) {
            previous_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~TempDir() {
        std::error_code ignored;
        if (!previous_.empty()) std::filesystem::current_path(previous_, ignored);
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
    std::filesystem::path previous_;
};

inline bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

// A 24-bit Windows bitmap of one colour 0xRRGGBB.
inline bool writeBitmap(const std::string& path, int width, int height, uint32_t rgb) {
    const int row = (width * 3 + 3) & ~3;
    std::string b(54 + static_cast<size_t>(row * height), '\0');
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<char>(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M', b[26] = 1, b[28] = 24;
    put(2, static_cast<uint32_t>(b.size())), put(10, 54), put(14, 40), put(18, width), put(22, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                b[54 + y * row + x * 3 + c] = static_cast<char>(rgb >> (8 * c));
    return writeFile(path, b);
}

// A scene file: one frame with one mesh of these positions (x y z each) and faces; a material naming
// `texture` when it is not empty.
inline std::string sceneText(const std::vector<float>& p, const std::vector<std::vector<int>>& faces,
                             const std::string& texture) {
    std::string s = "xof 0303txt 0032\nFrame Root {\n Mesh Shape {\n" + std::to_string(p.size() / 3) + ";\n";
    for (size_t i = 0; i < p.size(); i += 3)
        s += std::to_string(p[i]) + ";" + std::to_string(p[i + 1]) + ";" + std::to_string(p[i + 2]) +
             (i + 3 < p.size() ? ";,\n" : ";;\n");
    s += std::to_string(faces.size()) + ";\n";
    for (size_t f = 0; f < faces.size(); ++f) {
        s += std::to_string(faces[f].size()) + ";";
        for (size_t k = 0; k < faces[f].size(); ++k)
            s += (k ? "," : "") + std::to_string(faces[f][k]);
        s += f + 1 < faces.size() ? ";,\n" : ";;\n";
    }
    if (!texture.empty()) {
        s += "MeshMaterialList {\n1;\n" + std::to_string(faces.size()) + ";\n";
        for (size_t f = 0; f < faces.size(); ++f)
            s += f + 1 < faces.size() ? "0,\n" : "0;;\n";
        s += "Material Stone {\n1.0;1.0;1.0;1.0;;\n10.0;\n0.0;0.0;0.0;;\n0.0;0.0;0.0;;\n"
             "TextureFilename {\n\"" +
             texture + "\";\n}\n}\n}\n";
    }
    return s + " }\n}\n";
}

// A 2 x 2 texture surface of the recorded device in 5-6-5, placed in `slot`.
inline HRESULT createTestTexture(IDirectDraw7* directDraw, IDirectDrawSurface7** slot) {
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = desc.dwHeight = 2;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddpfPixelFormat = recordRgbFormat(16, 0xF800, 0x07E0, 0x001F);
    return directDraw->CreateSurface(&desc, slot, nullptr);
}
