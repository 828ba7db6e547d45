// culling.h -- whether the demo's device draws a triangle seen from a point (tests)
#pragma once

#include <array>

namespace cavegen_test {

using P3 = std::array<double, 3>;

inline P3 sub(const P3& a, const P3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline double dot(const P3& a, const P3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline P3 cross(const P3& a, const P3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Whether the triangle survives D3DCULL_CCW seen from `eye` by the demo's camera looking at its
// centre: rows right = up x forward, up = forward x right (left-handed, y up), screen y down;
// culled when the corners run counter-clockwise on screen.
inline bool visibleFrom(const P3& eye, const P3& a, const P3& b, const P3& c) {
    P3 centre = {(a[0] + b[0] + c[0]) / 3, (a[1] + b[1] + c[1]) / 3, (a[2] + b[2] + c[2]) / 3};
    P3 f = sub(centre, eye);
    P3 r = {f[2], 0.0, -f[0]};
    P3 u = cross(f, r);
    auto screen = [&](const P3& p) {
        P3 d = sub(p, eye);
        double z = dot(d, f);
        return std::array<double, 2>{dot(d, r) / z, -dot(d, u) / z};
    };
    auto sa = screen(a), sb = screen(b), sc = screen(c);
    double area = (sb[0] - sa[0]) * (sc[1] - sa[1]) - (sb[1] - sa[1]) * (sc[0] - sa[0]);
    return area > 0.0; // clockwise with y down
}

} // namespace cavegen_test
