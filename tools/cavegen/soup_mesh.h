// soup_mesh.h -- turns a list of loose triangles (demo units) into a cave mesh for a scene file
#pragma once

#include <array>
#include <vector>

#include "tools/cavegen/cave_mesh.h"

namespace cavegen {

// A triangle as three corners in demo units, the way the physics test worlds hold them (each
// triangle with its own copies of its corners, in no particular winding).
using SoupTriangle = std::array<std::array<double, 3>, 3>;

// Which side of each face the visitor sees. Faces turn upwards; but a steep face (|normal y| below
// kSteepNormalY) whose centre lies more than wallRadius from the vertical line (axisX, axisZ) is a
// wall around the cave, and turns towards that line instead (walls overhang as often as they lean
// back, so "up" would turn half of them away from the cave).
struct Facing {
    double axisX;
    double axisZ;
    double wallRadius;
};
constexpr double kSteepNormalY = 0.5;

// The mesh of the triangles, in the same order, each wound clockwise as seen from its visible side
// (flipped where needed), in scene-file units (rounded to the file's six decimals). Corners at the same
// rounded position share one vertex as long as their faces bend by less than the crease angle (given
// as its cosine), so that curved ground is shaded smoothly and sharp edges stay sharp. Vertex normals
// are the area-weighted sums of the faces sharing the vertex; texture coordinates tile the stone
// texture once per kTextureTile demo units, projected on the plane of the normal's dominant axis.
// Vertices are numbered in the order their corners first appear, so the result is always the same.
CaveMesh meshFromSoup(const std::vector<SoupTriangle>& triangles, const Facing& facing, double creaseCos);

} // namespace cavegen
