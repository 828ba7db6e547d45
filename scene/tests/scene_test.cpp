// scene_test.cpp -- tests of the scene classes: registration, frames, polygon meshes and the stored mesh
// section
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/memstream.h"
#include "framework/persist.h"
#include "scene/frame.h"
#include "scene/mesh.h"
#include "scene/scene_classes.h"

namespace {

class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VokShutdownFramework();
        VokRegisterSceneClasses();
        VokRegisterSceneClasses(); // a second call changes nothing
    }
    void TearDown() override { VokShutdownFramework(); }
};

template <class T> T* Make(const char* className) {
    return dynamic_cast<T*>(CreateObject(className));
}

int meshesDestroyed = 0;
class CountedMesh : public TVokPolygonMesh {
  public:
    ~CountedMesh() override { meshesDestroyed++; }
};

// A mesh of n vertices (vertex i at (i, 2i, -i), normal (0.5, -0.25, 1), texture (i/8, 1 - i/8)).
TVokPolygonMesh* MakeMesh(int n, const std::vector<std::vector<uint16_t>>& faces, const char* texture) {
    TVokPolygonMesh* mesh = Make<TVokPolygonMesh>("TVokPolygonMesh");
    mesh->CreateGeometry();
    mesh->Reserve(n, static_cast<int32_t>(faces.size()));
    for (int i = 0; i < n; i++) {
        float f = static_cast<float>(i);
        mesh->geometry->vertices[mesh->geometry->vertexCount++] = {f,      2 * f, -f,    0.5f,
                                                                   -0.25f, 1.0f,  f / 8, 1 - f / 8};
    }
    for (const auto& face : faces) {
        mesh->SetFaceIndexCount(mesh->geometry->faceCount, static_cast<int32_t>(face.size()));
        std::copy(face.begin(), face.end(), mesh->geometry->faces[mesh->geometry->faceCount++].indices);
    }
    if (texture != nullptr) {
        mesh->SetMaterialName(texture);
    }
    return mesh;
}

std::string Stored(TVokLSObj* object) {
    TVokBufferStream stream;
    object->Write(&stream);
    return std::string(reinterpret_cast<const char*>(stream.data), static_cast<size_t>(stream.length));
}

// Loads a stored object; a mesh is checked for counts within capacities and indices below the vertex count.
TVokLSObj* Load(const std::string& bytes) {
    TVokBufferStream stream(bytes.data(), static_cast<int32_t>(bytes.size()));
    TVokLSObj* object = LoadObject(&stream);
    if (const TVokPolygonMesh* mesh = dynamic_cast<TVokPolygonMesh*>(object)) {
        const TVokPolygonData* d = mesh->geometry;
        EXPECT_TRUE(d->vertexCount <= d->vertexCapacity &&
                    d->vertexCapacity <= static_cast<int32_t>(bytes.size()));
        EXPECT_TRUE(d->faceCount <= d->faceCapacity && d->faceCapacity <= static_cast<int32_t>(bytes.size()));
        for (int32_t f = 0; f < d->faceCount; f++) {
            for (int32_t j = 0; j < d->faces[f].indexCount; j++) {
                EXPECT_LT(d->faces[f].indices[j], d->vertexCount);
            }
        }
    }
    return object;
}

} // namespace

TEST_F(SceneTest, TenClassesInRegistrationOrder) {
    auto bucket = [](char last) {
        std::vector<std::string> names;
        TVokHashEntry* head = &vokClassRegistry->buckets[static_cast<unsigned char>(last)];
        for (TVokHashEntry* e = head->next; e != head; e = e->next) {
            names.push_back(static_cast<const char*>(e->key));
        }
        return names;
    };
    EXPECT_EQ(bucket('e'), (std::vector<std::string>{"TVokFrame", "TVokVFrame", "TVokTree", "TVokVTree",
                                                     "TVokClassTree", "TVokStringTree"}));
    EXPECT_EQ(bucket('h'), (std::vector<std::string>{"TVokPolygonMesh", "TVokVMesh"}));
    EXPECT_EQ(bucket('j').size() + bucket('l').size(), 2u);
    EXPECT_STREQ(FindClass("TVokFrame")->parentName, "TVokVFrame");
    EXPECT_STREQ(FindClass("TVokVFrame")->parentName, "TVokStringTree");
    EXPECT_STREQ(FindClass("TVokPolygonMesh")->parentName, "TVokVMesh");
    EXPECT_STREQ(FindClass("TVokVMesh")->parentName, "TVokStringTree");
    ASSERT_NE(FindSectionReader("TVokPolygonMeshTag"), nullptr);
    EXPECT_EQ(FindSectionReader("TVokPolygonMeshTag")->reader, &ReadPolygonMeshSection);

    TVokPolygonMesh* mesh = Make<TVokPolygonMesh>("TVokPolygonMesh");
    ASSERT_NE(mesh, nullptr);
    EXPECT_STREQ(mesh->classInfo->name, "TVokPolygonMesh");
    const float colours[VOK_MESH_COLOUR_COUNT] = {1, 1, 1, 1, 0.8f, 0.8f, 0.8f, 1, 1, 1, 1, 1, 20};
    EXPECT_EQ(std::memcmp(mesh->colours, colours, sizeof colours), 0);
    EXPECT_TRUE(mesh->name == nullptr && mesh->material == nullptr && mesh->geometry == nullptr);
    EXPECT_EQ(mesh->Release(), 0);
}

TEST_F(SceneTest, FrameMatricesWalkAndOwnership) {
    TVokFrame* root = Make<TVokFrame>("TVokFrame");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(std::memcmp(&root->worldMatrix, &IDENTITY_MATRIX, sizeof(Matrix4)), 0);
    translationMatrix(root->localMatrix, 1, 2, 3);
    TVokFrame* first = Make<TVokFrame>("TVokFrame");
    first->localMatrix = Matrix4(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1);
    TVokFrame* grandchild = Make<TVokFrame>("TVokFrame");
    translationMatrix(grandchild->localMatrix, 0, 0, 5);
    TVokFrame* second = Make<TVokFrame>("TVokFrame");
    TVokFrame* third = Make<TVokFrame>("TVokFrame");
    root->AppendChild(first);
    first->AppendChild(grandchild);
    root->AppendChild(second);
    root->AppendChild(third);
    meshesDestroyed = 0;
    CountedMesh* meshes[4];
    TVokFrame* holders[4] = {root, root, first, third};
    for (int i = 0; i < 4; i++) {
        meshes[i] = new CountedMesh();
        holders[i]->Attach(meshes[i]);
        EXPECT_EQ(meshes[i]->Release(), 1); // the frame is the only owner now
    }

    Matrix4 out;
    root->GetWorldMatrix(&out);
    EXPECT_EQ(std::memcmp(&out, &root->localMatrix, sizeof(Matrix4)), 0);
    first->GetWorldMatrix(&out); // scaled first, then moved
    const Matrix4 scaledThenMoved(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1);
    EXPECT_EQ(std::memcmp(&out, &scaledThenMoved, sizeof(Matrix4)), 0);
    EXPECT_EQ(std::memcmp(&first->worldMatrix, &IDENTITY_MATRIX, sizeof(Matrix4)), 0); // not written

    TVokList pairs;
    root->CollectWorld(&pairs, IDENTITY_MATRIX);
    std::vector<void*> got;
    for (TVokListNode* n = pairs.First(); n != pairs.End(); n = n->next) {
        got.push_back(n->data);
    }
    EXPECT_EQ(got,
              (std::vector<void*>{root, meshes[0], root, meshes[1], first, meshes[2], third, meshes[3]}));
    EXPECT_EQ(std::memcmp(&first->worldMatrix, &scaledThenMoved, sizeof(Matrix4)), 0);
    EXPECT_EQ(grandchild->worldMatrix(3, 2), 23.0f); // (0, 0, 5) scaled by 4, moved by 3
    EXPECT_EQ(second->worldMatrix(3, 1), 2.0f);      // siblings get the same parent matrix
    EXPECT_EQ(third->worldMatrix(3, 0), 1.0f);

    EXPECT_EQ(root->Release(), 0);
    EXPECT_EQ(meshesDestroyed, 4);
}

TEST_F(SceneTest, BoundsCapacitiesAndSharedMaterials) {
    TVokPolygonMesh* mesh = MakeMesh(2, {{0, 1}}, "wall.bmp");
    mesh->geometry->vertices[0] = {0, 0, 0, 0, 0, 0, 0, 0};
    mesh->geometry->vertices[1] = {1, 2, 3, 0, 0, 0, 0, 0};
    mesh->ComputeBounds();
    const float corners[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 2, 0}, {0, 2, 0},
                                 {0, 0, 3}, {1, 0, 3}, {1, 2, 3}, {0, 2, 3}};
    EXPECT_EQ(std::memcmp(mesh->bounds.corners, corners, sizeof corners), 0);
    mesh->geometry->vertexCount = 1;
    mesh->ComputeBounds();
    EXPECT_EQ(mesh->bounds.max[2], 0.0f);
    mesh->SetFaceCapacity(3); // frees the old index arrays
    EXPECT_TRUE(mesh->geometry->faceCount == 0 && mesh->geometry->faces[0].indices == nullptr);
    EXPECT_FALSE(mesh->SetFaceIndexCount(3, 2));

    // A shared material lives until its last mesh is gone; replacing it gives up the reference.
    TVokMaterial* material = mesh->material;
    TVokPolygonMesh* other = MakeMesh(0, {}, nullptr);
    other->ShareMaterial(material);
    other->ShareMaterial(material);
    EXPECT_EQ(material->refCount, 2);
    mesh->Release();
    EXPECT_STREQ(other->TextureName(), "wall.bmp");
    material->Retain();
    other->SetMaterialName(nullptr);
    EXPECT_EQ(material->Release(), 0);
    EXPECT_EQ(other->TextureName(), nullptr);
    other->Release();
}

TEST_F(SceneTest, StoredMeshSection) {
    TVokPolygonMesh* mesh = MakeMesh(5, {{0, 1, 2}, {4, 3, 2, 1}, {}}, "cave wall.bmp");
    mesh->SetName("Cave");
    mesh->geometry->vertices[3].x = 1.0f / 3.0f;
    const std::string bytes = Stored(mesh);
    TVokPolygonMesh* copy = dynamic_cast<TVokPolygonMesh*>(Load(bytes));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->name, "Cave");
    EXPECT_STREQ(copy->TextureName(), "cave wall.bmp");
    ASSERT_TRUE(copy->geometry->vertexCount == 5 && copy->geometry->faceCount == 3);
    const float* a = &mesh->geometry->vertices[0].x;
    const float* b = &copy->geometry->vertices[0].x;
    for (int k = 0; k < 5 * 8; k++) {
        EXPECT_NEAR(a[k], b[k], 5e-7) << k; // the six decimals of "%f"
    }
    for (int f = 0; f < 3; f++) {
        const TVokFace& fa = mesh->geometry->faces[f];
        const TVokFace& fb = copy->geometry->faces[f];
        ASSERT_EQ(fa.indexCount, fb.indexCount);
        EXPECT_TRUE(std::equal(fa.indices, fa.indices + fa.indexCount, fb.indices));
    }
    copy->Release();
    mesh->Release();

    // No material: an empty name; no geometry: no vertices or faces.
    TVokPolygonMesh* bare = Make<TVokPolygonMesh>("TVokPolygonMesh");
    TVokPolygonMesh* bareCopy = dynamic_cast<TVokPolygonMesh*>(Load(Stored(bare)));
    EXPECT_TRUE(bareCopy != nullptr && std::strcmp(bareCopy->TextureName(), "") == 0 &&
                bareCopy->geometry->vertexCount == 0);
    bareCopy->Release();
    bare->Release();

    // Damaged counts and indices, and every truncation: nothing outside the arrays.
    // The counts follow the class name (4 + 15), the section header (8 + 19) and the name (4 + 13).
    const size_t countsAt = 19 + 27 + 17;
    for (int32_t value : {-1, 0x7FFFFFFF, 1000000, 2}) {
        for (size_t at : {countsAt, countsAt + 4}) {
            std::string changed = bytes;
            std::memcpy(&changed[at], &value, 4);
            if (TVokLSObj* object = Load(changed)) {
                object->Release();
            }
        }
    }
    // Counts beyond the section are held to the section, not to the rest of the
    // stream (here a long name after it); the body after the section still reads.
    mesh = MakeMesh(5, {{0, 1, 2}}, "cave wall.bmp");
    mesh->SetName(std::string(100000, 'n').c_str());
    std::string longName = Stored(mesh);
    mesh->Release();
    const int32_t huge = 1000000;
    std::memcpy(&longName[countsAt], &huge, 4);
    TVokPolygonMesh* held = dynamic_cast<TVokPolygonMesh*>(Load(longName));
    ASSERT_NE(held, nullptr);
    EXPECT_LT(held->geometry->vertexCount, 100);
    EXPECT_EQ(std::strlen(held->name), 100000u);
    held->Release();
    std::string badIndex = bytes;
    badIndex[bytes.find(std::string("\x04\x00\x03\x00\x02\x00\x01\x00", 8))] = 9; // face 1: 4 -> 9
    TVokPolygonMesh* dropped = dynamic_cast<TVokPolygonMesh*>(Load(badIndex));
    EXPECT_TRUE(dropped != nullptr && dropped->geometry->faces[1].indexCount == 3);
    dropped->Release();
    for (size_t length = 0; length < bytes.size(); length++) {
        if (TVokLSObj* object = Load(bytes.substr(0, length))) {
            object->Release();
        }
    }
}

TEST_F(SceneTest, MeshSectionOnAFrameIsIgnored) {
    TVokBufferStream stream;
    WriteString(&stream, "TVokFrame");
    TVokSection section;
    InitSection(&section);
    BeginSection(&stream, &section, "TVokPolygonMeshTag");
    WriteString(&stream, "x.bmp");
    WriteInt32(&stream, 1);
    WriteInt32(&stream, 0);
    EndSection(&stream, &section);
    BeginSection(&stream, &section, "TEND");
    EndSection(&stream, &section);
    FreeSection(&section);
    TVokLSObj* sentinel = CreateObject("TVokTreeSentinel");
    sentinel->Write(&stream);
    sentinel->Release();
    WriteString(&stream, "Framed");
    stream.Seek(0);
    TVokFrame* frame = dynamic_cast<TVokFrame*>(LoadObject(&stream));
    ASSERT_NE(frame, nullptr);
    EXPECT_STREQ(frame->name, "Framed");
    frame->Release();
}
