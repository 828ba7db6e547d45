// shipped_cave_search_test.cpp -- the demonstration as shipped (its set-up, its cave) steps to the same
// bits with the accelerated contact search as with the exhaustive reference
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/tests/app_test_util.h"
#include "physics/testing/search_comparison.h"

namespace {

// The exhaustive reference is slow under the sanitizers (there to catch memory faults); ordinary builds
// compare the whole 1500 steps, the sanitizer build the first 300 (the fall and the first landings).
#if defined(__SANITIZE_ADDRESS__)
constexpr int SHIPPED_CAVE_STEPS = 300;
#else
constexpr int SHIPPED_CAVE_STEPS = 1500;
#endif

} // namespace

TEST(ShippedCave, AcceleratedSearchMatchesTheExhaustiveOneBitForBit) {
    TempDir dir(true);
    for (const char* name : {"cave.x", "check.bmp", "map.bmp", "block.bmp"})
        std::filesystem::copy_file(std::string(CAVE_ASSETS_DIR) + "/" + name, name);
    startCleanApp();
    sceneSetupFunction = setupScene;
    ASSERT_EQ(initDirect3D(nullptr), 1);
    ASSERT_EQ(numBodies, 101);
    ASSERT_EQ(worldMeshCount, 1);
    ASSERT_GT(worldMeshes[0]->vertexCount, 3000) << "the shipped cave was not loaded";

    std::string difference;
    EXPECT_TRUE(searchesAgreeFromHere(SHIPPED_CAVE_STEPS, &difference)) << difference;
    // The comparison really ran the demonstration: the column has left its starting height.
    EXPECT_LT(bodyPosition(100).y, 500.0f);
    stopApp();
}
