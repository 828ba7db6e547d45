// gallery.cpp -- the gallery's caves: the steps designed here, the bowl and the tube of the test worlds
#include "tools/cavegen/gallery.h"

#include <cstdlib>

#include "physics/testing/test_scenes.h"
#include "render/render_object.h"
#include "tools/cavegen/xfile_writer.h"

namespace cavegen {
namespace {

// Cosines of the crease angles: faces that bend by more than this at a corner get their own vertex
// there. The steps keep sharp edges between treads and risers (37 degrees); the bowl's ripples and the
// tube's floor stay smooth, while the tube's rock pyramids (72 degrees and more) keep their edges.
constexpr double kStepsCrease = 0.866; // 30 degrees
constexpr double kRoundedCrease = 0.5; // 60 degrees

// Every wall of the tube is at least 59 units from its axis, every rock within 53.
constexpr double kTubeWallRadius = 56.0;
// The steps' walls stand on the border of the grid, 112 units out from the pit.
constexpr double kStepsWallRadius = 100.0;
// The bowl has no walls: every face of it turns upwards.
constexpr double kNoWalls = 1e9;

std::array<double, 3> stepsGridPoint(int i, int j) {
    const int ring = std::abs(i) > std::abs(j) ? std::abs(i) : std::abs(j);
    return {kStepsCell * i, kStepsBottom + kStepsRise * (ring / 2), kStepsCentreZ + kStepsCell * j};
}

// The loose triangles of a physics test world, in demo units.
std::vector<SoupTriangle> testWorldTriangles(bool (*fill)(RenderObject*)) {
    RenderObject object{};
    std::vector<SoupTriangle> triangles;
    if (fill(&object)) {
        for (int t = 0; t < object.vertexCount / 3; ++t) {
            SoupTriangle tri;
            for (int k = 0; k < 3; ++k) {
                const Vertex& v = object.vertices[3 * t + k];
                tri[k] = {v.x, v.y, v.z};
            }
            triangles.push_back(tri);
        }
    }
    freeRenderObject(&object);
    return triangles;
}

} // namespace

std::vector<SoupTriangle> buildStepsTriangles() {
    std::vector<SoupTriangle> triangles;
    // Floor: each cell is cut along the diagonal that points at the pit, so the corners of the
    // terraces are straight creases.
    for (int j = -kStepsRings; j < kStepsRings; ++j) {
        for (int i = -kStepsRings; i < kStepsRings; ++i) {
            const auto p00 = stepsGridPoint(i, j), p10 = stepsGridPoint(i + 1, j);
            const auto p01 = stepsGridPoint(i, j + 1), p11 = stepsGridPoint(i + 1, j + 1);
            if ((i >= 0) == (j >= 0)) {
                triangles.push_back({p00, p01, p11});
                triangles.push_back({p00, p11, p10});
            } else {
                triangles.push_back({p00, p01, p10});
                triangles.push_back({p10, p01, p11});
            }
        }
    }
    // Walls: from the border of the grid, once round, up to the top and one cell outwards.
    struct BorderPoint {
        int i, j;
        int outI, outJ; // outward direction (diagonal at the corners)
    };
    std::vector<BorderPoint> border;
    const int n = kStepsRings;
    for (int i = -n; i < n; ++i)
        border.push_back({i, -n, i == -n ? -1 : 0, -1});
    for (int j = -n; j < n; ++j)
        border.push_back({n, j, 1, j == -n ? -1 : 0});
    for (int i = n; i > -n; --i)
        border.push_back({i, n, i == n ? 1 : 0, 1});
    for (int j = n; j > -n; --j)
        border.push_back({-n, j, -1, j == n ? 1 : 0});
    auto top = [](const BorderPoint& b) {
        std::array<double, 3> p = stepsGridPoint(b.i + b.outI, b.j + b.outJ);
        p[1] = kStepsWallTop;
        return p;
    };
    for (std::size_t c = 0; c < border.size(); ++c) {
        const BorderPoint& a = border[c];
        const BorderPoint& b = border[(c + 1) % border.size()];
        const auto a0 = stepsGridPoint(a.i, a.j), b0 = stepsGridPoint(b.i, b.j);
        triangles.push_back({a0, b0, top(b)});
        triangles.push_back({a0, top(b), top(a)});
    }
    return triangles;
}

std::vector<GalleryCave> buildGallery() {
    std::vector<GalleryCave> caves;
    caves.push_back(
        {"steps.x", "Steps", "Square terraces step down into the pit where the column of spheres lands.",
         meshFromSoup(buildStepsTriangles(), {0.0, kStepsCentreZ, kStepsWallRadius}, kStepsCrease)});
    caves.push_back({"bowl.x", "Bowl", "A rippled bowl: the spheres roll down into its middle.",
                     meshFromSoup(testWorldTriangles(buildBowlMesh), {BOWL_CENTRE_X, BOWL_CENTRE_Z, kNoWalls},
                                  kRoundedCrease)});
    caves.push_back({"tube.x", "Rock tube",
                     "A tall rock tube of 20,000 triangles with a bumpy floor and 200 small rocks.",
                     meshFromSoup(testWorldTriangles(buildCaveMesh),
                                  {CAVE_AXIS_X, CAVE_AXIS_Z, kTubeWallRadius}, kRoundedCrease)});
    return caves;
}

std::string galleryJson(const std::vector<GalleryCave>& caves) {
    std::string out = "{\"caves\":[";
    for (std::size_t c = 0; c < caves.size(); ++c) {
        if (c > 0) out += ',';
        out += "{\"file\":\"" + caves[c].file + "\",\"title\":\"" + caves[c].title +
               "\",\"triangles\":" + std::to_string(caves[c].mesh.triangles.size()) + ",\"about\":\"" +
               caves[c].about + "\"}";
    }
    out += "]}\n";
    return out;
}

namespace {

std::vector<AssetFile> galleryFiles(const std::vector<GalleryCave>& caves) {
    std::vector<AssetFile> files;
    for (const GalleryCave& cave : caves) {
        const std::string text = writeCaveX(cave.mesh);
        files.push_back({cave.file, std::vector<std::uint8_t>(text.begin(), text.end())});
    }
    const std::string list = galleryJson(caves);
    files.push_back({"gallery.json", std::vector<std::uint8_t>(list.begin(), list.end())});
    return files;
}

} // namespace

std::vector<AssetFile> generateGallery() {
    return galleryFiles(buildGallery());
}

bool writeGallery(const std::string& directory, std::string* error) {
    const std::vector<GalleryCave> caves = buildGallery();
    for (const GalleryCave& cave : caves)
        if (cave.mesh.triangles.empty()) { // a test world that could not allocate its triangles
            if (error != nullptr) *error = "cannot build " + cave.file;
            return false;
        }
    return writeFiles(directory, galleryFiles(caves), error);
}

} // namespace cavegen
