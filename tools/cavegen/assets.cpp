// assets.cpp -- assembles the demo's data files and writes them out
#include "tools/cavegen/assets.h"

#include <cstdio>

#include "tools/cavegen/cave_mesh.h"
#include "tools/cavegen/textures.h"
#include "tools/cavegen/xfile_writer.h"

namespace cavegen {

std::vector<AssetFile> generateAssets() {
    std::vector<AssetFile> files;
    std::string cave = writeCaveX(buildCave());
    files.push_back({"cave.x", std::vector<std::uint8_t>(cave.begin(), cave.end())});
    files.push_back({"check.bmp", encodeBmp(makeChecker())});
    files.push_back({"block.bmp", encodeBmp(makeStoneBlocks())});
    files.push_back({"map.bmp", encodeBmp(makeCaveMap())});
    return files;
}

bool writeAssets(const std::string& directory, std::string* error) {
    return writeFiles(directory, generateAssets(), error);
}

bool writeFiles(const std::string& directory, const std::vector<AssetFile>& files, std::string* error) {
    for (const AssetFile& file : files) {
        std::string path = directory.empty() ? file.name : directory + "/" + file.name;
        std::FILE* out = std::fopen(path.c_str(), "wb");
        bool ok = out != nullptr;
        if (ok) ok = std::fwrite(file.bytes.data(), 1, file.bytes.size(), out) == file.bytes.size();
        if (out != nullptr && std::fclose(out) != 0) ok = false;
        if (!ok) {
            if (error != nullptr) *error = "cannot write " + path;
            return false;
        }
    }
    return true;
}

} // namespace cavegen
