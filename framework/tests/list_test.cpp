// list_test.cpp -- the pointer list and the shared spare-node pool
#include <vector>

#include "framework/list.h"
#include "framework_test_util.h"

namespace {
std::vector<void*> Items(TVokList& list) {
    std::vector<void*> items;
    for (TVokListNode* n = list.First(); n != list.End(); n = n->next)
        items.push_back(n->data);
    return items;
}
} // namespace

TEST_F(FrameworkTest, ListAppendsInOrderAndClears) {
    int x = 1, y = 2, z = 3;
    TVokList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.pool, &vokNodePool);
    list.Clear(); // empty list: nothing happens
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.head.next, &list.head);
    EXPECT_EQ(list.head.prev, &list.head);

    list.PushBack(&x);
    list.PushBack(&y);
    list.PushBack(&z);
    EXPECT_EQ(Items(list), (std::vector<void*>{&x, &y, &z}));
    EXPECT_EQ(list.head.prev->data, &z);
    EXPECT_EQ(list.head.prev->next, &list.head);
    EXPECT_EQ(list.head.next->prev, &list.head);
    EXPECT_EQ(list.Count(), 3);
    list.PushBack(nullptr); // null pointers are stored like any other
    EXPECT_EQ(list.Count(), 4);

    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(vokNodePool.IsEmpty()); // Clear frees; it does not fill the pool
}

TEST_F(FrameworkTest, ListTakesSpareNodesFromThePool) {
    int a = 1, b = 2, c = 3;
    TVokList source;
    source.PushBack(&a);
    source.PushBack(&b);
    TVokListNode* first = source.head.next;
    TVokListNode* second = first->next;
    source.ReturnNodesToPool();
    EXPECT_TRUE(source.IsEmpty());
    // Moved one at a time to the front: the second node now leads the pool.
    EXPECT_EQ(vokNodePool.Count(), 2);
    EXPECT_EQ(vokNodePool.head.next, second);

    TVokList list;
    list.PushBack(&c);
    EXPECT_EQ(list.head.next, second); // reused, nothing allocated
    EXPECT_EQ(list.head.next->data, &c);
    EXPECT_EQ(vokNodePool.Count(), 1);
    list.PushBack(&a);
    EXPECT_EQ(list.head.prev, first);
    EXPECT_TRUE(vokNodePool.IsEmpty());
    list.PushBack(&b); // pool empty: a new node
    EXPECT_EQ(Items(list), (std::vector<void*>{&c, &a, &b}));

    list.ReturnNodesToPool();
    EXPECT_EQ(vokNodePool.Count(), 3);
    VokFreeNodePool();
    EXPECT_TRUE(vokNodePool.IsEmpty());
    list.PushBack(&a); // lists keep working after the pool was freed
    EXPECT_EQ(list.Count(), 1);
}
