// gallery_physics_test.cpp -- the demo's 101 bodies dropped into each gallery cave, run headless
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "physics/bodies.h"
#include "physics/simulation.h"
#include "tools/cavegen/tests/gallery_support.h"

namespace {

using namespace cavegen_test;

// Height of the highest ground face (facing upwards, not steeper than 60 degrees) that the vertical line
// through (x, z) crosses, or -1e9 when there is none.
double groundUnder(const std::vector<Triangle>& triangles, double x, double z) {
    double ground = -1e9;
    for (const Triangle& t : triangles) {
        const P3 n = cross(sub(t[1], t[0]), sub(t[2], t[0]));
        if (n[1] <= 0.5 * std::sqrt(dot(n, n))) continue;
        double w[3];
        for (int k = 0; k < 3; ++k) {
            const P3& a = t[k];
            const P3& b = t[(k + 1) % 3];
            w[k] = (b[2] - a[2]) * (x - a[0]) - (b[0] - a[0]) * (z - a[2]);
        }
        if (!((w[0] >= 0 && w[1] >= 0 && w[2] >= 0) || (w[0] <= 0 && w[1] <= 0 && w[2] <= 0))) continue;
        ground = std::max(ground, t[0][1] - (n[0] * (x - t[0][0]) + n[2] * (z - t[0][2])) / n[1]);
    }
    return ground;
}

} // namespace

// 30 s of the demo (1800 steps; the last sphere of the column lands after about 21 s) in each cave, loaded
// as the demo loads it: no body turns NaN, leaves the cave's extent, sinks through its ground or is thrown
// above its starting height, and at the end the ball lies still on the cave's floor, touching it.
TEST(GalleryPhysics, BodiesLandInEveryCaveAndTheBallComesToRest) {
    for (const GallerySource& source : gallerySources()) {
        SCOPED_TRACE(source.file);
        RenderObject* mesh = loadGalleryCave(source.file);
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(numBodies, 101);
        const std::vector<Triangle> triangles = trianglesOf(mesh);
        P3 low = triangles[0][0], high = low;
        for (const Triangle& t : triangles)
            for (const P3& p : t)
                for (int d = 0; d < 3; ++d) {
                    low[d] = std::min(low[d], p[d]);
                    high[d] = std::max(high[d], p[d]);
                }
        float startY[MAX_BODIES];
        for (int i = 0; i < numBodies; ++i)
            startY[i] = bodyPosition(i).y;
        float highestRise = -1e9f;
        double leastClearance = 1e9;
        for (int step = 1; step <= 1800; ++step) {
            stepSimulation(SIMULATION_DT);
            for (int i = 0; i < numBodies; ++i) {
                const Vector3 p = bodyPosition(i);
                ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
                    << "body " << i << " step " << step;
                ASSERT_TRUE(p.x > low[0] && p.x < high[0] && p.z > low[2] && p.z < high[2] && p.y > low[1])
                    << "body " << i << " left the cave at step " << step;
                highestRise = std::fmax(highestRise, p.y - startY[i]);
                if (step % 60 == 0) {
                    const double clearance = p.y - groundUnder(triangles, p.x, p.z);
                    leastClearance = std::min(leastClearance, clearance);
                    ASSERT_GT(clearance, 1.0) << "body " << i << " sank through the ground at step " << step;
                }
            }
        }
        const Vector3 ball = bodyPosition(0);
        const float speed = std::sqrt(lengthSquared(bodyVelocity[0]));
        Vector3 contacts[MAX_WORLD_CONTACTS];
        const int touching = gatherMeshContacts(mesh, ball, bodyRadius[0] + 0.05f, contacts);
        const int sunk = gatherMeshContacts(mesh, ball, bodyRadius[0] - 0.1f, contacts);
        std::printf("%s: ball at (%.2f, %.2f, %.2f), speed %.4f, touching %d faces; highest rise %.2f, least "
                    "clearance %.2f\n",
                    source.file.c_str(), ball.x, ball.y, ball.z, speed, touching, highestRise,
                    leastClearance);
        EXPECT_LT(highestRise, 10.0f) << "a body was thrown upwards";
        EXPECT_LT(speed, 0.1f) << "the ball is still moving";
        EXPECT_GT(touching, 0) << "the ball is not on the floor";
        EXPECT_EQ(sunk, 0) << "the ball sank into the floor";
    }
}
