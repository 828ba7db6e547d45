// simulation.h -- the fixed-step penalty-method simulation of the sphere bodies
#pragma once

// The frame's time step, 1/60 s (single precision 0.016666668).
constexpr float SIMULATION_DT = 1.0f / 60.0f;

// Constants of the step (single precision unless noted).
constexpr double SPIN_THRESHOLD = 1e-7;          // rad/s, compared in double: no rotation at or below it
constexpr float CONTACT_MIN_DISTANCE_SQ = 1e-7f; // units^2: a contact at the centre itself is skipped
constexpr float CONTACT_STIFFNESS = 128.0f;      // normal force 128 * penetration / dt
constexpr float CONTACT_DAMPING = 100.5f;        // normal force -100.5 * normal speed
constexpr float FRICTION_COEFFICIENT = 1.6f;     // Coulomb limit 1.6 * normal force
constexpr float MIN_SLIDING_SPEED = 1e-5f;       // units/s: slower sliding gets no kinetic friction
constexpr float GRAVITY = 18.0f;                 // units/s^2 towards -y, times the body's mass
constexpr float LINEAR_DRAG = 2.5f;              // force -2.5 * velocity (not scaled by mass)
constexpr float ANGULAR_DRAG = 2.5f;             // torque -2.5 * angular velocity
constexpr float PAIR_STIFFNESS = 30.0f;          // pair force 30 * overlap / dt

// How the step finds world contacts and body pairs. Both give bit-identical results; the exhaustive
// search (every body against every triangle, every pair of bodies) is kept as the reference.
enum ContactSearch {
    SEARCH_EXHAUSTIVE = 0,  // every triangle, every pair
    SEARCH_ACCELERATED = 1, // bounding-volume hierarchy over the triangles, sort and sweep over the pairs
};
extern ContactSearch contactSearch; // search used by stepSimulation; SEARCH_ACCELERATED after a reset

// Advances every body by dt seconds in four phases: integration of the accumulated force and torque
// (then cleared), world contacts, gravity and drag, body pairs. Phases 2-4 refill the accumulators for
// the next call, so every force acts one step late. dt must be > 0; any other value does nothing.
void stepSimulation(float dt);

// Empties the body store and the world-mesh list (with its contact index) and selects the accelerated
// search. Render objects are reset by resetRenderObjects.
void resetPhysics();
