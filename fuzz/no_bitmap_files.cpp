// no_bitmap_files.cpp -- LoadImageA for fuzz programs built without the SDL backend: no bitmap file opens
#include "platform/win32.h"

HANDLE LoadImageA(HINSTANCE, LPCSTR, UINT, int, int, UINT) {
    return nullptr;
}
