// app_test_util.h -- a clean start for the application tests: platform core, recorder, device and scene state
#pragma once

#include "app/camera.h"
#include "app/picking.h"
#include "app/scene_setup.h"
#include "app/shell.h"
#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"
#include "render/device.h"
#include "render/tests/render_test_util.h"
#include "render/texture_slots.h"
#include "platform/core/platform_core.h"

inline void startCleanApp(const RecordConfig& config = RecordConfig()) {
    resetDevice();
    resetTextureSlots();
    resetRenderObjects();
    resetPhysics();
    resetShell();
    resetCamera();
    resetPicking();
    resetRandom();
    platformReset();
    platformUseVirtualClock(true, 0);
    recordReset(config);
}

inline void stopApp() {
    resetRenderObjects();
    resetTextureSlots();
    resetDevice();
    resetPhysics();
    platformReset();
}

// The demonstration's four files in the working directory: bitmaps of distinct colours (block.bmp red
// unless left out) and a one-quad cave whose material names "other.bmp" (green).
inline bool writeDemoFiles(bool withBlock = true, bool withCave = true) {
    return writeBitmap("check.bmp", 4, 4, 0xFFFFFF) && writeBitmap("map.bmp", 4, 4, 0x0000FF) &&
           (!withBlock || writeBitmap("block.bmp", 2, 2, 0xFF0000)) &&
           writeBitmap("other.bmp", 3, 3, 0x00FF00) &&
           (!withCave || writeFile("cave.x", sceneText({-1, 0, -1, -1, 0, 1, 1, 0, 1, 1, 0, -1},
                                                       {{0, 1, 2, 3}}, "other.bmp")));
}
