// cave_mesh_test.cpp -- the cave's shape: size, winding as the demo culls it, closed surface, layout
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>

#include "tools/cavegen/cave_mesh.h"
#include "tools/cavegen/tests/culling.h"

namespace {

using cavegen::CaveMesh;
using cavegen_test::cross;
using cavegen_test::dot;
using cavegen_test::P3;
using cavegen_test::sub;
using cavegen_test::visibleFrom;

P3 scaled(const P3& p) {
    return {p[0] * 8.0, p[1] * 8.0, p[2] * 8.0};
}

const CaveMesh& cave() {
    static const CaveMesh mesh = cavegen::buildCave();
    return mesh;
}

P3 corner(int t, int k) {
    return scaled(cave().vertices[cave().triangles[t][k]].pos);
}

} // namespace

TEST(CaveMesh, SizeAndEdgeLengths) {
    const int triangles = static_cast<int>(cave().triangles.size());
    EXPECT_GE(triangles, 1000);
    EXPECT_LE(triangles, 3000);
    EXPECT_LT(cave().vertices.size(), 65536u); // faces hold 16-bit indices
    double shortest = 1e9, longest = 0.0;
    for (int t = 0; t < triangles; ++t)
        for (int k = 0; k < 3; ++k) {
            P3 e = sub(corner(t, (k + 1) % 3), corner(t, k));
            shortest = std::min(shortest, std::sqrt(dot(e, e)));
            longest = std::max(longest, std::sqrt(dot(e, e)));
        }
    std::printf("%d triangles, %zu vertices, edges %.3f to %.3f units\n", triangles, cave().vertices.size(),
                shortest, longest);
    EXPECT_GT(shortest, 10.0); // large against the spheres' radius of 2
}

TEST(CaveMesh, EveryFaceIsSeenFromInsideAndLitFromInside) {
    // The culling rule itself: a level triangle wound this way is seen from above, not from below.
    EXPECT_TRUE(visibleFrom({0, 10, 0}, {0, 0, 0}, {0, 0, 16}, {16, 0, 16}));
    EXPECT_FALSE(visibleFrom({0, -10, 0}, {0, 0, 0}, {0, 0, 16}, {16, 0, 16}));
    const P3 centre = {0.5 * (cavegen::kMinX + cavegen::kMaxX), 120.0,
                       0.5 * (cavegen::kMinZ + cavegen::kMaxZ)};
    for (int t = 0; t < static_cast<int>(cave().triangles.size()); ++t) {
        P3 a = corner(t, 0), b = corner(t, 1), c = corner(t, 2);
        P3 n = cross(sub(b, a), sub(c, a));
        if (t < cave().floorTriangleCount) {
            EXPECT_GT(n[1], 0.0) << "floor triangle " << t << " must face up";
            EXPECT_TRUE(visibleFrom({a[0], a[1] + 40.0, a[2] - 30.0}, a, b, c)) << "floor triangle " << t;
        } else {
            EXPECT_TRUE(visibleFrom(centre, a, b, c)) << "wall triangle " << t;
        }
        for (int k = 0; k < 3; ++k) {
            const P3& vn = cave().vertices[cave().triangles[t][k]].normal;
            EXPECT_NEAR(dot(vn, vn), 1.0, 1e-5);
            EXPECT_GT(dot(vn, n) / std::sqrt(dot(n, n)), 0.3)
                << "normal of corner " << k << " of triangle " << t;
        }
    }
}

// No gaps a sphere could fall through: every edge (by position) belongs to exactly two triangles
// that run it in opposite directions, except along the open top of the walls.
TEST(CaveMesh, SurfaceIsClosedExceptTheOpenTop) {
    std::map<std::pair<P3, P3>, int> directed;
    for (int t = 0; t < static_cast<int>(cave().triangles.size()); ++t)
        for (int k = 0; k < 3; ++k)
            ++directed[{corner(t, k), corner(t, (k + 1) % 3)}];
    int open = 0;
    for (const auto& [edge, count] : directed) {
        EXPECT_EQ(count, 1) << "edge run twice the same way";
        if (directed.count({edge.second, edge.first}) == 0) {
            ++open;
            EXPECT_EQ(edge.first[1], cavegen::kWallTop)
                << "gap at (" << edge.first[0] << ", " << edge.first[2] << ")";
            EXPECT_EQ(edge.second[1], cavegen::kWallTop);
        }
    }
    EXPECT_EQ(open, 2 * (cavegen::kCellsX + cavegen::kCellsZ));
}

TEST(CaveMesh, LayoutAroundTheStartPointsAndLowPoints) {
    // The ball starts at (0, 160, 0), the column at x 0..0.5, z 66..66.5, y 160..556: the floor is
    // far below both and nothing else is above them (the top is open).
    const std::array<double, 2> starts[] = {{0.0, 0.0}, {0.0, 66.0}, {0.5, 66.0}, {0.0, 66.5}, {0.5, 66.5}};
    for (const auto& s : starts) {
        EXPECT_LT(cavegen::floorSurfaceHeight(s[0], s[1]), 100.0);
        for (int t = 0; t < static_cast<int>(cave().triangles.size()); ++t) {
            P3 a = corner(t, 0), b = corner(t, 1), c = corner(t, 2);
            double w0 = (b[0] - a[0]) * (s[1] - a[2]) - (b[2] - a[2]) * (s[0] - a[0]);
            double w1 = (c[0] - b[0]) * (s[1] - b[2]) - (c[2] - b[2]) * (s[0] - b[0]);
            double w2 = (a[0] - c[0]) * (s[1] - c[2]) - (a[2] - c[2]) * (s[0] - c[0]);
            bool over = (w0 >= 0 && w1 >= 0 && w2 >= 0) || (w0 <= 0 && w1 <= 0 && w2 <= 0);
            if (over) {
                EXPECT_LT(std::max({a[1], b[1], c[1]}), 100.0) << "triangle " << t << " above a start point";
            }
        }
    }
    EXPECT_EQ(cavegen::floorSurfaceHeight(0.0, 0.0), 0.0); // the ball lands on level ground
    // A low vertex (no lower neighbour) lies on a level patch: a sphere resting on a pointed low
    // vertex would touch all six triangles around it and be pushed out by all of them at once.
    for (int j = 1; j < cavegen::kCellsZ; ++j)
        for (int i = 1; i < cavegen::kCellsX; ++i) {
            const int around[6][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 0}, {-1, -1}, {0, -1}};
            const double h = cavegen::gridHeight(i, j);
            bool low = true;
            int level = 0;
            for (const auto& d : around) {
                low = low && cavegen::gridHeight(i + d[0], j + d[1]) >= h;
                level += cavegen::gridHeight(i + d[0], j + d[1]) == h;
            }
            EXPECT_TRUE(!low || level >= 2) << "pointed low vertex (" << i << ", " << j << ")";
        }
}
