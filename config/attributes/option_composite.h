// The option lists of the printer's description: for one owner, named by a
// 16-bit id, the ordered 16-bit option codes allowed for it.
//   GOptMediaComposite  796  the media codes one optional tray accepts; the
//                             owner is the tray's id. The lists are the
//                             children of kMediaOptionListsKey.
//   GBookletComposite   794  the booklet option codes of one booklet
//                             selection; the owner is the selection value.
//                             The lists are the children of
//                             kBookletOptionListsKey.
// Each also keeps a second 16-bit id, `auxiliaryId`, given at construction:
// stored and copied, compared by nobody.
//
// Both are attributes (attribute.h) without children: NewChildIterator
// answers the empty iterator; Execute calls no device operation and
// answers 1. Kind tests: the own id, 753 and 751. Content equality: the
// same class id and key, the same owner id and the same codes in the same
// order (auxiliaryId is not compared).
//
// A list holds at most kMaxOptionCodes codes, so that its count fits the
// signed 16-bit GetCount and whatever is saved can be read back.
//
// Stored form, after the GAttribute part:
//   version      u32  kOptionCompositeVersion
//   owner id     u16
//   auxiliaryId  u16
//   count        u32
//   codes        count u16 items, in order
// Both ids are read before the version is judged: a version above 2 keeps
// the codes the object had. Otherwise the codes are cleared and read one
// by one; a count above kMaxOptionCodes fails the restore, and a failed
// item stops it, keeping the codes read before. Nothing is allocated from
// the stored count. Stored size: the attribute part, 12 and 2 per code.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/value_vector.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGOptMediaCompositeId = 796;
inline constexpr RWClassID kGBookletCompositeId = 794;
inline constexpr std::uint32_t kOptionCompositeVersion = 2;
inline constexpr RWSize kMaxOptionCodes = 32767;

// What the two lists share, given the class's id.
template <class Self, RWClassID kId>
class GOptionComposite : public MPersistentClass<Self, GAttribute, kId> {
  using Class = MPersistentClass<Self, GAttribute, kId>;

 public:
  // Key 0, both ids 0, no codes.
  GOptionComposite() = default;
  GOptionComposite(std::uint16_t owner_id, std::uint16_t auxiliary_id)
      : owner_id_(owner_id), auxiliary_id_(auxiliary_id) {}
  // Persistable part (nobody holds the copy), state, both ids and codes.
  GOptionComposite(const GOptionComposite& other) = default;

  std::uint16_t GetAuxiliaryId() const { return auxiliary_id_; }
  // The number of codes.
  std::int16_t GetCount() const { return static_cast<std::int16_t>(codes_.Count()); }
  // The code at `index` (0 is the first); -1 when the index, seen as
  // unsigned, is not below the count.
  virtual std::int16_t GetCodeAt(std::int32_t index) const;

  // The attribute part, 12 and 2 per code.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // No device operation: answers 1.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 protected:
  std::uint16_t OwnerId() const { return owner_id_; }
  // Appends `code`; nothing once the list holds kMaxOptionCodes codes.
  void Append(std::uint16_t code);

 private:
  friend Class;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint16_t owner_id_ = 0;
  std::uint16_t auxiliary_id_ = 0;
  RWShortVector codes_{0};  // allocated on the first code
};

class GOptMediaComposite final
    : public GOptionComposite<GOptMediaComposite, kGOptMediaCompositeId> {
 public:
  using GOptionComposite::GOptionComposite;

  std::uint16_t GetTrayId() const { return OwnerId(); }
  // Appends one code at the end.
  void AddCode(std::uint16_t code) { Append(code); }
};

class GBookletComposite final : public GOptionComposite<GBookletComposite, kGBookletCompositeId> {
 public:
  using GOptionComposite::GOptionComposite;

  std::uint16_t GetSelectorId() const { return OwnerId(); }
  // Appends `first`, then `second`, at the end.
  void AddCodePair(std::uint16_t first, std::uint16_t second) {
    Append(first);
    Append(second);
  }
};

extern template class MPersistentClass<GOptMediaComposite, GAttribute, kGOptMediaCompositeId>;
extern template class MPersistentClass<GBookletComposite, GAttribute, kGBookletCompositeId>;
extern template class GOptionComposite<GOptMediaComposite, kGOptMediaCompositeId>;
extern template class GOptionComposite<GBookletComposite, kGBookletCompositeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> OptionCompositeClasses();
