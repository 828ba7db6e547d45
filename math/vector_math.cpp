// vector_math.cpp -- matrix products, translation and axis-angle rotation matrices
#include "math/vector_math.h"

#include "math/trig.h"

void matrixMultiply(Matrix4& dst, const Matrix4& a, const Matrix4& b) {
    // dst(i, j) = sum over k of a(i, k) * b(k, j), each sum from 0 in order k = 0..3, written
    // through a temporary so that dst may alias a or b.
    Matrix4 t;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[4 * i + k] * b.m[4 * k + j];
            t.m[4 * i + j] = sum;
        }
    }
    dst = t;
}

void translationMatrix(Matrix4& dst, float x, float y, float z) {
    dst = IDENTITY_MATRIX;
    dst.m[12] = x;
    dst.m[13] = y;
    dst.m[14] = z;
}

void axisAngleMatrix(Matrix4& dst, const Vector3& axis, float angle) {
    // Rodrigues' rotation for row vectors, c = cos, s = sin, t = 1 - c:
    //   | t ax ax + c      t ax ay + s az   t ax az - s ay |
    //   | t ax ay - s az   t ay ay + c      t ay az + s ax |
    //   | t ax az + s ay   t ay az - s ax   t az az + c    |
    const double c = cave::cosDouble(angle);
    const double s = cave::sinDouble(angle);
    const double t = 1.0 - c;
    const double ax = axis.x, ay = axis.y, az = axis.z;
    dst = IDENTITY_MATRIX;
    dst.m[0] = static_cast<float>(t * ax * ax + c);
    dst.m[1] = static_cast<float>(t * ax * ay + s * az);
    dst.m[2] = static_cast<float>(t * ax * az - s * ay);
    dst.m[4] = static_cast<float>(t * ax * ay - s * az);
    dst.m[5] = static_cast<float>(t * ay * ay + c);
    dst.m[6] = static_cast<float>(t * ay * az + s * ax);
    dst.m[8] = static_cast<float>(t * ax * az + s * ay);
    dst.m[9] = static_cast<float>(t * ay * az - s * ax);
    dst.m[10] = static_cast<float>(t * az * az + c);
}

Vector3 transformPoint(const Vector3& p, const Matrix4& m) {
    return Vector3(p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12],
                   p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13],
                   p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14]);
}

Vector3 transformDirection(const Vector3& d, const Matrix4& m) {
    return Vector3(d.x * m.m[0] + d.y * m.m[4] + d.z * m.m[8], d.x * m.m[1] + d.y * m.m[5] + d.z * m.m[9],
                   d.x * m.m[2] + d.y * m.m[6] + d.z * m.m[10]);
}
