// draw.cpp -- drawing one render object through the device from the camera pose
#include "render/draw.h"

#include "render/device.h"

Matrix4 viewMatrixFromPose(const Matrix4& pose) {
    const Vector3 right(pose.m[0], pose.m[1], pose.m[2]);
    const Vector3 up(pose.m[4], pose.m[5], pose.m[6]);
    const Vector3 forward(pose.m[8], pose.m[9], pose.m[10]);
    const Vector3 eye(pose.m[12], pose.m[13], pose.m[14]);
    // Rigid inverse: the transposed rotation, and the eye taken back through it (0 - x keeps a zero
    // translation +0).
    return Matrix4(right.x, up.x, forward.x, 0.0f, right.y, up.y, forward.y, 0.0f, right.z, up.z, forward.z,
                   0.0f, 0.0f - dot(eye, right), 0.0f - dot(eye, up), 0.0f - dot(eye, forward), 1.0f);
}

void drawRenderObject(RenderObject* object, Matrix4 pose, IDirect3DDevice7* device) {
    if (object == nullptr || device == nullptr) return;
    // A count without its array (a failed allocation) is never drawn through.
    if (object->vertices == nullptr && object->vertexCount != 0) return;

    D3DMATRIX world = toD3DMatrix(object->world);
    D3DMATRIX view = toD3DMatrix(viewMatrixFromPose(pose));
    D3DMATRIX projection = toD3DMatrix(projectionMatrix);
    lastResult = device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    lastResult = device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
    lastResult = device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);

    IDirectDrawSurface7* texture = object->texture != nullptr ? *object->texture : nullptr;
    lastResult = device->SetTexture(0, texture);

    const DWORD count = object->vertexCount > 0 ? static_cast<DWORD>(object->vertexCount) : 0;
    lastResult =
        device->DrawPrimitive(D3DPT_TRIANGLELIST, VERTEX_FORMAT, object->vertices, count, D3DDP_WAIT);
}
