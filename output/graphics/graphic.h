// GGraphic: the base of every drawing command (primitive, raster and text
// graphics). A graphic is a command (command.h) whose attribute set is its
// graphic state, the bundle of pen, brush, clip, transform and the other
// drawing attributes, kept under the bundle key kGraphicBundleKey.
//
// Class id 602 names the kind; the class is abstract and not registered.
// Kind test 602, 601 and 751.
//
// Stored part, after the GCommand part and before the derived class's own:
//   version  u32  kGraphicVersion
// The version word's value is read past: nothing of this level follows it.
//
// Ownership: as GCommand. Threads: one graphic is used by one thread at a
// time.
#pragma once

#include <cstdint>

#include "output/core/command.h"

inline constexpr RWClassID kGGraphicId = 602;
inline constexpr std::uint32_t kGraphicVersion = 1;

class GGraphic : public GCommand {
 public:
  // Holds `attributes` (none when null), whose key becomes kGraphicBundleKey.
  explicit GGraphic(GAttributeComposite* attributes = nullptr, const std::uint32_t& key = 0);
  // As GCommand's copy: shares the attribute set.
  GGraphic(const GGraphic& other) = default;

  // The GCommand part and 4.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 602, 601 and 751.
  bool IsKindOf(const RWClassID& id) const override;

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
};
