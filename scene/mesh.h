// mesh.h -- polygon meshes: vertices, polygonal faces, bounds and a shared material
#pragma once

#include <cstdint>

#include "framework/persist.h"
#include "framework/tree.h"
#include "math/vector_math.h"

class TVokVFrame;

// One vertex: position, normal and texture coordinates; the device vertex layout,
// copied unchanged by the scene conversion.
struct TVokVertex {
    float x, y, z;    // position
    float nx, ny, nz; // normal
    float tu, tv;     // texture coordinates
};
static_assert(sizeof(TVokVertex) == 32, "TVokVertex is the 32-byte device vertex");

// One polygonal face: indexCount vertex indices in winding order.
struct TVokFace {
    int32_t indexCount; // number of corners (entries of indices)
    uint16_t* indices;  // owned array of vertex indices, or null when indexCount is 0
};

// The geometry of one mesh, owned by it. Every index of a face of a mesh built by
// the scene reader or read from a stored section is below vertexCount.
struct TVokPolygonData {
    TVokVertex* vertices;   // owned, vertexCapacity entries
    TVokFace* faces;        // owned, faceCapacity entries
    int32_t vertexCount;    // vertices in use
    int32_t faceCount;      // faces in use
    int32_t vertexCapacity; // entries allocated in vertices
    int32_t faceCapacity;   // entries allocated in faces
};

// Axis-aligned box: min, max and the eight corners, each coordinate taken from min
// or max: 0 (min,min,min) 1 (max,min,min) 2 (max,max,min) 3 (min,max,min)
// 4 (min,min,max) 5 (max,min,max) 6 (max,max,max) 7 (min,max,max).
struct TVokBoundingBox {
    float min[3];
    float max[3];
    float corners[8][3];
};

// A material shared by meshes; each holder keeps one reference. Of a material the
// system keeps only the texture file name.
class TVokMaterial : public TVokRefObj {
  public:
    // A material (count 1) with a copy of the name; a null name stays null.
    explicit TVokMaterial(const char* name);
    ~TVokMaterial() override;

    char* textureName; // owned heap copy of the texture file name, or null
};

class TVokPolygonMesh;

// Receiver of a mesh's drawing data (Submit); no such receiver exists in the demo.
class TVokMeshSink {
  public:
    virtual ~TVokMeshSink();
    virtual void SubmitMesh(TVokMaterial* material, const float* colours, Matrix4 worldMatrix,
                            TVokPolygonData* geometry) = 0;
};

// Abstract mesh: a string-tree node named by the file's identifier.
class TVokVMesh : public TVokStringTree {
  public:
    TVokVMesh();

    // Hands the mesh's drawing data to a sink, placed by a frame; nothing at this level.
    virtual void Submit(TVokMeshSink* sink, TVokVFrame* frame);

    static TVokClassInfo classRecord; // "TVokVMesh", parent "TVokStringTree"
    static TVokLSObj* Create();
};

// Name of the tagged section in which a polygon mesh stores its geometry.
constexpr const char* VOK_POLYGON_MESH_SECTION = "TVokPolygonMeshTag";

// Number of entries in TVokPolygonMesh::colours.
constexpr int VOK_MESH_COLOUR_COUNT = 13;

// A mesh of polygonal faces over one vertex array, with one material at most.
class TVokPolygonMesh : public TVokVMesh {
  public:
    TVokPolygonMesh();
    // Frees the geometry (vertices, each face's indices, faces), releases the
    // material, then ends as a string tree.
    ~TVokPolygonMesh() override;

    // Writes the "TVokPolygonMeshTag" section after the base class's sections.
    void WriteTags(TVokStream* stream, TVokSection* section) override;
    // Calls the sink with the material, colours, the frame's worldMatrix and the geometry.
    void Submit(TVokMeshSink* sink, TVokVFrame* frame) override;

    // Gives the mesh a new all-zero geometry record (any earlier one is freed) and
    // returns it, or null when it cannot be allocated.
    virtual TVokPolygonData* CreateGeometry();

    // SetVertexCapacity(vertexCount), then SetFaceCapacity(faceCount).
    void Reserve(int32_t vertexCount, int32_t faceCount);
    // Replaces the vertex array with n zero-filled vertices (a negative n counts as 0)
    // and sets vertexCount to 0. Creates the geometry record if there is none.
    void SetVertexCapacity(int32_t n);
    // Replaces the face array (old faces' indices freed) with n empty faces (a
    // negative n counts as 0) and sets faceCount to 0. Creates the geometry record
    // if there is none.
    void SetFaceCapacity(int32_t n);
    // Gives face `face` (below faceCapacity) an index array of n zeroed entries,
    // freeing an earlier one; a negative n counts as 0. False for a face out of range.
    bool SetFaceIndexCount(int32_t face, int32_t n);

    // Gives the mesh a new material of its own (count 1) naming a copy of text. An
    // earlier material is released.
    void SetMaterialName(const char* text);
    // Shares an existing material: takes one reference to it. An earlier material is
    // released. A null material leaves the mesh without one.
    void ShareMaterial(TVokMaterial* shared);

    // Bounds of the vertex positions. A mesh without vertices gets an all-zero box.
    void ComputeBounds();

    // Drops every face index that is not below vertexCount (the face keeps its other
    // corners in order). Returns the number of indices dropped.
    int32_t DropInvalidIndices();

    // The material's texture name, or null when there is no material or no name.
    const char* TextureName() const;

    TVokMaterial* material;               // shared material (one reference), or null
    float colours[VOK_MESH_COLOUR_COUNT]; // (1,1,1,1), (0.8,0.8,0.8,1), (1,1,1,1), 20; never changed
    TVokPolygonData* geometry;            // owned, or null before CreateGeometry
    TVokBoundingBox bounds;               // set by ComputeBounds; all zero before

    static TVokClassInfo classRecord; // "TVokPolygonMesh", parent "TVokVMesh"
    static TVokLSObj* Create();

  private:
    void FreeGeometry();
};

// Reader of the "TVokPolygonMeshTag" section registered in the tag table: reads the
// texture name, counts, vertices and faces into a polygon mesh. Counts are limited
// to what the rest of the stream can hold, face indices not below the vertex count
// are dropped, and an object that is not a polygon mesh is left untouched. The
// bounds are not recomputed.
int32_t ReadPolygonMeshSection(TVokStream* stream, TVokLSObj* object);
