// reader_test.cpp -- tests of the scene document, frame, mesh and material readers on sound input
#include <cstring>
#include <string>

#include "xfile/tests/xfile_test_util.h"

namespace {

const char TEMPLATES[] =
    "xof 0302txt 0032\n"
    "template Vector { <3D82AB5E-62DA-11cf-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }\n";

// A cube of 8 corners and 6 four-corner faces.
const char CUBE_BODY[] =
    "8;\n"
    "-1.0;-1.0;-1.0;, 1.0;-1.0;-1.0;, 1.0;1.0;-1.0;, -1.0;1.0;-1.0;,\n"
    "-1.0;-1.0;1.0;, 1.0;-1.0;1.0;, 1.0;1.0;1.0;, -1.0;1.0;1.0;;\n"
    "6;\n"
    "4;0,1,2,3;, 4;4,5,6,7;, 4;0,1,5,4;, 4;1,2,6,5;, 4;2,3,7,6;, 4;3,0,4,7;;\n";

const int CUBE_FACES[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};

std::string CubeTexture()
{
    std::string text = " MeshTextureCoords { 8; ";
    for (int i = 0; i < 8; i++) {
        text += std::to_string(i) + ".25;" + std::to_string(i) + ".75;" + (i < 7 ? "," : ";;");
    }
    return text + " }\n";
}

std::string CubeNormals24()
{
    std::string text = " MeshNormals { 24;\n";
    for (int k = 0; k < 24; k++) {
        text += std::to_string(k) + ".0;0.0;1.0;" + (k < 23 ? "," : ";") + "\n";
    }
    text += " 6; 4;0,1,2,3;, 4;4,5,6,7;, 4;8,9,10,11;, 4;12,13,14,15;, 4;16,17,18,19;, 4;20,21,22,23;;\n }\n";
    return text;
}

} // namespace

TEST_F(XfileTest, WorkedExampleGivesRoomWithCaveAndItsMesh)
{
    std::string text = std::string(TEMPLATES) +
                       "Frame Room { FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, "
                       "0.0,-2.0,0.0,1.0;; }\n"
                       "  Frame Cave { Mesh CaveMesh { " +
                       CUBE_BODY + " } } }\n";
    RootHolder root(ReadScene(WriteTemp("cave.x", text).c_str()));
    ASSERT_NE(root.get(), nullptr);
    EXPECT_STREQ(root->name, "Room");
    EXPECT_EQ(root->refCount, 1);
    for (int k = 0; k < 16; k++) {
        EXPECT_EQ(root->localMatrix.m[k], k == 13 ? -2.0f : IDENTITY_MATRIX.m[k]) << k;
    }
    EXPECT_EQ(root->AttachmentCount(), 0);
    TVokFrame* cave = ChildAt(root.get(), 0);
    ASSERT_NE(cave, nullptr);
    EXPECT_EQ(ChildAt(root.get(), 1), nullptr);
    EXPECT_STREQ(cave->name, "Cave");
    EXPECT_EQ(std::memcmp(&cave->localMatrix, &IDENTITY_MATRIX, sizeof(Matrix4)), 0);
    TVokPolygonMesh* mesh = MeshAt(cave, 0);
    ASSERT_NE(mesh, nullptr);
    EXPECT_STREQ(mesh->name, "CaveMesh");
    EXPECT_EQ(mesh->refCount, 1);
    EXPECT_EQ(mesh->geometry->vertexCount, 8);
}

TEST_F(XfileTest, TopLevelBlocksDecideTheRoot)
{
    // Header and templates only: no root.
    EXPECT_EQ(Read(std::string(TEMPLATES) + "Header { 1; 0; 1; }\n"), nullptr);
    EXPECT_EQ(Read(""), nullptr);
    // Missing file: null and one log line.
    EXPECT_EQ(ReadScene(Path("nothing.x").c_str()), nullptr);
    EXPECT_NE(ReadFile(logPath).find("nothing.x\"\r\n"), std::string::npos);

    {   // Two top-level frames: the second one.
        RootHolder root(Read("Frame A { } Frame B { }"));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_STREQ(root->name, "B");
    }
    {   // A top-level mesh gets an unnamed frame and ends the read.
        RootHolder root(Read(std::string("Mesh Lone { ") + CUBE_BODY + " } Frame Later { }"));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_EQ(root->name, nullptr);
        EXPECT_EQ(root->FirstChild(), nullptr);
        ASSERT_NE(MeshAt(root.get(), 0), nullptr);
        EXPECT_STREQ(MeshAt(root.get(), 0)->name, "Lone");
    }
    {   // A frame followed by a top-level mesh: the mesh's frame.
        RootHolder root(Read(std::string("Frame First { } Mesh { ") + CUBE_BODY + " }"));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_EQ(root->name, nullptr);
        EXPECT_STREQ(MeshAt(root.get(), 0)->name, "");
    }
    {   // A Header block is passed over whatever it holds, nested braces included.
        RootHolder root(Read("Header { Frame Inside { } { } } Frame Outside { }"));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_STREQ(root->name, "Outside");
    }
    // End of input inside a template ends the read with the result so far.
    {
        RootHolder root(Read("Frame Kept { } template Cut { <1> FLOAT x;"));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_STREQ(root->name, "Kept");
    }
}

TEST_F(XfileTest, FramesNamesNestingAndMatrices)
{
    {
        RootHolder root(Read("Frame {\n} "));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_STREQ(root->name, "");
    }
    {
        RootHolder root(Read("Frame Top\n{\n Frame Mid { Frame Low { } } Frame Second { } }"));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_STREQ(root->name, "Top");
        TVokFrame* mid = ChildAt(root.get(), 0);
        ASSERT_NE(mid, nullptr);
        EXPECT_STREQ(mid->name, "Mid");
        ASSERT_NE(ChildAt(mid, 0), nullptr);
        EXPECT_STREQ(ChildAt(mid, 0)->name, "Low");
        EXPECT_EQ(ChildAt(mid, 0)->FirstChild(), nullptr);
        ASSERT_NE(ChildAt(root.get(), 1), nullptr);
        EXPECT_STREQ(ChildAt(root.get(), 1)->name, "Second");
        EXPECT_EQ(ChildAt(mid, 0)->parent, mid);
    }
    {   // Two commas in a row shift the following elements by one.
        RootHolder root(Read("Frame M { FrameTransformMatrix { 1,2,,3,4,5,6,7,8,9,10,11,12,13,14,15,16;; } }"));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_EQ(root->localMatrix.m[0], 1.0f);
        EXPECT_EQ(root->localMatrix.m[1], 2.0f);
        // From element 2 on, the numbers fall on passed-over positions and every
        // element is a "," that holds no number: the previous number repeats.
        for (int k = 2; k < 16; k++) {
            EXPECT_EQ(root->localMatrix.m[k], 2.0f) << k;
        }
    }
    {   // A reference { Name } directly inside a frame ends the frame at its "}".
        RootHolder root(Read("Frame Outer { { Mat } Frame After { } }"));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_STREQ(root->name, "After");
    }
    {   // The file ends inside a matrix: the frame is returned as built.
        RootHolder root(Read("Frame Cut { FrameTransformMatrix { 3.0, 4.0"));
        ASSERT_NE(root.get(), nullptr);
        EXPECT_EQ(root->localMatrix.m[0], 3.0f);
        EXPECT_EQ(root->localMatrix.m[1], 4.0f);
        EXPECT_EQ(root->localMatrix.m[15], 4.0f);
    }
}

TEST_F(XfileTest, FramesDeeperThanTheLimitJoinTheirParent)
{
    std::string text;
    for (int i = 0; i < VOK_MAX_FRAME_DEPTH + 10; i++) {
        text += "Frame F" + std::to_string(i) + " { ";
    }
    RootHolder root(Read(text));
    ASSERT_NE(root.get(), nullptr);
    int depth = 0;
    for (TVokFrame* f = root.get(); f != nullptr; f = ChildAt(f, 0)) {
        depth++;
    }
    EXPECT_EQ(depth, VOK_MAX_FRAME_DEPTH);
}

TEST_F(XfileTest, CubeWithoutNormalsAndWithOneNormalPerVertex)
{
    {
        RootHolder root(Read(std::string("Mesh Cube { ") + CUBE_BODY + " }"));
        TVokPolygonMesh* mesh = MeshAt(root.get(), 0);
        ASSERT_NE(mesh, nullptr);
        const TVokPolygonData* data = mesh->geometry;
        ASSERT_EQ(data->vertexCount, 8);
        ASSERT_EQ(data->faceCount, 6);
        for (int f = 0; f < 6; f++) {
            ASSERT_EQ(data->faces[f].indexCount, 4);
            for (int j = 0; j < 4; j++) {
                EXPECT_EQ(data->faces[f].indices[j], CUBE_FACES[f][j]);
            }
        }
        EXPECT_EQ(data->vertices[6].x, 1.0f);
        EXPECT_EQ(data->vertices[6].y, 1.0f);
        EXPECT_EQ(data->vertices[6].z, 1.0f);
        EXPECT_EQ(data->vertices[6].nx, 0.0f); // normals and coordinates stay zero
        EXPECT_EQ(data->vertices[6].tu, 0.0f);
        for (int axis = 0; axis < 3; axis++) {
            EXPECT_EQ(mesh->bounds.min[axis], -1.0f);
            EXPECT_EQ(mesh->bounds.max[axis], 1.0f);
        }
        EXPECT_EQ(mesh->material, nullptr);
    }
    {
        std::string normals = " MeshNormals { 8;\n";
        for (int i = 0; i < 8; i++) {
            normals += "0.0;" + std::to_string(i) + ".5;0.0;" + (i < 7 ? "," : ";") + "\n";
        }
        normals += " 6; 4;0,1,2,3;, 4;4,5,6,7;, 4;0,1,5,4;, 4;1,2,6,5;, 4;2,3,7,6;, 4;3,0,4,7;; }\n";
        RootHolder root(Read(std::string("Frame F { Mesh Cube { ") + CUBE_BODY + normals + " } }"));
        TVokPolygonMesh* mesh = MeshAt(root.get(), 0);
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->geometry->vertexCount, 8);
        for (int i = 0; i < 8; i++) {
            EXPECT_EQ(mesh->geometry->vertices[i].ny, i + 0.5f);
        }
        EXPECT_EQ(mesh->geometry->faces[5].indices[1], 0);
        EXPECT_EQ(root->AttachmentCount(), 1); // the mesh block ended where it should
    }
}

TEST_F(XfileTest, CubeWithOneNormalPerCornerSplitsTheVertices)
{
    for (bool texturesFirst : {false, true}) {
        SCOPED_TRACE(texturesFirst);
        std::string body = texturesFirst ? CubeTexture() + CubeNormals24() : CubeNormals24() + CubeTexture();
        RootHolder root(Read(std::string("Mesh Cube { ") + CUBE_BODY + body + " }"));
        TVokPolygonMesh* mesh = MeshAt(root.get(), 0);
        ASSERT_NE(mesh, nullptr);
        const TVokPolygonData* data = mesh->geometry;
        ASSERT_EQ(data->vertexCount, 24);
        ASSERT_EQ(data->faceCount, 6);
        for (int f = 0; f < 6; f++) {
            ASSERT_EQ(data->faces[f].indexCount, 4);
            for (int j = 0; j < 4; j++) {
                int k = 4 * f + j;
                EXPECT_EQ(data->faces[f].indices[j], k);
                const TVokVertex& v = data->vertices[k];
                int old = CUBE_FACES[f][j];
                EXPECT_EQ(v.x, (old == 1 || old == 2 || old == 5 || old == 6) ? 1.0f : -1.0f) << k;
                EXPECT_EQ(v.y, (old == 2 || old == 3 || old == 6 || old == 7) ? 1.0f : -1.0f) << k;
                EXPECT_EQ(v.z, old >= 4 ? 1.0f : -1.0f) << k;
                EXPECT_EQ(v.nx, static_cast<float>(k)); // vertex k keeps normal k
                if (texturesFirst) {
                    // The pairs went with the old vertex array.
                    EXPECT_EQ(v.tu, 0.0f);
                    EXPECT_EQ(v.tv, 0.0f);
                } else {
                    EXPECT_EQ(v.tu, old + 0.25f);
                    EXPECT_EQ(v.tv, old + 0.75f);
                }
            }
        }
        EXPECT_EQ(mesh->bounds.min[0], -1.0f);
        EXPECT_EQ(mesh->bounds.max[2], 1.0f);
    }
}

TEST_F(XfileTest, MeshFacesIndicesAndTextureCoordinates)
{
    {   // Faces of 3, 4 and 5 corners are stored as read.
        RootHolder root(Read("Mesh P { 6; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 2;2;0;, 3;3;0;;\n"
                             "3; 3;0,1,2;, 4;0,1,2,3;, 5;0,1,2,4,5;; }"));
        const TVokPolygonData* data = MeshAt(root.get(), 0)->geometry;
        ASSERT_EQ(data->faceCount, 3);
        EXPECT_EQ(data->faces[0].indexCount, 3);
        EXPECT_EQ(data->faces[1].indexCount, 4);
        ASSERT_EQ(data->faces[2].indexCount, 5);
        EXPECT_EQ(data->faces[2].indices[4], 5);
    }
    {   // An index above 65535 keeps its low 16 bits.
        RootHolder root(Read("Mesh W { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;65536,65537,2;; }"));
        const TVokFace& face = MeshAt(root.get(), 0)->geometry->faces[0];
        ASSERT_EQ(face.indexCount, 3);
        EXPECT_EQ(face.indices[0], 0);
        EXPECT_EQ(face.indices[1], 1);
        EXPECT_EQ(face.indices[2], 2);
    }
    {   // .5 is passed over like a separator; -0.5 is read; names.
        RootHolder root(Read("Frame F { Mesh { 2; 0;0;0;, 1;1;1;; 0;;\n"
                             " MeshTextureCoords { 2; .5; 0.25; -0.5; 1; 0.75; } } Mesh Named\n{ 1; 0;0;0;; 0;; } }"));
        TVokPolygonMesh* mesh = MeshAt(root.get(), 0);
        ASSERT_NE(mesh, nullptr);
        EXPECT_STREQ(mesh->name, "");
        EXPECT_EQ(mesh->geometry->vertices[0].tu, 0.25f);
        EXPECT_EQ(mesh->geometry->vertices[0].tv, -0.5f);
        EXPECT_EQ(mesh->geometry->vertices[1].tu, 1.0f);
        EXPECT_EQ(mesh->geometry->vertices[1].tv, 0.75f);
        ASSERT_NE(MeshAt(root.get(), 1), nullptr);
        EXPECT_STREQ(MeshAt(root.get(), 1)->name, "Named");
    }
}

TEST_F(XfileTest, MaterialsGiveTheMeshItsTextureName)
{
    const std::string wall = "Material Wall { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; "
                             "TextureFilename { \"wall.bmp\"; } }\n";
    const std::string mesh = "Mesh M { 1; 0;0;0;; 1; 1;0;; MeshMaterialList { 1; 1; 0;; { Wall } } }";
    {   // A reference takes the most recent texture name of the document.
        RootHolder root(Read(wall + mesh));
        ASSERT_NE(MeshAt(root.get(), 0), nullptr);
        EXPECT_STREQ(MeshAt(root.get(), 0)->TextureName(), "wall.bmp");
        EXPECT_EQ(lastTextureFileName, "wall.bmp");
    }
    {
        std::string b = "Material B { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"b.bmp\"; } }\n";
        std::string a = "Material A { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFileName { \"a.bmp\"; } }\n";
        RootHolder root(Read(a + b + "Mesh M { 1; 0;0;0;; 0;; MeshMaterialList { 1; 1; 0;; { A } } }"));
        EXPECT_STREQ(MeshAt(root.get(), 0)->TextureName(), "b.bmp");
    }
    {   // A reference before any textured material: an empty name. Each document starts afresh.
        RootHolder root(Read(mesh));
        ASSERT_NE(MeshAt(root.get(), 0)->material, nullptr);
        EXPECT_STREQ(MeshAt(root.get(), 0)->TextureName(), "");
    }
    {   // Inline material without texture: no material, lastTextureFileName unchanged.
        RootHolder root(Read(wall + "Mesh M { 1; 0;0;0;; 0;; MeshMaterialList { 1; 1; 0;; "
                                    "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }"));
        EXPECT_EQ(MeshAt(root.get(), 0)->material, nullptr);
        EXPECT_EQ(lastTextureFileName, "wall.bmp");
    }
    {   // Two inline materials: the first counts, the second is passed over whole; the
        // mesh goes on after the list.
        RootHolder root(Read("Mesh M { 2; 0;0;0;, 1;1;1;; 0;; MeshMaterialList { 2; 1; 0;; "
                             "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"one.bmp\"; } }\n"
                             "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"two.bmp\"; } } }\n"
                             " MeshTextureCoords { 2; 0.5; 0.5;, 0.25; 0.25;; } }"));
        TVokPolygonMesh* m = MeshAt(root.get(), 0);
        EXPECT_STREQ(m->TextureName(), "one.bmp");
        EXPECT_EQ(lastTextureFileName, "one.bmp");
        EXPECT_EQ(m->geometry->vertices[1].tu, 0.25f);
    }
    {   // Another capitalisation is not a texture: the block closes without one.
        RootHolder root(Read("Mesh M { 1; 0;0;0;; 0;; MeshMaterialList { 1; 1; 0;; "
                             "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; texturefilename { \"x.bmp\"; } } } }"));
        EXPECT_EQ(MeshAt(root.get(), 0)->material, nullptr);
        EXPECT_EQ(lastTextureFileName, "");
    }
    {   // Colours written as .5: the search runs on, only the position suffers; a
        // name with a space is cut to its first word.
        RootHolder root(Read("Material C { .5;.5;.5;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"rusty wall.png\"; } }"
                             " Frame F { Material D { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"d d.bmp\"; } } }"));
        EXPECT_EQ(lastTextureFileName, "d");
        ASSERT_NE(root.get(), nullptr);
        EXPECT_STREQ(root->name, "F");
    }
}
