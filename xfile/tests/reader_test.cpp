// reader_test.cpp -- tests of the scene document, frame, mesh and material readers on sound input
#include <cstring>
#include <string>

#include "xfile/tests/xfile_test_util.h"

namespace {

// A cube of 8 corners and 6 four-corner faces.
const std::string CUBE = "8; -1;-1;-1;, 1;-1;-1;, 1;1;-1;, -1;1;-1;, -1;-1;1;, 1;-1;1;, 1;1;1;, -1;1;1;;\n"
                         "6; 4;0,1,2,3;, 4;4,5,6,7;, 4;0,1,5,4;, 4;1,2,6,5;, 4;2,3,7,6;, 4;3,0,4,7;;\n";
const int CUBE_FACES[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4},
                              {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};

// MeshNormals with `count` normals (normal k = (k, 0.5, 1)) and the face-normal list given.
std::string Normals(int count, const std::string& faceNormals) {
    std::string text = " MeshNormals { " + std::to_string(count) + ";";
    for (int k = 0; k < count; k++) {
        text += std::to_string(k) + ";0.5;1;" + (k + 1 < count ? "," : ";");
    }
    return text + faceNormals + " }\n";
}

// MeshTextureCoords with pair i = (i + 0.25, i + 0.75).
std::string Coords(int count) {
    std::string text = " MeshTextureCoords { " + std::to_string(count) + ";";
    for (int i = 0; i < count; i++) {
        text += std::to_string(i) + ".25;" + std::to_string(i) + ".75;,";
    }
    return text + "; }\n";
}

const std::string MATERIAL = "1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; ";

std::string Material(const char* name, const char* keyword, const char* texture) {
    return std::string("Material ") + name + " { " + MATERIAL + keyword + " { \"" + texture + "\"; } }\n";
}

const char* Texture(const Root& root) {
    return MeshAt(root.get(), 0)->TextureName();
}

} // namespace

TEST_F(XfileTest, DocumentsAndFrames) {
    // The worked example: a room frame moved down by 2, holding the cave frame and its mesh.
    Root root(ReadScene(
        WriteTemp("cave.x", "xof 0302txt 0032\ntemplate Vector { <3D82AB5E> FLOAT x; }\n"
                            "Frame Room { FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, "
                            "0.0,0.0,1.0,0.0, 0.0,-2.0,0.0,1.0;; }\n  Frame Cave { Mesh CaveMesh { " +
                                CUBE + " } } }\n")
            .c_str()));
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->name, "Room");
    for (int k = 0; k < 16; k++) {
        EXPECT_EQ(root->localMatrix.m[k], k == 13 ? -2.0f : IDENTITY_MATRIX.m[k]) << k;
    }
    TVokFrame* cave = ChildAt(root.get(), 0);
    ASSERT_TRUE(cave != nullptr && ChildAt(root.get(), 1) == nullptr && root->AttachmentCount() == 0);
    EXPECT_STREQ(cave->name, "Cave");
    EXPECT_EQ(std::memcmp(&cave->localMatrix, &IDENTITY_MATRIX, sizeof(Matrix4)), 0);
    ASSERT_NE(MeshAt(cave, 0), nullptr);
    EXPECT_STREQ(MeshAt(cave, 0)->name, "CaveMesh");
    EXPECT_EQ(MeshAt(cave, 0)->refCount, 1);

    EXPECT_EQ(Read("xof 0302txt 0032\ntemplate V { FLOAT x; }\nHeader { 1; 0; 1; }"), nullptr);
    EXPECT_EQ(ReadScene((dir + "/none.x").c_str()), nullptr);
    EXPECT_NE(ReadFile(logPath).find("none.x\"\r\n"), std::string::npos);
    EXPECT_STREQ(Read("Frame A { } Frame B { }")->name, "B");
    EXPECT_STREQ(Read("Header { Frame In { } { } } Frame Out\n{ }")->name, "Out");
    EXPECT_STREQ(Read("Frame Kept { } template Cut { FLOAT x;")->name, "Kept");
    EXPECT_STREQ(Read("Frame {}")->name, "");
    EXPECT_STREQ(Read("Frame Outer { { Ref } Frame After { } }")->name, "After"); // "}" of { Ref } ends Outer
    // A top-level mesh gets an unnamed frame and ends the read, also after a frame.
    for (const char* before : {"", "Frame First { } "}) {
        Root lone = Read(before + ("Mesh Lone { " + CUBE + " } Frame Later { }"));
        ASSERT_NE(lone, nullptr);
        EXPECT_EQ(lone->name, nullptr);
        EXPECT_STREQ(MeshAt(lone.get(), 0)->name, "Lone");
    }
    // Nesting in file order; nesting beyond the limit joins the enclosing frame.
    Root nested = Read("Frame Top { Frame Mid { Frame Low { } } Frame Second { } }");
    EXPECT_STREQ(ChildAt(ChildAt(nested.get(), 0), 0)->name, "Low");
    EXPECT_STREQ(ChildAt(nested.get(), 1)->name, "Second");
    std::string deep;
    for (int i = 0; i < VOK_MAX_FRAME_DEPTH + 10; i++) {
        deep += "Frame F { ";
    }
    int depth = 0;
    Root deepRoot = Read(deep);
    for (TVokFrame* f = deepRoot.get(); f != nullptr; f = ChildAt(f, 0)) {
        depth++;
    }
    EXPECT_EQ(depth, VOK_MAX_FRAME_DEPTH);
}

TEST_F(XfileTest, TransformMatrixTakesOneSeparatorBetweenNumbers) {
    Root shifted = Read("Frame M { FrameTransformMatrix { 1,2,,3,4,5,6,7,8,9,10,11,12,13,14,15,16;; } }");
    EXPECT_EQ(shifted->localMatrix.m[1], 2.0f);
    for (int k = 2; k < 16; k++) { // every later element lands on a "," and repeats the 2
        EXPECT_EQ(shifted->localMatrix.m[k], 2.0f) << k;
    }
}

TEST_F(XfileTest, CubeMeshes) {
    Root plain = Read("Mesh Cube { " + CUBE + " }");
    const TVokPolygonData* data = MeshAt(plain.get(), 0)->geometry;
    ASSERT_TRUE(data->vertexCount == 8 && data->faceCount == 6);
    for (int f = 0; f < 6; f++) {
        ASSERT_EQ(data->faces[f].indexCount, 4);
        for (int j = 0; j < 4; j++) {
            EXPECT_EQ(data->faces[f].indices[j], CUBE_FACES[f][j]);
        }
    }
    EXPECT_EQ(data->vertices[6].nx + data->vertices[6].tu, 0.0f); // never set: zero
    EXPECT_EQ(MeshAt(plain.get(), 0)->bounds.min[1], -1.0f);
    EXPECT_EQ(MeshAt(plain.get(), 0)->bounds.max[2], 1.0f);

    // One normal per vertex: vertex i gets normal i; the face-normal list is passed over.
    Root perVertex =
        Read("Frame F { Mesh Cube { " + CUBE + Normals(8, "6; 4;0,1,2,3;, 4;4,5,6,7;;") + " } Mesh N { } }");
    EXPECT_EQ(MeshAt(perVertex.get(), 0)->geometry->vertices[5].nx, 5.0f);
    EXPECT_EQ(perVertex->AttachmentCount(), 2);

    // One normal per corner: corner k becomes vertex k with the position and texture
    // coordinates of the vertex it named and normal k; texture coordinates given before
    // the normals are lost with the old vertex array.
    const std::string corners =
        "6; 4;0,1,2,3;, 4;4,5,6,7;, 4;8,9,10,11;, 4;12,13,14,15;, 4;16,17,18,19;, 4;20,21,22,23;;";
    for (bool coordsFirst : {false, true}) {
        std::string body = coordsFirst ? Coords(8) + Normals(24, corners) : Normals(24, corners) + Coords(8);
        Root split = Read("Mesh Cube { " + CUBE + body + " }");
        const TVokPolygonData* d = MeshAt(split.get(), 0)->geometry;
        ASSERT_TRUE(d->vertexCount == 24 && d->faceCount == 6);
        for (int k = 0; k < 24; k++) {
            int old = CUBE_FACES[k / 4][k % 4];
            const TVokVertex& v = d->vertices[k];
            EXPECT_EQ(d->faces[k / 4].indices[k % 4], k);
            EXPECT_EQ(v.x, data->vertices[old].x);
            EXPECT_EQ(v.y, data->vertices[old].y);
            EXPECT_EQ(v.z, data->vertices[old].z);
            EXPECT_EQ(v.nx, static_cast<float>(k));
            EXPECT_EQ(v.tu, coordsFirst ? 0.0f : old + 0.25f) << k;
            EXPECT_EQ(v.tv, coordsFirst ? 0.0f : old + 0.75f) << k;
        }
    }
}

TEST_F(XfileTest, MeshFacesAndTextureCoordinates) {
    Root root = Read("Frame F { Mesh { 6; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 2;2;0;, 3;3;0;;\n"
                     " 3; 3;0,1,2;, 4;65536,65537,2,3;, 5;0,1,2,4,5;;\n"
                     " MeshTextureCoords { 2; .5; 0.25; -0.5; 1; 0.75; } } Mesh Named\n{ 1; 0;0;0;; 0;; } }");
    TVokPolygonMesh* mesh = MeshAt(root.get(), 0);
    EXPECT_STREQ(mesh->name, "");
    EXPECT_STREQ(MeshAt(root.get(), 1)->name, "Named");
    const TVokPolygonData* d = mesh->geometry;
    ASSERT_EQ(d->faceCount, 3);
    EXPECT_EQ(d->faces[0].indexCount, 3); // faces stored as read, not triangulated
    ASSERT_EQ(d->faces[2].indexCount, 5);
    EXPECT_EQ(d->faces[1].indices[0], 0); // 65536 keeps its low 16 bits
    EXPECT_EQ(d->faces[1].indices[1], 1);
    // ".5" is passed over like a separator; "-0.5" is a value.
    EXPECT_EQ(d->vertices[0].tu, 0.25f);
    EXPECT_EQ(d->vertices[0].tv, -0.5f);
    EXPECT_EQ(d->vertices[1].tu, 1.0f);
    EXPECT_EQ(d->vertices[1].tv, 0.75f);
}

TEST_F(XfileTest, MaterialsGiveTheMeshItsTextureName) {
    const std::string ref = "Mesh M { 1; 0;0;0;; 0;; MeshMaterialList { 1; 1; 0;; { Wall } } }";
    EXPECT_STREQ(Texture(Read(Material("Wall", "TextureFilename", "wall.bmp") + ref)), "wall.bmp");
    EXPECT_EQ(lastTextureFileName, "wall.bmp");
    // The most recent texture name wins, whatever the reference names.
    EXPECT_STREQ(Texture(Read(Material("A", "TextureFileName", "a.bmp") +
                              Material("B", "TextureFilename", "b.bmp") + ref)),
                 "b.bmp");
    // A reference before any textured material: an empty name; each document starts afresh.
    EXPECT_STREQ(Texture(Read(ref)), "");

    const std::string list = "Mesh M { 2; 0;0;0;, 1;1;1;; 0;; MeshMaterialList { 2; 1; 0;; ";
    // An inline material without texture: no material, lastTextureFileName unchanged.
    Root none = Read(Material("W", "TextureFilename", "w.bmp") + list + "Material { " + MATERIAL + "} } }");
    EXPECT_EQ(MeshAt(none.get(), 0)->material, nullptr);
    EXPECT_EQ(lastTextureFileName, "w.bmp");
    // Two inline materials: only the first counts; the mesh goes on after the list.
    Root two = Read(list + Material("", "TextureFilename", "one.bmp") +
                    Material("", "TextureFilename", "two.bmp") + "}" + Coords(2) + "}");
    EXPECT_STREQ(Texture(two), "one.bmp");
    EXPECT_EQ(MeshAt(two.get(), 0)->geometry->vertices[1].tu, 1.25f);
    // Another capitalisation is not a texture.
    EXPECT_EQ(MeshAt(Read(list + Material("", "texturefilename", "x.bmp") + "} }").get(), 0)->material,
              nullptr);
    // Colours written as .5 shift the search so far that the texture child is taken
    // for values; a name with a space is cut to its first word.
    Read("Material C { .5;.5;.5;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"c.bmp\"; } }");
    EXPECT_EQ(lastTextureFileName, "");
    Read(Material("D", "TextureFilename", "d d.bmp"));
    EXPECT_EQ(lastTextureFileName, "d");
}
