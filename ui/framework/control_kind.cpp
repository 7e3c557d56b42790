#include "ui/framework/control_kind.h"

#include "platform/ui/messages.h"

namespace {

GControlKind KindOfButton(platform::DWORD style) {
  switch (style & platform::kBsTypeMask) {
    case platform::kBsPushButton:
    case platform::kBsDefPushButton:
      return GControlKind::kPushButton;
    case platform::kBsCheckBox:
    case platform::kBsAutoCheckBox:
    case platform::kBs3State:
    case platform::kBsAuto3State:
      return GControlKind::kCheckBox;
    case platform::kBsRadioButton:
    case platform::kBsAutoRadioButton:
      return GControlKind::kRadioButton;
    case platform::kBsGroupBox:
      return GControlKind::kGroupBox;
    case platform::kBsOwnerDraw:
      return GControlKind::kOwnerDrawn;
    default:
      return GControlKind::kAny;
  }
}

}  // namespace

GControlKind KindOfControl(const platform::DialogItemTemplate& item) {
  const std::u16string& name = item.class_name;
  if (name == u"Button") return KindOfButton(item.style);
  if (name == u"ComboBox") {
    return (item.style & 0x3) == platform::kCbsDropDownList ? GControlKind::kDropDownList
                                                            : GControlKind::kComboBox;
  }
  if (name == u"ListBox") return GControlKind::kListBox;
  if (name == u"Edit") return GControlKind::kEdit;
  if (name == u"msctls_updown32") return GControlKind::kUpDown;
  if (name == u"Static") return GControlKind::kStatic;
  return GControlKind::kAny;
}

bool ControlKindFits(GControlKind expected, GControlKind kind) {
  if (expected == GControlKind::kAny || expected == kind) return true;
  return expected == GControlKind::kComboBox && kind == GControlKind::kDropDownList;
}

bool IsChangeNotification(GControlKind kind, platform::WORD code) {
  switch (kind) {
    case GControlKind::kAny:
      return true;
    case GControlKind::kPushButton:
    case GControlKind::kCheckBox:
    case GControlKind::kRadioButton:
    case GControlKind::kOwnerDrawn:
      return code == platform::kBnClicked;
    case GControlKind::kDropDownList:
    case GControlKind::kComboBox:
      return code == platform::kCbnSelChange;
    case GControlKind::kListBox:
      return code == platform::kLbnSelChange;
    case GControlKind::kEdit:
      return code == platform::kEnKillFocus;
    default:
      return false;
  }
}

const char* ControlKindName(GControlKind kind) {
  switch (kind) {
    case GControlKind::kAny:
      return "any control";
    case GControlKind::kPushButton:
      return "push button";
    case GControlKind::kCheckBox:
      return "check box";
    case GControlKind::kRadioButton:
      return "radio button";
    case GControlKind::kDropDownList:
      return "drop-down list";
    case GControlKind::kComboBox:
      return "combo box";
    case GControlKind::kListBox:
      return "list box";
    case GControlKind::kEdit:
      return "edit";
    case GControlKind::kUpDown:
      return "up-down";
    case GControlKind::kStatic:
      return "static";
    case GControlKind::kOwnerDrawn:
      return "owner-drawn control";
    case GControlKind::kGroupBox:
      return "group box";
  }
  return "?";
}
