// pair_search.h -- broad phase for body pairs: sort and sweep along the axis of widest spread
#pragma once

#include "physics/bodies.h"

constexpr int MAX_BODY_PAIRS = MAX_BODIES * (MAX_BODIES - 1) / 2; // every pair of the store

// Finds the pairs (i, j), i < j < count, whose spheres may overlap: a superset of the pairs the exact
// test D.D < (ri + rj)^2 accepts, in the exhaustive loop's order (i ascending, then j ascending), so
// that forces are summed in the same order. pairs[k] = i * MAX_BODIES + j. Bodies without a render
// object or with a non-finite centre are left out (the exact test never accepts them). Returns the
// number of pairs, or -1 when some radius is negative, not finite or beyond 1e18: then the caller
// must test every pair.
int findCandidatePairs(int count, int pairs[MAX_BODY_PAIRS]);
