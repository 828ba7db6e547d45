// xdump.cpp -- JSON dumps of what the scene reader builds from a .x file, and of its tokens
#include "tools/xdump/xdump.h"

#include "cave_version.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "xfile/reader.h"
#include "xfile/tokenizer.h"

void XdumpAppendString(std::string& out, const char* text) {
    if (text == nullptr) {
        out += "null";
        return;
    }
    out += '"';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; p++) {
        if (*p >= 0x20 && *p <= 0x7E && *p != '"' && *p != '\\') {
            out += static_cast<char>(*p);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(*p));
            out += escape;
        }
    }
    out += '"';
}

void XdumpAppendFloat(std::string& out, float value) {
    if (std::isnan(value)) {
        out += "\"nan\"";
    } else if (std::isinf(value)) {
        out += value > 0 ? "\"inf\"" : "\"-inf\"";
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
        out += text;
    }
}

namespace {

void AppendFloats(std::string& out, const float* values, int count) {
    out += '[';
    for (int i = 0; i < count; i++) {
        if (i > 0) {
            out += ',';
        }
        XdumpAppendFloat(out, values[i]);
    }
    out += ']';
}

} // namespace

void XdumpMesh(std::string& out, TVokPolygonMesh* mesh) {
    const TVokPolygonData* data = mesh->geometry;
    int32_t vertexCount = data != nullptr ? data->vertexCount : 0;
    int32_t faceCount = data != nullptr ? data->faceCount : 0;
    out += "{\"name\": ";
    XdumpAppendString(out, mesh->name);
    out += ", \"vertices\": [";
    for (int32_t i = 0; i < vertexCount; i++) {
        if (i > 0) {
            out += ", ";
        }
        const TVokVertex& v = data->vertices[i];
        const float fields[8] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.tu, v.tv};
        AppendFloats(out, fields, 8);
    }
    out += "], \"faces\": [";
    for (int32_t f = 0; f < faceCount; f++) {
        if (f > 0) {
            out += ", ";
        }
        const TVokFace& face = data->faces[f];
        out += '[';
        for (int32_t j = 0; j < face.indexCount; j++) {
            if (j > 0) {
                out += ',';
            }
            out += std::to_string(face.indices[j]);
        }
        out += ']';
    }
    out += "], \"texture\": ";
    XdumpAppendString(out, mesh->TextureName());
    out += ", \"bounds\": ";
    if (vertexCount == 0) {
        out += "null";
    } else {
        out += "{\"min\":";
        AppendFloats(out, mesh->bounds.min, 3);
        out += ",\"max\":";
        AppendFloats(out, mesh->bounds.max, 3);
        out += '}';
    }
    out += '}';
}

void XdumpFrame(std::string& out, TVokVFrame* frame) {
    out += "{\"name\": ";
    XdumpAppendString(out, frame->name);
    out += ", \"matrix\": ";
    AppendFloats(out, frame->localMatrix.m, 16);
    out += ", \"children\": [";
    bool first = true;
    for (TVokVTree* child = frame->FirstChild(); child != nullptr; child = child->NextSibling()) {
        TVokVFrame* childFrame = dynamic_cast<TVokVFrame*>(child);
        if (childFrame == nullptr) {
            continue;
        }
        if (!first) {
            out += ", ";
        }
        first = false;
        XdumpFrame(out, childFrame);
    }
    out += "], \"meshes\": [";
    first = true;
    for (TVokListNode* node = frame->attachments.First(); node != frame->attachments.End();
         node = node->next) {
        TVokPolygonMesh* mesh = dynamic_cast<TVokPolygonMesh*>(static_cast<TVokLSObj*>(node->data));
        if (mesh == nullptr) {
            continue;
        }
        if (!first) {
            out += ", ";
        }
        first = false;
        XdumpMesh(out, mesh);
    }
    out += "]}";
}

void XdumpScene(std::string& out, TVokFrame* root) {
    out += "{\"root\": ";
    if (root == nullptr) {
        out += "null";
    } else {
        XdumpFrame(out, root);
    }
    out += "}\n";
}

namespace {

// The file exists, is not a directory and can be opened for reading.
bool CanOpen(const char* fileName, std::string& err) {
    std::error_code ignored;
    if (std::filesystem::is_directory(fileName, ignored)) {
        err += "cave-xdump: cannot open \"" + std::string(fileName) + "\": it is a directory\n";
        return false;
    }
    FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) {
        err += "cave-xdump: cannot open \"" + std::string(fileName) + "\": " + std::strerror(errno) + "\n";
        return false;
    }
    std::fclose(file);
    return true;
}

void DumpTokens(std::string& out, const char* fileName) {
    TVokTokenizer tokenizer;
    out += '[';
    if (tokenizer.LoadFile(fileName)) { // an empty file has no tokens
        bool first = true;
        for (;;) {
            TVokToken token = tokenizer.NextToken();
            if (token[0] == '\0') {
                break;
            }
            if (!first) {
                out += ", ";
            }
            first = false;
            XdumpAppendString(out, token.get());
        }
    }
    out += "]\n";
}

const char USAGE[] = "usage: cave-xdump FILE\n       cave-xdump --tokens FILE\n";
const char HELP[] = "Prints what the scene reader builds from a .x file as JSON (--tokens: its tokens).\n"
                    "Exit status: 0 after a dump, 1 when FILE cannot be read, 2 after bad arguments.\n";

} // namespace

int XdumpMain(int argc, const char* const* argv, std::string& out, std::string& err) {
    bool tokens = false;
    const char* fileName = nullptr;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        out += "cave-xdump " CAVE_VERSION "\n";
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        out += USAGE;
        out += HELP;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--tokens") != 0) {
        fileName = argv[1];
    } else if (argc == 3 && std::strcmp(argv[1], "--tokens") == 0) {
        tokens = true;
        fileName = argv[2];
    } else {
        err += USAGE;
        return 2;
    }
    if (!CanOpen(fileName, err)) {
        return 1;
    }
    if (tokens) {
        DumpTokens(out, fileName);
        return 0;
    }
    TVokFrame* root = ReadScene(fileName);
    XdumpScene(out, root);
    if (root != nullptr) {
        root->Release();
    }
    return 0;
}
