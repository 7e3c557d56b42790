// RWCollectable: the root of every object that lives in a library collection
// or is saved and restored as part of an object graph.
//
// The virtual operations are declared in their fixed order (create, copy,
// class id, destroy, stored size, compare, hash, equality, restore and save
// on streams and files). A persistable class overrides the first four and,
// as needed, the others; the save and restore operations carry only the
// object's own fields, never the graph tokens around them (rwstore.h writes
// those). Objects are handled through raw pointers: collections never own
// their members except in ClearAndDelete and RemoveAndDelete.
//
// Thread-safety: objects are not synchronised; the nil object is immutable.
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"
#include "foundation/rw/defs.h"

class RWFile;
class RWVirtualInputStream;
class RWVirtualOutputStream;

// The class-name string of a persistable class.
using RWStringID = RWCString;

// Class ids with a meaning of their own.
inline constexpr RWClassID kRWCollectableId = 0x8007;
inline constexpr RWClassID kRWNoClassId = 0x8000;  // "no class" of a name lookup
inline constexpr RWClassID kRWFirstUserClassId = 0x9000;
inline constexpr RWClassID kRWLastUserClassId = 0xF000;

class RWCollectable {
 public:
  RWCollectable() = default;

  // A new object of the same class, default-constructed / copied; the caller
  // owns it.
  virtual RWCollectable* CreateDefault() const;
  virtual RWCollectable* CreateCopy() const;
  virtual RWClassID ClassId() const;
  virtual ~RWCollectable();
  // Bytes the object's own data takes in an RWFile.
  virtual RWSize StoredSize() const;
  // Three-way order; the base orders by address.
  virtual int CompareTo(const RWCollectable* other) const;
  virtual std::uint32_t Hash() const;
  virtual bool IsEqual(const RWCollectable* other) const;
  virtual void RestoreFromStream(RWVirtualInputStream& stream);
  virtual void RestoreFromFile(RWFile& file);
  virtual void SaveToStream(RWVirtualOutputStream& stream) const;
  virtual void SaveToFile(RWFile& file) const;

  // Object-graph persistence (rwstore.cpp): the object's token and data.
  // GraphStoreSize answers the bytes SaveGraphToFile takes.
  RWSize GraphStoreSize() const;
  void SaveGraphToStream(RWVirtualOutputStream& stream) const;
  void SaveGraphToFile(RWFile& file) const;

 protected:
  RWCollectable(const RWCollectable&) = default;
  RWCollectable& operator=(const RWCollectable&) = default;
};

// The hash of an address as the library computes it: p xor (p >> 3), 32-bit.
inline std::uint32_t RWAddressHash(const void* p) {
  auto a = reinterpret_cast<std::uintptr_t>(p);
  return static_cast<std::uint32_t>(a ^ (a >> 3));
}

// The one nil object; graph writers store it in place of a null pointer.
RWCollectable* RWNilCollectable();

// The equality callback handed to collections: a->IsEqual(b).
bool CollectableIsEqual(const RWCollectable* a, const void* b);
