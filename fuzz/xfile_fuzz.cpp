// xfile_fuzz.cpp -- fuzz target of the scene reader: the tree it builds, the world matrices, the
// device-free part of the scene conversion and the stored form of the frames
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/memstream.h"
#include "framework/persist.h"
#include "fuzz_check.h"
#include "render/texture.h"
#include "scene/frame.h"
#include "scene/mesh.h"
#include "scene/scene_classes.h"
#include "xfile/reader.h"

namespace {

struct Visit {
    TVokFrame* frame;
    int depth; // the root is 1
};

// The frames of the tree in pre-order, found through the child lists (not the walks).
std::vector<Visit> Frames(TVokFrame* root) {
    std::vector<Visit> frames;
    std::vector<Visit> pending{{root, 1}};
    while (!pending.empty()) {
        Visit v = pending.back();
        pending.pop_back();
        frames.push_back(v);
        std::vector<Visit> children;
        for (TVokVTree* c = v.frame->FirstChild(); c; c = c->NextSibling()) {
            FUZZ_CHECK(c->parent == v.frame, "every child's parent is the frame that holds it");
            TVokFrame* child = dynamic_cast<TVokFrame*>(c);
            FUZZ_CHECK(child != nullptr, "the reader's frames have frames as children");
            children.push_back({child, v.depth + 1});
        }
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return frames;
}

// The reader's promises on one mesh read from `size` bytes.
void CheckMesh(TVokPolygonMesh* mesh, size_t size) {
    FUZZ_CHECK(mesh->refCount == 1, "the frame holds the only reference to its mesh");
    TVokPolygonData* g = mesh->geometry;
    FUZZ_CHECK(g != nullptr, "a mesh read from the file has geometry");
    FUZZ_CHECK(g->vertexCount >= 0 && g->vertexCount <= g->vertexCapacity, "vertexCount within the array");
    FUZZ_CHECK(g->faceCount >= 0 && g->faceCount <= g->faceCapacity, "faceCount within the array");
    FUZZ_CHECK(static_cast<size_t>(g->vertexCapacity) <= size && static_cast<size_t>(g->faceCapacity) <= size,
               "counts are limited to what the input can hold");
    size_t corners = 0;
    for (int32_t f = 0; f < g->faceCount; ++f) {
        const TVokFace& face = g->faces[f];
        FUZZ_CHECK(face.indexCount >= 0, "a face has no negative corner count");
        FUZZ_CHECK(face.indexCount == 0 || face.indices != nullptr, "a face's corners have an index array");
        for (int32_t j = 0; j < face.indexCount; ++j)
            FUZZ_CHECK(face.indices[j] < g->vertexCount, "every face index is below the vertex count");
        corners += static_cast<size_t>(face.indexCount);
    }
    FUZZ_CHECK(corners <= size, "face corners are limited to what the input can hold");
    bool anyNan = false;
    for (int32_t i = 0; i < g->vertexCount; ++i) {
        const TVokVertex& v = g->vertices[i];
        anyNan = anyNan || std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z);
    }
    if (!anyNan) {
        for (int32_t i = 0; i < g->vertexCount; ++i) {
            const float p[3] = {g->vertices[i].x, g->vertices[i].y, g->vertices[i].z};
            for (int a = 0; a < 3; ++a)
                FUZZ_CHECK(mesh->bounds.min[a] <= p[a] && p[a] <= mesh->bounds.max[a],
                           "the bounds hold every vertex");
        }
    }
}

bool SameValue(float a, float b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool Finite(const Matrix4& m) {
    for (float v : m.m)
        if (!std::isfinite(v)) return false;
    return true;
}

int visits = 0;
int32_t CountVisit(TVokVTree*, int32_t) {
    ++visits;
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TVokFrame* root = ReadSceneFromMemory(data, static_cast<int32_t>(size));
    if (root == nullptr) return 0;
    FUZZ_CHECK(size > 0, "an empty document gives no scene");
    FUZZ_CHECK(root->refCount == 1 && root->parent == nullptr, "the root comes with one reference, unlinked");

    // The tree and its meshes.
    std::vector<Visit> frames = Frames(root);
    size_t attachments = 0;
    for (const Visit& v : frames) {
        FUZZ_CHECK(v.depth <= VOK_MAX_FRAME_DEPTH, "frames nest no deeper than the reader's limit");
        for (TVokListNode* n = v.frame->attachments.First(); n != v.frame->attachments.End(); n = n->next) {
            TVokPolygonMesh* mesh = dynamic_cast<TVokPolygonMesh*>(static_cast<TVokLSObj*>(n->data));
            FUZZ_CHECK(mesh != nullptr, "a frame's attachments are polygon meshes");
            CheckMesh(mesh, size);
            ++attachments;
        }
    }

    // The walks visit every frame once.
    for (auto walk :
         {&TVokVTree::VisitPreOrder, &TVokVTree::VisitPostOrder, &TVokVTree::VisitAfterSiblings}) {
        visits = 0;
        (root->*walk)(&CountVisit, 0);
        FUZZ_CHECK(visits == static_cast<int>(frames.size()), "a walk from the root visits every frame once");
    }

    // World matrices: CollectWorld gives each frame what GetWorldMatrix computes (the root's
    // own matrix times the identity, so compared only when that product is the matrix itself),
    // and its pairs are the attachments in pre-order.
    TVokList pairs;
    root->CollectWorld(&pairs, IDENTITY_MATRIX);
    FUZZ_CHECK(pairs.Count() == static_cast<int32_t>(2 * attachments), "one pair per attachment");
    TVokListNode* pair = pairs.First();
    bool comparable = Finite(root->localMatrix);
    for (const Visit& v : frames) {
        if (comparable) {
            Matrix4 world;
            v.frame->GetWorldMatrix(&world);
            for (int k = 0; k < 16; ++k)
                FUZZ_CHECK(SameValue(world.m[k], v.frame->worldMatrix.m[k]),
                           "CollectWorld and GetWorldMatrix agree");
        }
        for (TVokListNode* n = v.frame->attachments.First(); n != v.frame->attachments.End(); n = n->next) {
            FUZZ_CHECK(pair->data == v.frame && pair->next->data == n->data, "pairs in pre-order");
            pair = pair->next->next;
        }
    }
    pairs.Clear();

    // The device-free conversion: a triangle list of exactly the counted vertices.
    int count = countSceneVertices(root);
    FUZZ_CHECK(count >= 0 && count % 3 == 0, "whole triangles are counted");
    if (count > 0 && count <= MAX_OBJECT_VERTICES) {
        std::vector<Vertex> triangles(static_cast<size_t>(count));
        FUZZ_CHECK(fillSceneVertices(root, triangles.data(), count) == count,
                   "the counted vertices are filled");
        FUZZ_CHECK(fillSceneVertices(root, triangles.data(), count - 1) <= count - 3,
                   "filling stops at the capacity, at whole triangles");
    }
    char texture[TEXTURE_NAME_BUFFER];
    std::memset(texture, 'x', sizeof texture);
    getSceneTextureName(root, texture);
    FUZZ_CHECK(std::memchr(texture, 0, sizeof texture) != nullptr, "the texture name ends inside its buffer");

    // The stored form: every frame tree the reader builds stores, except one nested deeper than
    // a reload reads; the reload has the same frames and names.
    TVokBufferStream stored;
    if (SaveObject(&stored, root)) {
        stored.Seek(0);
        TVokLSObj* loaded = LoadObject(&stored);
        FUZZ_CHECK(loaded != nullptr && stored.Tell() == stored.Size(), "a stored scene reloads whole");
        std::vector<Visit> again = Frames(dynamic_cast<TVokFrame*>(loaded));
        FUZZ_CHECK(again.size() == frames.size(), "the reload has as many frames");
        for (size_t i = 0; i < frames.size(); ++i) {
            const char* a = frames[i].frame->name ? frames[i].frame->name : "";
            const char* b = again[i].frame->name ? again[i].frame->name : "";
            FUZZ_CHECK(std::strcmp(a, b) == 0 && frames[i].depth == again[i].depth, "same names and shape");
        }
        loaded->Release();
    } else {
        int deepest = 0;
        for (const Visit& v : frames)
            deepest = v.depth > deepest ? v.depth : deepest;
        FUZZ_CHECK(deepest >= VOK_MAX_LOAD_DEPTH, "only a tree too deep to reload is refused");
    }

    FUZZ_CHECK(root->Release() == 0, "the root's reference is the last one");
    return 0;
}
