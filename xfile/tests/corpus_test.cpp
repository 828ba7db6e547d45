// corpus_test.cpp -- the reader on real .x files written by other tools (the shared test corpus)
#include <sys/stat.h>

#include <random>
#include <string>

#include "xfile/tests/xfile_test_util.h"

namespace {

struct CorpusFile {
    const char* name;
    int frames; // frames in the tree that ReadScene returns
    int meshes; // meshes attached anywhere in it
};

// What the reader builds of each file. Only the last top-level frame is kept, a
// top-level mesh ends the read, and unknown blocks, comments and odd separators
// shift or end blocks, so these counts often differ from the files' own.
const CorpusFile CORPUS[] = {
    {"acropolis-ground.x", 13, 1},     {"airplane.x", 1, 1},
    {"alien-anim.x", 10, 10},          {"asteroid-abspath.x", 3, 1},
    {"block-space-texname.x", 1, 1},   {"body-bones-anim.x", 1, 1},
    {"bot-custom-templates.x", 1, 1},  {"character-2animsets.x", 10, 1},
    {"creature-3animsets.x", 1, 1},    {"cube-decldata-png.x", 1, 1},
    {"cube-skinned-vdi.x", 2, 1},      {"cube-vcolors-decldata.x", 1, 1},
    {"cube-vcolors-only.x", 1, 1},     {"cylinder-bones-mismatch.x", 1, 1},
    {"head-vcolors.x", 1, 1},          {"heli.x", 10, 9},
    {"ladders.x", 8, 1},               {"level-commas.x", 1, 1},
    {"mesh-crlf-nomaterial.x", 1, 1},  {"mesh-toplevel-vcolors.x", 1, 1},
    {"pistol-matrixkeys.x", 1, 1},     {"robot-deep-hierarchy.x", 58, 38},
    {"rock-effectinstance.x", 2, 1},   {"room-many-meshes.x", 5, 4},
    {"sandmonster-skinned.x", 19, 1},  {"scene-frames-only.x", 1, 0},
    {"skybox-fvfdata.x", 2, 1},        {"skybox-quirky.x", 1, 1},
    {"tiger.x", 1, 1},
};

bool DirectoryExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

TEST_F(XfileTest, EveryCorpusFileGivesItsFramesAndMeshes)
{
    const std::string corpus = CAVE_XFILES_DIR;
    if (!DirectoryExists(corpus)) {
        GTEST_SKIP() << "no corpus at " << corpus;
    }
    for (const CorpusFile& file : CORPUS) {
        SCOPED_TRACE(file.name);
        std::string path = corpus + "/" + file.name;
        RootHolder root(ReadScene(path.c_str()));
        ASSERT_NE(root.get(), nullptr);
        int frames = 0;
        int meshes = 0;
        CountTree(root.get(), &frames, &meshes);
        EXPECT_EQ(frames, file.frames);
        EXPECT_EQ(meshes, file.meshes);
        ExpectSoundTree(root.get());
    }
    EXPECT_EQ(ReadFile(logPath), ""); // every file could be opened
}

TEST_F(XfileTest, CorpusDetailsThatTheReaderKeeps)
{
    const std::string corpus = CAVE_XFILES_DIR;
    if (!DirectoryExists(corpus)) {
        GTEST_SKIP() << "no corpus at " << corpus;
    }
    {   // A top-level mesh with CR LF lines, triangles and quads, and an inline textured material.
        RootHolder root(ReadScene((corpus + "/tiger.x").c_str()));
        TVokPolygonMesh* mesh = MeshAt(root.get(), 0);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(root->name, nullptr);
        EXPECT_STREQ(mesh->name, "Body1");
        EXPECT_EQ(mesh->geometry->vertexCount, 303);
        EXPECT_STREQ(mesh->TextureName(), "tiger.bmp");
    }
    {   // More normals than positions: one vertex per corner, corners numbered in order.
        RootHolder root(ReadScene((corpus + "/alien-anim.x").c_str()));
        TVokPolygonMesh* mesh = MeshAt(root.get(), 0);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->geometry->vertexCount, 144);
        int corner = 0;
        for (int32_t f = 0; f < mesh->geometry->faceCount; f++) {
            for (int32_t j = 0; j < mesh->geometry->faces[f].indexCount; j++) {
                EXPECT_EQ(mesh->geometry->faces[f].indices[j], corner++);
            }
        }
        EXPECT_EQ(corner, 144);
        EXPECT_STREQ(mesh->TextureName(), "ALIEN3.BMP");
    }
}

TEST_F(XfileTest, MutatedCorpusFiles)
{
    const std::string corpus = CAVE_XFILES_DIR;
    if (!DirectoryExists(corpus)) {
        GTEST_SKIP() << "no corpus at " << corpus;
    }
    std::mt19937 random(4u);
    for (const char* name : {"tiger.x", "heli.x", "ladders.x", "skybox-quirky.x"}) {
        const std::string text = ReadFile(corpus + "/" + name);
        ASSERT_FALSE(text.empty());
        for (int round = 0; round < 40; round++) {
            std::string mutated = text;
            for (int e = 0; e < 8; e++) {
                size_t at = random() % mutated.size();
                if (random() % 2 == 0) {
                    mutated[at] = "0123456789{};,-\"\0x"[random() % 18];
                } else {
                    mutated.resize(at + 1); // cut short
                }
            }
            SCOPED_TRACE(std::string(name) + " round " + std::to_string(round));
            RootHolder root(Read(mutated));
            ExpectSoundTree(root.get());
            if (HasFatalFailure()) {
                return;
            }
        }
    }
}
