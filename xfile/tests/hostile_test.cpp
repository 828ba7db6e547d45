// hostile_test.cpp -- damaged and hostile scene files: no memory error, no hang, no unbounded allocation
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "xfile/tests/xfile_test_util.h"

namespace {

// A document that uses every keyword of the reader.
const char RICH[] =
    "xof 0302txt 0032\n"
    "Header { 1; 0; 1; }\n"
    "template Vector { <3D82AB5E-62DA-11cf-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }\n"
    "Material Wall { 1.0;1.0;1.0;1.0;; 5.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { \"wall.bmp\"; } }\n"
    "Frame Room {\n"
    " FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,-2.0,0.0,1.0;; }\n"
    " Frame Cave {\n"
    "  Mesh CaveMesh {\n"
    "   4; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;;\n"
    "   2; 3;0,1,2;, 3;0,2,3;;\n"
    "   MeshMaterialList { 1; 2; 0, 0;; { Wall } }\n"
    "   MeshNormals { 6; 0;0;1;, 0;0;1;, 0;0;1;, 0;1;0;, 0;1;0;, 0;1;0;;\n"
    "     2; 3;0,1,2;, 3;3,4,5;; }\n"
    "   MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;; }\n"
    "  }\n"
    " }\n"
    " Mesh Second { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
    "   MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"s.bmp\"; } } }\n"
    "   MeshNormals { 3; 0;0;1;, 0;0;1;, 0;0;1;; 1; 3;0,1,2;; } }\n"
    "}\n";

// Reads a document and checks what later consumers rely on; also that no count
// exceeded what the input could hold.
void ReadAndCheck(const std::string& text)
{
    TVokFrame* root = ReadSceneFromMemory(text.data(), static_cast<int32_t>(text.size()));
    ExpectSoundTree(root);
    std::function<void(TVokVFrame*)> capacities = [&](TVokVFrame* frame) {
        for (int i = 0; MeshAt(frame, i) != nullptr; i++) {
            const TVokPolygonData* data = MeshAt(frame, i)->geometry;
            ASSERT_LE(data->vertexCapacity, static_cast<int32_t>(text.size()));
            ASSERT_LE(data->faceCapacity, static_cast<int32_t>(text.size()));
        }
        for (TVokVTree* c = frame->FirstChild(); c != nullptr; c = c->NextSibling()) {
            capacities(dynamic_cast<TVokVFrame*>(c));
        }
    };
    if (root != nullptr) {
        capacities(root);
        root->Release();
    }
}

TVokPolygonMesh* FirstMesh(const RootHolder& root) { return MeshAt(root.get(), 0); }

} // namespace

TEST_F(XfileTest, TruncationAtEveryOffset)
{
    const std::string text = RICH;
    {
        RootHolder root(Read(text));
        ASSERT_NE(root.get(), nullptr);
        ExpectSoundTree(root.get());
        TVokPolygonMesh* cave = MeshAt(ChildAt(root.get(), 0), 0);
        ASSERT_NE(cave, nullptr);
        EXPECT_EQ(cave->geometry->vertexCount, 6);
        EXPECT_STREQ(cave->TextureName(), "wall.bmp");
        EXPECT_STREQ(MeshAt(root.get(), 0)->TextureName(), "s.bmp");
    }
    for (size_t length = 0; length <= text.size(); length++) {
        SCOPED_TRACE(length);
        ReadAndCheck(text.substr(0, length));
        if (HasFatalFailure()) {
            return;
        }
    }
    // The same, with the rest of the file replaced by a NUL byte and more text.
    for (size_t length = 0; length < text.size(); length += 7) {
        SCOPED_TRACE(length);
        std::string cut = text.substr(0, length);
        cut += '\0';
        cut += text.substr(length);
        ReadAndCheck(cut);
        if (HasFatalFailure()) {
            return;
        }
    }
}

TEST_F(XfileTest, CorruptedCountsAndIndicesAreHeldToTheData)
{
    {   // An index at or beyond the vertex count is dropped from its face.
        RootHolder root(Read("Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,7;, 3;2,3,1;; }"));
        const TVokPolygonData* data = FirstMesh(root)->geometry;
        ASSERT_EQ(data->faceCount, 2);
        ASSERT_EQ(data->faces[0].indexCount, 2);
        EXPECT_EQ(data->faces[0].indices[1], 1);
        ASSERT_EQ(data->faces[1].indexCount, 2);
        EXPECT_EQ(data->faces[1].indices[0], 2);
        EXPECT_EQ(data->faces[1].indices[1], 1);
    }
    {   // Negative counts give empty lists.
        RootHolder root(Read("Mesh M { -5; 1; -3; -2;; }"));
        const TVokPolygonData* data = FirstMesh(root)->geometry;
        EXPECT_EQ(data->vertexCount, 0);
        ASSERT_EQ(data->faceCount, 1);
        EXPECT_EQ(data->faces[0].indexCount, 0);
        ExpectSoundTree(root.get());
    }
    {   // Huge counts are limited to what the input can hold.
        RootHolder root(Read("Mesh M { 2000000000; 1;2;3;; 2000000000; 2000000000; 0,0;; "
                             "MeshTextureCoords { 2147483647; 1; 2; } MeshNormals { 2147483647; 1;0;0;; } }"));
        const TVokPolygonData* data = FirstMesh(root)->geometry;
        EXPECT_LE(data->vertexCapacity, 200);
        EXPECT_LE(data->faceCapacity, 200);
        ExpectSoundTree(root.get());
    }
    {   // Texture coordinates beyond the vertices are read and dropped.
        RootHolder root(Read("Frame F { Mesh M { 2; 0;0;0;, 1;1;1;; 0;; MeshTextureCoords { 5; 1;2;, 3;4;, 5;6;, 7;8;, 9;10;; } }"
                             " Mesh After { 1; 5;5;5;; 0;; } }"));
        TVokPolygonMesh* mesh = MeshAt(root.get(), 0);
        EXPECT_EQ(mesh->geometry->vertices[1].tv, 4.0f);
        ASSERT_NE(MeshAt(root.get(), 1), nullptr); // the block ended where it should
        EXPECT_STREQ(MeshAt(root.get(), 1)->name, "After");
    }
    {   // A face-normal list with more corners than normals, and more faces than the face list.
        RootHolder root(Read("Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                             " MeshNormals { 4; 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;; 3; 3;0,1,2;, 3;0,1,2;, 2;0,1;; } }"));
        const TVokPolygonData* data = FirstMesh(root)->geometry;
        EXPECT_EQ(data->vertexCount, 4);
        ASSERT_EQ(data->faceCount, 3);
        EXPECT_EQ(data->faces[0].indexCount, 3); // corners 0, 1, 2 of the first face
        EXPECT_EQ(data->vertices[1].x, 1.0f);
        EXPECT_EQ(data->faces[1].indexCount, 1); // corners 3, 4, 5: only 3 has a vertex
        EXPECT_EQ(data->faces[2].indexCount, 0); // corners 6, 7
        ExpectSoundTree(root.get());
    }
    {   // A face-normal list shorter than the face list, and a face naming a missing vertex.
        RootHolder root(Read("Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,9;, 3;2,1,0;;\n"
                             " MeshNormals { 6; 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;; 1; 3;0,1,2;; } }"));
        const TVokPolygonData* data = FirstMesh(root)->geometry;
        EXPECT_EQ(data->vertexCount, 6);
        ASSERT_EQ(data->faceCount, 1);
        // The corner that named a missing vertex keeps its vertex (zero position, its normal).
        ASSERT_EQ(data->faces[0].indexCount, 3);
        EXPECT_EQ(data->vertices[2].x, 0.0f);
        EXPECT_EQ(data->vertices[2].y, 0.0f);
        EXPECT_EQ(data->vertices[2].nz, 1.0f);
        EXPECT_EQ(data->vertices[1].x, 1.0f);
        ExpectSoundTree(root.get());
    }
    {   // Normals before any positions, twice, then an unknown child block that
        // re-reads positions with a repeated count.
        RootHolder root(Read("Mesh M { MeshNormals { 3; 0;0;1;, 0;0;1;, 0;0;1;; 1; 3;0,1,2;; }\n"
                             " MeshNormals { 5; 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;, 0;0;1;; 2; 3;0,1,2;, 2;3,4;; }\n"
                             " VertexDuplicationIndices { 2; 2; 0, 1; } }"));
        ExpectSoundTree(root.get());
    }
    {   // A material list and a material cut short by the end of input.
        RootHolder root(Read("Mesh M { 1; 0;0;0;; 0;; MeshMaterialList { 1; 1; 0;; Material { 1;1;"));
        ExpectSoundTree(root.get());
        RootHolder other(Read("Frame F { Material X { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename {"));
        ASSERT_NE(other.get(), nullptr);
    }
}

TEST_F(XfileTest, RandomMutationsWithAFixedSeed)
{
    const std::string base = RICH;
    std::mt19937 random(20261207u);
    const char* const splices[] = {"99999999", "-7", "{", "}", "Frame", "Mesh", "MeshNormals",
                                   "MeshTextureCoords", "MeshMaterialList", "Material", "65535",
                                   "4294967295", ";", ",", "\"", "template", "TextureFilename"};
    const int spliceCount = static_cast<int>(sizeof splices / sizeof splices[0]);
    for (int round = 0; round < 1500; round++) {
        std::string text = base;
        int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits && !text.empty(); e++) {
            size_t at = random() % text.size();
            switch (random() % 4) {
            case 0: // one byte replaced by any byte
                text[at] = static_cast<char>(random() % 256);
                break;
            case 1: // one byte removed
                text.erase(at, 1);
                break;
            case 2: // a token put in
                text.insert(at, std::string(" ") + splices[random() % spliceCount] + " ");
                break;
            default: // a piece of the file repeated
                text.insert(at, text.substr(random() % text.size(), random() % 64));
                break;
            }
        }
        SCOPED_TRACE(round);
        ReadAndCheck(text);
        if (HasFatalFailure()) {
            return;
        }
    }
}
