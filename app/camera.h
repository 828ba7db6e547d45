// camera.h -- the keyboard camera: driving, turning and lifting the ball, the chase camera, the drawing
#pragma once

#include "math/vector_math.h"

extern Vector3
    cameraDirection;   // horizontal forward direction of the camera (y stays 0); (0, 0, 1) after set-up
extern float turnRate; // camera turn of this frame, radians per frame; damped by TURN_DECAY

constexpr float DRIVE_TORQUE = 485.5f;  // driving torque per unit of mass, arrow up / arrow down
constexpr float DRIVE_DAMPING = 220.5f; // angular damping added with each driving torque
constexpr float TURN_STEP = 0.003f;     // change of turnRate per frame while a side arrow is held, radians
constexpr float TURN_DECAY = 0.95f;     // factor on turnRate after each frame's turn
constexpr float LIFT_FORCE = 40.0f;     // upward force per unit of mass while space is held
constexpr float CAMERA_DISTANCE = 8.0f; // eye behind the ball, along the forward direction
constexpr float CAMERA_HEIGHT = 3.0f;   // eye above the ball's centre

// Once per frame inside the scene: keys to drive, turn and lift; one simulation step of 1/60 s (between the
// frame loop's beforeStep and afterStep hooks, app/shell.h); the
// normal or (shift) see-through render states; the chase camera; every render object drawn in order.
void updateCameraAndDraw();

// Camera pose behind and above the point p, looking along d: rows (d.z, 0, -d.x), d x right, d, and the
// eye p - 8 d + (0, 3, 0).
void buildCameraPose(Matrix4& pose, const Vector3& d, const Vector3& p);

// Zeroes cameraDirection and turnRate (tests).
void resetCamera();
