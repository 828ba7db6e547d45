// frame.cpp -- scene frames: attachments, world matrices and the world-matrix walk
#include "scene/frame.h"

TVokClassInfo TVokVFrame::classRecord = {nullptr, nullptr, nullptr};
TVokClassInfo TVokFrame::classRecord = {nullptr, nullptr, nullptr};

void VokMultiplyFrameMatrices(Matrix4* out, const Matrix4& local, const Matrix4& parentWorld) {
    Matrix4 product;
    for (int r = 0; r < 4; r++) {
        for (int c = 0; c < 4; c++) {
            float sum = 0.0f;
            for (int k = 0; k < 4; k++) {
                sum += local(r, k) * parentWorld(k, c);
            }
            product(r, c) = sum;
        }
    }
    *out = product;
}

TVokVFrame::TVokVFrame() : localMatrix(IDENTITY_MATRIX), worldMatrix(IDENTITY_MATRIX) {}

TVokVFrame::~TVokVFrame() {
    for (TVokListNode* node = attachments.First(); node != attachments.End(); node = node->next) {
        static_cast<TVokLSObj*>(node->data)->Release();
    }
    attachments.Clear();
}

void TVokVFrame::GetWorldMatrix(Matrix4*) {}

void TVokVFrame::CollectWorld(TVokList*, const Matrix4&) {}

void TVokVFrame::Attach(TVokLSObj* object) {
    if (object == nullptr) {
        return;
    }
    attachments.PushBack(object);
    object->Retain();
}

TVokLSObj* TVokVFrame::FirstAttachment() {
    return attachments.IsEmpty() ? nullptr : static_cast<TVokLSObj*>(attachments.First()->data);
}

TVokLSObj* TVokVFrame::Create() {
    TVokVFrame* frame = new TVokVFrame();
    frame->classInfo = &classRecord;
    return frame;
}

TVokFrame::TVokFrame() = default;

TVokLSObj* TVokFrame::Create() {
    TVokFrame* frame = new TVokFrame();
    frame->classInfo = &classRecord;
    return frame;
}

void TVokFrame::GetWorldMatrix(Matrix4* out) {
    TVokVFrame* parentFrame = dynamic_cast<TVokVFrame*>(parent);
    if (parentFrame == nullptr) {
        *out = localMatrix;
        return;
    }
    Matrix4 parentWorld = IDENTITY_MATRIX;
    parentFrame->GetWorldMatrix(&parentWorld);
    VokMultiplyFrameMatrices(out, localMatrix, parentWorld);
}

void TVokFrame::CollectSubtree(TVokList* pairs, const Matrix4& parentMatrix) {
    VokMultiplyFrameMatrices(&worldMatrix, localMatrix, parentMatrix);
    for (TVokListNode* node = attachments.First(); node != attachments.End(); node = node->next) {
        pairs->PushBack(this);
        pairs->PushBack(node->data);
    }
    // The first child passes the walk on to its own later siblings.
    for (TVokVTree* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
        if (TVokVFrame* childFrame = dynamic_cast<TVokVFrame*>(child)) {
            childFrame->CollectWorld(pairs, worldMatrix);
            break;
        }
    }
}

// The later siblings are walked in a loop here rather than each passing the call to
// the next, so a long row of sibling frames does not deepen the call stack; the
// order of visits is the same.
void TVokFrame::CollectWorld(TVokList* pairs, const Matrix4& parentMatrix) {
    CollectSubtree(pairs, parentMatrix);
    if (parent == nullptr) {
        return;
    }
    for (TVokVTree* sibling = NextSibling(); sibling != nullptr; sibling = sibling->NextSibling()) {
        if (TVokFrame* frame = dynamic_cast<TVokFrame*>(sibling)) {
            frame->CollectSubtree(pairs, parentMatrix);
        } else if (TVokVFrame* other = dynamic_cast<TVokVFrame*>(sibling)) {
            other->CollectWorld(pairs, parentMatrix); // another frame class takes the walk over
            return;
        }
    }
}
