// census_test.cpp -- the census of a scene tree: what a file holds beside the root frame's first mesh
#include <string>

#include "xfile/scene_census.h"
#include "xfile/tests/xfile_test_util.h"

namespace {

// A mesh block with `faces` triangles over three corners (0 faces: a mesh with no faces).
std::string MeshBlock(const char* name, int faces) {
    std::string text =
        std::string("Mesh ") + name + " { 3; 0;0;0;, 1;0;0;, 0;1;0;;\n " + std::to_string(faces) + ";";
    for (int f = 0; f < faces; f++)
        text += std::string(" 3;0,1,2;") + (f + 1 < faces ? "," : ";");
    if (faces == 0) text += ";";
    return text + " }\n";
}

VokSceneCensus CountText(const std::string& body) {
    const std::string text = "xof 0303txt 0032\n" + body;
    TVokFrame* root = ReadSceneFromMemory(text.data(), static_cast<int32_t>(text.size()));
    VokSceneCensus census = VokCountScene(root);
    if (root != nullptr) root->Release();
    return census;
}

} // namespace

TEST_F(XfileTest, CensusTellsWhereTheMeshesAre) {
    // A room whose four meshes are all in child frames (two deep): the root frame holds none.
    VokSceneCensus room = CountText("Frame Room {\n Frame Walls { " + MeshBlock("North", 40) +
                                    MeshBlock("South", 40) + " Frame Trim { " + MeshBlock("Trim", 12) +
                                    " } }\n Frame Floor { " + MeshBlock("Floor", 80) + " } }\n");
    EXPECT_EQ(room.frames, 4);
    EXPECT_EQ(room.rootMeshes, 0);
    EXPECT_EQ(room.rootFirstFaces, -1);
    EXPECT_EQ(room.meshes, 4);
    EXPECT_EQ(room.faces, 172);

    // The root's first mesh has no faces; its second mesh and a child's have some.
    VokSceneCensus hollow = CountText("Frame Body { " + MeshBlock("Empty", 0) + MeshBlock("Hull", 9) +
                                      " Frame Rotor { " + MeshBlock("Blade", 4) + " } }\n");
    EXPECT_EQ(hollow.frames, 2);
    EXPECT_EQ(hollow.rootMeshes, 2);
    EXPECT_EQ(hollow.rootFirstFaces, 0);
    EXPECT_EQ(hollow.meshes, 3);
    EXPECT_EQ(hollow.faces, 13);

    // A top-level mesh gets a frame of its own, the root: the demo's case.
    VokSceneCensus cave = CountText(MeshBlock("Cave", 7));
    EXPECT_EQ(cave.frames, 1);
    EXPECT_EQ(cave.rootMeshes, 1);
    EXPECT_EQ(cave.rootFirstFaces, 7);
    EXPECT_EQ(cave.meshes, 1);
    EXPECT_EQ(cave.faces, 7);

    // No tree at all.
    VokSceneCensus none = VokCountScene(nullptr);
    EXPECT_EQ(none.frames, 0);
    EXPECT_EQ(none.meshes, 0);
    EXPECT_EQ(none.rootFirstFaces, -1);
}
