// test_scenes.cpp -- the generated bowl and cave worlds
#include "physics/testing/test_scenes.h"

#include <cmath>

#include "math/float_bits.h"
#include "math/trig.h"
#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"

namespace {

// Paraboloid bowl with a ripple, sampled at the grid corners.
float bowlCornerHeight(int i, int k) {
    const float x = BOWL_CENTRE_X - BOWL_HALF_WIDTH + BOWL_SPACING * static_cast<float>(i);
    const float z = BOWL_CENTRE_Z - BOWL_HALF_WIDTH + BOWL_SPACING * static_cast<float>(k);
    const float dx = x - BOWL_CENTRE_X, dz = z - BOWL_CENTRE_Z;
    return BOWL_BOTTOM_Y + 0.004f * (dx * dx + dz * dz) + 1.5f * cave::sinf(0.3f * x) * cave::cosf(0.25f * z);
}

Vertex gridVertex(int i, int k) {
    Vertex v{};
    v.x = BOWL_CENTRE_X - BOWL_HALF_WIDTH + BOWL_SPACING * static_cast<float>(i);
    v.z = BOWL_CENTRE_Z - BOWL_HALF_WIDTH + BOWL_SPACING * static_cast<float>(k);
    v.y = bowlCornerHeight(i, k);
    v.ny = 1.0f;
    v.tu = static_cast<float>(i);
    v.tv = static_cast<float>(k);
    return v;
}

} // namespace

bool buildBowlMesh(RenderObject* object) {
    initRenderObject(object, IDENTITY_MATRIX, nullptr, 3 * BOWL_TRIANGLES);
    if (object == nullptr || object->vertices == nullptr) return false;
    Vertex* out = object->vertices;
    // Each grid square (i, k) is split along its diagonal from corner (i, k) to (i+1, k+1).
    for (int k = 0; k < BOWL_CELLS; ++k) {
        for (int i = 0; i < BOWL_CELLS; ++i) {
            *out++ = gridVertex(i, k);
            *out++ = gridVertex(i + 1, k);
            *out++ = gridVertex(i + 1, k + 1);
            *out++ = gridVertex(i, k);
            *out++ = gridVertex(i + 1, k + 1);
            *out++ = gridVertex(i, k + 1);
        }
    }
    return true;
}

float bowlSurfaceHeight(float x, float z) {
    const float gx = (x - (BOWL_CENTRE_X - BOWL_HALF_WIDTH)) / BOWL_SPACING;
    const float gz = (z - (BOWL_CENTRE_Z - BOWL_HALF_WIDTH)) / BOWL_SPACING;
    int i = cave::floorToInt(gx);
    int k = cave::floorToInt(gz);
    i = i < 0 ? 0 : (i >= BOWL_CELLS ? BOWL_CELLS - 1 : i);
    k = k < 0 ? 0 : (k >= BOWL_CELLS ? BOWL_CELLS - 1 : k);
    const float fx = gx - static_cast<float>(i), fz = gz - static_cast<float>(k);
    const float h00 = bowlCornerHeight(i, k), h10 = bowlCornerHeight(i + 1, k);
    const float h11 = bowlCornerHeight(i + 1, k + 1), h01 = bowlCornerHeight(i, k + 1);
    // Below the diagonal (fx >= fz): triangle (0,0) (1,0) (1,1); above it: (0,0) (1,1) (0,1).
    if (fx >= fz) return h00 + (h10 - h00) * fx + (h11 - h10) * fz;
    return h00 + (h11 - h01) * fx + (h01 - h00) * fz;
}

namespace {

constexpr float CAVE_FLOOR_HALF = 80.0f;   // floor square about the axis
constexpr float CAVE_FLOOR_SPACING = 2.0f; // floor squares
constexpr int CAVE_FLOOR_CELLS = 80;
constexpr int CAVE_WALL_SEGMENTS = 80, CAVE_WALL_RINGS = 40;
constexpr float CAVE_WALL_BOTTOM = 40.0f, CAVE_WALL_TOP = 640.0f;
constexpr int CAVE_ROCKS = 200;

// A field of bumps where the column lands (x -8..8, z 58..74), fading to zero at its border.
float patchBump(float x, float z) {
    const float u = (x + 8.0f) / 16.0f, v = (z - 58.0f) / 16.0f;
    if (u <= 0.0f || u >= 1.0f || v <= 0.0f || v >= 1.0f) return 0.0f;
    const float pi = 3.14159265f;
    return 0.6f * cave::sinf(pi * u) * cave::sinf(pi * v) * cave::sinf(1.3f * x) * cave::sinf(1.1f * z);
}

float wallRadius(float angle, float y) {
    return 68.0f + 5.0f * cave::sinf(3.0f * angle + 0.013f * y) +
           2.5f * cave::sinf(7.0f * angle - 0.031f * y) + 1.5f * cave::sinf(11.0f * angle + 0.05f * y);
}

struct TriangleWriter {
    Vertex* out;
    int written;
    int capacity;
    bool overflow;
    void point(float x, float y, float z) {
        if (written >= capacity) {
            overflow = true;
            return;
        }
        Vertex v{};
        v.x = x;
        v.y = y;
        v.z = z;
        v.ny = 1.0f;
        v.tu = x * 0.05f;
        v.tv = z * 0.05f;
        out[written++] = v;
    }
    void floorPoint(float x, float z) { point(x, caveFloorHeight(x, z) + patchBump(x, z), z); }
    // A square of the floor as two triangles.
    void floorSquare(float x, float z, float size) {
        floorPoint(x, z);
        floorPoint(x + size, z);
        floorPoint(x + size, z + size);
        floorPoint(x, z);
        floorPoint(x + size, z + size);
        floorPoint(x, z + size);
    }
};

// Deterministic generator for the cave's rocks and its shuffle.
struct CaveRandom {
    unsigned long long state = 0x2545F4914F6CDD1DULL;
    unsigned next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>(state >> 33);
    }
    float unit() { return static_cast<float>(next() % 1000000u) / 1000000.0f; }
};

} // namespace

float caveFloorHeight(float x, float z) {
    const float dx = x - CAVE_AXIS_X, dz = z - CAVE_AXIS_Z;
    return 60.0f + 0.008f * (dx * dx + dz * dz) + 2.0f * cave::sinf(0.21f * x) * cave::cosf(0.17f * z) +
           0.8f * cave::sinf(0.9f * x + 0.4f * z);
}

bool buildCaveMesh(RenderObject* object) {
    initRenderObject(object, IDENTITY_MATRIX, nullptr, 3 * CAVE_TRIANGLES);
    if (object == nullptr || object->vertices == nullptr) return false;
    TriangleWriter w{object->vertices, 0, object->vertexCount, false};
    // Floor: a square grid.
    for (int k = 0; k < CAVE_FLOOR_CELLS; ++k) {
        for (int i = 0; i < CAVE_FLOOR_CELLS; ++i) {
            const float x = CAVE_AXIS_X - CAVE_FLOOR_HALF + CAVE_FLOOR_SPACING * static_cast<float>(i);
            const float z = CAVE_AXIS_Z - CAVE_FLOOR_HALF + CAVE_FLOOR_SPACING * static_cast<float>(k);
            w.floorSquare(x, z, CAVE_FLOOR_SPACING);
        }
    }
    // Walls: rings of quads around the axis.
    const float twoPi = 6.28318531f;
    auto wallPoint = [&](int s, int ring) {
        const float angle = twoPi * static_cast<float>(s % CAVE_WALL_SEGMENTS) / CAVE_WALL_SEGMENTS;
        const float y = CAVE_WALL_BOTTOM +
                        (CAVE_WALL_TOP - CAVE_WALL_BOTTOM) * static_cast<float>(ring) / CAVE_WALL_RINGS;
        const float radius = wallRadius(angle, y);
        w.point(CAVE_AXIS_X + radius * cave::cosf(angle), y, CAVE_AXIS_Z + radius * cave::sinf(angle));
    };
    for (int ring = 0; ring < CAVE_WALL_RINGS; ++ring) {
        for (int s = 0; s < CAVE_WALL_SEGMENTS; ++s) {
            wallPoint(s, ring);
            wallPoint(s + 1, ring);
            wallPoint(s + 1, ring + 1);
            wallPoint(s, ring);
            wallPoint(s + 1, ring + 1);
            wallPoint(s, ring + 1);
        }
    }
    // Rocks: three-sided pyramids standing on the floor within 50 units of the axis.
    CaveRandom random;
    for (int rock = 0; rock < CAVE_ROCKS; ++rock) {
        const float angle = twoPi * random.unit(), distance = 50.0f * std::sqrt(random.unit());
        const float cx = CAVE_AXIS_X + distance * cave::cosf(angle),
                    cz = CAVE_AXIS_Z + distance * cave::sinf(angle);
        const float size = 1.5f + 1.5f * random.unit(), turn = twoPi * random.unit();
        const float base = caveFloorHeight(cx, cz) + patchBump(cx, cz) - 0.3f;
        float bx[3], bz[3];
        for (int c = 0; c < 3; ++c) {
            bx[c] = cx + size * cave::cosf(turn + twoPi * static_cast<float>(c) / 3.0f);
            bz[c] = cz + size * cave::sinf(turn + twoPi * static_cast<float>(c) / 3.0f);
        }
        const float apex = base + 1.5f * size;
        for (int c = 0; c < 3; ++c) {
            w.point(bx[c], base, bz[c]);
            w.point(bx[(c + 1) % 3], base, bz[(c + 1) % 3]);
            w.point(cx, apex, cz);
        }
        w.point(bx[0], base, bz[0]);
        w.point(bx[2], base, bz[2]);
        w.point(bx[1], base, bz[1]);
    }
    if (w.overflow || w.written != 3 * CAVE_TRIANGLES) return false;
    // Shuffle whole triangles so that their numbers carry no spatial order.
    for (int t = CAVE_TRIANGLES - 1; t > 0; --t) {
        const int u = static_cast<int>(random.next() % static_cast<unsigned>(t + 1));
        for (int c = 0; c < 3; ++c) {
            const Vertex keep = object->vertices[3 * t + c];
            object->vertices[3 * t + c] = object->vertices[3 * u + c];
            object->vertices[3 * u + c] = keep;
        }
    }
    return true;
}
