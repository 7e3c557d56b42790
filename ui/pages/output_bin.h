// The output-bin choice: GOutputBinFeature (attribute kOutputBinKey) lists the bins
// of the installed output devices of the configuration's paper-handling
// composite (kPaperHandlingKey), and GOutputBinComboWrapper shows them in the drop-down
// list of its table's entry 2 (with a second, always disabled list on
// entry 4 that only says "(None)") and writes the chosen bin back.
//
// Bin values: part id 1 is bin 1, id 21 bin 3, ids 41 to 70 bins 30 to 59;
// other parts are not listed. A part without display text of its own is
// named by its bin's default string (11200, 3605, else none: empty).
//
// No page places the pair. Ownership: the wrapper owns its feature.
// Threads: the sheet's.
#pragma once

#include <cstdint>
#include <vector>

#include "config/keys/settings_keys.h"
#include "foundation/rw/wstring.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/pages/page_groups.h"

inline constexpr std::int16_t kNoBin = -1;

class GOutputBinFeature : public GAttributeFeature {
 public:
  explicit GOutputBinFeature(GUIContext* owner) : GAttributeFeature(owner, &kOutputBinKey) {}

  // Whether the bin, the output accessory (kAccessoryOutputBinsKey) or its
  // selected part (kAccessoryPartKey) changed.
  bool WasChanged() override;
  // The bins in display order: values and names, parallel; both empty
  // without composite kPaperHandlingKey.
  void BuildBinList(std::vector<std::int16_t>& values, std::vector<RWWString>& names);
  static std::int16_t BinIdToValue(std::uint16_t id);
  static std::uint16_t BinValueToStringId(std::int16_t value);
};

class GOutputBinComboWrapper : public GPageWrapper {
 public:
  // REQUIRES: `table` has at least five entries.
  GOutputBinComboWrapper(GOutputBinFeature* feature, const GControlEntry* table)
      : GPageWrapper(feature, table), bins_feature_(feature) {}

  void OnInit() override;
  void UpdateControl(int force) override;
  // Writes the selected bin, 1 when nothing is selected.
  void ReadControl() override;
  // The feature's state, then the second list disabled.
  void RefreshState() override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;

 private:
  void FillBins();
  void FillSecond();

  GOutputBinFeature* bins_feature_;
  GComboBoxHelper bins_;
  GComboBoxHelper second_;
};
