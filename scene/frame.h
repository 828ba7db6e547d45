// frame.h -- scene frames: a transform relative to the parent, child frames and attached meshes
#pragma once

#include "framework/list.h"
#include "framework/tree.h"
#include "math/vector_math.h"

// Abstract frame: a string-tree node (children are frames, name is the file's
// identifier) with a local and a world matrix and a list of attached objects.
class TVokVFrame : public TVokStringTree {
  public:
    TVokVFrame();
    // Releases every attached object once, then ends as a string tree (which
    // destroys the child frames).
    ~TVokVFrame() override;

    // The frame's transform relative to the root, computed from the parents'
    // local matrices; nothing at this level.
    virtual void GetWorldMatrix(Matrix4* out);
    // Refreshes worldMatrix down the tree and appends one (frame, object) pair of
    // pointers per attachment to `pairs`; nothing at this level.
    virtual void CollectWorld(TVokList* pairs, const Matrix4& parentMatrix);

    // Appends an object to the attachment list and takes one reference to it.
    // A null object is ignored.
    void Attach(TVokLSObj* object);
    // The first attached object (for a frame built by the scene reader, a
    // TVokPolygonMesh), or null.
    TVokLSObj* FirstAttachment();
    // Number of attached objects.
    int32_t AttachmentCount() const { return attachments.Count(); }

    Matrix4 localMatrix;  // transform relative to the parent frame (row vectors); identity when new
    Matrix4 worldMatrix;  // transform relative to the root as last set by CollectWorld; identity when new
    TVokList attachments; // TVokLSObj pointers, each holding one reference

    static TVokClassInfo classRecord; // "TVokVFrame", parent "TVokStringTree"
    static TVokLSObj* Create();
};

// The concrete frame that the scene reader builds.
class TVokFrame : public TVokVFrame {
  public:
    TVokFrame();

    // No parent: out = localMatrix. Otherwise out = localMatrix * (the parent's
    // world matrix), asked of the parent recursively up to the root. worldMatrix
    // is neither read nor written.
    void GetWorldMatrix(Matrix4* out) override;
    // Depth-first, pre-order: worldMatrix = localMatrix * parentMatrix; the pairs of
    // this frame's attachments; then the subtree (with the new worldMatrix as parent
    // matrix); then the later siblings, each with the same parentMatrix.
    void CollectWorld(TVokList* pairs, const Matrix4& parentMatrix) override;

    static TVokClassInfo classRecord; // "TVokFrame", parent "TVokVFrame"
    static TVokLSObj* Create();

  private:
    // worldMatrix, pairs and subtree of this frame alone (no siblings).
    void CollectSubtree(TVokList* pairs, const Matrix4& parentMatrix);
};

// out = local * parentWorld, summed k = 0..3 in single precision.
void VokMultiplyFrameMatrices(Matrix4* out, const Matrix4& local, const Matrix4& parentWorld);
