#include "ui/pages/access_rules.h"

#include "config/keys/settings_keys.h"
#include "ui/framework/ui_context.h"

namespace {

constexpr std::int32_t kNoTray = 19;

// The page groups by number (1 first page ... 5 last page).
struct Group {
  std::uint32_t tray, type;
};
constexpr Group kGroups[6] = {{0, 0},
                              {kPaperSourceKey, kMediaTypeKey},
                              {kOtherPagesSourceKey, kOtherPagesMediaTypeKey},
                              {kBackCoverSourceKey, kBackCoverMediaTypeKey},
                              {kFrontCoverSourceKey, kFrontCoverMediaTypeKey},
                              {kLastPageSourceKey, kLastPageMediaTypeKey}};
constexpr int kLastPage = 5;
// The groups each selectable group is compared with, in order (indexed by
// the selector 1-4).
constexpr int kCompared[5][4] = {{}, {1, 4, 5, 3}, {1, 4, 2, 5}, {1, 2, 5, 3}, {1, 4, 2, 3}};
constexpr std::int32_t kTrayMessages[6] = {0, 5161, 5162, 5163, 5169, 5170};

}  // namespace

void GTrayConflictRule::Initialize() {
  ResetUIValue(kTrayConflictFlagKey);
  ResetUIValue(kLastPageConflictFlagKey);
}

void GTrayConflictRule::OnChanges(const GValueList&, int) {
  const std::int32_t selector = Value(kPageGroupSelectorKey);
  if ((Value(kBackCoverKey, 2) != 2 && selector == 2) ||
      (Value(kFrontCoverKey, 2) != 2 && selector == 3) || selector < 1 || selector > 4)
    return;
  const int selected = selector + 1;
  const bool locked = Locked(kMediaTypeKey);
  const std::int32_t tray = Value(kGroups[selected].tray, kNoTray);
  int shared = 0;
  if (tray != kNoTray && !locked) {
    for (int other : kCompared[selector]) {
      if (Value(kGroups[other].tray, kNoTray) != tray) continue;
      SetString(kGroups[selected].type, String(kGroups[other].type));
      shared = other;
      break;
    }
  }
  std::int32_t message = kTrayMessages[shared];
  if (locked) {
    message = 5200;
  } else if (selected == kLastPage && Value(kBookletKey) != 0) {
    message = 5388;
    RaiseUIValue(kLastPageConflictFlagKey, 1);
  }
  RaiseUIValue(kTrayConflictFlagKey, message != 0 ? 1 : 0);
  if (message != 0) {
    RaiseUIValue(kTrayConflictSecondFlagKey, 0);
    RaiseUIValue(kTrayConflictThirdFlagKey, 0);
  }
  SetUIValue(kTrayConflictMessageKey, message);
  if (selected == kLastPage) SetUIValue(kLastPageConflictMessageKey, message);
}

void GConfigStatusRule::OnChanges(const GValueList& changed, int) {
  if (changed.Contains(kConfigStatusKey)) return;
  if (Holds(changed, {kDuplexUnitKey, kManualDuplexKey, kOptionalPaperSourcesKey,
                      kPrinterHardDiskKey, kJobRetentionKey, kCollationUnitKey, kMemoryKey,
                      kDriverWorkSpaceKey, kBinsWithResourcesKey, kFontModuleKey,
                      kScaleFromLargePaperKey, kCoverModeKey, kIgnoreCollationKey}))
    SetValue(kConfigStatusKey, 14118);
}

namespace {

constexpr std::uint32_t kMemoryFlags[] = {kMemoryFlagKey, kMemorySecondFlagKey};

}  // namespace

void GMemoryRule::Initialize() {
  for (std::uint32_t flag : kMemoryFlags)
    ResetUIValue(flag);
}

void GMemoryRule::OnChanges(const GValueList&, int) {
  const bool short_of_memory = Value(kMemoryKey, 64) < 128 && Value(kPrinterHardDiskKey) != 1;
  for (std::uint32_t flag : kMemoryFlags)
    short_of_memory ? RaiseUIValue(flag, 1) : ResetUIValue(flag);
  if (short_of_memory) SetUIValue(kMemoryMessageKey, 5160);
}

void GAutoConfigNoticeRule::Initialize() {
  SetUIValue(kAutoConfigDoneMessageKey, 0);
  SetUIValue(kAutoConfigNotRunMessageKey, 0);
  ResetUIValue(kAutoConfigDoneFlagKey);
  ResetUIValue(kAutoConfigNotRunFlagKey);
}

void GAutoConfigNoticeRule::OnChanges(const GValueList&, int) {
  const std::int32_t state = Value(kDeviceUpdateStatusKey);
  RaiseUIValue(kAutoConfigDoneFlagKey, 0);
  RaiseUIValue(kAutoConfigNotRunFlagKey, state == 0 ? 1 : 0);
  if (state == 0) SetUIValue(kAutoConfigNotRunMessageKey, 5144);
  if (state == 2) SetUIValue(kAutoConfigDoneMessageKey, 5136);
}

void GPermissionRule::Initialize() {
  SetUIValue(kPermissionMessageKey, 0);
  ResetUIValue(kPermissionFlagKey);
}

void GPermissionRule::OnChanges(const GValueList&, int) {
  struct Pair {
    std::uint32_t flags, flag, message;
  } const pairs[] = {{GetContext()->GetAccessFlags(), kPermissionFlagKey, kPermissionMessageKey},
                     {GetContext()->GetEffectiveAccessFlags(), kEffectivePermissionFlagKey,
                      kEffectivePermissionMessageKey}};
  for (const Pair& pair : pairs) {
    if (pair.flags != 0) {
      RaiseUIValue(pair.flag, 1);
      SetUIValue(pair.message, 5137);
    } else {
      ResetUIValue(pair.flag);
    }
  }
}
