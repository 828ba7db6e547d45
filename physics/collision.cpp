// collision.cpp -- sphere-triangle contact, the world-mesh list and exhaustive contact gathering
#include "physics/collision.h"

#include <cmath>
#include <cstdio>

#include "physics/contact_index.h"

RenderObject* worldMeshes[MAX_WORLD_MESHES];
int worldMeshCount = 0;

int sphereTriangleContact(const Vector3& p, float r, const Vector3& v0, const Vector3& v1, const Vector3& v2,
                          Vector3* contact) {
    const Vector3 v[3] = {v0, v1, v2};

    // Plane: N = (V1 - V0) x (V2 - V0); n = N / |N|. A (near) zero N is a degenerate triangle, and so
    // is one whose N is not a number (a vertex not finite): it must not touch every sphere.
    const Vector3 a = v2 - v0;
    const Vector3 b = v1 - v0;
    const Vector3 normal = cross(b, a);
    const float nn = dot(normal, normal);
    if (!(nn > CONTACT_EPSILON)) return CONTACT_NONE;
    const Vector3 n = normal * (1.0f / std::sqrt(nn));

    // Signed distance of the centre from the plane, h = n.P - n.V0; the plane is two-sided. A NaN h
    // (an infinite normal or vertex, or a centre not finite) is no contact either.
    const float h = dot(n, p) - dot(n, v0);
    if (!(std::fabs(h) <= r)) return CONTACT_NONE;

    // Edges: G = E x n points out of the triangle across edge k; G.(P - Vk) >= 0 puts the centre's
    // projection outside or on that edge. All three edges are measured, even once outside.
    bool inside = true;
    float length[3];
    Vector3 unit[3];
    for (int k = 0; k < 3; ++k) {
        const Vector3 e = v[(k + 1) % 3] - v[k];
        const Vector3 g = cross(e, n);
        if (dot(g, p - v[k]) >= 0.0f) inside = false;
        const float ee = dot(e, e);
        if (ee <= CONTACT_EPSILON) return CONTACT_NONE;
        length[k] = std::sqrt(ee);
        unit[k] = e * (1.0f / length[k]);
    }

    // Face: the foot of the perpendicular, P - h n.
    if (inside) {
        *contact = p - n * h;
        return CONTACT_FACE;
    }

    // Edges in order: s = (P - Vk).U is the projection's position along the edge; within 0..L and
    // with the offset w = (P - s U) - Vk no longer than r, the closest edge point Vk + s U touches.
    for (int k = 0; k < 3; ++k) {
        const float s = dot(p - v[k], unit[k]);
        if (s >= 0.0f && s <= length[k]) {
            const Vector3 w = (p - unit[k] * s) - v[k];
            if (r * r >= dot(w, w)) {
                *contact = v[k] + unit[k] * s;
                return CONTACT_EDGE;
            }
        }
    }

    // Vertices in order: the first within r.
    for (int k = 0; k < 3; ++k) {
        const Vector3 d = p - v[k];
        if (dot(d, d) <= r * r) {
            *contact = v[k];
            return CONTACT_VERTEX;
        }
    }
    return CONTACT_NONE;
}

int worldTriangleCount(const RenderObject* mesh) {
    if (mesh == nullptr || mesh->vertices == nullptr || mesh->vertexCount < 3) return 0;
    return mesh->vertexCount / 3;
}

int meshTriangleContact(const RenderObject* mesh, int t, const Vector3& p, float r, Vector3* contact) {
    const Vertex* tv = mesh->vertices + 3 * t;
    const Vector3 v0(tv[0].x, tv[0].y, tv[0].z);
    const Vector3 v1(tv[1].x, tv[1].y, tv[1].z);
    const Vector3 v2(tv[2].x, tv[2].y, tv[2].z);
    return sphereTriangleContact(p, r, v0, v1, v2, contact);
}

int gatherMeshContacts(const RenderObject* mesh, const Vector3& p, float r,
                       Vector3 contacts[MAX_WORLD_CONTACTS]) {
    const int triangles = worldTriangleCount(mesh);
    int count = 0;
    for (int t = 0; t < triangles; ++t) {
        if (meshTriangleContact(mesh, t, p, r, &contacts[count]) != CONTACT_NONE) {
            if (++count == MAX_WORLD_CONTACTS) break;
        }
    }
    return count;
}

int gatherWorldContacts(const Vector3& p, float r, Vector3 contacts[MAX_WORLD_CONTACTS]) {
    if (worldMeshCount < 1) return 0;
    return gatherMeshContacts(worldMeshes[0], p, r, contacts);
}

int registerWorldMesh(RenderObject* mesh) {
    if (mesh == nullptr) {
        std::fprintf(stderr, "registerWorldMesh: no mesh given\n");
        return -1;
    }
    if (worldMeshCount < 0 || worldMeshCount >= MAX_WORLD_MESHES) {
        std::fprintf(stderr, "registerWorldMesh: MAX_WORLD_MESHES (%d) reached, mesh refused\n",
                     MAX_WORLD_MESHES);
        return -1;
    }
    worldMeshes[worldMeshCount] = mesh;
    // The collision world is entry 0: index its triangles once, now that its vertices are final.
    if (worldMeshCount == 0) buildWorldContactIndex(mesh);
    return worldMeshCount++;
}

void resetWorldMeshes() {
    for (int i = 0; i < MAX_WORLD_MESHES; ++i)
        worldMeshes[i] = nullptr;
    worldMeshCount = 0;
    freeWorldContactIndex();
}
