// xfile_writer.cpp -- formats the cave mesh in the DirectX .x text format
#include "tools/cavegen/xfile_writer.h"

#include <array>
#include <cstdio>

namespace cavegen {
namespace {

void appendf(std::string& out, const char* format, double a) {
    char text[64];
    std::snprintf(text, sizeof text, format, a);
    out += text;
}

void appendNumber(std::string& out, double v) {
    appendf(out, "%.6f", v);
}

void appendInt(std::string& out, long v) {
    out += std::to_string(v);
}

// "n;" then one face per line "3;a,b,c;" closed by "," or, after the last, ";".
void appendFaces(std::string& out, const CaveMesh& mesh, const char* indent) {
    appendInt(out, static_cast<long>(mesh.triangles.size()));
    out += ";\n";
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
        const auto& tri = mesh.triangles[t];
        out += indent;
        out += "3;";
        appendInt(out, tri[0]);
        out += ',';
        appendInt(out, tri[1]);
        out += ',';
        appendInt(out, tri[2]);
        out += t + 1 < mesh.triangles.size() ? ";,\n" : ";;\n";
    }
}

// "n;" then one line per vertex with the chosen field's components "a;b;c" closed by ";," or, after the
// last, ";;".
template <std::size_t N>
void appendVertexList(std::string& out, const CaveMesh& mesh, std::array<double, N> MeshVertex::*field,
                      const char* indent) {
    const std::size_t count = mesh.vertices.size();
    appendInt(out, static_cast<long>(count));
    out += ";\n";
    for (std::size_t v = 0; v < count; ++v) {
        const std::array<double, N>& values = mesh.vertices[v].*field;
        out += indent;
        for (std::size_t k = 0; k < N; ++k) {
            if (k > 0) out += ';';
            appendNumber(out, values[k]);
        }
        out += v + 1 < count ? ";,\n" : ";;\n";
    }
}

} // namespace

std::string writeCaveX(const CaveMesh& mesh) {
    std::string out;

    out += "xof 0303txt 0032\n\n";
    out += "Frame Cave {\n";
    out += "  FrameTransformMatrix {\n";
    out += "    1.000000,0.000000,0.000000,0.000000,\n";
    out += "    0.000000,1.000000,0.000000,0.000000,\n";
    out += "    0.000000,0.000000,1.000000,0.000000,\n";
    out += "    0.000000,0.000000,0.000000,1.000000;;\n";
    out += "  }\n\n";

    out += "  Mesh CaveMesh {\n    ";
    appendVertexList(out, mesh, &MeshVertex::pos, "    ");
    out += "    ";
    appendFaces(out, mesh, "    ");

    out += "\n    MeshNormals {\n      ";
    appendVertexList(out, mesh, &MeshVertex::normal, "      ");
    out += "      ";
    appendFaces(out, mesh, "      ");
    out += "    }\n";

    out += "\n    MeshTextureCoords {\n      ";
    appendVertexList(out, mesh, &MeshVertex::uv, "      ");
    out += "    }\n";

    // One material for every face.
    out += "\n    MeshMaterialList {\n      1;\n      ";
    appendInt(out, static_cast<long>(mesh.triangles.size()));
    out += ";\n";
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t)
        out += t + 1 < mesh.triangles.size() ? "      0,\n" : "      0;;\n";
    out += "      Material Stone {\n";
    out += "        1.000000;1.000000;1.000000;1.000000;;\n";
    out += "        10.000000;\n";
    out += "        0.000000;0.000000;0.000000;;\n";
    out += "        0.000000;0.000000;0.000000;;\n";
    out += "        TextureFilename {\n";
    out += "          \"";
    out += kCaveTextureName;
    out += "\";\n";
    out += "        }\n";
    out += "      }\n";
    out += "    }\n";
    out += "  }\n";
    out += "}\n";
    return out;
}

} // namespace cavegen
