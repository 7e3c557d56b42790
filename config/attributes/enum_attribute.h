// GEnumAttribute: a setting whose value is one choice out of a list. It is
// an attribute composite whose children are the possible choices, all of
// one class, and it points at the current choice. On a device it is
// executed as a whole, once: GPeripheral::SetEnumAttribute receives the
// enumeration, which then clears its own state word; the choices are not
// executed one by one.
//
// Rules of AddChild (on top of the composite's handing over):
//   - the first choice fixes the class id of every choice (kept by
//     RemoveAll); an object of another class, or one that is not an
//     attribute, is refused;
//   - an object that FindEqual finds (the object itself, or a leaf equal to
//     it in content) is refused;
//   - the first choice taken becomes the current one.
// The current choice is not counted: it is always null or one of the
// enumeration's descendants. Removing it makes the first remaining child
// the current choice (none when no child remains); a replacement that lets
// go of it makes the child now at its place the current choice; RemoveAll
// leaves none; a restore accepts only a stored choice that is one of the
// restored descendants, and a deep copy keeps the position of a current
// choice that is a direct child.
//
// Class id 764, registered as "GEnumAttribute"; kind test 764, 757, 753,
// 751; TypeId 764. Assign does nothing.
//
// Stored form, after the composite part (attribute_composite.h):
//   version          u32  kEnumAttributeVersion
//   choice           object reference: a back reference to one of the
//                    choices written before it, the nil object for none
//   choice class id  u16
// A restore of another version keeps the current choice (when the
// composite part kept the children) and the class id; a choice that is not
// one of the descendants fails the restore, leaves no current choice, and
// is refused (freed unless the graph holds it elsewhere).
//
// Ownership and threads: as GAttributeComposite.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute_composite.h"

inline constexpr RWClassID kGEnumAttributeId = 764;
inline constexpr std::uint32_t kEnumAttributeVersion = 1;

class GEnumAttribute : public GAttributeComposite {
 public:
  // No choices, no current choice, choice class id 0.
  GEnumAttribute() = default;
  explicit GEnumAttribute(const std::uint32_t& key) : GAttributeComposite(key) {}
  // Shares the choices as the composite copy does, with the same current
  // choice and choice class id.
  GEnumAttribute(const GEnumAttribute& other) = default;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The composite part, 4, the choice's reference, and 2.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 764, 757, 753 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // The same object; or the same class id, equal as composites, both
  // current choices absent or both present and equal in content, and equal
  // choice class ids.
  bool IsEqualContent(const MPersistentObject* other) const override;
  // See the rules above.
  void AddChild(MPersistentObject* object) override;
  MPersistentObject* RemoveChild(const MPersistentObject* object) override;
  // RemoveChild of what FindByKey / FindByClassId finds.
  MPersistentObject* RemoveByKey(const std::uint32_t& key) override;
  MPersistentObject* RemoveByClassId(const RWClassID& id) override;
  bool ReplaceByKey(const std::uint32_t& key, MPersistentObject* object) override;
  bool ReplaceByClassId(const RWClassID& id, MPersistentObject* object) override;
  bool ReplaceObject(const MPersistentObject* match, MPersistentObject* object) override;
  bool ReplaceKindOf(const RWClassID& id, MPersistentObject* object) override;
  // The composite's, then no current choice.
  void RemoveAll() override;
  // An iterator whose ReplaceCurrent keeps the current choice valid.
  MChildIterator* NewChildIterator() override;
  // The composite's, for this class.
  MKeyFind KeyFind() override {
    return InheritedKeyFind<GEnumAttribute, GAttributeComposite>(*this);
  }
  // The copy with the current choice at the same position.
  MPersistentObject* DeepCopy() override;
  // Nothing.
  void Assign(const GAttribute& other) override;
  // GPeripheral::SetEnumAttribute with this enumeration, then state 0;
  // answers the device's result.
  std::uint16_t Execute(GAttributeHandlers& device) override;

  // Makes the descendant that FindEqual finds the current choice and
  // answers it; null (the choice unchanged) when there is none.
  GAttribute* Select(const GAttribute& attribute);
  // The child after / before the current choice becomes the current one;
  // nothing when the choice is the last / first child, is no direct child,
  // or there is none.
  void SelectNext();
  void SelectPrevious();
  GAttribute* GetChoice() const { return choice_; }
  RWClassID GetChoiceClassId() const { return choice_class_id_; }

 private:
  friend class GEnumChildIterator;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  template <class Replace>
  bool KeepChoiceAcross(Replace replace);
  // The direct index of the current choice, or RW_NPOS.
  RWSize ChoiceIndex() const;
  // After children were let go of: when the choice is no longer a
  // descendant, the child at `index` (else the first) becomes the choice.
  void RepairChoice(RWSize index);

  GAttribute* choice_ = nullptr;  // a descendant, not counted
  RWClassID choice_class_id_ = 0;
};

// The enumeration's child iterator: a replacement through it keeps the
// current choice valid, as the enumeration's own replacements do. Filtering
// walks over an enumeration's choices derive from it.
class GEnumChildIterator : public GAttributeChildIterator {
 public:
  // REQUIRES: `owner` and `children` (the owner's) outlive the iterator.
  GEnumChildIterator(GEnumAttribute* owner, GCountedPtrVector& children)
      : GAttributeChildIterator(owner, children), enumeration_(owner) {}

  void ReplaceCurrent(MPersistentObject* object) override;

 private:
  GEnumAttribute* enumeration_;  // the owner
};

// The enumeration file's classes, in registration order.
std::span<const RWClassRegistration> EnumAttributeClasses();
