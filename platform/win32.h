// win32.h -- the Win32 subset the demo calls (user32, gdi32, kernel32), with the published names and values.
//
// This is the system's view of its platform. On Linux and in a browser our own core answers these calls
// (platform/core/, no SDL): it owns the window table, the message queue, the key states, the clock and the
// GDI bitmap / device-context objects. What the core offers besides Win32 (the backend interface, the
// clock's modes, input as the user gives it) is in platform/core/platform_core.h. A backend (platform/sdl/,
// platform/html5/) plugs in at run time through platformSetBackend(): it creates the real window, feeds
// window, focus, keyboard and mouse events into the core, supplies real ticks and shows message boxes. With
// no backend installed (unit tests) the core runs on its own: windows exist only in the table, the clock is
// virtual and message boxes go to stderr.
//
// What the system relies on (and the core guarantees):
// - CreateWindowExA delivers WM_CREATE to the window procedure before it returns; if the window was
//   destroyed during WM_CREATE it returns null.
// - ShowWindow with a visible show command activates the window: WM_ACTIVATE (WA_ACTIVE) is sent before it
//   returns, as on Windows.
// - PeekMessageA never blocks; with PM_REMOVE it removes the message; WM_QUIT is returned like any message,
//   after the posted messages that were queued before it.
// - DefWindowProcA turns WM_CLOSE into DestroyWindow; DestroyWindow delivers WM_DESTROY synchronously.
// - GetKeyState: bit 0x8000 set while the key is held, as of the last key message taken from the queue.
// - GetTickCount: milliseconds, unsigned 32-bit, wrapping at 2^32.
// - Mouse messages carry client pixels in lParam: x in the low 16 bits, y in the high 16 bits.
#pragma once

#if defined(CAVE_REAL_WIN32)
// Built for the Windows host (platform/windows/, CAVE_REAL_WIN32): the real <windows.h>. The system's calls
// go to user32, gdi32 and kernel32 themselves, but for two that the host routes through its own functions:
// - GetKeyState: Windows keeps the key state for the input it makes itself, not for the key messages the
//   host posts for an input script; the host's GetKeyState adds those keys, held from the moment their
//   key-down message is taken from the queue until their key-up is, as the system sees them on Linux.
// - PeekMessageA: the real call, after which the host follows its posted keys and shows every taken
//   message to its observer (cave-demo's --record).
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

#else

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------------------------------------
// Basic types
// ---------------------------------------------------------------------------------------------------------
#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef int INT;
typedef short SHORT;
typedef char CHAR;
typedef float FLOAT;
typedef void* LPVOID;
typedef DWORD* LPDWORD;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef WORD ATOM;
typedef LONG HRESULT;
typedef DWORD COLORREF;
typedef void* HANDLE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Handles are distinct pointer types, as with STRICT on Windows.
struct HWND__;
struct HINSTANCE__;
struct HICON__;
struct HMENU__;
struct HDC__;
struct HGDIOBJ__; // brushes and bitmaps
typedef HWND__* HWND;
typedef HINSTANCE__* HINSTANCE;
typedef HICON__* HICON;
typedef HICON__* HCURSOR;
typedef HMENU__* HMENU;
typedef HDC__* HDC;
typedef HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ__* HBRUSH;
typedef HGDIOBJ__* HBITMAP;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
    LONG x;
    LONG y;
};
typedef POINT* LPPOINT;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
typedef MSG* LPMSG;

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

// ---------------------------------------------------------------------------------------------------------
// Macros
// ---------------------------------------------------------------------------------------------------------
#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b)                                                                                       \
    ((LONG)(((WORD)(((uintptr_t)(a)) & 0xffff)) | ((DWORD)((WORD)(((uintptr_t)(b)) & 0xffff))) << 16))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKEINTRESOURCEA(i) ((LPSTR)((uintptr_t)((WORD)(i))))
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

// ---------------------------------------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------------------------------------
// Window messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_USER 0x0400

// WM_ACTIVATE codes (low word of wParam).
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

// Mouse-message wParam flags.
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004

// Virtual-key codes.
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28

// PeekMessageA options.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Class and window styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define WS_OVERLAPPED 0x00000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_POPUP 0x80000000L
#define WS_VISIBLE 0x10000000L
#define WS_OVERLAPPEDWINDOW                                                                                  \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_EX_APPWINDOW 0x00040000L
#define CW_USEDEFAULT ((int)0x80000000)

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// SetWindowPos.
#define HWND_TOP ((HWND)0)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOACTIVATE 0x0010
#define SWP_SHOWWINDOW 0x0040
#define SWP_NOOWNERZORDER 0x0200

// Resources and stock objects.
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4

// LoadImageA.
#define IMAGE_BITMAP 0
#define LR_DEFAULTCOLOR 0x00000000
#define LR_LOADFROMFILE 0x00000010
#define LR_DEFAULTSIZE 0x00000040
#define LR_CREATEDIBSECTION 0x00002000

// Raster operation of BitBlt.
#define SRCCOPY ((DWORD)0x00CC0020)

// MessageBoxA.
#define MB_OK 0x00000000L
#define MB_ICONERROR 0x00000010L
#define IDOK 1

// ---------------------------------------------------------------------------------------------------------
// Win32 operations
// ---------------------------------------------------------------------------------------------------------
// user32: window class and window.
ATOM RegisterClassA(const WNDCLASSA* wc);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);     // a placeholder icon handle, never null
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name); // a placeholder cursor handle, never null
HGDIOBJ GetStockObject(int object);                   // a stock brush, never null
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL ShowWindow(HWND hwnd, int showCommand); // nonzero if the window was visible before
BOOL UpdateWindow(HWND hwnd);                // sends WM_PAINT now if the window needs painting
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL GetClientRect(HWND hwnd, LPRECT rect);
BOOL GetWindowRect(HWND hwnd, LPRECT rect); // outer rectangle in screen pixels
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL ClientToScreen(HWND hwnd, LPPOINT point);

// user32: messages.
BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage);
BOOL TranslateMessage(const MSG* msg); // no character messages are generated
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// user32: painting.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length); // accepted and not drawn

// user32 / kernel32: input and time.
SHORT GetKeyState(int virtKey);
DWORD GetTickCount(void);

// user32 / gdi32: bitmaps and device contexts.
// LoadImageA (bitmap_decode.cpp, the core) reads a Windows bitmap file; it needs no backend and no window.
// It returns null for a file that is missing, unreadable, not a plain file, not a bitmap or cut short, and
// for one whose header claims more than PLATFORM_MAX_BITMAP_SIDE pixels a side or
// PLATFORM_MAX_BITMAP_PIXELS in all (checked before any pixel memory is allocated, so a small hostile file
// cannot claim gigabytes). platformDecodeBitmap (bitmap_decode.h) is its decoder.
#define PLATFORM_MAX_BITMAP_SIDE 16384
#define PLATFORM_MAX_BITMAP_PIXELS (1 << 24) // 64 MiB at 32 bits per pixel
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);
int GetObjectA(HANDLE object, int size, LPVOID buffer); // BITMAP of a bitmap: width, height, 32 bpp
HDC CreateCompatibleDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Copies pixels between device contexts, converting them to the destination's format (for a 16-bit
// destination: each 8-bit channel keeps its top bits, as GDI does). Only SRCCOPY is supported.
BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop);
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);

// user32: message box. A modal box in a window session; one line "caption: text" on stderr when
// headless or with no backend. Returns IDOK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

#endif // CAVE_REAL_WIN32
