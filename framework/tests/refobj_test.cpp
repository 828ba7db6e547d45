// refobj_test.cpp -- reference counting and the class registry
#include <string>
#include <vector>

#include "framework_test_util.h"

namespace {
// Stand-ins for the scene's four classes, registered after the framework's six.
TVokClassInfo sceneRecords[4];
TVokLSObj* MakeFrame() {
    TVokLSObj* o = new TVokStringTree;
    o->classInfo = &sceneRecords[3];
    return o;
}

std::vector<std::string> Bucket(uint8_t b) {
    std::vector<std::string> names;
    TVokHashEntry* head = &vokClassRegistry->buckets[b];
    for (TVokHashEntry* e = head->next; e != head; e = e->next)
        names.push_back(static_cast<const char*>(e->key));
    return names;
}

int destroyed = 0;
struct Counted : TVokLSObj {
    ~Counted() override { ++destroyed; }
};
} // namespace

TEST_F(FrameworkTest, RegistryKeepsTheTenClassesInFourBuckets) {
    const char* scene[4][2] = {{"TVokVMesh", "TVokStringTree"},
                               {"TVokVFrame", "TVokStringTree"},
                               {"TVokPolygonMesh", "TVokVMesh"},
                               {"TVokFrame", "TVokVFrame"}};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(VokRegisterClassInfo(&sceneRecords[i], scene[i][0], scene[i][1], &MakeFrame));
    VokRegisterFrameworkClasses(); // again: changes nothing
    EXPECT_EQ(Bucket('e'), (std::vector<std::string>{"TVokFrame", "TVokVFrame", "TVokTree", "TVokVTree",
                                                     "TVokClassTree", "TVokStringTree"}));
    EXPECT_EQ(Bucket('h'), (std::vector<std::string>{"TVokPolygonMesh", "TVokVMesh"}));
    EXPECT_EQ(Bucket('j'), (std::vector<std::string>{"TVokLSObj"}));
    EXPECT_EQ(Bucket('l'), (std::vector<std::string>{"TVokTreeSentinel"}));
    EXPECT_EQ(FindClass("TVokStringTree"), &TVokStringTree::classRecord);
    EXPECT_STREQ(FindClass("TVokClassTree")->parentName, "TVokStringTree");
    EXPECT_EQ(FindClass("TVokLSObj")->parentName, nullptr);
    for (const char* absent : {"tvokframe", "TVokFramE", "", "TVokFrames"})
        EXPECT_EQ(FindClass(absent), nullptr);

    TVokLSObj* frame = CreateObject("TVokFrame");
    EXPECT_EQ(frame->refCount, 1);
    EXPECT_STREQ(frame->classInfo->name, "TVokFrame");
    frame->Release();
    EXPECT_EQ(CreateObject("TVokNothing"), nullptr);

    // Refused: a name taken by another record, a name over 255 bytes, no factory.
    TVokClassInfo other = {nullptr, nullptr, nullptr};
    EXPECT_FALSE(VokRegisterClassInfo(&other, "TVokTree", nullptr, &TVokLSObj::Create));
    EXPECT_FALSE(VokRegisterClassInfo(&other, std::string(256, 'q').c_str(), nullptr, &TVokLSObj::Create));
    EXPECT_FALSE(VokRegisterClassInfo(&other, "TVokNoFactory", nullptr, nullptr));
    EXPECT_EQ(other.name, nullptr);

    // Shutdown frees names and registry; the classes can then be registered again.
    VokShutdownFramework();
    EXPECT_EQ(vokClassRegistry, nullptr);
    EXPECT_EQ(sceneRecords[3].name, nullptr);
    EXPECT_EQ(CreateObject("TVokTree"), nullptr);
    VokRegisterFrameworkClasses();
    EXPECT_EQ(FindClass("TVokTree"), &TVokTree::classRecord);
    EXPECT_EQ(FindClass("TVokFrame"), nullptr);
}

TEST_F(FrameworkTest, ReleaseDestroysAtZero) {
    destroyed = 0;
    Counted* object = new Counted;
    EXPECT_EQ(object->Retain(), 2);
    EXPECT_EQ(object->Release(), 1);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(object->Release(), 0);
    EXPECT_EQ(destroyed, 1);
}
