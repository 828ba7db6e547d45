// persist_test.cpp -- stored values, tagged sections, the tag table and LoadObject on damaged streams
#include <cstring>
#include <string>
#include <vector>

#include "framework/memstream.h"
#include "framework/tree.h"
#include "framework_test_util.h"

namespace {

std::string Bytes(const TVokMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.data), static_cast<size_t>(s.length));
}

int32_t Int32At(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return static_cast<int32_t>(v);
}

// An object with tagged sections: "TestSkipped" (no reader unless a test adds
// one), "TestValues" (two integers and a string) and "TestPartial" (10 bytes of
// which its reader takes 2).
class TaggedObject : public TVokLSObj {
  public:
    void WriteTags(TVokStream* stream, TVokSection* section) override {
        TVokLSObj::WriteTags(stream, section);
        BeginSection(stream, section, "TestSkipped");
        WriteString(stream, "ignored payload");
        EndSection(stream, section);
        BeginSection(stream, section, "TestPartial");
        stream->Write("0123456789", 10);
        EndSection(stream, section);
        BeginSection(stream, section, "TestValues");
        WriteInt32(stream, first);
        WriteInt32(stream, second);
        WriteString(stream, text.c_str());
        EndSection(stream, section);
    }
    void ReadBody(TVokStream* stream) override {
        int32_t marker;
        if (ReadInt32(stream, &marker)) bodyMarker = marker;
    }
    void Write(TVokStream* stream) override {
        TVokLSObj::Write(stream);
        WriteInt32(stream, bodyMarker);
    }

    int32_t first = 0, second = 0, bodyMarker = 0;
    std::string text, partial;

    static TVokClassInfo classRecord;
    static TVokLSObj* Create() {
        auto* o = new TaggedObject;
        o->classInfo = &classRecord;
        return o;
    }
};
TVokClassInfo TaggedObject::classRecord = {nullptr, nullptr, nullptr};

int32_t ReadValues(TVokStream* stream, TVokLSObj* object) {
    auto* tagged = static_cast<TaggedObject*>(object);
    ReadInt32(stream, &tagged->first);
    ReadInt32(stream, &tagged->second);
    char* text = ReadString(stream);
    tagged->text = text ? text : "<none>";
    delete[] text;
    return 0;
}

int32_t ReadPartial(TVokStream* stream, TVokLSObj* object) {
    char two[2];
    if (stream->Read(two, 2) == 1) static_cast<TaggedObject*>(object)->partial.assign(two, 2);
    return 0;
}

int skippedCalls = 0;
int32_t ReadSkipped(TVokStream*, TVokLSObj*) {
    ++skippedCalls;
    return 0;
}

std::vector<std::string> calls;
int32_t ReadAB(TVokStream*, TVokLSObj*) {
    calls.push_back("AB");
    return 0;
}
int32_t ReadBA(TVokStream*, TVokLSObj*) {
    calls.push_back("BA");
    return 0;
}

// Writes two empty sections "TagAB" and "TagBA" (same byte sum).
class AnagramObject : public TVokLSObj {
  public:
    void WriteTags(TVokStream* stream, TVokSection* section) override {
        BeginSection(stream, section, "TagBA");
        EndSection(stream, section);
        BeginSection(stream, section, "TagAB");
        EndSection(stream, section);
    }
    static TVokClassInfo classRecord;
    static TVokLSObj* Create() {
        auto* o = new AnagramObject;
        o->classInfo = &classRecord;
        return o;
    }
};
TVokClassInfo AnagramObject::classRecord = {nullptr, nullptr, nullptr};

} // namespace

TEST_F(FrameworkTest, PlainObjectIsStoredIn26Bytes) {
    TVokLSObj* object = CreateObject("TVokLSObj");
    TVokMemoryStream stream;
    object->Write(&stream);
    object->Release();
    const unsigned char expected[26] = {9,  0, 0, 0, 'T', 'V', 'o', 'k', 'L', 'S', 'O', 'b', 'j',
                                        13, 0, 0, 0, 26,  0,   0,   0,   'T', 'E', 'N', 'D', 0};
    ASSERT_EQ(stream.Size(), 26);
    EXPECT_EQ(std::memcmp(stream.data, expected, 26), 0);

    // Written after 100 other bytes, the header holds absolute positions.
    TVokMemoryStream offset;
    std::string filler(100, 'f');
    offset.Write(filler.data(), 100);
    TVokLSObj* again = CreateObject("TVokLSObj");
    again->Write(&offset);
    again->Release();
    EXPECT_EQ(Int32At(Bytes(offset), 113), 113);
    EXPECT_EQ(Int32At(Bytes(offset), 117), 126);

    // And it reads back, leaving the stream at its end.
    stream.Seek(0);
    TVokLSObj* loaded = LoadObject(&stream);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->classInfo, &TVokLSObj::classRecord);
    EXPECT_EQ(loaded->refCount, 1);
    EXPECT_EQ(stream.Tell(), 26);
    loaded->Release();
}

TEST_F(FrameworkTest, StoredValuesAreLittleEndianStringsAndFloatText) {
    TVokMemoryStream stream;
    WriteInt32(&stream, 0x01020304);
    WriteUInt16(&stream, 0xBEEF);
    WriteString(&stream, nullptr);
    WriteString(&stream, "");
    WriteString(&stream, "abc");
    WriteFloat(&stream, 0.5f);
    WriteFloat(&stream, -1234.25f);
    std::string bytes = Bytes(stream);
    EXPECT_EQ(bytes.substr(0, 6), std::string("\x04\x03\x02\x01\xEF\xBE", 6));
    EXPECT_EQ(bytes.substr(6, 5), std::string("\x01\x00\x00\x00\x00", 5));
    EXPECT_EQ(bytes.substr(11, 4), std::string("\x00\x00\x00\x00", 4));
    EXPECT_EQ(bytes.substr(15, 7), std::string("\x03\x00\x00\x00"
                                               "abc",
                                               7));
    EXPECT_EQ(bytes.substr(22, 12), std::string("\x08\x00\x00\x00"
                                                "0.500000",
                                                12));

    stream.Seek(0);
    int32_t i;
    uint16_t h;
    EXPECT_TRUE(ReadInt32(&stream, &i));
    EXPECT_EQ(i, 0x01020304);
    EXPECT_TRUE(ReadUInt16(&stream, &h));
    EXPECT_EQ(h, 0xBEEF);
    for (const char* want : {"", "", "abc"}) {
        char* text = ReadString(&stream);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, want);
        delete[] text;
    }
    EXPECT_EQ(ReadFloat(&stream), 0.5f);
    EXPECT_EQ(ReadFloat(&stream), -1234.25f);
    EXPECT_FALSE(ReadInt32(&stream, &i)); // at the end
    EXPECT_EQ(i, 0);
    EXPECT_EQ(ReadFloat(&stream), 0.0f);

    // A stored length that is negative or runs past the end reads as no string,
    // without allocating for it.
    TVokMemoryStream bad;
    WriteInt32(&bad, 0x7fffffff);
    bad.Write("abc", 3);
    WriteInt32(&bad, -5);
    bad.Seek(0);
    EXPECT_EQ(ReadString(&bad), nullptr);
    bad.Seek(7);
    EXPECT_EQ(ReadString(&bad), nullptr);
    // Text that is not a number reads as 0.
    TVokMemoryStream word;
    WriteString(&word, "pear");
    word.Seek(0);
    EXPECT_EQ(ReadFloat(&word), 0.0f);
}

TEST_F(FrameworkTest, SectionsAreFramedSkippedAndReadInPart) {
    ASSERT_TRUE(
        VokRegisterClassInfo(&TaggedObject::classRecord, "TestTagged", "TVokLSObj", &TaggedObject::Create));
    ASSERT_TRUE(RegisterSectionReader("TestValues", &ReadValues));
    ASSERT_TRUE(RegisterSectionReader("TestPartial", &ReadPartial));
    EXPECT_TRUE(RegisterSectionReader("TestValues", &ReadValues)); // same again: accepted, not doubled
    EXPECT_FALSE(RegisterSectionReader("TestValues", &ReadPartial));
    EXPECT_FALSE(RegisterSectionReader("", &ReadPartial));
    EXPECT_FALSE(RegisterSectionReader("TestNone", nullptr));
    EXPECT_EQ(vokTagTable.buckets[SectionNameBucket("TestValues")].Count(), 1);

    TaggedObject* object = static_cast<TaggedObject*>(CreateObject("TestTagged"));
    object->first = -7;
    object->second = 123456;
    object->text = "mesh.bmp";
    object->bodyMarker = 0x5eed;
    TVokMemoryStream stream;
    object->Write(&stream);
    object->Release();
    std::string bytes = Bytes(stream);

    // Layout: name (4 + 10), then "TestSkipped" with a 19-byte payload.
    size_t skipped = 14;
    EXPECT_EQ(Int32At(bytes, skipped), 14);
    EXPECT_EQ(Int32At(bytes, skipped + 4), 14 + 8 + 12 + 19);
    size_t partialAt = skipped + 8 + 12 + 19;
    EXPECT_EQ(Int32At(bytes, partialAt), static_cast<int32_t>(partialAt));
    // A 10-byte payload: end = start + 8 + name length + 1 + 10.
    EXPECT_EQ(Int32At(bytes, partialAt + 4), static_cast<int32_t>(partialAt + 8 + 12 + 10));
    EXPECT_EQ(bytes.substr(partialAt + 8, 12), std::string("TestPartial\0", 12));

    stream.Seek(0);
    TVokLSObj* loaded = LoadObject(&stream);
    ASSERT_NE(loaded, nullptr);
    TaggedObject* tagged = static_cast<TaggedObject*>(loaded);
    EXPECT_EQ(tagged->partial, "01");
    EXPECT_EQ(tagged->first, -7);
    EXPECT_EQ(tagged->second, 123456);
    EXPECT_EQ(tagged->text, "mesh.bmp");
    EXPECT_EQ(tagged->bodyMarker, 0x5eed); // the body follows "TEND"
    EXPECT_EQ(stream.Tell(), stream.Size());
    loaded->Release();

    // With a reader for the skipped section it is called once.
    skippedCalls = 0;
    ASSERT_TRUE(RegisterSectionReader("TestSkipped", &ReadSkipped));
    stream.Seek(0);
    loaded = LoadObject(&stream);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(skippedCalls, 1);
    EXPECT_EQ(static_cast<TaggedObject*>(loaded)->first, -7);
    loaded->Release();

    // Clearing the tag table hands its nodes to the pool; readers are gone.
    int32_t pooled = vokNodePool.Count();
    VokClearTagTable();
    EXPECT_EQ(vokNodePool.Count(), pooled + 3);
    EXPECT_EQ(FindSectionReader("TestValues"), nullptr);
}

TEST_F(FrameworkTest, SectionNamesWithOneByteSumAreToldApart) {
    EXPECT_EQ(SectionNameBucket("TagAB"), SectionNameBucket("TagBA"));
    EXPECT_EQ(SectionNameBucket("TEND"), static_cast<uint8_t>(('T' + 'E' + 'N' + 'D') % 256));
    ASSERT_TRUE(VokRegisterClassInfo(&AnagramObject::classRecord, "TestAnagram", "TVokLSObj",
                                     &AnagramObject::Create));
    ASSERT_TRUE(RegisterSectionReader("TagAB", &ReadAB));
    ASSERT_TRUE(RegisterSectionReader("TagBA", &ReadBA));
    TVokList& bucket = vokTagTable.buckets[SectionNameBucket("TagAB")];
    ASSERT_EQ(bucket.Count(), 2);
    EXPECT_STREQ(static_cast<TVokSectionReaderEntry*>(bucket.First()->data)->name,
                 "TagAB"); // appended in order
    EXPECT_EQ(FindSectionReader("TagBA")->reader, &ReadBA);

    TVokLSObj* object = CreateObject("TestAnagram");
    TVokMemoryStream stream;
    object->Write(&stream);
    object->Release();
    stream.Seek(0);
    calls.clear();
    TVokLSObj* loaded = LoadObject(&stream);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"BA", "AB"}));
    loaded->Release();
}

TEST_F(FrameworkTest, LoadObjectRefusesUnknownAndOverlongClassNames) {
    TVokMemoryStream unknown;
    WriteString(&unknown, "TVokUnknown");
    unknown.Seek(0);
    EXPECT_EQ(LoadObject(&unknown), nullptr);
    EXPECT_EQ(unknown.Tell(), 15); // nothing more is read

    // A registered 255-byte name loads; 256 bytes are refused before reading them.
    std::string longest(VOK_MAX_CLASS_NAME, 'k');
    static TVokClassInfo info = {nullptr, nullptr, nullptr}; // outlives the test: freed at tear-down
    ASSERT_TRUE(VokRegisterClassInfo(&info, longest.c_str(), nullptr, &TVokLSObj::Create));
    TVokMemoryStream fits;
    WriteString(&fits, longest.c_str());
    TVokSection end;
    InitSection(&end);
    BeginSection(&fits, &end, "TEND");
    EndSection(&fits, &end);
    FreeSection(&end);
    fits.Seek(0);
    TVokLSObj* loaded = LoadObject(&fits);
    ASSERT_NE(loaded, nullptr);
    loaded->Release();

    std::string tooLong(VOK_MAX_CLASS_NAME + 1, 'k');
    TVokMemoryStream overlong;
    WriteString(&overlong, tooLong.c_str());
    overlong.Seek(0);
    EXPECT_EQ(LoadObject(&overlong), nullptr);
    EXPECT_EQ(overlong.Tell(), 4);

    TVokMemoryStream negative;
    WriteInt32(&negative, -1);
    negative.Seek(0);
    EXPECT_EQ(LoadObject(&negative), nullptr);
    EXPECT_EQ(LoadObject(nullptr), nullptr);
}

namespace {

// Stored form of a small string tree with children and names.
std::string StoredTree() {
    TVokStringTree* r = static_cast<TVokStringTree*>(CreateObject("TVokStringTree"));
    r->SetName("root");
    for (const char* name : {"a", "b"}) {
        auto* child = static_cast<TVokStringTree*>(CreateObject("TVokStringTree"));
        child->SetName(name);
        child->AppendChild(static_cast<TVokVTree*>(CreateObject("TVokClassTree")));
        r->AppendChild(child);
    }
    TVokMemoryStream stream;
    r->Write(&stream);
    r->Release();
    return Bytes(stream);
}

// Loads from the given bytes; whatever comes back is walked and released.
void LoadAndRelease(const std::string& bytes) {
    TVokMemoryStream stream(bytes.data(), static_cast<int32_t>(bytes.size()));
    TVokLSObj* object = LoadObject(&stream);
    if (!object) return;
    if (auto* tree = dynamic_cast<TVokVTree*>(object)) {
        tree->VisitPreOrder(nullptr, 0);
        for (TVokVTree* c = tree->FirstChild(); c; c = c->NextSibling())
            EXPECT_EQ(c->parent, tree);
    }
    EXPECT_EQ(object->Release(), 0);
}

} // namespace

TEST_F(FrameworkTest, LoadObjectSurvivesTruncatedAndCorruptedStreams) {
    std::string good = StoredTree();
    // Every truncation: null or a partial tree, never a fault.
    for (size_t cut = 0; cut < good.size(); ++cut)
        LoadAndRelease(good.substr(0, cut));
    // A stream cut inside the root's own sections yields nothing.
    {
        TVokMemoryStream stream(good.data(), 20);
        EXPECT_EQ(LoadObject(&stream), nullptr);
    }
    // A stream cut inside the children keeps the children read so far.
    {
        size_t firstChildEnd = good.find("\x01\x00\x00\x00"
                                         "a",
                                         0, 5) +
                               5;
        ASSERT_NE(firstChildEnd, std::string::npos + 5);
        TVokMemoryStream stream(good.data(), static_cast<int32_t>(firstChildEnd + 10));
        TVokLSObj* partial = LoadObject(&stream);
        ASSERT_NE(partial, nullptr);
        auto* tree = static_cast<TVokStringTree*>(partial);
        ASSERT_NE(tree->FirstChild(), nullptr);
        EXPECT_STREQ(static_cast<TVokStringTree*>(tree->FirstChild())->name, "a");
        EXPECT_EQ(tree->FirstChild()->NextSibling(), nullptr);
        partial->Release();
    }
    // Every single byte replaced by values that make lengths, positions and
    // names hostile.
    const unsigned char replacements[] = {0x00, 0x01, 0x0d, 0x7f, 0x80, 0xff};
    for (size_t at = 0; at < good.size(); ++at) {
        for (unsigned char value : replacements) {
            std::string bad = good;
            bad[at] = static_cast<char>(value);
            LoadAndRelease(bad);
        }
    }
    // Pseudo-random garbage, also behind a valid class name.
    uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = round % 2 ? std::string("\x0e\x00\x00\x00"
                                                    "TVokStringTree",
                                                    18)
                                      : std::string();
        int length = static_cast<int>(seed % 96);
        for (int i = 0; i < length; ++i) {
            seed = seed * 1664525u + 1013904223u;
            bytes.push_back(static_cast<char>(seed >> 24));
        }
        LoadAndRelease(bytes);
    }
}

TEST_F(FrameworkTest, LoadObjectEndsLoopsAndDeepNesting) {
    // A section whose end points back at its own header would repeat for ever.
    TVokMemoryStream loop;
    WriteString(&loop, "TVokLSObj");
    WriteInt32(&loop, 13);
    WriteInt32(&loop, 13);
    loop.Write("Back", 5);
    loop.Seek(0);
    EXPECT_EQ(LoadObject(&loop), nullptr);

    // A section name without its zero byte that runs on for kilobytes.
    TVokMemoryStream unterminated;
    WriteString(&unterminated, "TVokLSObj");
    WriteInt32(&unterminated, 13);
    WriteInt32(&unterminated, 5000);
    std::string letters(4096, 'n');
    unterminated.Write(letters.data(), static_cast<uint32_t>(letters.size()));
    unterminated.Write("", 1);
    unterminated.Seek(0);
    EXPECT_EQ(LoadObject(&unterminated), nullptr);

    // Trees nested far deeper than the reader goes: it stops at its depth limit
    // and keeps what lies above.
    TVokMemoryStream deep;
    const int levels = VOK_MAX_LOAD_DEPTH + 50;
    for (int i = 0; i < levels; ++i) {
        WriteString(&deep, "TVokTree");
        TVokSection s;
        InitSection(&s);
        BeginSection(&deep, &s, "TEND");
        EndSection(&deep, &s);
        FreeSection(&s);
    }
    deep.Seek(0);
    TVokLSObj* top = LoadObject(&deep);
    ASSERT_NE(top, nullptr);
    int depth = 0;
    for (TVokVTree* node = static_cast<TVokVTree*>(top); node; node = node->FirstChild())
        ++depth;
    EXPECT_EQ(depth, VOK_MAX_LOAD_DEPTH);
    top->Release();

    // A child that is not a tree ends the child list and is released.
    TVokMemoryStream odd;
    TVokLSObj* parentRecord = CreateObject("TVokTree");
    TVokLSObj* plain = CreateObject("TVokLSObj");
    parentRecord->TVokLSObj::Write(&odd); // the record alone, without children
    plain->Write(&odd);
    parentRecord->Write(&odd);
    parentRecord->Release();
    plain->Release();
    odd.Seek(0);
    TVokLSObj* loaded = LoadObject(&odd);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(static_cast<TVokVTree*>(loaded)->FirstChild(), nullptr);
    EXPECT_EQ(odd.Tell(), 25 + 26);
    loaded->Release();
}
