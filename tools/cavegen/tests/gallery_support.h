// gallery_support.h -- the gallery's files on disk and its caves as the demo loads them (tests)
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "physics/collision.h"
#include "app/testing/demo_scenes.h"
#include "physics/testing/test_scenes.h"
#include "tools/cavegen/gallery.h"
#include "tools/cavegen/tests/culling.h"

namespace cavegen_test {

// The cave-gen --gallery files, written once per test program into a directory of its own (ctest runs
// the cases of one program side by side; a random name, created atomically), removed when the program
// ends.
inline const std::string& galleryDirectory() {
    struct Directory {
        std::string path;
        Directory() {
            std::random_device random;
            for (int tries = 0; path.empty() && tries < 100; ++tries) {
                std::string name = "gallery_files_" + std::to_string(random());
                if (std::filesystem::create_directory(name)) path = name;
            }
            std::string error;
            if (!cavegen::writeGallery(path, &error)) ADD_FAILURE() << "cannot write the gallery: " << error;
        }
        ~Directory() {
            std::error_code ignored;
            if (!path.empty()) std::filesystem::remove_all(path, ignored);
        }
    };
    static const Directory directory;
    return directory.path;
}

// A triangle in demo units.
using Triangle = std::array<P3, 3>;

// The world mesh's triangles, as drawn and collided with.
inline std::vector<Triangle> trianglesOf(const RenderObject* mesh) {
    std::vector<Triangle> out;
    for (int t = 0; t < worldTriangleCount(mesh); ++t) {
        Triangle tri;
        for (int k = 0; k < 3; ++k) {
            const Vertex& v = mesh->vertices[3 * t + k];
            tri[k] = {v.x, v.y, v.z};
        }
        out.push_back(tri);
    }
    return out;
}

// One gallery cave: its file, the vertical axis it is built around, and its triangles in memory, the way
// its builder makes them (before they are written).
struct GallerySource {
    std::string file;
    double axisX, axisZ;
    std::vector<Triangle> triangles;
};

inline std::vector<Triangle> testWorld(bool (*fill)(RenderObject*)) {
    RenderObject object{};
    std::vector<Triangle> out;
    if (fill(&object)) out = trianglesOf(&object);
    freeRenderObject(&object);
    return out;
}

inline const std::vector<GallerySource>& gallerySources() {
    static const std::vector<GallerySource> sources = [] {
        std::vector<GallerySource> s;
        std::vector<Triangle> steps;
        for (const cavegen::SoupTriangle& t : cavegen::buildStepsTriangles())
            steps.push_back(t);
        s.push_back({"steps.x", 0.0, cavegen::kStepsCentreZ, steps});
        s.push_back({"bowl.x", BOWL_CENTRE_X, BOWL_CENTRE_Z, testWorld(buildBowlMesh)});
        s.push_back({"tube.x", CAVE_AXIS_X, CAVE_AXIS_Z, testWorld(buildCaveMesh)});
        return s;
    }();
    return sources;
}

// Loads the gallery file as the demo loads its cave, with the demo's 101 bodies; null when it fails.
inline RenderObject* loadGalleryCave(const std::string& file) {
    return setupDemoSceneFromFile((galleryDirectory() + "/" + file).c_str());
}

} // namespace cavegen_test
