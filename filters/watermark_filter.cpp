#include "filters/watermark_filter.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/core/result_commands.h"
#include "persist/find_of_class.h"
#include "persist/string_conversion.h"
#include "services/render_driver_data.h"

namespace {

// A page start that no class of the system carries; handled as 709.
constexpr RWClassID kOtherPageStartId = 711;

constexpr RWClassRegistration kWatermarkFilterClasses[] = {
    {&RWCreate<GWatermarkFilter>, kGWatermarkFilterId, "GWatermarkFilter"},
};

// The 16-bit value `key` of the setting, widened with its sign; 0 when
// missing.
std::int32_t Value(GAttributeComposite* setting, std::uint32_t key) {
  return FilterValue(setting, key).value_or(0);
}

RWWString Text(GAttributeComposite* setting, std::uint32_t key) {
  RWWString wide;
  if (GStringAttribute* text = FindStringAttribute(setting, key))
    NarrowToWide(text->GetValue(), wide);
  return wide;
}

}  // namespace

template class MPersistentClass<GWatermarkFilter, GPeripheral, kGWatermarkFilterId>;

std::span<const RWClassRegistration> WatermarkFilterClasses() {
  return kWatermarkFilterClasses;
}

GCountedPtr GWatermarkFilter::Transform(const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  if (!in_hand) return command;
  switch (in_hand->ClassId()) {
    case kGDocumentStartId:
    case kGDocumentEndId:
    case kPassBreakId:
    case kGJobAbortId:
      if (std::uint16_t code = in_hand->Execute(*this))
        return GCountedPtr(RWNew<GErrorCommand>(code, in_hand, 0u));
      return command;
    case kGPageStartId:
    case kOtherPageStartId:
      PageStartSeen(*in_hand);
      return command;
    case kGPageEndId:
      return PageEndSeen(command);
    default:
      return command;
  }
}

std::uint16_t GWatermarkFilter::DocumentStart(GDocumentStart& command) {
  page_counter_ = 0;
  job_ = command.GetJobContext();
  GAttributeComposite* set = command.GetAttributes();
  Configure(FindComposite(set, kWatermarkSettingKey));
  if (page_mode_ == 0) Disable();
  return 0;
}

std::uint16_t GWatermarkFilter::DocumentEnd(GDocumentEnd&) {
  return Clear();
}

std::uint16_t GWatermarkFilter::OnPassBreak(GCommand&) {
  return 0;
}

std::uint16_t GWatermarkFilter::JobAbort(GJobAbort&) {
  return Clear();
}

void GWatermarkFilter::Configure(GAttributeComposite* setting) {
  page_mode_ = 0;
  ready_ = 0;
  prepared_ = GCountedPtr();
  if (!job_ || !setting) return;
  const std::optional<std::int16_t> which = FilterValue(setting, kWatermarkPagesKey);
  if (which == 0) page_mode_ = 2;
  if (which == 1) page_mode_ = 1;
  if (page_mode_ == 0) return;
  if (FilterValue(setting, kWatermarkOffKey) != 0) {
    page_mode_ = 0;
    return;
  }
  ready_ = 1;
  LoadDescription(setting);
}

std::uint32_t GWatermarkFilter::LoadDescription(GAttributeComposite* setting) {
  GWatermarkDescription& d = description_;
  d.text = Text(setting, kWatermarkTextKey);
  d.text_length = static_cast<std::uint32_t>(d.text.Length());
  d.face_name = Text(setting, kWatermarkFaceKey);
  if (FilterValue(setting, kWatermarkCharSetKey))
    d.character_set = Value(setting, kWatermarkCharSetKey);
  const std::int32_t style = Value(setting, kWatermarkStyleKey);
  d.height = 0;
  d.width = Value(setting, kWatermarkWidthKey);
  d.output_precision = 4;
  d.clip_precision = d.quality = d.pitch_and_family = 0;
  d.weight = (style & 1) != 0 ? 700 : 400;
  d.italic = (style & 2) != 0 ? 1 : 0;
  d.underline = (style & 4) != 0 ? 1 : 0;
  d.strike_out = (style & 8) != 0 ? 1 : 0;
  d.point_size = static_cast<std::uint16_t>(Value(setting, kWatermarkPointSizeKey));
  d.shade = static_cast<std::uint16_t>(Value(setting, kWatermarkShadeKey));
  d.kept_value = Value(setting, kWatermarkKeptKey);
  d.second_kept_value = Value(setting, kWatermarkSecondKeptKey);
  d.angle_kind = Value(setting, kWatermarkAngleKindKey);
  d.custom_angle = Value(setting, kWatermarkAngleKey);
  auto red = static_cast<std::uint8_t>(Value(setting, kWatermarkRedKey));
  auto green = static_cast<std::uint8_t>(Value(setting, kWatermarkGreenKey));
  auto blue = static_cast<std::uint8_t>(Value(setting, kWatermarkBlueKey));
  ShadeColor(d.shade, &red, &green, &blue);
  d.color = GRGBColor(red, green, blue, 255);
  return 1;
}

void GWatermarkFilter::ShadeColor(std::uint16_t shade, std::uint8_t* red, std::uint8_t* green,
                                  std::uint8_t* blue) {
  const auto level = static_cast<std::uint8_t>(shade == 255 ? 232 : shade);
  const bool black = job_ && job_->IsTextAsBlack() != 0;
  const bool r = !black && *red != 0, g = !black && *green != 0, b = !black && *blue != 0;
  const bool all = r && g && b;
  *red = r && !all ? 255 : level;
  *green = g && !all ? 255 : level;
  *blue = b && !all ? 255 : level;
}

bool GWatermarkFilter::TakesWatermark() const {
  return page_mode_ == 2 || (page_mode_ == 1 && page_counter_ == 1);
}

void GWatermarkFilter::PageStartSeen(GCommand& start) {
  ++page_counter_;
  GAttributeComposite* set = start.GetAttributes();
  if (!TakesWatermark() || !set) return;
  auto* medium = FindOfClass<GMedia>(set, kMediumKey);
  current_.reset(medium ? new GMedia(*medium) : nullptr);
  if (!finishing_ && current_) finishing_ = std::make_unique<GMedia>(*current_);
}

GCountedPtr GWatermarkFilter::PageEndSeen(const GCountedPtr& end) {
  if (!TakesWatermark()) return end;
  std::unique_ptr<GMedia> aside = std::move(finishing_);
  finishing_ = std::move(current_);
  if (!prepared_) BuildWatermark();
  aside.reset();
  if (!prepared_) return end;
  auto* composite = new GCommandComposite;
  composite->AddChild(prepared_.Get());
  composite->AddChild(end.Get());
  prepared_ = GCountedPtr();
  return GCountedPtr(composite);
}

void GWatermarkFilter::BuildWatermark() {
  prepared_ = GCountedPtr();
  // No medium for this page: nothing to size the font by.
  if (ready_ != 1 || !job_ || !finishing_) return;
  if (font_ == 0) {
    description_.height =
        -(std::int32_t{finishing_->GetXResolution()} * description_.point_size) / 72;
    font_ = job_->CreateWatermarkFont(&description_, finishing_->GetPaperSize(), &font_value_);
  }
  if (font_ == 0) return;
  GCommand* made = job_->MakeWatermarkCommand(
      description_.text, font_, font_value_, &description_.color, finishing_.get(),
      static_cast<std::uint32_t>(description_.character_set));
  if (made) prepared_ = GCountedPtr(made);
  ReleaseFont();
}

void GWatermarkFilter::ReleaseFont() {
  if (font_ == 0 || !job_) return;
  job_->ReleaseWatermarkFont(&font_);
  font_ = 0;
}

void GWatermarkFilter::DropWatermark() {
  prepared_ = GCountedPtr();
  if (ready_ == 1) ReleaseFont();
}

std::uint16_t GWatermarkFilter::Clear() {
  DropWatermark();
  finishing_.reset();
  current_.reset();
  return 0;
}
