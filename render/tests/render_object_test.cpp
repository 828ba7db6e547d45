// render_object_test.cpp -- the render-object table, the sphere mesh and the in-place vertex transform
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "render/render_object.h"

namespace {

Vector3 position(const Vertex& v) {
    return Vector3(v.x, v.y, v.z);
}

class RenderObjects : public ::testing::Test {
  protected:
    void SetUp() override { resetRenderObjects(); }
    void TearDown() override { resetRenderObjects(); }
};

} // namespace

TEST_F(RenderObjects, SphereOfFourSlicesAndThreeRingsIsAnOctahedron) {
    RenderObject* o = appendRenderObject();
    buildSphereMesh(o, IDENTITY_MATRIX, nullptr, 4, 3);
    ASSERT_EQ(o->vertexCount, 48);
    for (int i : {0, 3, 6}) {
        EXPECT_NEAR(o->vertices[i].x, 0.0f, 1e-7f) << i;
        EXPECT_NEAR(o->vertices[i].y, 0.0f, 1e-7f) << i;
        EXPECT_EQ(o->vertices[i].z, 1.0f) << i;
    }
    int faces = 0;
    for (int t = 0; t < 16; ++t) {
        const Vertex* v = o->vertices + 3 * t;
        for (int c = 0; c < 3; ++c) {
            // Octahedron corners on the unit sphere, normal = position.
            const Vector3 p = position(v[c]);
            EXPECT_NEAR(std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z), 1.0f, 1e-6f);
            EXPECT_EQ(v[c].nx, v[c].x);
        }
        const Vector3 n = cross(position(v[1]) - position(v[0]), position(v[2]) - position(v[0]));
        if (lengthSquared(n) < 1e-6f) continue; // the pole triangles collapse
        // One winding for all real faces: the face normal points away from the centre.
        ++faces;
        EXPECT_GT(dot(n, position(v[0]) + position(v[1]) + position(v[2])), 0.0f) << "triangle " << t;
    }
    EXPECT_EQ(faces, 8);
    EXPECT_EQ(o->vertices[2].tu, 0.25f);
    EXPECT_EQ(o->vertices[2].tv, 0.5f);
}

TEST_F(RenderObjects, TransformScalesPositionsAndKeepsNormalsUnit) {
    RenderObject* o = appendRenderObject();
    buildSphereMesh(o, IDENTITY_MATRIX, nullptr, 4, 3);
    const Vertex before = o->vertices[1];
    transformVertices(o, Matrix4(2.5f, 0, 0, 0, 0, 2.5f, 0, 0, 0, 0, 2.5f, 0, 10, 20, 30, 1));
    EXPECT_EQ(o->vertices[1].x, before.x * 2.5f + 10.0f);
    EXPECT_EQ(o->vertices[1].tu, before.tu);
    for (int i = 0; i < o->vertexCount; ++i) {
        const Vertex& v = o->vertices[i];
        EXPECT_NEAR(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz, 1.0f, 1e-6f) << i;
        EXPECT_NEAR(v.nx, (v.x - 10.0f) / 2.5f, 1e-6f) << i; // normals take no translation
    }
    // A normal the matrix maps to zero stays zero instead of becoming NaN.
    o->vertices[0].nx = 0.0f;
    o->vertices[0].ny = 0.0f;
    o->vertices[0].nz = 1.0f;
    transformVertices(o, Matrix4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1));
    EXPECT_EQ(o->vertices[0].nz, 0.0f);
    EXPECT_EQ(o->vertices[0].nx, 0.0f);
}

TEST_F(RenderObjects, CapacityAndBadCountsAreRefused) {
    for (int i = 0; i < MAX_RENDER_OBJECTS; ++i)
        ASSERT_EQ(appendRenderObject(), &renderObjects[i]);
    testing::internal::CaptureStderr();
    EXPECT_EQ(appendRenderObject(), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MAX_RENDER_OBJECTS"), std::string::npos);
    EXPECT_EQ(renderObjectCount, MAX_RENDER_OBJECTS);

    RenderObject o{};
    testing::internal::CaptureStderr();
    initRenderObject(&o, IDENTITY_MATRIX, nullptr, -6);
    initRenderObject(&o, IDENTITY_MATRIX, nullptr, MAX_OBJECT_VERTICES + 3);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(o.vertexCount, 0);
    EXPECT_EQ(o.vertices, nullptr);
    buildSphereMesh(&o, IDENTITY_MATRIX, nullptr, 4, 1); // one ring: no bands
    EXPECT_EQ(o.vertexCount, 0);
    transformVertices(&o, IDENTITY_MATRIX);
    testing::internal::CaptureStderr();
    buildSphereMesh(&o, IDENTITY_MATRIX, nullptr, INT_MAX, INT_MAX); // a count beyond any integer
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MAX_OBJECT_VERTICES"), std::string::npos);
    EXPECT_EQ(o.vertexCount, 0);
    buildSphereMesh(&o, IDENTITY_MATRIX, nullptr, 8, 5);
    EXPECT_EQ(o.vertexCount, 6 * 8 * 4);
    freeRenderObject(&o);
    EXPECT_EQ(o.vertices, nullptr);
    freeRenderObject(&o);
}
