// cave_mesh.h -- the cave's shape: a heightfield floor inside four rock walls, as one triangle mesh
#pragma once

#include <array>
#include <vector>

namespace cavegen {

// The demo scales the scene by this factor when it loads it; the layout below is given in
// demo units (after the scale) and the mesh is stored in scene-file units (demo units / 8).
constexpr double kSceneScale = 8.0;

// Floor grid, demo units. Square cells, each cut into two triangles along the same diagonal.
constexpr double kCell = 16.0;
constexpr int kCellsX = 28;
constexpr int kCellsZ = 28;
constexpr double kMinX = -229.0;
constexpr double kMinZ = -168.5;
constexpr double kMaxX = kMinX + kCell * kCellsX; // 219
constexpr double kMaxZ = kMinZ + kCell * kCellsZ; // 279.5

// Walls: rings of vertices from the floor's border up to the open top at kWallTop.
constexpr int kWallRings = 4;
constexpr double kWallTop = 256.0;

// One texture tile covers this many demo units on the floor and on the walls.
constexpr double kTextureTile = 64.0;

// A mesh vertex in scene-file units. Coordinates are already rounded to the six decimals
// the file carries, so what is written and what is read back are the same numbers.
struct MeshVertex {
    std::array<double, 3> pos;    // position
    std::array<double, 3> normal; // unit normal, pointing into the cave
    std::array<double, 2> uv;     // tiled texture coordinates
};

// Triangles index the vertex array; the corners of each triangle appear clockwise seen
// from inside the cave in the demo's left-handed, y-up view, that is, (b - a) x (c - a)
// points into the cave.
struct CaveMesh {
    std::vector<MeshVertex> vertices;
    std::vector<std::array<int, 3>> triangles;
    int floorTriangleCount = 0; // the first triangles are the floor, the rest the walls
};

// Height of the designed floor surface at (x, z), demo units, before it is sampled on the grid.
double designedFloorHeight(double x, double z);

// Height of floor grid vertex (i, j), i = 0..kCellsX, j = 0..kCellsZ, demo units, as stored.
double gridHeight(int i, int j);

// Height of the triangulated floor (the surface the spheres roll on) at (x, z), demo units;
// (x, z) is clamped to the floor's extent.
double floorSurfaceHeight(double x, double z);

// Rounds a scene-file coordinate to six decimals (the precision of the file), never -0.
double roundToFile(double v);

// Builds the whole cave. Deterministic: the same mesh on every run and build.
CaveMesh buildCave();

} // namespace cavegen
