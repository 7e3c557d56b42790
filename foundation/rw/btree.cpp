#include "foundation/rw/btree.h"

#include <algorithm>
#include <new>

#include "foundation/rw/support.h"

// ---------------------------------------------------------------------------
// RWBTree

RWBTree::RWBTree(const RWBTree& other) : RWCollectionBase(other) {
  InsertAll(other);
}

RWBTree& RWBTree::operator=(const RWBTree& other) {
  if (this != &other) {
    Clear();
    InsertAll(other);
  }
  return *this;
}

RWBTree::~RWBTree() {
  FreeNodes(root_);
}

RWCollectable* RWBTree::CreateDefault() const {
  return new (kRWNoThrow) RWBTree;
}

RWCollectable* RWBTree::CreateCopy() const {
  return new (kRWNoThrow) RWBTree(*this);
}

RWClassID RWBTree::ClassId() const {
  return kRWBTreeId;
}

bool RWBTree::IsEqual(const RWCollectable* other) const {
  if (!other || other->ClassId() != kRWBTreeId) return false;
  auto* tree = dynamic_cast<const RWBTree*>(other);
  if (!tree || tree->Count() != Count()) return false;
  RWComparisonGuard guard(this, tree);
  if (guard.Reentered()) return true;
  struct Check {
    const RWBTree* other;
    bool equal;
  } check{tree, true};
  ForEach(
      [](RWCollectable* m, void* c) {
        auto* ck = static_cast<Check*>(c);
        if (ck->equal && !ck->other->Contains(m)) ck->equal = false;
      },
      &check);
  return check.equal;
}

void RWBTree::Walk(const Node* node, RWApplyCollectable apply, void* datum) {
  if (!node) return;
  for (RWSize i = 0; i < node->count; ++i) {
    Walk(node->children[i], apply, datum);
    apply(node->items[i], datum);
  }
  Walk(node->children[node->count], apply, datum);
}

void RWBTree::ForEach(RWApplyCollectable apply, void* datum) const {
  Walk(root_, apply, datum);
}

void RWBTree::FreeNodes(Node* node) {
  if (!node) return;
  for (RWSize i = 0; i <= node->count; ++i)
    FreeNodes(node->children[i]);
  delete node;
}

void RWBTree::Clear() {
  FreeNodes(root_);
  root_ = nullptr;
  entries_ = 0;
}

RWSize RWBTree::Position(const Node* node, const RWCollectable* object) {
  // The first position whose item is not less than the object.
  RWSize low = 0, high = node->count;
  while (low < high) {
    RWSize mid = (low + high) / 2;
    if (node->items[mid]->CompareTo(object) < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

RWCollectable* RWBTree::Find(const RWCollectable* object) const {
  if (!object) return nullptr;  // no item is null
  for (const Node* node = root_; node;) {
    RWSize at = Position(node, object);
    if (at < node->count && node->items[at]->CompareTo(object) == 0) return node->items[at];
    node = node->children[at];
  }
  return nullptr;
}

RWSize RWBTree::CountOccurrences(const RWCollectable* object) const {
  return Find(object) ? 1 : 0;
}

void RWBTree::PlaceInNode(Node* node, RWSize at, RWCollectable* item, Node* right) {
  std::copy_backward(node->items + at, node->items + node->count, node->items + node->count + 1);
  std::copy_backward(node->children + at + 1, node->children + node->count + 1,
                     node->children + node->count + 2);
  node->items[at] = item;
  node->children[at + 1] = right;
  ++node->count;
}

RWBTree::Split RWBTree::SplitNode(Node* node, RWSize at, RWCollectable* item, Node* right,
                                  Node* sibling) {
  // The full node with the new item in its place holds 101 items: the
  // middle one goes up, the 50 after it move to a new right node.
  RWCollectable* items[kMaxItems + 1];
  Node* children[kMaxItems + 2];
  std::copy(node->items, node->items + at, items);
  items[at] = item;
  std::copy(node->items + at, node->items + kMaxItems, items + at + 1);
  std::copy(node->children, node->children + at + 1, children);
  children[at + 1] = right;
  std::copy(node->children + at + 1, node->children + kMaxItems + 1, children + at + 2);

  std::fill(std::begin(node->items), std::end(node->items), nullptr);
  std::fill(std::begin(node->children), std::end(node->children), nullptr);
  std::copy(items, items + kOrder, node->items);
  std::copy(children, children + kOrder + 1, node->children);
  node->count = kOrder;
  std::copy(items + kOrder + 1, items + kMaxItems + 1, sibling->items);
  std::copy(children + kOrder + 1, children + kMaxItems + 2, sibling->children);
  sibling->count = kOrder;
  return {items[kOrder], sibling};
}

RWCollectable* RWBTree::Insert(RWCollectable* item) {
  if (!item) return nullptr;
  // The path from the root to the leaf where the item belongs, with the
  // position taken in each node; an equal item on the way ends the insert.
  struct Step {
    Node* node;
    RWSize at;
  } path[kMaxHeight];
  RWSize depth = 0;
  for (Node* node = root_; node; node = node->children[path[depth - 1].at]) {
    RWSize at = Position(node, item);
    if (at < node->count && node->items[at]->CompareTo(item) == 0) return node->items[at];
    if (depth == kMaxHeight) return nullptr;  // cannot happen: see kMaxHeight
    path[depth++] = {node, at};
  }

  // Every node the insertion makes is had before anything changes, so that
  // a failed allocation leaves the tree as it was: one per full node from
  // the leaf up, and a new root when the splits reach the root (or there is
  // no root yet).
  RWSize splits = 0;
  while (splits < depth && path[depth - 1 - splits].node->count == kMaxItems)
    ++splits;
  Node* fresh[kMaxHeight + 1];
  RWSize needed = splits + (splits == depth ? 1 : 0);
  for (RWSize i = 0; i < needed; ++i) {
    fresh[i] = RWNew<Node>();
    if (!fresh[i]) {
      while (i > 0)
        delete fresh[--i];
      return nullptr;
    }
  }

  // From the leaf up: a node with room takes the item; a full node splits
  // and hands its middle item up. An item handed up from child `at` belongs
  // at position `at` of its parent.
  Split up{item, nullptr};
  for (RWSize level = depth; level-- > 0 && up.item;) {
    Node* node = path[level].node;
    if (node->count < kMaxItems) {
      PlaceInNode(node, path[level].at, up.item, up.right);
      up = {};
    } else {
      up = SplitNode(node, path[level].at, up.item, up.right, fresh[--needed]);
    }
  }
  if (up.item) {
    Node* root = fresh[--needed];
    root->items[0] = up.item;
    root->children[0] = root_;
    root->children[1] = up.right;
    root->count = 1;
    root_ = root;
  }
  ++entries_;
  return item;
}

namespace {

// Merges child i+1 and the separator i of `parent` into child i.
template <class Node>
void MergeChildren(Node* parent, RWSize i) {
  Node* left = parent->children[i];
  Node* right = parent->children[i + 1];
  left->items[left->count] = parent->items[i];
  std::copy(right->items, right->items + right->count, left->items + left->count + 1);
  std::copy(right->children, right->children + right->count + 1, left->children + left->count + 1);
  left->count += 1 + right->count;
  delete right;
  std::copy(parent->items + i + 1, parent->items + parent->count, parent->items + i);
  std::copy(parent->children + i + 2, parent->children + parent->count + 1,
            parent->children + i + 1);
  --parent->count;
  parent->items[parent->count] = nullptr;
  parent->children[parent->count + 1] = nullptr;
}

}  // namespace

void RWBTree::RepairChild(Node* parent, RWSize at) {
  Node* child = parent->children[at];
  if (at == parent->count) {
    // The last child borrows through the separator from its left sibling.
    Node* left = parent->children[at - 1];
    std::copy_backward(child->items, child->items + child->count, child->items + child->count + 1);
    std::copy_backward(child->children, child->children + child->count + 1,
                       child->children + child->count + 2);
    child->items[0] = parent->items[at - 1];
    child->children[0] = left->children[left->count];
    ++child->count;
    parent->items[at - 1] = left->items[left->count - 1];
    left->items[left->count - 1] = nullptr;
    left->children[left->count] = nullptr;
    --left->count;
    if (left->count < kOrder) MergeChildren(parent, at - 1);
    return;
  }
  Node* right = parent->children[at + 1];
  if (right->count > kOrder) {
    // The right sibling gives its first item through the separator.
    child->items[child->count] = parent->items[at];
    child->children[child->count + 1] = right->children[0];
    ++child->count;
    parent->items[at] = right->items[0];
    std::copy(right->items + 1, right->items + right->count, right->items);
    std::copy(right->children + 1, right->children + right->count + 1, right->children);
    --right->count;
    right->items[right->count] = nullptr;
    right->children[right->count + 1] = nullptr;
    return;
  }
  MergeChildren(parent, at);
}

RWCollectable* RWBTree::RemoveFrom(Node* node, const RWCollectable* object) {
  RWSize at = Position(node, object);
  bool found = at < node->count && node->items[at]->CompareTo(object) == 0;
  if (node->IsLeaf()) {
    if (!found) return nullptr;
    RWCollectable* removed = node->items[at];
    std::copy(node->items + at + 1, node->items + node->count, node->items + at);
    --node->count;
    node->items[node->count] = nullptr;
    return removed;
  }
  if (found) {
    // Swap with the predecessor, the last item of the rightmost leaf under
    // the child, and remove it from there.
    Node* leaf = node->children[at];
    while (!leaf->IsLeaf())
      leaf = leaf->children[leaf->count];
    std::swap(node->items[at], leaf->items[leaf->count - 1]);
  }
  RWCollectable* removed = RemoveFrom(node->children[at], object);
  if (removed && node->children[at]->count < kOrder) RepairChild(node, at);
  return removed;
}

RWCollectable* RWBTree::Remove(const RWCollectable* object) {
  if (!root_ || !object) return nullptr;
  RWCollectable* removed = RemoveFrom(root_, object);
  if (!removed) return nullptr;
  --entries_;
  if (root_->count == 0) {
    Node* old = root_;
    root_ = old->children[0];
    delete old;
  }
  return removed;
}

RWSize RWBTree::Height() const {
  RWSize height = 0;
  for (const Node* node = root_; node; node = node->children[0])
    ++height;
  return height;
}

namespace {

template <class Node>
bool CheckNode(const Node* node, bool is_root, RWSize depth, RWSize& leaf_depth, RWSize& count,
               const RWCollectable* low, const RWCollectable* high) {
  if (node->count > RWBTree::kMaxItems || node->count < (is_root ? 1 : RWBTree::kOrder)) {
    return false;
  }
  for (RWSize i = 0; i < node->count; ++i) {
    const RWCollectable* item = node->items[i];
    if (!item || (low && low->CompareTo(item) >= 0) || (high && high->CompareTo(item) <= 0)) {
      return false;
    }
    if (i > 0 && node->items[i - 1]->CompareTo(item) >= 0) return false;
  }
  count += node->count;
  if (node->IsLeaf()) {
    for (RWSize i = 0; i <= node->count; ++i) {
      if (node->children[i]) return false;
    }
    if (leaf_depth == 0) leaf_depth = depth;
    return leaf_depth == depth;
  }
  for (RWSize i = 0; i <= node->count; ++i) {
    const Node* child = node->children[i];
    if (!child ||
        !CheckNode(child, false, depth + 1, leaf_depth, count, i == 0 ? low : node->items[i - 1],
                   i == node->count ? high : node->items[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool RWBTree::CheckInvariants() const {
  if (!root_) return entries_ == 0;
  RWSize leaf_depth = 0, count = 0;
  return CheckNode(root_, true, 1, leaf_depth, count, nullptr, nullptr) && count == entries_;
}

// ---------------------------------------------------------------------------
// RWBTreeDictionary

RWBTreeDictionary::RWBTreeDictionary(const RWBTreeDictionary& other) : RWBTree() {
  CopyAssociations(other);
}

RWBTreeDictionary& RWBTreeDictionary::operator=(const RWBTreeDictionary& other) {
  if (this != &other) {
    Clear();
    CopyAssociations(other);
  }
  return *this;
}

void RWBTreeDictionary::CopyAssociations(const RWBTreeDictionary& other) {
  other.InsertCopiesInto(*this);
}

RWBTreeDictionary::~RWBTreeDictionary() {
  DeleteAssociations();
}

RWCollectable* RWBTreeDictionary::CreateDefault() const {
  return new (kRWNoThrow) RWBTreeDictionary;
}

RWCollectable* RWBTreeDictionary::CreateCopy() const {
  return new (kRWNoThrow) RWBTreeDictionary(*this);
}

RWClassID RWBTreeDictionary::ClassId() const {
  return kRWBTreeDictionaryId;
}

bool RWBTreeDictionary::IsEqual(const RWCollectable* other) const {
  if (!other || other->ClassId() != kRWBTreeDictionaryId) return false;
  auto* dict = dynamic_cast<const RWBTreeDictionary*>(other);
  if (!dict || dict->Count() != Count()) return false;
  RWComparisonGuard guard(this, dict);
  if (guard.Reentered()) return true;
  struct Check {
    const RWBTreeDictionary* other;
    bool equal;
  } check{dict, true};
  ApplyToKeyAndValue(
      [](RWCollectable* key, RWCollectable* value, void* c) {
        auto* ck = static_cast<Check*>(c);
        if (!ck->equal) return;
        RWCollectableAssociation* there = ck->other->FindAssociation(key);
        if (!there) {
          ck->equal = false;
        } else if (!value || !there->Value()) {
          ck->equal = !value && !there->Value();
        } else {
          ck->equal = value->IsEqual(there->Value());
        }
      },
      &check);
  return check.equal;
}

void RWBTreeDictionary::DeleteAssociations() {
  ForEach([](RWCollectable* m, void*) { delete m; }, nullptr);
}

void RWBTreeDictionary::Clear() {
  DeleteAssociations();
  RWBTree::Clear();
}

void RWBTreeDictionary::Abandon() {
  ForEach(
      [](RWCollectable* m, void*) { static_cast<RWCollectableAssociation*>(m)->owner_ = nullptr; },
      nullptr);
  RWBTree::Clear();
}

void RWBTreeDictionary::ClearAndDelete() {
  // Keys and values are deleted once each, even when an object serves
  // several pairs or is both a key and a value. Nothing is deleted when
  // the gathering cannot be had.
  RWSize count = Count();
  auto objects = RWNewArrayForOverwrite<RWCollectable*>(std::uint64_t{count} * 2);
  if (count && !objects) return;
  struct Gather {
    RWCollectable** next;
  } gather{objects.get()};
  ApplyToKeyAndValue(
      [](RWCollectable* key, RWCollectable* value, void* g) {
        auto* gather = static_cast<Gather*>(g);
        if (key) *gather->next++ = key;
        if (value) *gather->next++ = value;
      },
      &gather);
  if (!DeleteDistinct(objects.get(), static_cast<RWSize>(gather.next - objects.get()), count / 4))
    return;
  Clear();
}

RWCollectableAssociation* RWBTreeDictionary::FindAssociation(const RWCollectable* key) const {
  return static_cast<RWCollectableAssociation*>(RWBTree::Find(key));
}

RWCollectable* RWBTreeDictionary::Find(const RWCollectable* key) const {
  RWCollectableAssociation* a = FindAssociation(key);
  return a ? a->Key() : nullptr;
}

RWCollectable* RWBTreeDictionary::Insert(RWCollectable* item) {
  auto* a = dynamic_cast<RWCollectableAssociation*>(item);
  if (!a || !a->Key() || (a->owner_ && a->owner_ != this)) return nullptr;
  // An association this dictionary holds already is the stored one, whatever
  // its CompareTo says (an identity association never equals itself):
  // taking it twice would delete it twice.
  if (a->owner_ == this) return a;
  RWCollectable* stored = RWBTree::Insert(a);
  if (stored == a) a->owner_ = this;
  return stored;
}

RWCollectable* RWBTreeDictionary::Remove(const RWCollectable* key) {
  auto* a = static_cast<RWCollectableAssociation*>(RWBTree::Remove(key));
  if (!a) return nullptr;
  RWCollectable* stored = a->Key();
  delete a;
  return stored;
}

bool RWBTreeDictionary::RemoveAndDelete(const RWCollectable* key) {
  auto* a = static_cast<RWCollectableAssociation*>(RWBTree::Remove(key));
  if (!a) return false;
  RWCollectable* k = a->Key();
  RWCollectable* v = a->Value();
  delete a;
  if (v != k) delete v;
  delete k;
  return true;
}

RWCollectable* RWBTreeDictionary::InsertKeyAndValue(RWCollectable* key, RWCollectable* value) {
  if (!key) return nullptr;
  auto* a = RWNew<RWCollectableAssociation>(key, value);
  if (!a) return nullptr;
  if (Insert(a) != a) {
    delete a;
    return nullptr;
  }
  return key;
}

RWCollectable* RWBTreeDictionary::FindValue(const RWCollectable* key) const {
  RWCollectableAssociation* a = FindAssociation(key);
  return a ? a->Value() : nullptr;
}

RWCollectable* RWBTreeDictionary::FindKeyAndValue(const RWCollectable* key,
                                                  RWCollectable*& value) const {
  RWCollectableAssociation* a = FindAssociation(key);
  value = a ? a->Value() : nullptr;
  return a ? a->Key() : nullptr;
}

RWCollectable* RWBTreeDictionary::SetValueForKey(const RWCollectable* key, RWCollectable* value) {
  RWCollectableAssociation* a = FindAssociation(key);
  return a ? a->SetValue(value) : nullptr;
}

RWCollectable* RWBTreeDictionary::RemoveKeyAndValue(const RWCollectable* key,
                                                    RWCollectable*& value) {
  auto* a = static_cast<RWCollectableAssociation*>(RWBTree::Remove(key));
  value = a ? a->Value() : nullptr;
  if (!a) return nullptr;
  RWCollectable* stored = a->Key();
  delete a;
  return stored;
}

void RWBTreeDictionary::ApplyToKeyAndValue(RWApplyKeyAndValue apply, void* datum) const {
  struct Pass {
    RWApplyKeyAndValue apply;
    void* datum;
  } pass{apply, datum};
  ForEach(
      [](RWCollectable* m, void* p) {
        auto* a = static_cast<RWCollectableAssociation*>(m);
        auto* ps = static_cast<Pass*>(p);
        ps->apply(a->Key(), a->Value(), ps->datum);
      },
      &pass);
}

RWBTreeDictionary* RWBTreeDictionary::SelectKeys(RWTestKey test, const void* datum) const {
  auto* result = RWNew<RWBTreeDictionary>();
  if (!result) return nullptr;
  struct Pass {
    RWTestKey test;
    const void* datum;
    RWBTreeDictionary* result;
  } pass{test, datum, result};
  ApplyToKeyAndValue(
      [](RWCollectable* key, RWCollectable* value, void* p) {
        auto* ps = static_cast<Pass*>(p);
        if (ps->test(key, ps->datum)) ps->result->InsertKeyAndValue(key, value);
      },
      &pass);
  return result;
}

RWBTreeDictionary* RWBTreeDictionary::SelectPairs(RWTestKeyAndValue test, const void* datum) const {
  auto* result = RWNew<RWBTreeDictionary>();
  if (!result) return nullptr;
  struct Pass {
    RWTestKeyAndValue test;
    const void* datum;
    RWBTreeDictionary* result;
  } pass{test, datum, result};
  ApplyToKeyAndValue(
      [](RWCollectable* key, RWCollectable* value, void* p) {
        auto* ps = static_cast<Pass*>(p);
        if (ps->test(key, value, ps->datum)) ps->result->InsertKeyAndValue(key, value);
      },
      &pass);
  return result;
}
