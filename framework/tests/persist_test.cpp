// persist_test.cpp -- stored values, tagged sections, the tag table and LoadObject on damaged streams
#include <cstring>
#include <string>
#include <vector>

#include "framework_test_util.h"

namespace {

int32_t Int32At(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return static_cast<int32_t>(v);
}

std::vector<std::string> calls;

// Sections "Skipped" (no reader), "Partial" (10 bytes, its reader takes 2),
// "AB" and "BA" (same byte sum), then a body of one integer.
class Tagged : public TVokLSObj {
  public:
    void WriteTags(TVokStream* stream, TVokSection* section) override {
        BeginSection(stream, section, "Skipped");
        WriteString(stream, "payload");
        EndSection(stream, section);
        BeginSection(stream, section, "Partial");
        stream->Write("0123456789", 10);
        EndSection(stream, section);
        for (const char* name : {"BA", "AB"}) {
            BeginSection(stream, section, name);
            WriteFloat(stream, 0.5f);
            EndSection(stream, section);
        }
    }
    void Write(TVokStream* stream) override {
        TVokLSObj::Write(stream);
        WriteInt32(stream, 77);
    }
    void ReadBody(TVokStream* stream) override { ReadInt32(stream, &body); }
    int32_t body = 0;
    static TVokClassInfo classRecord;
    static TVokLSObj* Create() {
        auto* o = new Tagged;
        o->classInfo = &classRecord;
        return o;
    }
};
TVokClassInfo Tagged::classRecord = {nullptr, nullptr, nullptr};

int32_t ReadPartial(TVokStream* stream, TVokLSObj*) {
    char two[2];
    stream->Read(two, 2);
    calls.push_back(std::string(two, 2));
    return 0;
}
int32_t ReadAB(TVokStream* stream, TVokLSObj*) {
    calls.push_back("AB" + std::to_string(ReadFloat(stream)));
    return 0;
}
int32_t ReadBA(TVokStream*, TVokLSObj*) {
    calls.push_back("BA");
    return 0;
}

// Loads from the bytes; whatever comes back is walked and released.
void LoadAndRelease(const std::string& bytes) {
    TVokBufferStream stream(bytes.data(), static_cast<int32_t>(bytes.size()));
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

TEST_F(FrameworkTest, StoredValuesAndThe26BytePlainObject) {
    TVokBufferStream stream;
    WriteInt32(&stream, 0x01020304);
    WriteUInt16(&stream, 0xBEEF);
    WriteString(&stream, nullptr);
    WriteFloat(&stream, 0.5f);
    TVokLSObj* plain = CreateObject("TVokLSObj");
    plain->Write(&stream);
    plain->Release();
    std::string bytes = Bytes(stream);
    EXPECT_EQ(bytes.substr(0, 23), std::string("\4\3\2\1\xEF\xBE\1\0\0\0\0\x08\0\0\0"
                                               "0.500000",
                                               23));
    // The plain object: 9, its name, then "TEND" from 13 to 26 (counted from its start).
    EXPECT_EQ(bytes.size(), 23u + 26u);
    EXPECT_EQ(bytes.substr(23, 13), std::string("\x09\0\0\0TVokLSObj", 13));
    EXPECT_EQ(Int32At(bytes, 36), 23 + 13);
    EXPECT_EQ(Int32At(bytes, 40), 23 + 26);
    EXPECT_EQ(bytes.substr(44), std::string("TEND\0", 5));

    stream.Seek(6);
    char* empty = ReadString(&stream);
    EXPECT_STREQ(empty, "");
    delete[] empty;
    EXPECT_EQ(ReadFloat(&stream), 0.5f);
    TVokLSObj* loaded = LoadObject(&stream);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->classInfo, &TVokLSObj::classRecord);
    EXPECT_EQ(stream.Tell(), stream.Size());
    loaded->Release();
}

TEST_F(FrameworkTest, SectionsAreFramedSkippedReadInPartAndFoundByName) {
    ASSERT_TRUE(VokRegisterClassInfo(&Tagged::classRecord, "Tagged", "TVokLSObj", &Tagged::Create));
    ASSERT_TRUE(RegisterSectionReader("Partial", &ReadPartial));
    ASSERT_TRUE(RegisterSectionReader("AB", &ReadAB));
    ASSERT_TRUE(RegisterSectionReader("BA", &ReadBA));
    EXPECT_FALSE(RegisterSectionReader("AB", &ReadBA)); // the name is taken
    ASSERT_EQ(SectionNameBucket("AB"), SectionNameBucket("BA"));
    EXPECT_EQ(vokTagTable.buckets[SectionNameBucket("AB")].Count(), 2);

    TVokLSObj* object = CreateObject("Tagged");
    TVokBufferStream stream;
    object->Write(&stream);
    object->Release();
    std::string bytes = Bytes(stream);
    // "Partial" follows "Skipped" (header 8 + 8, payload 4 + 7); its end is
    // start + 8 + name length + 1 + 10.
    size_t partial = 4 + 6 + 8 + 8 + 11;
    EXPECT_EQ(Int32At(bytes, partial), static_cast<int32_t>(partial));
    EXPECT_EQ(Int32At(bytes, partial + 4), static_cast<int32_t>(partial + 8 + 8 + 10));

    calls.clear();
    stream.Seek(0);
    TVokLSObj* loaded = LoadObject(&stream);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"01", "BA", "AB0.500000"}));
    EXPECT_EQ(static_cast<Tagged*>(loaded)->body, 77); // the body starts right after "TEND"
    loaded->Release();

    // Clearing the table hands its three nodes to the pool.
    VokClearTagTable();
    EXPECT_EQ(vokNodePool.Count(), 3);
    EXPECT_EQ(FindSectionReader("AB"), nullptr);
}

TEST_F(FrameworkTest, LoadObjectSurvivesTruncatedAndCorruptedStreams) {
    TVokStringTree* root = static_cast<TVokStringTree*>(CreateObject("TVokStringTree"));
    root->SetName("root");
    for (const char* name : {"a", "b"}) {
        auto* child = static_cast<TVokStringTree*>(CreateObject("TVokStringTree"));
        child->SetName(name);
        child->AppendChild(static_cast<TVokVTree*>(CreateObject("TVokClassTree")));
        root->AppendChild(child);
    }
    TVokBufferStream stream;
    root->Write(&stream);
    root->Release();
    std::string good = Bytes(stream);

    for (size_t cut = 0; cut < good.size(); ++cut)
        LoadAndRelease(good.substr(0, cut));
    for (size_t at = 0; at < good.size(); ++at) {
        for (unsigned char value : {0x00, 0x01, 0x0d, 0x7f, 0x80, 0xff}) {
            std::string bad = good;
            bad[at] = static_cast<char>(value);
            LoadAndRelease(bad);
        }
    }

    // Cut inside the root's sections: nothing. Cut inside the second child: the first stays.
    TVokBufferStream head(good.data(), 20);
    EXPECT_EQ(LoadObject(&head), nullptr);
    size_t afterA = good.find(std::string("\1\0\0\0a", 5)) + 5;
    TVokBufferStream cut(good.data(), static_cast<int32_t>(afterA + 10));
    auto* partial = static_cast<TVokStringTree*>(LoadObject(&cut));
    ASSERT_NE(partial, nullptr);
    EXPECT_EQ(partial->ChildCount(), 1);
    EXPECT_STREQ(static_cast<TVokStringTree*>(partial->FirstChild())->name, "a");
    partial->Release();

    // Class names: unknown, over 255 bytes.
    TVokBufferStream names;
    WriteString(&names, "TVokUnknown");
    WriteString(&names, std::string(256, 'k').c_str());
    names.Seek(0);
    EXPECT_EQ(LoadObject(&names), nullptr);
    EXPECT_EQ(names.Tell(), 15); // nothing more read after an unknown name
    EXPECT_EQ(LoadObject(&names), nullptr);
    EXPECT_EQ(names.Tell(), 19); // the long name is not read
}

TEST_F(FrameworkTest, LoadObjectEndsLoopsAndDeepNesting) {
    // A section whose end points back at its own header.
    TVokBufferStream loop;
    WriteString(&loop, "TVokLSObj");
    WriteInt32(&loop, 13);
    WriteInt32(&loop, 13);
    loop.Write("Back", 5);
    loop.Seek(0);
    EXPECT_EQ(LoadObject(&loop), nullptr);

    // Trees nested deeper than the reader goes: it keeps the levels above its limit.
    TVokBufferStream deep;
    for (int i = 0; i < VOK_MAX_LOAD_DEPTH + 50; ++i) {
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
}

namespace {

// Writes one section whose name is `sectionName` (set before writing) around a 4-byte payload.
std::string sectionName;
std::vector<bool> sectionResults;
class Named : public TVokLSObj {
  public:
    void WriteTags(TVokStream* stream, TVokSection* section) override {
        sectionResults.push_back(BeginSection(stream, section, sectionName.c_str()));
        WriteInt32(stream, 1234);
        sectionResults.push_back(EndSection(stream, section));
    }
    static TVokClassInfo classRecord;
    static TVokLSObj* Create() {
        auto* o = new Named;
        o->classInfo = &classRecord;
        return o;
    }
};
TVokClassInfo Named::classRecord = {nullptr, nullptr, nullptr};

int32_t namedPayload = 0;
int32_t ReadNamed(TVokStream* stream, TVokLSObj*) {
    ReadInt32(stream, &namedPayload);
    return 0;
}

// A chain of `levels` trees, each the only child of the one above.
TVokVTree* Chain(int levels) {
    TVokVTree* top = static_cast<TVokVTree*>(CreateObject("TVokTree"));
    for (int i = 1; i < levels; ++i) {
        auto* above = static_cast<TVokVTree*>(CreateObject("TVokTree"));
        above->AppendChild(top);
        top = above;
    }
    return top;
}

} // namespace

// What the writer stores, the reader reads back: at the section-name and nesting
// limits the round trip is whole (and the stream goes on readably after it); one
// past them nothing is written and SaveObject says so.
TEST_F(FrameworkTest, WriterRefusesWhatTheReaderCannotRead) {
    ASSERT_TRUE(VokRegisterClassInfo(&Named::classRecord, "Named", "TVokLSObj", &Named::Create));
    std::string longest(VOK_MAX_SECTION_NAME, 's');
    ASSERT_TRUE(RegisterSectionReader(longest.c_str(), &ReadNamed));

    sectionName = longest;
    TVokLSObj* named = CreateObject("Named");
    TVokBufferStream stream;
    ASSERT_TRUE(SaveObject(&stream, named));
    WriteInt32(&stream, 99);
    stream.Seek(0);
    TVokLSObj* loaded = LoadObject(&stream);
    ASSERT_NE(loaded, nullptr);
    loaded->Release();
    EXPECT_EQ(namedPayload, 1234);
    int32_t after = 0;
    EXPECT_TRUE(ReadInt32(&stream, &after));
    EXPECT_EQ(after, 99);

    sectionName = longest + "s";
    sectionResults.clear();
    TVokBufferStream refused;
    EXPECT_FALSE(SaveObject(&refused, named));
    EXPECT_EQ(refused.Size(), 0);
    named->Write(&refused); // written directly: no header, so no section a reader would misread
    EXPECT_EQ(sectionResults, (std::vector<bool>{false, false, false, false}));
    EXPECT_EQ(refused.Size(), 4 + 5 + 4 + 13); // class name, the bare payload, "TEND"
    named->Release();

    // 255 levels of trees: their sentinels make 256 levels of records, all read.
    TVokVTree* deepest = Chain(VOK_MAX_LOAD_DEPTH - 1);
    TVokBufferStream deep;
    ASSERT_TRUE(SaveObject(&deep, deepest));
    WriteInt32(&deep, 77);
    deepest->Release();
    deep.Seek(0);
    TVokLSObj* top = LoadObject(&deep);
    ASSERT_NE(top, nullptr);
    int levels = 0;
    for (TVokVTree* node = static_cast<TVokVTree*>(top); node; node = node->FirstChild())
        ++levels;
    EXPECT_EQ(levels, VOK_MAX_LOAD_DEPTH - 1);
    EXPECT_TRUE(ReadInt32(&deep, &after));
    EXPECT_EQ(after, 77);
    top->Release();

    // One level more is refused whole, by SaveObject and by Write alike.
    TVokVTree* tooDeep = Chain(VOK_MAX_LOAD_DEPTH);
    TVokBufferStream none;
    int32_t refusals = vokStoreRefusals;
    EXPECT_FALSE(SaveObject(&none, tooDeep));
    tooDeep->Write(&none);
    EXPECT_EQ(none.Size(), 0);
    EXPECT_EQ(vokStoreRefusals, refusals + 2);
    EXPECT_EQ(vokStoreDepth, 0);
    // A subtree of it is shallow enough, and stores as it is.
    EXPECT_TRUE(SaveObject(&none, tooDeep->FirstChild()));
    tooDeep->Release();

    // A stream that takes no writes: a failure, not a success.
    std::string path = Path("read-only.bin");
    { TVokFileStream create(path.c_str(), "wb"); }
    TVokFileStream readOnly(path.c_str(), "rb");
    TVokLSObj* plain = CreateObject("TVokLSObj");
    EXPECT_FALSE(SaveObject(&readOnly, plain));
    plain->Release();
}
