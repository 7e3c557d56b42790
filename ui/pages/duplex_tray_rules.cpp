#include "ui/pages/duplex_tray_rules.h"

#include <algorithm>
#include <memory>

#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/ui_context.h"
#include "ui/framework/ui_helpers.h"

namespace {

constexpr std::int32_t kTray1 = 6;

bool OneOf(std::int32_t value, std::initializer_list<std::int32_t> values) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

bool NamedOneOf(const RWCString& name, std::initializer_list<const char*> names) {
  for (const char* candidate : names)
    if (name == candidate) return true;
  return false;
}

bool IsEnvelopeSize(std::int32_t id) {
  return (id >= 8 && id <= 16) || OneOf(id, {50, 52, 59, 60, 73});
}

// Sources 1 and 3 are the trays with restrictions.
bool Restricted(std::int32_t source) {
  return source == 1 || source == 3;
}

bool TypeAcceptedBy(std::int32_t source, const RWCString& type) {
  return !Restricted(source) || !NamedOneOf(type, {"Card Stock", "Extra Heavy", "Envelope"});
}

// Hundredths of an inch, half up.
std::int64_t Hundredths(std::int64_t dots, std::int64_t dpi) {
  return (dots * 200 + dpi) / (dpi * 2);
}

}  // namespace

// ---- GDuplexMediaRule.

GDuplexMediaRule::GDuplexMediaRule(GUIContext* owner) : GConstraintRule(owner, "GDuplexMediaRule") {
  if ((Value(kManualDuplexKey) == 0 && !SizeAllowed(CurrentPaper(), true)) ||
      !TypeAllowed(String(kMediaTypeKey)))
    SetValue(kDuplexKey, 0);
}

void GDuplexMediaRule::Initialize() {
  SetUIValue(kDuplexMessageKey, 0);
  ResetUIValue(kDuplexGroupFlagKey);
  ResetUIValue(kDuplexFlagKey);
}

bool GDuplexMediaRule::TypeAllowed(const RWCString& type) const {
  if (Value(kManualDuplexKey) != 0)
    return !NamedOneOf(type, {"Transparency", "Labels", "Envelope"});
  if (Value(kDuplexUnitKey) != 0)
    return !NamedOneOf(
        type, {"Transparency", "Labels", "Card Stock", "Extra Heavy", "Gloss Film", "Envelope"});
  return true;
}

bool GDuplexMediaRule::SizeAllowed(std::uint16_t paper_id, bool strict) const {
  if (IsEnvelopeSize(paper_id)) return false;
  if (!strict) return true;
  return OneOf(MapCustomPaperToStandardId(paper_id, GetContext()), {1, 6, 23, 58});
}

std::uint16_t GDuplexMediaRule::CurrentPaper() const {
  return static_cast<std::uint16_t>(
      Value(Value(kFitToOtherSizeKey) != 0 ? kTargetPaperSizeKey : kPaperSizeKey));
}

void GDuplexMediaRule::Conflict(bool type) {
  if (Locked(kDuplexKey)) {
    Box(type ? 5202 : 5201, kBoxInfoOk);
    RevertAll();
  } else if (Box(type ? 5101 : 5102, kBoxInfoOkCancel) == kBoxCancel) {
    RevertAll();
  } else {
    SetValue(kDuplexKey, 0);
  }
}

bool GDuplexMediaRule::TypeCheck(const GValueList& changed, int force) {
  static constexpr std::uint32_t kTypes[] = {kMediaTypeKey, kOtherPagesMediaTypeKey,
                                             kLastPageMediaTypeKey, kBackCoverMediaTypeKey,
                                             kFrontCoverMediaTypeKey};
  bool refused = false;
  for (std::uint32_t id : kTypes) {
    if (!force && !Holds(changed, {kDuplexKey, id})) continue;
    if (Value(kDuplexKey) != 0 && !TypeAllowed(String(id))) Conflict(true);
  }
  for (std::uint32_t id : kTypes)
    refused = refused || !TypeAllowed(String(id));
  return refused;
}

bool GDuplexMediaRule::SizeCheck(bool strict) {
  if (Value(kDuplexKey) != 0 && !SizeAllowed(CurrentPaper(), strict)) Conflict(false);
  return !SizeAllowed(CurrentPaper(), strict);
}

void GDuplexMediaRule::OnChanges(const GValueList& changed, int force) {
  const bool manual = Value(kManualDuplexKey) != 0;
  if (Value(kDuplexUnitKey) == 0 && !manual) {
    RaiseUIValue(kDuplexGroupFlagKey, 2);
    RaiseUIValue(kDuplexFlagKey, 2);
    return;
  }
  std::int32_t notice = 0;
  if (manual && SizeCheck(false)) {
    notice = 5111;
  } else if (TypeCheck(changed, force)) {
    notice = 5112;
  } else if (!manual && SizeCheck(true)) {
    notice = 5111;
  }
  if (Locked(kDuplexKey)) notice = 5200;
  if (notice != 0) {
    RaiseUIValue(kDuplexGroupFlagKey, 1);
    RaiseUIValue(kDuplexFlagKey, 1);
  }
  SetUIValue(kDuplexMessageKey, notice);
}

// ---- GTrayMediaRule.

void GTrayMediaRule::Initialize() {
  for (std::uint32_t id : {kTrayMediaFlagKey, kTrayMediaSecondFlagKey, kTrayConflictSecondFlagKey,
                           kLastPageConflictFlagKey, kTrayConflictThirdFlagKey})
    ResetUIValue(id);
}

void GTrayMediaRule::OnChanges(const GValueList& changed, int force) {
  CheckAvailability(changed, force);
  CheckType(changed);
  CheckSize(changed, force);
}

void GTrayMediaRule::CheckAvailability(const GValueList& changed, int force) {
  if (!force && !Holds(changed, {kOptionalPaperSourcesKey, kPaperSourceKey, kOtherPagesSourceKey,
                                 kEnvelopeFeederKey, kFrontCoverSourceKey, kBackCoverSourceKey,
                                 kLastPageSourceKey}))
    return;
  GValueList installed;
  GetContext()->CollectInstalledSources(installed);
  const std::int32_t source = Value(kPaperSourceKey);
  if (!installed.Contains(static_cast<std::uint32_t>(source)))
    SetValue(kPaperSourceKey, kAnySource);
}

void GTrayMediaRule::CheckType(const GValueList& changed) {
  struct Section {
    std::uint32_t source, type;
  };
  static constexpr Section kSections[] = {{kPaperSourceKey, kMediaTypeKey},
                                          {kOtherPagesSourceKey, kOtherPagesMediaTypeKey},
                                          {kLastPageSourceKey, kLastPageMediaTypeKey},
                                          {kBackCoverSourceKey, kBackCoverMediaTypeKey},
                                          {kFrontCoverSourceKey, kFrontCoverMediaTypeKey}};
  const Section* picked = nullptr;
  for (const Section& section : kSections) {
    if (Holds(changed, {section.source, section.type})) {
      picked = &section;
      break;
    }
  }
  if (!picked) return;
  const std::int32_t source = Value(picked->source);
  if (source != kTray1 && !TypeAcceptedBy(source, String(picked->type))) {
    if (!GetContext()->WasChanged(picked->source)) {
      if (Locked(kPaperSourceKey)) {
        Box(5204, kBoxInfoOk);
        RevertAll();
        return;
      }
      if (Box(5103, kBoxInfoOkCancel) == kBoxCancel) {
        RevertAll();
        return;
      }
    } else {
      Box(Locked(kMediaTypeKey) ? 5203 : 5105, kBoxInfoOk);
      RevertAll();
      return;
    }
  }
  if (!TypeAcceptedBy(Value(picked->source), String(picked->type)))
    SetValue(picked->source, kTray1);
}

bool GTrayMediaRule::Fits(std::uint16_t paper_id) {
  if (OneOf(paper_id, {8, 13, 14, 15, 16, 71})) return false;
  std::int64_t x_dpi = Value(kXResolutionKey);
  std::int64_t y_dpi = Value(kYResolutionKey);
  const std::int32_t orientation = Value(kOrientationKey);
  if (x_dpi <= 0 || y_dpi <= 0) return false;
  const std::unique_ptr<GMedia> medium = GetContext()->GetConfigView().FindMediaSquare(
      paper_id, static_cast<std::uint32_t>(orientation), static_cast<std::uint16_t>(x_dpi));
  if (!medium) return false;
  if (orientation == 90 || orientation == 270) std::swap(x_dpi, y_dpi);
  const std::int64_t width = Hundredths(medium->GetPaperSize().width, x_dpi);
  const std::int64_t height = Hundredths(medium->GetPaperSize().height, y_dpi);
  return width >= 583 && width <= 850 && height >= 827 && height <= 1400;
}

bool GTrayMediaRule::SizeAccepted(std::int32_t source, std::uint16_t paper_id) {
  if (!Restricted(source)) return true;
  if (OneOf(MapCustomPaperToStandardId(paper_id, GetContext()), {1, 6, 17, 58, 23, 27, 40, 42, 43}))
    return true;
  return Fits(paper_id);
}

void GTrayMediaRule::CheckSize(const GValueList& changed, int force) {
  static constexpr std::uint32_t kSources[] = {kPaperSourceKey, kOtherPagesSourceKey,
                                               kLastPageSourceKey, kBackCoverSourceKey,
                                               kFrontCoverSourceKey};
  if (!force && !Holds(changed, {kPaperSizeKey, kPaperSourceKey, kOtherPagesSourceKey,
                                 kLastPageSourceKey, kFitToOtherSizeKey, kBackCoverSourceKey,
                                 kFrontCoverSourceKey, kTargetPaperSizeKey}))
    return;
  const auto paper = static_cast<std::uint16_t>(
      Value(Value(kFitToOtherSizeKey) != 0 ? kTargetPaperSizeKey : kPaperSizeKey));
  bool refuses[5] = {};
  std::int32_t values[5] = {};
  for (int i = 0; i < 5; ++i) {
    values[i] = Value(kSources[i]);
    refuses[i] = !SizeAccepted(values[i], paper);
  }
  // The first page, then (with a different first page) the others.
  const bool shown = refuses[0] || (Value(kDifferentFirstPageKey) != 0 &&
                                    (refuses[1] || refuses[3] || refuses[4] || refuses[2]));
  if (shown) {
    bool source_changed = false;
    for (std::uint32_t id : kSources)
      source_changed = source_changed || GetContext()->WasChanged(id);
    if (source_changed) {
      Box(5106, kBoxInfoOk);
      RevertAll();
      return;
    }
    if (Locked(kPaperSourceKey)) {
      Box(5205, kBoxInfoOk);
      RevertAll();
      return;
    }
    if (Box(5104, kBoxInfoOkCancel) == kBoxCancel) {
      RevertAll();
      return;
    }
  }
  for (int i = 0; i < 5; ++i)
    if (refuses[i]) SetValue(kSources[i], kTray1);
}

// ---- GTray1SyncRule.

void GTray1SyncRule::OnChanges(const GValueList& changed, int force) {
  if (!force && !changed.Contains(kOptionalPaperSourcesKey)) return;
  std::int32_t tray1 = 0;
  if (!GetContext()->GetSettingsView().GetValue(kTray1ModeKey, tray1)) return;
  SetValue(kSourcePartKey, tray1);
  GetContext()->CommitConfiguration();
}
