// mesh_reader.cpp -- one Mesh block: positions, faces, normals with the per-corner split, texture coordinates
#include <vector>

#include "framework/refobj.h"
#include "scene/scene_classes.h"
#include "xfile/reader.h"
#include "xfile/reader_tokens.h"

namespace {

// Fewest tokens that each item of a list takes in sound input, used to limit the
// counts of the file to what the rest of the input can hold.
constexpr int32_t TOKENS_PER_VERTEX = 7;       // x ; y ; z ; ,
constexpr int32_t TOKENS_PER_FACE = 3;         // n ; (corners) ,
constexpr int32_t TOKENS_PER_CORNER = 2;       // index ,
constexpr int32_t TOKENS_PER_TEXTURE_PAIR = 2; // u v

// Position and texture coordinates of a vertex as it was before the normal expansion.
struct SavedPosition {
    float x, y, z, tu, tv;
};

// A face as it was before the normal expansion.
struct SavedFace {
    std::vector<uint16_t> indices;
};

// The scratch values of one ReadMesh call and the working set of the expansion.
struct MeshReadState {
    TVokTokenizer* tokenizer;
    TVokPolygonMesh* mesh;
    TVokToken current;
    float floatScratch = 0.0f; // every coordinate
    int32_t intScratch = 0;    // every count and index
    bool expanded = false;
    std::vector<SavedPosition> savedPositions;
    std::vector<SavedFace> savedFaces;

    void Take() { VokTake(tokenizer, current); }
    void Pass(int tokens) {
        for (int i = 0; i < tokens; i++) {
            Take();
        }
    }
    float TakeFloat() {
        Take();
        VokTokenToFloat(current.get(), &floatScratch);
        return floatScratch;
    }
    int32_t TakeInt() {
        Take();
        VokTokenToInt(current.get(), &intScratch);
        return intScratch;
    }
    // x, one passed, y, one passed, z, two passed: seven tokens.
    void TakeTriple(float* a, float* b, float* c) {
        *a = TakeFloat();
        Pass(1);
        *b = TakeFloat();
        Pass(1);
        *c = TakeFloat();
        Pass(2);
    }
};

TVokPolygonMesh* NewMesh() {
    TVokLSObj* object = CreateObject("TVokPolygonMesh");
    if (object == nullptr) {
        VokRegisterSceneClasses();
        object = CreateObject("TVokPolygonMesh");
    }
    TVokPolygonMesh* mesh = dynamic_cast<TVokPolygonMesh*>(object);
    if (mesh == nullptr) {
        if (object != nullptr) {
            object->Release();
        }
        mesh = static_cast<TVokPolygonMesh*>(TVokPolygonMesh::Create());
    }
    return mesh;
}

// Face list: count ";" then per face: n ";" (index and separator) * n and one more separator.
// With `cornerNumbers` the index tokens are not used: the running corner number is
// stored instead (the face-normal list of the expansion).
void ReadFaceList(MeshReadState& s, bool cornerNumbers) {
    TVokPolygonData* data = s.mesh->geometry;
    int32_t faceCount = VokLimitCount(s.TakeInt(), s.tokenizer, TOKENS_PER_FACE);
    s.mesh->SetFaceCapacity(faceCount);
    s.Pass(1);
    uint32_t corner = 0;
    for (int32_t f = 0; f < faceCount; f++) {
        int32_t n = VokLimitCount(s.TakeInt(), s.tokenizer, TOKENS_PER_CORNER);
        s.mesh->SetFaceIndexCount(f, n);
        s.Pass(1);
        TVokFace& face = data->faces[f];
        for (int32_t j = 0; j < n; j++) {
            if (cornerNumbers) {
                s.Take();
                face.indices[j] = static_cast<uint16_t>(corner++);
            } else {
                face.indices[j] = static_cast<uint16_t>(static_cast<uint32_t>(s.TakeInt()));
            }
            s.Pass(1);
        }
        s.Pass(1);
        data->faceCount++;
    }
}

// The vertex count is the current token: positions, then the face list.
void ReadPositionsAndFaces(MeshReadState& s) {
    VokTokenToInt(s.current.get(), &s.intScratch);
    int32_t vertexCount = VokLimitCount(s.intScratch, s.tokenizer, TOKENS_PER_VERTEX);
    s.mesh->SetVertexCapacity(vertexCount);
    s.Pass(1);
    TVokPolygonData* data = s.mesh->geometry;
    for (int32_t i = 0; i < vertexCount; i++) {
        TVokVertex& v = data->vertices[i];
        s.TakeTriple(&v.x, &v.y, &v.z);
        data->vertexCount++;
    }
    ReadFaceList(s, false);
}

void ReadNormals(MeshReadState& s) {
    VokTakeUntil(s.tokenizer, s.current, "{");
    int32_t normalCount = s.TakeInt();
    TVokPolygonData* data = s.mesh->geometry;
    if (normalCount <= data->vertexCount) {
        // One normal per vertex, whatever the count says; the face-normal list is not used.
        s.Pass(1);
        for (int32_t i = 0; i < data->vertexCount; i++) {
            TVokVertex& v = data->vertices[i];
            s.TakeTriple(&v.nx, &v.ny, &v.nz);
        }
        VokSkipFromCurrentUntil(s.tokenizer, s.current, "}");
        return;
    }
    // More normals than positions: every normal gets a vertex of its own. The
    // positions and faces are saved now; the corners are given their positions
    // once the whole mesh is read (CompleteExpansion).
    s.savedPositions.clear();
    for (int32_t i = 0; i < data->vertexCount; i++) {
        const TVokVertex& v = data->vertices[i];
        s.savedPositions.push_back(SavedPosition{v.x, v.y, v.z, v.tu, v.tv});
    }
    normalCount = VokLimitCount(normalCount, s.tokenizer, TOKENS_PER_VERTEX);
    s.mesh->SetVertexCapacity(normalCount);
    data->vertexCount = normalCount;
    s.Pass(1);
    for (int32_t i = 0; i < normalCount; i++) {
        TVokVertex& v = data->vertices[i];
        s.TakeTriple(&v.nx, &v.ny, &v.nz);
    }
    s.savedFaces.clear();
    for (int32_t f = 0; f < data->faceCount; f++) {
        const TVokFace& face = data->faces[f];
        s.savedFaces.push_back(
            SavedFace{std::vector<uint16_t>(face.indices, face.indices + face.indexCount)});
    }
    ReadFaceList(s, true);
    VokTakeUntil(s.tokenizer, s.current, "}");
    s.expanded = true;
}

void ReadTextureCoordinates(MeshReadState& s) {
    VokTakeUntil(s.tokenizer, s.current, "{");
    int32_t pairCount = VokLimitCount(s.TakeInt(), s.tokenizer, TOKENS_PER_TEXTURE_PAIR);
    TVokPolygonData* data = s.mesh->geometry;
    for (int32_t i = 0; i < pairCount; i++) {
        VokTakeNumberToken(s.tokenizer, s.current);
        VokTokenToFloat(s.current.get(), &s.floatScratch);
        float u = s.floatScratch;
        VokTakeNumberToken(s.tokenizer, s.current);
        VokTokenToFloat(s.current.get(), &s.floatScratch);
        float v = s.floatScratch;
        if (i < data->vertexCount) { // pairs beyond the vertices are read and dropped
            data->vertices[i].tu = u;
            data->vertices[i].tv = v;
        }
    }
    if (!VokTokenIs(s.current, "}")) {
        VokTakeUntil(s.tokenizer, s.current, "}");
    }
}

// Corner k of the saved faces, in order, becomes vertex k with the position and
// texture coordinates of the saved vertex that it named, and index k of its face.
// Texture coordinates read after the normals sit in the first vertices under the old
// vertex numbers, so they are first copied into the saved positions. Where the
// face-normal list does not repeat the face list, corners without a vertex or a face
// entry are skipped, and so are saved indices without a saved position.
void CompleteExpansion(MeshReadState& s) {
    TVokPolygonData* data = s.mesh->geometry;
    int32_t oldVertexCount = static_cast<int32_t>(s.savedPositions.size());
    for (int32_t i = 0; i < oldVertexCount && i < data->vertexCount; i++) {
        s.savedPositions[i].tu = data->vertices[i].tu;
        s.savedPositions[i].tv = data->vertices[i].tv;
    }
    int64_t corner = 0;
    for (size_t f = 0; f < s.savedFaces.size(); f++) {
        const std::vector<uint16_t>& indices = s.savedFaces[f].indices;
        for (size_t j = 0; j < indices.size(); j++, corner++) {
            if (corner < data->vertexCount && indices[j] < oldVertexCount) {
                const SavedPosition& p = s.savedPositions[indices[j]];
                TVokVertex& v = data->vertices[corner];
                v.x = p.x;
                v.y = p.y;
                v.z = p.z;
                v.tu = p.tu;
                v.tv = p.tv;
            }
            if (static_cast<int32_t>(f) < data->faceCount &&
                static_cast<int32_t>(j) < data->faces[f].indexCount) {
                data->faces[f].indices[j] = static_cast<uint16_t>(corner);
            }
        }
    }
    s.savedPositions.clear();
    s.savedFaces.clear();
}

} // namespace

TVokPolygonMesh* ReadMesh(TVokTokenizer* tokenizer) {
    MeshReadState s;
    s.tokenizer = tokenizer;
    s.mesh = NewMesh();
    s.mesh->CreateGeometry();

    s.Take();
    s.mesh->SetName(VokTokenIs(s.current, "{") ? "" : s.current.get());
    for (;;) {
        s.Take();
        if (VokTokenAtEnd(s.current) || VokTokenIs(s.current, "}")) {
            break;
        }
        if (VokTokenIs(s.current, "{") || VokTokenIs(s.current, ",") || VokTokenIs(s.current, ";")) {
            continue;
        }
        if (VokTokenIs(s.current, "MeshMaterialList")) {
            ReadMaterial(tokenizer, s.mesh, false);
        } else if (VokTokenIs(s.current, "MeshNormals")) {
            ReadNormals(s);
        } else if (VokTokenIs(s.current, "MeshTextureCoords")) {
            ReadTextureCoordinates(s);
        } else {
            // Any other token is taken as the vertex count, also the keyword of a
            // child block that the reader does not know (its count then repeats the
            // previous count read).
            ReadPositionsAndFaces(s);
        }
    }
    if (s.expanded) {
        CompleteExpansion(s);
    }
    s.mesh->DropInvalidIndices();
    s.mesh->ComputeBounds();
    return s.mesh;
}
