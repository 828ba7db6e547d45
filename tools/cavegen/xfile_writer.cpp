// xfile_writer.cpp -- formats the cave mesh in the DirectX .x text format
#include "tools/cavegen/xfile_writer.h"

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

} // namespace

std::string writeCaveX(const CaveMesh& mesh) {
    std::string out;
    const std::size_t vertexCount = mesh.vertices.size();
    const char* vertexEnd[2] = {";,\n", ";;\n"};

    out += "xof 0303txt 0032\n\n";
    out += "Frame Cave {\n";
    out += "  FrameTransformMatrix {\n";
    out += "    1.000000,0.000000,0.000000,0.000000,\n";
    out += "    0.000000,1.000000,0.000000,0.000000,\n";
    out += "    0.000000,0.000000,1.000000,0.000000,\n";
    out += "    0.000000,0.000000,0.000000,1.000000;;\n";
    out += "  }\n\n";

    out += "  Mesh CaveMesh {\n    ";
    appendInt(out, static_cast<long>(vertexCount));
    out += ";\n";
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const auto& p = mesh.vertices[v].pos;
        out += "    ";
        appendNumber(out, p[0]);
        out += ';';
        appendNumber(out, p[1]);
        out += ';';
        appendNumber(out, p[2]);
        out += vertexEnd[v + 1 == vertexCount];
    }
    out += "    ";
    appendFaces(out, mesh, "    ");

    out += "\n    MeshNormals {\n      ";
    appendInt(out, static_cast<long>(vertexCount));
    out += ";\n";
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const auto& n = mesh.vertices[v].normal;
        out += "      ";
        appendNumber(out, n[0]);
        out += ';';
        appendNumber(out, n[1]);
        out += ';';
        appendNumber(out, n[2]);
        out += vertexEnd[v + 1 == vertexCount];
    }
    out += "      ";
    appendFaces(out, mesh, "      ");
    out += "    }\n";

    out += "\n    MeshTextureCoords {\n      ";
    appendInt(out, static_cast<long>(vertexCount));
    out += ";\n";
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const auto& uv = mesh.vertices[v].uv;
        out += "      ";
        appendNumber(out, uv[0]);
        out += ';';
        appendNumber(out, uv[1]);
        out += vertexEnd[v + 1 == vertexCount];
    }
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
