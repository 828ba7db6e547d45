// memstream.cpp -- the growable in-memory byte stream
#include "framework/memstream.h"

#include <cstring>

TVokBufferStream::TVokBufferStream() : data(nullptr), length(0), capacity(0), position(0) {}

TVokBufferStream::TVokBufferStream(const void* bytes, int32_t byteCount) : TVokBufferStream() {
    if (bytes && byteCount > 0 && byteCount <= VOK_MEMORY_STREAM_MAX) {
        data = new unsigned char[byteCount];
        std::memcpy(data, bytes, static_cast<size_t>(byteCount));
        length = byteCount;
        capacity = byteCount;
    }
}

TVokBufferStream::~TVokBufferStream() {
    delete[] data;
}

int32_t TVokBufferStream::Seek(int32_t newPosition) {
    if (newPosition < 0 || newPosition > length) return -1;
    position = newPosition;
    return 0;
}

int32_t TVokBufferStream::Read(void* buffer, uint32_t count) {
    if (!buffer || count == 0) return 0;
    if (count > static_cast<uint32_t>(length - position)) return 0;
    std::memcpy(buffer, data + position, count);
    position += static_cast<int32_t>(count);
    return 1;
}

int32_t TVokBufferStream::Write(const void* buffer, uint32_t count) {
    if (!buffer || count == 0) return 0;
    if (count > static_cast<uint32_t>(VOK_MEMORY_STREAM_MAX - position)) return 0;
    int32_t needed = position + static_cast<int32_t>(count);
    if (needed > capacity) {
        int32_t grown = capacity < 64 ? 64 : capacity;
        while (grown < needed)
            grown = grown > VOK_MEMORY_STREAM_MAX / 2 ? VOK_MEMORY_STREAM_MAX : grown * 2;
        unsigned char* bigger = new unsigned char[grown];
        if (length > 0) std::memcpy(bigger, data, static_cast<size_t>(length));
        delete[] data;
        data = bigger;
        capacity = grown;
    }
    std::memcpy(data + position, buffer, count);
    position = needed;
    if (position > length) length = position;
    return 1;
}

void TVokBufferStream::Truncate(int32_t newLength) {
    if (newLength < 0 || newLength >= length) return;
    length = newLength;
    if (position > length) position = length;
}
