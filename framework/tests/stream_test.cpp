// stream_test.cpp -- file streams, the debug log line and the in-memory stream
#include <cstring>
#include <string>

#include "framework/memstream.h"
#include "framework_test_util.h"

namespace {
std::string FailureLine(const std::string& name) {
    return std::string(reinterpret_cast<const char*>(VOK_OPEN_FAILURE_PREFIX),
                       VOK_OPEN_FAILURE_PREFIX_LENGTH) +
           name + "\"\r\n";
}
} // namespace

TEST_F(FrameworkTest, FailedOpenAppendsOneCodePage932Line) {
    // The prefix, byte for byte: sixteen double-byte characters, a blank,
    // FileName, the double-byte ellipsis, a blank and the quote.
    const unsigned char expected[45] = {
        0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8b, 0x82, 0xcc, 0x83, 0x49, 0x81, 0x5b, 0x83,
        0x76, 0x83, 0x93, 0x82, 0xc9, 0x8e, 0xb8, 0x94, 0x73, 0x82, 0xb5, 0x82, 0xdc, 0x82, 0xb5,
        0x82, 0xbd, ' ',  'F',  'i',  'l',  'e',  'N',  'a',  'm',  'e',  0x81, 0x63, ' ',  '"'};
    EXPECT_EQ(std::memcmp(VOK_OPEN_FAILURE_PREFIX, expected, sizeof expected), 0);

    std::string missing = Path("cave.x");
    {
        TVokFileStream stream(missing.c_str(), "rb");
        EXPECT_EQ(stream.file, nullptr);
        EXPECT_EQ(stream.Size(), 0);
        char byte;
        EXPECT_EQ(stream.Read(&byte, 1), 0);
        EXPECT_EQ(stream.Tell(), -1);
    }
    std::string log = ReadFile(logPath);
    EXPECT_EQ(log, FailureLine(missing));
    EXPECT_EQ(log.size(), 45 + missing.size() + 3);

    // A second failure (through Open) appends a second line after the first.
    std::string other = Path("missing.bmp");
    TVokFileStream stream(missing.c_str(), "rb");
    EXPECT_EQ(stream.Open(other.c_str(), "rb"), 0);
    EXPECT_EQ(ReadFile(logPath), FailureLine(missing) + FailureLine(missing) + FailureLine(other));
}

TEST_F(FrameworkTest, DebugLogAppendsTextAsItStands) {
    WriteFileBytes(logPath, "earlier\n");
    WriteDebugLog("one");
    WriteDebugLog("two");
    WriteDebugLog("");
    WriteDebugLog(nullptr);
    EXPECT_EQ(ReadFile(logPath), "earlier\nonetwo");

    // A log that cannot be opened drops the message and does not log about itself.
    std::string unreachable = Path("no-such-dir/VokDebug.txt");
    vokDebugLogName = unreachable.c_str();
    WriteDebugLog("lost");
    TVokFileStream stream(Path("also-missing").c_str(), "rb");
    EXPECT_EQ(stream.file, nullptr);
    vokDebugLogName = logPath.c_str();
    EXPECT_EQ(ReadFile(logPath), "earlier\nonetwo");
}

TEST_F(FrameworkTest, FileStreamReadsWritesAndMeasures) {
    std::string path = Path("data.bin");
    {
        TVokFileStream stream(path.c_str(), "w+b");
        ASSERT_NE(stream.file, nullptr);
        EXPECT_EQ(stream.Size(), 0);
        EXPECT_EQ(stream.Write("abcdef", 6), 1);
        EXPECT_EQ(stream.Seek(2), 0);
        EXPECT_EQ(stream.Size(), 6);
        EXPECT_EQ(stream.Tell(), 2); // Size leaves the position as it was
        char two[2];
        EXPECT_EQ(stream.Read(two, 2), 1);
        EXPECT_EQ(std::string(two, 2), "cd");
        char many[8];
        EXPECT_EQ(stream.Read(many, 8), 0); // short read
        EXPECT_EQ(stream.Seek(-1), -1);
    }
    EXPECT_EQ(ReadFile(path), "abcdef");
    EXPECT_EQ(ReadFile(logPath), "");

    // Open on a stream with a file closes that file first (its buffered bytes
    // reach the disk) even when the new open fails.
    std::string second = Path("second.bin");
    TVokFileStream stream(second.c_str(), "wb");
    ASSERT_NE(stream.file, nullptr);
    stream.Write("xyz", 3);
    EXPECT_EQ(stream.Open(Path("none/none").c_str(), "rb"), 0);
    EXPECT_EQ(stream.file, nullptr);
    EXPECT_EQ(ReadFile(second), "xyz");
    EXPECT_EQ(stream.Open(path.c_str(), "rb"), 1);
    EXPECT_EQ(stream.Size(), 6);
    stream.Close();
    EXPECT_EQ(stream.file, nullptr);
    stream.Close();
}

TEST_F(FrameworkTest, MemoryStreamStaysInsideItsBytes) {
    TVokMemoryStream stream;
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Write("hello", 5), 1);
    EXPECT_EQ(stream.Seek(1), 0);
    EXPECT_EQ(stream.Write("EL", 2), 1);
    EXPECT_EQ(stream.Size(), 5);
    EXPECT_EQ(stream.Seek(6), -1); // past the end
    EXPECT_EQ(stream.Seek(-1), -1);
    EXPECT_EQ(stream.Tell(), 3);
    EXPECT_EQ(stream.Seek(0), 0);
    char buffer[8];
    EXPECT_EQ(stream.Read(buffer, 6), 0); // never past the end
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_EQ(stream.Read(buffer, 5), 1);
    EXPECT_EQ(std::string(buffer, 5), "hELlo");

    std::string big(1000, 'b');
    EXPECT_EQ(stream.Write(big.data(), 1000), 1);
    EXPECT_EQ(stream.Size(), 1005);
    stream.Truncate(4);
    EXPECT_EQ(stream.Size(), 4);
    EXPECT_EQ(stream.Tell(), 4);
    EXPECT_EQ(stream.Write("x", static_cast<uint32_t>(VOK_MEMORY_STREAM_MAX)), 0); // beyond the cap

    TVokMemoryStream copy("abc", 3);
    EXPECT_EQ(copy.Size(), 3);
    EXPECT_EQ(copy.Tell(), 0);
}
