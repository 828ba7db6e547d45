// xfile_test_util.h -- shared helpers of the scene reader tests: clean start, temporary files, tree queries
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/refobj.h"
#include "framework/stream.h"
#include "scene/scene_classes.h"
#include "xfile/reader.h"

// Starts each test with an empty registry and the ten classes registered, and the
// debug log inside a fresh temporary directory, removed afterwards.
class XfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        VokShutdownFramework();
        VokResetDebugLog();
        VokRegisterSceneClasses();
        VokResetMaterialReader();
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/cave-xfile-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        ASSERT_NE(mkdtemp(buffer.data()), nullptr);
        dir = buffer.data();
        logPath = Path("VokDebug.txt");
        vokDebugLogName = logPath.c_str();
    }
    void TearDown() override
    {
        VokResetDebugLog();
        VokShutdownFramework();
        std::string command = "rm -rf '" + dir + "'";
        if (std::system(command.c_str()) != 0) {
            ADD_FAILURE() << "could not remove " << dir;
        }
    }

    std::string Path(const char* name) const { return dir + "/" + name; }

    static std::string ReadFile(const std::string& path)
    {
        std::string content;
        FILE* f = std::fopen(path.c_str(), "rb");
        if (f == nullptr) {
            return content;
        }
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            content.append(chunk, n);
        }
        std::fclose(f);
        return content;
    }
    std::string WriteTemp(const char* name, const std::string& bytes) const
    {
        std::string path = Path(name);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        return path;
    }

    // Reads a document held in a string.
    static TVokFrame* Read(const std::string& text)
    {
        return ReadSceneFromMemory(text.data(), static_cast<int32_t>(text.size()));
    }

    std::string dir;
    std::string logPath;
};

// Releases a root frame at the end of a scope.
struct RootHolder {
    explicit RootHolder(TVokFrame* frame) : root(frame) {}
    ~RootHolder()
    {
        if (root != nullptr) {
            root->Release();
        }
    }
    RootHolder(const RootHolder&) = delete;
    RootHolder& operator=(const RootHolder&) = delete;
    TVokFrame* operator->() const { return root; }
    TVokFrame* get() const { return root; }
    TVokFrame* root;
};

// The n-th attached mesh of a frame (0 first), or null.
inline TVokPolygonMesh* MeshAt(TVokVFrame* frame, int n)
{
    if (frame == nullptr) {
        return nullptr;
    }
    for (TVokListNode* node = frame->attachments.First(); node != frame->attachments.End(); node = node->next) {
        if (n-- == 0) {
            return dynamic_cast<TVokPolygonMesh*>(static_cast<TVokLSObj*>(node->data));
        }
    }
    return nullptr;
}

// The n-th child frame (0 first), or null.
inline TVokFrame* ChildAt(TVokVFrame* frame, int n)
{
    if (frame == nullptr) {
        return nullptr;
    }
    for (TVokVTree* child = frame->FirstChild(); child != nullptr; child = child->NextSibling()) {
        if (n-- == 0) {
            return dynamic_cast<TVokFrame*>(child);
        }
    }
    return nullptr;
}

// Frames and meshes of a whole tree.
inline void CountTree(TVokVFrame* frame, int* frames, int* meshes)
{
    if (frame == nullptr) {
        return;
    }
    (*frames)++;
    *meshes += frame->AttachmentCount();
    for (TVokVTree* child = frame->FirstChild(); child != nullptr; child = child->NextSibling()) {
        CountTree(dynamic_cast<TVokVFrame*>(child), frames, meshes);
    }
}

// The invariants that later consumers rely on, for every mesh of a tree: counts
// within capacities, face index arrays present, every index below the vertex count.
inline void ExpectSoundTree(TVokVFrame* frame)
{
    if (frame == nullptr) {
        return;
    }
    for (int i = 0;; i++) {
        TVokPolygonMesh* mesh = MeshAt(frame, i);
        if (mesh == nullptr) {
            break;
        }
        const TVokPolygonData* data = mesh->geometry;
        ASSERT_NE(data, nullptr);
        ASSERT_GE(data->vertexCount, 0);
        ASSERT_LE(data->vertexCount, data->vertexCapacity);
        ASSERT_GE(data->faceCount, 0);
        ASSERT_LE(data->faceCount, data->faceCapacity);
        for (int32_t f = 0; f < data->faceCount; f++) {
            const TVokFace& face = data->faces[f];
            ASSERT_GE(face.indexCount, 0);
            ASSERT_TRUE(face.indexCount == 0 || face.indices != nullptr);
            for (int32_t j = 0; j < face.indexCount; j++) {
                ASSERT_LT(face.indices[j], data->vertexCount);
            }
        }
    }
    for (TVokVTree* child = frame->FirstChild(); child != nullptr; child = child->NextSibling()) {
        ExpectSoundTree(dynamic_cast<TVokVFrame*>(child));
    }
}
