// assets.h -- the four data files the demo reads at start-up, generated in memory or on disk
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cavegen {

struct AssetFile {
    std::string name;                // file name, e.g. "cave.x"
    std::vector<std::uint8_t> bytes; // exact contents
};

// cave.x, check.bmp, block.bmp and map.bmp, in that order. Always the same bytes.
std::vector<AssetFile> generateAssets();

// Writes the files into `directory` (which must exist). On failure returns false and says
// which file could not be written in *error.
bool writeAssets(const std::string& directory, std::string* error);

// Writes each file into `directory` (which must exist) under its name, as writeAssets does.
bool writeFiles(const std::string& directory, const std::vector<AssetFile>& files, std::string* error);

} // namespace cavegen
