// framework_test_util.h -- shared set-up of the framework tests: clean registry, temporary directory
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <unistd.h>

#include "framework/memstream.h"
#include "framework/persist.h"
#include "framework/tree.h"

// Each test starts with only the six framework classes registered, an empty tag
// table and pool, and the debug log inside a fresh temporary directory.
class FrameworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VokShutdownFramework();
        VokRegisterFrameworkClasses();
        char pattern[] = "/tmp/cave-fw-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        logPath = Path("VokDebug.txt");
        vokDebugLogName = logPath.c_str();
    }
    void TearDown() override {
        VokResetDebugLog();
        VokShutdownFramework();
        EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
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
