// make_seeds.cpp -- cave-fuzz-seeds: writes the seed inputs of the fuzz targets (small documents, stored
// objects, token runs and input scripts) from which scripts/fuzz.sh builds the committed corpora
//
//   cave-fuzz-seeds OUTDIR [FILE.x ...]
//
// Each given scene file adds its first bytes as a document and a token run, and its stored form
// when that is small.
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "framework/memstream.h"
#include "framework/persist.h"
#include "scene/frame.h"
#include "scene/mesh.h"
#include "scene/scene_classes.h"
#include "xfile/reader.h"

namespace {

constexpr size_t DOCUMENT_BYTES = 4 * 1024; // first bytes of a given scene file kept as a seed
constexpr size_t TOKEN_BYTES = 2 * 1024;    // first bytes kept as a token run
constexpr int32_t STORED_BYTES = 16 * 1024; // largest stored scene kept

std::string outDir;
int written = 0;

void Put(const std::string& target, const std::string& name, const std::string& bytes) {
    std::string dir = outDir + "/" + target;
    mkdir(dir.c_str(), 0755);
    std::string path = dir + "/" + name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        ++written;
    }
}

std::string ReadFile(const char* path) {
    std::string bytes;
    if (FILE* f = std::fopen(path, "rb")) {
        char chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            bytes.append(chunk, n);
        std::fclose(f);
    }
    return bytes;
}

std::string Stored(TVokLSObj* object) {
    TVokBufferStream stream;
    if (!object || !SaveObject(&stream, object) || stream.length > STORED_BYTES) return "";
    return std::string(reinterpret_cast<const char*>(stream.data), static_cast<size_t>(stream.length));
}

// A scene document, its stored form and (for short ones) its tokens.
void Document(const std::string& name, const std::string& text) {
    Put("xfile", name + ".x", text.substr(0, DOCUMENT_BYTES));
    Put("tokenizer", name + ".x", text.substr(0, TOKEN_BYTES));
    if (TVokFrame* root = ReadSceneFromMemory(text.data(), static_cast<int32_t>(text.size()))) {
        std::string stored = Stored(root);
        if (!stored.empty()) Put("load_object", name + ".bin", stored);
        root->Release();
    }
}

const char* CUBE_POSITIONS =
    "8;\n-1;-1;-1;, 1;-1;-1;, 1;1;-1;, -1;1;-1;,\n-1;-1;1;, 1;-1;1;, 1;1;1;, -1;1;1;;\n"
    "6;\n4;0,1,2,3;, 4;4,5,6,7;, 4;0,1,5,4;,\n4;1,2,6,5;, 4;2,3,7,6;, 4;3,0,4,7;;\n";

void Documents() {
    std::string cube = CUBE_POSITIONS;
    Document("cube", "xof 0303txt 0032\nMesh Cube {\n" + cube + "}\n");
    Document("cube-normals", "xof 0303txt 0032\nFrame Root {\nMesh {\n" + cube +
                                 "MeshNormals {\n8;\n0;0;-1;, 0;0;-1;, 0;0;-1;, 0;0;-1;,\n0;0;1;, 0;0;1;, "
                                 "0;0;1;, 0;0;1;;\n6;\n4;0,1,2,3;, 4;4,5,6,7;, 4;0,1,5,4;,\n4;1,2,6,5;, "
                                 "4;2,3,7,6;, 4;3,0,4,7;;\n}\n}\n}\n");
    std::string normals24 = "MeshNormals {\n24;\n";
    for (int i = 0; i < 24; ++i)
        normals24 += std::string(i % 2 ? "0;1;0;" : "1;0;0;") + (i == 23 ? ";\n" : ",\n");
    normals24 +=
        "6;\n4;0,1,2,3;, 4;4,5,6,7;, 4;8,9,10,11;,\n4;12,13,14,15;, 4;16,17,18,19;, 4;20,21,22,23;;\n}\n";
    std::string uv =
        "MeshTextureCoords {\n8;\n0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;,\n.5;-0.5;, 1;1;, 0;1;, "
        "0.25;0.75;;\n}\n";
    std::string list =
        "MeshMaterialList {\n1;\n6;\n0,0,0,0,0,0;;\nMaterial Stone {\n0.8;0.8;0.8;1.0;;\n20.0;\n"
        "1.0;1.0;1.0;;\n0.0;0.0;0.0;;\nTextureFilename {\n\"block.bmp\";\n}\n}\n}\n";
    Document("cube-split",
             "xof 0303txt 0032\nFrame Cave {\nFrameTransformMatrix {\n8.0,0,0,0,0,8.0,0,0,0,0,8.0,0,"
             "1,2,3,1.0;;\n}\nMesh Split {\n" +
                 cube + normals24 + uv + list + "}\n}\n");
    Document("uv-first", "xof 0303txt 0032\nMesh {\n" + cube + uv + normals24 + "}\n");
    Document(
        "frames",
        "xof 0303txt 0032\ntemplate Frame {\n<3D82AB46-62DA-11cf-AB39-0020AF71E433>\n[...]\n}\n"
        "Header {\n1;\n0;\n1;\n}\nMaterial Wall {\n1;1;1;1;;\n0;\n0;0;0;;\n0;0;0;;\n"
        "TextureFileName {\n\"wall.bmp\";\n}\n}\nFrame World {\nFrameTransformMatrix "
        "{\n1,0,0,0,0,1,0,0,0,0,1,0,"
        "0,0,0,1;;\n}\nFrame Left {\nFrameTransformMatrix {\n0,0,-1,0,0,1,0,0,1,0,0,0,5,0,0,1;;\n}\n"
        "Mesh Floor {\n4;\n0;0;0;, 1;0;0;, 1;0;1;, 0;0;1;;\n2;\n3;0,1,2;, 3;0,2,3;;\n"
        "MeshMaterialList {\n1;\n2;\n0,0;;\n{ Wall }\n}\n}\n}\nFrame Right {\nFrame Deeper {\n}\n}\n}\n");
    Document("polygons", "Frame {\nMesh Fan {\n6;\n0;0;0;, 1;0;0;, 2;1;0;, 1;2;0;, 0;2;0;, -1;1;0;;\n3;\n"
                         "3;0,1,2;, 4;0,2,3,4;, 5;0,1,2,3,5;;\n}\n}\n");
}

// Stored objects that no scene document makes: the plain classes, a mesh with geometry of its own,
// and several objects in one stream.
void StoredObjects() {
    TVokLSObj* plain = CreateObject("TVokLSObj");
    Put("load_object", "plain.bin", Stored(plain));
    plain->Release();

    auto* root = static_cast<TVokStringTree*>(CreateObject("TVokStringTree"));
    root->SetName("root");
    auto* classTree = static_cast<TVokStringTree*>(CreateObject("TVokClassTree"));
    classTree->AppendChild(static_cast<TVokVTree*>(CreateObject("TVokTree")));
    root->AppendChild(classTree);
    auto* mesh = static_cast<TVokPolygonMesh*>(CreateObject("TVokPolygonMesh"));
    mesh->SetName("tri");
    mesh->Reserve(3, 1);
    mesh->geometry->vertexCount = 3;
    for (int i = 0; i < 3; ++i) {
        TVokVertex& v = mesh->geometry->vertices[i];
        v = {static_cast<float>(i), 1.5f, -2.25f, 0, 1, 0, 0.5f * i, 1.0f - 0.5f * i};
    }
    mesh->geometry->faceCount = 1;
    mesh->SetFaceIndexCount(0, 3);
    for (uint16_t j = 0; j < 3; ++j)
        mesh->geometry->faces[0].indices[j] = j;
    mesh->SetMaterialName("check.bmp");
    root->AppendChild(mesh);
    auto* frame = static_cast<TVokFrame*>(CreateObject("TVokFrame"));
    frame->SetName("frame");
    root->AppendChild(frame);
    std::string tree = Stored(root);
    Put("load_object", "trees.bin", tree);
    Put("load_object", "three-in-a-row.bin", tree + Stored(mesh) + tree);
    root->Release();

    TVokVTree* vtree = static_cast<TVokVTree*>(CreateObject("TVokVTree"));
    TVokLSObj* sentinel = CreateObject("TVokTreeSentinel");
    Put("load_object", "bare-nodes.bin", Stored(vtree) + Stored(sentinel));
    vtree->Release();
    sentinel->Release();
}

// A bitmap file with an info header of 40 bytes (or the 12-byte core header), `colors` palette entries
// and the given pixel data.
std::string Bitmap(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t colors,
                   const std::string& data, bool core = false) {
    std::string f = "BM";
    auto put = [&f](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f.push_back(static_cast<char>(v >> (8 * i)));
    };
    const uint32_t info = core ? 12 : 40, entry = core ? 3 : 4;
    const uint32_t masks = compression == 3 ? 12 : 0;
    const uint32_t offset = 14 + info + masks + entry * colors;
    put(offset + static_cast<uint32_t>(data.size()), 4);
    put(0, 4);
    put(offset, 4);
    put(info, 4);
    if (core) {
        put(static_cast<uint32_t>(width), 2), put(static_cast<uint32_t>(height), 2), put(1, 2), put(bits, 2);
    } else {
        put(static_cast<uint32_t>(width), 4), put(static_cast<uint32_t>(height), 4), put(1, 2), put(bits, 2);
        put(compression, 4), put(static_cast<uint32_t>(data.size()), 4), put(2835, 4), put(2835, 4);
        put(colors, 4), put(0, 4);
        if (compression == 3) put(0xF800, 4), put(0x07E0, 4), put(0x001F, 4);
    }
    for (uint32_t i = 0; i < colors; ++i)
        put(i * 0x3B5D1Fu & 0xFFFFFFu, static_cast<int>(entry));
    return f + data;
}

// Rows of a plain bitmap, each padded to 4 bytes, bytes from a simple pattern.
std::string Rows(int32_t width, int32_t height, int bits) {
    size_t rowBytes = (static_cast<size_t>(width) * static_cast<size_t>(bits) + 7) / 8;
    size_t stride = (rowBytes + 3) & ~size_t(3);
    std::string data(stride * static_cast<size_t>(height < 0 ? -height : height), '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 37 % 251);
    return data;
}

void Bitmaps() {
    Put("bitmap", "indexed-1.bmp", Bitmap(13, 5, 1, 0, 2, Rows(13, 5, 1)));
    Put("bitmap", "indexed-4.bmp", Bitmap(9, 4, 4, 0, 16, Rows(9, 4, 4)));
    Put("bitmap", "indexed-8-top-down.bmp", Bitmap(7, -3, 8, 0, 256, Rows(7, 3, 8)));
    Put("bitmap", "direct-16-masks.bmp", Bitmap(5, 3, 16, 3, 0, Rows(5, 3, 16)));
    Put("bitmap", "direct-24.bmp", Bitmap(6, 4, 24, 0, 0, Rows(6, 4, 24)));
    Put("bitmap", "direct-32.bmp", Bitmap(4, 4, 32, 0, 0, Rows(4, 4, 32)));
    Put("bitmap", "core-24.bmp", Bitmap(5, 2, 24, 0, 0, Rows(5, 2, 24), true));
    Put("bitmap", "core-8.bmp", Bitmap(5, 2, 8, 0, 256, Rows(5, 2, 8), true));
    // Run-length streams: runs, a stored run, a cursor move, line ends and the end.
    Put("bitmap", "rle8.bmp",
        Bitmap(8, 4, 8, 1, 16,
               std::string("\x04\x03\x00\x04\x01\x02\x03\x04\x00\x00\x08\x05\x00\x02\x02\x01"
                           "\x03\x07\x00\x00\x00\x01",
                           22)));
    Put("bitmap", "rle4.bmp",
        Bitmap(8, 4, 4, 2, 16,
               std::string("\x08\x12\x00\x00\x00\x05\x34\x56\x70\x00\x03\x9A\x00\x00"
                           "\x08\xFF\x00\x01",
                           18)));
    std::string runs; // 255 x 255 coded in full with runs of 255
    for (int row = 0; row < 255; ++row)
        runs += std::string("\xFF") + static_cast<char>(row % 16) + std::string("\x00\x00", 2);
    runs += std::string("\x00\x01", 2);
    Put("bitmap", "rle8-runs.bmp", Bitmap(255, 255, 8, 1, 16, runs));
}

void Scripts() {
    Put("input_script", "drive.txt",
        "# drive forward for two seconds, then quit\n1 keydown up\n100 keyup up\n"
        "120 keydown escape\n");
    Put("input_script", "every-event.txt",
        "1 keydown down\n1 keydown left\r\n2\tkeyup left\n3 keydown right\n4 keyup right\n5 keydown space\n"
        "6 keyup space\n7 keydown shift\n8 keyup shift\n9 keyup down\n\n   # a comment\n"
        "10 mousedown 320 240\n11 mousemove -5 70000\n12 mouseup 2147483647 -2147483648\n");
    Put("input_script", "bad-frame.txt", "5 keydown up\n4 keyup up\n");
    Put("input_script", "bad-field.txt", "1 keydown up\n2 mousemove 1\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: cave-fuzz-seeds OUTDIR [FILE.x ...]\n");
        return 2;
    }
    outDir = argv[1];
    mkdir(outDir.c_str(), 0755);
    VokRegisterSceneClasses();
    Documents();
    StoredObjects();
    Scripts();
    Bitmaps();
    for (int i = 2; i < argc; ++i) {
        std::string name = argv[i];
        name = name.substr(name.find_last_of('/') + 1);
        Document(name.substr(0, name.rfind('.')), ReadFile(argv[i]));
    }
    std::printf("cave-fuzz-seeds: %d seed files in %s\n", written, outDir.c_str());
    return 0;
}
