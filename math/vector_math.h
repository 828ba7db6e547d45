// vector_math.h -- the three-component vector and the 4x4 matrix shared by rendering, camera and simulation
//
// All arithmetic is single precision. Matrix4 is row-major, element (r, c) at index 4r + c, and points
// are row vectors multiplied on the left: (x, y, z, 1) * M. Rows 0-2 are the images of the local axes,
// row 3 the translation. This is the Direct3D 7 layout, handed to the device unchanged.
#pragma once

struct Vector3 {
    float x, y, z;

    constexpr Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
    constexpr Vector3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

    void set(float ax, float ay, float az) {
        x = ax;
        y = ay;
        z = az;
    }

    Vector3& operator+=(const Vector3& b) {
        x += b.x;
        y += b.y;
        z += b.z;
        return *this;
    }
    Vector3& operator-=(const Vector3& b) {
        x -= b.x;
        y -= b.y;
        z -= b.z;
        return *this;
    }
};
static_assert(sizeof(Vector3) == 12, "Vector3 is three floats and nothing else");

inline Vector3 operator+(const Vector3& a, const Vector3& b) {
    return Vector3(a.x + b.x, a.y + b.y, a.z + b.z);
}
inline Vector3 operator-(const Vector3& a, const Vector3& b) {
    return Vector3(a.x - b.x, a.y - b.y, a.z - b.z);
}
inline Vector3 operator-(const Vector3& a) {
    return Vector3(-a.x, -a.y, -a.z);
}
inline Vector3 operator*(const Vector3& a, float s) {
    return Vector3(a.x * s, a.y * s, a.z * s);
}
// Three true divisions (not a multiplication by 1/s); the caller keeps s away from 0.
inline Vector3 operator/(const Vector3& a, float s) {
    return Vector3(a.x / s, a.y / s, a.z / s);
}

inline float lengthSquared(const Vector3& a) {
    return a.x * a.x + a.y * a.y + a.z * a.z;
}
inline float dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vector3 cross(const Vector3& a, const Vector3& b) {
    return Vector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

struct Matrix4 {
    float m[16]; // element (r, c) at index 4r + c

    constexpr Matrix4() : m{} {}
    constexpr Matrix4(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
                      float m20, float m21, float m22, float m23, float m30, float m31, float m32, float m33)
        : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}

    float& operator()(int r, int c) { return m[4 * r + c]; }
    float operator()(int r, int c) const { return m[4 * r + c]; }
};
static_assert(sizeof(Matrix4) == 64, "Matrix4 is sixteen floats, the device's matrix layout");

// The identity; constant-initialised, so it is valid before any other start-up code runs.
inline constexpr Matrix4 IDENTITY_MATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);

// dst = a * b: applies a first, then b. Sums are formed in a temporary, so dst may be a or b.
void matrixMultiply(Matrix4& dst, const Matrix4& a, const Matrix4& b);

// dst = identity with row 3 = (x, y, z, 1).
void translationMatrix(Matrix4& dst, float x, float y, float z);

// dst = rotation by angle (radians) about the unit axis, right-handed: for a small angle
// v * R ~ v + angle * (axis x v). Cosine, sine and 1 - cos are formed in double precision
// (cave::cosDouble and cave::sinDouble, the same bits on every platform).
void axisAngleMatrix(Matrix4& dst, const Vector3& axis, float angle);

// The point (x, y, z, 1) * m and the direction (x, y, z, 0) * m.
Vector3 transformPoint(const Vector3& p, const Matrix4& m);
Vector3 transformDirection(const Vector3& d, const Matrix4& m);
