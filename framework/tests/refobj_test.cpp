// refobj_test.cpp -- reference counting, the class registry and its buckets
#include <cstring>
#include <string>
#include <vector>

#include "framework/tree.h"
#include "framework_test_util.h"

namespace {

// Stand-ins for the four scene classes, registered after the framework's six as
// the scene library does.
TVokClassInfo fakeVMesh, fakeVFrame, fakePolygonMesh, fakeFrame;
TVokLSObj* MakeFakeVMesh() {
    auto* o = new TVokStringTree;
    o->classInfo = &fakeVMesh;
    return o;
}
TVokLSObj* MakeFakeVFrame() {
    auto* o = new TVokStringTree;
    o->classInfo = &fakeVFrame;
    return o;
}
TVokLSObj* MakeFakePolygonMesh() {
    auto* o = new TVokStringTree;
    o->classInfo = &fakePolygonMesh;
    return o;
}
TVokLSObj* MakeFakeFrame() {
    auto* o = new TVokStringTree;
    o->classInfo = &fakeFrame;
    return o;
}

void RegisterAllTen() {
    VokRegisterFrameworkClasses();
    VokRegisterClassInfo(&fakeVMesh, "TVokVMesh", "TVokStringTree", &MakeFakeVMesh);
    VokRegisterClassInfo(&fakeVFrame, "TVokVFrame", "TVokStringTree", &MakeFakeVFrame);
    VokRegisterClassInfo(&fakePolygonMesh, "TVokPolygonMesh", "TVokVMesh", &MakeFakePolygonMesh);
    VokRegisterClassInfo(&fakeFrame, "TVokFrame", "TVokVFrame", &MakeFakeFrame);
}

std::vector<std::string> BucketNames(uint8_t bucket) {
    std::vector<std::string> names;
    TVokHashEntry* head = &vokClassRegistry->buckets[bucket];
    for (TVokHashEntry* e = head->next; e != head; e = e->next)
        names.push_back(static_cast<const char*>(e->key));
    return names;
}

// Counts how often the object under test is destroyed.
int destroyedCount = 0;
class CountedObject : public TVokLSObj {
  public:
    ~CountedObject() override { ++destroyedCount; }
};

// A table whose Equal is counted.
class CountingTable : public TVokHashTable {
  public:
    bool Equal(const void* a, const void* b) override {
        ++equalCalls;
        return TVokHashTable::Equal(a, b);
    }
    int equalCalls = 0;
};

} // namespace

TEST_F(FrameworkTest, RegistryBucketsHoldTheTenClassesNewestFirst) {
    RegisterAllTen();
    EXPECT_EQ(BucketNames('e'), (std::vector<std::string>{"TVokFrame", "TVokVFrame", "TVokTree", "TVokVTree",
                                                          "TVokClassTree", "TVokStringTree"}));
    EXPECT_EQ(BucketNames('h'), (std::vector<std::string>{"TVokPolygonMesh", "TVokVMesh"}));
    EXPECT_EQ(BucketNames('j'), (std::vector<std::string>{"TVokLSObj"}));
    EXPECT_EQ(BucketNames('l'), (std::vector<std::string>{"TVokTreeSentinel"}));
    int used = 0;
    for (int b = 0; b < TVokHashTable::BUCKET_COUNT; ++b)
        used += vokClassRegistry->buckets[b].next != &vokClassRegistry->buckets[b];
    EXPECT_EQ(used, 4);

    // Lookups: first and last of the bucket, letter case, the empty name.
    EXPECT_EQ(FindClass("TVokFrame"), &fakeFrame);
    EXPECT_EQ(FindClass("TVokStringTree"), &TVokStringTree::classRecord);
    EXPECT_STREQ(FindClass("TVokStringTree")->parentName, "TVokTree");
    EXPECT_EQ(FindClass("TVokLSObj")->parentName, nullptr);
    EXPECT_EQ(FindClass("tvokframe"), nullptr);
    EXPECT_EQ(FindClass("TVokFramE"), nullptr);
    EXPECT_EQ(FindClass(""), nullptr);
    EXPECT_EQ(FindClass(nullptr), nullptr);
    EXPECT_EQ(FindClass("TVokFrames"), nullptr);

    // Registering again changes nothing.
    RegisterAllTen();
    EXPECT_EQ(BucketNames('e').size(), 6u);
}

TEST_F(FrameworkTest, RegistrationRefusesBadRecordsAndStartsAgainAfterShutdown) {
    TVokClassInfo other = {nullptr, nullptr, nullptr};
    // A name already taken by another record.
    EXPECT_FALSE(VokRegisterClassInfo(&other, "TVokTree", nullptr, &TVokTree::Create));
    EXPECT_EQ(other.name, nullptr);
    EXPECT_EQ(FindClass("TVokTree"), &TVokTree::classRecord);

    // Names of 255 bytes are accepted, longer ones refused; so are empty names
    // and records without a factory.
    std::string longest(VOK_MAX_CLASS_NAME, 'q');
    TVokClassInfo fits = {nullptr, nullptr, nullptr};
    EXPECT_TRUE(VokRegisterClassInfo(&fits, longest.c_str(), nullptr, &TVokLSObj::Create));
    EXPECT_EQ(FindClass(longest.c_str()), &fits);
    std::string tooLong(VOK_MAX_CLASS_NAME + 1, 'r');
    EXPECT_FALSE(VokRegisterClassInfo(&other, tooLong.c_str(), nullptr, &TVokLSObj::Create));
    EXPECT_EQ(FindClass(tooLong.c_str()), nullptr);
    EXPECT_FALSE(VokRegisterClassInfo(&other, "", nullptr, &TVokLSObj::Create));
    EXPECT_FALSE(VokRegisterClassInfo(&other, "TVokNoFactory", nullptr, nullptr));
    EXPECT_FALSE(RegisterClass(nullptr));

    // Shutdown frees the records' names and the registry; registering again works.
    VokShutdownFramework();
    EXPECT_EQ(vokClassRegistry, nullptr);
    EXPECT_EQ(TVokTree::classRecord.name, nullptr);
    EXPECT_EQ(fits.name, nullptr);
    EXPECT_EQ(FindClass("TVokTree"), nullptr);
    EXPECT_EQ(CreateObject("TVokTree"), nullptr);
    VokShutdownFramework(); // twice is harmless
    VokRegisterFrameworkClasses();
    EXPECT_EQ(FindClass("TVokTree"), &TVokTree::classRecord);
    EXPECT_EQ(FindClass(longest.c_str()), nullptr);
}

TEST_F(FrameworkTest, CreateObjectGivesOneReferenceAndTheClassRecord) {
    RegisterAllTen();
    TVokLSObj* frame = CreateObject("TVokFrame");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->refCount, 1);
    EXPECT_STREQ(frame->classInfo->name, "TVokFrame");
    frame->Release();

    const char* framework[] = {"TVokLSObj", "TVokStringTree", "TVokClassTree",
                               "TVokVTree", "TVokTree",       "TVokTreeSentinel"};
    for (const char* name : framework) {
        TVokLSObj* object = CreateObject(name);
        ASSERT_NE(object, nullptr) << name;
        EXPECT_STREQ(object->classInfo->name, name);
        EXPECT_EQ(object->refCount, 1);
        EXPECT_EQ(object->Release(), 0);
    }
    EXPECT_EQ(CreateObject("TVokNothing"), nullptr);
    EXPECT_EQ(CreateObject(nullptr), nullptr);
}

TEST_F(FrameworkTest, RetainAndReleaseCountOwners) {
    destroyedCount = 0;
    CountedObject* object = new CountedObject;
    EXPECT_EQ(object->refCount, 1);
    EXPECT_EQ(object->Retain(), 2);
    EXPECT_EQ(object->Release(), 1);
    EXPECT_EQ(destroyedCount, 0);
    EXPECT_EQ(object->refCount, 1);
    object->Retain();
    object->Retain();
    EXPECT_EQ(object->Release(), 2);
    EXPECT_EQ(object->Release(), 1);
    EXPECT_EQ(destroyedCount, 0);
    EXPECT_EQ(object->Release(), 0);
    EXPECT_EQ(destroyedCount, 1);
}

TEST_F(FrameworkTest, DefaultHashTableKeysOn32BitValues) {
    CountingTable table;
    uint32_t keyA = 0x00000105u, keyB = 0x00000205u, keyC = 0x00000105u, keyMissing = 0x77u;
    TVokHashEntry a = {&keyA, &keyA, nullptr, nullptr};
    TVokHashEntry b = {&keyB, &keyB, nullptr, nullptr};
    EXPECT_TRUE(table.Insert(&a));
    EXPECT_TRUE(table.Insert(&b));
    TVokHashEntry keyless = {nullptr, nullptr, nullptr, nullptr};
    EXPECT_FALSE(table.Insert(&keyless));

    uint8_t bucket = *reinterpret_cast<const uint8_t*>(&keyA);
    EXPECT_EQ(table.Hash(&keyA), bucket);
    EXPECT_EQ(table.buckets[bucket].next, &b); // newest first
    EXPECT_EQ(table.Find(&keyC), &a);          // equal value, other address
    EXPECT_EQ(table.Find(&keyB), &b);

    // A key whose bucket is empty is not compared with anything.
    table.equalCalls = 0;
    EXPECT_EQ(table.Find(&keyMissing), nullptr);
    EXPECT_EQ(table.equalCalls, 0);
}
