// The graphics made of graphics: GPathGraphic, a path whose elements (its
// graphics, in order) together give one outline, and GGraphicComposite,
// several graphics drawn as one. Each carries its own graphic state, the
// bundle under kGraphicBundleKey (graphic.h), as every graphic does.
//
// What they are is taken from their names and neighbours: both are
// registered among the graphics (603, 607), and the colour-adjustment
// filter gives both a graphics halftone and colour map, as it gives a
// rectangle: so each reaches a device's Transform whole, with its own
// state, and is executed there as one graphic through a handler of its
// kind. The generator base keeps a path depth that is raised while it
// executes the elements of a path (printer_language.h): so a path hands
// itself to the device's DrawPath, which executes the elements. The
// elements are any graphics (a path in a path deepens the depth).
//
// The elements are the graphic's children in the model's child protocol
// (GChildHolder, output/core/child_holder.h: finds, removals, iteration,
// deep copy), over graphics (kind 602) only. They are no composite to the
// device chain: AsComposite answers null, so Submit does not take them
// apart (which would lose the graphic's own state) and the record store
// keeps them whole.
//
//   class              id   Execute calls
//   GPathGraphic       603  device.DrawPath
//   GGraphicComposite  607  device.DrawGraphicComposite
// Each handler gets the graphic itself; Execute answers its result. The
// device base answers 0; a device that draws executes the elements with
// ExecuteElements (the generator base does). Kind tests: the class's own
// id, then 602, 601, 751. Both are registered under their names. Content
// equality: the same object; or the same class id, equal GCommand parts, as
// many elements, and none IsDifferent from the other's element at its
// index. PrepareForComposite and MakeSelfContained pass on to each element.
//
// Stored form, after the GGraphic part (graphic.h):
//   version   u32  kGraphicListVersion
//   count     u32
//   elements  count object references (persist/stored_children.h)
// A restore of another version reads nothing further and keeps the
// elements; otherwise it lets go of its elements and reads the stored
// ones. Only graphics are held: anything else, or a back reference to a
// graphic still being restored (a cycle), fails the restore; nil entries
// are dropped.
//
// Ownership: the graphic holds its elements; copies share them and the
// attribute set; DeepCopy copies the elements deeply. Threads: as GCommand.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/core/child_holder.h"
#include "output/graphics/graphic.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGPathGraphicId = 603;
inline constexpr RWClassID kGGraphicCompositeId = 607;
inline constexpr std::uint32_t kGraphicListVersion = 1;

using GGraphicList = GChildHolder<GGraphic, kGGraphicId>;

// What the two classes share: all but Execute.
template <class Self, RWClassID kId>
class GGraphicListClass : public MPersistentClass<Self, GGraphicList, kId> {
  using Class = MPersistentClass<Self, GGraphicList, kId>;

 public:
  using Class::Class;

  // The GGraphic part, 4 and the stored run of the elements.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // Null: no composite to the device chain (see above).
  MPersistentObject* AsComposite() override { return nullptr; }
  void PrepareForComposite() override;
  void MakeSelfContained() override;

  // Executes the elements on `device` in order and answers the first
  // non-zero result (0 when all answer 0), executing none after it. Each
  // element is held meanwhile; the walk ends at the count the elements had
  // when it began.
  std::uint16_t ExecuteElements(GPeripheral& device);

 private:
  friend Class;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
};

class GPathGraphic final : public GGraphicListClass<GPathGraphic, kGPathGraphicId> {
 public:
  // No elements; holds `attributes` as GGraphic does (none when null).
  explicit GPathGraphic(GAttributeComposite* attributes = nullptr, const std::uint32_t& key = 0)
      : GGraphicListClass(attributes, key) {}
  GPathGraphic(const GPathGraphic& other) = default;

  // device.DrawPath(*this).
  std::uint16_t Execute(GPeripheral& device) override;
};

class GGraphicComposite final : public GGraphicListClass<GGraphicComposite, kGGraphicCompositeId> {
 public:
  // No elements; holds `attributes` as GGraphic does (none when null).
  explicit GGraphicComposite(GAttributeComposite* attributes = nullptr,
                             const std::uint32_t& key = 0)
      : GGraphicListClass(attributes, key) {}
  GGraphicComposite(const GGraphicComposite& other) = default;

  // device.DrawGraphicComposite(*this).
  std::uint16_t Execute(GPeripheral& device) override;
};

extern template class MPersistentClass<GPathGraphic, GGraphicList, kGPathGraphicId>;
extern template class GGraphicListClass<GPathGraphic, kGPathGraphicId>;
extern template class MPersistentClass<GGraphicComposite, GGraphicList, kGGraphicCompositeId>;
extern template class GGraphicListClass<GGraphicComposite, kGGraphicCompositeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PathGraphicClasses();
