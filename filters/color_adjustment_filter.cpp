#include "filters/color_adjustment_filter.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/style_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/keys/settings_keys.h"
#include "output/commands/job_commands.h"
#include "output/core/command.h"
#include "output/core/result_commands.h"
#include "services/render_driver_data.h"

namespace {

constexpr RWClassRegistration kTintvectorFilterClasses[] = {
    {&RWCreate<GTintvectorFilter>, kGTintvectorFilterId, "GTintvectorFilter"},
};

// The kind of object a command draws: 0 text, 1 graphics, 2 images; -1
// none.
int ObjectKind(RWClassID id) {
  if (id == 801 || id == 804) return 0;
  if (id == 603 || id == 607 || (id >= 651 && id <= 663) || id == 702) return 1;
  if (id == 604) return 2;
  return -1;
}

bool HoldsClass(const GAttributeComposite& set, RWClassID id) {
  for (RWSize i = 0; i < set.EntryCount(); ++i)
    if (const GCountedPtr& child = set.Children()[i]; child && child->ClassId() == id) return true;
  return false;
}

// A byte of the enhanced attributes: the low byte of a choice.
std::uint8_t Byte(std::int32_t value) {
  return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

template class MPersistentClass<GTintvectorFilter, GPeripheral, kGTintvectorFilterId>;

std::span<const RWClassRegistration> TintvectorFilterClasses() {
  return kTintvectorFilterClasses;
}

GTintvectorFilter::GTintvectorFilter(const RWCString& name, GAttributeComposite* attributes,
                                     MPersistentObject* configuration, const std::uint32_t& key,
                                     std::int32_t mode)
    : GFilterClass(name, attributes, configuration, key, 0, 6, 2), mode_(mode) {}

void GTintvectorFilter::Reset() {
  GFilterClass::Reset();
  settings_read_ = 0;
  halftone_ = {};
  color_map_ = {};
  enhanced_ = {};
}

std::uint16_t GTintvectorFilter::DocumentStart(GDocumentStart& command) {
  settings_read_ = 0;
  job_ = command.GetJobContext();
  ReadSettings(command.GetAttributes());
  if (mode_ == 0) Disable();
  return 0;
}

std::uint16_t GTintvectorFilter::DocumentEnd(GDocumentEnd&) {
  return ForgetSettings();
}

std::uint16_t GTintvectorFilter::OnPassBreak(GCommand&) {
  return ForgetSettings();
}

std::uint16_t GTintvectorFilter::JobAbort(GJobAbort&) {
  return ForgetSettings();
}

std::uint16_t GTintvectorFilter::ForgetSettings() {
  settings_read_ = 0;
  return 0;
}

void GTintvectorFilter::ReadSettings(GAttributeComposite* set) {
  if (!job_ || !set || settings_read_) return;
  settings_read_ = 1;
  const std::int32_t carried = job_->GetCachedValue();
  if (carried != 0 && carried != 1) return;
  // 65535 (unreadable) widens to -1.
  auto widen = [](std::uint16_t value) { return std::int32_t{static_cast<std::int16_t>(value)}; };
  if (mode_ == 1) {
    for (int object = 0; object < 3; ++object) {
      halftone_[object] = widen(QueryTintvectorSetting(object, 1, set));
      color_map_[object] = widen(QueryTintvectorSetting(object, 0, set));
    }
    return;
  }
  if (mode_ != 3 && mode_ != 4) return;
  auto query = mode_ == 3 ? &QueryEnhancedTintvectorSetting : &QueryEnhancedTintvectorVer2Setting;
  static constexpr std::pair<int, int> kCommon[] = {{0, 1}, {1, 1}, {2, 1}, {0, 0},
                                                    {1, 0}, {2, 0}, {3, 2}};
  static constexpr std::pair<int, int> kMode3[] = {{3, 3}};
  static constexpr std::pair<int, int> kMode4[] = {{0, 3}, {1, 3}, {2, 3}};
  using Queries = std::span<const std::pair<int, int>>;
  std::size_t i = 0;
  for (auto [object, setting] : kCommon)
    enhanced_[i++] = widen(query(object, setting, set));
  for (auto [object, setting] : mode_ == 3 ? Queries(kMode3) : Queries(kMode4))
    enhanced_[i++] = widen(query(object, setting, set));
}

void GTintvectorFilter::AddEnhanced(GAttributeComposite* set) const {
  if (!set) return;
  const auto& e = enhanced_;
  if (mode_ == 3) {
    set->AddChild(new GTintvectorEnhancedAttribute(
        kColorAdjustmentKey, {Byte(e[3]), Byte(e[0]), Byte(e[4]), Byte(e[1]), Byte(e[5]),
                              Byte(e[2]), Byte(e[6]), Byte(e[7])}));
  } else if (mode_ == 4) {
    set->AddChild(new GTintvectorEnhancedAttributeVer2(
        kColorAdjustmentKey, {Byte(e[3]), Byte(e[0]), Byte(e[7]), Byte(e[4]), Byte(e[1]),
                              Byte(e[8]), Byte(e[5]), Byte(e[2]), Byte(e[9]), Byte(e[6])}));
  }
}

GCountedPtr GTintvectorFilter::Transform(const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  if (!in_hand) return command;
  const RWClassID id = in_hand->ClassId();
  if (id == kGPageStartId) {
    AddEnhanced(in_hand->GetAttributes());
    return command;
  }
  if (id == kGDocumentStartId || id == kGDocumentEndId || id == kPassBreakId ||
      id == kGJobAbortId) {
    if (std::uint16_t code = in_hand->Execute(*this))
      return GCountedPtr(RWNew<GErrorCommand>(code, in_hand, 0u));
    return command;
  }
  const int kind = ObjectKind(id);
  GAttributeComposite* set = in_hand->GetAttributes();
  if (mode_ != 1 || kind < 0 || !set) return command;
  if (!HoldsClass(*set, kGHalftoneId)) set->AddChild(new GHalftone(halftone_[kind], 0u));
  if (!HoldsClass(*set, kGColorMapId)) set->AddChild(new GColorMap(color_map_[kind], 0u));
  return command;
}
