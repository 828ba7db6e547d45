// render_object.h -- render objects (world matrix, texture slot, triangle-list vertices), their table and the
// sphere mesh
#pragma once

#include "math/vector_math.h"

struct IDirectDrawSurface7;

// One vertex of the device format D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1.
struct Vertex {
    float x, y, z;    // position, object space
    float nx, ny, nz; // normal
    float tu, tv;     // texture coordinates
};
static_assert(sizeof(Vertex) == 32, "Vertex matches the 32-byte device vertex format");

constexpr unsigned VERTEX_FORMAT = 0x112; // D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1

struct RenderObject {
    Matrix4 world; // world transform; for a body, its pose (rows 0-2 orientation, row 3 centre)
    IDirectDrawSurface7** texture; // texture slot read at draw time, or null for untextured
    int vertexCount;               // number of vertices, a multiple of 3
    Vertex* vertices;              // owned triangle list; triangle t is vertices 3t, 3t+1, 3t+2; null if none
};

constexpr int MAX_RENDER_OBJECTS = 256;
extern RenderObject renderObjects[MAX_RENDER_OBJECTS]; // all drawable things: bodies first, then the cave
extern int renderObjectCount;                          // entries of renderObjects in use; only grows

// Largest vertex count an object may hold; larger requests are refused (no runaway allocation).
constexpr int MAX_OBJECT_VERTICES = 1 << 24;

// Returns the next free entry of renderObjects and counts it as used, or null (with a message naming
// MAX_RENDER_OBJECTS on stderr) when the table is full. The entry is zeroed.
RenderObject* appendRenderObject();

// Frees every object's vertices and empties the table (tests and shutdown).
void resetRenderObjects();

// Sets world, texture and vertexCount and allocates room for vertexCount vertices (contents undefined).
// A count below 1 or above MAX_OBJECT_VERTICES, or a failed allocation, leaves vertices null and
// vertexCount 0; the refused cases are reported on stderr.
void initRenderObject(RenderObject* object, Matrix4 world, IDirectDrawSurface7** texture, int vertexCount);

// Frees the vertex array if there is one and sets it to null. Null object: nothing happens.
void freeRenderObject(RenderObject* object);

// Fills the object with a unit sphere about the origin (z is the polar axis, v = 0 the pole at z = +1)
// made of 6 * slices * (rings - 1) vertices; normals equal positions, texture coordinates (u, v).
void buildSphereMesh(RenderObject* object, Matrix4 world, IDirectDrawSurface7** texture, int slices,
                     int rings);

// Transforms the vertices in place: positions by the full matrix (row 3 translates), normals by the
// upper 3x3 and renormalised when nonzero; texture coordinates unchanged.
void transformVertices(RenderObject* object, const Matrix4& matrix);
