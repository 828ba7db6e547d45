// no_bitmaps.cpp -- LoadImageA where no platform library reads bitmaps: every bitmap fails to open
//
// Linked into cave-tracecheck only when neither the platform core nor the SDL backend defines LoadImageA
// (the WebAssembly build). The scene set-up then shows its "Texure Cannot Open" box for each bitmap and
// goes on without that texture; textures never reach the simulation, so the body trace is unchanged.
#include "platform/win32.h"

HANDLE LoadImageA(HINSTANCE, LPCSTR, UINT, int, int, UINT) {
    return nullptr;
}
