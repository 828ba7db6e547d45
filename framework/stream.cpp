// stream.cpp -- the file stream over C stdio and the debug log
#include "framework/stream.h"

#include <cstring>

const char* vokDebugLogName = VOK_DEBUG_LOG_DEFAULT;

// "ファイルのオープンに失敗しました FileName… \"" in code page 932.
const unsigned char VOK_OPEN_FAILURE_PREFIX[VOK_OPEN_FAILURE_PREFIX_LENGTH] = {
    0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8b, 0x82, 0xcc, 0x83, 0x49, 0x81, 0x5b, 0x83,
    0x76, 0x83, 0x93, 0x82, 0xc9, 0x8e, 0xb8, 0x94, 0x73, 0x82, 0xb5, 0x82, 0xdc, 0x82, 0xb5,
    0x82, 0xbd, 0x20, 0x46, 0x69, 0x6c, 0x65, 0x4e, 0x61, 0x6d, 0x65, 0x81, 0x63, 0x20, 0x22};

// Set while the log itself is being written: a failure to open the log is not logged.
static bool vokLogBusy = false;

TVokStream::~TVokStream() = default;

// Appends the open-failure line for a file name: prefix, name, quote, CR LF.
static void LogOpenFailure(const char* fileName) {
    if (vokLogBusy) return;
    const char* name = fileName ? fileName : "";
    size_t nameLength = std::strlen(name);
    size_t total = VOK_OPEN_FAILURE_PREFIX_LENGTH + nameLength + 3;
    char* message = new char[total + 1];
    std::memcpy(message, VOK_OPEN_FAILURE_PREFIX, VOK_OPEN_FAILURE_PREFIX_LENGTH);
    std::memcpy(message + VOK_OPEN_FAILURE_PREFIX_LENGTH, name, nameLength);
    std::memcpy(message + VOK_OPEN_FAILURE_PREFIX_LENGTH + nameLength, "\"\r\n", 4);
    WriteDebugLog(message);
    delete[] message;
}

void WriteDebugLog(const char* text) {
    if (!text || vokLogBusy) return;
    vokLogBusy = true;
    {
        // Appended as bytes: the lines carry their own CR LF, which a text-mode stream on Windows would
        // turn into CR CR LF.
        TVokFileStream log(vokDebugLogName, "ab+");
        if (log.file) {
            std::fseek(log.file, 0, SEEK_END);
            size_t length = std::strlen(text);
            if (length > 0) log.Write(text, static_cast<uint32_t>(length));
        }
    }
    vokLogBusy = false;
}

void VokResetDebugLog() {
    vokDebugLogName = VOK_DEBUG_LOG_DEFAULT;
}

TVokFileStream::TVokFileStream(const char* fileName, const char* mode) : file(nullptr) {
    if (fileName && mode) file = std::fopen(fileName, mode);
    if (!file) LogOpenFailure(fileName);
}

TVokFileStream::~TVokFileStream() {
    if (file) std::fclose(file);
    file = nullptr;
}

int32_t TVokFileStream::Seek(int32_t position) {
    if (!file || position < 0) return -1;
    return std::fseek(file, position, SEEK_SET);
}

int32_t TVokFileStream::Tell() {
    if (!file) return -1;
    long position = std::ftell(file);
    if (position < 0 || position > INT32_MAX) return -1;
    return static_cast<int32_t>(position);
}

int32_t TVokFileStream::Read(void* buffer, uint32_t count) {
    if (!file || !buffer) return 0;
    return static_cast<int32_t>(std::fread(buffer, count, 1, file));
}

int32_t TVokFileStream::Write(const void* buffer, uint32_t count) {
    if (!file || !buffer) return 0;
    return static_cast<int32_t>(std::fwrite(buffer, count, 1, file));
}

int32_t TVokFileStream::Size() {
    if (!file) return 0;
    long position = std::ftell(file);
    if (position == -1) return 0;
    if (std::fseek(file, 0, SEEK_END) != 0) return 0;
    long size = std::ftell(file);
    std::fseek(file, position, SEEK_SET);
    if (size < 0 || size > INT32_MAX) return 0;
    return static_cast<int32_t>(size);
}

int32_t TVokFileStream::Open(const char* fileName, const char* mode) {
    Close();
    if (fileName && mode) file = std::fopen(fileName, mode);
    if (file) return 1;
    LogOpenFailure(fileName);
    return 0;
}

void TVokFileStream::Close() {
    if (file) std::fclose(file);
    file = nullptr;
}
