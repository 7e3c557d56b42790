#include "foundation/rw/diskbtree.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "foundation/rw/readscope.h"

namespace {

int BinaryCompare(const char* a, const char* b, std::size_t k) {
  return std::memcmp(a, b, k);
}

int TextCompare(const char* a, const char* b, std::size_t k) {
  return std::strncmp(a, b, k);
}

std::uint64_t NodeSizeFor(std::uint64_t order, std::uint64_t key_length) {
  return 16 * order + 8 + 2 * order * key_length;
}

// A file opened only for reading cannot take the header back.
bool IsWritable(const char* mode) {
  return mode[0] != 'r' || std::strchr(mode, '+') != nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

RWDiskBTree::RWDiskBTree(RWFileSpaceManager* manager, std::uint32_t cache_size, bool new_header,
                         std::uint32_t key_length, bool binary_keys, std::uint32_t header_offset,
                         bool old_form, std::uint32_t order, std::uint32_t min_fill)
    : manager_(manager), cache_size_(cache_size) {
  if (!manager_) return;
  RWReadScope scope(*manager_);
  if (!manager_->IsUsable()) return;
  if (order == 0 || key_length == 0 || NodeSizeFor(order, key_length) > kMaxNodeSize) return;
  min_fill = std::min(min_fill, order);
  old_form_ = old_form;
  header_offset_ = old_form ? kNoOffset : header_offset;

  if (old_form_) {
    SetUpHeader(kNoOffset, key_length, order, min_fill, binary_keys);
    if (manager_->StartOffset() == kNoOffset) {
      if (manager_->Allocate(sizeof(std::uint32_t)) == kNoOffset || !WriteHeader()) return;
    }
  } else if (header_offset_ == kNoOffset) {
    if (!new_header) header_offset_ = manager_->StartOffset();
    if (new_header || header_offset_ == kNoOffset) {
      SetUpHeader(kVersion, key_length, order, min_fill, binary_keys);
      header_offset_ = manager_->Allocate(kHeaderSize);
      if (header_offset_ == kNoOffset || !WriteHeader()) return;
    }
  }
  if (!ReadHeader()) return;
  if (!old_form_ && header_[kVersionWord] != kVersion) {
    old_form_ = true;
    header_offset_ = kNoOffset;
    SetUpHeader(kNoOffset, key_length, order, min_fill, binary_keys);
    if (!ReadHeader()) return;
  }

  key_length_ = header_[kKeyLengthWord];
  order_ = header_[kOrderWord];
  if (key_length_ == 0 || order_ == 0 || header_[kMinFillWord] > order_ ||
      NodeSizeFor(order_, key_length_) > kMaxNodeSize) {
    Corrupt(header_offset_);
    return;
  }
  // The caller's keys are read for exactly k bytes (binary) or up to k
  // (text): a tree stored with other keys would read past them.
  binary_keys_ = !old_form_ && (header_[kFlagsWord] & kBinaryKeysFlag) != 0;
  if (key_length_ != key_length || (!old_form_ && binary_keys_ != binary_keys)) {
    Corrupt(header_offset_);
    return;
  }
  node_size_ = static_cast<std::uint32_t>(NodeSizeFor(order_, key_length_));
  if (header_[kRootWord] != kNoOffset && !PlausibleNode(header_[kRootWord])) {
    Corrupt(header_offset_);
    return;
  }
  compare_ = binary_keys_ ? &BinaryCompare : &TextCompare;
  key_.assign(key_length_, '\0');
  up_key_.assign(key_length_, '\0');
  swap_key_.assign(key_length_, '\0');
  root_.assign(node_size_, 0);
  spare_.assign(node_size_, 0);
  levels_.resize(kMaxDepth);
  cache_ = std::make_unique<RWDiskNodeCache>(manager_, node_size_, cache_size_);
  if (!LoadRoot()) return;
  usable_ = true;
}

RWDiskBTree::~RWDiskBTree() {
  // The count lives in the header: a file opened for update gets it back too,
  // or a reopened tree would report the count of an older session.
  if (usable_ && !manager_->Error() && IsWritable(manager_->Mode())) {
    RWReadScope scope(*manager_);
    WriteHeader();
  }
  cache_.reset();
}

void RWDiskBTree::SetUpHeader(std::uint32_t version, std::uint32_t key_length, std::uint32_t order,
                              std::uint32_t min_fill, bool binary_keys) {
  header_[kRootWord] = kNoOffset;
  header_[kWord1] = kNoOffset;
  header_[kVersionWord] = version;
  header_[kCountWord] = 0;
  header_[kKeyLengthWord] = key_length;
  header_[kOrderWord] = order;
  header_[kMinFillWord] = min_fill;
  header_[kWord7] = kNoOffset;
  header_[kReservedWord] = 0;
  header_[kFlagsWord] = binary_keys ? kBinaryKeysFlag : 0;
}

bool RWDiskBTree::ReadHeader() {
  if (old_form_) {
    std::uint32_t start = manager_->StartOffset();
    if (start == kNoOffset) return true;
    return manager_->ReadWordAt(start, header_[kRootWord]);
  }
  std::uint8_t bytes[kHeaderSize];
  if (!manager_->ReadBytesAt(header_offset_, bytes, kHeaderSize)) return false;
  for (std::uint32_t i = 0; i < kHeaderWords; ++i)
    header_[i] = RWGetWord(bytes + 4 * i);
  return true;
}

bool RWDiskBTree::WriteHeader() {
  if (old_form_) {
    std::uint32_t start = manager_->StartOffset();
    return start != kNoOffset && manager_->WriteWordAt(start, header_[kRootWord]);
  }
  std::uint8_t bytes[kHeaderSize];
  for (std::uint32_t i = 0; i < kHeaderWords; ++i)
    RWPutWord(bytes + 4 * i, header_[i]);
  return manager_->WriteBytesAt(header_offset_, bytes, kHeaderSize);
}

bool RWDiskBTree::LoadRoot() {
  if (header_[kRootWord] == kNoOffset) {
    NewNode(root_.data());
    return true;
  }
  return ReadNode(header_[kRootWord], root_.data());
}

// ---------------------------------------------------------------------------
// Node images

std::uint32_t RWDiskBTree::NodeCount(const std::uint8_t* node) const {
  return RWGetWord(node);
}

void RWDiskBTree::SetNodeCount(std::uint8_t* node, std::uint32_t n) const {
  RWPutWord(node, n);
}

std::uint32_t RWDiskBTree::Child(const std::uint8_t* node, std::uint32_t i) const {
  return RWGetWord(node + 4 + 4 * i);
}

void RWDiskBTree::SetChild(std::uint8_t* node, std::uint32_t i, std::uint32_t offset) const {
  RWPutWord(node + 4 + 4 * i, offset);
}

std::uint32_t RWDiskBTree::Value(const std::uint8_t* node, std::uint32_t i) const {
  return RWGetWord(node + 8 * order_ + 8 + 4 * i);
}

void RWDiskBTree::SetValue(std::uint8_t* node, std::uint32_t i, std::uint32_t v) const {
  RWPutWord(node + 8 * order_ + 8 + 4 * i, v);
}

const char* RWDiskBTree::Key(const std::uint8_t* node, std::uint32_t i) const {
  return reinterpret_cast<const char*>(node + 16 * order_ + 8 + std::size_t{key_length_} * i);
}

char* RWDiskBTree::Key(std::uint8_t* node, std::uint32_t i) const {
  return reinterpret_cast<char*>(node + 16 * order_ + 8 + std::size_t{key_length_} * i);
}

void RWDiskBTree::CopyKeys(std::uint8_t* dst, std::uint32_t to, const std::uint8_t* src,
                           std::uint32_t from, std::uint32_t n) const {
  if (n == 0) return;
  std::memmove(Key(dst, to), Key(src, from), std::size_t{key_length_} * n);
  std::memmove(dst + 8 * order_ + 8 + 4 * to, src + 8 * order_ + 8 + 4 * from, 4 * n);
}

void RWDiskBTree::CopyChildren(std::uint8_t* dst, std::uint32_t to, const std::uint8_t* src,
                               std::uint32_t from, std::uint32_t n) const {
  if (n == 0) return;
  std::memmove(dst + 4 + 4 * to, src + 4 + 4 * from, 4 * n);
}

void RWDiskBTree::InsertEntry(std::uint8_t* node, std::uint32_t p, const char* key,
                              std::uint32_t value, std::uint32_t right) const {
  std::uint32_t count = NodeCount(node);
  CopyKeys(node, p + 1, node, p, count - p);
  CopyChildren(node, p + 2, node, p + 1, count - p);
  std::memcpy(Key(node, p), key, key_length_);
  SetValue(node, p, value);
  SetChild(node, p + 1, right);
  SetNodeCount(node, count + 1);
}

void RWDiskBTree::RemoveEntry(std::uint8_t* node, std::uint32_t p) const {
  std::uint32_t count = NodeCount(node);
  CopyKeys(node, p, node, p + 1, count - p - 1);
  CopyChildren(node, p + 1, node, p + 2, count - p - 1);
  SetNodeCount(node, count - 1);
}

void RWDiskBTree::RemoveFirst(std::uint8_t* node) const {
  std::uint32_t count = NodeCount(node);
  CopyKeys(node, 0, node, 1, count - 1);
  CopyChildren(node, 0, node, 1, count);
  SetNodeCount(node, count - 1);
}

void RWDiskBTree::NewNode(std::uint8_t* node) const {
  std::memset(node, 0, node_size_);
  for (std::uint32_t i = 0; i <= 2 * order_; ++i)
    SetChild(node, i, kNoOffset);
}

void RWDiskBTree::ClearTail(std::uint8_t* node) const {
  std::uint32_t count = NodeCount(node);
  std::uint32_t slots = 2 * order_;
  if (count >= slots) return;
  std::memset(Key(node, count), 0, std::size_t{key_length_} * (slots - count));
  std::memset(node + 8 * order_ + 8 + 4 * count, 0, 4 * (slots - count));
  for (std::uint32_t i = count + 1; i <= slots; ++i)
    SetChild(node, i, kNoOffset);
}

std::uint32_t RWDiskBTree::Position(const std::uint8_t* node, const char* key) const {
  std::uint32_t count = NodeCount(node);
  if (count == 0 || compare_(Key(node, 0), key, key_length_) >= 0) return 0;
  if (compare_(Key(node, count - 1), key, key_length_) < 0) return count;
  std::uint32_t low = 0;
  std::uint32_t high = count - 1;
  while (high - low > 1) {
    std::uint32_t mid = (low + high) / 2;
    if (compare_(Key(node, mid), key, key_length_) < 0) {
      low = mid;
    } else {
      high = mid;
    }
  }
  return high;
}

void RWDiskBTree::NormalizeKey(const char* key) {
  if (binary_keys_) {
    std::memcpy(key_.data(), key, key_length_);
    return;
  }
  // A bounded copy: NUL-padded when shorter, cut without a terminator at k.
  std::uint32_t i = 0;
  for (; i < key_length_ && key[i] != '\0'; ++i)
    key_[i] = key[i];
  for (; i < key_length_; ++i)
    key_[i] = '\0';
}

RWCString RWDiskBTree::KeyString(const char* key) const {
  std::uint32_t length = key_length_;
  if (!binary_keys_) {
    length = 0;
    while (length < key_length_ && key[length] != '\0')
      ++length;
  }
  return RWCString(key, length);
}

// ---------------------------------------------------------------------------
// Reading and writing nodes

std::uint32_t RWDiskBTree::Fill() const {
  return std::max<std::uint32_t>(header_[kMinFillWord], 1);
}

std::uint8_t* RWDiskBTree::Level(std::uint32_t depth) {
  if (depth == 0) return root_.data();
  std::vector<std::uint8_t>& level = levels_[depth];
  if (level.empty()) level.assign(node_size_, 0);
  return level.data();
}

bool RWDiskBTree::PlausibleNode(std::uint32_t offset) const {
  return offset != kNoOffset && offset % 4 == 0 &&
         offset >= manager_->FirstBlockOffset() + RWFileSpaceManager::kLengthWordSize &&
         std::uint64_t{offset} + node_size_ <= manager_->EndOfSpace();
}

bool RWDiskBTree::NodeIsSound(const std::uint8_t* node) const {
  std::uint32_t count = NodeCount(node);
  if (count > 2 * order_) return false;
  bool leaf = IsLeaf(node);
  for (std::uint32_t i = 0; i <= count; ++i) {
    std::uint32_t child = Child(node, i);
    if (leaf ? child != kNoOffset : !PlausibleNode(child)) return false;
  }
  return true;
}

bool RWDiskBTree::Corrupt(std::uint32_t offset) {
  manager_->RaiseCorrupt(offset);
  return false;
}

bool RWDiskBTree::ReadNode(std::uint32_t offset, std::uint8_t* node) {
  if (!PlausibleNode(offset)) return Corrupt(offset);
  if (!cache_->Read(offset, node)) {
    manager_->RaiseIo(RWFileSpaceManager::kReadCode, offset);
    return false;
  }
  if (!NodeIsSound(node)) return Corrupt(offset);
  return true;
}

bool RWDiskBTree::WriteNode(std::uint32_t offset, std::uint8_t* node) {
  ClearTail(node);
  if (!cache_->Write(offset, node)) {
    manager_->RaiseIo(RWFileSpaceManager::kWriteCode, offset);
    return false;
  }
  return true;
}

std::uint32_t RWDiskBTree::AllocateNode() {
  std::uint32_t offset = manager_->Allocate(node_size_);
  // The manager is silent when the space would pass 4 GiB.
  if (offset == kNoOffset && !manager_->Error()) {
    manager_->RaiseIo(RWFileSpaceManager::kWriteCode, manager_->EndOfSpace());
  }
  return offset;
}

// ---------------------------------------------------------------------------
// Look-up

bool RWDiskBTree::Locate(const char* key, std::uint32_t& offset, std::uint8_t*& node,
                         std::uint32_t& position) {
  NormalizeKey(key);
  offset = header_[kRootWord];
  for (std::uint32_t depth = 0; offset != kNoOffset; ++depth) {
    if (depth >= kMaxDepth) return Corrupt(offset);
    node = Level(depth);
    if (!ReadNode(offset, node)) return false;
    position = Position(node, key_.data());
    if (position < NodeCount(node) && SameKey(key_.data(), Key(node, position))) return true;
    offset = Child(node, position);
  }
  return false;
}

bool RWDiskBTree::Find(const char* key, RWCString& found_key, std::uint32_t& value) {
  value = kNoOffset;
  if (!Ready()) return false;
  RWReadScope scope(*manager_);
  std::uint32_t offset, p;
  std::uint8_t* node;
  if (!Locate(key, offset, node, p)) return false;
  value = Value(node, p);
  found_key = KeyString(Key(node, p));
  return true;
}

bool RWDiskBTree::ReplaceValue(const char* key, std::uint32_t new_value, std::uint32_t& old_value) {
  if (!Ready()) return false;
  RWReadScope scope(*manager_);
  std::uint32_t offset, p;
  std::uint8_t* node;
  if (!Locate(key, offset, node, p)) return false;
  old_value = Value(node, p);
  SetValue(node, p, new_value);
  return WriteNode(offset, node);
}

// ---------------------------------------------------------------------------
// Insertion

bool RWDiskBTree::Insert(const char* key, std::uint32_t value) {
  if (!Ready()) return false;
  RWReadScope scope(*manager_);
  NormalizeKey(key);
  const std::uint32_t root = header_[kRootWord];
  Outcome outcome = InsertInto(root, 0, value);
  if (outcome != Outcome::kDone && outcome != Outcome::kHandUp) return false;
  ++header_[kCountWord];
  if (outcome == Outcome::kHandUp) {
    std::uint8_t* node = spare_.data();
    NewNode(node);
    SetNodeCount(node, 1);
    std::memcpy(Key(node, 0), up_key_.data(), key_length_);
    SetValue(node, 0, up_value_);
    SetChild(node, 0, root);
    SetChild(node, 1, up_right_);
    std::uint32_t offset = AllocateNode();
    if (offset == kNoOffset || !WriteNode(offset, node)) return false;
    header_[kRootWord] = offset;
    if (!WriteHeader()) return false;
    std::memcpy(root_.data(), node, node_size_);
  }
  return true;
}

RWDiskBTree::Outcome RWDiskBTree::InsertInto(std::uint32_t offset, std::uint32_t depth,
                                             std::uint32_t value) {
  if (offset == kNoOffset) {
    up_key_ = key_;
    up_value_ = value;
    up_right_ = kNoOffset;
    return Outcome::kHandUp;
  }
  if (depth >= kMaxDepth) {
    Corrupt(offset);
    return Outcome::kFailed;
  }
  std::uint8_t* node = Level(depth);
  if (!ReadNode(offset, node)) return Outcome::kFailed;
  std::uint32_t p = Position(node, key_.data());
  if (p < NodeCount(node) && SameKey(key_.data(), Key(node, p))) return Outcome::kPresent;
  Outcome below = InsertInto(Child(node, p), depth + 1, value);
  if (below != Outcome::kHandUp) return below;
  if (NodeCount(node) < 2 * order_) {
    InsertEntry(node, p, up_key_.data(), up_value_, up_right_);
    return WriteNode(offset, node) ? Outcome::kDone : Outcome::kFailed;
  }
  return Split(offset, node, p) ? Outcome::kHandUp : Outcome::kFailed;
}

bool RWDiskBTree::Split(std::uint32_t offset, std::uint8_t* node, std::uint32_t p) {
  const std::uint32_t m = order_;
  std::uint8_t* right = spare_.data();
  NewNode(right);
  std::uint32_t swap_value = 0;
  if (p > m) {
    // Key m goes up; the new entry joins the right half.
    CopyKeys(right, 0, node, m + 1, m - 1);
    CopyChildren(right, 0, node, m + 1, m);
    SetNodeCount(right, m - 1);
    std::memcpy(swap_key_.data(), Key(node, m), key_length_);
    swap_value = Value(node, m);
    SetNodeCount(node, m);
    InsertEntry(right, p - m - 1, up_key_.data(), up_value_, up_right_);
    std::swap(up_key_, swap_key_);
    up_value_ = swap_value;
  } else if (p == m) {
    // The new entry itself goes up; its right child leads the right half.
    CopyKeys(right, 0, node, m, m);
    CopyChildren(right, 1, node, m + 1, m);
    SetChild(right, 0, up_right_);
    SetNodeCount(right, m);
    SetNodeCount(node, m);
  } else {
    // The new entry joins the left half, whose last key then goes up.
    CopyKeys(right, 0, node, m, m);
    CopyChildren(right, 0, node, m, m + 1);
    SetNodeCount(right, m);
    SetNodeCount(node, m);
    InsertEntry(node, p, up_key_.data(), up_value_, up_right_);
    std::memcpy(swap_key_.data(), Key(node, m), key_length_);
    swap_value = Value(node, m);
    SetNodeCount(node, m);
    std::swap(up_key_, swap_key_);
    up_value_ = swap_value;
  }
  std::uint32_t right_offset = AllocateNode();
  if (right_offset == kNoOffset) return false;
  if (!WriteNode(right_offset, right) || !WriteNode(offset, node)) return false;
  up_right_ = right_offset;
  return true;
}

// ---------------------------------------------------------------------------
// Removal

bool RWDiskBTree::Remove(const char* key, RWCString& removed_key, std::uint32_t& value) {
  value = kNoOffset;
  if (!Ready()) return false;
  RWReadScope scope(*manager_);
  NormalizeKey(key);
  Outcome outcome = RemoveFrom(header_[kRootWord], 0);
  if (outcome != Outcome::kDone && outcome != Outcome::kUnderflow) return false;
  removed_key = taken_key_;
  value = taken_value_;
  if (header_[kCountWord] > 0) --header_[kCountWord];
  if (outcome == Outcome::kUnderflow) {
    // The root is empty: its only child, or nothing, takes its place.
    std::uint32_t old_root = header_[kRootWord];
    header_[kRootWord] = Child(root_.data(), 0);
    manager_->Deallocate(old_root);
    if (!WriteHeader() || !LoadRoot()) return false;
  }
  return Ready();
}

RWDiskBTree::Outcome RWDiskBTree::Underflow(const std::uint8_t* node, std::uint32_t depth) const {
  std::uint32_t count = NodeCount(node);
  bool under = depth == 0 ? count == 0 : count < Fill();
  return under ? Outcome::kUnderflow : Outcome::kDone;
}

RWDiskBTree::Outcome RWDiskBTree::RemoveFrom(std::uint32_t offset, std::uint32_t depth) {
  if (offset == kNoOffset) return Outcome::kAbsent;
  if (depth >= kMaxDepth) {
    Corrupt(offset);
    return Outcome::kFailed;
  }
  std::uint8_t* node = Level(depth);
  if (!ReadNode(offset, node)) return Outcome::kFailed;
  std::uint32_t p = Position(node, key_.data());
  std::uint32_t child_index = p;
  if (p < NodeCount(node) && SameKey(key_.data(), Key(node, p))) {
    if (IsLeaf(node)) {
      taken_key_ = KeyString(Key(node, p));
      taken_value_ = Value(node, p);
      RemoveEntry(node, p);
      if (!WriteNode(offset, node)) return Outcome::kFailed;
      return Underflow(node, depth);
    }
    // Swap with the successor, the first entry of the leftmost leaf under
    // child p + 1, then remove it from there.
    std::uint8_t* leaf = spare_.data();
    std::uint32_t leaf_offset = Child(node, p + 1);
    for (std::uint32_t d = depth + 1;; ++d) {
      if (d >= kMaxDepth) {
        Corrupt(leaf_offset);
        return Outcome::kFailed;
      }
      if (!ReadNode(leaf_offset, leaf)) return Outcome::kFailed;
      if (IsLeaf(leaf)) break;
      leaf_offset = Child(leaf, 0);
    }
    if (NodeCount(leaf) == 0 || leaf_offset == offset) {
      Corrupt(leaf_offset);
      return Outcome::kFailed;
    }
    std::memcpy(swap_key_.data(), Key(node, p), key_length_);
    std::memcpy(Key(node, p), Key(leaf, 0), key_length_);
    std::memcpy(Key(leaf, 0), swap_key_.data(), key_length_);
    std::uint32_t v = Value(node, p);
    SetValue(node, p, Value(leaf, 0));
    SetValue(leaf, 0, v);
    if (!WriteNode(leaf_offset, leaf) || !WriteNode(offset, node)) return Outcome::kFailed;
    child_index = p + 1;
  } else if (IsLeaf(node)) {
    return Outcome::kAbsent;
  }
  Outcome below = RemoveFrom(Child(node, child_index), depth + 1);
  if (below != Outcome::kUnderflow) return below;
  if (!Repair(offset, node, child_index, depth)) return Outcome::kFailed;
  return Underflow(node, depth);
}

bool RWDiskBTree::Repair(std::uint32_t parent_offset, std::uint8_t* parent, std::uint32_t i,
                         std::uint32_t depth) {
  const std::uint32_t count = NodeCount(parent);
  const std::uint32_t fill = Fill();
  if (count == 0) return Corrupt(parent_offset);
  std::uint32_t child_offset = Child(parent, i);
  std::uint8_t* child = Level(depth + 1);
  if (!ReadNode(child_offset, child)) return false;
  if (NodeCount(child) >= fill) return Corrupt(child_offset);
  std::uint8_t* sibling = spare_.data();
  auto read_sibling = [&](std::uint32_t offset) {
    if (!ReadNode(offset, sibling)) return false;
    // Siblings are distinct nodes on one level.
    if (offset == child_offset || offset == parent_offset || IsLeaf(sibling) != IsLeaf(child)) {
      return Corrupt(offset);
    }
    return true;
  };

  if (i == 0) {
    std::uint32_t right = Child(parent, 1);
    if (!read_sibling(right)) return false;
    if (NodeCount(sibling) > fill) {
      return Borrow(parent_offset, parent, 0, child_offset, child, right, sibling, true);
    }
    return Merge(parent_offset, parent, 0, child_offset, child, right, sibling);
  }
  std::uint32_t left = Child(parent, i - 1);
  if (!read_sibling(left)) return false;
  if (NodeCount(sibling) > fill) {
    return Borrow(parent_offset, parent, i, child_offset, child, left, sibling, false);
  }
  if (i == count) return Merge(parent_offset, parent, i - 1, left, sibling, child_offset, child);
  std::uint32_t right = Child(parent, i + 1);
  if (!read_sibling(right)) return false;
  if (NodeCount(sibling) > fill) {
    return Borrow(parent_offset, parent, i, child_offset, child, right, sibling, true);
  }
  return Merge(parent_offset, parent, i, child_offset, child, right, sibling);
}

bool RWDiskBTree::Borrow(std::uint32_t parent_offset, std::uint8_t* parent, std::uint32_t i,
                         std::uint32_t child_offset, std::uint8_t* child,
                         std::uint32_t sibling_offset, std::uint8_t* sibling, bool from_right) {
  std::uint32_t n = NodeCount(child);
  if (from_right) {
    // The separator closes the child, the sibling's first entry replaces it.
    std::memcpy(Key(child, n), Key(parent, i), key_length_);
    SetValue(child, n, Value(parent, i));
    SetChild(child, n + 1, Child(sibling, 0));
    SetNodeCount(child, n + 1);
    std::memcpy(Key(parent, i), Key(sibling, 0), key_length_);
    SetValue(parent, i, Value(sibling, 0));
    RemoveFirst(sibling);
  } else {
    // The separator opens the child, the sibling's last entry replaces it.
    std::uint32_t last = NodeCount(sibling) - 1;
    CopyKeys(child, 1, child, 0, n);
    CopyChildren(child, 1, child, 0, n + 1);
    std::memcpy(Key(child, 0), Key(parent, i - 1), key_length_);
    SetValue(child, 0, Value(parent, i - 1));
    SetChild(child, 0, Child(sibling, last + 1));
    SetNodeCount(child, n + 1);
    std::memcpy(Key(parent, i - 1), Key(sibling, last), key_length_);
    SetValue(parent, i - 1, Value(sibling, last));
    SetNodeCount(sibling, last);
  }
  return WriteNode(child_offset, child) && WriteNode(sibling_offset, sibling) &&
         WriteNode(parent_offset, parent);
}

bool RWDiskBTree::Merge(std::uint32_t parent_offset, std::uint8_t* parent, std::uint32_t i,
                        std::uint32_t left_offset, std::uint8_t* left, std::uint32_t right_offset,
                        std::uint8_t* right) {
  std::uint32_t nl = NodeCount(left);
  std::uint32_t nr = NodeCount(right);
  if (nl + 1 + nr > 2 * order_) return Corrupt(right_offset);
  std::memcpy(Key(left, nl), Key(parent, i), key_length_);
  SetValue(left, nl, Value(parent, i));
  CopyKeys(left, nl + 1, right, 0, nr);
  CopyChildren(left, nl + 1, right, 0, nr + 1);
  SetNodeCount(left, nl + 1 + nr);
  RemoveEntry(parent, i);
  if (!WriteNode(left_offset, left) || !WriteNode(parent_offset, parent)) return false;
  manager_->Deallocate(right_offset);
  return !manager_->Error();
}

// ---------------------------------------------------------------------------
// Whole-tree walks

bool RWDiskBTree::Walk(std::uint32_t offset, std::uint32_t depth, WalkState& state) {
  // A node met twice means a loop or a shared node: entries would repeat
  // and a clearing would give a block back twice.
  if (depth >= kMaxDepth || !state.visited.insert(offset).second) return Corrupt(offset);
  std::vector<std::uint8_t>& buffer = state.buffers[depth];
  if (buffer.empty()) buffer.assign(node_size_, 0);
  std::uint8_t* node = buffer.data();
  if (!ReadNode(offset, node)) return false;
  const bool leaf = IsLeaf(node);
  const std::uint32_t count = NodeCount(node);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!leaf && !Walk(Child(node, i), depth + 1, state)) return false;
    if (state.apply) state.apply(Key(node, i), Value(node, i), state.datum);
    ++state.entries;
  }
  if (!leaf && !Walk(Child(node, count), depth + 1, state)) return false;
  if (state.offsets) state.offsets->push_back(offset);
  return true;
}

void RWDiskBTree::Clear() {
  if (!Ready()) return;
  RWReadScope scope(*manager_);
  std::vector<std::uint32_t> offsets;
  if (header_[kRootWord] != kNoOffset) {
    WalkState state(kMaxDepth);
    state.offsets = &offsets;
    if (!Walk(header_[kRootWord], 0, state)) return;
  }
  for (std::uint32_t offset : offsets) {
    manager_->Deallocate(offset);
    if (manager_->Error()) return;
  }
  header_[kRootWord] = kNoOffset;
  header_[kWord1] = kNoOffset;
  header_[kCountWord] = 0;
  if (old_form_) header_[kVersionWord] = 0;
  WriteHeader();
  NewNode(root_.data());
}

void RWDiskBTree::ForEach(RWDiskTreeApply apply, void* datum) {
  if (!Ready() || header_[kRootWord] == kNoOffset) return;
  RWReadScope scope(*manager_);
  WalkState state(kMaxDepth);
  state.apply = apply;
  state.datum = datum;
  Walk(header_[kRootWord], 0, state);
}

std::uint32_t RWDiskBTree::Count() {
  if (!usable_) return 0;
  if (old_form_ && header_[kVersionWord] == kNoOffset && Ready()) {
    // The old form stores no count: the first call counts.
    RWReadScope scope(*manager_);
    WalkState state(kMaxDepth);
    if (header_[kRootWord] != kNoOffset && !Walk(header_[kRootWord], 0, state)) return 0;
    header_[kCountWord] = state.entries;
    header_[kVersionWord] = 0;
  }
  return header_[kCountWord];
}

std::uint32_t RWDiskBTree::Height() {
  if (!Ready()) return 0;
  RWReadScope scope(*manager_);
  std::uint32_t height = 0;
  std::uint8_t* node = spare_.data();
  for (std::uint32_t offset = header_[kRootWord]; offset != kNoOffset; offset = Child(node, 0)) {
    if (height >= kMaxDepth) {
      Corrupt(offset);
      return 0;
    }
    if (!ReadNode(offset, node)) return 0;
    ++height;
  }
  return height;
}

RWDiskTreeCompare RWDiskBTree::SetCompareFunction(RWDiskTreeCompare compare) {
  RWDiskTreeCompare previous = compare_;
  if (!compare) compare = binary_keys_ ? &BinaryCompare : &TextCompare;
  compare_ = compare;
  return previous;
}

std::uint32_t RWDiskBTree::SetCacheSize(std::uint32_t nodes) {
  std::uint32_t previous = cache_size_;
  if (nodes != previous) {
    cache_size_ = nodes;
    if (cache_) {
      cache_.reset();
      cache_ = std::make_unique<RWDiskNodeCache>(manager_, node_size_, cache_size_);
    }
  }
  return previous;
}
