// xfile_writer.h -- writes the cave mesh as a DirectX .x text file
#pragma once

#include <string>

#include "tools/cavegen/cave_mesh.h"

namespace cavegen {

// The texture the cave's material names.
constexpr const char* kCaveTextureName = "block.bmp";

// The whole text of the scene file: the "xof 0303txt 0032" header and one top-level frame
// "Cave" with an identity FrameTransformMatrix, holding the mesh "CaveMesh" with its
// MeshNormals (one per vertex), MeshTextureCoords and a MeshMaterialList of one textured
// material. Numbers are written as plain decimals with six places, never with exponents.
std::string writeCaveX(const CaveMesh& mesh);

} // namespace cavegen
