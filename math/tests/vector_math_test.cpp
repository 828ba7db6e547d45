// vector_math_test.cpp -- products, aliasing, translation and rotation conventions of the math module
#include <gtest/gtest.h>

#include <cmath>

#include "math/vector_math.h"

namespace {

Matrix4 sample(float base) {
    Matrix4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = base + 0.37f * static_cast<float>(i * i % 7) - 0.5f * static_cast<float>(i);
    return m;
}

void expectRowsEqual(const Matrix4& a, const Matrix4& b) {
    for (int i = 0; i < 16; ++i) EXPECT_EQ(a.m[i], b.m[i]) << "element " << i;
}

}  // namespace

TEST(VectorMath, VectorOperationsFollowTheirFormulas) {
    const Vector3 z = cross(Vector3(1, 0, 0), Vector3(0, 1, 0));
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    const Vector3 c = cross(Vector3(1, 2, 3), Vector3(4, 5, 6));
    EXPECT_EQ(c.x, -3.0f);
    EXPECT_EQ(c.y, 6.0f);
    EXPECT_EQ(c.z, -3.0f);
    // Division divides (1/3 is not exactly representable, so x * (1/3) differs from x / 3 for some x).
    const Vector3 d = Vector3(10.0f, 1.0f, 7.0f) / 3.0f;
    EXPECT_EQ(d.x, 10.0f / 3.0f);
    EXPECT_EQ(d.z, 7.0f / 3.0f);
    Vector3 a(1, 2, 3);
    a += a;  // destination may be the operand
    EXPECT_EQ(a.y, 4.0f);
    a -= Vector3(2, 4, 6);
    EXPECT_EQ(lengthSquared(a), 0.0f);
}

TEST(VectorMath, MatrixMultiplyMayWriteIntoEitherOperand) {
    const Matrix4 a = sample(1.0f), b = sample(-2.0f);
    Matrix4 expected;
    matrixMultiply(expected, a, b);
    // Spot-check one element against the sum written out.
    EXPECT_EQ(expected.m[6], ((a.m[4] * b.m[2] + a.m[5] * b.m[6]) + a.m[6] * b.m[10]) + a.m[7] * b.m[14]);
    Matrix4 left = a;
    matrixMultiply(left, left, b);
    expectRowsEqual(left, expected);
    Matrix4 right = b;
    matrixMultiply(right, a, right);
    expectRowsEqual(right, expected);
    Matrix4 square = a, squareExpected;
    matrixMultiply(squareExpected, a, a);
    matrixMultiply(square, square, square);
    expectRowsEqual(square, squareExpected);
}

TEST(VectorMath, RotationThenTranslationPlacesThePose) {
    Matrix4 r, t, pose;
    axisAngleMatrix(r, Vector3(0.6f, 0.0f, 0.8f), 0.7f);
    translationMatrix(t, 3.0f, -4.0f, 5.0f);
    matrixMultiply(pose, r, t);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(pose.m[i], r.m[i]) << i;
    EXPECT_EQ(pose.m[12], 3.0f);
    EXPECT_EQ(pose.m[13], -4.0f);
    EXPECT_EQ(pose.m[14], 5.0f);
    EXPECT_EQ(pose.m[15], 1.0f);

    // A pose times a translation on the right moves row 3 only.
    Matrix4 moved;
    translationMatrix(t, 0.5f, 0.25f, -1.0f);
    matrixMultiply(moved, pose, t);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(moved.m[i], pose.m[i]) << i;
    EXPECT_EQ(moved.m[12], 3.5f);
    EXPECT_EQ(moved.m[13], -3.75f);
    EXPECT_EQ(moved.m[14], 4.0f);

    const Vector3 p = transformPoint(Vector3(1, 0, 0), moved);
    EXPECT_FLOAT_EQ(p.x, moved.m[0] + 3.5f);
    const Vector3 d = transformDirection(Vector3(0, 0, 1), moved);
    EXPECT_EQ(d.y, moved.m[9]);
}

TEST(VectorMath, AxisAngleTurnsInTheSenseOfTheCrossProduct) {
    const float theta = 0.3f;
    Matrix4 r;
    axisAngleMatrix(r, Vector3(0, 0, 1), theta);
    EXPECT_FLOAT_EQ(r.m[0], std::cos(theta));
    EXPECT_FLOAT_EQ(r.m[1], std::sin(theta));
    EXPECT_EQ(r.m[2], 0.0f);
    EXPECT_FLOAT_EQ(r.m[4], -std::sin(theta));
    EXPECT_FLOAT_EQ(r.m[5], std::cos(theta));
    EXPECT_EQ(r.m[10], 1.0f);
    EXPECT_EQ(r.m[15], 1.0f);
    EXPECT_EQ(r.m[3], 0.0f);
    EXPECT_EQ(r.m[12], 0.0f);

    // For a small angle about any unit axis, v R ~ v + angle (axis x v); and R stays orthonormal.
    const Vector3 axis(2.0f / 7.0f, -3.0f / 7.0f, 6.0f / 7.0f);
    const float small = 1e-3f;
    axisAngleMatrix(r, axis, small);
    const Vector3 v(0.3f, 1.2f, -0.7f);
    const Vector3 turned = transformDirection(v, r);
    const Vector3 predicted = v + cross(axis, v) * small;
    EXPECT_NEAR(turned.x, predicted.x, 1e-5f);
    EXPECT_NEAR(turned.y, predicted.y, 1e-5f);
    EXPECT_NEAR(turned.z, predicted.z, 1e-5f);
    const Vector3 row0(r.m[0], r.m[1], r.m[2]), row1(r.m[4], r.m[5], r.m[6]);
    EXPECT_NEAR(lengthSquared(row0), 1.0f, 1e-6f);
    EXPECT_NEAR(dot(row0, row1), 0.0f, 1e-6f);
    // The axis itself is left where it is.
    const Vector3 fixed = transformDirection(axis, r);
    EXPECT_NEAR(fixed.x, axis.x, 1e-6f);
    EXPECT_NEAR(fixed.z, axis.z, 1e-6f);
}
