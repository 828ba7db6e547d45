// list.cpp -- the pointer list and its shared spare-node pool
#include "framework/list.h"

// The pool is a list like any other; its own spare nodes are never taken from
// itself (PushBack on the pool allocates).
TVokList vokNodePool;

void TVokList::Initialise() {
    head.next = &head;
    head.prev = &head;
    head.data = nullptr;
    pool = &vokNodePool;
}

void TVokList::PushBack(void* pointer) {
    TVokListNode* node;
    TVokList* spare = pool ? pool : &vokNodePool;
    if (spare != this && !spare->IsEmpty()) {
        node = spare->head.next;
        node->next->prev = node->prev;
        node->prev->next = node->next;
    } else {
        node = new TVokListNode;
    }
    node->data = pointer;
    node->prev = head.prev;
    node->next = &head;
    head.prev->next = node;
    head.prev = node;
}

void TVokList::Clear() {
    TVokListNode* node = head.next;
    while (node != &head) {
        TVokListNode* following = node->next;
        delete node;
        node = following;
    }
    head.next = &head;
    head.prev = &head;
}

void TVokList::ReturnNodesToPool() {
    TVokList* spare = pool ? pool : &vokNodePool;
    if (spare == this) return;
    while (!IsEmpty()) {
        TVokListNode* node = head.next;
        node->next->prev = &head;
        head.next = node->next;
        node->data = nullptr;
        node->next = spare->head.next;
        node->prev = &spare->head;
        spare->head.next->prev = node;
        spare->head.next = node;
    }
}

int32_t TVokList::Count() const {
    int32_t count = 0;
    for (const TVokListNode* node = head.next; node != &head; node = node->next)
        ++count;
    return count;
}

void VokFreeNodePool() {
    vokNodePool.Clear();
}
