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

// ---- walks ----------------------------------------------------------------------
//
// Each walk passes itself on to the next sibling by calling that sibling's walk
// method, so a class that overrides a walk is reached wherever its node stands.
// Called plainly, that would nest one call per sibling, and a long row of siblings
// would exhaust the stack. So the calls nest only while fewer than
// WALK_NESTED_CALLS walk calls are in progress; deeper than that, the walk still
// calls the sibling's method, but the framework's own method, reached that way,
// hands the node back at once and the calling loop carries on with it. An override
// reached there runs in full; if it calls the framework's walk for its own node,
// that part of the walk (the node, its subtree, its later siblings) runs after the
// override returns instead of inside it.

namespace {

enum WalkKind { WALK_AFTER_SIBLINGS, WALK_POST_ORDER, WALK_PRE_ORDER };

constexpr int32_t WALK_NESTED_CALLS = 512;

// The hand-over between a walk loop and the sibling it passes on to; at rest when no
// walk runs (every field returns to its value before the call).
struct WalkHandOver {
    TVokVTree* node = nullptr;       // sibling being called, whose own walk method may hand it back
    WalkKind kind = WALK_PRE_ORDER;  // the walk being passed on
    TVokVTree* handedBack = nullptr; // the sibling, once its method handed it back
};
WalkHandOver walkHandOver;
int32_t walkNesting = 0; // walk calls in progress that nest (children, siblings while shallow)

void CallWalk(TVokVTree* node, WalkKind kind, TVokVisitFunc callback, int32_t argument) {
    switch (kind) {
    case WALK_AFTER_SIBLINGS:
        node->VisitAfterSiblings(callback, argument);
        break;
    case WALK_POST_ORDER:
        node->VisitPostOrder(callback, argument);
        break;
    case WALK_PRE_ORDER:
        node->VisitPreOrder(callback, argument);
        break;
    }
}

// Called on entry to the framework's walk method: true when the node was just handed
// over by a walk loop that carries on with it itself. Any other entry means the
// pending hand-over reached an override first, which then may no longer hand back.
bool HandsBack(TVokVTree* node, WalkKind kind) {
    if (walkHandOver.node == node && walkHandOver.kind == kind) {
        walkHandOver.node = nullptr;
        walkHandOver.handedBack = node;
        return true;
    }
    walkHandOver.node = nullptr;
    return false;
}

// Walks a node's children: through its sentinel, which passes on to the first child.
void WalkChildren(TVokVTree* node, WalkKind kind, TVokVisitFunc callback, int32_t argument) {
    if (!node->childList) return;
    ++walkNesting;
    CallWalk(node->childList, kind, callback, argument);
    --walkNesting;
}

// Passes the walk on to the following sibling by calling its walk method. True when
// that method handed the sibling back, so that the caller's loop carries on with it.
bool PassOn(TVokVTree* following, WalkKind kind, TVokVisitFunc callback, int32_t argument) {
    if (walkNesting < WALK_NESTED_CALLS) {
        ++walkNesting;
        CallWalk(following, kind, callback, argument);
        --walkNesting;
        return false;
    }
    WalkHandOver saved = walkHandOver;
    walkHandOver.node = following;
    walkHandOver.kind = kind;
    walkHandOver.handedBack = nullptr;
    CallWalk(following, kind, callback, argument);
    bool handedBack = walkHandOver.handedBack == following;
    walkHandOver = saved;
    return handedBack;
}

} // namespace

void TVokVTree::VisitAfterSiblings(TVokVisitFunc callback, int32_t argument) {
    if (HandsBack(this, WALK_AFTER_SIBLINGS)) return;
    TVokVTree* node = this;
    for (;;) {
        WalkChildren(node, WALK_AFTER_SIBLINGS, callback, argument);
        TVokVTree* following = WalkSuccessor(node);
        if (!following || !PassOn(following, WALK_AFTER_SIBLINGS, callback, argument)) break;
        node = following;
    }
    // The siblings this loop carried on with are reported last to first, then this node.
    for (;;) {
        TVokVTree* earlier = node->prev;
        if (callback) callback(node, argument);
        if (node == this) break;
        node = earlier;
    }
}

void TVokVTree::VisitPostOrder(TVokVisitFunc callback, int32_t argument) {
    if (HandsBack(this, WALK_POST_ORDER)) return;
    for (TVokVTree* node = this;;) {
        WalkChildren(node, WALK_POST_ORDER, callback, argument);
        if (callback) callback(node, argument);
        TVokVTree* following = WalkSuccessor(node);
        if (!following || !PassOn(following, WALK_POST_ORDER, callback, argument)) return;
        node = following;
    }
}

void TVokVTree::VisitPreOrder(TVokVisitFunc callback, int32_t argument) {
    if (HandsBack(this, WALK_PRE_ORDER)) return;
    for (TVokVTree* node = this;;) {
        if (callback) callback(node, argument);
        WalkChildren(node, WALK_PRE_ORDER, callback, argument);
        TVokVTree* following = WalkSuccessor(node);
        if (!following || !PassOn(following, WALK_PRE_ORDER, callback, argument)) return;
        node = following;
    }
}

// Levels of stored records that writing `top` makes: its own record, each child's
// one level down, and the sentinel record that closes every child list one level
// below that list's children. Counted without recursion; stops once past `limit`.
static int32_t StoredLevels(TVokVTree* top, int32_t limit) {
    int32_t deepest = 1;
    int32_t level = 1;
    TVokVTree* node = top;
    for (;;) {
        if (node->childList && level + 1 > deepest) deepest = level + 1;
        if (deepest > limit) return deepest;
        if (TVokVTree* child = node->FirstChild()) {
            node = child;
            ++level;
            continue;
        }
        for (;;) {
            if (node == top) return deepest;
            if (TVokVTree* sibling = node->NextSibling()) {
                node = sibling;
                break;
            }
            node = node->parent;
            --level;
        }
    }
}

// A tree that would be stored deeper than the reader reads is refused whole before
// anything is written; below the top that check has already been made.
void TVokVTree::Write(TVokStream* stream) {
    if (vokStoreDepth == 0 && StoredLevels(this, VOK_MAX_LOAD_DEPTH) > VOK_MAX_LOAD_DEPTH) {
        ++vokStoreRefusals;
        return;
    }
    if (!VokWriteRecord(this, stream) || !childList) return;
    ++vokStoreDepth;
    for (TVokVTree* child = FirstChild(); child; child = child->NextSibling())
        child->Write(stream);
    childList->Write(stream);
    --vokStoreDepth;
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
