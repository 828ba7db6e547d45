// bitmap_stand_in.cpp -- LoadImageA for the browser build while the platform core has no bitmap decoder:
// every bitmap fails to open (the demo shows its message box and draws untextured)
#include "platform/win32.h"

HANDLE LoadImageA(HINSTANCE, LPCSTR, UINT, int, int, UINT) {
    return nullptr;
}
