// scene_test.cpp -- tests of the scene classes: registration, frames, polygon meshes and the stored mesh section
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/memstream.h"
#include "framework/persist.h"
#include "framework/refobj.h"
#include "scene/frame.h"
#include "scene/mesh.h"
#include "scene/scene_classes.h"

namespace {

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        VokShutdownFramework();
        VokRegisterSceneClasses();
    }
    void TearDown() override { VokShutdownFramework(); }
};

TVokFrame* NewFrame(const char* name)
{
    TVokFrame* frame = static_cast<TVokFrame*>(CreateObject("TVokFrame"));
    frame->SetName(name);
    return frame;
}

int meshesDestroyed = 0; // CountedMesh destructors run

// A mesh that counts its destruction.
class CountedMesh : public TVokPolygonMesh {
public:
    ~CountedMesh() override { meshesDestroyed++; }
};

// A mesh with n vertices (vertex i at (i, 2i, -i)) and the given faces.
void FillMesh(TVokPolygonMesh* mesh, int n, const std::vector<std::vector<uint16_t>>& faces)
{
    mesh->CreateGeometry();
    mesh->Reserve(n, static_cast<int32_t>(faces.size()));
    for (int i = 0; i < n; i++) {
        float f = static_cast<float>(i);
        mesh->geometry->vertices[i] = TVokVertex{f, 2 * f, -f, 0.5f, -0.25f, 1.0f, f / 8, 1 - f / 8};
    }
    mesh->geometry->vertexCount = n;
    for (size_t k = 0; k < faces.size(); k++) {
        mesh->SetFaceIndexCount(static_cast<int32_t>(k), static_cast<int32_t>(faces[k].size()));
        for (size_t j = 0; j < faces[k].size(); j++) {
            mesh->geometry->faces[k].indices[j] = faces[k][j];
        }
    }
    mesh->geometry->faceCount = static_cast<int32_t>(faces.size());
}

std::string Stored(TVokLSObj* object)
{
    TVokMemoryStream stream;
    object->Write(&stream);
    return std::string(reinterpret_cast<const char*>(stream.data), static_cast<size_t>(stream.length));
}

TVokLSObj* Load(const std::string& bytes)
{
    TVokMemoryStream stream(bytes.data(), static_cast<int32_t>(bytes.size()));
    return LoadObject(&stream);
}

void ExpectSound(const TVokPolygonMesh* mesh)
{
    const TVokPolygonData* data = mesh->geometry;
    ASSERT_NE(data, nullptr);
    ASSERT_LE(data->vertexCount, data->vertexCapacity);
    ASSERT_LE(data->faceCount, data->faceCapacity);
    for (int32_t f = 0; f < data->faceCount; f++) {
        for (int32_t j = 0; j < data->faces[f].indexCount; j++) {
            ASSERT_LT(data->faces[f].indices[j], data->vertexCount);
        }
    }
}

} // namespace

TEST_F(SceneTest, TenClassesInRegistrationOrder)
{
    VokRegisterSceneClasses(); // a second call changes nothing
    ASSERT_NE(vokClassRegistry, nullptr);
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
    EXPECT_EQ(bucket('j'), (std::vector<std::string>{"TVokLSObj"}));
    EXPECT_EQ(bucket('l'), (std::vector<std::string>{"TVokTreeSentinel"}));
    int total = 0;
    for (int b = 0; b < TVokHashTable::BUCKET_COUNT; b++) {
        for (TVokHashEntry* e = vokClassRegistry->buckets[b].next; e != &vokClassRegistry->buckets[b]; e = e->next) {
            total++;
        }
    }
    EXPECT_EQ(total, 10);
    const char* parents[][2] = {{"TVokVMesh", "TVokStringTree"}, {"TVokVFrame", "TVokStringTree"},
                                {"TVokPolygonMesh", "TVokVMesh"}, {"TVokFrame", "TVokVFrame"}};
    for (auto& pair : parents) {
        ASSERT_NE(FindClass(pair[0]), nullptr);
        EXPECT_STREQ(FindClass(pair[0])->parentName, pair[1]);
    }
    EXPECT_EQ(FindClass("tvokframe"), nullptr);

    TVokLSObj* frame = CreateObject("TVokFrame");
    ASSERT_NE(dynamic_cast<TVokFrame*>(frame), nullptr);
    EXPECT_EQ(frame->refCount, 1);
    EXPECT_STREQ(frame->classInfo->name, "TVokFrame");
    frame->Release();

    TVokPolygonMesh* mesh = dynamic_cast<TVokPolygonMesh*>(CreateObject("TVokPolygonMesh"));
    ASSERT_NE(mesh, nullptr);
    const float colours[VOK_MESH_COLOUR_COUNT] = {1, 1, 1, 1, 0.8f, 0.8f, 0.8f, 1, 1, 1, 1, 1, 20};
    EXPECT_EQ(std::memcmp(mesh->colours, colours, sizeof colours), 0);
    EXPECT_EQ(mesh->name, nullptr);
    EXPECT_EQ(mesh->material, nullptr);
    EXPECT_EQ(mesh->geometry, nullptr);
    EXPECT_NE(mesh->childList, nullptr);
    mesh->Release();

    TVokSectionReaderEntry* entry = FindSectionReader("TVokPolygonMeshTag");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->reader, &ReadPolygonMeshSection);
}

TEST_F(SceneTest, WorldMatricesFollowTheParents)
{
    TVokFrame* root = NewFrame("Root");
    EXPECT_EQ(std::memcmp(&root->localMatrix, &IDENTITY_MATRIX, sizeof(Matrix4)), 0);
    EXPECT_EQ(std::memcmp(&root->worldMatrix, &IDENTITY_MATRIX, sizeof(Matrix4)), 0);
    translationMatrix(root->localMatrix, 1, 2, 3);
    TVokFrame* child = NewFrame("Child");
    child->localMatrix = Matrix4(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1); // scale S
    ASSERT_TRUE(root->AppendChild(child));

    Matrix4 out;
    root->GetWorldMatrix(&out);
    EXPECT_EQ(std::memcmp(&out, &root->localMatrix, sizeof(Matrix4)), 0);
    child->GetWorldMatrix(&out); // S times T: scaled first, then moved
    const Matrix4 expected(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1);
    EXPECT_EQ(std::memcmp(&out, &expected, sizeof(Matrix4)), 0);
    EXPECT_EQ(std::memcmp(&child->worldMatrix, &IDENTITY_MATRIX, sizeof(Matrix4)), 0); // not written
    root->Release();
}

TEST_F(SceneTest, CollectWorldVisitsFramesInPreOrder)
{
    TVokFrame* root = NewFrame("Root");
    translationMatrix(root->localMatrix, 0, 10, 0);
    TVokPolygonMesh* meshes[4];
    for (auto& mesh : meshes) {
        mesh = static_cast<TVokPolygonMesh*>(CreateObject("TVokPolygonMesh"));
    }
    TVokFrame* first = NewFrame("First");
    translationMatrix(first->localMatrix, 1, 0, 0);
    TVokFrame* grandchild = NewFrame("Grand");
    translationMatrix(grandchild->localMatrix, 0, 0, 5);
    TVokFrame* second = NewFrame("Second"); // no children, no attachments
    TVokFrame* third = NewFrame("Third");
    root->Attach(meshes[0]);
    root->Attach(meshes[1]);
    first->Attach(meshes[2]);
    third->Attach(meshes[3]);
    for (auto& mesh : meshes) {
        EXPECT_EQ(mesh->refCount, 2);
        mesh->Release();
    }
    root->AppendChild(first);
    first->AppendChild(grandchild);
    root->AppendChild(second);
    root->AppendChild(third);

    TVokList pairs;
    root->CollectWorld(&pairs, IDENTITY_MATRIX);
    std::vector<void*> got;
    for (TVokListNode* n = pairs.First(); n != pairs.End(); n = n->next) {
        got.push_back(n->data);
    }
    EXPECT_EQ(got, (std::vector<void*>{root, meshes[0], root, meshes[1], first, meshes[2], third, meshes[3]}));
    EXPECT_EQ(grandchild->worldMatrix(3, 0), 1.0f);
    EXPECT_EQ(grandchild->worldMatrix(3, 1), 10.0f);
    EXPECT_EQ(grandchild->worldMatrix(3, 2), 5.0f);
    EXPECT_EQ(second->worldMatrix(3, 1), 10.0f); // a sibling gets the same parent matrix
    EXPECT_EQ(third->worldMatrix(3, 0), 0.0f);
    root->Release();
}

TEST_F(SceneTest, ReleasingTheRootDestroysEveryFrameAndMeshOnce)
{
    meshesDestroyed = 0;
    TVokFrame* root = NewFrame("Root");
    TVokFrame* child = NewFrame("Child");
    root->AppendChild(child);
    for (TVokFrame* holder : {root, root, child}) {
        CountedMesh* mesh = new CountedMesh();
        mesh->classInfo = &TVokPolygonMesh::classRecord;
        holder->Attach(mesh);
        mesh->Release();
    }
    root->Attach(nullptr); // ignored
    EXPECT_EQ(root->AttachmentCount(), 2);
    EXPECT_NE(root->FirstAttachment(), nullptr);
    EXPECT_EQ(root->Release(), 0);
    EXPECT_EQ(meshesDestroyed, 3);
}

TEST_F(SceneTest, BoundsOfTheVertexPositions)
{
    TVokPolygonMesh* mesh = static_cast<TVokPolygonMesh*>(CreateObject("TVokPolygonMesh"));
    mesh->ComputeBounds(); // no geometry: an all-zero box
    EXPECT_EQ(mesh->bounds.max[1], 0.0f);
    mesh->CreateGeometry();
    mesh->SetVertexCapacity(2);
    mesh->geometry->vertices[0] = TVokVertex{1, 2, 3, 0, 0, 0, 0, 0};
    mesh->geometry->vertexCount = 1;
    mesh->ComputeBounds();
    for (int k = 0; k < 8; k++) {
        EXPECT_EQ(mesh->bounds.corners[k][0], 1.0f);
        EXPECT_EQ(mesh->bounds.corners[k][1], 2.0f);
        EXPECT_EQ(mesh->bounds.corners[k][2], 3.0f);
    }
    mesh->geometry->vertices[0] = TVokVertex{0, 0, 0, 0, 0, 0, 0, 0};
    mesh->geometry->vertices[1] = TVokVertex{1, 2, 3, 0, 0, 0, 0, 0};
    mesh->geometry->vertexCount = 2;
    mesh->ComputeBounds();
    const float corners[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 2, 0}, {0, 2, 0}, {0, 0, 3}, {1, 0, 3}, {1, 2, 3}, {0, 2, 3}};
    EXPECT_EQ(std::memcmp(mesh->bounds.corners, corners, sizeof corners), 0);
    EXPECT_EQ(mesh->bounds.min[2], 0.0f);
    EXPECT_EQ(mesh->bounds.max[2], 3.0f);
    mesh->Release();
}

TEST_F(SceneTest, GeometryCapacitiesAndSharedMaterials)
{
    TVokPolygonMesh* first = static_cast<TVokPolygonMesh*>(CreateObject("TVokPolygonMesh"));
    FillMesh(first, 4, {{0, 1, 2}, {0, 2, 3}});
    first->SetFaceCapacity(3); // frees the old index arrays
    EXPECT_EQ(first->geometry->faceCount, 0);
    EXPECT_EQ(first->geometry->faceCapacity, 3);
    EXPECT_EQ(first->geometry->faces[2].indexCount, 0);
    EXPECT_EQ(first->geometry->faces[2].indices, nullptr);
    EXPECT_FALSE(first->SetFaceIndexCount(3, 2));
    first->SetVertexCapacity(-4);
    EXPECT_EQ(first->geometry->vertexCapacity, 0);

    // Two meshes share one material: the second keeps it alive.
    first->SetMaterialName("wall.bmp");
    TVokMaterial* material = first->material;
    TVokPolygonMesh* second = static_cast<TVokPolygonMesh*>(CreateObject("TVokPolygonMesh"));
    second->ShareMaterial(material);
    EXPECT_EQ(material->refCount, 2);
    second->ShareMaterial(material); // sharing again keeps one reference per holder
    EXPECT_EQ(material->refCount, 2);
    first->Release();
    EXPECT_EQ(material->refCount, 1);
    EXPECT_STREQ(second->TextureName(), "wall.bmp");
    // A new material replaces the shared one and gives up the mesh's reference to it.
    material->Retain();
    second->SetMaterialName(nullptr);
    EXPECT_EQ(material->refCount, 1);
    EXPECT_EQ(second->TextureName(), nullptr);
    material->Release();
    second->Release();
}

TEST_F(SceneTest, MeshSectionRoundTrip)
{
    TVokPolygonMesh* mesh = static_cast<TVokPolygonMesh*>(CreateObject("TVokPolygonMesh"));
    mesh->SetName("Cave");
    FillMesh(mesh, 5, {{0, 1, 2}, {4, 3, 2, 1}, {}});
    mesh->geometry->vertices[3].x = 1.0f / 3.0f;
    mesh->SetMaterialName("cave wall.bmp");
    std::string bytes = Stored(mesh);

    TVokPolygonMesh* copy = dynamic_cast<TVokPolygonMesh*>(Load(bytes));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->name, "Cave");
    EXPECT_STREQ(copy->TextureName(), "cave wall.bmp");
    ASSERT_EQ(copy->geometry->vertexCount, 5);
    ASSERT_EQ(copy->geometry->faceCount, 3);
    for (int i = 0; i < 5; i++) {
        const TVokVertex& a = mesh->geometry->vertices[i];
        const TVokVertex& b = copy->geometry->vertices[i];
        const float fa[8] = {a.x, a.y, a.z, a.nx, a.ny, a.nz, a.tu, a.tv};
        const float fb[8] = {b.x, b.y, b.z, b.nx, b.ny, b.nz, b.tu, b.tv};
        for (int k = 0; k < 8; k++) {
            EXPECT_NEAR(fa[k], fb[k], 5e-7) << i << " " << k; // six decimals of "%f"
        }
    }
    EXPECT_EQ(copy->geometry->vertices[3].x, 0.333333f);
    for (int f = 0; f < 3; f++) {
        ASSERT_EQ(copy->geometry->faces[f].indexCount, mesh->geometry->faces[f].indexCount);
        for (int j = 0; j < mesh->geometry->faces[f].indexCount; j++) {
            EXPECT_EQ(copy->geometry->faces[f].indices[j], mesh->geometry->faces[f].indices[j]);
        }
    }
    copy->Release();

    // Without material: an empty texture name. Without geometry: no vertices or faces.
    TVokPolygonMesh* bare = static_cast<TVokPolygonMesh*>(CreateObject("TVokPolygonMesh"));
    TVokPolygonMesh* bareCopy = dynamic_cast<TVokPolygonMesh*>(Load(Stored(bare)));
    ASSERT_NE(bareCopy, nullptr);
    EXPECT_STREQ(bareCopy->TextureName(), "");
    EXPECT_EQ(bareCopy->geometry->vertexCount, 0);
    EXPECT_EQ(bareCopy->geometry->faceCount, 0);
    bareCopy->Release();
    bare->Release();

    // A mesh inside a frame tree comes back as the frame's child. (The tree takes
    // over the mesh: children are owned outright and destroyed with their parent.)
    TVokFrame* frame = NewFrame("Holder");
    frame->AppendChild(mesh);
    TVokLSObj* frameCopy = Load(Stored(frame));
    ASSERT_NE(dynamic_cast<TVokFrame*>(frameCopy), nullptr);
    TVokPolygonMesh* child = dynamic_cast<TVokPolygonMesh*>(static_cast<TVokFrame*>(frameCopy)->FirstChild());
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->geometry->vertexCount, 5);
    frameCopy->Release();
    frame->Release();
}

TEST_F(SceneTest, DamagedMeshSectionsStayInsideTheirArrays)
{
    TVokPolygonMesh* mesh = static_cast<TVokPolygonMesh*>(CreateObject("TVokPolygonMesh"));
    FillMesh(mesh, 3, {{0, 1, 2}, {2, 1, 0}});
    mesh->SetMaterialName("t.bmp");
    const std::string bytes = Stored(mesh);
    mesh->Release();
    // Class name (4 + 15), section header (4 + 4 + 19), texture name (4 + 5).
    const size_t vertexCountAt = 19 + 27 + 9;
    int32_t stored = 0;
    std::memcpy(&stored, bytes.data() + vertexCountAt, 4);
    ASSERT_EQ(stored, 3);

    auto withInt = [&](size_t at, int32_t value) {
        std::string changed = bytes;
        std::memcpy(&changed[at], &value, 4);
        return changed;
    };
    for (int32_t count : {-1, 0x7FFFFFFF, 1000000, 2}) {
        for (size_t at : {vertexCountAt, vertexCountAt + 4}) {
            SCOPED_TRACE(std::to_string(count) + " at " + std::to_string(at));
            TVokLSObj* object = Load(withInt(at, count));
            if (TVokPolygonMesh* copy = dynamic_cast<TVokPolygonMesh*>(object)) {
                ExpectSound(copy);
                EXPECT_LE(copy->geometry->vertexCapacity, static_cast<int32_t>(bytes.size()));
                EXPECT_LE(copy->geometry->faceCapacity, static_cast<int32_t>(bytes.size()));
            }
            if (object != nullptr) {
                object->Release();
            }
        }
    }
    // An index at or beyond the vertex count is dropped: the last index byte pair
    // belongs to the second face's last corner (index 0).
    std::string badIndex = bytes;
    size_t lastIndex = bytes.rfind(std::string("\x02\x00\x01\x00\x00\x00", 6)) + 4;
    badIndex[lastIndex] = 9;
    TVokPolygonMesh* copy = dynamic_cast<TVokPolygonMesh*>(Load(badIndex));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->geometry->faces[1].indexCount, 2);
    ExpectSound(copy);
    copy->Release();
    // Cut short at every length.
    for (size_t length = 0; length < bytes.size(); length++) {
        TVokLSObj* object = Load(bytes.substr(0, length));
        if (TVokPolygonMesh* cut = dynamic_cast<TVokPolygonMesh*>(object)) {
            ExpectSound(cut);
        }
        if (object != nullptr) {
            object->Release();
        }
    }
}

TEST_F(SceneTest, MeshSectionOnAnotherClassIsIgnored)
{
    // A stored frame that carries a mesh section of its own.
    TVokMemoryStream stream;
    WriteString(&stream, "TVokFrame");
    TVokSection section;
    InitSection(&section);
    BeginSection(&stream, &section, "TVokPolygonMeshTag");
    WriteString(&stream, "x.bmp");
    WriteInt32(&stream, 1);
    WriteInt32(&stream, 0);
    for (int k = 0; k < 8; k++) {
        WriteFloat(&stream, 1.0f);
    }
    EndSection(&stream, &section);
    BeginSection(&stream, &section, "TEND");
    EndSection(&stream, &section);
    FreeSection(&section);
    TVokLSObj* sentinel = CreateObject("TVokTreeSentinel");
    sentinel->Write(&stream);
    sentinel->Release();
    WriteString(&stream, "Framed");
    stream.Seek(0);
    TVokLSObj* object = LoadObject(&stream);
    TVokFrame* frame = dynamic_cast<TVokFrame*>(object);
    ASSERT_NE(frame, nullptr);
    EXPECT_STREQ(frame->name, "Framed");
    EXPECT_EQ(ReadPolygonMeshSection(&stream, frame), 0);
    object->Release();
}
