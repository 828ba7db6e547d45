// soup_mesh.cpp -- winds, welds, smooths and textures loose triangles for the scene-file writer
#include "tools/cavegen/soup_mesh.h"

#include <cmath>
#include <map>
#include <utility>

namespace cavegen {
namespace {

// As for the shipped cave, only +, -, *, / and sqrt touch the geometry, so that every machine (and the
// WebAssembly build) makes the same file.

using Vec3 = std::array<double, 3>;

Vec3 sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec3 unit(const Vec3& v) {
    double len = std::sqrt(dot(v, v));
    if (len <= 0.0) return {0.0, 0.0, 0.0};
    return {v[0] / len, v[1] / len, v[2] / len};
}

// Whether the face with corners a, b, c (normal n = (b - a) x (c - a)) must be turned over to be seen
// from the side `facing` gives it.
bool facesAway(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& n, const Facing& facing) {
    const Vec3 nUnit = unit(n);
    const double cx = (a[0] + b[0] + c[0]) / 3.0 * kSceneScale;
    const double cz = (a[2] + b[2] + c[2]) / 3.0 * kSceneScale;
    const double dx = facing.axisX - cx, dz = facing.axisZ - cz;
    const bool wall =
        std::fabs(nUnit[1]) < kSteepNormalY && dx * dx + dz * dz > facing.wallRadius * facing.wallRadius;
    if (wall) return n[0] * dx + n[2] * dz < 0.0;
    return n[1] < 0.0;
}

// One vertex being welded: the normal of the face that started it, and the sum of its faces' normals.
struct Weld {
    Vec3 seed;
    Vec3 sum;
};

// Tiled texture coordinates for a vertex at p (scene units) with normal n, projected on the plane of
// the normal's dominant axis and turned so that the stone blocks are upright and not mirrored as seen
// from the face's visible side (ground: +x to the right, +z up the texture).
std::array<double, 2> tiledUv(const Vec3& p, const Vec3& n) {
    const double k = kSceneScale / kTextureTile;
    const double ax = std::fabs(n[0]), ay = std::fabs(n[1]), az = std::fabs(n[2]);
    if (ay >= ax && ay >= az) return {roundToFile(p[0] * k), roundToFile(-p[2] * k)};
    if (ax >= az) return {roundToFile((n[0] > 0.0 ? p[2] : -p[2]) * k), roundToFile(-p[1] * k)};
    return {roundToFile((n[2] > 0.0 ? -p[0] : p[0]) * k), roundToFile(-p[1] * k)};
}

} // namespace

CaveMesh meshFromSoup(const std::vector<SoupTriangle>& triangles, const Facing& facing, double creaseCos) {
    CaveMesh mesh;
    std::vector<Weld> welds;
    std::map<Vec3, std::vector<int>> atPosition; // vertices by rounded position
    for (const SoupTriangle& source : triangles) {
        std::array<Vec3, 3> p;
        for (int k = 0; k < 3; ++k)
            for (int d = 0; d < 3; ++d)
                p[k][d] = roundToFile(source[k][d] / kSceneScale);
        Vec3 n = cross(sub(p[1], p[0]), sub(p[2], p[0]));
        if (facesAway(p[0], p[1], p[2], n, facing)) {
            std::swap(p[1], p[2]);
            n = {-n[0], -n[1], -n[2]};
        }
        const Vec3 nUnit = unit(n);
        std::array<int, 3> tri;
        for (int k = 0; k < 3; ++k) {
            std::vector<int>& candidates = atPosition[p[k]];
            int chosen = -1;
            for (int v : candidates)
                if (dot(welds[v].seed, nUnit) >= creaseCos) {
                    chosen = v;
                    break;
                }
            if (chosen < 0) {
                chosen = static_cast<int>(mesh.vertices.size());
                MeshVertex vertex{};
                vertex.pos = p[k];
                mesh.vertices.push_back(vertex);
                welds.push_back({nUnit, {0.0, 0.0, 0.0}});
                candidates.push_back(chosen);
            }
            for (int d = 0; d < 3; ++d)
                welds[chosen].sum[d] += n[d];
            tri[k] = chosen;
        }
        mesh.triangles.push_back(tri);
    }
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
        const Vec3 n = unit(welds[v].sum);
        MeshVertex& vertex = mesh.vertices[v];
        for (int d = 0; d < 3; ++d)
            vertex.normal[d] = roundToFile(n[d]);
        vertex.uv = tiledUv(vertex.pos, vertex.normal);
    }
    return mesh;
}

} // namespace cavegen
