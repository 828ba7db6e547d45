// collision.h -- sphere-triangle contact and the collision world (the registered world meshes)
#pragma once

#include "math/vector_math.h"
#include "render/render_object.h"

constexpr int MAX_WORLD_MESHES = 2;    // room in worldMeshes; only entry 0 is collided with
constexpr int MAX_WORLD_CONTACTS = 32; // contact points gathered per body per step

extern RenderObject* worldMeshes[MAX_WORLD_MESHES]; // collision meshes; vertices in world coordinates
extern int worldMeshCount;                          // entries of worldMeshes in use

// Result of sphereTriangleContact: which feature of the triangle the contact point lies on.
enum ContactFeature { CONTACT_NONE = 0, CONTACT_FACE = 1, CONTACT_EDGE = 2, CONTACT_VERTEX = 3 };

// Threshold for degenerate triangles and edges (squared lengths at or below it).
constexpr float CONTACT_EPSILON = 1e-7f;

// Tests the sphere (centre p, radius r) against the two-sided triangle v0 v1 v2. Returns the feature
// code and, when it is not CONTACT_NONE, writes the contact point: the foot of the perpendicular when
// the centre's projection is inside, else the closest point of the first edge (in order v0v1, v1v2,
// v2v0) within r whose span holds the projection, else the first vertex within r. Boundaries count.
// Degenerate triangles, and triangles or centres whose arithmetic gives NaN, never touch.
int sphereTriangleContact(const Vector3& p, float r, const Vector3& v0, const Vector3& v1, const Vector3& v2,
                          Vector3* contact);

// Number of whole triangles of a world mesh: vertexCount / 3, or 0 when the mesh or its vertex array
// is missing.
int worldTriangleCount(const RenderObject* mesh);

// sphereTriangleContact on triangle t of a world mesh (vertices 3t, 3t + 1, 3t + 2); t must be below
// worldTriangleCount(mesh).
int meshTriangleContact(const RenderObject* mesh, int t, const Vector3& p, float r, Vector3* contact);

// Gathers the contact points of the sphere with the world (worldMeshes[0]) by testing every triangle
// in increasing index, one point per touching triangle, stopping at MAX_WORLD_CONTACTS. Returns N.
int gatherWorldContacts(const Vector3& p, float r, Vector3 contacts[MAX_WORLD_CONTACTS]);

// Same as gatherWorldContacts for an explicit mesh (null or empty mesh: no contacts).
int gatherMeshContacts(const RenderObject* mesh, const Vector3& p, float r,
                       Vector3 contacts[MAX_WORLD_CONTACTS]);

// Appends mesh to worldMeshes and returns its index, or -1 (message naming MAX_WORLD_MESHES on stderr)
// when the list is full or mesh is null. Entry 0 gets its contact index (contact_index.h) built here,
// so register the mesh after its vertices are final.
int registerWorldMesh(RenderObject* mesh);

// Empties worldMeshes (the meshes themselves are not freed).
void resetWorldMeshes();
