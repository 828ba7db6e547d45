// windows_api.h -- the real Win32 for the system's code on Windows: platform/win32.h includes it when the
// system is built for the Windows host (CAVE_REAL_WIN32). The system's calls go to user32, gdi32 and
// kernel32 themselves, but for two that the host routes through its own functions (windows_host.cpp):
// - GetKeyState: Windows keeps the key state for the input it makes itself, not for the key messages the
//   host posts for an input script; the host's GetKeyState adds those keys, held from the moment their
//   key-down message is taken from the queue until their key-up is, as the system sees them on Linux.
// - PeekMessageA: the real call, after which the host follows its posted keys and shows every taken
//   message to its observer (cave-demo's --record).
#pragma once

// As on the other targets, the system's view of its platform brings the fixed-width integer types along.
#include <cstddef>
#include <cstdint>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

SHORT windowsHostGetKeyState(int virtKey);
BOOL windowsHostPeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage);

#define GetKeyState windowsHostGetKeyState
#define PeekMessageA windowsHostPeekMessageA
