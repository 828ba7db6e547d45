// scene_convert.cpp -- the first mesh of a scene file into a triangle-list render object
#include "render/texture.h"

#include <climits>
#include <cstring>

#include "render/device.h"
#include "render/texture_slots.h"
#include "scene/frame.h"
#include "scene/mesh.h"
#include "xfile/reader.h"

static_assert(sizeof(TVokVertex) == sizeof(Vertex), "scene vertices are copied whole into render vertices");

namespace {

// The root's first attachment when it is a polygon mesh (by its class name), else null.
TVokPolygonMesh* firstPolygonMesh(TVokFrame* root) {
    if (root == nullptr) return nullptr;
    TVokLSObj* first = root->FirstAttachment();
    if (first == nullptr || first->classInfo == nullptr || first->classInfo->name == nullptr) return nullptr;
    if (std::strcmp(first->classInfo->name, "TVokPolygonMesh") != 0) return nullptr;
    return static_cast<TVokPolygonMesh*>(first);
}

// The mesh's geometry when it has faces to read, else null.
TVokPolygonData* meshGeometry(TVokPolygonMesh* mesh) {
    if (mesh == nullptr || mesh->geometry == nullptr || mesh->geometry->faces == nullptr) return nullptr;
    return mesh->geometry;
}

} // namespace

int countSceneVertices(TVokFrame* root) {
    TVokPolygonData* geometry = meshGeometry(firstPolygonMesh(root));
    if (geometry == nullptr) return 0;
    long long total = 0;
    for (int32_t f = 0; f < geometry->faceCount; ++f) {
        const TVokFace& face = geometry->faces[f];
        if (face.indexCount < 3 || face.indices == nullptr) continue;
        total += 3LL * (face.indexCount - 2);
        if (total > MAX_OBJECT_VERTICES) return MAX_OBJECT_VERTICES + 1;
    }
    return static_cast<int>(total);
}

int fillSceneVertices(TVokFrame* root, Vertex* vertices, int capacity) {
    TVokPolygonData* geometry = meshGeometry(firstPolygonMesh(root));
    if (geometry == nullptr || vertices == nullptr) return 0;
    int written = 0;
    auto put = [&](uint16_t index) {
        if (geometry->vertices != nullptr && index < geometry->vertexCount) {
            std::memcpy(static_cast<void*>(&vertices[written]), &geometry->vertices[index], sizeof(Vertex));
        } else {
            std::memset(static_cast<void*>(&vertices[written]), 0, sizeof(Vertex));
        }
        ++written;
    };
    for (int32_t f = 0; f < geometry->faceCount; ++f) {
        const TVokFace& face = geometry->faces[f];
        if (face.indexCount < 3 || face.indices == nullptr) continue;
        // A fan around the face's first corner: (0, j + 1, j + 2).
        for (int32_t j = 0; j + 2 < face.indexCount; ++j) {
            if (capacity - written < 3) return written;
            put(face.indices[0]);
            put(face.indices[j + 1]);
            put(face.indices[j + 2]);
        }
    }
    return written;
}

void getSceneTextureName(TVokFrame* root, char name[TEXTURE_NAME_BUFFER]) {
    if (name == nullptr) return;
    name[0] = '\0';
    TVokPolygonMesh* mesh = firstPolygonMesh(root);
    if (mesh == nullptr) return;
    const char* textureName = mesh->TextureName();
    if (textureName == nullptr) return;
    std::strncpy(name, textureName, TEXTURE_NAME_BUFFER - 1);
    name[TEXTURE_NAME_BUFFER - 1] = '\0';
}

void convertScene(RenderObject* object, const char* fileName, IDirectDrawSurface7** slot) {
    if (object == nullptr || fileName == nullptr) return;
    TVokFrame* root = ReadScene(fileName);
    if (root == nullptr) return;

    // A count beyond MAX_OBJECT_VERTICES is refused (and reported) by initRenderObject: no vertices.
    freeRenderObject(object);
    initRenderObject(object, IDENTITY_MATRIX, object->texture, countSceneVertices(root));
    object->vertexCount = fillSceneVertices(root, object->vertices, object->vertexCount);

    char textureName[TEXTURE_NAME_BUFFER];
    getSceneTextureName(root, textureName);
    if (slot != nullptr && *slot == nullptr) {
        clearTextureSlot(slot);
        // A mesh without a texture name stays untextured, without a message.
        if (textureName[0] != '\0') loadTexture(directDraw, d3dDevice, slot, textureName, hardwareDevice);
        if (*slot != nullptr) restoreTexture(slot);
    }
    object->texture = slot;

    root->Release();
}
