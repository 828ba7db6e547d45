// picture_placement.cpp -- the system's client area placed in a window of any size, and points mapped back
#include "platform/core/picture_placement.h"

#include <algorithm>
#include <cstdint>

PicturePlacement picturePlacement(int drawableWidth, int drawableHeight, int clientWidth, int clientHeight) {
    PicturePlacement p;
    if (drawableWidth <= 0 || drawableHeight <= 0 || clientWidth <= 0 || clientHeight <= 0) return p;
    const int64_t dw = drawableWidth, dh = drawableHeight, cw = clientWidth, ch = clientHeight;
    if (dw * ch >= dh * cw) { // wider than the client area: full height, bars at the sides
        p.height = drawableHeight;
        p.width = int(std::min(dw, std::max<int64_t>(1, (cw * dh + ch / 2) / ch)));
    } else { // taller: full width, bars at the top and bottom
        p.width = drawableWidth;
        p.height = int(std::min(dh, std::max<int64_t>(1, (ch * dw + cw / 2) / cw)));
    }
    p.x = (drawableWidth - p.width) / 2;
    p.y = (drawableHeight - p.height) / 2;
    return p;
}

bool clientPixelAt(int pointX, int pointY, int windowWidth, int windowHeight, int drawableWidth,
                   int drawableHeight, int clientWidth, int clientHeight, int* clientX, int* clientY) {
    if (windowWidth <= 0 || windowHeight <= 0 || pointX < 0 || pointY < 0 || pointX >= windowWidth ||
        pointY >= windowHeight)
        return false;
    const PicturePlacement p = picturePlacement(drawableWidth, drawableHeight, clientWidth, clientHeight);
    if (p.width <= 0 || p.height <= 0) return false;
    // The drawable pixel under the centre of the point, then the client pixel under that pixel's centre.
    const int64_t px = (2 * int64_t(pointX) + 1) * drawableWidth / (2 * int64_t(windowWidth));
    const int64_t py = (2 * int64_t(pointY) + 1) * drawableHeight / (2 * int64_t(windowHeight));
    if (px < p.x || py < p.y || px >= p.x + p.width || py >= p.y + p.height) return false;
    if (clientX) *clientX = int((2 * (px - p.x) + 1) * clientWidth / (2 * int64_t(p.width)));
    if (clientY) *clientY = int((2 * (py - p.y) + 1) * clientHeight / (2 * int64_t(p.height)));
    return true;
}

bool pictureIsWholeMultiple(const PicturePlacement& p, int clientWidth, int clientHeight) {
    return clientWidth > 0 && clientHeight > 0 && p.width % clientWidth == 0 &&
           p.height % clientHeight == 0 && p.width / clientWidth == p.height / clientHeight;
}
