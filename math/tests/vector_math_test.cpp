// vector_math_test.cpp -- products, aliasing, translation and rotation conventions of the math module
#include <gtest/gtest.h>

#include <cmath>

#include "math/vector_math.h"

namespace {

void expectSame(const Matrix4& a, const Matrix4& b, int count = 16) {
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(a.m[i], b.m[i]) << "element " << i;
}

} // namespace

TEST(VectorMath, MatrixMultiplyMayWriteIntoEitherOperand) {
    Matrix4 a, b;
    for (int i = 0; i < 16; ++i) {
        a.m[i] = 0.37f * static_cast<float>(i * i % 7) - 0.5f * static_cast<float>(i);
        b.m[i] = 1.25f - 0.11f * static_cast<float>(i * 5 % 9);
    }
    Matrix4 expected;
    matrixMultiply(expected, a, b);
    EXPECT_EQ(expected.m[6], ((a.m[4] * b.m[2] + a.m[5] * b.m[6]) + a.m[6] * b.m[10]) + a.m[7] * b.m[14]);
    Matrix4 left = a, right = b, square = a, squareExpected;
    matrixMultiply(left, left, b);
    expectSame(left, expected);
    matrixMultiply(right, a, right);
    expectSame(right, expected);
    matrixMultiply(squareExpected, a, a);
    matrixMultiply(square, square, square);
    expectSame(square, squareExpected);
}

TEST(VectorMath, RotationThenTranslationPlacesThePose) {
    Matrix4 r, t, pose, moved;
    axisAngleMatrix(r, Vector3(0.6f, 0.0f, 0.8f), 0.7f);
    translationMatrix(t, 3.0f, -4.0f, 5.0f);
    matrixMultiply(pose, r, t);
    expectSame(pose, r, 12);
    EXPECT_EQ(pose.m[12], 3.0f);
    EXPECT_EQ(pose.m[13], -4.0f);
    EXPECT_EQ(pose.m[14], 5.0f);
    EXPECT_EQ(pose.m[15], 1.0f);
    // A pose times a translation on the right moves row 3 only.
    translationMatrix(t, 0.5f, 0.25f, -1.0f);
    matrixMultiply(moved, pose, t);
    expectSame(moved, pose, 12);
    EXPECT_EQ(moved.m[12], 3.5f);
    EXPECT_EQ(moved.m[13], -3.75f);
    EXPECT_EQ(moved.m[14], 4.0f);
}

TEST(VectorMath, AxisAngleTurnsInTheSenseOfTheCrossProduct) {
    const Vector3 z = cross(Vector3(1, 0, 0), Vector3(0, 1, 0));
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    // About +z the x axis turns towards +y: row 0 = (cos, sin, 0), row 1 = (-sin, cos, 0).
    const float theta = 0.3f;
    Matrix4 r;
    axisAngleMatrix(r, Vector3(0, 0, 1), theta);
    EXPECT_FLOAT_EQ(r.m[0], std::cos(theta));
    EXPECT_FLOAT_EQ(r.m[1], std::sin(theta));
    EXPECT_FLOAT_EQ(r.m[4], -std::sin(theta));
    EXPECT_FLOAT_EQ(r.m[5], std::cos(theta));
    EXPECT_EQ(r.m[2], 0.0f);
    EXPECT_EQ(r.m[10], 1.0f);
    EXPECT_EQ(r.m[12], 0.0f);
    EXPECT_EQ(r.m[15], 1.0f);
    // About any unit axis a small angle gives v R ~ v + angle (axis x v), and the axis stays put.
    const Vector3 axis(2.0f / 7.0f, -3.0f / 7.0f, 6.0f / 7.0f), v(0.3f, 1.2f, -0.7f);
    axisAngleMatrix(r, axis, 1e-3f);
    const Vector3 turned = transformDirection(v, r), predicted = v + cross(axis, v) * 1e-3f;
    const Vector3 fixed = transformDirection(axis, r);
    EXPECT_NEAR(lengthSquared(turned - predicted), 0.0f, 1e-10f);
    EXPECT_NEAR(lengthSquared(fixed - axis), 0.0f, 1e-12f);
}
