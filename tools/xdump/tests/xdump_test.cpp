// xdump_test.cpp -- cave-xdump run on small files: output bytes, escapes, numbers and exit status
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

// The tool, named relative to the test's working directory and made absolute before a test moves away.
const std::string XDUMP = fs::absolute(CAVE_XDUMP_EXE).string();

class XdumpRun : public ::testing::Test {
  protected:
    void SetUp() override {
        // A random name, created atomically: test programs running side by side never share one.
        std::random_device random;
        for (int tries = 0; dir.empty() && tries < 100; ++tries) {
            fs::path path = fs::temp_directory_path() / ("cave-xdump-" + std::to_string(random()));
            if (fs::create_directory(path)) dir = path.string();
        }
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(dir, error);
        EXPECT_FALSE(error) << error.message();
    }

    static std::string Slurp(const std::string& path) {
        std::string content;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            for (int c; (c = std::fgetc(f)) != EOF;) {
                content += static_cast<char>(c);
            }
            std::fclose(f);
        }
        return content;
    }
    // Writes `bytes` to `name` in the temporary directory, runs the tool there with
    // `arguments` and returns its exit status.
    int Run(const char* name, const std::string& bytes, const std::string& arguments) {
        if (name != nullptr) {
            FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        // The same line for the POSIX shell and for cmd.exe, which wants /d to change drives too.
#ifdef _WIN32
        const std::string cd = "cd /d ";
#else
        const std::string cd = "cd ";
#endif
        std::string command =
            cd + "\"" + dir + "\" && \"" + XDUMP + "\" " + arguments + " > out.txt 2> err.txt";
        int status = std::system(command.c_str());
        out = Slurp(dir + "/out.txt");
        err = Slurp(dir + "/err.txt");
#ifdef _WIN32
        return status; // the program's exit code
#else
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    }

    std::string dir;
    std::string out;
    std::string err;
};

const std::string IDENTITY = "[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]";

} // namespace

TEST_F(XdumpRun, SceneDumpBytes) {
    EXPECT_EQ(
        Run("scene.x",
            "xof 0302txt 0032\nFrame Room {\n FrameTransformMatrix { 1,0,0,0, 0,nan,0,0, 0,0,infinity,0, "
            "0.1,-1" +
                std::string(40, '0') +
                ",0,1;; }\n Frame { }\n"
                " Mesh Tri\\x { 3; 0;0;0;, 1;0;0;, 0;1;0.5;; 1; 3;0,1,2;;\n  MeshMaterialList { 1; 1; 0;; "
                "Material "
                "{ 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"caf\xe9.bmp\"; } } } }\n Mesh Empty { "
                "0;; 0;; }\n}\n",
            "scene.x"),
        0);
    EXPECT_EQ(
        out,
        "{\"root\": {\"name\": \"Room\", \"matrix\": "
        "[1,0,0,0,0,\"nan\",0,0,0,0,\"inf\",0,0.100000001,\"-inf\",0,1], "
        "\"children\": [{\"name\": \"\", \"matrix\": " +
            IDENTITY +
            ", \"children\": [], \"meshes\": []}], "
            "\"meshes\": [{\"name\": \"Tri\\u005cx\", \"vertices\": [[0,0,0,0,0,0,0,0], [1,0,0,0,0,0,0,0], "
            "[0,1,0.5,0,0,0,0,0]], \"faces\": [[0,1,2]], \"texture\": \"caf\\u00e9.bmp\", "
            "\"bounds\": {\"min\":[0,0,0],\"max\":[1,1,0.5]}}, "
            "{\"name\": \"Empty\", \"vertices\": [], \"faces\": [], \"texture\": null, \"bounds\": "
            "null}]}}\n");
    EXPECT_EQ(err, "");
    // A top-level mesh: its frame has a null name.
    EXPECT_EQ(Run("lone.x", "Mesh { 1; -0;2.5;2.5;; 1; 1;0;; }", "lone.x"), 0);
    EXPECT_EQ(
        out,
        "{\"root\": {\"name\": null, \"matrix\": " + IDENTITY +
            ", \"children\": [], \"meshes\": "
            "[{\"name\": \"\", \"vertices\": [[-0,2.5,2.5,0,0,0,0,0]], \"faces\": [[0]], \"texture\": null, "
            "\"bounds\": {\"min\":[-0,2.5,2.5],\"max\":[-0,2.5,2.5]}}]}}\n");
}

TEST_F(XdumpRun, TokenDumpAndExitStatus) {
    EXPECT_EQ(Run("tokens.x", std::string("xof 0302txt\r\n\"a\\b\" \x01;\x7f\x80", 23), "--tokens tokens.x"),
              0);
    EXPECT_EQ(out,
              "[\"xof\", \"0302\", \"txt\", \"\\u0022\", \"a\\u005cb\", \"\\u0022\", \"\\u0001\", \";\", "
              "\"\\u007f\\u0080\"]\n");
    EXPECT_EQ(Run("empty.x", "", "empty.x"), 0);
    EXPECT_EQ(out, "{\"root\": null}\n");
    EXPECT_EQ(Run(nullptr, "", "--tokens empty.x"), 0);
    EXPECT_EQ(out, "[]\n");
    EXPECT_EQ(Run("templates.x", "xof 0302txt 0032\ntemplate Vector { FLOAT x; }\n", "templates.x"), 0);
    EXPECT_EQ(out, "{\"root\": null}\n");
    for (const char* arguments : {"missing.x", "--tokens missing.x", ".", "", "a.x b.x"}) {
        EXPECT_NE(Run(nullptr, "", arguments), 0) << arguments;
        EXPECT_EQ(out, "");
        EXPECT_NE(err, "");
    }
    EXPECT_EQ(Slurp(dir + "/VokDebug.txt"), ""); // the tool checks the file itself: no log line
}
