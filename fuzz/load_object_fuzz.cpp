// load_object_fuzz.cpp -- fuzz target of the stored-object reader: several objects from one stream,
// each checked, stored again and reloaded
#include <cstdint>
#include <cstring>

#include "framework/memstream.h"
#include "framework/persist.h"
#include "framework/tree.h"
#include "fuzz_check.h"
#include "scene/mesh.h"
#include "scene/scene_classes.h"

namespace {

const char* Text(const char* s) {
    return s ? s : "";
}

// The promises of a tree read back: child lists closed by their sentinel, linked both ways,
// every child's parent the node holding it; mesh indices below their vertex count.
void CheckObject(TVokLSObj* object, size_t size, int depth) {
    FUZZ_CHECK(depth <= VOK_MAX_LOAD_DEPTH, "objects nest no deeper than the reader's limit");
    if (auto* mesh = dynamic_cast<TVokPolygonMesh*>(object)) {
        if (TVokPolygonData* g = mesh->geometry) {
            FUZZ_CHECK(g->vertexCount >= 0 && g->vertexCount <= g->vertexCapacity,
                       "vertexCount within the array");
            FUZZ_CHECK(g->faceCount >= 0 && g->faceCount <= g->faceCapacity, "faceCount within the array");
            FUZZ_CHECK(static_cast<size_t>(g->vertexCapacity) <= size &&
                           static_cast<size_t>(g->faceCapacity) <= size,
                       "stored counts are limited to what the stream holds");
            for (int32_t f = 0; f < g->faceCount; ++f) {
                const TVokFace& face = g->faces[f];
                FUZZ_CHECK(face.indexCount >= 0 && (face.indexCount == 0 || face.indices),
                           "a face's index array");
                for (int32_t j = 0; j < face.indexCount; ++j)
                    FUZZ_CHECK(face.indices[j] < g->vertexCount, "stored indices are below the vertex count");
            }
        }
    }
    auto* tree = dynamic_cast<TVokVTree*>(object);
    if (!tree || !tree->childList) return;
    TVokVTree* sentinel = tree->childList;
    FUZZ_CHECK(!sentinel->childList && !sentinel->parent, "a sentinel has no list and no parent");
    int32_t count = 0;
    for (TVokVTree* c = sentinel->next; c != sentinel; c = c->next) {
        FUZZ_CHECK(c->childList != nullptr, "only nodes with a child list are children");
        FUZZ_CHECK(c->parent == tree && c->next->prev == c, "children linked both ways to their parent");
        FUZZ_CHECK(++count <= static_cast<int32_t>(size), "no more children than bytes");
        CheckObject(c, size, depth + 1);
    }
    FUZZ_CHECK(tree->ChildCount() == count, "ChildCount counts the list");
}

// Same classes, shape, names, mesh counts, faces and texture names (null reads back as "").
bool Same(TVokLSObj* a, TVokLSObj* b) {
    if (!a || !b || a->classInfo != b->classInfo) return false;
    auto* sa = dynamic_cast<TVokStringTree*>(a);
    auto* sb = dynamic_cast<TVokStringTree*>(b);
    if (sa && std::strcmp(Text(sa->name), Text(sb->name)) != 0) return false;
    auto* ma = dynamic_cast<TVokPolygonMesh*>(a);
    auto* mb = dynamic_cast<TVokPolygonMesh*>(b);
    if (ma) {
        if (std::strcmp(Text(ma->TextureName()), Text(mb->TextureName())) != 0) return false;
        int32_t va = ma->geometry ? ma->geometry->vertexCount : 0,
                vb = mb->geometry ? mb->geometry->vertexCount : 0;
        int32_t fa = ma->geometry ? ma->geometry->faceCount : 0,
                fb = mb->geometry ? mb->geometry->faceCount : 0;
        if (va != vb || fa != fb) return false;
        for (int32_t f = 0; f < fa; ++f) {
            const TVokFace &x = ma->geometry->faces[f], &y = mb->geometry->faces[f];
            if (x.indexCount != y.indexCount) return false;
            if (x.indexCount > 0 && std::memcmp(x.indices, y.indices, sizeof(uint16_t) * x.indexCount) != 0)
                return false;
        }
    }
    auto* ta = dynamic_cast<TVokVTree*>(a);
    auto* tb = dynamic_cast<TVokVTree*>(b);
    if (!ta) return true;
    if (!ta->childList != !tb->childList) return false;
    TVokVTree *x = ta->FirstChild(), *y = tb->FirstChild();
    for (; x && y; x = x->NextSibling(), y = y->NextSibling())
        if (!Same(x, y)) return false;
    return !x && !y;
}

// Stores the object and reads it back: the whole store is read, and nothing else.
TVokLSObj* StoreAndReload(TVokLSObj* object, TVokBufferStream& stored) {
    FUZZ_CHECK(SaveObject(&stored, object), "what the reader read, the writer stores");
    FUZZ_CHECK(vokStoreDepth == 0, "the writer's nesting returns to 0");
    stored.Seek(0);
    TVokLSObj* again = LoadObject(&stored);
    FUZZ_CHECK(again != nullptr && stored.Tell() == stored.Size(), "a stored object reloads whole");
    return again;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    VokRegisterSceneClasses();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TVokBufferStream in(data, static_cast<int32_t>(size));
    for (int k = 0; k < 8; ++k) {
        int32_t before = in.Tell();
        TVokLSObj* object = LoadObject(&in);
        if (!object) break;
        FUZZ_CHECK(in.Tell() > before && in.Tell() <= in.Size(), "each object read moves the stream forward");
        CheckObject(object, size, 1);

        // Stored and reloaded, twice: the first store settles what a reload cannot tell apart
        // (a null name or texture reads back empty, a float as its "%f" text); from then on
        // the stored bytes are the same each time.
        TVokBufferStream first, second, third;
        TVokLSObj* copy = StoreAndReload(object, first);
        FUZZ_CHECK(Same(object, copy), "the reload has the same classes, shape, names and faces");
        TVokLSObj* copy2 = StoreAndReload(copy, second);
        FUZZ_CHECK(Same(copy, copy2), "the second reload is the same");
        FUZZ_CHECK(SaveObject(&third, copy2) && third.length == second.length &&
                       std::memcmp(third.data, second.data, static_cast<size_t>(second.length)) == 0,
                   "a reloaded object stores the same bytes again");
        FUZZ_CHECK(copy2->Release() == 0 && copy->Release() == 0 && object->Release() == 0,
                   "a loaded object comes with its only reference");
    }
    return 0;
}
