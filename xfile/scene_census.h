// scene_census.h -- what the scene reader's tree of a file holds: its frames, polygon meshes and faces, and
// what the root frame gives a reader of its first mesh only (as the demonstration builds its cave)
#pragma once

#include <cstdint>

#include "scene/frame.h"

struct VokSceneCensus {
    int32_t frames = 0;     // frames in the tree, the root included (0: no tree)
    int32_t rootMeshes = 0; // polygon meshes attached to the root frame
    int32_t rootFirstFaces =
        -1;             // faces of the root frame's first attachment when it is a polygon mesh, else -1
    int32_t meshes = 0; // polygon meshes attached anywhere in the tree, the root's included
    int64_t faces = 0;  // faces of all those meshes
};

// Counts the tree under `root` (null: an empty census). Walks with a stack of its own, so that a tree of
// any depth is counted.
VokSceneCensus VokCountScene(TVokVFrame* root);
