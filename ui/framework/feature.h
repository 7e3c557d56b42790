// The model side of the settings user interface:
//   GFeature           what a group of controls shows: its state (0 shown
//                      and enabled, 1 shown and disabled, 2 hidden) and the
//                      sheet's access flags, over the owner GUIContext;
//   GAttributeFeature  a feature over one 16-bit settings attribute;
//   GListFeature       a change listener (a constraint rule), owned by the
//                      GUIContext, which calls Initialize in the first pass
//                      of each dispatch and OnChanges in every pass.
//
// The user-interface objects (ids from 0x40000000, in the settings' kUIObjectsKey)
// carry the rules' flags and messages; a feature turns a flag into its
// state with GetUIState: the flag's value clamped to 0-2 (0 when missing),
// the larger of two flags.
//
// Ownership: a feature belongs to the wrapper it is given to (or to
// whoever made it); a listener to the context it is added to. Both keep a
// plain pointer to the context, which outlives them. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "ui/framework/value_list.h"

class GUIContext;

class GFeature {
 public:
  explicit GFeature(GUIContext* owner) : owner_(owner) {}
  GFeature(const GFeature&) = delete;
  GFeature& operator=(const GFeature&) = delete;
  // The virtual operations follow in slot order, the destructor first.
  virtual ~GFeature();

  // The feature's state (see above); 0 here.
  virtual int GetState();
  // The context's access flags (bits 0-1 of the host's word).
  virtual std::uint32_t GetAccessFlags();
  // Whether the feature is supported; 1 here.
  virtual int IsSupported();

  GUIContext* GetContext() const { return owner_; }
  // The 16-bit value (sign-extended) of the settings attribute `id`, found
  // depth first through the settings (user-interface objects included); 0
  // when missing or not a value.
  std::int32_t GetAttributeValue(std::uint32_t id) const;
  // The state that the flag `id` asks for (see the file comment).
  int GetUIState(std::uint32_t id) const;
  int GetUIState(std::uint32_t first, std::uint32_t second) const;

 private:
  GUIContext* owner_;
};

class GAttributeFeature : public GFeature {
 public:
  // REQUIRES: `id` is not null.
  GAttributeFeature(GUIContext* owner, const std::uint32_t* id) : GFeature(owner), id_(*id) {}

  // 0 here.
  int GetState() override;
  // Writes the value through the writable settings view.
  virtual void SetValue(std::int32_t value);
  // Whether the attribute changed in the current update.
  virtual bool WasChanged();
  // The 16-bit value sign-extended, 0 when missing.
  virtual std::int32_t GetValue();

  std::uint32_t GetAttributeId() const { return id_; }

 private:
  std::uint32_t id_;
};

class GListFeature {
 public:
  explicit GListFeature(GUIContext* owner) : owner_(owner) {}
  GListFeature(const GListFeature&) = delete;
  GListFeature& operator=(const GListFeature&) = delete;
  // The context deletes its listeners through this base: virtual.
  virtual ~GListFeature();

  // The virtual operations in slot order. Runs in the first pass of each
  // dispatch; nothing here.
  virtual void Initialize();
  // The ids changed in the previous pass (or since the last dispatch)
  // and the force flag.
  virtual void OnChanges(const GValueList& changed, int force) = 0;
  // Reserved; 0 here.
  virtual int Reserved();
  // Sets the user-interface object `id` to `value` when it is lower (or
  // creates it with `value` when missing).
  virtual void RaiseUIValue(std::uint32_t id, std::int32_t value);
  // Sets the user-interface object `id` to 0 (creating it when missing).
  virtual void ResetUIValue(std::uint32_t id);
  // Whether the settings' lock list (kLockListKey) holds a value child equal to
  // `*id`.
  virtual bool IsLocked(const std::uint32_t* id);

  GUIContext* GetContext() const { return owner_; }

 private:
  GUIContext* owner_;
};
