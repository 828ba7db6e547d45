// cave_files_test.cpp -- the committed data files: the generator's output, readable by the scene reader
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "scene/frame.h"
#include "scene/mesh.h"
#include "tools/cavegen/assets.h"
#include "tools/cavegen/bitmap.h"
#include "tools/cavegen/cave_mesh.h"
#include "xfile/reader.h"

namespace {

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(in)) != EOF)
            bytes.push_back(static_cast<std::uint8_t>(c));
        std::fclose(in);
    }
    return bytes;
}

} // namespace

TEST(CaveFiles, CommittedFilesAreTheGeneratorsOutput) {
    for (const cavegen::AssetFile& file : cavegen::generateAssets())
        EXPECT_TRUE(readFile(CAVE_SOURCE_ASSETS_DIR "/" + file.name) == file.bytes)
            << "assets/" << file.name << " is not what the generator makes: run cave-gen assets";
}

// The demo's own reader gives back exactly the generated mesh: one top-level frame with an
// identity transform whose first attachment is the mesh, with its normals, texture
// coordinates and the texture name.
TEST(CaveFiles, SceneFileReadsBackAsTheMesh) {
    const cavegen::CaveMesh cave = cavegen::buildCave();
    TVokFrame* root = ReadScene(CAVE_SOURCE_ASSETS_DIR "/cave.x");
    ASSERT_NE(root, nullptr);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(root->localMatrix.m[k], k % 5 == 0 ? 1.0f : 0.0f);
    auto* mesh = dynamic_cast<TVokPolygonMesh*>(root->FirstAttachment());
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(mesh->TextureName(), nullptr);
    EXPECT_STREQ(mesh->TextureName(), "block.bmp");
    const TVokPolygonData& data = *mesh->geometry;
    ASSERT_EQ(data.vertexCount, static_cast<int>(cave.vertices.size()));
    ASSERT_EQ(data.faceCount, static_cast<int>(cave.triangles.size()));
    for (int v = 0; v < data.vertexCount; ++v) {
        const TVokVertex& read = data.vertices[v];
        const cavegen::MeshVertex& made = cave.vertices[v];
        const float expected[8] = {static_cast<float>(made.pos[0]),    static_cast<float>(made.pos[1]),
                                   static_cast<float>(made.pos[2]),    static_cast<float>(made.normal[0]),
                                   static_cast<float>(made.normal[1]), static_cast<float>(made.normal[2]),
                                   static_cast<float>(made.uv[0]),     static_cast<float>(made.uv[1])};
        const float got[8] = {read.x, read.y, read.z, read.nx, read.ny, read.nz, read.tu, read.tv};
        for (int k = 0; k < 8; ++k)
            ASSERT_EQ(got[k], expected[k]) << "vertex " << v << " value " << k;
    }
    for (int f = 0; f < data.faceCount; ++f) {
        ASSERT_EQ(data.faces[f].indexCount, 3);
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(data.faces[f].indices[k], cave.triangles[f][k]) << "face " << f;
    }
    root->Release();
}

TEST(CaveFiles, BitmapsAreUncompressed24BitImages) {
    // Rows are padded to four bytes: a 3 x 2 image has 12-byte rows.
    cavegen::Image odd(3, 2);
    odd.set(0, 0, 255, 0, 0);
    odd.set(2, 1, 1, 2, 3);
    const std::vector<std::uint8_t> bytes = cavegen::encodeBmp(odd);
    EXPECT_EQ(bytes.size(), 54u + 2u * 12u);
    EXPECT_EQ(bytes[54 + 12], 0u);   // top row is stored last: its first pixel, blue 0 ...
    EXPECT_EQ(bytes[54 + 14], 255u); // ... red 255
    cavegen::Image back(1, 1);
    ASSERT_TRUE(cavegen::decodeBmp(bytes, &back));
    EXPECT_EQ(back.rgb, odd.rgb);

    for (const cavegen::AssetFile& file : cavegen::generateAssets()) {
        if (file.name == "cave.x") continue;
        cavegen::Image image(1, 1);
        ASSERT_TRUE(cavegen::decodeBmp(file.bytes, &image)) << file.name;
        EXPECT_GE(image.width, 64) << file.name;
        if (file.name == "check.bmp") { // 8-pixel squares of two colours
            EXPECT_EQ(image.channel(0, 0, 0), image.channel(8, 8, 0));
            EXPECT_NE(image.channel(0, 0, 0), image.channel(8, 0, 0));
            EXPECT_NE(image.channel(0, 0, 0), image.channel(0, 8, 0));
        }
    }
}
