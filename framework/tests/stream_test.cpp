// stream_test.cpp -- file streams and the debug log line
#include <cstring>

#include "framework_test_util.h"

static std::string FailureLine(const std::string& name) {
    return std::string(reinterpret_cast<const char*>(VOK_OPEN_FAILURE_PREFIX), 45) + name + "\"\r\n";
}

TEST_F(FrameworkTest, FailedOpensAppendCodePage932Lines) {
    const unsigned char prefix[45] = {0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8b, 0x82, 0xcc, 0x83, 0x49,
                                      0x81, 0x5b, 0x83, 0x76, 0x83, 0x93, 0x82, 0xc9, 0x8e, 0xb8, 0x94, 0x73,
                                      0x82, 0xb5, 0x82, 0xdc, 0x82, 0xb5, 0x82, 0xbd, ' ',  'F',  'i',  'l',
                                      'e',  'N',  'a',  'm',  'e',  0x81, 0x63, ' ',  '"'};
    EXPECT_EQ(std::memcmp(VOK_OPEN_FAILURE_PREFIX, prefix, 45), 0);

    WriteDebugLog("earlier"); // no line break is added
    std::string missing = Path("cave.x"), other = Path("map.bmp");
    TVokFileStream stream(missing.c_str(), "rb");
    EXPECT_EQ(stream.file, nullptr);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Open(other.c_str(), "rb"), 0);
    EXPECT_EQ(ReadFile(logPath), "earlier" + FailureLine(missing) + FailureLine(other));

    // A log that cannot be opened drops the message and logs nothing about itself.
    std::string unreachable = Path("none/VokDebug.txt");
    vokDebugLogName = unreachable.c_str();
    WriteDebugLog("lost");
    TVokFileStream lost(missing.c_str(), "rb");
    vokDebugLogName = logPath.c_str();
    EXPECT_EQ(ReadFile(logPath), "earlier" + FailureLine(missing) + FailureLine(other));
}

TEST_F(FrameworkTest, FileStreamMeasuresAndReopens) {
    std::string path = Path("data.bin"), second = Path("second.bin");
    {
        TVokFileStream stream(path.c_str(), "w+b");
        EXPECT_EQ(stream.Write("abcdef", 6), 1);
        EXPECT_EQ(stream.Seek(2), 0);
        EXPECT_EQ(stream.Size(), 6);
        EXPECT_EQ(stream.Tell(), 2); // Size leaves the position where it was
        char bytes[8];
        EXPECT_EQ(stream.Read(bytes, 2), 1);
        EXPECT_EQ(std::string(bytes, 2), "cd");
        EXPECT_EQ(stream.Read(bytes, 8), 0); // short
    }
    // Open closes the current file first (its buffered bytes reach the disk),
    // even when the new open fails.
    TVokFileStream stream(second.c_str(), "wb");
    stream.Write("xyz", 3);
    EXPECT_EQ(stream.Open(Path("none/none").c_str(), "rb"), 0);
    EXPECT_EQ(stream.file, nullptr);
    EXPECT_EQ(ReadFile(second), "xyz");
    EXPECT_EQ(stream.Open(path.c_str(), "rb"), 1);
    EXPECT_EQ(stream.Size(), 6);
}
