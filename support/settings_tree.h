// Settings trees for the tests and benchmarks of the flat settings record:
// a tree with every node type of a settings tree, the top-level lists, and
// encoding and decoding through memory streams in the binary encoding, as
// the device mode and the named objects use them.
//
// Ownership: every builder's answer is the caller's. Threads: any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "flat_settings/flat_settings_codec.h"

class FakeDriverData;
class GDeviceFontListComposite;
class GResourceMappingList;
class MAssociationList;

namespace support {

// `groups` groups under a composite keyed `key`, each about 28 attributes:
// a composite or a state (alternately) holding values of every form (0,
// 20, 21, -1, 600), a range, strings (one empty), a display string, the
// three tintvector kinds, a custom size, a form-to-tray database of three
// associations, an enumeration of three choices and a nested composite.
// Keys are unique in the tree and below 65,536, from 2000 + 100 * group.
GAttributeComposite* BuildSettingsTree(std::uint32_t key, int groups);

// An association list with values of each kind (string, number, selection
// string, an object: a range), keys 0, key objects 1 to 4.
MAssociationList* BuildAssociationList(std::uint32_t key);
// A resource-mapping list of `count` mappings, keys 0.
GResourceMappingList* BuildMappingList(std::uint32_t key, int count);
// The font-list composite (key 414) of `count` lists keyed 416 on, each of
// two font descriptions and a short-id name list.
GDeviceFontListComposite* BuildFontLists(int count);

// Makes `tree` (held from now on) the only child of `printer`'s job
// settings, so that the template expects exactly it.
void UseAsDefaults(FakeDriverData& printer, GAttributeComposite* tree);

// What Encode wrote into a memory block of `capacity` bytes.
struct Encoded {
  int result = 0;
  bool stream_good = false;
  std::string bytes;  // the marker included
};
Encoded EncodeFlat(MPersistentObject* tree, std::uint16_t mode, std::size_t capacity = 1 << 20);

// Decodes `bytes` (the marker included) with `codec`.
MPersistentObject* DecodeFlat(GFlatSettingsCodec& codec, const std::string& bytes,
                              GDriverData* driver_data, std::uint16_t mode);

}  // namespace support
