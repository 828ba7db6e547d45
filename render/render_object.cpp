// render_object.cpp -- the render-object table, vertex arrays, the sphere mesh and the in-place vertex
// transform
#include "render/render_object.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "math/trig.h"

RenderObject renderObjects[MAX_RENDER_OBJECTS];
int renderObjectCount = 0;

RenderObject* appendRenderObject() {
    if (renderObjectCount < 0 || renderObjectCount >= MAX_RENDER_OBJECTS) {
        std::fprintf(stderr, "appendRenderObject: MAX_RENDER_OBJECTS (%d) reached, object refused\n",
                     MAX_RENDER_OBJECTS);
        return nullptr;
    }
    RenderObject* object = &renderObjects[renderObjectCount++];
    std::memset(static_cast<void*>(object), 0, sizeof(*object));
    return object;
}

void resetRenderObjects() {
    for (int i = 0; i < MAX_RENDER_OBJECTS; ++i) {
        freeRenderObject(&renderObjects[i]);
        std::memset(static_cast<void*>(&renderObjects[i]), 0, sizeof(RenderObject));
    }
    renderObjectCount = 0;
}

void initRenderObject(RenderObject* object, Matrix4 world, IDirectDrawSurface7** texture, int vertexCount) {
    if (object == nullptr) return;
    object->world = world;
    object->texture = texture;
    object->vertexCount = 0;
    object->vertices = nullptr;
    if (vertexCount == 0) return;
    if (vertexCount < 0 || vertexCount > MAX_OBJECT_VERTICES) {
        std::fprintf(stderr,
                     "initRenderObject: vertex count %d outside 0..MAX_OBJECT_VERTICES (%d), no vertices\n",
                     vertexCount, MAX_OBJECT_VERTICES);
        return;
    }
    // A failed allocation leaves an empty object rather than a count without an array.
    object->vertices = static_cast<Vertex*>(std::malloc(static_cast<size_t>(vertexCount) * sizeof(Vertex)));
    if (object->vertices == nullptr) {
        std::fprintf(stderr, "initRenderObject: cannot allocate %d vertices\n", vertexCount);
        return;
    }
    object->vertexCount = vertexCount;
}

void freeRenderObject(RenderObject* object) {
    if (object == nullptr) return;
    if (object->vertices != nullptr) {
        std::free(object->vertices);
        object->vertices = nullptr;
    }
}

namespace {

// Point of the unit sphere at texture coordinates (u, v): theta = v * pi from the +z pole,
// phi = u * 2 pi around z; the normal equals the position.
Vertex spherePoint(float u, float v) {
    const float pi = 3.14159265358979323846f;
    const float theta = v * pi;
    const float phi = u * 2.0f * pi;
    Vertex out;
    out.x = cave::cosf(phi) * cave::sinf(theta);
    out.y = cave::sinf(phi) * cave::sinf(theta);
    out.z = cave::cosf(theta);
    out.nx = out.x;
    out.ny = out.y;
    out.nz = out.z;
    out.tu = u;
    out.tv = v;
    return out;
}

} // namespace

void buildSphereMesh(RenderObject* object, Matrix4 world, IDirectDrawSurface7** texture, int slices,
                     int rings) {
    if (object == nullptr) return;
    // 6 vertices per slice and band; slices < 1 or rings < 2 give an empty mesh. Each factor is capped
    // first, so that the product cannot overflow.
    long long count = 0;
    if (slices >= 1 && rings >= 2) {
        const long long limit = MAX_OBJECT_VERTICES + 1LL;
        count = 6LL * (slices < limit ? slices : limit) * (rings - 1 < limit ? rings - 1 : limit);
    }
    if (count > MAX_OBJECT_VERTICES) {
        std::fprintf(stderr, "buildSphereMesh: %d slices and %d rings exceed MAX_OBJECT_VERTICES (%d)\n",
                     slices, rings, MAX_OBJECT_VERTICES);
        count = 0;
    }
    initRenderObject(object, world, texture, static_cast<int>(count));
    if (object->vertices == nullptr) return;
    const float du = 1.0f / static_cast<float>(slices);
    const float dv = 1.0f / static_cast<float>(rings - 1);
    for (int i = 0; i < rings - 1; ++i) {
        for (int k = 0; k < slices; ++k) {
            const float ua = static_cast<float>(k) * du, ub = static_cast<float>(k + 1) * du;
            const float va = static_cast<float>(i) * dv, vb = static_cast<float>(i + 1) * dv;
            // Two triangles per quad, wound to survive counter-clockwise culling seen from outside.
            Vertex* out = object->vertices + (static_cast<long long>(i) * slices + k) * 6;
            out[0] = spherePoint(ua, va);
            out[1] = spherePoint(ua, vb);
            out[2] = spherePoint(ub, vb);
            out[3] = spherePoint(ua, va);
            out[4] = spherePoint(ub, vb);
            out[5] = spherePoint(ub, va);
        }
    }
}

void transformVertices(RenderObject* object, const Matrix4& matrix) {
    if (object == nullptr || object->vertices == nullptr) return;
    const float* m = matrix.m;
    for (int i = 0; i < object->vertexCount; ++i) {
        Vertex& v = object->vertices[i];
        // Position: the row (x, y, z, 1) times the matrix; column 3 ignored, no division.
        const float x = v.x, y = v.y, z = v.z;
        v.x = x * m[0] + y * m[4] + z * m[8] + m[12];
        v.y = x * m[1] + y * m[5] + z * m[9] + m[13];
        v.z = x * m[2] + y * m[6] + z * m[10] + m[14];
        // Normal: the row (nx, ny, nz) times the upper 3x3, renormalised unless it became zero.
        float nx = v.nx * m[0] + v.ny * m[4] + v.nz * m[8];
        float ny = v.nx * m[1] + v.ny * m[5] + v.nz * m[9];
        float nz = v.nx * m[2] + v.ny * m[6] + v.nz * m[10];
        const float nn = nx * nx + ny * ny + nz * nz;
        if (nn > 0.0f) {
            const float inv = 1.0f / std::sqrt(nn);
            nx *= inv;
            ny *= inv;
            nz *= inv;
        }
        v.nx = nx;
        v.ny = ny;
        v.nz = nz;
    }
}
