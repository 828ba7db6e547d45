// fixed_function_device.h -- the Direct3D 7 device on OpenGL's fixed function: its DirectDraw factory (no GL
// or SDL types). Desktop OpenGL only (a compatibility-profile context); the surfaces and the context layer
// are those of the shader device.
#pragma once

#include "platform/core/platform_core.h"

// DirectDrawCreateEx's implementation whose IDirect3D7::CreateDevice makes fixed-function devices (install
// it with platformSetDirectDrawFactory).
HRESULT glCreateDirectDraw(GUID* guid, REFIID iid, IUnknown* outer, IDirectDraw7** directDraw);
