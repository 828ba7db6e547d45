// corpus_test.cpp -- the reader on real .x files written by other tools (the shared test corpus)
#include <dirent.h>
#include <sys/stat.h>

#include <string>

#include "xfile/tests/xfile_test_util.h"

// Frames and meshes of the tree that the reader builds of each file. Only the last
// top-level frame is kept, a top-level mesh ends the read, and blocks the reader does
// not know, comments and odd separators shift or end blocks, so these often differ
// from the counts in the files themselves.
TEST_F(XfileTest, EveryCorpusFileGivesItsFramesAndMeshes) {
    const struct {
        const char* name;
        int frames;
        int meshes;
    } corpus[] = {
        {"acropolis-ground.x", 13, 1},
        {"airplane.x", 1, 1},
        {"alien-anim.x", 10, 10},
        {"asteroid-abspath.x", 3, 1},
        {"block-space-texname.x", 1, 1},
        {"body-bones-anim.x", 1, 1},
        {"bot-custom-templates.x", 1, 1},
        {"character-2animsets.x", 10, 1},
        {"creature-3animsets.x", 1, 1},
        {"cube-decldata-png.x", 1, 1},
        {"cube-skinned-vdi.x", 2, 1},
        {"cube-vcolors-decldata.x", 1, 1},
        {"cube-vcolors-only.x", 1, 1},
        {"cylinder-bones-mismatch.x", 1, 1},
        {"head-vcolors.x", 1, 1},
        {"heli.x", 10, 9},
        {"ladders.x", 8, 1},
        {"level-commas.x", 1, 1},
        {"mesh-crlf-nomaterial.x", 1, 1},
        {"mesh-toplevel-vcolors.x", 1, 1},
        {"pistol-matrixkeys.x", 1, 1},
        {"robot-deep-hierarchy.x", 58, 38},
        {"rock-effectinstance.x", 2, 1},
        {"room-many-meshes.x", 5, 4},
        {"sandmonster-skinned.x", 19, 1},
        {"scene-frames-only.x", 1, 0},
        {"skybox-fvfdata.x", 2, 1},
        {"skybox-quirky.x", 1, 1},
        {"tiger.x", 1, 1},
    };
    const std::string folder = CAVE_XFILES_DIR;
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        GTEST_SKIP() << "no corpus at " << folder;
    }
    // Every .x file of the folder is read and checked; those listed above must give their counts.
    size_t listed = 0;
    DIR* entries = opendir(folder.c_str());
    ASSERT_NE(entries, nullptr);
    while (const dirent* entry = readdir(entries)) {
        std::string name = entry->d_name;
        if (name.size() < 2 || name.compare(name.size() - 2, 2, ".x") != 0) {
            continue;
        }
        SCOPED_TRACE(name);
        std::string path = folder + "/" + name;
        Root root(ReadScene(path.c_str()));
        int frames = 0;
        int meshes = 0;
        CheckTree(root.get(), &frames, &meshes, static_cast<int32_t>(ReadFile(path).size()));
        for (const auto& file : corpus) {
            if (name == file.name) {
                listed++;
                EXPECT_EQ(frames, file.frames);
                EXPECT_EQ(meshes, file.meshes);
            }
        }
    }
    closedir(entries);
    EXPECT_EQ(listed, sizeof corpus / sizeof corpus[0]);
    EXPECT_EQ(ReadFile(logPath), ""); // every file could be opened

    // A top-level mesh in a CR LF file; more normals than positions (one vertex per corner).
    Root tiger(ReadScene((folder + "/tiger.x").c_str()));
    EXPECT_EQ(MeshAt(tiger.get(), 0)->geometry->vertexCount, 303);
    EXPECT_STREQ(MeshAt(tiger.get(), 0)->TextureName(), "tiger.bmp");
    Root alien(ReadScene((folder + "/alien-anim.x").c_str()));
    const TVokPolygonData* d = MeshAt(alien.get(), 0)->geometry;
    int corner = 0;
    for (int32_t f = 0; f < d->faceCount; f++) {
        for (int32_t j = 0; j < d->faces[f].indexCount; j++) {
            EXPECT_EQ(d->faces[f].indices[j], corner++);
        }
    }
    EXPECT_EQ(corner, d->vertexCount);
    EXPECT_EQ(corner, 144);
}
