// tokenizer_test.cpp -- tests of the memory stream, the token rules and the number conversions
#include <cmath>
#include <string>
#include <vector>

#include "xfile/tests/xfile_test_util.h"
#include "xfile/tokenizer.h"

namespace {

std::vector<std::string> Tokens(const std::string& text, bool identifiers = false)
{
    TVokTokenizer tokenizer;
    tokenizer.LoadBytes(text.data(), static_cast<int32_t>(text.size()));
    std::vector<std::string> tokens;
    for (;;) {
        TVokToken token = identifiers ? tokenizer.NextIdentifierToken() : tokenizer.NextToken();
        if (token[0] == '\0') {
            return tokens;
        }
        tokens.push_back(token.get());
    }
}

using List = std::vector<std::string>;

} // namespace

TEST(Tokenizer, CutsTheFormatsTextIntoItsOwnTokens)
{
    EXPECT_EQ(Tokens("xof 0302txt 0032"), (List{"xof", "0302", "txt", "0032"}));
    EXPECT_EQ(Tokens("1.0;2.0;,-3.5;;"), (List{"1.0", ";", "2.0", ";", ",", "-3.5", ";", ";"}));
    // No exponents or signs inside numbers; a lone hyphen is a number token of its own.
    EXPECT_EQ(Tokens("1e-5 +2 - .5 1.2.3 3-4"), (List{"1", "e-5", "+", "2", "-", ".5", "1.2.3", "3", "-4"}));
    // Quoted names are not strings: the quotes are tokens, a space splits the name,
    // a leading digit splits off a number.
    EXPECT_EQ(Tokens("\"wall.bmp\";"), (List{"\"", "wall.bmp", "\"", ";"}));
    EXPECT_EQ(Tokens("\"rusty wall.png\""), (List{"\"", "rusty", "wall.png", "\""}));
    EXPECT_EQ(Tokens("\"2wall.bmp\""), (List{"\"", "2", "wall.bmp", "\""}));
    // Comments are not skipped.
    EXPECT_EQ(Tokens("// note 1\n# x"), (List{"/", "/", "note", "1", "#", "x"}));
    // Braces end a word, parentheses and backslashes do not.
    EXPECT_EQ(Tokens("Frame{ a(b)\\c:d}"), (List{"Frame", "{", "a(b)\\c:d", "}"}));
    // Form feed and Ctrl-Z start words; BEL, TAB, CR, LF and space are whitespace.
    EXPECT_EQ(Tokens("\f\x1a a\x07\tb\r\nc"), (List{"\f\x1a", "a", "b", "c"}));
    EXPECT_EQ(Tokens("a;\r\nb;\r\n"), Tokens("a;\nb;\n"));
    // A NUL byte ends the input.
    EXPECT_EQ(Tokens(std::string("ab cd\0ef gh", 11)), (List{"ab", "cd"}));
    // Bytes 128-255 and DEL are word bytes.
    EXPECT_EQ(Tokens("\x82\xa0x \x7f"), (List{"\x82\xa0x", "\x7f"}));
}

TEST(Tokenizer, EveryByteStartsTheTokenOfItsClass)
{
    const std::string punctuation = "!\"#%&'()*+,/:;<=>?@[\\]^{|}";
    ASSERT_EQ(punctuation.size(), 26u);
    for (int b = 1; b < 256; b++) {
        unsigned char c = static_cast<unsigned char>(b);
        std::string text(1, static_cast<char>(c));
        text += "5a";
        std::vector<std::string> tokens = Tokens(text);
        SCOPED_TRACE(b);
        if (c == 7 || c == 9 || c == 10 || c == 13 || c == 32) {
            EXPECT_EQ(tokens, (List{"5", "a"}));
        } else if ((c >= '0' && c <= '9') || c == '.' || c == '-') {
            EXPECT_EQ(tokens, (List{text.substr(0, 2), "a"}));
        } else if (punctuation.find(static_cast<char>(c)) != std::string::npos) {
            EXPECT_EQ(tokens, (List{text.substr(0, 1), "5", "a"}));
        } else {
            EXPECT_EQ(tokens, (List{text}));
        }
    }
}

TEST(Tokenizer, EndOfInputRepeatsAndLeavesThePositionAlone)
{
    TVokTokenizer tokenizer;
    EXPECT_STREQ(tokenizer.NextToken().get(), ""); // nothing loaded
    const char text[] = "only  ";
    ASSERT_TRUE(tokenizer.LoadBytes(text, 6));
    EXPECT_STREQ(tokenizer.NextToken().get(), "only");
    int32_t after = tokenizer.Tell();
    EXPECT_EQ(after, 4);
    for (int i = 0; i < 3; i++) {
        EXPECT_STREQ(tokenizer.NextToken().get(), "");
        EXPECT_EQ(tokenizer.Tell(), after);
    }
}

TEST(Tokenizer, IdentifierRule)
{
    EXPECT_EQ(Tokens("  \tabc_9 12.5;x", true), (List{"abc_9", "12.5", ";", "x"}));
    // Control bytes, '$', '~', '`' and DEL are passed over; a lead byte takes the next byte.
    EXPECT_EQ(Tokens("\n$a~`\x7f" "b", true), (List{"a", "b"}));
    EXPECT_EQ(Tokens("\x82 x", true), (List{"\x82 x"}));
    EXPECT_EQ(Tokens("ab\x82", true), (List{"ab\x82"})); // never past the end of input
}

TEST(MemoryStream, ReadWriteSeekAndSizeStayInsideTheBuffer)
{
    TVokTokenizer stream;
    EXPECT_EQ(stream.Size(), 0);
    stream.Seek(5);
    EXPECT_EQ(stream.Tell(), 0); // an empty stream stays at 0
    char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 0), 0);

    ASSERT_TRUE(stream.LoadBytes("0123456789", 10));
    EXPECT_EQ(stream.Size(), 10);
    char out[16] = {};
    EXPECT_EQ(stream.Read(out, 10), 0); // would include the last byte
    EXPECT_EQ(stream.Read(out, 9), 1);
    EXPECT_EQ(std::string(out, 9), "012345678");
    EXPECT_EQ(stream.Tell(), 9);
    stream.Seek(-3);
    EXPECT_EQ(stream.Tell(), 0);
    stream.Seek(99);
    EXPECT_EQ(stream.Tell(), 9);
    stream.Seek(2);
    EXPECT_EQ(stream.Write("ab", 2), 1);
    EXPECT_EQ(stream.Write("abcdefgh", 8), 0); // the buffer never grows
    stream.Seek(0);
    EXPECT_STREQ(stream.NextToken().get(), "01");
    EXPECT_STREQ(stream.NextToken().get(), "ab456789");
    EXPECT_EQ(stream.Read(out, 0xFFFFFFFFu), 0);
    EXPECT_FALSE(stream.LoadBytes("x", 0));
    EXPECT_EQ(stream.Size(), 10); // a failed load keeps what was loaded
}

TEST_F(XfileTest, LoadFileReadsTheWholeFileOrLogsTheFailure)
{
    TVokTokenizer tokenizer;
    std::string path = WriteTemp("scene.x", "Frame A {}");
    ASSERT_TRUE(tokenizer.LoadFile(path.c_str()));
    EXPECT_EQ(tokenizer.Size(), 10);
    EXPECT_STREQ(tokenizer.NextToken().get(), "Frame");

    std::string empty = WriteTemp("empty.x", "");
    EXPECT_FALSE(tokenizer.LoadFile(empty.c_str()));
    EXPECT_EQ(tokenizer.Size(), 0); // the size is taken before the load gives up
    EXPECT_STREQ(tokenizer.NextToken().get(), "");
    EXPECT_EQ(ReadFile(logPath), "");

    std::string missing = Path("missing.x");
    EXPECT_FALSE(tokenizer.LoadFile(missing.c_str()));
    std::string log = ReadFile(logPath);
    std::string expected(reinterpret_cast<const char*>(VOK_OPEN_FAILURE_PREFIX), VOK_OPEN_FAILURE_PREFIX_LENGTH);
    expected += missing + "\"\r\n";
    EXPECT_EQ(log, expected);
}

TEST(NumberConversion, LeadingNumberOfTheTokenOrThePreviousValue)
{
    float f = 7.0f;
    EXPECT_TRUE(VokTokenToFloat("1.5.2", &f));
    EXPECT_EQ(f, 1.5f);
    EXPECT_TRUE(VokTokenToFloat("-0.25", &f));
    EXPECT_EQ(f, -0.25f);
    EXPECT_TRUE(VokTokenToFloat(".5", &f));
    EXPECT_EQ(f, 0.5f);
    EXPECT_FALSE(VokTokenToFloat("-", &f));
    EXPECT_FALSE(VokTokenToFloat(";", &f));
    EXPECT_FALSE(VokTokenToFloat("", &f));
    EXPECT_EQ(f, 0.5f); // unchanged by tokens without a number
    EXPECT_TRUE(VokTokenToFloat("nan", &f));
    EXPECT_TRUE(std::isnan(f));
    EXPECT_TRUE(VokTokenToFloat("INFINITY", &f));
    EXPECT_TRUE(std::isinf(f));
    EXPECT_TRUE(VokTokenToFloat(std::string(45, '9').c_str(), &f));
    EXPECT_TRUE(std::isinf(f));

    int32_t i = 3;
    EXPECT_TRUE(VokTokenToInt("12.7", &i));
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(VokTokenToInt("-40", &i));
    EXPECT_EQ(i, -40);
    EXPECT_TRUE(VokTokenToInt("0032", &i));
    EXPECT_EQ(i, 32);
    EXPECT_FALSE(VokTokenToInt(".5", &i));
    EXPECT_FALSE(VokTokenToInt("-", &i));
    EXPECT_FALSE(VokTokenToInt("Mesh", &i));
    EXPECT_EQ(i, 32);
    EXPECT_TRUE(VokTokenToInt("2147483647", &i));
    EXPECT_EQ(i, 2147483647);
    EXPECT_TRUE(VokTokenToInt("4294967297", &i)); // beyond the int range: the low 32 bits
    EXPECT_EQ(i, 1);
    EXPECT_TRUE(VokTokenToInt(std::string(400, '9').c_str(), &i)); // no overflow trap
}
