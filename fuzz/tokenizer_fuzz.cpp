// tokenizer_fuzz.cpp -- fuzz target of the tokenizer: both token rules, and the number conversions
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_check.h"
#include "xfile/tokenizer.h"

namespace {

bool Blank(unsigned char c) {
    return c == 7 || c == 9 || c == 10 || c == 13 || c == 32;
}

// Where the input ends for the tokenizer: the first NUL byte, or the end of the bytes.
size_t InputEnd(const uint8_t* data, size_t size) {
    const void* nul = std::memchr(data, 0, size);
    return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
}

// Takes every token by one rule (or alternating, from the first byte's low bits) and checks that
// each is a non-empty run of the input's own bytes, after the previous one, and that the
// position only moves forward; by the default rule a token holds no blank and the input holds
// nothing but blanks after the last token.
void Tokens(const uint8_t* data, size_t size, int rule) {
    TVokTokenizer tokenizer;
    FUZZ_CHECK(tokenizer.LoadBytes(data, static_cast<int32_t>(size)), "non-empty bytes load");
    size_t end = InputEnd(data, size);
    size_t previous = 0;
    for (size_t n = 0;; ++n) {
        FUZZ_CHECK(n <= size, "no more tokens than bytes");
        bool identifier = rule == 1 || (rule == 2 && n % 2 == 1);
        TVokToken token = identifier ? tokenizer.NextIdentifierToken() : tokenizer.NextToken();
        size_t position = static_cast<size_t>(tokenizer.Tell());
        size_t length = std::strlen(token.get());
        if (length == 0) {
            FUZZ_CHECK(position == previous, "the end of input leaves the position where it was");
            if (!identifier) {
                for (size_t i = position; i < end; ++i)
                    FUZZ_CHECK(Blank(data[i]), "only blanks follow the last token");
                FUZZ_CHECK(tokenizer.Remaining() == 0, "nothing remains after the last token");
            }
            // The end of input stays the end.
            FUZZ_CHECK(tokenizer.NextToken()[0] == '\0' || identifier, "the end of input stays the end");
            return;
        }
        FUZZ_CHECK(position > previous && position <= end,
                   "a token moves the position forward, inside the input");
        FUZZ_CHECK(length <= position - previous, "a token lies after the previous one");
        FUZZ_CHECK(std::memcmp(data + position - length, token.get(), length) == 0,
                   "a token is the input's bytes just before the new position");
        if (!identifier) {
            for (size_t i = 0; i < length; ++i)
                FUZZ_CHECK(!Blank(static_cast<unsigned char>(token[i])), "a token holds no blank");
            for (size_t i = previous; i < position - length; ++i)
                FUZZ_CHECK(Blank(data[i]), "only blanks are passed over between tokens");
        }
        FUZZ_CHECK(tokenizer.Remaining() <= static_cast<int32_t>(size - position),
                   "Remaining stays inside the input");
        previous = position;
    }
}

// VokTokenToInt agrees with "%d" for every number that fits an int.
void Numbers(const uint8_t* data, size_t size) {
    char text[64];
    size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
    std::memcpy(text, data, n);
    text[n] = '\0';
    int32_t value = 12345;
    bool converted = VokTokenToInt(text, &value);
    errno = 0;
    char* after = nullptr;
    long long wide = std::strtoll(text, &after, 10);
    bool number = after != text;
    FUZZ_CHECK(converted == number, "an int is converted exactly when the token starts with one");
    if (!converted) FUZZ_CHECK(value == 12345, "a token without a number leaves the value");
    if (converted && errno != ERANGE && wide >= INT_MIN && wide <= INT_MAX) {
        int scanned = 0;
        FUZZ_CHECK(std::sscanf(text, "%d", &scanned) == 1 && scanned == value, "the same int as %d");
    }
    float f = 0.5f;
    if (!VokTokenToFloat(text, &f)) FUZZ_CHECK(f == 0.5f, "a token without a number leaves the float");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        TVokTokenizer empty;
        FUZZ_CHECK(!empty.LoadBytes(data, 0) && empty.NextToken()[0] == '\0', "no bytes, no tokens");
        return 0;
    }
    Tokens(data, size, data[0] % 3);
    Numbers(data, size);
    return 0;
}
