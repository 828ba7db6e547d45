// picking_test.cpp -- picking bodies on the screen and dragging them in the screen plane
#include <gtest/gtest.h>

#include "app/tests/app_test_util.h"
#include "physics/bodies.h"

namespace {

// A device with the 640 x 480 viewport and its projection; the camera at the origin looking along +z.
// A point (x, y, z) in front then shows at (320 + 32 x / z * 10, 240 - 32 y / z * 10) pixels.
void cameraAtOrigin(std::initializer_list<Vector3> bodies) {
    startCleanApp();
    ASSERT_EQ(initDirect3D(nullptr), 1);
    cameraPose = IDENTITY_MATRIX;
    for (const Vector3& c : bodies) {
        const int b = createBody(nullptr, 2.0f, 4.0f);
        translationMatrix(bodyRenderObject[b]->world, c.x, c.y, c.z);
    }
}

}  // namespace

TEST(Picking, WhichBodyIsPicked) {
    // Body 0 a little off centre and far, body 1 dead centre and near: the lower number wins.
    cameraAtOrigin({Vector3(0.1f, 0, 10), Vector3(0, 0, 5)});
    pickBody(320, 240);
    EXPECT_EQ(dragging, 1);
    EXPECT_EQ(pickedBody, 0);
    EXPECT_FLOAT_EQ(pickDepth, 10.0f);
    EXPECT_EQ(lastMouseX, 320);
    EXPECT_EQ(lastMouseY, 240);

    // Exactly 12 pixels away in x or in y misses; 11 hits.
    cameraAtOrigin({Vector3(0.375f, 0, 10), Vector3(0, 0.375f, 10), Vector3(0.34375f, 0, 10)});
    pickBody(320, 240);
    EXPECT_EQ(dragging, 1);
    EXPECT_EQ(pickedBody, 2);

    // Behind the eye, and exactly at view depth 1, never picked; a press on nothing changes nothing.
    cameraAtOrigin({Vector3(0, 0, -10), Vector3(0, 0, 1)});
    pickBody(320, 240);
    EXPECT_EQ(dragging, 0);
    dragging = 1;
    pickedBody = 7;
    pickBody(320, 240);
    EXPECT_EQ(dragging, 1);
    EXPECT_EQ(pickedBody, 7);

    // Through the window procedure: x and y are the unsigned low and high words of lParam.
    cameraAtOrigin({Vector3(0, 0, 10), Vector3(0, -2.5f, 10)});
    HWND window = reinterpret_cast<HWND>(0);
    (void)window;
    windowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(320, 320));
    EXPECT_EQ(dragging, 1);
    EXPECT_EQ(pickedBody, 1);
    stopApp();
}

TEST(Picking, DragMovesOnlyThePositionInTheScreenPlane) {
    cameraAtOrigin({Vector3(0, 0, 10)});
    Matrix4 turned;
    axisAngleMatrix(turned, Vector3(0, 0, 1), 0.5f);
    turned(3, 2) = 10.0f;
    bodyRenderObject[0]->world = turned;
    bodyVelocity[0] = Vector3(1, 2, 3);

    // Moves without a pick do nothing.
    dragBody(400, 300);
    EXPECT_EQ(bodyPosition(0).x, 0.0f);

    pickBody(320, 240);
    ASSERT_EQ(dragging, 1);
    // 32 pixels right and 16 up at depth 10: (32/320, -16/320) * 10 = (1, 0.5) in the screen plane.
    dragBody(352, 224);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(bodyRenderObject[0]->world.m[k], turned.m[k]) << k;
    EXPECT_FLOAT_EQ(bodyPosition(0).x, 1.0f);
    EXPECT_FLOAT_EQ(bodyPosition(0).y, 0.5f);
    EXPECT_FLOAT_EQ(bodyPosition(0).z, 10.0f);
    EXPECT_EQ(lastMouseX, 352);
    EXPECT_EQ(lastMouseY, 224);
    EXPECT_EQ(bodyVelocity[0].z, 3.0f);

    // The depth of the pick is kept; the camera's current axes are used (turned to look along -x).
    cameraPose = Matrix4(0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1);
    dragBody(384, 224);
    EXPECT_FLOAT_EQ(bodyPosition(0).x, 1.0f);
    EXPECT_FLOAT_EQ(bodyPosition(0).z, 11.0f);

    // After the release, moves do nothing.
    dropBody(0, 0);
    EXPECT_EQ(dragging, 0);
    dragBody(0, 0);
    EXPECT_FLOAT_EQ(bodyPosition(0).z, 11.0f);
    stopApp();
}
