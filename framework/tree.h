// tree.h -- tree nodes with sentinel-closed child lists, walks and stored form
#pragma once

#include <cstdint>

#include "framework/refobj.h"

class TVokVTree;

// Walk callback: gets the node and the walk's argument; its result is not used.
typedef int32_t (*TVokVisitFunc)(TVokVTree* node, int32_t argument);

// A tree node. Nodes built as TVokTree (or a descendant) own a circular child
// list closed by a sentinel (TVokTreeSentinel); a node whose childList is null
// is never an ordinary member of a list. A node owns its children outright:
// destroying it destroys its whole subtree.
class TVokVTree : public TVokLSObj {
  public:
    TVokVTree();
    // Unlinks the node and destroys its child list (children, then sentinel).
    ~TVokVTree() override;

    // Reads the children (only with a child list): stored objects up to the
    // sentinel record.
    void ReadBody(TVokStream* stream) override;
    // Own record, then each child, then the sentinel's record (only with a child
    // list). A tree whose records would lie deeper than VOK_MAX_LOAD_DEPTH (more
    // than 255 levels of nodes with child lists) is refused whole: nothing is
    // written and the refusal is counted (SaveObject reports it).
    void Write(TVokStream* stream) override;

    // Walks; each visits this node, its subtree and its later siblings with
    // theirs, passing itself on to the first child and to the next sibling by
    // calling their walk method, so an override is reached wherever its node
    // stands (tree.cpp tells how long sibling rows keep the stack flat). A null
    // callback is allowed. With R having children A (children A1, A2) and B,
    // started on R:
    //   VisitAfterSiblings: A2, A1, B, A, R  (children, later siblings, then the node)
    //   VisitPostOrder:     A1, A2, A, B, R  (children, the node, later siblings)
    //   VisitPreOrder:      R, A, A1, A2, B  (the node, children, later siblings)
    virtual void VisitAfterSiblings(TVokVisitFunc callback, int32_t argument);
    virtual void VisitPostOrder(TVokVisitFunc callback, int32_t argument);
    virtual void VisitPreOrder(TVokVisitFunc callback, int32_t argument);

    // Makes node the last child of this node, taking over the caller's reference
    // (the node is first unlinked from any list it is in). Refused (false, nothing
    // changes) when this node has no child list, node is null, has no child list
    // of its own, or is this node or one of its ancestors.
    bool AppendChild(TVokVTree* node);
    // Removes the node from the list that holds it; parent becomes null. A node
    // in no list is left as it is.
    void Unlink();
    // First child, or null.
    TVokVTree* FirstChild();
    // Following sibling, or null for the last child and for a node without parent.
    TVokVTree* NextSibling();
    // Number of children (0 without a child list).
    int32_t ChildCount();

    // Destroys a child list given its sentinel: the subtrees of the children
    // first to last, then the children last to first, then the sentinel.
    static void DestroyList(TVokVTree* sentinel);

    TVokVTree* parent;    // node whose child list holds this one, or null
    TVokVTree* next;      // following entry of the holding list; this node when in none
    TVokVTree* childList; // sentinel of this node's own child list, or null
    TVokVTree* prev;      // preceding entry of the holding list; this node when in none

    static TVokClassInfo classRecord; // "TVokVTree", parent "TVokLSObj"
    static TVokLSObj* Create();
};

// A node with a child list; its constructor creates the sentinel by name.
class TVokTree : public TVokVTree {
  public:
    TVokTree();

    static TVokClassInfo classRecord; // "TVokTree", parent "TVokVTree"
    static TVokLSObj* Create();
};

// A node with a child list and a name.
class TVokStringTree : public TVokTree {
  public:
    TVokStringTree();
    // Frees the name, then ends as a tree.
    ~TVokStringTree() override;

    // Children, then the name as a stored string.
    void ReadBody(TVokStream* stream) override;
    // As a tree, then the name as a stored string.
    void Write(TVokStream* stream) override;

    // Replaces the name with a copy of text (null allowed).
    void SetName(const char* text);

    char* name; // owned heap string, or null

    static TVokClassInfo classRecord; // "TVokStringTree", parent "TVokTree"
    static TVokLSObj* Create();
};

// A string tree with one further word; registered, but the system makes none.
class TVokClassTree : public TVokStringTree {
  public:
    TVokClassTree();

    int32_t word; // not used by the system; 0

    static TVokClassInfo classRecord; // "TVokClassTree", parent "TVokStringTree"
    static TVokLSObj* Create();
};

// Head and end marker of a child list: no child list of its own, never a child.
// Its walks pass on to the first child of its list.
class TVokTreeSentinel : public TVokVTree {
  public:
    TVokTreeSentinel();

    void ReadBody(TVokStream* stream) override;
    void Write(TVokStream* stream) override;
    void VisitAfterSiblings(TVokVisitFunc callback, int32_t argument) override;
    void VisitPostOrder(TVokVisitFunc callback, int32_t argument) override;
    void VisitPreOrder(TVokVisitFunc callback, int32_t argument) override;

    static TVokClassInfo classRecord; // "TVokTreeSentinel", parent "TVokVTree"
    static TVokLSObj* Create();
};
