// tokenizer_test.cpp -- tests of the memory stream, the token rules and the number conversions
#include <cmath>
#include <string>
#include <vector>

#include "xfile/tests/xfile_test_util.h"

namespace {

using List = std::vector<std::string>;

List Tokens(const std::string& text, bool identifiers = false) {
    TVokTokenizer tokenizer;
    tokenizer.LoadBytes(text.data(), static_cast<int32_t>(text.size()));
    List tokens;
    for (;;) {
        TVokToken token = identifiers ? tokenizer.NextIdentifierToken() : tokenizer.NextToken();
        if (token[0] == '\0') {
            return tokens;
        }
        tokens.push_back(token.get());
    }
}

} // namespace

TEST(Tokenizer, TokenRules) {
    EXPECT_EQ(Tokens("xof 0302txt 0032"), (List{"xof", "0302", "txt", "0032"}));
    EXPECT_EQ(Tokens("1.0;2.0;,-3.5;;"), (List{"1.0", ";", "2.0", ";", ",", "-3.5", ";", ";"}));
    EXPECT_EQ(Tokens("1e-5 +2 - .5 1.2.3 3-4"), (List{"1", "e-5", "+", "2", "-", ".5", "1.2.3", "3", "-4"}));
    EXPECT_EQ(Tokens("\"rusty wall.png\" \"2a\""),
              (List{"\"", "rusty", "wall.png", "\"", "\"", "2", "a", "\""}));
    EXPECT_EQ(Tokens("// c 1\n# x"), (List{"/", "/", "c", "1", "#", "x"}));
    EXPECT_EQ(Tokens("Frame{ a(b)\\c:d}"), (List{"Frame", "{", "a(b)\\c:d", "}"}));
    EXPECT_EQ(Tokens("\f\x1a a\x07\tb\r\nc"), (List{"\f\x1a", "a", "b", "c"}));
    EXPECT_EQ(Tokens(std::string("ab cd\0ef", 8)), (List{"ab", "cd"})); // NUL ends the input
    // Identifier rule: skipped bytes, double-byte characters, never past the end.
    EXPECT_EQ(Tokens("  \tabc_9 12.5;\n$a~`\x7f"
                     "b",
                     true),
              (List{"abc_9", "12.5", ";", "a", "b"}));
    EXPECT_EQ(Tokens("\x82 x ab\x82", true), (List{"\x82 x", "ab\x82"}));

    // Every byte as the first of a token: whitespace, number, punctuation or word.
    const std::string punctuation = "!\"#%&'()*+,/:;<=>?@[\\]^{|}";
    for (int b = 1; b < 256; b++) {
        std::string text = std::string(1, static_cast<char>(b)) + "5a";
        List expected{text};
        if (b == 7 || b == 9 || b == 10 || b == 13 || b == 32) {
            expected = {"5", "a"};
        } else if ((b >= '0' && b <= '9') || b == '.' || b == '-') {
            expected = {text.substr(0, 2), "a"};
        } else if (punctuation.find(static_cast<char>(b)) != std::string::npos) {
            expected = {text.substr(0, 1), "5", "a"};
        }
        EXPECT_EQ(Tokens(text), expected) << b;
    }
}

TEST(Tokenizer, StreamStaysInsideItsBuffer) {
    TVokTokenizer stream;
    EXPECT_STREQ(stream.NextToken().get(), ""); // nothing loaded
    stream.Seek(5);
    EXPECT_EQ(stream.Tell(), 0);
    ASSERT_TRUE(stream.LoadBytes("0123456789", 10));
    char out[16] = {};
    EXPECT_EQ(stream.Read(out, 10), 0); // would include the last byte
    EXPECT_EQ(stream.Read(out, 9), 1);
    EXPECT_EQ(stream.Read(out, 0xFFFFFFFFu), 0);
    stream.Seek(99);
    EXPECT_EQ(stream.Tell(), 9);
    stream.Seek(2);
    EXPECT_EQ(stream.Write("ab", 2), 1);
    EXPECT_EQ(stream.Write("abcdefgh", 8), 0); // the buffer never grows
    stream.Seek(0);
    EXPECT_STREQ(stream.NextToken().get(), "01");
    EXPECT_STREQ(stream.NextToken().get(), "ab456789");
    for (int i = 0; i < 2; i++) { // end of input repeats and keeps the position
        EXPECT_STREQ(stream.NextToken().get(), "");
        EXPECT_EQ(stream.Tell(), 10);
    }
}

TEST_F(XfileTest, LoadFileReadsTheWholeFileOrLogsTheFailure) {
    TVokTokenizer tokenizer;
    ASSERT_TRUE(tokenizer.LoadFile(WriteTemp("a.x", "Frame A {}").c_str()));
    EXPECT_EQ(tokenizer.Size(), 10);
    EXPECT_FALSE(tokenizer.LoadFile(WriteTemp("empty.x", "").c_str()));
    EXPECT_STREQ(tokenizer.NextToken().get(), "");
    EXPECT_EQ(ReadFile(logPath), "");
    std::string missing = dir + "/missing.x";
    EXPECT_FALSE(tokenizer.LoadFile(missing.c_str()));
    std::string prefix(reinterpret_cast<const char*>(VOK_OPEN_FAILURE_PREFIX),
                       VOK_OPEN_FAILURE_PREFIX_LENGTH);
    EXPECT_EQ(ReadFile(logPath), prefix + missing + "\"\r\n");
}

TEST(Tokenizer, NumberConversions) {
    float f = 7.0f;
    for (const char* none : {"-", ";", "", ".x"}) {
        EXPECT_FALSE(VokTokenToFloat(none, &f));
    }
    EXPECT_EQ(f, 7.0f); // unchanged by tokens without a number
    EXPECT_TRUE(VokTokenToFloat("1.5.2", &f) && f == 1.5f);
    EXPECT_TRUE(VokTokenToFloat(".5", &f) && f == 0.5f);
    EXPECT_TRUE(VokTokenToFloat("nan", &f) && std::isnan(f));
    EXPECT_TRUE(VokTokenToFloat(std::string(45, '9').c_str(), &f) && std::isinf(f));
    int32_t i = 3;
    EXPECT_FALSE(VokTokenToInt(".5", &i) || VokTokenToInt("Mesh", &i));
    EXPECT_EQ(i, 3);
    EXPECT_TRUE(VokTokenToInt("12.7", &i) && i == 12);
    EXPECT_TRUE(VokTokenToInt("-40", &i) && i == -40);
    EXPECT_TRUE(VokTokenToInt("2147483647", &i) && i == 2147483647);
    EXPECT_TRUE(VokTokenToInt("4294967297", &i) && i == 1); // beyond the int range: the low 32 bits
    EXPECT_TRUE(VokTokenToInt(std::string(400, '9').c_str(), &i));
}
