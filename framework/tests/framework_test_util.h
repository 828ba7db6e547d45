// framework_test_util.h -- shared set-up of the framework tests: clean registry, temporary directory
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "framework/memstream.h"
#include "framework/persist.h"
#include "framework/tree.h"

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

// Each test starts with only the six framework classes registered, an empty tag
// table and pool, and the debug log inside a fresh temporary directory.
class FrameworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VokShutdownFramework();
        VokRegisterFrameworkClasses();
        dir = makeTempDir("cave-fw-");
        ASSERT_FALSE(dir.empty());
        logPath = Path("VokDebug.txt");
        vokDebugLogName = logPath.c_str();
    }
    void TearDown() override {
        VokResetDebugLog();
        VokShutdownFramework();
        std::error_code error;
        std::filesystem::remove_all(dir, error);
        EXPECT_FALSE(error) << error.message();
    }
    std::string Path(const char* name) const { return dir + "/" + name; }
    static std::string ReadFile(const std::string& path) {
        std::string content;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            for (int c; (c = std::fgetc(f)) != EOF;)
                content.push_back(static_cast<char>(c));
            std::fclose(f);
        }
        return content;
    }
    static std::string Bytes(const TVokBufferStream& s) {
        return std::string(reinterpret_cast<const char*>(s.data), static_cast<size_t>(s.length));
    }

    std::string dir, logPath;
};
