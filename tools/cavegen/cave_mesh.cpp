// cave_mesh.cpp -- builds the cave mesh: floor heightfield, rock walls, normals and texture coordinates
#include "tools/cavegen/cave_mesh.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace cavegen {
namespace {

// Only +, -, *, / and sqrt are used for geometry: they are correctly rounded, so the mesh
// is the same on every machine (no libm transcendental functions whose last bits vary).

double clamp01(double t) {
    return t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
}

// 3t^2 - 2t^3: rises from 0 to 1 with zero slope at both ends.
double smoothStep(double t) {
    t = clamp01(t);
    return t * t * (3.0 - 2.0 * t);
}

// A round hollow with an exactly level bottom: level at -depth inside flatRadius, rising with
// a smooth step to the plain at outerRadius. A level bottom matters: a sphere resting in a
// pointed hollow touches every triangle around the lowest vertex at once, and the contact
// forces of all of them add up.
struct Hollow {
    double cx, cz;      // centre
    double flatRadius;  // radius of the level bottom
    double outerRadius; // where the hollow meets the plain
    double depth;       // depth below the plain
};

// A long mound along a segment, with a (1 - u^2)^2 cross-section of the given half width.
struct Ridge {
    double x0, z0, x1, z1; // segment of the crest
    double height;
    double halfWidth;
};

// A wide basin ahead on the right and a small hollow behind the ball's start.
constexpr Hollow kHollows[] = {
    {112.0, 176.0, 32.0, 88.0, 24.0},
    {-128.0, -48.0, 20.0, 64.0, 16.0},
};

constexpr Ridge kRidges[] = {
    {-96.0, 40.0, -84.0, 152.0, 16.0, 36.0},
    {32.0, -56.0, 80.0, -20.0, 20.0, 48.0},
};

// A square funnel: a level bottom of whole grid cells and planar walls that rise from its
// edges until they meet the floor around, with their own slope on the side towards -z (the
// side the ball starts on).
struct Funnel {
    double minX, minZ, maxX, maxZ; // the level bottom, on grid lines
    double depth;                  // below the plain
    double slope;                  // rise of the walls per unit of horizontal distance
    double nearSlope;              // the same for the wall on the -z side
};

// The column comes down at about (0.25, 66.25), inside the one-cell level bottom of a pit with
// 45-degree walls: a heap packed into it cannot roll about, so it settles soon after the last
// sphere lands (on a wide level floor the spheres spread out and roll on for many seconds).
// A ramp (the second, shallower funnel) leads down to the pit from the ball's start and lowers
// the pit's near rim, so that the top of the heap can be seen from the start.
constexpr Funnel kFunnels[] = {
    {-5.0, 55.5, 11.0, 71.5, 24.0, 1.0, 1.0},
    {-5.0, 55.5, 11.0, 71.5, 20.0, 2.0, 0.45},
};

// The floor rises towards the walls over this margin, up to kRimHeight at the middle of a
// side and more in the corners, which rounds the cave's plan.
constexpr double kRimMargin = 64.0;
constexpr double kRimHeight = 40.0;

// Blends the surface h down into the hollow: exactly -depth on the level bottom, h itself
// from the outer radius on, and in between a smooth step, which adds no new low points.
double cutHollow(const Hollow& hw, double x, double z, double h) {
    double dx = x - hw.cx;
    double dz = z - hw.cz;
    double r = std::sqrt(dx * dx + dz * dz);
    double t = (r - hw.flatRadius) / (hw.outerRadius - hw.flatRadius);
    if (t >= 1.0) return h;
    return -hw.depth + (h + hw.depth) * smoothStep(t);
}

double funnelHeight(const Funnel& f, double x, double z) {
    double rx = f.slope * (x < f.minX ? f.minX - x : (x > f.maxX ? x - f.maxX : 0.0));
    double rz = z < f.minZ ? f.nearSlope * (f.minZ - z) : (z > f.maxZ ? f.slope * (z - f.maxZ) : 0.0);
    return -f.depth + (rx > rz ? rx : rz);
}

double ridgeHeight(const Ridge& r, double x, double z) {
    double ex = r.x1 - r.x0;
    double ez = r.z1 - r.z0;
    double s = clamp01(((x - r.x0) * ex + (z - r.z0) * ez) / (ex * ex + ez * ez));
    double dx = x - (r.x0 + s * ex);
    double dz = z - (r.z0 + s * ez);
    double u2 = (dx * dx + dz * dz) / (r.halfWidth * r.halfWidth);
    if (u2 >= 1.0) return 0.0;
    double w = 1.0 - u2;
    return r.height * w * w;
}

double rimHeight(double x, double z) {
    double cx = 0.5 * (kMinX + kMaxX);
    double cz = 0.5 * (kMinZ + kMaxZ);
    double dx = std::fabs(x - cx) - (0.5 * (kMaxX - kMinX) - kRimMargin);
    double dz = std::fabs(z - cz) - (0.5 * (kMaxZ - kMinZ) - kRimMargin);
    dx = dx > 0.0 ? dx : 0.0;
    dz = dz > 0.0 ? dz : 0.0;
    double s2 = (dx * dx + dz * dz) / (kRimMargin * kRimMargin);
    return kRimHeight * s2;
}

// Integer hash of a lattice point, for the rock walls' small irregularities: a value in [-1, 1].
double latticeNoise(int a, int b) {
    std::uint32_t h =
        static_cast<std::uint32_t>(a) * 0x9E3779B1u ^ static_cast<std::uint32_t>(b) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return static_cast<double>(h & 0xFFFFu) / 32767.5 - 1.0;
}

using Vec3 = std::array<double, 3>;

Vec3 sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vec3 filePosition(double x, double y, double z) {
    return {roundToFile(x / kSceneScale), roundToFile(y / kSceneScale), roundToFile(z / kSceneScale)};
}

// Sets every vertex normal to the normalised sum of the (area-weighted) normals of the
// triangles in [first, last) that use it; vertices that share a position through
// `normalGroup` get the same normal.
void accumulateNormals(CaveMesh& mesh, std::size_t first, std::size_t last,
                       const std::vector<int>& normalGroup) {
    std::vector<Vec3> sums(mesh.vertices.size(), Vec3{0.0, 0.0, 0.0});
    for (std::size_t t = first; t < last; ++t) {
        const auto& tri = mesh.triangles[t];
        const Vec3& a = mesh.vertices[tri[0]].pos;
        const Vec3& b = mesh.vertices[tri[1]].pos;
        const Vec3& c = mesh.vertices[tri[2]].pos;
        Vec3 n = cross(sub(b, a), sub(c, a));
        for (int k = 0; k < 3; ++k) {
            Vec3& s = sums[normalGroup[tri[k]]];
            for (int d = 0; d < 3; ++d)
                s[d] += n[d];
        }
    }
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
        const Vec3& s = sums[normalGroup[v]];
        double len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        if (len <= 0.0) continue;
        for (int d = 0; d < 3; ++d)
            mesh.vertices[v].normal[d] = roundToFile(s[d] / len);
    }
}

} // namespace

double roundToFile(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", v);
    double r = std::strtod(text, nullptr);
    return r == 0.0 ? 0.0 : r; // no negative zero in the file
}

double designedFloorHeight(double x, double z) {
    double plain = rimHeight(x, z);
    for (const Ridge& r : kRidges)
        plain += ridgeHeight(r, x, z);
    // The hollows are cut into the plain one after the other, then the funnel: the lower
    // surface wins, which keeps level bottoms level and adds no new low points.
    double h = plain;
    for (const Hollow& hw : kHollows)
        h = cutHollow(hw, x, z, h);
    for (const Funnel& f : kFunnels) {
        double pit = funnelHeight(f, x, z);
        if (pit < h) h = pit;
    }
    return h;
}

double gridHeight(int i, int j) {
    double y = designedFloorHeight(kMinX + kCell * i, kMinZ + kCell * j);
    return roundToFile(y / kSceneScale) * kSceneScale;
}

double floorSurfaceHeight(double x, double z) {
    double fx = (x - kMinX) / kCell;
    double fz = (z - kMinZ) / kCell;
    fx = fx < 0.0 ? 0.0 : (fx > kCellsX ? kCellsX : fx);
    fz = fz < 0.0 ? 0.0 : (fz > kCellsZ ? kCellsZ : fz);
    int i = static_cast<int>(fx);
    int j = static_cast<int>(fz);
    if (i >= kCellsX) i = kCellsX - 1;
    if (j >= kCellsZ) j = kCellsZ - 1;
    fx -= i;
    fz -= j;
    double h00 = gridHeight(i, j), h10 = gridHeight(i + 1, j);
    double h01 = gridHeight(i, j + 1), h11 = gridHeight(i + 1, j + 1);
    // Each cell is split along its diagonal from (i, j) to (i + 1, j + 1).
    if (fz >= fx) return h00 + fz * (h01 - h00) + fx * (h11 - h01);
    return h00 + fx * (h10 - h00) + fz * (h11 - h10);
}

CaveMesh buildCave() {
    CaveMesh mesh;

    // Floor: (kCellsX + 1) x (kCellsZ + 1) vertices, vertex (i, j) at index j * (kCellsX + 1) + i.
    const int rowLength = kCellsX + 1;
    for (int j = 0; j <= kCellsZ; ++j) {
        for (int i = 0; i <= kCellsX; ++i) {
            double x = kMinX + kCell * i;
            double z = kMinZ + kCell * j;
            MeshVertex v{};
            v.pos = filePosition(x, gridHeight(i, j), z);
            // Seen from above, +x to the right and +z up the texture.
            v.uv = {roundToFile((x - kMinX) / kTextureTile), roundToFile((kMaxZ - z) / kTextureTile)};
            mesh.vertices.push_back(v);
        }
    }
    for (int j = 0; j < kCellsZ; ++j) {
        for (int i = 0; i < kCellsX; ++i) {
            int p00 = j * rowLength + i;
            int p10 = p00 + 1;
            int p01 = p00 + rowLength;
            int p11 = p01 + 1;
            // (p01 - p00) x (p11 - p00) and (p11 - p00) x (p10 - p00) both point up (+y).
            mesh.triangles.push_back({p00, p01, p11});
            mesh.triangles.push_back({p00, p11, p10});
        }
    }
    mesh.floorTriangleCount = static_cast<int>(mesh.triangles.size());

    // The border of the floor as a closed loop, counter-clockwise seen from above: along
    // z = kMinZ towards +x, up x = kMaxX, back along z = kMaxZ, down x = kMinX.
    struct BorderPoint {
        int i, j;
        double outX, outZ; // outward direction (diagonal at the corners)
    };
    std::vector<BorderPoint> border;
    for (int i = 0; i < kCellsX; ++i)
        border.push_back({i, 0, i == 0 ? -1.0 : 0.0, -1.0});
    for (int j = 0; j < kCellsZ; ++j)
        border.push_back({kCellsX, j, 1.0, j == 0 ? -1.0 : 0.0});
    for (int i = kCellsX; i > 0; --i)
        border.push_back({i, kCellsZ, i == kCellsX ? 1.0 : 0.0, 1.0});
    for (int j = kCellsZ; j > 0; --j)
        border.push_back({0, j, -1.0, j == kCellsZ ? 1.0 : 0.0});
    const int columns = static_cast<int>(border.size());
    const double perimeterTiles = columns * kCell / kTextureTile;

    // Walls: ring 0 repeats the floor's border positions exactly (own vertices, for the wall's
    // own normals and texture coordinates); rings 1..kWallRings lean outwards a little, with
    // small irregularities, up to the level top. Column `columns` repeats column 0 so that the
    // texture can wrap; its positions are identical to column 0's.
    const int firstWall = static_cast<int>(mesh.vertices.size());
    std::vector<int> normalGroup(mesh.vertices.size());
    for (std::size_t v = 0; v < normalGroup.size(); ++v)
        normalGroup[v] = static_cast<int>(v);
    for (int c = 0; c <= columns; ++c) {
        const BorderPoint& b = border[c % columns];
        double baseX = kMinX + kCell * b.i;
        double baseZ = kMinZ + kCell * b.j;
        double baseY = gridHeight(b.i, b.j);
        for (int k = 0; k <= kWallRings; ++k) {
            double x = baseX, y = baseY, z = baseZ;
            if (k > 0) {
                double f = static_cast<double>(k) / kWallRings;
                double out = 6.0 * k + 3.0 * latticeNoise(c % columns, k);
                x += b.outX * out;
                z += b.outZ * out;
                y = baseY + (kWallTop - baseY) * f;
                if (k < kWallRings) y += 8.0 * latticeNoise(k, c % columns + 1000);
            }
            MeshVertex v{};
            v.pos = filePosition(x, y, z);
            // Seen from inside, the loop runs right to left, so u counts down along it.
            v.uv = {roundToFile(perimeterTiles - c * kCell / kTextureTile),
                    roundToFile((kWallTop - y) / kTextureTile)};
            mesh.vertices.push_back(v);
            normalGroup.push_back(firstWall + (c % columns) * (kWallRings + 1) + k);
        }
    }
    for (int c = 0; c < columns; ++c) {
        for (int k = 0; k < kWallRings; ++k) {
            int a = firstWall + c * (kWallRings + 1) + k; // this column, this ring
            int b = a + (kWallRings + 1);                 // next column along the loop
            int cUp = a + 1;                              // this column, ring above
            int d = b + 1;                                // next column, ring above
            // With the loop counter-clockwise from above, (b - a) x (d - a) points inwards.
            mesh.triangles.push_back({a, b, d});
            mesh.triangles.push_back({a, d, cUp});
        }
    }

    accumulateNormals(mesh, 0, mesh.floorTriangleCount, normalGroup);
    accumulateNormals(mesh, mesh.floorTriangleCount, mesh.triangles.size(), normalGroup);
    return mesh;
}

} // namespace cavegen
