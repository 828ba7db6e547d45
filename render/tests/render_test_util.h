// render_test_util.h -- temporary directories, bitmap and scene files for the rendering and app tests
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

// A fresh directory under the system's temporary directory, removed with its files when the object ends.
class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/cave-render-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
    }
    ~TempDir() {
        for (const std::string& file : files_) std::remove(file.c_str());
        if (!path_.empty()) rmdir(path_.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Full path of a file in the directory, remembered for removal.
    std::string file(const std::string& name) {
        std::string full = path_ + "/" + name;
        files_.push_back(full);
        return full;
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

// Changes the working directory for the object's lifetime (relative file names of scenes and bitmaps).
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path) {
        char buffer[4096];
        if (getcwd(buffer, sizeof(buffer)) != nullptr) previous_ = buffer;
        changed_ = chdir(path.c_str()) == 0;
    }
    ~WorkingDirectory() {
        if (changed_ && !previous_.empty() && chdir(previous_.c_str()) != 0) std::perror("chdir");
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;
    bool ok() const { return changed_; }

private:
    std::string previous_;
    bool changed_ = false;
};

// Writes text into a file; true on success.
inline bool writeTextFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// Writes a 24-bit Windows bitmap of width x height filled with one colour 0xRRGGBB.
inline bool writeBitmapFile(const std::string& path, int width, int height, uint32_t rgb) {
    const int rowBytes = (width * 3 + 3) & ~3;
    const uint32_t imageBytes = static_cast<uint32_t>(rowBytes * height);
    std::vector<uint8_t> data(54 + imageBytes, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) data[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    data[0] = 'B';
    data[1] = 'M';
    put32(2, static_cast<uint32_t>(data.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    data[26] = 1;
    data[28] = 24;
    put32(34, imageBytes);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &data[54 + y * rowBytes + x * 3];
            p[0] = static_cast<uint8_t>(rgb);
            p[1] = static_cast<uint8_t>(rgb >> 8);
            p[2] = static_cast<uint8_t>(rgb >> 16);
        }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

// A scene file with one frame holding one mesh: `positions` (x y z each), `faces` (index lists), and a
// material naming `texture` when it is not empty.
inline std::string sceneText(const std::vector<float>& positions, const std::vector<std::vector<int>>& faces,
                             const std::string& texture) {
    std::string s = "xof 0303txt 0032\n\nFrame Root {\n  Mesh Shape {\n";
    char line[128];
    const size_t vertices = positions.size() / 3;
    s += std::to_string(vertices) + ";\n";
    for (size_t i = 0; i < vertices; ++i) {
        std::snprintf(line, sizeof(line), "    %f;%f;%f;%s\n", positions[3 * i], positions[3 * i + 1],
                      positions[3 * i + 2], i + 1 < vertices ? "," : ";");
        s += line;
    }
    s += std::to_string(faces.size()) + ";\n";
    for (size_t f = 0; f < faces.size(); ++f) {
        s += "    " + std::to_string(faces[f].size()) + ";";
        for (size_t k = 0; k < faces[f].size(); ++k) s += (k ? "," : "") + std::to_string(faces[f][k]);
        s += f + 1 < faces.size() ? ";,\n" : ";;\n";
    }
    if (!texture.empty()) {
        s += "    MeshMaterialList {\n      1;\n      " + std::to_string(faces.size()) + ";\n";
        for (size_t f = 0; f < faces.size(); ++f) s += f + 1 < faces.size() ? "      0,\n" : "      0;;\n";
        s += "      Material Stone {\n        1.0;1.0;1.0;1.0;;\n        10.0;\n        0.0;0.0;0.0;;\n"
             "        0.0;0.0;0.0;;\n        TextureFilename {\n          \"" + texture + "\";\n        }\n"
             "      }\n    }\n";
    }
    s += "  }\n}\n";
    return s;
}
