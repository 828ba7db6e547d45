// pair_search.cpp -- sort-and-sweep broad phase over the bodies' spheres
#include "physics/pair_search.h"

#include <algorithm>
#include <cmath>

namespace {

int sweepBodies[MAX_BODIES]; // bodies taking part, sorted by interval start
double sweepLo[MAX_BODIES];  // interval along the sweep axis per body number, world units
double sweepHi[MAX_BODIES];

bool finite(const Vector3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

} // namespace

int findCandidatePairs(int count, int pairs[MAX_BODY_PAIRS]) {
    if (count > MAX_BODIES) count = MAX_BODIES;
    int n = 0;
    float spreadLo[3] = {0, 0, 0}, spreadHi[3] = {0, 0, 0};
    for (int b = 0; b < count; ++b) {
        if (bodyRenderObject[b] == nullptr) continue;
        const float r = bodyRadius[b];
        if (!(r >= 0.0f && r <= 1e18f)) return -1;
        const Vector3 p = bodyPosition(b);
        if (!finite(p)) continue;
        const float c[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            if (n == 0 || c[a] < spreadLo[a]) spreadLo[a] = c[a];
            if (n == 0 || c[a] > spreadHi[a]) spreadHi[a] = c[a];
        }
        sweepBodies[n++] = b;
    }
    int axis = 0;
    for (int a = 1; a < 3; ++a) {
        if (static_cast<double>(spreadHi[a]) - spreadLo[a] >
            static_cast<double>(spreadHi[axis]) - spreadLo[axis]) {
            axis = a;
        }
    }
    // The exact test accepts D.D < s^2 (float), which implies |Di| < s (1 + a few ulps) along every
    // axis; intervals of half-width r (1 + 1e-3) + 1e-6 therefore overlap for every accepted pair.
    for (int k = 0; k < n; ++k) {
        const int b = sweepBodies[k];
        const Vector3 p = bodyPosition(b);
        const double c = axis == 0 ? p.x : (axis == 1 ? p.y : p.z);
        const double half = static_cast<double>(bodyRadius[b]) * (1.0 + 1e-3) + 1e-6;
        sweepLo[b] = c - half;
        sweepHi[b] = c + half;
    }
    std::sort(sweepBodies, sweepBodies + n,
              [](int a, int b) { return sweepLo[a] < sweepLo[b] || (sweepLo[a] == sweepLo[b] && a < b); });
    int found = 0;
    for (int k = 0; k < n; ++k) {
        const int a = sweepBodies[k];
        for (int m = k + 1; m < n && sweepLo[sweepBodies[m]] <= sweepHi[a]; ++m) {
            const int b = sweepBodies[m];
            pairs[found++] = a < b ? a * MAX_BODIES + b : b * MAX_BODIES + a;
        }
    }
    std::sort(pairs, pairs + found);
    return found;
}
