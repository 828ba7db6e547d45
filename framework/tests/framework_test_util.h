// framework_test_util.h -- shared helpers of the framework tests: clean start, temporary directory
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "framework/persist.h"
#include "framework/refobj.h"
#include "framework/stream.h"

// Starts each test with an empty registry, tag table and pool, then the six
// framework classes registered; the debug log points into a fresh temporary
// directory, which is removed afterwards.
class FrameworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VokShutdownFramework();
        VokResetDebugLog();
        VokRegisterFrameworkClasses();
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/cave-fw-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        ASSERT_NE(mkdtemp(buffer.data()), nullptr);
        dir = buffer.data();
        logPath = Path("VokDebug.txt");
        vokDebugLogName = logPath.c_str();
    }
    void TearDown() override {
        VokResetDebugLog();
        VokShutdownFramework();
        std::string command = "rm -rf '" + dir + "'";
        if (std::system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << dir;
    }

    std::string Path(const char* name) const { return dir + "/" + name; }

    // Whole content of a file ("" when missing).
    static std::string ReadFile(const std::string& path) {
        std::string content;
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return content;
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            content.append(chunk, n);
        std::fclose(f);
        return content;
    }
    static void WriteFileBytes(const std::string& path, const std::string& bytes) {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }

    std::string dir;
    std::string logPath;
};
