// physics_test_util.h -- a clean-slate fixture and triangle meshes for the physics tests
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"

// Starts and ends every test with an empty render-object table, body store and world.
class PhysicsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetRenderObjects();
        resetPhysics();
    }
    void TearDown() override { SetUp(); }
};

// Appends a render object holding the given triangle corners (world coordinates, normals +y).
inline RenderObject* meshOf(const std::vector<Vector3>& points) {
    RenderObject* o = appendRenderObject();
    initRenderObject(o, IDENTITY_MATRIX, nullptr, static_cast<int>(points.size()));
    for (size_t i = 0; i < points.size(); ++i)
        o->vertices[i] = Vertex{points[i].x, points[i].y, points[i].z, 0, 1, 0, 0, 0};
    return o;
}
