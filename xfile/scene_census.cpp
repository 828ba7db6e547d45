// scene_census.cpp -- frames, polygon meshes and faces of a scene tree
#include "xfile/scene_census.h"

#include <vector>

#include "framework/list.h"
#include "scene/mesh.h"

namespace {

int32_t faceCount(const TVokPolygonMesh* mesh) {
    return mesh->geometry != nullptr ? mesh->geometry->faceCount : 0;
}

} // namespace

VokSceneCensus VokCountScene(TVokVFrame* root) {
    VokSceneCensus census;
    if (root == nullptr) return census;
    std::vector<TVokVFrame*> pending{root};
    while (!pending.empty()) {
        TVokVFrame* frame = pending.back();
        pending.pop_back();
        ++census.frames;
        bool first = true;
        for (TVokListNode* node = frame->attachments.First(); node != frame->attachments.End();
             node = node->next, first = false) {
            const auto* mesh = dynamic_cast<const TVokPolygonMesh*>(static_cast<TVokLSObj*>(node->data));
            if (frame == root && first && mesh != nullptr) census.rootFirstFaces = faceCount(mesh);
            if (mesh == nullptr) continue;
            ++census.meshes;
            census.faces += faceCount(mesh);
            if (frame == root) ++census.rootMeshes;
        }
        for (TVokVTree* child = frame->FirstChild(); child != nullptr; child = child->NextSibling())
            if (auto* childFrame = dynamic_cast<TVokVFrame*>(child)) pending.push_back(childFrame);
    }
    return census;
}
