#include "ui/pages/quickset_apply.h"

#include <algorithm>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/model_lookup.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/accessory_choices.h"
#include "ui/pages/basics_groups.h"
#include "ui/pages/effects_groups.h"
#include "ui/pages/finishing_groups.h"
#include "ui/pages/paper_features.h"

namespace {

// The paper sources of the five page groups.
constexpr std::uint32_t kSourceKeys[] = {kPaperSourceKey, kOtherPagesSourceKey, kBackCoverSourceKey,
                                         kFrontCoverSourceKey, kLastPageSourceKey};

enum class Verdict { kOffered, kNotInstalled, kNotOffered };

bool IsSourceKey(std::uint32_t key) {
  return std::find(std::begin(kSourceKeys), std::end(kSourceKeys), key) != std::end(kSourceKeys);
}

RWCString StringSetting(GUIContext* context, std::uint32_t key) {
  RWCString value;
  context->GetSettingsView().GetString(key, value);
  return value;
}

// Whether some entry of the resolution list has `value` on the axis `key`.
bool IsListedResolution(GUIContext* context, std::uint32_t key, std::int32_t value) {
  const std::vector<GResolutionChoice> choices = GResolutionFeature(context).Choices();
  return std::any_of(choices.begin(), choices.end(), [&](const GResolutionChoice& choice) {
    return (key == kXResolutionKey ? choice.x : choice.y) == value;
  });
}

class Applier {
 public:
  Applier(GUIContext* context, GQuicksetApplied& result) : context_(context), result_(result) {
    context->CollectInstalledSources(sources_);
  }

  // The parts of `stored` that `shape` names, into `settings`. Inside a
  // composite (not `outermost`) the quick set holds the whole of the
  // settings' composite, so what `shape` does not name there is passed
  // over without a word.
  void ApplyParts(GAttributeView settings, const GAttributeComposite& shape,
                  const GAttributeComposite& stored, bool outermost) {
    const GCountedPtrVector& parts = stored.Children();
    for (RWSize i = 0; i < parts.Count(); ++i) {
      MPersistentObject* part = parts[i].Get();
      if (!part || (outermost && part->Key() == kQuicksetNameKey)) continue;
      MPersistentObject* model = FindDirectChild(&shape, part->Key());
      if (model ? ApplyPart(settings, *model, *part) : !outermost) continue;
      result_.skipped.AppendUnique(part->Key());
    }
  }

 private:
  // False when `part` is not of `model`'s kind or its check refused it
  // for anything but a missing option.
  bool ApplyPart(GAttributeView settings, MPersistentObject& model, MPersistentObject& part) {
    const std::uint32_t key = part.Key();
    const auto* composite = dynamic_cast<const GAttributeComposite*>(&part);
    const bool plain = model.ClassId() == kGAttributeCompositeId && composite &&
                       part.ClassId() == kGAttributeCompositeId;
    if (plain && key == kWatermarkSettingKey) return ApplyWatermark(*composite);
    if (plain && key == kResolutionKey) return ApplyResolution(*composite);
    if (plain) {
      GAttributeView inner = settings.Descend(key);
      if (!inner.Composite()) return true;
      const int before = result_.written;
      ApplyParts(inner, static_cast<const GAttributeComposite&>(model), *composite, false);
      // The rules see the composite change, as they saw a replacement.
      if (result_.written != before) context_->RecordChange(key);
      return true;
    }
    auto* value = dynamic_cast<GValueAttribute*>(&part);
    if (value && dynamic_cast<GValueAttribute*>(&model)) {
      const auto choice = static_cast<std::int16_t>(value->GetValue());
      const Verdict verdict = Check(key, choice);
      if (verdict == Verdict::kNotInstalled) result_.refused.AppendUnique(key);
      if (verdict != Verdict::kOffered) return verdict == Verdict::kNotInstalled;
      Count(settings.Has(key) && settings.SetValue(key, choice));
      return true;
    }
    auto* text = dynamic_cast<GStringAttribute*>(&part);
    if (text && dynamic_cast<GStringAttribute*>(&model)) {
      Count(settings.SetString(key, text->GetValue()));
      return true;
    }
    if (part.ClassId() != model.ClassId()) return false;
    // Any other kind is put in place as stored; a replacement records
    // nothing of itself, and the rules must see it.
    if (settings.ReplaceAttribute(key, &part)) {
      context_->RecordChange(key);
      Count(true);
    }
    return true;
  }

  Verdict Check(std::uint32_t key, std::int16_t value) {
    if (IsSourceKey(key)) {
      const bool allowed =
          IsAccessoryChoiceAllowed(value, StringSetting(context_, kOptionalPaperSourcesKey), 0) &&
          sources_.Contains(static_cast<std::uint16_t>(value));
      return allowed ? Verdict::kOffered : Verdict::kNotInstalled;
    }
    bool offered = true;
    switch (key) {
      case kOutputBinKey:
        return IsAccessoryChoiceAllowed(value, StringSetting(context_, kAccessoryOutputBinsKey), 1)
                   ? Verdict::kOffered
                   : Verdict::kNotInstalled;
      case kPaperSizeKey:
        offered = AcceptAnyChoiceC(static_cast<std::uint16_t>(value), context_) &&
                  GPaperSizeFeature(context_).Offers(static_cast<std::uint16_t>(value));
        break;
      case kDuplexKey:
        offered = GDuplexFeature(context_).Offers(value);
        break;
      case kCopiesKey: {
        std::int32_t low = 0;
        std::int32_t high = 0;
        GCopiesFeature(context_).GetRange(low, high);
        offered = value >= low && value <= high;
        break;
      }
      case kXResolutionKey:
      case kYResolutionKey:
        offered = IsListedResolution(context_, key, value);
        break;
      default:
        break;
    }
    return offered ? Verdict::kOffered : Verdict::kNotOffered;
  }

  // The pair must be an entry of the list; the entry's mode and quality
  // come with it.
  bool ApplyResolution(const GAttributeComposite& stored) {
    GResolutionFeature feature(context_);
    if (feature.GetState() != kStateEnabled) return true;
    const GAttributeView from(const_cast<GAttributeComposite*>(&stored), nullptr, true);
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (!from.GetValue(kXResolutionKey, x) || !from.GetValue(kYResolutionKey, y)) return false;
    const int index = GResolutionFeature::IndexOf(feature.Choices(), x, y);
    if (index < 0) return false;
    Count(feature.Choose(index));
    return true;
  }

  bool ApplyWatermark(const GAttributeComposite& stored) {
    RWCString name;
    if (!GAttributeView(const_cast<GAttributeComposite*>(&stored), nullptr, true)
             .GetString(kSelectedWatermarkKey, name))
      return false;
    GWatermarkFeature feature(context_, GWatermarkPart::kChoice);
    if (feature.GetState() != kStateEnabled) return true;
    GAttributeComposite* chosen = nullptr;
    for (GAttributeComposite* definition : feature.Definitions()) {
      RWCString listed;
      GAttributeView(definition, nullptr, true).GetString(kWatermarkNameKey, listed);
      if (listed == name) {
        chosen = definition;
        break;
      }
    }
    // The page shows a name its list lacks as no watermark.
    if (chosen || feature.Chosen()) feature.Choose(chosen);
    Count(true);
    return true;
  }

  void Count(bool written) {
    if (written) ++result_.written;
  }

  GUIContext* context_;
  GQuicksetApplied& result_;
  GValueList sources_;
};

}  // namespace

GQuicksetApplied ApplyQuickset(GUIContext* context, const GAttributeComposite& quickset) {
  GQuicksetApplied result;
  const auto* shape = dynamic_cast<const GAttributeComposite*>(
      FindDirectChild(context->GetConfiguration(), kQuicksetTemplateKey));
  if (!shape) {
    const GCountedPtrVector& parts = quickset.Children();
    for (RWSize i = 0; i < parts.Count(); ++i)
      if (parts[i].Get() && parts[i]->Key() != kQuicksetNameKey)
        result.skipped.AppendUnique(parts[i]->Key());
    return result;
  }
  Applier(context, result).ApplyParts(context->GetSettingsView(), *shape, quickset, true);
  return result;
}
