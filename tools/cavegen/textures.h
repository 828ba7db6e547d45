// textures.h -- the demo's bitmaps: sphere checker, cave stone blocks, map of the cave
#pragma once

#include "tools/cavegen/bitmap.h"

namespace cavegen {

// 64 x 64 checkerboard of 8 x 8 squares, red and ivory: the spheres' texture.
Image makeChecker();

// 128 x 128 rows of stone blocks with mortar joints; tiles seamlessly both ways: the cave's texture.
Image makeStoneBlocks();

// 128 x 128 map of the cave seen from above (+x right, +z up): the floor's heights as
// colours with contour lines every 8 units, the ball's start and the column's landing point marked.
Image makeCaveMap();

} // namespace cavegen
