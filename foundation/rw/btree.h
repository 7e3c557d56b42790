// RWBTree keeps collectables sorted in memory in a B-tree of fixed-size
// nodes (at most 100 items, at least 50 except in the root), ordered by the
// stored items' CompareTo; no two items compare equal. RWBTreeDictionary is
// a B-tree of key/value associations kept in key order.
//
// Ownership: a tree owns its nodes only. A dictionary also owns its
// associations (deleted when cleared, destroyed or removed), but not the
// keys and values, except in ClearAndDelete and RemoveAndDelete.
//
// A null item is refused (Insert answers null) and a lookup of null finds
// nothing. A node that cannot be allocated raises [NOMEM]; the insertion
// then answers null and leaves the tree as it was. Not synchronised.
#pragma once

#include "foundation/rw/association.h"
#include "foundation/rw/collection.h"

inline constexpr RWClassID kRWBTreeId = 0x8003;
inline constexpr RWClassID kRWBTreeDictionaryId = 0x8004;

class RWBTree : public RWCollectionBase {
 public:
  static constexpr RWSize kOrder = 50;             // the least fill of a non-root node
  static constexpr RWSize kMaxItems = 2 * kOrder;  // 100
  // More levels than 2^32 items can fill: every node below the root holds
  // at least kOrder items.
  static constexpr RWSize kMaxHeight = 16;

  RWBTree() = default;
  // Every member of the source inserted in order.
  RWBTree(const RWBTree& other);
  RWBTree& operator=(const RWBTree& other);

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  ~RWBTree() override;
  // Same class, same count, and every member contained by the other.
  bool IsEqual(const RWCollectable* other) const override;

  // In ascending order.
  void ForEach(RWApplyCollectable apply, void* datum) const override;
  void Clear() override;
  RWSize Count() const override { return entries_; }
  // The stored item that compares equal, or null.
  RWCollectable* Find(const RWCollectable* object) const override;
  // Answers the item, or the stored item that compares equal (then nothing
  // is inserted).
  RWCollectable* Insert(RWCollectable* item) override;
  bool IsEmpty() const override { return root_ == nullptr; }
  RWSize CountOccurrences(const RWCollectable* object) const override;
  // Answers the stored item removed, or null.
  RWCollectable* Remove(const RWCollectable* object) override;

  // 0 when empty, else the number of levels.
  RWSize Height() const;
  // Whether order, fill and count hold (for tests).
  bool CheckInvariants() const;

 protected:
  struct Node {
    RWSize count = 0;
    RWCollectable* items[kMaxItems] = {};
    Node* children[kMaxItems + 1] = {};
    bool IsLeaf() const { return children[0] == nullptr; }
  };

  // Outcome of inserting into a subtree.
  struct Split {
    RWCollectable* item = nullptr;  // handed up to the parent, or null
    Node* right = nullptr;          // its right neighbour
  };

  static RWSize Position(const Node* node, const RWCollectable* object);
  static void PlaceInNode(Node* node, RWSize at, RWCollectable* item, Node* right);
  // Splits a full node around the item placed at `at`; the upper half goes
  // to `sibling`, a new empty node.
  static Split SplitNode(Node* node, RWSize at, RWCollectable* item, Node* right, Node* sibling);
  RWCollectable* RemoveFrom(Node* node, const RWCollectable* object);
  static void RepairChild(Node* parent, RWSize at);
  static void FreeNodes(Node* node);
  static void Walk(const Node* node, RWApplyCollectable apply, void* datum);

  Node* root_ = nullptr;
  RWSize entries_ = 0;
};

using RWApplyKeyAndValue = void (*)(RWCollectable* key, RWCollectable* value, void* datum);
using RWTestKey = bool (*)(const RWCollectable* key, const void* datum);
using RWTestKeyAndValue = bool (*)(const RWCollectable* key, const RWCollectable* value,
                                   const void* datum);

class RWBTreeDictionary : public RWBTree {
 public:
  RWBTreeDictionary() = default;
  // New associations with the same keys and values.
  RWBTreeDictionary(const RWBTreeDictionary& other);
  RWBTreeDictionary& operator=(const RWBTreeDictionary& other);

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // Deletes every association, then the nodes.
  ~RWBTreeDictionary() override;
  // Same class, same count, and the other has each key with an equal value.
  bool IsEqual(const RWCollectable* other) const override;

  // Deletes the associations, then the nodes.
  void Clear() override;
  // Deletes every key and value once, then clears.
  void ClearAndDelete() override;
  // Lets go of every association without deleting it: each then has no
  // owner, and its holders decide what becomes of it. (A read frees a
  // dictionary that nobody holds this way when the graph still holds some
  // of its associations.)
  void Abandon();
  // The stored key equal to `key`, or null.
  RWCollectable* Find(const RWCollectable* key) const override;
  // Takes an association (and owns it from then on); answers it, or the
  // stored association with an equal key. An association this dictionary
  // holds already is answered and not taken again. Anything else, an
  // association without a key and one that another dictionary owns are
  // refused: null.
  RWCollectable* Insert(RWCollectable* item) override;
  // Removes the pair and deletes its association; answers the stored key.
  RWCollectable* Remove(const RWCollectable* key) override;
  // Removes the pair and deletes its key, its value (once when they are the
  // same object) and the association.
  bool RemoveAndDelete(const RWCollectable* key) override;

  // Answers the key, or null when it is present already (nothing changes).
  RWCollectable* InsertKeyAndValue(RWCollectable* key, RWCollectable* value);
  RWCollectable* FindValue(const RWCollectable* key) const;
  RWCollectable* FindKeyAndValue(const RWCollectable* key, RWCollectable*& value) const;
  // Answers the old value, or null when the key is absent (nothing inserted).
  RWCollectable* SetValueForKey(const RWCollectable* key, RWCollectable* value);
  RWCollectable* RemoveKeyAndValue(const RWCollectable* key, RWCollectable*& value);
  // Every pair in key order.
  void ApplyToKeyAndValue(RWApplyKeyAndValue apply, void* datum) const;
  // New dictionaries (the caller owns them) sharing the keys and values of
  // the pairs that pass; null after [NOMEM].
  RWBTreeDictionary* SelectKeys(RWTestKey test, const void* datum) const;
  RWBTreeDictionary* SelectPairs(RWTestKeyAndValue test, const void* datum) const;

 private:
  RWCollectableAssociation* FindAssociation(const RWCollectable* key) const;
  void DeleteAssociations();
  void CopyAssociations(const RWBTreeDictionary& other);
};
