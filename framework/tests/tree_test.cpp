// tree_test.cpp -- child lists, walks, destruction order and the stored form of trees
#include <string>
#include <vector>

#include "framework/memstream.h"
#include "framework/tree.h"
#include "framework_test_util.h"

namespace {

std::vector<std::string> events;

// A string tree that records its destruction: its name, and whether its own
// child list was already gone at that moment.
class TrackedTree : public TVokStringTree {
  public:
    ~TrackedTree() override { events.push_back(std::string(name ? name : "?") + (childList ? "+list" : "")); }
    static TVokClassInfo classRecord;
    static TVokLSObj* Create() {
        auto* o = new TrackedTree;
        o->classInfo = &classRecord;
        return o;
    }
};
TVokClassInfo TrackedTree::classRecord = {nullptr, nullptr, nullptr};

TVokStringTree* Node(const char* cls, const char* name) {
    auto* node = static_cast<TVokStringTree*>(CreateObject(cls));
    node->SetName(name);
    return node;
}

int32_t Record(TVokVTree* node, int32_t argument) {
    auto* named = static_cast<TVokStringTree*>(node);
    events.push_back(std::string(named->name) + (argument == 7 ? "" : "!"));
    return 0;
}

std::vector<std::string> ChildNames(TVokVTree* node) {
    std::vector<std::string> names;
    for (TVokVTree* c = node->FirstChild(); c; c = c->NextSibling())
        names.push_back(static_cast<TVokStringTree*>(c)->name);
    return names;
}

// R with children A (children A1, A2) and B.
TVokStringTree* ExampleTree(const char* cls) {
    TVokStringTree* r = Node(cls, "R");
    TVokStringTree* a = Node(cls, "A");
    r->AppendChild(a);
    a->AppendChild(Node(cls, "A1"));
    a->AppendChild(Node(cls, "A2"));
    r->AppendChild(Node(cls, "B"));
    return r;
}

} // namespace

TEST_F(FrameworkTest, ChildListsAppendMoveAndRefuseCycles) {
    TVokStringTree* root = Node("TVokStringTree", "root");
    TVokStringTree* x = Node("TVokStringTree", "X");
    TVokStringTree* y = Node("TVokStringTree", "Y");
    TVokStringTree* z = Node("TVokStringTree", "Z");
    EXPECT_EQ(root->FirstChild(), nullptr);
    EXPECT_EQ(root->NextSibling(), nullptr); // its next is itself
    EXPECT_EQ(root->next, root);
    ASSERT_NE(root->childList, nullptr);
    EXPECT_STREQ(root->childList->classInfo->name, "TVokTreeSentinel");
    EXPECT_EQ(root->childList->childList, nullptr);

    EXPECT_TRUE(root->AppendChild(x));
    EXPECT_TRUE(root->AppendChild(y));
    EXPECT_TRUE(root->AppendChild(z));
    EXPECT_EQ(root->FirstChild(), x);
    EXPECT_EQ(x->NextSibling(), y);
    EXPECT_EQ(y->NextSibling(), z);
    EXPECT_EQ(z->NextSibling(), nullptr);
    EXPECT_EQ(root->childList->prev, z);
    EXPECT_EQ(z->parent, root);
    EXPECT_EQ(x->refCount, 1); // the tree took the caller's reference

    // Moving a node to another parent takes it out of the first list.
    EXPECT_TRUE(x->AppendChild(y));
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"X", "Z"}));
    EXPECT_EQ(ChildNames(x), (std::vector<std::string>{"Y"}));
    EXPECT_EQ(y->parent, x);

    // Refused: a node into itself or below itself, a node without child list, null.
    EXPECT_FALSE(x->AppendChild(x));
    EXPECT_FALSE(y->AppendChild(root));
    EXPECT_FALSE(y->AppendChild(x));
    TVokLSObj* bare = CreateObject("TVokVTree");
    TVokVTree* plain = static_cast<TVokVTree*>(bare);
    EXPECT_EQ(plain->childList, nullptr);
    EXPECT_FALSE(root->AppendChild(plain));
    EXPECT_FALSE(plain->AppendChild(z)); // a node without child list takes no children
    EXPECT_FALSE(root->AppendChild(nullptr));
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"X", "Z"}));
    EXPECT_EQ(root->ChildCount(), 2);

    // Unlink takes a node out; unlinking again changes nothing.
    z->Unlink();
    EXPECT_EQ(z->parent, nullptr);
    EXPECT_EQ(z->next, z);
    z->Unlink();
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"X"}));
    // A node released while in a list leaves the list whole.
    TVokStringTree* w = Node("TVokStringTree", "W");
    root->AppendChild(w);
    w->Release();
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"X"}));

    z->Release();
    plain->Release();
    root->Release();
}

TEST_F(FrameworkTest, WalksVisitInTheirThreeOrders) {
    TVokStringTree* r = ExampleTree("TVokStringTree");
    events.clear();
    r->VisitAfterSiblings(&Record, 7);
    EXPECT_EQ(events, (std::vector<std::string>{"A2", "A1", "B", "A", "R"}));
    events.clear();
    r->VisitPostOrder(&Record, 7);
    EXPECT_EQ(events, (std::vector<std::string>{"A1", "A2", "A", "B", "R"}));
    events.clear();
    r->VisitPreOrder(&Record, 7);
    EXPECT_EQ(events, (std::vector<std::string>{"R", "A", "A1", "A2", "B"}));

    // Started on a child: the child, its subtree and its later siblings.
    TVokVTree* a = r->FirstChild();
    events.clear();
    a->VisitPreOrder(&Record, 7);
    EXPECT_EQ(events, (std::vector<std::string>{"A", "A1", "A2", "B"}));
    events.clear();
    a->VisitAfterSiblings(&Record, 7);
    EXPECT_EQ(events, (std::vector<std::string>{"A2", "A1", "B", "A"}));
    events.clear();
    a->FirstChild()->NextSibling()->VisitPostOrder(&Record, 7);
    EXPECT_EQ(events, (std::vector<std::string>{"A2"}));

    // A null callback is allowed.
    r->VisitAfterSiblings(nullptr, 0);
    r->VisitPostOrder(nullptr, 0);
    r->VisitPreOrder(nullptr, 0);
    r->Release();
}

TEST_F(FrameworkTest, DestroyingARootDeletesSubtreesThenChildrenLastToFirst) {
    ASSERT_TRUE(VokRegisterClassInfo(&TrackedTree::classRecord, "TestTracked", "TVokStringTree",
                                     &TrackedTree::Create));
    events.clear();
    TVokStringTree* root = Node("TestTracked", "R");
    TVokStringTree* x = Node("TestTracked", "X");
    TVokStringTree* y = Node("TestTracked", "Y");
    TVokStringTree* z = Node("TestTracked", "Z");
    root->AppendChild(x);
    root->AppendChild(y);
    root->AppendChild(z);
    x->AppendChild(Node("TestTracked", "X1"));
    x->AppendChild(Node("TestTracked", "X2"));
    z->AppendChild(Node("TestTracked", "Z1"));
    EXPECT_EQ(root->Release(), 0);
    // The root's own destructor starts first; then the subtrees of X and Z go
    // (each list last to first), then Z, Y, X, each after its own list.
    EXPECT_EQ(events, (std::vector<std::string>{"R+list", "X2", "X1", "Z1", "Z", "Y", "X"}));
    events.clear();

    // A long sibling chain is destroyed and walked, and a deep chain destroyed,
    // without running out of stack.
    TVokStringTree* wide = Node("TVokStringTree", "wide");
    for (int i = 0; i < 100000; ++i)
        wide->AppendChild(static_cast<TVokVTree*>(CreateObject("TVokTree")));
    EXPECT_EQ(wide->ChildCount(), 100000);
    wide->VisitAfterSiblings(nullptr, 0);
    wide->VisitPreOrder(nullptr, 0);
    wide->VisitPostOrder(nullptr, 0);
    EXPECT_EQ(wide->Release(), 0);
    TVokVTree* deep = static_cast<TVokVTree*>(CreateObject("TVokTree"));
    for (int i = 0; i < 100000; ++i) {
        auto* above = static_cast<TVokVTree*>(CreateObject("TVokTree"));
        above->AppendChild(deep);
        deep = above;
    }
    EXPECT_EQ(deep->Release(), 0);
}

TEST_F(FrameworkTest, StringTreeRoundTripKeepsClassesShapeAndNames) {
    TVokStringTree* r = ExampleTree("TVokStringTree");
    auto* classTree = static_cast<TVokStringTree*>(CreateObject("TVokClassTree"));
    classTree->SetName(nullptr); // a null name reads back as the empty one
    r->AppendChild(classTree);
    r->AppendChild(static_cast<TVokVTree*>(CreateObject("TVokTree")));

    std::string path = Path("tree.bin");
    {
        TVokFileStream out(path.c_str(), "wb");
        ASSERT_NE(out.file, nullptr);
        r->Write(&out);
        WriteInt32(&out, 0x7a7a7a7a); // whatever follows stays in place
    }
    TVokFileStream in(path.c_str(), "rb");
    ASSERT_NE(in.file, nullptr);
    TVokLSObj* loaded = LoadObject(&in);
    ASSERT_NE(loaded, nullptr);
    int32_t after;
    EXPECT_TRUE(ReadInt32(&in, &after));
    EXPECT_EQ(after, 0x7a7a7a7a);

    auto* copy = dynamic_cast<TVokStringTree*>(loaded);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->name, "R");
    EXPECT_EQ(copy->classInfo, &TVokStringTree::classRecord);
    TVokVTree* a = copy->FirstChild();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->parent, copy);
    EXPECT_EQ(ChildNames(a), (std::vector<std::string>{"A1", "A2"}));
    TVokVTree* b = a->NextSibling();
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(static_cast<TVokStringTree*>(b)->name, "B");
    EXPECT_EQ(b->FirstChild(), nullptr);
    TVokVTree* c = b->NextSibling();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->classInfo, &TVokClassTree::classRecord);
    EXPECT_STREQ(static_cast<TVokStringTree*>(c)->name, "");
    TVokVTree* d = c->NextSibling();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->classInfo, &TVokTree::classRecord);
    EXPECT_EQ(d->NextSibling(), nullptr);
    events.clear();
    copy->VisitPreOrder(
        [](TVokVTree* node, int32_t) -> int32_t {
            events.push_back(node->classInfo->name);
            return 0;
        },
        0);
    EXPECT_EQ(events,
              (std::vector<std::string>{"TVokStringTree", "TVokStringTree", "TVokStringTree",
                                        "TVokStringTree", "TVokStringTree", "TVokClassTree", "TVokTree"}));

    // The stored form written again is the same, except that the null name
    // (length 1, one zero byte) comes back as the empty one (length 0).
    TVokMemoryStream first, second;
    r->Write(&first);
    copy->Write(&second);
    std::string original(reinterpret_cast<char*>(first.data), first.length);
    std::string rewritten(reinterpret_cast<char*>(second.data), second.length);
    size_t nullName = original.find(std::string("\x01\x00\x00\x00\x00\x08\x00\x00\x00TVokTree", 13));
    ASSERT_NE(nullName, std::string::npos);
    EXPECT_EQ(original.substr(0, nullName), rewritten.substr(0, nullName));
    EXPECT_EQ(rewritten.substr(nullName, 4), std::string(4, '\0'));
    EXPECT_EQ(rewritten.size() + 1, original.size());
    loaded->Release();
    r->Release();
}
