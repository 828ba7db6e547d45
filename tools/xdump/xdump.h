// xdump.h -- JSON dumps of what the scene reader builds from a .x file, and of its tokens
#pragma once

#include <string>

#include "scene/frame.h"
#include "scene/mesh.h"

// Appends a string as JSON: bytes 0x20..0x7E other than '"' and '\\' as themselves,
// every other byte as \u00xx (one escape per byte). A null text appends null.
void XdumpAppendString(std::string& out, const char* text);
// Appends a float as "%.9g"; nan, inf and -inf as the strings "nan", "inf", "-inf".
void XdumpAppendFloat(std::string& out, float value);
// Appends {"root": FRAME} or {"root": null} and a line break.
void XdumpScene(std::string& out, TVokFrame* root);
// Appends FRAME = {"name": ..., "matrix": [...], "children": [...], "meshes": [...]}.
void XdumpFrame(std::string& out, TVokVFrame* frame);
// Appends MESH = {"name": ..., "vertices": [...], "faces": [...], "texture": ..., "bounds": ...}.
void XdumpMesh(std::string& out, TVokPolygonMesh* mesh);

// Runs the tool: "cave-xdump FILE" or "cave-xdump --tokens FILE". Writes the dump to
// `out` and messages to `err`; returns the exit status (0 when the file could be opened).
int XdumpMain(int argc, const char* const* argv, std::string& out, std::string& err);
