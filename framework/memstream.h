// memstream.h -- a growable in-memory byte stream for writing and reading stored objects
#pragma once

#include <cstdint>

#include "framework/stream.h"

// Largest size an in-memory stream grows to, in bytes (64 MiB).
constexpr int32_t VOK_MEMORY_STREAM_MAX = 64 * 1024 * 1024;

// Byte stream held in a heap buffer. Writing past the end grows it (up to
// VOK_MEMORY_STREAM_MAX); seeking past the end is refused; reads never go past the end.
class TVokBufferStream : public TVokStream {
  public:
    TVokBufferStream();
    // A stream holding a copy of the given bytes, positioned at 0.
    TVokBufferStream(const void* bytes, int32_t length);
    ~TVokBufferStream() override;

    int32_t Seek(int32_t position) override;
    int32_t Tell() override { return position; }
    int32_t Read(void* buffer, uint32_t count) override;
    int32_t Write(const void* buffer, uint32_t count) override;
    int32_t Size() override { return length; }

    // Shortens the content to newLength bytes (no effect when not shorter).
    void Truncate(int32_t newLength);

    unsigned char* data; // content; null while empty
    int32_t length;      // bytes of content
    int32_t capacity;    // bytes allocated for data
    int32_t position;    // current position, 0..length
};
