// mesh.cpp -- polygon meshes: geometry storage, bounds, materials and the stored mesh section
#include "scene/mesh.h"

#include <cstring>

#include "scene/frame.h"

TVokClassInfo TVokVMesh::classRecord = {nullptr, nullptr, nullptr};
TVokClassInfo TVokPolygonMesh::classRecord = {nullptr, nullptr, nullptr};

namespace {

char* CopyText(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

// Smallest stored forms, used to limit counts read from a stream to what the rest of
// the stream can hold: a stored float is at least a 4-byte length and one byte.
constexpr int32_t MIN_STORED_FLOAT_BYTES = 5;
constexpr int32_t MIN_STORED_VERTEX_BYTES = 8 * MIN_STORED_FLOAT_BYTES;
constexpr int32_t MIN_STORED_FACE_BYTES = 4;  // the corner count
constexpr int32_t MIN_STORED_INDEX_BYTES = 2; // one 16-bit index

int32_t LimitCount(int32_t count, int32_t remaining, int32_t bytesEach) {
    if (count < 0) {
        return 0;
    }
    int32_t most = remaining > 0 ? remaining / bytesEach : 0;
    return count < most ? count : most;
}

} // namespace

TVokMaterial::TVokMaterial(const char* name) : textureName(CopyText(name)) {}

TVokMaterial::~TVokMaterial() {
    delete[] textureName;
}

TVokMeshSink::~TVokMeshSink() = default;

TVokVMesh::TVokVMesh() = default;

void TVokVMesh::Submit(TVokMeshSink*, TVokVFrame*) {}

TVokLSObj* TVokVMesh::Create() {
    TVokVMesh* mesh = new TVokVMesh();
    mesh->classInfo = &classRecord;
    return mesh;
}

TVokPolygonMesh::TVokPolygonMesh()
    : material(nullptr), colours{1.0f, 1.0f, 1.0f, 1.0f, 0.8f, 0.8f, 0.8f,
                                 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 20.0f},
      geometry(nullptr), bounds{} {}

TVokPolygonMesh::~TVokPolygonMesh() {
    FreeGeometry();
    if (material != nullptr) {
        material->Release();
        material = nullptr;
    }
}

TVokLSObj* TVokPolygonMesh::Create() {
    TVokPolygonMesh* mesh = new TVokPolygonMesh();
    mesh->classInfo = &classRecord;
    return mesh;
}

void TVokPolygonMesh::FreeGeometry() {
    if (geometry == nullptr) {
        return;
    }
    delete[] geometry->vertices;
    for (int32_t i = 0; i < geometry->faceCapacity; i++) {
        delete[] geometry->faces[i].indices;
    }
    delete[] geometry->faces;
    delete geometry;
    geometry = nullptr;
}

TVokPolygonData* TVokPolygonMesh::CreateGeometry() {
    FreeGeometry();
    geometry = new TVokPolygonData{nullptr, nullptr, 0, 0, 0, 0};
    return geometry;
}

void TVokPolygonMesh::Reserve(int32_t vertexCount, int32_t faceCount) {
    SetVertexCapacity(vertexCount);
    SetFaceCapacity(faceCount);
}

void TVokPolygonMesh::SetVertexCapacity(int32_t n) {
    if (geometry == nullptr) {
        CreateGeometry();
    }
    if (n < 0) {
        n = 0;
    }
    delete[] geometry->vertices;
    geometry->vertices = n > 0 ? new TVokVertex[static_cast<size_t>(n)]() : nullptr;
    geometry->vertexCount = 0;
    geometry->vertexCapacity = n;
}

void TVokPolygonMesh::SetFaceCapacity(int32_t n) {
    if (geometry == nullptr) {
        CreateGeometry();
    }
    if (n < 0) {
        n = 0;
    }
    for (int32_t i = 0; i < geometry->faceCapacity; i++) {
        delete[] geometry->faces[i].indices;
    }
    delete[] geometry->faces;
    geometry->faces = n > 0 ? new TVokFace[static_cast<size_t>(n)]() : nullptr;
    geometry->faceCount = 0;
    geometry->faceCapacity = n;
}

bool TVokPolygonMesh::SetFaceIndexCount(int32_t face, int32_t n) {
    if (geometry == nullptr || face < 0 || face >= geometry->faceCapacity) {
        return false;
    }
    if (n < 0) {
        n = 0;
    }
    TVokFace& target = geometry->faces[face];
    delete[] target.indices;
    target.indices = n > 0 ? new uint16_t[static_cast<size_t>(n)]() : nullptr;
    target.indexCount = n;
    return true;
}

void TVokPolygonMesh::SetMaterialName(const char* text) {
    TVokMaterial* fresh = new TVokMaterial(text);
    if (material != nullptr) {
        material->Release();
    }
    material = fresh;
}

void TVokPolygonMesh::ShareMaterial(TVokMaterial* shared) {
    if (shared != nullptr) {
        shared->Retain(); // first, so that sharing the material already held is safe
    }
    if (material != nullptr) {
        material->Release();
    }
    material = shared;
}

const char* TVokPolygonMesh::TextureName() const {
    return material != nullptr ? material->textureName : nullptr;
}

void TVokPolygonMesh::ComputeBounds() {
    float low[3] = {0.0f, 0.0f, 0.0f};
    float high[3] = {0.0f, 0.0f, 0.0f};
    if (geometry != nullptr && geometry->vertexCount > 0 && geometry->vertices != nullptr) {
        const TVokVertex& first = geometry->vertices[0];
        low[0] = high[0] = first.x;
        low[1] = high[1] = first.y;
        low[2] = high[2] = first.z;
        for (int32_t i = 1; i < geometry->vertexCount; i++) {
            const TVokVertex& v = geometry->vertices[i];
            const float p[3] = {v.x, v.y, v.z};
            for (int axis = 0; axis < 3; axis++) {
                if (!(high[axis] >= p[axis])) {
                    high[axis] = p[axis];
                }
                if (low[axis] > p[axis]) {
                    low[axis] = p[axis];
                }
            }
        }
    }
    for (int axis = 0; axis < 3; axis++) {
        bounds.min[axis] = low[axis];
        bounds.max[axis] = high[axis];
    }
    // Corner k takes x from max when k is 1, 2, 5 or 6, y from max when k is 2, 3,
    // 6 or 7, and z from max when k is 4 or more.
    for (int k = 0; k < 8; k++) {
        bool maxX = (k & 3) == 1 || (k & 3) == 2;
        bool maxY = (k & 3) >= 2;
        bool maxZ = k >= 4;
        bounds.corners[k][0] = maxX ? high[0] : low[0];
        bounds.corners[k][1] = maxY ? high[1] : low[1];
        bounds.corners[k][2] = maxZ ? high[2] : low[2];
    }
}

int32_t TVokPolygonMesh::DropInvalidIndices() {
    if (geometry == nullptr) {
        return 0;
    }
    int32_t dropped = 0;
    for (int32_t f = 0; f < geometry->faceCount && f < geometry->faceCapacity; f++) {
        TVokFace& face = geometry->faces[f];
        int32_t kept = 0;
        for (int32_t j = 0; j < face.indexCount; j++) {
            if (face.indices[j] < geometry->vertexCount) {
                face.indices[kept++] = face.indices[j];
            }
        }
        dropped += face.indexCount - kept;
        face.indexCount = kept;
    }
    return dropped;
}

void TVokPolygonMesh::WriteTags(TVokStream* stream, TVokSection* section) {
    TVokVMesh::WriteTags(stream, section);
    BeginSection(stream, section, VOK_POLYGON_MESH_SECTION);
    WriteString(stream, TextureName());
    int32_t vertexCount = geometry != nullptr ? geometry->vertexCount : 0;
    int32_t faceCount = geometry != nullptr ? geometry->faceCount : 0;
    WriteInt32(stream, vertexCount);
    WriteInt32(stream, faceCount);
    for (int32_t i = 0; i < vertexCount; i++) {
        const TVokVertex& v = geometry->vertices[i];
        const float fields[8] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.tu, v.tv};
        for (float field : fields) {
            WriteFloat(stream, field);
        }
    }
    for (int32_t f = 0; f < faceCount; f++) {
        const TVokFace& face = geometry->faces[f];
        WriteInt32(stream, face.indexCount);
        for (int32_t j = 0; j < face.indexCount; j++) {
            WriteUInt16(stream, face.indices[j]);
        }
    }
    EndSection(stream, section);
}

void TVokPolygonMesh::Submit(TVokMeshSink* sink, TVokVFrame* frame) {
    if (sink == nullptr) {
        return;
    }
    Matrix4 world = frame != nullptr ? frame->worldMatrix : IDENTITY_MATRIX;
    sink->SubmitMesh(material, colours, world, geometry);
}

int32_t ReadPolygonMeshSection(TVokStream* stream, TVokLSObj* object) {
    TVokPolygonMesh* mesh = dynamic_cast<TVokPolygonMesh*>(object);
    if (mesh == nullptr || stream == nullptr || mesh->CreateGeometry() == nullptr) {
        return 0;
    }
    char* name = ReadString(stream);
    if (name == nullptr) {
        return 0;
    }
    mesh->SetMaterialName(name);
    delete[] name;

    int32_t vertexCount = 0;
    int32_t faceCount = 0;
    if (!ReadInt32(stream, &vertexCount) || !ReadInt32(stream, &faceCount)) {
        return 0;
    }
    // The counts are limited to what the rest of the stream can hold, so a damaged
    // count cannot make the reader allocate without bound.
    int32_t remaining = StreamRemaining(stream);
    vertexCount = LimitCount(vertexCount, remaining, MIN_STORED_VERTEX_BYTES);
    faceCount = LimitCount(faceCount, remaining, MIN_STORED_FACE_BYTES);
    mesh->Reserve(vertexCount, faceCount);
    TVokPolygonData* data = mesh->geometry;
    data->vertexCount = vertexCount;
    data->faceCount = faceCount;

    for (int32_t i = 0; i < vertexCount; i++) {
        TVokVertex& v = data->vertices[i];
        float* fields[8] = {&v.x, &v.y, &v.z, &v.nx, &v.ny, &v.nz, &v.tu, &v.tv};
        for (float* field : fields) {
            *field = ReadFloat(stream);
        }
    }
    for (int32_t f = 0; f < faceCount; f++) {
        int32_t indexCount = 0;
        if (!ReadInt32(stream, &indexCount)) {
            break; // the faces not reached stay empty
        }
        indexCount = LimitCount(indexCount, StreamRemaining(stream), MIN_STORED_INDEX_BYTES);
        mesh->SetFaceIndexCount(f, indexCount);
        TVokFace& face = data->faces[f];
        for (int32_t j = 0; j < indexCount; j++) {
            if (!ReadUInt16(stream, &face.indices[j])) {
                face.indexCount = j;
                break;
            }
        }
    }
    mesh->DropInvalidIndices();
    return 1;
}
