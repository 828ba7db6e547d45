// picture_placement.h -- where a window that can be resized shows the system's fixed client area, and which
// client pixel a point of the window is over. Shared by the SDL window and the browser's canvas.
#pragma once

// Where a window shows its client area: the largest rectangle of the client area's aspect that fits the
// window's drawable, centred; black bars fill the rest. Drawable pixels, top-left origin. The window can
// be resized, maximised or full screen while the system keeps its client area (GetClientRect).
struct PicturePlacement {
    int x = 0, y = 0;
    int width = 0, height = 0; // 0 x 0 when the drawable or the client area is empty
};
PicturePlacement picturePlacement(int drawableWidth, int drawableHeight, int clientWidth, int clientHeight);

// A window point (window coordinates, which are drawable pixels scaled down on high-density displays) to
// the client pixel under it. False when the point is outside the window or on a bar.
bool clientPixelAt(int pointX, int pointY, int windowWidth, int windowHeight, int drawableWidth,
                   int drawableHeight, int clientWidth, int clientHeight, int* clientX, int* clientY);

// True when the placed picture is a whole multiple of the client area in both directions (each client
// pixel becomes a square of drawable pixels; no filtering is needed).
bool pictureIsWholeMultiple(const PicturePlacement& p, int clientWidth, int clientHeight);
