// Output destinations (printer ports, files, network paths) are opened by
// name through port handlers. GPortHandler is the abstract base of a
// handler; GPortHandlerRegistry is the process-wide registry that keeps
// handlers under names and asks them, in order of registration, to open a
// destination.
//
// Handler flags: each handler reports a 32-bit value. Any of the low 16 bits
// puts it in the registry's first list, whose handlers open through Open;
// any bit from 0x10000 up puts it in the second list, whose handlers open
// through OpenEx; a handler with both stands in both lists.
//
// What a handler opens is the caller's: an opaque object whose kind the
// caller knows from the flags it asked with (an output port, a device-value
// reader), answered as void* and deleted by the caller as that kind.
//
// GPortHandler: kind id 952, not registered with the factory (only derived
// classes are made). Stored form, after the base part of MPersistentObject:
//   version  u32  kPortHandlerVersion
// A restore reads the version word and nothing else.
//
// Ownership: the registry owns its entries and their names, never the
// handlers; whoever registers a handler unregisters it before deleting it.
// Threads: the registry takes no lock. Handlers are registered and
// unregistered while the library loads and unloads; lookups may come from
// any thread, but not while a registration changes the lists.
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"
#include "foundation/rw/slist.h"
#include "foundation/rw/wstring.h"
#include "persist/persistent_object.h"

inline constexpr RWClassID kGPortHandlerId = 952;
inline constexpr std::uint32_t kPortHandlerVersion = 1;

// Flags of the first list, and the first flag of the second.
inline constexpr std::uint32_t kPortFlagsOpenMask = 0xFFFF;
inline constexpr std::uint32_t kPortFlagsOpenExFirst = 0x10000;

// Kinds of port names (GPortHandlerRegistry::ClassifyPortName).
inline constexpr std::int32_t kPortNameOther = 0;
inline constexpr std::int32_t kPortNameWithColon = 1;
inline constexpr std::int32_t kPortNameFile = 2;
inline constexpr std::int32_t kPortNameParallel = 3;
inline constexpr std::int32_t kPortNameSerial = 4;
inline constexpr std::int32_t kPortNameNetwork = 5;

class GPortHandler : public MPersistentObject {
 public:
  GPortHandler() = default;
  explicit GPortHandler(const std::uint32_t& key) : MPersistentObject(key) {}
  GPortHandler(const GPortHandler& other) = default;
  GPortHandler& operator=(const GPortHandler& other) = default;

  // The base part and 4.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 952 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // False for every pair: a port handler never equals another in content.
  bool IsEqualContent(const MPersistentObject* other) const override;

  // The virtual operations below are in slot order.
  // Open `destination` for the second list's protocol (OpenEx) or
  // the first's (Open); `name` is the name the handler is registered under.
  // The answer is the caller's; null (the base's answer) when not opened.
  virtual void* OpenEx(const RWWString& destination, const RWCString& name, std::uint32_t flags,
                       void* extra);
  virtual void* Open(const RWWString& destination, const RWCString& name, std::uint32_t flags,
                     void* extra);
  // The handler's flags.
  virtual std::uint32_t Flags() const = 0;
  // Whether every bit of `flags` is among the handler's flags.
  virtual bool HasFlags(std::uint32_t flags) const;

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
};

class GPortHandlerRegistry {
 public:
  // The process-wide registry.
  static GPortHandlerRegistry& Instance();

  GPortHandlerRegistry() = default;
  GPortHandlerRegistry(const GPortHandlerRegistry&) = delete;
  GPortHandlerRegistry& operator=(const GPortHandlerRegistry&) = delete;
  // Frees the entries and their names (not the handlers).
  ~GPortHandlerRegistry();

  // 1, changing nothing, when `name` is already in either list (exact
  // comparison) or `handler` is null. Otherwise appends {name, handler} to
  // the first list when the handler's flags have any of the low 16 bits,
  // and to the second when they are 0x10000 or more; answers 0.
  std::int32_t Register(GPortHandler* handler, const RWCString& name);
  // Removes the entries named `name` from both lists; answers 0.
  std::int32_t Unregister(const RWCString& name);

  // Asks each handler of the first list, in order, whose HasFlags accepts
  // `flags`, to Open `destination`; the first non-null answer, else null.
  void* OpenPort(const RWWString& destination, void* extra, std::uint32_t flags);
  // The same over the second list with OpenEx.
  void* OpenPortEx(const RWWString& destination, void* extra, std::uint32_t flags);
  // The handlers whose HasFlags accepts `flags`: of the first list when the
  // flags have low 16 bits, plus those of the second when they are 0x10000
  // or more.
  std::uint32_t CountHandlers(std::uint32_t flags) const;
  // The handler registered under `name` in the first list, else in the
  // second, else null.
  GPortHandler* Find(const RWCString& name) const;

  // The kind of a port name, tested in this order on its 8-bit form
  // (WideToNarrow): kPortNameNetwork when it begins with two backslashes;
  // kPortNameParallel for "lpt" (any case) and one digit, with or without a
  // trailing ":"; kPortNameSerial the same for "com"; kPortNameFile for
  // "file:" in any case; kPortNameWithColon for any other name ending in
  // ":"; else kPortNameOther.
  static std::int32_t ClassifyPortName(const RWWString& name);

 private:
  struct Entry : RWSlink {
    RWCString name;
    GPortHandler* handler;  // not owned
  };

  static Entry* FindIn(const RWSinglyLinkedList& list, const RWCString& name);
  static void RemoveFrom(RWSinglyLinkedList& list, const RWCString& name);
  static void Append(RWSinglyLinkedList& list, GPortHandler* handler, const RWCString& name);
  static std::uint32_t CountIn(const RWSinglyLinkedList& list, std::uint32_t flags);
  template <class OpenCall>
  static void* OpenThrough(const RWSinglyLinkedList& list, std::uint32_t flags, OpenCall open);

  RWSinglyLinkedList open_list_;     // handlers that open through Open
  RWSinglyLinkedList open_ex_list_;  // handlers that open through OpenEx
};
