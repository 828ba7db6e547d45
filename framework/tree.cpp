// tree.cpp -- tree nodes: child lists, destruction, walks, writing and reading
#include "framework/tree.h"

#include "framework/persist.h"

TVokClassInfo TVokVTree::classRecord = {nullptr, nullptr, nullptr};
TVokClassInfo TVokTree::classRecord = {nullptr, nullptr, nullptr};
TVokClassInfo TVokStringTree::classRecord = {nullptr, nullptr, nullptr};
TVokClassInfo TVokClassTree::classRecord = {nullptr, nullptr, nullptr};
TVokClassInfo TVokTreeSentinel::classRecord = {nullptr, nullptr, nullptr};

// ---- TVokVTree ------------------------------------------------------------------

TVokVTree::TVokVTree() : parent(nullptr), next(this), childList(nullptr), prev(this) {
    classInfo = &classRecord;
}

TVokVTree::~TVokVTree() {
    Unlink();
    if (childList) {
        DestroyList(childList);
        childList = nullptr;
    }
}

TVokLSObj* TVokVTree::Create() {
    TVokVTree* node = new TVokVTree;
    node->classInfo = &classRecord;
    return node;
}

// Order: each child's subtree before the child, the first child's subtree
// before the second's, then the children from the last to the first, then the
// sentinel. Done without recursion, so neither long sibling chains nor deep
// trees deepen the stack: while a child's list is being destroyed, that list's
// sentinel keeps the child in its (otherwise unused) parent field, which leads
// back up once the list is gone.
void TVokVTree::DestroyList(TVokVTree* top) {
    if (!top) return;
    top->parent = nullptr;
    TVokVTree* list = top;
    TVokVTree* child = top->next;
    for (;;) {
        if (child != list) {
            if (child->childList) {
                TVokVTree* sub = child->childList;
                sub->parent = child;
                list = sub;
                child = sub->next;
            } else {
                child = child->next;
            }
            continue;
        }
        // Every subtree of this list is gone: the children last to first
        // (each destructor unlinks its node), then the sentinel.
        while (list->prev != list)
            delete list->prev;
        TVokVTree* owner = list->parent;
        bool finished = list == top;
        list->parent = nullptr;
        delete list;
        if (finished) return;
        owner->childList = nullptr;
        // Back in the list that holds the owner: its parent's list, or the top
        // list when the caller already let go of it.
        TVokVTree* holder = owner->parent ? owner->parent->childList : nullptr;
        list = holder ? holder : top;
        child = owner->next;
    }
}

void TVokVTree::Unlink() {
    if (next == this && prev == this) {
        parent = nullptr;
        return;
    }
    prev->next = next;
    next->prev = prev;
    parent = nullptr;
    next = this;
    prev = this;
}

bool TVokVTree::AppendChild(TVokVTree* node) {
    if (!childList || !node || !node->childList) return false;
    for (TVokVTree* ancestor = this; ancestor; ancestor = ancestor->parent) {
        if (ancestor == node) return false;
    }
    node->Unlink();
    node->parent = this;
    node->next = childList;
    node->prev = childList->prev;
    childList->prev->next = node;
    childList->prev = node;
    return true;
}

TVokVTree* TVokVTree::FirstChild() {
    if (!childList) return nullptr;
    TVokVTree* first = childList->next;
    return first->childList ? first : nullptr;
}

TVokVTree* TVokVTree::NextSibling() {
    if (!parent) return nullptr;
    return next->childList ? next : nullptr;
}

int32_t TVokVTree::ChildCount() {
    int32_t count = 0;
    for (TVokVTree* child = FirstChild(); child; child = child->NextSibling())
        ++count;
    return count;
}

// The following sibling that a walk passes on to, or null at the end of the list.
static TVokVTree* WalkSuccessor(TVokVTree* node) {
    TVokVTree* following = node->next;
    if (following == node || !following->childList) return nullptr;
    return following;
}

// Walks go along the sibling chain by iteration and down into children by
// recursion (through the sentinel, which passes on to the first child).
void TVokVTree::VisitAfterSiblings(TVokVisitFunc callback, int32_t argument) {
    TVokVTree* node = this;
    for (;;) {
        if (node->childList) node->childList->VisitAfterSiblings(callback, argument);
        TVokVTree* following = WalkSuccessor(node);
        if (!following) break;
        node = following;
    }
    // The later siblings are reported before the earlier ones.
    for (;;) {
        TVokVTree* earlier = node->prev;
        if (callback) callback(node, argument);
        if (node == this) break;
        node = earlier;
    }
}

void TVokVTree::VisitPostOrder(TVokVisitFunc callback, int32_t argument) {
    for (TVokVTree* node = this; node; node = WalkSuccessor(node)) {
        if (node->childList) node->childList->VisitPostOrder(callback, argument);
        if (callback) callback(node, argument);
    }
}

void TVokVTree::VisitPreOrder(TVokVisitFunc callback, int32_t argument) {
    for (TVokVTree* node = this; node; node = WalkSuccessor(node)) {
        if (callback) callback(node, argument);
        if (node->childList) node->childList->VisitPreOrder(callback, argument);
    }
}

void TVokVTree::Write(TVokStream* stream) {
    TVokLSObj::Write(stream);
    if (!childList) return;
    for (TVokVTree* child = FirstChild(); child; child = child->NextSibling())
        child->Write(stream);
    childList->Write(stream);
}

// Children are stored objects up to the sentinel's record. Anything that is not
// a tree node with a child list ends the list (and is released); so does an
// object that cannot be read.
void TVokVTree::ReadBody(TVokStream* stream) {
    if (!childList) return;
    for (;;) {
        TVokLSObj* object = LoadObject(stream);
        if (!object) return;
        TVokVTree* node = dynamic_cast<TVokVTree*>(object);
        if (!node || !node->childList || !AppendChild(node)) {
            object->Release();
            return;
        }
    }
}

// ---- TVokTree -------------------------------------------------------------------

// Builds the sentinel by name; should the class not be registered, builds it
// directly, so that every tree has its list.
TVokTree::TVokTree() {
    classInfo = &classRecord;
    TVokLSObj* object = CreateObject("TVokTreeSentinel");
    TVokVTree* sentinel = dynamic_cast<TVokTreeSentinel*>(object);
    if (!sentinel) {
        if (object) object->Release();
        sentinel = new TVokTreeSentinel;
    }
    childList = sentinel;
}

TVokLSObj* TVokTree::Create() {
    TVokTree* node = new TVokTree;
    node->classInfo = &classRecord;
    return node;
}

// ---- TVokStringTree -------------------------------------------------------------

TVokStringTree::TVokStringTree() : name(nullptr) {
    classInfo = &classRecord;
}

TVokStringTree::~TVokStringTree() {
    delete[] name;
    name = nullptr;
}

TVokLSObj* TVokStringTree::Create() {
    TVokStringTree* node = new TVokStringTree;
    node->classInfo = &classRecord;
    return node;
}

void TVokStringTree::SetName(const char* text) {
    char* copy = VokCopyString(text);
    delete[] name;
    name = copy;
}

void TVokStringTree::ReadBody(TVokStream* stream) {
    TVokTree::ReadBody(stream);
    delete[] name;
    name = ReadString(stream);
}

void TVokStringTree::Write(TVokStream* stream) {
    TVokTree::Write(stream);
    WriteString(stream, name);
}

// ---- TVokClassTree --------------------------------------------------------------

TVokClassTree::TVokClassTree() : word(0) {
    classInfo = &classRecord;
}

TVokLSObj* TVokClassTree::Create() {
    TVokClassTree* node = new TVokClassTree;
    node->classInfo = &classRecord;
    return node;
}

// ---- TVokTreeSentinel -----------------------------------------------------------

TVokTreeSentinel::TVokTreeSentinel() {
    classInfo = &classRecord;
}

TVokLSObj* TVokTreeSentinel::Create() {
    TVokTreeSentinel* node = new TVokTreeSentinel;
    node->classInfo = &classRecord;
    return node;
}

void TVokTreeSentinel::ReadBody(TVokStream*) {}

void TVokTreeSentinel::Write(TVokStream* stream) {
    TVokLSObj::Write(stream);
}

void TVokTreeSentinel::VisitAfterSiblings(TVokVisitFunc callback, int32_t argument) {
    if (next->childList) next->VisitAfterSiblings(callback, argument);
}

void TVokTreeSentinel::VisitPostOrder(TVokVisitFunc callback, int32_t argument) {
    if (next->childList) next->VisitPostOrder(callback, argument);
}

void TVokTreeSentinel::VisitPreOrder(TVokVisitFunc callback, int32_t argument) {
    if (next->childList) next->VisitPreOrder(callback, argument);
}
