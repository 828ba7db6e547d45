// reader.h -- the scene reader: frames, meshes and materials of a DirectX .x text file
//
// The reader is a keyword scanner over the tokens of TVokTokenizer: it acts on the
// keywords Frame, FrameTransformMatrix, Mesh, MeshNormals, MeshTextureCoords,
// MeshMaterialList, Material, TextureFilename/TextureFileName, template and Header,
// and passes over every other token. Numbers are converted with VokTokenToFloat and
// VokTokenToInt; a token without a number repeats the previous number of the same
// kind (each ReadFrame and ReadMesh call keeps one float and one int scratch, both
// starting at 0).
//
// Every count taken from the file is limited to what the rest of the input can hold,
// so no input allocates without bound or loops long after the end of input, and every
// face index stored in a mesh is below its vertex count.
#pragma once

#include <cstdint>
#include <string>

#include "scene/frame.h"
#include "scene/mesh.h"
#include "xfile/tokenizer.h"

// Deepest nesting of Frame blocks that the reader builds. A "Frame" keyword inside a
// frame that is already this deep is passed over like any unknown token (its block's
// contents then belong to the enclosing frame, and its "}" ends that frame).
constexpr int VOK_MAX_FRAME_DEPTH = 256;

extern std::string lastTextureFileName; // texture file name of the latest material read in the current
                                        // document; "" at its start

// Sets lastTextureFileName to the empty string.
void VokResetMaterialReader();

// Reads a scene file into a tree of frames and meshes. Returns the root frame with
// one reference for the caller, or null when the file cannot be read, is empty, or
// has no top-level Frame or Mesh. The last top-level Frame wins; a top-level Mesh
// gets a new unnamed frame of its own and ends the read. Registers the scene classes
// if that has not been done.
TVokFrame* ReadScene(const char* fileName);

// ReadScene of a document held in memory: the same result as ReadScene of a file
// holding these `count` bytes (null for count <= 0).
TVokFrame* ReadSceneFromMemory(const void* bytes, int32_t count);

// Reads one Frame block, called just after the keyword "Frame": its name, transform,
// child frames and meshes. Returns the new frame (one reference for the caller).
TVokFrame* ReadFrame(TVokTokenizer* tokenizer);

// Reads one Mesh block, called just after the keyword "Mesh": name, positions,
// faces, normals (a normal list longer than the vertex list gives every face corner
// a vertex of its own), texture coordinates and material; then the bounds. Returns
// the new mesh (one reference for the caller).
TVokPolygonMesh* ReadMesh(TVokTokenizer* tokenizer);

// Reads a "Material" block (standalone, mesh null: only lastTextureFileName can
// change) or a "MeshMaterialList" block (not standalone: the mesh can get a material
// naming the texture of its first inline material, or lastTextureFileName for a
// reference { Name }). Called just after the keyword; consumes the whole block.
void ReadMaterial(TVokTokenizer* tokenizer, TVokPolygonMesh* mesh, bool standalone);

// From the current token, takes tokens until the "}" that closes the current block
// (counting nested braces) or the end of input; that "}" is the current token on return.
void SkipToClosingBrace(TVokTokenizer* tokenizer, TVokToken& current);
