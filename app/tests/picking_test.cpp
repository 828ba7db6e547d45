// picking_test.cpp -- picking bodies on the screen and dragging them in the screen plane
#include <gtest/gtest.h>

#include "app/tests/app_test_util.h"

namespace {

// The 640 x 480 device and the camera at the origin looking along +z: a centre (x, y, 10) shows at
// (320 + 32 x, 240 - 32 y) pixels.
void bodiesBeforeTheCamera(std::initializer_list<Vector3> centres) {
    startCleanApp();
    ASSERT_EQ(initDirect3D(nullptr), 1);
    for (const Vector3& c : centres)
        translationMatrix(bodyRenderObject[createBody(nullptr, 2, 4)]->world, c.x, c.y, c.z);
}

} // namespace

TEST(Picking, WhichBodyIsPicked) {
    const struct {
        std::initializer_list<Vector3> bodies;
        int picked;
    } cases[] = {
        {{{0.1f, 0, 10}, {0, 0, 5}}, 0}, // the lower number wins over the nearer body
        {{{0.375f, 0, 10}, {0, 0.375f, 10}, {0.34375f, 0, 10}}, 2}, // exactly 12 pixels misses, 11 hits
        {{{0, 0, -10}, {0, 0, 1}}, -1},                             // behind the eye, or at view depth 1
    };
    for (const auto& c : cases) {
        bodiesBeforeTheCamera(c.bodies);
        pickedBody = -1;
        pickBody(320, 240);
        EXPECT_EQ(dragging, c.picked >= 0 ? 1 : 0);
        EXPECT_EQ(pickedBody, c.picked);
    }
    // Through the window procedure: x and y are the unsigned low and high words of lParam.
    bodiesBeforeTheCamera({{0, 0, 10}, {0, -2.5f, 10}});
    windowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(320, 320));
    EXPECT_EQ(pickedBody, 1);
    EXPECT_FLOAT_EQ(pickDepth, 10.0f);
    stopApp();
}

TEST(Picking, DragMovesOnlyThePosition) {
    bodiesBeforeTheCamera({{0, 0, 10}});
    Matrix4 turned;
    axisAngleMatrix(turned, Vector3(0, 0, 1), 0.5f);
    turned(3, 2) = 10.0f;
    bodyRenderObject[0]->world = turned;
    dragBody(400, 300); // no pick yet: nothing
    EXPECT_EQ(bodyPosition(0).x, 0.0f);
    pickBody(320, 240);
    // 32 pixels right and 16 up at depth 10: (32, -16) / 320 * 10 = (1, 0.5) in the screen plane.
    dragBody(352, 224);
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(bodyRenderObject[0]->world.m[k], turned.m[k]) << k;
    EXPECT_FLOAT_EQ(bodyPosition(0).x, 1.0f);
    EXPECT_FLOAT_EQ(bodyPosition(0).y, 0.5f);
    EXPECT_FLOAT_EQ(bodyPosition(0).z, 10.0f);
    // The pick depth is kept and the camera's current axes are used (now looking along -x).
    cameraPose = Matrix4(0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1);
    dragBody(384, 224);
    EXPECT_FLOAT_EQ(bodyPosition(0).z, 11.0f);
    dropBody(0, 0);
    dragBody(0, 0);
    EXPECT_FLOAT_EQ(bodyPosition(0).z, 11.0f);
    stopApp();
}
