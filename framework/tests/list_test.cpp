// list_test.cpp -- the pointer list and the shared spare-node pool
#include <vector>

#include "framework_test_util.h"

static std::vector<void*> Items(TVokList& list) {
    std::vector<void*> items;
    for (TVokListNode* n = list.First(); n != list.End(); n = n->next)
        items.push_back(n->data);
    return items;
}

TEST_F(FrameworkTest, ListAppendsInOrderAndReusesPooledNodes) {
    int x = 1, y = 2, z = 3;
    TVokList list;
    list.Clear(); // an empty list stays as it is
    EXPECT_EQ(list.head.next, &list.head);
    list.PushBack(&x);
    list.PushBack(&y);
    list.PushBack(&z);
    EXPECT_EQ(Items(list), (std::vector<void*>{&x, &y, &z}));
    EXPECT_EQ(list.head.prev->data, &z);
    EXPECT_EQ(list.head.prev->next, &list.head);

    // Returned nodes go to the front of the pool one at a time; appending takes
    // them back before allocating.
    TVokListNode* last = list.head.prev;
    list.ReturnNodesToPool();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(vokNodePool.Count(), 3);
    EXPECT_EQ(vokNodePool.First(), last);
    TVokList other;
    other.PushBack(&y);
    EXPECT_EQ(other.First(), last);
    EXPECT_EQ(vokNodePool.Count(), 2);

    list.PushBack(&x);
    list.Clear(); // frees; the pool does not grow
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(vokNodePool.Count(), 1);
    VokFreeNodePool();
    EXPECT_TRUE(vokNodePool.IsEmpty());
    other.PushBack(&z);
    EXPECT_EQ(Items(other), (std::vector<void*>{&y, &z}));
}
