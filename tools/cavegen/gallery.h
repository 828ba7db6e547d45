// gallery.h -- the caves a visitor of the web page can choose from, and the list the page reads
#pragma once

#include <string>
#include <vector>

#include "tools/cavegen/assets.h"
#include "tools/cavegen/cave_mesh.h"
#include "tools/cavegen/soup_mesh.h"

namespace cavegen {

// Steps: square terraces stepping down into a pit under the column of spheres, inside leaning walls.
// Grid of kStepsCells x kStepsCells cells of kStepsCell demo units centred on (0, kStepsCentreZ); a
// grid vertex k rings out from the centre stands at kStepsRise * (k / 2) (whole division) above the
// pit's level bottom, so every ring of cells alternates between a level tread and a riser. The ball
// lands on the tread at y = 0 around (0, 0), the column in the pit (2 x 2 cells, 2 steps down).
constexpr double kStepsCell = 16.0;
constexpr int kStepsRings = 7; // rings of cells about the centre vertex
constexpr int kStepsCells = 2 * kStepsRings;
constexpr double kStepsCentreZ = 72.0;
constexpr double kStepsRise = 12.0;
constexpr double kStepsBottom = -24.0;
constexpr double kStepsWallTop = 76.0; // the open top of the walls, which lean out by one cell
constexpr int kStepsTriangles = 2 * kStepsCells * kStepsCells + 2 * 4 * kStepsCells;

// The steps' triangles in demo units: first the floor, row by row, then the walls.
std::vector<SoupTriangle> buildStepsTriangles();

// One cave of the gallery: its file, the title and sentence the page shows, and its mesh.
struct GalleryCave {
    std::string file;
    std::string title;
    std::string about;
    CaveMesh mesh;
};

// steps.x, bowl.x (the bowl of the physics test worlds, 2,048 triangles) and tube.x (their rock tube,
// 20,000 triangles), from small to large. Each triangle keeps its number from its source.
std::vector<GalleryCave> buildGallery();

// The page's list: {"caves":[{"file":...,"title":...,"triangles":N,"about":...},...]} on one line.
std::string galleryJson(const std::vector<GalleryCave>& caves);

// steps.x, bowl.x, tube.x and gallery.json. Always the same bytes.
std::vector<AssetFile> generateGallery();

// Writes the gallery's files into `directory` (which must exist); see writeFiles.
bool writeGallery(const std::string& directory, std::string* error);

} // namespace cavegen
