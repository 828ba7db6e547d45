// contact_index.h -- static bounding-volume hierarchy over the world mesh's triangles, for contact gathering
//
// The index yields exactly the contact list of the exhaustive search (gatherWorldContacts): every
// triangle whose conservative bounds come within the sphere's reach is a candidate, candidates are
// tested in increasing triangle number through the unchanged sphereTriangleContact, and gathering
// stops at MAX_WORLD_CONTACTS. It is built once, when the world mesh is registered.
#pragma once

#include "math/vector_math.h"
#include "physics/collision.h"
#include "render/render_object.h"

// One node of the hierarchy, stored depth first: an inner node's first child follows it, and `skip`
// is the node after its whole subtree, so the tree is walked without a stack.
struct ContactIndexNode {
    float lo[3], hi[3]; // bounds of every triangle below, world units
    int first;          // leaf: first entry in order[]; inner node: unused
    int count;          // leaf: number of triangles (1..CONTACT_INDEX_LEAF_SIZE); inner node: 0
    int skip;           // index of the next node once this subtree is done or rejected
};

constexpr int CONTACT_INDEX_LEAF_SIZE = 4; // triangles per leaf at most
// Coordinates beyond this (or not finite) put a triangle, a centre or a radius outside the range
// where the index's rounding margins are proven; such triangles are tested for every body and such
// queries use the exhaustive search.
constexpr float CONTACT_INDEX_RANGE = 1e8f;

// Relative margin added to a sphere's reach for the rounding of the contact test (see the query).
constexpr float CONTACT_INDEX_MARGIN = 1e-5f;

struct WorldContactIndex {
    const RenderObject* mesh; // the mesh the index was built for (null: none)
    const Vertex* vertices;   // its vertex array and count at build time; a change makes the index stale
    int vertexCount;
    int triangleCount;       // whole triangles of the mesh
    ContactIndexNode* nodes; // nodeCount nodes, root first
    int nodeCount;
    int* order;       // triangle numbers in leaf order (indexedCount entries)
    float* bounds;    // per entry of order: lo xyz, hi xyz of the region where it can touch a centre
    int indexedCount; // triangles in the hierarchy (degenerate ones can never touch and are left out)
    int* always;      // triangles tested for every body: non-finite or out-of-range coordinates
    int alwaysCount;
    int* candidates; // scratch for one query, room for triangleCount entries
    float extent;    // largest coordinate magnitude among the indexed triangles
};
extern WorldContactIndex worldContactIndex; // the index of worldMeshes[0]

// Builds the index for mesh (replacing any previous one). Allocates once, linear in the number of
// triangles. Returns false (index left empty, a message on stderr) if memory runs out.
bool buildWorldContactIndex(const RenderObject* mesh);

// Builds the index for mesh unless it already matches, or a build for this very mesh, vertex array
// and count was already attempted (so a failed build is not retried every step).
void ensureWorldContactIndex(const RenderObject* mesh);

// Frees the index.
void freeWorldContactIndex();

// True when the index was built for this mesh with its current vertex array and count.
bool worldContactIndexMatches(const RenderObject* mesh);

// gatherMeshContacts through the index: the same points in the same order. Falls back to the
// exhaustive search when the index does not match the mesh or the query is out of range.
int gatherMeshContactsIndexed(const RenderObject* mesh, const Vector3& p, float r,
                              Vector3 contacts[MAX_WORLD_CONTACTS]);
