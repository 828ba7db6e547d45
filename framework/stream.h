// stream.h -- abstract byte streams, the file stream over C stdio, and the debug log
#pragma once

#include <cstdint>
#include <cstdio>

// Byte stream interface. Positions and sizes are 32-bit byte counts.
class TVokStream {
  public:
    TVokStream() = default;
    virtual ~TVokStream();

    TVokStream(const TVokStream&) = delete;
    TVokStream& operator=(const TVokStream&) = delete;

    // Moves to an absolute position; 0 on success, non-zero on failure.
    virtual int32_t Seek(int32_t position) = 0;
    // Current position, or -1 when it cannot be told.
    virtual int32_t Tell() = 0;
    // Reads count bytes; 1 when all were read, 0 otherwise.
    virtual int32_t Read(void* buffer, uint32_t count) = 0;
    // Writes count bytes; 1 when all were written, 0 otherwise.
    virtual int32_t Write(const void* buffer, uint32_t count) = 0;
    // Total length in bytes.
    virtual int32_t Size() = 0;
};

// A stream over a stdio file. A failed open leaves the stream closed and
// appends one line naming the file to the debug log.
class TVokFileStream : public TVokStream {
  public:
    TVokFileStream(const char* fileName, const char* mode);
    ~TVokFileStream() override;

    // fseek from the start; -1 when closed or for a negative position.
    int32_t Seek(int32_t position) override;
    // ftell; -1 when closed.
    int32_t Tell() override;
    // One fread of one element of count bytes; 0 when closed.
    int32_t Read(void* buffer, uint32_t count) override;
    // One fwrite of one element of count bytes; 0 when closed.
    int32_t Write(const void* buffer, uint32_t count) override;
    // Length of the file, position unchanged; 0 when closed or unknown.
    int32_t Size() override;

    // Closes the current file (if any), then opens another. 1 on success; on
    // failure logs it and returns 0, leaving the stream closed.
    virtual int32_t Open(const char* fileName, const char* mode);
    // Closes the file if one is open.
    virtual void Close();

    FILE* file; // the open file, or null when closed
};

// Name of the debug log file, relative to the working directory.
constexpr const char* VOK_DEBUG_LOG_DEFAULT = "VokDebug.txt";
extern const char* vokDebugLogName; // file the debug log appends to; VOK_DEBUG_LOG_DEFAULT normally

// The 45 bytes (code page 932) that open the line logged for a file that cannot
// be opened: "failed to open the file FileName... " and a double quote.
constexpr int VOK_OPEN_FAILURE_PREFIX_LENGTH = 45;
extern const unsigned char VOK_OPEN_FAILURE_PREFIX[VOK_OPEN_FAILURE_PREFIX_LENGTH];

// Appends a NUL-terminated text to the debug log, as it stands (no line break
// added). The log is opened and closed for each message; a log that cannot be
// opened drops the message and logs nothing about itself.
void WriteDebugLog(const char* text);

// Points the debug log back at "VokDebug.txt" in the working directory.
void VokResetDebugLog();
