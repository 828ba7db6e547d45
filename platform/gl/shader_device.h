// shader_device.h -- the Direct3D 7 device on GLSL shaders: its DirectDraw factory (no GL or SDL types).
//
// The device draws with GLSL ES 3.00 shaders (GLSL 330 core on a desktop context) and vertex buffers, so
// it runs on an OpenGL ES 3.0 or WebGL2 context as well as an OpenGL 3.3 core one. It reproduces what
// the fixed-function device draws: row-vector transforms with the 0..1 clip depth, per-vertex (Gouraud)
// lighting with Direct3D 7's formula and the specular term added after texturing, white unlit
// vertices, texture modulation with point sampling and wrapping, the z-buffer states, blending, culling,
// the top-left fill rule and clears. Fill modes other than solid draw solid (OpenGL ES has no polygon
// mode).
//
// The surfaces, textures and presentation are those of gl/surfaces.cpp and the context layer the
// backend links (sdl/gl_context.cpp for SDL); the context must be current-able when the factory runs.
#pragma once

#include "platform/d3d7.h"
#include "platform/core/platform_core.h"

// DirectDrawCreateEx's implementation whose IDirect3D7::CreateDevice makes shader devices (install it
// with platformSetDirectDrawFactory). CreateDevice fails with DDERR_GENERIC if the shaders do not compile
// on the context (the reason goes to stderr).
HRESULT shaderCreateDirectDraw(GUID* guid, REFIID iid, IUnknown* outer, IDirectDraw7** directDraw);
