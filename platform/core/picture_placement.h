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

// A smaller drawing buffer that shows the same picture: when the picture placed in the full drawable is
// larger than the client area and not a whole multiple of it, the buffer is scaled down so that the picture
// in it is the largest whole multiple of the client area below that size (pixels repeated, no filtering),
// the bars in proportion; whoever shows the buffer then stretches it to the drawable, by a factor below 2,
// filtering as the scaled picture would have been filtered anyway. Otherwise the drawable itself. Used
// where every buffer pixel costs (a page on a software rasterizer at a high device pixel ratio).
void cappedDrawable(int drawableWidth, int drawableHeight, int clientWidth, int clientHeight, int* width,
                    int* height);
