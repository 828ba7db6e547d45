// list.h -- circular doubly linked list of untyped pointers with a shared spare-node pool
#pragma once

#include <cstdint>

// One list node; in the pool its data is meaningless.
struct TVokListNode {
    TVokListNode* next; // following node, or the list's head
    TVokListNode* prev; // preceding node, or the list's head
    void* data;         // the stored pointer; not owned
};

// A list of pointers with a head of its own. The list does not own what its
// nodes point to. Appending takes a spare node from the shared pool when it has
// one, before allocating.
class TVokList {
  public:
    // Constant-initialized, so lists of static storage (the pool, the tag
    // table) are ready before any start-up code runs.
    constexpr TVokList();
    ~TVokList() { Clear(); }

    TVokList(const TVokList&) = delete;
    TVokList& operator=(const TVokList&) = delete;

    // Empties the head (without freeing nodes) and points it at the shared pool.
    void Initialise();
    // Appends a pointer as the last node.
    void PushBack(void* pointer);
    // Frees every node; the list is empty afterwards.
    void Clear();
    // Moves every node, one at a time, to the front of the shared pool.
    void ReturnNodesToPool();

    bool IsEmpty() const { return head.next == &head; }
    int32_t Count() const;

    // Iteration: for (n = list.First(); n != list.End(); n = n->next).
    TVokListNode* First() { return head.next; }
    TVokListNode* End() { return &head; }
    const TVokListNode* First() const { return head.next; }
    const TVokListNode* End() const { return &head; }

    TVokListNode head; // head.next is the first node, head.prev the last; &head when empty
    TVokList* pool;    // the shared pool (the pool's own pool points to itself)
};

extern TVokList vokNodePool; // shared spare nodes of every TVokList

constexpr TVokList::TVokList() : head{&head, &head, nullptr}, pool(&vokNodePool) {}

// Frees every spare node of the pool (exit clean-up; lists stay usable).
void VokFreeNodePool();
