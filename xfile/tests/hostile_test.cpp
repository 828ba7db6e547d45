// hostile_test.cpp -- damaged and hostile scene files: no memory error, no hang, no unbounded allocation
#include <random>
#include <string>

#include "xfile/tests/xfile_test_util.h"

namespace {

// A document that uses every keyword of the reader.
const std::string RICH =
    "xof 0302txt 0032\nHeader { 1; 0; 1; }\ntemplate Vector { <3D82AB5E> FLOAT x; FLOAT y; FLOAT z; }\n"
    "Material Wall { 1.0;1.0;1.0;1.0;; 5.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { \"wall.bmp\"; } }\n"
    "Frame Room { FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, "
    "0.0,-2.0,0.0,1.0;; }\n"
    " Frame Cave { Mesh CaveMesh { 4; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;; 2; 3;0,1,2;, "
    "3;0,2,3;;\n"
    "   MeshMaterialList { 1; 2; 0, 0;; { Wall } }\n"
    "   MeshNormals { 6; 0;0;1;, 0;0;1;, 0;0;1;, 0;1;0;, 0;1;0;, 0;1;0;; 2; 3;0,1,2;, 3;3,4,5;; }\n"
    "   MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;; } } }\n"
    " Mesh Second { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
    "   MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"s.bmp\"; } "
    "} }\n"
    "   MeshNormals { 3; 0;0;1;, 0;0;1;, 0;0;1;; 1; 3;0,1,2;; } }\n}\n";

// Reads a document and checks what consumers rely on (CheckTree).
Root ReadChecked(const std::string& text) {
    Root root(ReadSceneFromMemory(text.data(), static_cast<int32_t>(text.size())));
    int frames = 0;
    int meshes = 0;
    CheckTree(root.get(), &frames, &meshes, static_cast<int32_t>(text.size()));
    return root;
}

const TVokPolygonData* Geometry(const Root& root) {
    return MeshAt(root.get(), 0)->geometry;
}

} // namespace

TEST_F(XfileTest, TruncationsAndNulBytesAtEveryOffset) {
    Root whole = ReadChecked(RICH);
    ASSERT_EQ(MeshAt(ChildAt(whole.get(), 0), 0)->geometry->vertexCount, 6);
    EXPECT_STREQ(MeshAt(ChildAt(whole.get(), 0), 0)->TextureName(), "wall.bmp");
    EXPECT_STREQ(MeshAt(whole.get(), 0)->TextureName(), "s.bmp");
    for (size_t length = 0; length <= RICH.size() && !HasFatalFailure(); length++) {
        SCOPED_TRACE(length);
        ReadChecked(RICH.substr(0, length));
        ReadChecked(RICH.substr(0, length) + '\0' + RICH.substr(length));
    }
}

TEST_F(XfileTest, CorruptedCountsAndIndicesAreHeldToTheData) {
    // An index at or beyond the vertex count is dropped from its face.
    Root bad = ReadChecked("Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,7;, 3;2,3,1;; }");
    EXPECT_EQ(Geometry(bad)->faces[0].indexCount, 2);
    EXPECT_EQ(Geometry(bad)->faces[1].indices[1], 1);
    // Negative counts give empty lists; huge ones are limited to what the input holds.
    Root negative = ReadChecked("Mesh M { -5; 1; -3; -2;; }");
    EXPECT_TRUE(Geometry(negative)->vertexCount == 0 && Geometry(negative)->faces[0].indexCount == 0);
    ReadChecked("Mesh M { 2000000000; 1;2;3;; 2000000000; 2000000000; 0,0;; "
                "MeshTextureCoords { 2147483647; 1; 2; } MeshNormals { 2147483647; 1;0;0;; } }");
    // Blanks at the end hold no token: a huge count before them is held to nothing,
    // and the tokens asked for at the end of input do not scan the blanks again.
    Root blanks = ReadChecked("Mesh M { 2147483647;" + std::string(1 << 20, ' '));
    EXPECT_TRUE(Geometry(blanks)->vertexCapacity == 0 && Geometry(blanks)->faceCapacity == 0);
    // Texture coordinates beyond the vertices are read and dropped.
    Root coords = ReadChecked("Frame F { Mesh M { 2; 0;0;0;, 1;1;1;; 0;; MeshTextureCoords { 5; 1;2;, 3;4;, "
                              "5;6;, 7;8;, 9;10;; } } Mesh After { 1; 5;5;5;; 0;; } }");
    EXPECT_EQ(Geometry(coords)->vertices[1].tv, 4.0f);
    EXPECT_STREQ(MeshAt(coords.get(), 1)->name, "After");
    // A face-normal list with more corners than normals and more faces than the face
    // list: corners without a vertex are dropped.
    Root more =
        ReadChecked("Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                    " MeshNormals { 4; 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;; 3; 3;0,1,2;, 3;0,1,2;, 2;0,1;; } }");
    const TVokPolygonData* d = Geometry(more);
    ASSERT_TRUE(d->vertexCount == 4 && d->faceCount == 3);
    EXPECT_EQ(d->vertices[1].x, 1.0f);
    EXPECT_TRUE(d->faces[0].indexCount == 3 && d->faces[1].indexCount == 1 && d->faces[2].indexCount == 0);
    // A shorter face-normal list, and a corner naming a missing vertex: that corner's
    // vertex keeps a zero position.
    Root fewer = ReadChecked("Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,9;, 3;2,1,0;;\n" +
                             std::string(" MeshNormals { 6; 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;; "
                                         "1; 3;0,1,2;; } }"));
    ASSERT_TRUE(Geometry(fewer)->faceCount == 1 && Geometry(fewer)->faces[0].indexCount == 3);
    EXPECT_TRUE(Geometry(fewer)->vertices[2].x == 0.0f && Geometry(fewer)->vertices[2].nz == 1.0f);
    // Normals before positions, twice, then an unknown block that re-reads positions.
    ReadChecked("Mesh M { MeshNormals { 3; 0;0;1;, 0;0;1;, 0;0;1;; 1; 3;0,1,2;; }\n"
                " MeshNormals { 5; 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;; 2; 3;0,1,2;, 2;3,4;; }\n"
                " VertexDuplicationIndices { 2; 2; 0, 1; } }");
    ReadChecked("Mesh M { 1; 0;0;0;; 0;; MeshMaterialList { 1; 1; 0;; Material { 1;1;");
}

TEST_F(XfileTest, RandomMutationsWithAFixedSeed) {
    std::mt19937 random(20261207u);
    const char* const splices[] = {"99999999",
                                   "-7",
                                   "{",
                                   "}",
                                   "Frame",
                                   "Mesh",
                                   "MeshNormals",
                                   "MeshTextureCoords",
                                   "MeshMaterialList",
                                   "Material",
                                   "65535",
                                   "4294967295",
                                   ";",
                                   "\"",
                                   "template"};
    for (int round = 0; round < 1500 && !HasFatalFailure(); round++) {
        std::string text = RICH;
        for (int edits = 1 + static_cast<int>(random() % 6); edits > 0; edits--) {
            size_t at = random() % text.size();
            switch (random() % 4) {
            case 0:
                text[at] = static_cast<char>(random() % 256);
                break;
            case 1:
                text.erase(at, 1);
                break;
            case 2:
                text.insert(at, std::string(" ") + splices[random() % 15] + " ");
                break;
            default:
                text.insert(at, text.substr(random() % text.size(), random() % 64));
                break;
            }
        }
        SCOPED_TRACE(round);
        ReadChecked(text);
    }
}
