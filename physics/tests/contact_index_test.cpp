// contact_index_test.cpp -- the accelerated contact search against the exhaustive one, bit for bit
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "physics/contact_index.h"
#include "physics/testing/search_comparison.h"
#include "physics/testing/test_scenes.h"
#include "physics/tests/physics_test_util.h"

namespace {

using ContactIndex = PhysicsTest;

struct Random {
    unsigned long long s = 12345;
    float unit() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<float>((s >> 40) & 0xFFFFFF) / 16777216.0f;
    }
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }
};

// Gathers both ways, expects the same count and the same bits, and returns the count.
int gatherBothWays(const RenderObject* mesh, const Vector3& p, float r) {
    Vector3 a[MAX_WORLD_CONTACTS], b[MAX_WORLD_CONTACTS];
    const int na = gatherMeshContacts(mesh, p, r, a);
    const int nb = gatherMeshContactsIndexed(mesh, p, r, b);
    EXPECT_EQ(na, nb) << "centre (" << p.x << ", " << p.y << ", " << p.z << ") r " << r;
    EXPECT_EQ(std::memcmp(a, b, sizeof(Vector3) * static_cast<size_t>(na < nb ? na : nb)), 0)
        << "contact points differ at centre (" << p.x << ", " << p.y << ", " << p.z << ") r " << r;
    return na;
}

} // namespace

TEST_F(ContactIndex, GrazingContactsAreFoundAtEveryBoundary) {
    // Two triangles away from the origin, where rounding matters. Centres at |h| = r over the face,
    // at s = 0 and s = L with w = r beside each edge, at distance r from each vertex, and radii a
    // hair either side of r.
    int touching = 0;
    for (const Vector3 o : {Vector3(1000.0f, -250.0f, 4000.0f), Vector3(3e5f, 1e5f, -7e5f)}) {
        SetUp();
        const std::vector<Vector3> points = {o,
                                             o + Vector3(4, 0, 0),
                                             o + Vector3(0, 4, 0),
                                             o + Vector3(10, 0, 0),
                                             o + Vector3(13, 1, 0.5f),
                                             o + Vector3(11, 3, -2)};
        RenderObject* mesh = meshOf(points);
        ASSERT_EQ(registerWorldMesh(mesh), 0);
        ASSERT_TRUE(worldContactIndexMatches(mesh));
        const float r = 0.5f;
        for (int t = 0; t < 2; ++t) {
            const Vector3* v = &points[3 * t];
            const Vector3 n0 = cross(v[1] - v[0], v[2] - v[0]);
            const Vector3 n = n0 * (1.0f / std::sqrt(dot(n0, n0)));
            const Vector3 mid = (v[0] + v[1] + v[2]) / 3.0f;
            for (int k = 0; k < 3; ++k) {
                const Vector3 e = v[(k + 1) % 3] - v[k];
                const Vector3 along = e * (1.0f / std::sqrt(dot(e, e)));
                const Vector3 out = cross(along, n); // away from the triangle across edge k
                const Vector3 centres[] = {mid + n * r,      mid - n * r,
                                           v[k] + out * r,   v[(k + 1) % 3] + out * r,
                                           v[k] - along * r, v[k] + (out - along) * (r * 0.70710678f)};
                for (float grow : {1.0f, 1.0000001f, 0.9999999f, 1.000001f, 1.05f}) {
                    for (const Vector3& c : centres)
                        touching += gatherBothWays(mesh, c, r * grow) > 0;
                }
            }
        }
    }
    EXPECT_GT(touching, 150); // most boundary cases do touch
}

TEST_F(ContactIndex, AgreesOnRandomMeshesWithSliversDegeneratesAndBadNumbers) {
    Random random;
    std::vector<Vector3> points;
    for (int t = 0; t < 3000; ++t) {
        const Vector3 a(random.range(-60, 60), random.range(-20, 20), random.range(-60, 60));
        Vector3 b = a + Vector3(random.range(-3, 3), random.range(-3, 3), random.range(-3, 3));
        Vector3 c = a + Vector3(random.range(-3, 3), random.range(-3, 3), random.range(-3, 3));
        switch (t % 10) {
        case 0:
            c = a + (b - a) * 0.37f + Vector3(0, 1e-5f, 0);
            break; // sliver
        case 1:
            b = a;
            break; // degenerate
        case 2:
            c = a + (b - a) * 2.0f;
            break; // collinear
        case 3:
            b = a + Vector3(random.range(-40, 40), 0, random.range(-40, 40));
            break; // large
        case 4:
            c = a + Vector3(1e-4f, 0, 0);
            break; // tiny edge
        }
        points.insert(points.end(), {a, b, c});
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    points[3 * 100] = Vector3(nan, 0, 0); // tested for every body: not finite, or out of range
    points[3 * 200 + 1] = Vector3(0, 3e9f, 0);
    points[3 * 300 + 2] = Vector3(std::numeric_limits<float>::infinity(), 1, 1);
    RenderObject* mesh = meshOf(points);
    ASSERT_EQ(registerWorldMesh(mesh), 0);
    EXPECT_EQ(worldContactIndex.alwaysCount, 3);
    EXPECT_LE(worldContactIndex.nodeCount, 2 * worldContactIndex.indexedCount);
    int maxed = 0;
    for (int q = 0; q < 4000 && !HasFailure(); ++q) {
        const Vector3 p(random.range(-62, 62), random.range(-22, 22), random.range(-62, 62));
        maxed += gatherBothWays(mesh, p, q % 7 == 0 ? random.range(5, 12) : random.range(0.1f, 3.0f)) == 32;
    }
    EXPECT_GT(maxed, 10); // the 32-contact limit was reached in some queries
    // Queries the index leaves to the exhaustive search.
    gatherBothWays(mesh, Vector3(nan, 0, 0), 1.0f);
    gatherBothWays(mesh, Vector3(0, 0, 0), nan);
    gatherBothWays(mesh, Vector3(2e9f, 0, 0), 1.0f);
    gatherBothWays(mesh, Vector3(0, 0, 0), 1e9f);
    gatherBothWays(mesh, Vector3(0, 0, 0), -1.0f);
}

TEST_F(ContactIndex, StaleOrMissingIndexFallsBackToTheExhaustiveSearch) {
    RenderObject* mesh = meshOf({Vector3(0, 0, 0), Vector3(4, 0, 0), Vector3(0, 0, 4)});
    Vector3 contacts[MAX_WORLD_CONTACTS];
    EXPECT_EQ(gatherMeshContactsIndexed(mesh, Vector3(1, 0.5f, 1), 1.0f, contacts), 1); // no index yet
    ASSERT_EQ(registerWorldMesh(mesh), 0);
    // The vertex array replaced after registration: the index no longer matches and is not used.
    RenderObject* other = meshOf({Vector3(0, 10, 0), Vector3(4, 10, 0), Vector3(0, 10, 4)});
    std::swap(mesh->vertices, other->vertices);
    EXPECT_FALSE(worldContactIndexMatches(mesh));
    EXPECT_EQ(gatherMeshContactsIndexed(mesh, Vector3(1, 0.5f, 1), 1.0f, contacts), 0);
    EXPECT_EQ(gatherMeshContactsIndexed(mesh, Vector3(1, 10.5f, 1), 1.0f, contacts), 1);
    // The step rebuilds it once for the mesh it finds.
    stepSimulation(SIMULATION_DT);
    EXPECT_TRUE(worldContactIndexMatches(mesh));
    mesh->vertexCount = 0;
    EXPECT_EQ(gatherMeshContactsIndexed(mesh, Vector3(1, 0.5f, 1), 1.0f, contacts), 0);
    EXPECT_EQ(gatherMeshContactsIndexed(nullptr, Vector3(1, 0.5f, 1), 1.0f, contacts), 0);
    std::swap(mesh->vertices, other->vertices);
}

TEST_F(ContactIndex, PairSweepSumsTheSameForcesAsTheFullLoop) {
    // Crowded, coincident, exactly touching, far apart and broken bodies, without a world.
    Random random;
    for (int b = 0; b < MAX_BODIES; ++b) {
        ASSERT_EQ(createBody(nullptr, b % 5 == 0 ? 3.0f : 2.0f, 4.0f), b);
        Vector3 p(random.range(-20, 20), random.range(-20, 20), random.range(-20, 20));
        if (b % 9 == 1) p = bodyPosition(b - 1);                    // coincident centres
        if (b % 9 == 2) p = bodyPosition(b - 1) + Vector3(4, 0, 0); // exactly touching (r 2 and 2)
        if (b % 31 == 3) p = Vector3(std::numeric_limits<float>::quiet_NaN(), 0, 0);
        if (b % 37 == 4) p = Vector3(1e30f, 0, 0);
        translationMatrix(bodyRenderObject[b]->world, p.x, p.y, p.z);
        bodyVelocity[b] = Vector3(random.range(-5, 5), random.range(-5, 5), random.range(-5, 5));
    }
    std::string difference;
    EXPECT_TRUE(searchesAgreeFromHere(40, &difference)) << difference;
}
