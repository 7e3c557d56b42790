#include "filters/letterhead_filter.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "output/commands/job_commands.h"
#include "persist/find_of_class.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"

namespace {

constexpr RWClassRegistration kLetterheadFilterClasses[] = {
    {&RWCreate<GLetterheadFilter>, kGLetterheadFilterId, "GLetterheadFilter"},
};

}  // namespace

template class MPersistentClass<GLetterheadFilter, GPeripheral, kGLetterheadFilterId>;

std::span<const RWClassRegistration> LetterheadFilterClasses() {
  return kLetterheadFilterClasses;
}

std::uint16_t GLetterheadFilter::DocumentStart(GDocumentStart& command) {
  GAttributeComposite* document = command.GetAttributes();
  GRenderDriverData* job = command.GetJobContext();
  GDriverData* data = job ? job->GetDriverData() : nullptr;
  GAttributeComposite* settings = data ? data->GetJobSettings() : nullptr;
  if (FilterValue(settings, kDuplexUnitKey).value_or(0) == 0) {
    Disable();
    return 0;
  }
  // No medium: not a letterhead document (rather than reading through a
  // null one).
  auto* medium = FindOfClass<GMedia>(document, kMediumKey);
  const bool qualifies = medium && medium->GetMediaType().EqualsChars("Letterhead") &&
                         FilterValue(document, kDuplexKey).value_or(0) != 0 &&
                         FilterValue(document, kStraightPaperPathKey).value_or(0) == 0;
  GValueAttribute* order = FindValueAttribute(document, kPageOrderKey);
  if (qualifies && order && order->GetValue() != 1) {
    order->SetValue(1);
    Enable();
  } else {
    Disable();
  }
  return 0;
}

std::uint16_t GLetterheadFilter::PageStart(GPageStart& command) {
  return TurnPage(command.GetAttributes());
}

std::uint16_t GLetterheadFilter::TurnPage(GAttributeComposite* page) {
  GValueAttribute* angle = FindValueAttribute(page, kOrientationKey);
  if (!angle) return 0;
  switch (angle->GetValue()) {
    case 0:
      angle->SetValue(180);
      break;
    case 90:
      angle->SetValue(270);
      break;
    case 180:
      angle->SetValue(0);
      break;
    case 270:
      angle->SetValue(90);
      break;
    default:
      break;
  }
  return 0;
}
