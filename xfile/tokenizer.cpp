// tokenizer.cpp -- loading a scene file whole and cutting it into tokens
#include "xfile/tokenizer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Byte classes of the default token rule.
bool IsWhitespace(unsigned char c) {
    return c == 7 || c == 9 || c == 10 || c == 13 || c == 32;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool StartsNumber(unsigned char c) {
    return IsDigit(c) || c == '.' || c == '-';
}

// The 26 characters that form a token of their own where a token starts:
// 33-35, 37-44, 47, 58-64, 91-94, 123-125.
bool IsPunctuation(unsigned char c) {
    return (c >= 33 && c <= 35) || (c >= 37 && c <= 44) || c == 47 || (c >= 58 && c <= 64) ||
           (c >= 91 && c <= 94) || (c >= 123 && c <= 125);
}

// Bytes that end a word token (NUL is handled as end of input).
bool EndsWord(unsigned char c) {
    return c == 0 || c == 10 || c == 13 || c == 7 || c == 9 || c == 32 || c == '{' || c == '}' || c == ',' ||
           c == ';' || c == '"';
}

bool IsLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsIdentifierByte(unsigned char c) {
    return IsLetter(c) || IsDigit(c) || c == '_' || c >= 128;
}

// Where the tokens of a loaded buffer end: at the first NUL byte (or the end of the
// loaded bytes), less the whitespace just before it, which holds no token. A token
// scan that starts at or after this offset finds the end of input without scanning
// those blanks again, so asking for a token at the end of input costs the same
// however long a run of blanks the file ends with.
int32_t FindInputEnd(const char* buffer, int32_t size) {
    const void* nul = std::memchr(buffer, 0, static_cast<size_t>(size));
    int32_t end = nul ? static_cast<int32_t>(static_cast<const char*>(nul) - buffer) : size;
    while (end > 0 && IsWhitespace(static_cast<unsigned char>(buffer[end - 1]))) {
        end--;
    }
    return end;
}

TVokToken MakeToken(const char* start, int32_t length) {
    TVokToken token(new char[static_cast<size_t>(length) + 1]);
    if (length > 0) {
        std::memcpy(token.get(), start, static_cast<size_t>(length));
    }
    token[length] = '\0';
    return token;
}

} // namespace

TVokMemoryStream::TVokMemoryStream() : buffer(nullptr), position(0), size(0), inputEnd(0) {}

TVokMemoryStream::~TVokMemoryStream() {
    std::free(buffer);
}

bool TVokMemoryStream::LoadFile(const char* fileName) {
    TVokFileStream file(fileName, "rb");
    int32_t fileSize = file.Size();
    if (fileSize <= 0) {
        // Missing (already logged by the file stream) or empty: the stream now
        // reports no loaded bytes; buffer and position are left as they were.
        size = 0;
        inputEnd = 0;
        return false;
    }
    // Zero-filled: should the single read deliver fewer bytes than the size, the
    // missing tail reads as NUL bytes, which end the input.
    char* loaded = static_cast<char*>(std::calloc(static_cast<size_t>(fileSize) + 1, 1));
    if (loaded == nullptr) {
        return false;
    }
    std::free(buffer);
    buffer = loaded;
    size = fileSize;
    position = 0;
    file.Read(buffer, size);
    file.Close();
    inputEnd = FindInputEnd(buffer, size);
    return true;
}

bool TVokMemoryStream::LoadBytes(const void* bytes, int32_t count) {
    if (count <= 0 || bytes == nullptr) {
        return false;
    }
    char* loaded = static_cast<char*>(std::calloc(static_cast<size_t>(count) + 1, 1));
    if (loaded == nullptr) {
        return false;
    }
    std::memcpy(loaded, bytes, static_cast<size_t>(count));
    std::free(buffer);
    buffer = loaded;
    size = count;
    position = 0;
    inputEnd = FindInputEnd(buffer, size);
    return true;
}

int32_t TVokMemoryStream::Seek(int32_t offset) {
    if (offset < 0 || size == 0) {
        position = 0; // an empty stream stays at 0 rather than clamping to -1
    } else if (offset >= size) {
        position = size - 1;
    } else {
        position = offset;
    }
    return 0;
}

int32_t TVokMemoryStream::Tell() {
    return position;
}

// Succeeds only when position + count < size (strictly): a read that would include
// the last byte of the buffer fails.
int32_t TVokMemoryStream::Read(void* destination, uint32_t count) {
    if (buffer == nullptr || static_cast<int64_t>(position) + count >= static_cast<int64_t>(size)) {
        return 0;
    }
    std::memcpy(destination, buffer + position, static_cast<size_t>(count));
    position += static_cast<int32_t>(count);
    return 1;
}

int32_t TVokMemoryStream::Write(const void* source, uint32_t count) {
    if (buffer == nullptr || static_cast<int64_t>(position) + count >= static_cast<int64_t>(size)) {
        return 0;
    }
    std::memcpy(buffer + position, source, static_cast<size_t>(count));
    position += static_cast<int32_t>(count);
    // A written NUL byte ends the input for the tokenizer as a loaded one does.
    inputEnd = FindInputEnd(buffer, size);
    return 1;
}

int32_t TVokMemoryStream::Size() {
    return size;
}

int32_t TVokMemoryStream::Remaining() const {
    return position < inputEnd ? inputEnd - position : 0;
}

TVokToken TVokTokenizer::NextToken() {
    if (buffer == nullptr) {
        return MakeToken("", 0);
    }
    // Every scan stops at the terminator kept after the loaded bytes.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer);
    int32_t p = position;
    while (p < inputEnd && IsWhitespace(bytes[p])) {
        p++;
    }
    if (p >= inputEnd) {
        return MakeToken("", 0); // end of input; position stays where it was
    }
    int32_t start = p;
    unsigned char first = bytes[p++];
    if (StartsNumber(first)) {
        while (p < size && (IsDigit(bytes[p]) || bytes[p] == '.')) {
            p++;
        }
    } else if (!IsPunctuation(first)) {
        while (p < size && !EndsWord(bytes[p])) {
            p++;
        }
    }
    position = p;
    return MakeToken(buffer + start, p - start);
}

TVokToken TVokTokenizer::NextIdentifierToken() {
    if (buffer == nullptr) {
        return MakeToken("", 0);
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer);
    int32_t p = position;
    for (;;) {
        while (p < size && bytes[p] == ' ') {
            p++;
        }
        while (p < size && bytes[p] == '\t') {
            p++;
        }
        if (p >= inputEnd) {
            return MakeToken("", 0); // only blanks, if anything, before the end of input
        }
        unsigned char c = bytes[p];
        int32_t start = p;
        if (IsLetter(c) || c == '_' || c >= 128) {
            while (p < size && bytes[p] != 0 && IsIdentifierByte(bytes[p])) {
                // A byte 128-255 leads a double-byte character: its second byte belongs
                // to the identifier whatever it is, but never past the end of input.
                if (bytes[p] >= 128 && p + 1 < size && bytes[p + 1] != 0) {
                    p += 2;
                } else {
                    p++;
                }
            }
        } else if (StartsNumber(c)) {
            p++;
            while (p < size && (IsDigit(bytes[p]) || bytes[p] == '.')) {
                p++;
            }
        } else if (IsPunctuation(c)) {
            p++;
        } else {
            p++; // any other byte is passed over and the scan starts again
            continue;
        }
        position = p;
        return MakeToken(buffer + start, p - start);
    }
}

bool VokTokenToFloat(const char* token, float* value) {
    float converted = 0.0f;
    if (std::sscanf(token, "%f", &converted) != 1) {
        return false;
    }
    *value = converted;
    return true;
}

bool VokTokenToInt(const char* token, int32_t* value) {
    // The same result as "%d" for every number in the int range. "%d" has no defined
    // result outside it; here such a number keeps its low 32 bits, as the C library's
    // long-to-int store does for numbers that fit in 64 bits.
    const char* p = token;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        p++;
    }
    const char* digits = p;
    if (*digits == '+' || *digits == '-') {
        digits++;
    }
    if (!IsDigit(static_cast<unsigned char>(*digits))) {
        return false;
    }
    bool negative = *p == '-';
    uint32_t low = 0;
    for (const char* d = digits; IsDigit(static_cast<unsigned char>(*d)); d++) {
        low = low * 10u + static_cast<uint32_t>(*d - '0');
    }
    if (negative) {
        low = 0u - low;
    }
    *value = static_cast<int32_t>(low);
    return true;
}
