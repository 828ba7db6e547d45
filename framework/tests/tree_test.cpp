// tree_test.cpp -- child lists, walks, destruction order and the stored form of trees
#include <algorithm>
#include <string>
#include <vector>

#include "framework_test_util.h"

namespace {

std::vector<std::string> events;

// Records its name on destruction, with "+list" if its children were still there.
class Tracked : public TVokStringTree {
  public:
    ~Tracked() override { events.push_back(std::string(name) + (childList ? "+list" : "")); }
    static TVokClassInfo classRecord;
    static TVokLSObj* Create() {
        auto* o = new Tracked;
        o->classInfo = &classRecord;
        return o;
    }
};
TVokClassInfo Tracked::classRecord = {nullptr, nullptr, nullptr};

TVokStringTree* Node(const char* name, const char* cls = "TVokStringTree") {
    auto* node = static_cast<TVokStringTree*>(CreateObject(cls));
    node->SetName(name);
    return node;
}

std::vector<std::string> Names(TVokVTree* node) {
    std::vector<std::string> names;
    for (TVokVTree* c = node->FirstChild(); c; c = c->NextSibling())
        names.push_back(static_cast<TVokStringTree*>(c)->name);
    return names;
}

int32_t Record(TVokVTree* node, int32_t argument) {
    events.push_back(static_cast<TVokStringTree*>(node)->name + std::to_string(argument));
    return 0;
}

} // namespace

TEST_F(FrameworkTest, ChildListsAppendMoveAndRefuseCycles) {
    TVokStringTree *root = Node("R"), *x = Node("X"), *y = Node("Y"), *z = Node("Z");
    EXPECT_EQ(root->FirstChild(), nullptr);
    EXPECT_EQ(root->NextSibling(), nullptr); // although its next is itself
    EXPECT_STREQ(root->childList->classInfo->name, "TVokTreeSentinel");
    for (TVokVTree* child : {x, y, z})
        EXPECT_TRUE(root->AppendChild(child));
    EXPECT_EQ(Names(root), (std::vector<std::string>{"X", "Y", "Z"}));
    EXPECT_EQ(z->NextSibling(), nullptr);
    EXPECT_EQ(root->childList->prev, z);

    EXPECT_TRUE(x->AppendChild(y)); // moves Y from R to X
    EXPECT_EQ(Names(root), (std::vector<std::string>{"X", "Z"}));
    EXPECT_EQ(y->parent, x);

    // Refused: itself, an ancestor, a node without child list, null.
    TVokVTree* plain = static_cast<TVokVTree*>(CreateObject("TVokVTree"));
    EXPECT_FALSE(x->AppendChild(x));
    EXPECT_FALSE(y->AppendChild(root));
    EXPECT_FALSE(root->AppendChild(plain));
    EXPECT_FALSE(plain->AppendChild(z));
    EXPECT_FALSE(root->AppendChild(nullptr));
    EXPECT_EQ(Names(root), (std::vector<std::string>{"X", "Z"}));

    z->Unlink();
    z->Unlink(); // a node in no list stays as it is
    EXPECT_EQ(z->parent, nullptr);
    EXPECT_EQ(Names(root), (std::vector<std::string>{"X"}));
    z->Release();
    plain->Release();
    root->Release();
}

TEST_F(FrameworkTest, WalksVisitInTheirThreeOrders) {
    TVokStringTree *r = Node("R"), *a = Node("A");
    r->AppendChild(a);
    a->AppendChild(Node("A1"));
    a->AppendChild(Node("A2"));
    r->AppendChild(Node("B"));
    auto walk = [](TVokVTree* start, void (TVokVTree::*visit)(TVokVisitFunc, int32_t)) {
        events.clear();
        (start->*visit)(&Record, 0);
        return events;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(walk(r, &TVokVTree::VisitAfterSiblings), (V{"A20", "A10", "B0", "A0", "R0"}));
    EXPECT_EQ(walk(r, &TVokVTree::VisitPostOrder), (V{"A10", "A20", "A0", "B0", "R0"}));
    EXPECT_EQ(walk(r, &TVokVTree::VisitPreOrder), (V{"R0", "A0", "A10", "A20", "B0"}));
    // Started on a child: the child, its subtree, its later siblings.
    EXPECT_EQ(walk(a, &TVokVTree::VisitAfterSiblings), (V{"A20", "A10", "B0", "A0"}));
    EXPECT_EQ(walk(a->FirstChild(), &TVokVTree::VisitPreOrder), (V{"A10", "A20"}));
    r->VisitPostOrder(nullptr, 0); // a null callback is allowed
    r->Release();
}

TEST_F(FrameworkTest, DestroyingARootDeletesSubtreesThenChildrenLastToFirst) {
    ASSERT_TRUE(VokRegisterClassInfo(&Tracked::classRecord, "Tracked", "TVokStringTree", &Tracked::Create));
    TVokStringTree *root = Node("R", "Tracked"), *x = Node("X", "Tracked"), *z = Node("Z", "Tracked");
    root->AppendChild(x);
    root->AppendChild(Node("Y", "Tracked"));
    root->AppendChild(z);
    x->AppendChild(Node("X1", "Tracked"));
    x->AppendChild(Node("X2", "Tracked"));
    z->AppendChild(Node("Z1", "Tracked"));
    events.clear();
    EXPECT_EQ(root->Release(), 0);
    // The root's destructor starts first; X's and Z's subtrees go before any child,
    // then Z, Y, X, each after its own list.
    EXPECT_EQ(events, (std::vector<std::string>{"R+list", "X2", "X1", "Z1", "Z", "Y", "X"}));

    // Long sibling lists and deep chains do not exhaust the stack.
    TVokVTree* wide = Node("wide");
    TVokVTree* deep = static_cast<TVokVTree*>(CreateObject("TVokTree"));
    for (int i = 0; i < 100000; ++i) {
        wide->AppendChild(static_cast<TVokVTree*>(CreateObject("TVokTree")));
        auto* above = static_cast<TVokVTree*>(CreateObject("TVokTree"));
        above->AppendChild(deep);
        deep = above;
    }
    wide->VisitAfterSiblings(nullptr, 0);
    wide->VisitPreOrder(nullptr, 0);
    EXPECT_EQ(wide->Release(), 0);
    EXPECT_EQ(deep->Release(), 0);
}

TEST_F(FrameworkTest, StringTreeRoundTripKeepsClassesShapeAndNames) {
    TVokStringTree *r = Node("R"), *a = Node("A");
    r->AppendChild(a);
    a->AppendChild(Node("A1"));
    a->AppendChild(Node(nullptr, "TVokClassTree")); // a null name comes back empty
    r->AppendChild(static_cast<TVokVTree*>(CreateObject("TVokTree")));
    std::string path = Path("tree.bin");
    {
        TVokFileStream out(path.c_str(), "wb");
        r->Write(&out);
        WriteInt32(&out, 99);
    }
    r->Release();
    TVokFileStream in(path.c_str(), "rb");
    auto* copy = dynamic_cast<TVokStringTree*>(LoadObject(&in));
    ASSERT_NE(copy, nullptr);
    int32_t after;
    EXPECT_TRUE(ReadInt32(&in, &after)); // the reader stops right after the tree
    EXPECT_EQ(after, 99);

    EXPECT_STREQ(copy->name, "R");
    TVokVTree* first = copy->FirstChild();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Names(first), (std::vector<std::string>{"A1", ""}));
    EXPECT_EQ(first->FirstChild()->NextSibling()->classInfo, &TVokClassTree::classRecord);
    TVokVTree* second = first->NextSibling();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->classInfo, &TVokTree::classRecord);
    EXPECT_EQ(second->NextSibling(), nullptr);
    EXPECT_EQ(second->parent, copy);
    copy->Release();
}

namespace {

// Overrides the three walks: notes "<name" and ">name" around the framework's own walk.
class Loud : public TVokStringTree {
  public:
    void VisitAfterSiblings(TVokVisitFunc callback, int32_t argument) override {
        Around([&] { TVokVTree::VisitAfterSiblings(callback, argument); });
    }
    void VisitPostOrder(TVokVisitFunc callback, int32_t argument) override {
        Around([&] { TVokVTree::VisitPostOrder(callback, argument); });
    }
    void VisitPreOrder(TVokVisitFunc callback, int32_t argument) override {
        Around([&] { TVokVTree::VisitPreOrder(callback, argument); });
    }
    static TVokClassInfo classRecord;
    static TVokLSObj* Create() {
        auto* o = new Loud;
        o->classInfo = &classRecord;
        return o;
    }

  private:
    template <typename Walk> void Around(Walk walk) {
        events.push_back(std::string("<") + name);
        walk();
        events.push_back(std::string(">") + name);
    }
};
TVokClassInfo Loud::classRecord = {nullptr, nullptr, nullptr};

int32_t RecordName(TVokVTree* node, int32_t) {
    events.push_back(static_cast<TVokStringTree*>(node)->name);
    return 0;
}

} // namespace

// Each walk calls the next sibling's walk method, so an override is reached first,
// in the middle and last among siblings, and wraps the rest of the walk exactly.
// Past the nesting the stack allows, an override far down a long row is still reached.
TEST_F(FrameworkTest, WalksReachAnOverrideWhereverItsNodeStands) {
    ASSERT_TRUE(VokRegisterClassInfo(&Loud::classRecord, "Loud", "TVokStringTree", &Loud::Create));
    TVokStringTree* r = Node("R");
    for (const char* name : {"L1", "X", "L2", "Z", "L3"})
        r->AppendChild(Node(name, name[0] == 'L' ? "Loud" : "TVokStringTree"));
    auto walk = [r](void (TVokVTree::*visit)(TVokVisitFunc, int32_t)) {
        events.clear();
        (r->*visit)(&RecordName, 0);
        return events;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(walk(&TVokVTree::VisitPreOrder),
              (V{"R", "<L1", "L1", "X", "<L2", "L2", "Z", "<L3", "L3", ">L3", ">L2", ">L1"}));
    EXPECT_EQ(walk(&TVokVTree::VisitPostOrder),
              (V{"<L1", "L1", "X", "<L2", "L2", "Z", "<L3", "L3", ">L3", ">L2", ">L1", "R"}));
    EXPECT_EQ(walk(&TVokVTree::VisitAfterSiblings),
              (V{"<L1", "<L2", "<L3", "L3", ">L3", "Z", "L2", ">L2", "X", "L1", ">L1", "R"}));
    r->Release();

    // A row of 5000 siblings with overrides at its start, middle and end: every node
    // is visited once, the plain ones in row order, and every override is reached.
    TVokStringTree* wide = Node("W");
    const int ROW = 5000;
    for (int i = 0; i < ROW; ++i) {
        bool loud = i == 0 || i == ROW / 2 || i == ROW - 1;
        wide->AppendChild(Node(std::to_string(i).c_str(), loud ? "Loud" : "TVokStringTree"));
    }
    for (auto visit :
         {&TVokVTree::VisitPreOrder, &TVokVTree::VisitPostOrder, &TVokVTree::VisitAfterSiblings}) {
        events.clear();
        (wide->*visit)(&RecordName, 0);
        std::vector<int> plain;
        int reached = 0, left = 0, visits = 0;
        for (const std::string& e : events) {
            if (e[0] == '<') {
                ++reached;
            } else if (e[0] == '>') {
                ++left;
            } else {
                ++visits;
                if (e != "W") plain.push_back(std::stoi(e));
            }
        }
        EXPECT_EQ(reached, 3);
        EXPECT_EQ(left, 3);
        EXPECT_EQ(visits, ROW + 1);
        std::vector<int> sorted = plain;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
        if (visit != &TVokVTree::VisitAfterSiblings) {
            EXPECT_TRUE(std::is_sorted(plain.begin() + 1, plain.end())); // the first override wraps the rest
        }
    }
    wide->Release();
}
