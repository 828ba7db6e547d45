// xfile_test_util.h -- shared helpers of the scene reader tests: clean start, temporary files, tree queries
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "framework/refobj.h"
#include "framework/stream.h"
#include "scene/scene_classes.h"
#include "xfile/reader.h"

// Owns one reference to a root frame.
struct ReleaseFrame {
    void operator()(TVokFrame* frame) const { frame->Release(); }
};
using Root = std::unique_ptr<TVokFrame, ReleaseFrame>;

// A fresh directory under the system's temporary folder, named PREFIX and a random number, created atomically
// so that test programs running side by side never share one; empty when none could be made.
inline std::string makeTempDir(const char* prefix) {
    std::random_device random;
    for (int tries = 0; tries < 100; ++tries) {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
        if (std::filesystem::create_directory(path)) return path.string();
    }
    return std::string();
}

// Each test starts with the ten classes registered and the debug log in a fresh directory.
class XfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VokShutdownFramework();
        VokRegisterSceneClasses();
        dir = makeTempDir("cave-xfile-");
        ASSERT_FALSE(dir.empty());
        logPath = dir + "/VokDebug.txt";
        vokDebugLogName = logPath.c_str();
    }
    void TearDown() override {
        VokResetDebugLog();
        VokShutdownFramework();
        std::error_code error;
        std::filesystem::remove_all(dir, error);
        EXPECT_FALSE(error) << error.message();
    }
    static std::string ReadFile(const std::string& path) {
        std::string content;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            for (int c; (c = std::fgetc(f)) != EOF;) {
                content += static_cast<char>(c);
            }
            std::fclose(f);
        }
        return content;
    }
    std::string WriteTemp(const char* name, const std::string& bytes) const {
        std::string path = dir + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
    static Root Read(const std::string& text) {
        return Root(ReadSceneFromMemory(text.data(), static_cast<int32_t>(text.size())));
    }

    std::string dir;
    std::string logPath;
};

// The n-th attached mesh of a frame, or null.
inline TVokPolygonMesh* MeshAt(TVokVFrame* frame, int n) {
    TVokListNode* node = frame != nullptr ? frame->attachments.First() : nullptr;
    for (; node != nullptr && node != frame->attachments.End(); node = node->next) {
        if (n-- == 0) {
            return dynamic_cast<TVokPolygonMesh*>(static_cast<TVokLSObj*>(node->data));
        }
    }
    return nullptr;
}

// The n-th child frame, or null.
inline TVokFrame* ChildAt(TVokVFrame* frame, int n) {
    TVokVTree* child = frame != nullptr ? frame->FirstChild() : nullptr;
    for (; child != nullptr && n > 0; n--) {
        child = child->NextSibling();
    }
    return dynamic_cast<TVokFrame*>(child);
}

// Counts the frames and meshes of a tree and checks, for every mesh, what later
// consumers rely on: counts within capacities (and within `limit`, the input size),
// every face index below the vertex count.
inline void CheckTree(TVokVFrame* frame, int* frames, int* meshes, int32_t limit) {
    if (frame == nullptr) {
        return;
    }
    (*frames)++;
    for (int i = 0; TVokPolygonMesh* mesh = MeshAt(frame, i); i++) {
        (*meshes)++;
        const TVokPolygonData* d = mesh->geometry;
        ASSERT_TRUE(d != nullptr && d->vertexCount <= d->vertexCapacity && d->faceCount <= d->faceCapacity);
        ASSERT_TRUE(d->vertexCapacity <= limit && d->faceCapacity <= limit);
        for (int32_t f = 0; f < d->faceCount; f++) {
            for (int32_t j = 0; j < d->faces[f].indexCount; j++) {
                ASSERT_LT(d->faces[f].indices[j], d->vertexCount);
            }
        }
    }
    for (TVokVTree* child = frame->FirstChild(); child != nullptr; child = child->NextSibling()) {
        CheckTree(dynamic_cast<TVokVFrame*>(child), frames, meshes, limit);
    }
}
