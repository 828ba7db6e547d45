// directx_api.h -- the real DirectDraw 7 and Direct3D 7 for the system's code on Windows: platform/d3d7.h
// includes it when the system is built for the Windows host (CAVE_REAL_WIN32). The interfaces, records,
// constants and GUIDs are MinGW-w64's <ddraw.h> and <d3d.h> (ddraw.dll, libdxguid); nothing is routed.
#pragma once

#include <d3d.h>
#include <ddraw.h>
