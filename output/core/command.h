// GCommand: the base of the persistable commands that a job submits through
// the device chain (document and page starts and ends, graphics, the
// on-disk command list). A command carries an attribute set, the settings
// it applies (normally a GState, state.h), shared through a counted
// reference, and a 32-bit command word. A device executes a command by
// double dispatch: the command's Execute calls the device's handler for its
// kind.
//
// Class id 601 names the kind; the class is abstract and not registered.
// Kind test 601 and 751; each derived command adds its own id.
//
// Stored part, after the base part of MPersistentObject (which carries the
// key) and before the derived class's own version word and fields (RWFile
// items little-endian; a virtual stream carries the same items in the same
// order):
//   attributes  object reference: the attribute set, the nil object for none
//   version     u32  kCommandVersion
// The command word is working state and is not stored. A restore lets go of
// the old set and holds the one it reads; what it reads must be an
// attribute composite (or nil): anything else, or a back reference to an
// object still being restored (a cycle), fails the restore, leaves the
// command without a set, and is refused (freed unless the graph holds it
// elsewhere). The
// version word's value is read past: nothing of this level follows it.
//
// Ownership: the command holds its attribute set; copies share it. Threads:
// one command is used by one thread at a time.
#pragma once

#include <cstdint>

#include "config/attributes/attribute_composite.h"
#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"

class GPeripheral;

inline constexpr RWClassID kGCommandId = 601;
inline constexpr std::uint32_t kCommandVersion = 1;

class GCommand : public MPersistentObject {
 public:
  // No attribute set; command word 0.
  explicit GCommand(const std::uint32_t& key = 0);
  // Holds `attributes` (none when null).
  GCommand(GAttributeComposite* attributes, const std::uint32_t& key);
  // Key and serial number copied; shares the attribute set; command word
  // copied.
  GCommand(const GCommand& other);
  GCommand& operator=(const GCommand&) = delete;
  // Lets go of the attribute set.
  ~GCommand() override;

  // The base part, the set's reference and 4.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 601 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // The same object; or the same class id and key, and attribute sets both
  // absent, or the same, or equal in content.
  bool IsEqualContent(const MPersistentObject* other) const override;

  // Called before the command is appended to a new command composite;
  // nothing for a plain command.
  virtual void PrepareForComposite();
  // Lets go of the current set and holds `attributes` (none when null).
  virtual void AttachAttributes(GAttributeComposite* attributes);
  // Takes the set off the command: the command's hold passes to the answer
  // (empty when there is no set).
  virtual GCountedPtr DetachAttributes();
  // Makes a command that borrows its caller's storage own it, before the
  // command is kept beyond the call; nothing here.
  virtual void MakeSelfContained();
  // Calls the device's handler for the command's kind and answers its
  // result.
  virtual std::uint16_t Execute(GPeripheral& device) = 0;

  // The attached set, left attached (no reference change); null when none.
  GAttributeComposite* GetAttributes() const;
  // Replaces the set with `attributes` when it is a GState, first giving it
  // the key of the command's kind when the kind has one (ForcedSetKey);
  // anything else is refused as an attribute composite refuses a child
  // (destroyed when nobody holds it) and the set stays.
  void SetAttributes(GAttributeComposite* attributes);

  std::uint32_t CommandWord() const { return command_word_; }
  void SetCommandWord(std::uint32_t word) { command_word_ = word; }

 protected:
  // The key that SetAttributes gives a set: true with `key` set for the
  // kinds whose sets carry a fixed key (the document and page commands);
  // false here.
  virtual bool ForcedSetKey(std::uint32_t& key) const;

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GCountedPtr attributes_;          // a GAttributeComposite, or empty
  std::uint32_t command_word_ = 0;  // working state, not stored
};
