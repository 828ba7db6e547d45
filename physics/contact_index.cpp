// contact_index.cpp -- building and querying the world mesh's bounding-volume hierarchy
#include "physics/contact_index.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "math/float_bits.h"

WorldContactIndex worldContactIndex;

namespace {

// The last mesh a build was attempted for, so that a failed build is not retried every step.
const RenderObject* attemptedMesh = nullptr;
const Vertex* attemptedVertices = nullptr;
int attemptedCount = 0;

bool inRange(float value) {
    return std::isfinite(value) && std::fabs(value) <= CONTACT_INDEX_RANGE;
}

Vector3 vertexPosition(const Vertex& v) {
    return Vector3(v.x, v.y, v.z);
}

float coordinate(const Vertex& v, int axis) {
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}

enum TriangleClass { NEVER_TOUCHES, INDEXED, ALWAYS_TESTED };

// Sorts triangle t into one of three classes and, for an indexed one, finds the bounds of the region
// where sphereTriangleContact can place a centre within r of it (r itself is added by the query).
//
// The face test accepts P = X' + h n with |h| <= r and X' in the triangle projected along the
// computed normal n onto the plane through V0. Each projected vertex lies |n.(Vk - V0)| from its
// vertex, so with slack = max_k |n.(Vk - V0)| the accepted centres lie within r + slack of the
// triangle's box. For a well-shaped triangle slack is rounding-sized; for a sliver whose computed
// normal is inaccurate it is what keeps the bounds conservative. Edge and vertex contacts lie within
// r of points on the triangle. The query adds a relative margin for rounding on top.
TriangleClass classifyTriangle(const Vertex* tv, float lo[3], float hi[3], float* extent) {
    for (int k = 0; k < 3; ++k) {
        if (!inRange(tv[k].x) || !inRange(tv[k].y) || !inRange(tv[k].z)) return ALWAYS_TESTED;
    }
    const Vector3 v[3] = {vertexPosition(tv[0]), vertexPosition(tv[1]), vertexPosition(tv[2])};
    // The degenerate cases of sphereTriangleContact, evaluated the same way: they never touch.
    const Vector3 normal = cross(v[1] - v[0], v[2] - v[0]);
    const float nn = dot(normal, normal);
    if (nn <= CONTACT_EPSILON) return NEVER_TOUCHES;
    for (int k = 0; k < 3; ++k) {
        const Vector3 e = v[(k + 1) % 3] - v[k];
        if (dot(e, e) <= CONTACT_EPSILON) return NEVER_TOUCHES;
    }
    const Vector3 n = normal * (1.0f / std::sqrt(nn));
    double slack = 0.0;
    for (int k = 1; k < 3; ++k) {
        const double off = static_cast<double>(n.x) * (static_cast<double>(v[k].x) - v[0].x) +
                           static_cast<double>(n.y) * (static_cast<double>(v[k].y) - v[0].y) +
                           static_cast<double>(n.z) * (static_cast<double>(v[k].z) - v[0].z);
        slack = std::max(slack, std::fabs(off));
    }
    for (int a = 0; a < 3; ++a) {
        const float c0 = coordinate(tv[0], a), c1 = coordinate(tv[1], a), c2 = coordinate(tv[2], a);
        const double mn = std::min(c0, std::min(c1, c2)) - slack;
        const double mx = std::max(c0, std::max(c1, c2)) + slack;
        lo[a] = cave::nextDown(static_cast<float>(mn));
        hi[a] = cave::nextUp(static_cast<float>(mx));
        *extent = std::max(*extent, std::max(std::fabs(c0), std::max(std::fabs(c1), std::fabs(c2))));
    }
    return INDEXED;
}

// Builds the subtree over order[first .. first + count) and returns its node number. Splits at the
// median centroid along the widest axis of the centroids, so the depth stays near log2(count).
struct Builder {
    WorldContactIndex& index;
    const float* triangleBounds; // 6 floats per triangle number
    float centroid(int t, int axis) const {
        return 0.5f * (triangleBounds[6 * t + axis] + triangleBounds[6 * t + 3 + axis]);
    }

    int build(int first, int count) {
        const int id = index.nodeCount++;
        ContactIndexNode& node = index.nodes[id];
        float cmin[3], cmax[3];
        for (int a = 0; a < 3; ++a) {
            node.lo[a] = std::numeric_limits<float>::infinity();
            node.hi[a] = -std::numeric_limits<float>::infinity();
            cmin[a] = node.lo[a];
            cmax[a] = node.hi[a];
        }
        for (int e = first; e < first + count; ++e) {
            const int t = index.order[e];
            for (int a = 0; a < 3; ++a) {
                node.lo[a] = std::min(node.lo[a], triangleBounds[6 * t + a]);
                node.hi[a] = std::max(node.hi[a], triangleBounds[6 * t + 3 + a]);
                cmin[a] = std::min(cmin[a], centroid(t, a));
                cmax[a] = std::max(cmax[a], centroid(t, a));
            }
        }
        if (count <= CONTACT_INDEX_LEAF_SIZE) {
            node.first = first;
            node.count = count;
            node.skip = id + 1;
            return id;
        }
        int axis = 0;
        for (int a = 1; a < 3; ++a) {
            if (cmax[a] - cmin[a] > cmax[axis] - cmin[axis]) axis = a;
        }
        const int half = count / 2;
        std::nth_element(index.order + first, index.order + first + half, index.order + first + count,
                         [this, axis](int p, int q) { return centroid(p, axis) < centroid(q, axis); });
        index.nodes[id].first = 0;
        index.nodes[id].count = 0;
        build(first, half);
        build(first + half, count - half);
        index.nodes[id].skip = index.nodeCount;
        return id;
    }
};

bool boxesOverlap(const float* lo, const float* hi, const float* qlo, const float* qhi) {
    return lo[0] <= qhi[0] && hi[0] >= qlo[0] && lo[1] <= qhi[1] && hi[1] >= qlo[1] && lo[2] <= qhi[2] &&
           hi[2] >= qlo[2];
}

} // namespace

void freeWorldContactIndex() {
    std::free(worldContactIndex.nodes);
    std::free(worldContactIndex.order);
    std::free(worldContactIndex.bounds);
    std::free(worldContactIndex.always);
    std::free(worldContactIndex.candidates);
    std::memset(static_cast<void*>(&worldContactIndex), 0, sizeof(worldContactIndex));
    attemptedMesh = nullptr;
    attemptedVertices = nullptr;
    attemptedCount = 0;
}

bool buildWorldContactIndex(const RenderObject* mesh) {
    freeWorldContactIndex();
    attemptedMesh = mesh;
    attemptedVertices = mesh != nullptr ? mesh->vertices : nullptr;
    attemptedCount = mesh != nullptr ? mesh->vertexCount : 0;
    if (mesh == nullptr) return false;
    WorldContactIndex& index = worldContactIndex;
    const int triangles = worldTriangleCount(mesh);
    const size_t n = static_cast<size_t>(triangles);
    // Everything is linear in the number of triangles: at most 2n - 1 nodes, one order entry,
    // six bounds, one candidate slot per triangle, plus six bounds per triangle while building.
    float* triangleBounds = static_cast<float*>(std::malloc(6 * n * sizeof(float) + 1));
    index.nodes = static_cast<ContactIndexNode*>(std::malloc((2 * n + 1) * sizeof(ContactIndexNode)));
    index.order = static_cast<int*>(std::malloc(n * sizeof(int) + 1));
    index.bounds = static_cast<float*>(std::malloc(6 * n * sizeof(float) + 1));
    index.always = static_cast<int*>(std::malloc(n * sizeof(int) + 1));
    index.candidates = static_cast<int*>(std::malloc(n * sizeof(int) + 1));
    if (triangleBounds == nullptr || index.nodes == nullptr || index.order == nullptr ||
        index.bounds == nullptr || index.always == nullptr || index.candidates == nullptr) {
        std::fprintf(stderr, "buildWorldContactIndex: cannot allocate the index for %d triangles\n",
                     triangles);
        std::free(triangleBounds);
        freeWorldContactIndex();
        attemptedMesh = mesh;
        attemptedVertices = mesh->vertices;
        attemptedCount = mesh->vertexCount;
        return false;
    }
    index.triangleCount = triangles;
    for (int t = 0; t < triangles; ++t) {
        switch (classifyTriangle(mesh->vertices + 3 * t, triangleBounds + 6 * t, triangleBounds + 6 * t + 3,
                                 &index.extent)) {
        case INDEXED:
            index.order[index.indexedCount++] = t;
            break;
        case ALWAYS_TESTED:
            index.always[index.alwaysCount++] = t;
            break;
        case NEVER_TOUCHES:
            break;
        }
    }
    if (index.indexedCount > 0) {
        Builder builder{index, triangleBounds};
        builder.build(0, index.indexedCount);
    }
    for (int e = 0; e < index.indexedCount; ++e) {
        std::memcpy(index.bounds + 6 * e, triangleBounds + 6 * index.order[e], 6 * sizeof(float));
    }
    std::free(triangleBounds);
    index.mesh = mesh;
    index.vertices = mesh->vertices;
    index.vertexCount = mesh->vertexCount;
    return true;
}

bool worldContactIndexMatches(const RenderObject* mesh) {
    return mesh != nullptr && worldContactIndex.mesh == mesh &&
           worldContactIndex.vertices == mesh->vertices && worldContactIndex.vertexCount == mesh->vertexCount;
}

void ensureWorldContactIndex(const RenderObject* mesh) {
    if (mesh == nullptr || worldContactIndexMatches(mesh)) return;
    if (attemptedMesh == mesh && attemptedVertices == mesh->vertices && attemptedCount == mesh->vertexCount)
        return;
    buildWorldContactIndex(mesh);
}

int gatherMeshContactsIndexed(const RenderObject* mesh, const Vector3& p, float r,
                              Vector3 contacts[MAX_WORLD_CONTACTS]) {
    if (!worldContactIndexMatches(mesh) || !inRange(p.x) || !inRange(p.y) || !inRange(p.z) ||
        !(r >= 0.0f && r <= CONTACT_INDEX_RANGE)) {
        return gatherMeshContacts(mesh, p, r, contacts);
    }
    const WorldContactIndex& index = worldContactIndex;
    // Reach: r plus a margin for rounding. The contact test's decisions (|h| <= r, the edge sides,
    // w.w <= r.r, d.d <= r.r) are off by at most a few float ulps of the magnitudes involved, that is
    // below 1e-6 of (|P| + extent); the margin is ten times that.
    const float size =
        1.0f + r + std::max(std::fabs(p.x), std::max(std::fabs(p.y), std::fabs(p.z))) + index.extent;
    const float reach = r + CONTACT_INDEX_MARGIN * size;
    const float qlo[3] = {p.x - reach, p.y - reach, p.z - reach};
    const float qhi[3] = {p.x + reach, p.y + reach, p.z + reach};

    int found = 0;
    int node = 0;
    while (node < index.nodeCount) {
        const ContactIndexNode& nd = index.nodes[node];
        if (!boxesOverlap(nd.lo, nd.hi, qlo, qhi)) {
            node = nd.skip;
            continue;
        }
        if (nd.count > 0) {
            for (int e = nd.first; e < nd.first + nd.count; ++e) {
                const float* b = index.bounds + 6 * e;
                if (boxesOverlap(b, b + 3, qlo, qhi)) index.candidates[found++] = index.order[e];
            }
            node = nd.skip;
        } else {
            ++node;
        }
    }
    for (int k = 0; k < index.alwaysCount; ++k)
        index.candidates[found++] = index.always[k];
    std::sort(index.candidates, index.candidates + found);

    // The exhaustive search's loop, over the candidates only.
    int count = 0;
    for (int k = 0; k < found; ++k) {
        if (meshTriangleContact(mesh, index.candidates[k], p, r, &contacts[count]) != CONTACT_NONE) {
            if (++count == MAX_WORLD_CONTACTS) break;
        }
    }
    return count;
}
