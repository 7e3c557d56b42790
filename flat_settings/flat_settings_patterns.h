// GFlatPatternIndex: the index of the flat settings record's template
// (flat_settings_codec.h), and the two helpers that the template's unit
// (flat_settings_patterns.cpp) shares with the reader
// (flat_settings_reader.cpp). The writer (flat_settings_writer.cpp) needs
// none of it. Internal to the flat_settings library.
//
// Ownership: the index points into the codec's template, which the codec
// owns and keeps unchanged while it keeps the index. Threads: as the codec.
#pragma once

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/rw/defs.h"
#include "persist/persistent_object.h"

// What every decode asks of the template, worked out once when it is built:
// for each pattern node, FindByKey's answer for every key below it, and its
// children by key. The template does not change while the codec keeps it.
class GFlatPatternIndex {
 public:
  static constexpr std::uint32_t kNoSlot = ~std::uint32_t{0};

  // A key of a node's children: the TypeId of its last child, and whether it
  // is one that a device mode's series node (kBuiltSettingsKey) takes from the
  // pattern (kSeriesPrinterWideKeys).
  struct Expected {
    std::uint32_t key = 0;
    RWClassID type_id = 0;
    bool printer_wide = false;
  };
  struct Node;
  // A node of the template and its entry (null for a node no decode
  // reaches as a pattern: below one whose FindByKey does not walk its
  // children).
  struct Found {
    MPersistentObject* object = nullptr;
    const Node* node = nullptr;
  };
  struct Node {
    // Whether the node's FindByKey walks its children depth first; only
    // then does `below` hold its answers (first match per key).
    bool walks = false;
    std::unordered_map<std::uint32_t, Found> below;
    std::vector<Expected> expected;  // by key
    // The children in order, each with its slot in `expected`; and those
    // a decode fills in when the record lacks them (no placeholder).
    std::vector<std::pair<MPersistentObject*, std::uint32_t>> children;
    std::vector<std::pair<MPersistentObject*, std::uint32_t>> fills;
    // The children's keys and slots in order: a record written from a tree
    // like the template's brings its children in this order.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> order;

    // The slot of `key` in `expected`, or kNoSlot.
    std::uint32_t SlotOf(std::uint32_t key) const {
      auto it = std::ranges::lower_bound(expected, key, {}, &Expected::key);
      return it != expected.end() && it->key == key
                 ? static_cast<std::uint32_t>(it - expected.begin())
                 : kNoSlot;
    }
  };

  explicit GFlatPatternIndex(MPersistentObject& root) : root_{&root, &Add(root)} {}

  const Found& Root() const { return root_; }

  // What `parent.object->FindByKey(key)` answers.
  Found FindByKey(const Found& parent, std::uint32_t key) const {
    if (parent.node && parent.node->walks) {
      auto it = parent.node->below.find(key);
      return it == parent.node->below.end() ? Found{} : it->second;
    }
    MPersistentObject* object = parent.object->FindByKey(key);
    if (!object) return Found{};
    auto it = nodes_.find(object);
    return Found{object, it == nodes_.end() ? nullptr : &it->second};
  }

  // Fills in `node` for `object`, all but `below`.
  static void Describe(MPersistentObject& object, Node& node);

 private:
  const Node& Add(MPersistentObject& object);

  std::unordered_map<const MPersistentObject*, Node> nodes_;
  Found root_;
};

namespace flat_settings_detail {

// Destroys an object that nothing holds (a rejected child, a partial read).
inline void Discard(MPersistentObject* object) {
  DestroyIfUnheld(object);
}

// A deep copy of a pattern child without the placeholders below it, so
// that a record lacking kWatermarkListKey or
// kCustomSizesKey gains no phantom watermark or size.
MPersistentObject* CopyOfPattern(MPersistentObject& child);

}  // namespace flat_settings_detail
