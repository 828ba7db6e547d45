// tokenizer.h -- in-memory byte stream over a whole scene file, and the tokenizer that cuts it into tokens
#pragma once

#include <cstdint>
#include <memory>

#include "framework/stream.h"

// A token: a fresh NUL-terminated heap string owned by whoever took it. The empty
// string means end of input.
using TVokToken = std::unique_ptr<char[]>;

// Byte stream over one owned buffer, filled from a file in a single read.
// The buffer always carries one NUL byte after the `size` loaded bytes, so a token
// scan stops at the end of the loaded bytes exactly as it stops at a NUL byte.
class TVokMemoryStream : public TVokStream {
  public:
    TVokMemoryStream();
    ~TVokMemoryStream() override;
    TVokMemoryStream(const TVokMemoryStream&) = delete;
    TVokMemoryStream& operator=(const TVokMemoryStream&) = delete;

    // Loads the whole file; false when it cannot be opened or is empty. Then `size`
    // becomes 0 (nothing more is read) while buffer and position are left as they
    // were. An open failure is logged by the file stream.
    bool LoadFile(const char* fileName);
    // Takes a copy of `count` bytes as the loaded contents (what LoadFile does after
    // its read); for building streams in memory. A count <= 0 loads nothing and gives false.
    bool LoadBytes(const void* bytes, int32_t count);

    int32_t Seek(int32_t offset) override;
    int32_t Tell() override;
    int32_t Read(void* destination, uint32_t count) override;
    int32_t Write(const void* source, uint32_t count) override;
    int32_t Size() override;

    // Bytes left before the end of input (the first NUL byte or the end of the loaded
    // bytes, less the blanks before it). Readers use it to limit counts taken from the
    // file to what the input can hold.
    int32_t Remaining() const;

  protected:
    char* buffer;     // owned; size + 1 bytes (the last one NUL), null while nothing is loaded
    int32_t position; // byte offset where the next read or token starts
    int32_t size;     // number of loaded bytes
    int32_t inputEnd; // where the tokens end: the first NUL byte, or size, less the blanks before it
};

// Memory stream that cuts its bytes into tokens.
class TVokTokenizer : public TVokMemoryStream {
  public:
    // Next token by the default rule (the one the scene reader uses); position moves past it.
    TVokToken NextToken();
    // Next token by the identifier rule; nothing in the reader uses it.
    virtual TVokToken NextIdentifierToken();
};

// Number conversions of the readers: the C library's "%f" and "%d" scans of the
// token's leading number. When the token holds no number the value is left unchanged
// (so the reader's scratch keeps the previous number) and false is returned.
bool VokTokenToFloat(const char* token, float* value);
bool VokTokenToInt(const char* token, int32_t* value);
