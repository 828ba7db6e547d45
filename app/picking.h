// picking.h -- picking a body on the screen with the mouse and dragging it in the plane of the screen
#pragma once

extern int dragging;               // 1 from a successful pick until the button is released
extern int pickedBody;             // number of the body being dragged
extern int lastMouseX, lastMouseY; // cursor at the pick or the last drag step, client pixels
extern float pickDepth;            // eye-to-body distance along the camera's forward axis at the pick

constexpr float PICK_WINDOW = 12.0f; // pixels: a body is picked when its centre is strictly closer in x and y

// Picks the lowest-numbered body whose centre lies beyond view depth 1 and projects strictly within
// PICK_WINDOW pixels of (x, y). A press that hits nothing changes nothing.
void pickBody(int x, int y);

// While dragging: moves the picked body's position by the cursor's movement in the screen plane at the
// pick depth (orientation and velocities untouched).
void dragBody(int x, int y);

// Ends the drag.
void dropBody(int x, int y);

// Clears the drag state (tests).
void resetPicking();
