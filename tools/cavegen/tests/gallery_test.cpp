// gallery_test.cpp -- the gallery's files: read back by the demo, drawn from inside, listed for the page
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "tools/cavegen/tests/gallery_support.h"

namespace {

using namespace cavegen_test;

bool near(const P3& a, const P3& b, double tolerance) {
    return std::fabs(a[0] - b[0]) <= tolerance && std::fabs(a[1] - b[1]) <= tolerance &&
           std::fabs(a[2] - b[2]) <= tolerance;
}

// Whether every corner of one triangle is a corner of the other (in any order or winding).
bool sameCorners(const Triangle& a, const Triangle& b, double tolerance) {
    for (int pass = 0; pass < 2; ++pass)
        for (const P3& p : pass == 0 ? a : b) {
            const Triangle& other = pass == 0 ? b : a;
            if (!near(p, other[0], tolerance) && !near(p, other[1], tolerance) &&
                !near(p, other[2], tolerance))
                return false;
        }
    return true;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

// Each file, loaded as the demo loads its cave (scaled by 8), gives the in-memory cave's triangles in the
// same order, each with the same corners within the file's rounding (six decimals of 1/8 of the units,
// then the reader's floats).
TEST(Gallery, FilesLoadAsTheCavesInMemory) {
    for (const GallerySource& source : gallerySources()) {
        SCOPED_TRACE(source.file);
        ASSERT_FALSE(source.triangles.empty());
        RenderObject* mesh = loadGalleryCave(source.file);
        ASSERT_NE(mesh, nullptr);
        const std::vector<Triangle> loaded = trianglesOf(mesh);
        ASSERT_EQ(loaded.size(), source.triangles.size());
        int mismatched = 0;
        for (std::size_t t = 0; t < loaded.size(); ++t)
            if (!sameCorners(loaded[t], source.triangles[t], 1e-4) && ++mismatched <= 5)
                ADD_FAILURE() << "triangle " << t << " moved";
        EXPECT_EQ(mismatched, 0);
    }
    EXPECT_EQ(gallerySources()[0].triangles.size(), static_cast<std::size_t>(cavegen::kStepsTriangles));
    EXPECT_EQ(gallerySources()[1].triangles.size(), static_cast<std::size_t>(BOWL_TRIANGLES));
    EXPECT_EQ(gallerySources()[2].triangles.size(), static_cast<std::size_t>(CAVE_TRIANGLES));
}

// The device culls counter-clockwise faces, so each face must run clockwise for a visitor in the cave:
// a camera on the cave's vertical axis sees the floor and the rocks on it from high above, and the
// faces farther out (the walls, the floor rising to them) from a little above their own height. The
// vertex normals, which light the faces, point to the same side.
TEST(Gallery, EveryFaceIsDrawnAndLitFromInsideTheCave) {
    for (const GallerySource& source : gallerySources()) {
        SCOPED_TRACE(source.file);
        RenderObject* mesh = loadGalleryCave(source.file);
        ASSERT_NE(mesh, nullptr);
        int hidden = 0, darkCorners = 0, fromAbove = 0;
        double leastLight = 1.0;
        for (int t = 0; t < worldTriangleCount(mesh); ++t) {
            const Vertex* v = mesh->vertices + 3 * t;
            const P3 a = {v[0].x, v[0].y, v[0].z}, b = {v[1].x, v[1].y, v[1].z}, c = {v[2].x, v[2].y, v[2].z};
            bool near = true;
            for (const P3& p : {a, b, c})
                near = near && std::hypot(p[0] - source.axisX, p[2] - source.axisZ) < 56.0;
            const double height = near ? 1000.0 : (a[1] + b[1] + c[1]) / 3.0 + 60.0;
            fromAbove += near;
            if (!visibleFrom({source.axisX, height, source.axisZ}, a, b, c) && ++hidden <= 5)
                ADD_FAILURE() << "triangle " << t << " is culled";
            P3 n = cross(sub(b, a), sub(c, a));
            const double length = std::sqrt(dot(n, n));
            for (int k = 0; k < 3; ++k) {
                const P3 vn = {v[k].nx, v[k].ny, v[k].nz};
                EXPECT_NEAR(dot(vn, vn), 1.0, 1e-5);
                const double light = dot(vn, n) / length;
                leastLight = std::min(leastLight, light);
                if (light < 0.3 && ++darkCorners <= 5)
                    ADD_FAILURE() << "corner " << k << " of triangle " << t << " is lit from behind";
            }
        }
        std::printf("%s: %d faces seen from high above; least normal-to-face cosine %.3f\n",
                    source.file.c_str(), fromAbove, leastLight);
        EXPECT_EQ(hidden, 0);
        EXPECT_EQ(darkCorners, 0);
    }
}

// gallery.json names exactly the files written beside it, steps, bowl and tube, each with the number of
// triangles its file holds, in the one shape the page reads. A second run makes the same bytes.
TEST(Gallery, ListNamesEveryFileWrittenWithItsTriangleCount) {
    const std::string json = readText(galleryDirectory() + "/gallery.json");
    const std::string entry =
        R"re(\{"file":"([a-z]+\.x)","title":"([^"\\]+)","triangles":([0-9]+),"about":"([^"\\]+)"\})re";
    ASSERT_TRUE(
        std::regex_match(json, std::regex(R"re(\{"caves":\[)re" + entry + "(," + entry + R"re()*\]\}\n)re")))
        << json;
    std::set<std::string> listed = {"gallery.json"};
    std::vector<std::pair<std::string, std::size_t>> entries;
    const std::regex one(entry);
    for (auto it = std::sregex_iterator(json.begin(), json.end(), one); it != std::sregex_iterator(); ++it) {
        listed.insert((*it)[1]);
        entries.push_back({(*it)[1], std::stoul((*it)[3])});
    }
    // Small to large, with the counts of the triangles the demo loads from each file (checked above).
    std::vector<std::pair<std::string, std::size_t>> expected;
    for (const GallerySource& source : gallerySources())
        expected.push_back({source.file, source.triangles.size()});
    EXPECT_EQ(entries, expected);
    std::set<std::string> written;
    for (const auto& item : std::filesystem::directory_iterator(galleryDirectory()))
        written.insert(item.path().filename().string());
    EXPECT_EQ(written, listed);

    for (const cavegen::AssetFile& file : cavegen::generateGallery())
        EXPECT_TRUE(readText(galleryDirectory() + "/" + file.name) ==
                    std::string(file.bytes.begin(), file.bytes.end()))
            << file.name << " differs between two runs";
}
