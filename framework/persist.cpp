// persist.cpp -- stored values, tagged sections, the tag table and the stored-object reader
#include "framework/persist.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

TVokTagTable vokTagTable;
int32_t vokStoreRefusals = 0;
int32_t vokStoreDepth = 0;

// Nesting depth of the LoadObject calls in progress.
static int vokLoadDepth = 0;

void InitSection(TVokSection* section) {
    section->start = 0;
    section->end = 0;
    section->name = nullptr;
}

void FreeSection(TVokSection* section) {
    delete[] section->name;
    section->name = nullptr;
}

// ---- stored values --------------------------------------------------------------

void WriteInt32(TVokStream* stream, int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    unsigned char bytes[4] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                              static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
    stream->Write(bytes, 4);
}

void WriteUInt16(TVokStream* stream, uint16_t value) {
    unsigned char bytes[2] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
    stream->Write(bytes, 2);
}

bool ReadInt32(TVokStream* stream, int32_t* value) {
    unsigned char bytes[4];
    *value = 0;
    if (stream->Read(bytes, 4) != 1) return false;
    uint32_t bits = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                    static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    *value = static_cast<int32_t>(bits);
    return true;
}

bool ReadUInt16(TVokStream* stream, uint16_t* value) {
    unsigned char bytes[2];
    *value = 0;
    if (stream->Read(bytes, 2) != 1) return false;
    *value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    return true;
}

int32_t StreamRemaining(TVokStream* stream) {
    int32_t position = stream->Tell();
    int32_t size = stream->Size();
    if (position < 0 || size <= position) return 0;
    return size - position;
}

void WriteString(TVokStream* stream, const char* text) {
    if (!text) {
        WriteInt32(stream, 1);
        unsigned char zero = 0;
        stream->Write(&zero, 1);
        return;
    }
    int32_t length = static_cast<int32_t>(std::strlen(text));
    WriteInt32(stream, length);
    if (length > 0) stream->Write(text, static_cast<uint32_t>(length));
}

// The stored length is checked against what the stream still holds, so a
// damaged length can neither allocate without bound nor read past the end.
char* ReadString(TVokStream* stream) {
    int32_t length;
    if (!ReadInt32(stream, &length)) return nullptr;
    if (length < 0 || length > StreamRemaining(stream)) return nullptr;
    char* text = new char[static_cast<size_t>(length) + 1];
    if (length > 0 && stream->Read(text, static_cast<uint32_t>(length)) != 1) {
        delete[] text;
        return nullptr;
    }
    text[length] = '\0';
    return text;
}

void WriteFloat(TVokStream* stream, float value) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
    WriteString(stream, buffer);
}

float ReadFloat(TVokStream* stream) {
    char* text = ReadString(stream);
    float value = 0.0f;
    if (text && std::sscanf(text, "%f", &value) != 1) value = 0.0f;
    delete[] text;
    return value;
}

// ---- sections -------------------------------------------------------------------

// Writes start, end, the name and its zero byte.
static void WriteSectionHeader(TVokStream* stream, const TVokSection* section) {
    WriteInt32(stream, section->start);
    WriteInt32(stream, section->end);
    const char* name = section->name ? section->name : "";
    stream->Write(name, static_cast<uint32_t>(std::strlen(name) + 1));
}

bool BeginSection(TVokStream* stream, TVokSection* section, const char* name) {
    delete[] section->name;
    section->name = nullptr;
    if (!name) name = "";
    if (std::strlen(name) > static_cast<size_t>(VOK_MAX_SECTION_NAME)) {
        ++vokStoreRefusals;
        return false;
    }
    section->name = VokCopyString(name);
    section->start = stream->Tell();
    WriteSectionHeader(stream, section);
    return true;
}

bool EndSection(TVokStream* stream, TVokSection* section) {
    if (!section->name) return false;
    section->end = stream->Tell();
    stream->Seek(section->start);
    WriteSectionHeader(stream, section);
    stream->Seek(section->end);
    return true;
}

bool ReadSectionHeader(TVokStream* stream, TVokSection* section) {
    delete[] section->name;
    section->name = nullptr;
    if (!ReadInt32(stream, &section->start) || !ReadInt32(stream, &section->end)) return false;
    char buffer[VOK_MAX_SECTION_NAME + 1];
    int length = 0;
    for (;;) {
        char c;
        if (stream->Read(&c, 1) != 1) return false;
        if (c == '\0') break;
        if (length == VOK_MAX_SECTION_NAME) return false;
        buffer[length++] = c;
    }
    buffer[length] = '\0';
    section->name = VokCopyString(buffer);
    return true;
}

namespace {

// The stream as a section reader sees it: the same positions, but ending where the
// section ends. A reader then stays inside its own payload, and the counts it limits
// to what the stream still holds are limited to the payload, whatever the stored
// counts say: a run of small sections cannot make every reader go over the rest of
// the stream again.
class TVokSectionView : public TVokStream {
  public:
    TVokSectionView(TVokStream* whole, int32_t end) : whole(whole), end(end) {}

    int32_t Seek(int32_t position) override { return position > end ? -1 : whole->Seek(position); }
    int32_t Tell() override { return whole->Tell(); }
    int32_t Read(void* buffer, uint32_t count) override {
        return Fits(count) ? whole->Read(buffer, count) : 0;
    }
    int32_t Write(const void* buffer, uint32_t count) override {
        return Fits(count) ? whole->Write(buffer, count) : 0;
    }
    int32_t Size() override { return end; }

  private:
    bool Fits(uint32_t count) {
        int32_t position = whole->Tell();
        return position >= 0 && position <= end && count <= static_cast<uint32_t>(end - position);
    }

    TVokStream* whole;
    int32_t end;
};

} // namespace

bool ReadSections(TVokLSObj* object, TVokStream* stream) {
    TVokSection section;
    InitSection(&section);
    bool complete = false;
    for (;;) {
        if (!ReadSectionHeader(stream, &section)) break;
        if (std::strcmp(section.name, VOK_END_SECTION_NAME) == 0) {
            complete = true;
            break;
        }
        // Each section must end at or after its payload's start and inside the
        // stream: the position then only moves forwards and the loop ends.
        int32_t payload = stream->Tell();
        if (payload < 0 || section.end < payload || section.end > stream->Size()) break;
        if (TVokSectionReaderEntry* entry = FindSectionReader(section.name)) {
            TVokSectionView payloadOnly(stream, section.end);
            entry->reader(&payloadOnly, object);
        }
        if (stream->Seek(section.end) != 0) break;
    }
    FreeSection(&section);
    return complete;
}

TVokLSObj* LoadObject(TVokStream* stream) {
    if (!stream || vokLoadDepth >= VOK_MAX_LOAD_DEPTH) return nullptr;
    int32_t length;
    if (!ReadInt32(stream, &length)) return nullptr;
    if (length < 0 || length > VOK_MAX_CLASS_NAME) return nullptr;
    char name[VOK_MAX_CLASS_NAME + 1];
    if (length > 0 && stream->Read(name, static_cast<uint32_t>(length)) != 1) return nullptr;
    name[length] = '\0';
    TVokClassInfo* info = FindClass(name);
    if (!info || !info->factory) return nullptr;
    TVokLSObj* object = info->factory();
    if (!object) return nullptr;
    ++vokLoadDepth;
    if (ReadSections(object, stream)) {
        object->ReadBody(stream);
    } else {
        object->Release();
        object = nullptr;
    }
    --vokLoadDepth;
    return object;
}

// ---- writing ------------------------------------------------------------------

void VokResetStoreState() {
    vokStoreRefusals = 0;
    vokStoreDepth = 0;
}

bool VokWriteRecord(TVokLSObj* object, TVokStream* stream) {
    const char* name = object->classInfo ? object->classInfo->name : nullptr;
    size_t length = name ? std::strlen(name) : 0;
    if (length == 0 || length > static_cast<size_t>(VOK_MAX_CLASS_NAME) ||
        vokStoreDepth >= VOK_MAX_LOAD_DEPTH) {
        ++vokStoreRefusals;
        return false;
    }
    WriteInt32(stream, static_cast<int32_t>(length));
    stream->Write(name, static_cast<uint32_t>(length));
    object->WriteSections(stream);
    return true;
}

namespace {

// A stream that keeps only its position and length: what a write would leave,
// without the bytes. SaveObject writes an object here first to learn whether any
// part of it is refused.
class TVokMeasureStream : public TVokStream {
  public:
    int32_t Seek(int32_t to) override {
        if (to < 0 || to > length) return -1;
        position = to;
        return 0;
    }
    int32_t Tell() override { return position; }
    int32_t Read(void*, uint32_t) override { return 0; }
    int32_t Write(const void*, uint32_t count) override {
        if (count > static_cast<uint32_t>(INT32_MAX - position)) return 0;
        position += static_cast<int32_t>(count);
        if (position > length) length = position;
        return 1;
    }
    int32_t Size() override { return length; }

  private:
    int32_t position = 0;
    int32_t length = 0;
};

// The stream an object is saved to, noting every write or seek that fails.
class TVokCheckedStream : public TVokStream {
  public:
    explicit TVokCheckedStream(TVokStream* target) : target(target) {}

    int32_t Seek(int32_t position) override { return Note(target->Seek(position) == 0) ? 0 : -1; }
    int32_t Tell() override { return target->Tell(); }
    int32_t Read(void* buffer, uint32_t count) override { return target->Read(buffer, count); }
    int32_t Write(const void* buffer, uint32_t count) override {
        return Note(target->Write(buffer, count) == 1);
    }
    int32_t Size() override { return target->Size(); }

    bool failed = false;

  private:
    bool Note(bool ok) {
        if (!ok) failed = true;
        return ok;
    }
    TVokStream* target;
};

} // namespace

bool SaveObject(TVokStream* stream, TVokLSObj* object) {
    if (!stream || !object) return false;
    int32_t refusals = vokStoreRefusals;
    int32_t depth = vokStoreDepth;
    TVokMeasureStream measure;
    object->Write(&measure);
    vokStoreDepth = depth;
    if (vokStoreRefusals != refusals) return false;
    TVokCheckedStream checked(stream);
    object->Write(&checked);
    vokStoreDepth = depth;
    return vokStoreRefusals == refusals && !checked.failed && stream->Tell() >= 0;
}

// ---- tag table ------------------------------------------------------------------

uint8_t SectionNameBucket(const char* name) {
    unsigned sum = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
        sum += *p;
    return static_cast<uint8_t>(sum & 0xff);
}

TVokSectionReaderEntry* FindSectionReader(const char* name) {
    if (!name) return nullptr;
    TVokList& bucket = vokTagTable.buckets[SectionNameBucket(name)];
    for (TVokListNode* node = bucket.First(); node != bucket.End(); node = node->next) {
        TVokSectionReaderEntry* entry = static_cast<TVokSectionReaderEntry*>(node->data);
        if (std::strcmp(entry->name, name) == 0) return entry;
    }
    return nullptr;
}

bool RegisterSectionReader(const char* name, TVokSectionReader reader) {
    if (!name || !*name || !reader) return false;
    if (TVokSectionReaderEntry* existing = FindSectionReader(name)) return existing->reader == reader;
    TVokSectionReaderEntry* entry = new TVokSectionReaderEntry;
    entry->name = VokCopyString(name);
    entry->reader = reader;
    vokTagTable.buckets[SectionNameBucket(name)].PushBack(entry);
    return true;
}

void VokClearTagTable() {
    for (TVokList& bucket : vokTagTable.buckets) {
        for (TVokListNode* node = bucket.First(); node != bucket.End(); node = node->next) {
            TVokSectionReaderEntry* entry = static_cast<TVokSectionReaderEntry*>(node->data);
            delete[] entry->name;
            delete entry;
            node->data = nullptr;
        }
        bucket.ReturnNodesToPool();
    }
}
