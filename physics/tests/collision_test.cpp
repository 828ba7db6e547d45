// collision_test.cpp -- sphere-triangle contact features, boundaries and contact gathering
#include <limits>

#include "physics/tests/physics_test_util.h"

namespace {

const Vector3 A(0, 0, 0), B(1, 0, 0), C(0, 1, 0);

void expectPoint(const Vector3& got, float x, float y, float z) {
    EXPECT_FLOAT_EQ(got.x, x);
    EXPECT_FLOAT_EQ(got.y, y);
    EXPECT_FLOAT_EQ(got.z, z);
}

using Collision = PhysicsTest;

} // namespace

TEST(SphereTriangle, FaceEdgeAndVertexFeatures) {
    Vector3 c(99, 99, 99);
    EXPECT_EQ(sphereTriangleContact(Vector3(0.25f, 0.25f, 0.4f), 0.5f, A, B, C, &c), CONTACT_FACE);
    expectPoint(c, 0.25f, 0.25f, 0.0f);
    EXPECT_EQ(sphereTriangleContact(Vector3(0.25f, 0.25f, -0.4f), 0.5f, A, B, C, &c),
              CONTACT_FACE); // back side
    expectPoint(c, 0.25f, 0.25f, 0.0f);
    EXPECT_EQ(sphereTriangleContact(Vector3(0.5f, -0.3f, 0.0f), 0.5f, A, B, C, &c), CONTACT_EDGE);
    expectPoint(c, 0.5f, 0.0f, 0.0f);
    EXPECT_EQ(sphereTriangleContact(Vector3(-0.3f, -0.3f, 0.0f), 0.5f, A, B, C, &c), CONTACT_VERTEX);
    expectPoint(c, 0.0f, 0.0f, 0.0f);
    // Outside edge 2 only, but edge 0 comes first and is within range.
    EXPECT_EQ(sphereTriangleContact(Vector3(0.5f, 0.25f, 0.0f), 0.5f, A, B, Vector3(1, 0.3f, 0), &c),
              CONTACT_EDGE);
    expectPoint(c, 0.5f, 0.0f, 0.0f);
    // Misses leave the destination alone; degenerate triangles never touch.
    c = Vector3(7, 8, 9);
    EXPECT_EQ(sphereTriangleContact(Vector3(0.25f, 0.25f, 0.6f), 0.5f, A, B, C, &c), CONTACT_NONE);
    EXPECT_EQ(sphereTriangleContact(Vector3(2.0f, 2.0f, 0.0f), 0.5f, A, B, C, &c), CONTACT_NONE);
    EXPECT_EQ(sphereTriangleContact(Vector3(0, 0, 0.1f), 5.0f, A, B, B, &c), CONTACT_NONE);
    EXPECT_EQ(sphereTriangleContact(Vector3(0, 0, 0.1f), 5.0f, A, B, Vector3(2, 0, 0), &c), CONTACT_NONE);
    // Nor do triangles with a vertex that is not finite (they would otherwise touch every sphere).
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(sphereTriangleContact(Vector3(0, 0, 0.1f), 5.0f, A, B, Vector3(0, nan, 0), &c), CONTACT_NONE);
    EXPECT_EQ(sphereTriangleContact(Vector3(500, 9, 70), 0.5f, A, Vector3(inf, 0, 0), C, &c), CONTACT_NONE);
    expectPoint(c, 7, 8, 9);
}

TEST(SphereTriangle, BoundariesCountAsContact) {
    // Values exact in binary, so each boundary is met exactly.
    const Vector3 v0(0, 0, 0), v1(4, 0, 0), v2(0, 4, 0);
    Vector3 c;
    EXPECT_EQ(sphereTriangleContact(Vector3(1, 1, 0.5f), 0.5f, v0, v1, v2, &c), CONTACT_FACE); // |h| = r
    EXPECT_EQ(sphereTriangleContact(Vector3(1, 1, -0.5f), 0.5f, v0, v1, v2, &c), CONTACT_FACE);
    // Centre exactly above edge 0's line: counts as outside, found as an edge contact.
    EXPECT_EQ(sphereTriangleContact(Vector3(1, 0, 0.25f), 0.5f, v0, v1, v2, &c), CONTACT_EDGE);
    expectPoint(c, 1, 0, 0);
    // s = 0 and s = L on edge 0 with w.w = r.r; beyond the end of edge 2 the edge wins over the vertex.
    EXPECT_EQ(sphereTriangleContact(Vector3(0, -0.5f, 0), 0.5f, v0, v1, v2, &c), CONTACT_EDGE);
    expectPoint(c, 0, 0, 0);
    EXPECT_EQ(sphereTriangleContact(Vector3(4, -0.5f, 0), 0.5f, v0, v1, v2, &c), CONTACT_EDGE);
    expectPoint(c, 4, 0, 0);
    EXPECT_EQ(sphereTriangleContact(Vector3(-0.5f, 0, 0), 0.5f, v0, v1, v2, &c), CONTACT_EDGE);
    // Vertex distance = r (0.375^2 + 0.5^2 = 0.625^2 exactly), beyond every edge span.
    EXPECT_EQ(sphereTriangleContact(Vector3(-0.375f, -0.5f, 0), 0.625f, v0, v1, v2, &c), CONTACT_VERTEX);
    expectPoint(c, 0, 0, 0);
    EXPECT_EQ(sphereTriangleContact(Vector3(-0.375f, -0.5f, 0), 0.62f, v0, v1, v2, &c), CONTACT_NONE);
}

TEST_F(Collision, GatheringStopsAtThirtyTwoContactsInTriangleOrder) {
    // 40 small floor triangles under a sphere at the origin, all within reach; triangle t is at x = t/20 - 1.
    std::vector<Vector3> points;
    for (int t = 0; t < 40; ++t) {
        const float x = static_cast<float>(t) / 20.0f - 1.0f;
        points.insert(points.end(),
                      {Vector3(x, 0, -0.02f), Vector3(x + 0.02f, 0, 0.02f), Vector3(x - 0.02f, 0, 0.02f)});
    }
    registerWorldMesh(meshOf(points));
    Vector3 contacts[MAX_WORLD_CONTACTS];
    ASSERT_EQ(gatherWorldContacts(Vector3(0, 1.5f, 0), 2.0f, contacts), MAX_WORLD_CONTACTS);
    for (int t = 0; t < MAX_WORLD_CONTACTS; ++t) {
        EXPECT_NEAR(contacts[t].x, static_cast<float>(t) / 20.0f - 1.0f, 0.021f) << t;
    }
}

TEST_F(Collision, MissingOrShortVertexArraysHaveNoTriangles) {
    Vector3 contacts[MAX_WORLD_CONTACTS];
    EXPECT_EQ(gatherWorldContacts(Vector3(0, 0, 0), 1.0f, contacts), 0); // nothing registered
    RenderObject* mesh = meshOf({A, B, C, A, B, C, A, B});               // two triangles and a remnant
    EXPECT_EQ(worldTriangleCount(mesh), 2);
    ASSERT_EQ(registerWorldMesh(mesh), 0);
    EXPECT_EQ(gatherWorldContacts(Vector3(0.2f, 0.2f, 0.1f), 0.5f, contacts), 2);
    // A count without an array (a failed allocation elsewhere), and counts below one triangle.
    Vertex* saved = mesh->vertices;
    mesh->vertices = nullptr;
    EXPECT_EQ(gatherWorldContacts(Vector3(0.2f, 0.2f, 0.1f), 0.5f, contacts), 0);
    mesh->vertices = saved;
    mesh->vertexCount = 2;
    EXPECT_EQ(gatherWorldContacts(Vector3(0.2f, 0.2f, 0.1f), 0.5f, contacts), 0);
    mesh->vertexCount = -9;
    EXPECT_EQ(worldTriangleCount(mesh), 0);
    // The list holds two meshes.
    EXPECT_EQ(registerWorldMesh(mesh), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(registerWorldMesh(mesh), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MAX_WORLD_MESHES"), std::string::npos);
}
