// search_comparison.h -- runs the step with the exhaustive and the accelerated contact search in
// lockstep and compares every float of the body store bit for bit
#pragma once

#include <string>

#include "render/render_object.h"

// From the current state: for each of `steps` steps, steps once with the exhaustive search and once,
// from the same state, with the accelerated one, and compares every world matrix, velocity, angular
// velocity, force and torque bit for bit; the run goes on from the agreed state. Returns true when
// every step agrees; otherwise false, with the first difference (step, body, field, both values) in
// *difference if given. contactSearch is left as it was.
bool searchesAgreeFromHere(int steps, std::string* difference);
