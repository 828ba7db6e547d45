// draw.h -- drawing one render object through the device from the camera pose
#pragma once

#include "math/vector_math.h"
#include "platform/d3d7.h"
#include "render/render_object.h"

// The view matrix of a camera pose: its rigid inverse. Upper 3x3 = transpose of the pose's, row 3 =
// (-(e.k0), -(e.k1), -(e.k2), 1) with e the eye (row 3) and k0..k2 the rows (not renormalised).
Matrix4 viewMatrixFromPose(const Matrix4& cameraPose);

// Sets the world, view and projection transforms, the slot's texture on stage 0 (null when the object has
// no slot or the slot is empty) and draws the object's triangle list. An object whose vertex array is
// missing while its count is not 0 is skipped. Every result goes to lastResult.
void drawRenderObject(RenderObject* object, Matrix4 cameraPose, IDirect3DDevice7* device);
