// The paper-size features of the Paper and Effects pages:
//   GPaperSizeLimitsFeature  the feature of the groups bound by the custom
//                            size limits (the custom size dialog, its
//                            button, the size and fit-to-paper groups);
//   GPaperSizeFeature        the paper size (kPaperSizeKey), the papers its list
//                            offers, and whether a paper lies outside the custom
//                            size limits.
// (Fit to other size is the Effects page's: effects_groups.h.)
//
// The limits are the configuration's limit media: the smallest paper is
// medium 17385 and the largest 17384, as the driver data decides them (one
// reading names them the other way round; the driver data's is kept so
// that a paper the driver accepts is inside here too).
//
// Ownership: the wrappers'. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <vector>

#include "config/keys/settings_keys.h"
#include "foundation/rw/wstring.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/framework/feature.h"
#include "ui/pages/page_groups.h"

inline constexpr std::uint16_t kSmallestLimitMedium = 17385;
inline constexpr std::uint16_t kLargestLimitMedium = 17384;

class GPaperSizeLimitsFeature : public GPageFeature {
 public:
  using GPageFeature::GPageFeature;
};

// A paper the paper-size list offers.
struct GOfferedPaper {
  std::uint16_t paper_id;
  RWWString name;
};

class GPaperSizeFeature : public GAttributeFeature {
 public:
  explicit GPaperSizeFeature(GUIContext* owner) : GAttributeFeature(owner, &kPaperSizeKey) {}
  // Disabled without kPaperSizeKey.
  int GetState() override;
  // What the paper-size list offers for the settings (see GPaperSizeWrapper).
  std::vector<GOfferedPaper> OfferedPapers();
  bool Offers(std::uint16_t paper_id);

  // Whether paper `paper_id` (0: the current one) is narrower or shorter
  // than the smallest limit medium, or wider or taller than the largest,
  // all taken from the configuration at the current orientation (kOrientationKey) and
  // the smaller of the resolutions kXResolutionKey and kYResolutionKey. False when a medium is
  // missing or the resolution is 0.
  bool IsOutsideSizeLimits(std::uint16_t paper_id);
};

// The paper-size group: the limits feature and the paper size. The list
// (entry 0) holds the forms the printer offers for the settings (the driver
// data's EnumFormsForPrinter: the forms in the custom size range, only
// those linked to a tray while the form-to-tray table links any), then the
// current custom size (kCustomSizePaperId, "Custom") when the settings hold
// one; a choice writes kPaperSizeKey. Entries 1 and 2 are shown only.
class GPaperSizeWrapper : public GPairedWrapper {
 public:
  GPaperSizeWrapper(GPaperSizeLimitsFeature* limits, GPaperSizeFeature* size,
                    const GControlEntry* table)
      : GPairedWrapper(limits, size, table) {}
  void OnInit() override;
  void RefreshState() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  GPaperSizeFeature* Size() const { return static_cast<GPaperSizeFeature*>(Second()); }
  GComboBoxHelper list_;
};
