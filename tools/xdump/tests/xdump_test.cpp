// xdump_test.cpp -- cave-xdump run on small files: output bytes, escapes, numbers and exit status
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/xdump/xdump.h"

namespace {

class XdumpRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/cave-xdump-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        ASSERT_NE(mkdtemp(buffer.data()), nullptr);
        dir = buffer.data();
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + dir + "'";
        if (std::system(command.c_str()) != 0) {
            ADD_FAILURE() << "could not remove " << dir;
        }
    }

    std::string Write(const char* name, const std::string& bytes)
    {
        std::string path = dir + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
    static std::string Slurp(const std::string& path)
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
    // Runs the executable in the temporary directory; returns its exit status.
    int Run(const std::string& arguments)
    {
        std::string command = "cd '" + dir + "' && '" CAVE_XDUMP_EXE "' " + arguments + " > out.txt 2> err.txt";
        int status = std::system(command.c_str());
        out = Slurp(dir + "/out.txt");
        err = Slurp(dir + "/err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir;
    std::string out;
    std::string err;
};

} // namespace

TEST_F(XdumpRun, SceneDumpBytes)
{
    Write("scene.x",
          "xof 0302txt 0032\n"
          "Frame Room {\n"
          " FrameTransformMatrix { 1,0,0,0, 0,nan,0,0, 0,0,infinity,0, 0.1,-1" + std::string(40, '0') + ",0,1;; }\n"
          " Frame { }\n"
          " Mesh Tri\\x { 3; 0;0;0;, 1;0;0;, 0;1;0.5;; 1; 3;0,1,2;;\n"
          "  MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"caf\xe9.bmp\"; } } }\n"
          " }\n"
          " Mesh Empty { 0;; 0;; }\n"
          "}\n");
    EXPECT_EQ(Run("scene.x"), 0);
    const std::string identity = "[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]";
    EXPECT_EQ(out,
              "{\"root\": {\"name\": \"Room\", \"matrix\": [1,0,0,0,0,\"nan\",0,0,0,0,\"inf\",0,0.100000001,\"-inf\",0,1], "
              "\"children\": [{\"name\": \"\", \"matrix\": " + identity + ", \"children\": [], \"meshes\": []}], "
              "\"meshes\": [{\"name\": \"Tri\\u005cx\", \"vertices\": [[0,0,0,0,0,0,0,0], [1,0,0,0,0,0,0,0], "
              "[0,1,0.5,0,0,0,0,0]], \"faces\": [[0,1,2]], \"texture\": \"caf\\u00e9.bmp\", "
              "\"bounds\": {\"min\":[0,0,0],\"max\":[1,1,0.5]}}, "
              "{\"name\": \"Empty\", \"vertices\": [], \"faces\": [], \"texture\": null, \"bounds\": null}]}}\n");
    EXPECT_EQ(err, "");

    // A top-level mesh: its frame has a null name.
    Write("lone.x", "Mesh { 1; -0;2.5;3;; 1; 1;0;; }");
    EXPECT_EQ(Run("lone.x"), 0);
    EXPECT_EQ(out, "{\"root\": {\"name\": null, \"matrix\": " + identity +
                       ", \"children\": [], \"meshes\": [{\"name\": \"\", \"vertices\": [[-0,2.5,3,0,0,0,0,0]], "
                       "\"faces\": [[0]], \"texture\": null, \"bounds\": {\"min\":[-0,2.5,3],\"max\":[-0,2.5,3]}}]}}\n");
}

TEST_F(XdumpRun, TokenDumpAndExitStatus)
{
    Write("tokens.x", std::string("xof 0302txt\r\n\"a\\b\" \x01;\x7f", 22));
    EXPECT_EQ(Run("--tokens tokens.x"), 0);
    EXPECT_EQ(out, "[\"xof\", \"0302\", \"txt\", \"\\u0022\", \"a\\u005cb\", \"\\u0022\", \"\\u0001\", \";\", \"\\u007f\"]\n");

    Write("empty.x", "");
    EXPECT_EQ(Run("empty.x"), 0);
    EXPECT_EQ(out, "{\"root\": null}\n");
    EXPECT_EQ(Run("--tokens empty.x"), 0);
    EXPECT_EQ(out, "[]\n");
    Write("templates.x", "xof 0302txt 0032\ntemplate Vector { FLOAT x; }\n");
    EXPECT_EQ(Run("templates.x"), 0);
    EXPECT_EQ(out, "{\"root\": null}\n");

    EXPECT_NE(Run("missing.x"), 0);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("missing.x"), std::string::npos);
    EXPECT_NE(Run("--tokens missing.x"), 0);
    EXPECT_NE(Run("."), 0); // a directory is not a scene file
    EXPECT_NE(Run(""), 0);  // usage
    EXPECT_NE(err.find("usage"), std::string::npos);
    // The tool checks the file itself; the reader's debug log is not written.
    EXPECT_EQ(Slurp(dir + "/VokDebug.txt"), "");
}

TEST(XdumpFormat, StringsAndNumbers)
{
    std::string out;
    XdumpAppendString(out, " ~\"\\\t\n\x80\xff");
    EXPECT_EQ(out, "\" ~\\u0022\\u005c\\u0009\\u000a\\u0080\\u00ff\"");
    out.clear();
    XdumpAppendString(out, nullptr);
    EXPECT_EQ(out, "null");
    out.clear();
    for (float value : {16777216.0f, -1.5e-7f, 3.40282347e38f, -NAN, -INFINITY, 1e-45f}) {
        XdumpAppendFloat(out, value);
        out += ' ';
    }
    EXPECT_EQ(out, "16777216 -1.50000005e-07 3.40282347e+38 \"nan\" \"-inf\" 1.40129846e-45 ");
}
