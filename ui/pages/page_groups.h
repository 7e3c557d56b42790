// The least of the property pages' own feature and wrapper classes: what
// the page builders (ui/plugin/page_builders.h) put on the pages for the
// groups whose behaviour is not decided here in substance. Each feature
// answers its state (shown and enabled unless a user-interface flag says
// otherwise), each wrapper shows and enables its controls by that state,
// and a button that opens an inner dialog keeps that dialog.
//
//   GPageFeature / GPageWrapper        the plain pair (and the pair of the
//                                      groups without a class of their own)
//   GOrientationFeature / GOrientationWrapper
//                                      the orientation attribute (kOrientationKey) and
//                                      its buttons
//   (the About box and the quick sets: about_box.h, quickset_groups.h)
//   GPreviewFeature / GPreviewWrapper  the preview pair (1070, 901)
//   GCustomPaperNameWrapper
//   GDialogButtonWrapper               a button that opens the dialog it
//                                      keeps, with a settings snapshot that
//                                      Cancel restores
//
// Ownership: a wrapper owns its feature(s) and its dialog; the page owns
// the wrapper. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "config/keys/settings_keys.h"
#include "ui/framework/control_wrapper.h"
#include "ui/framework/feature.h"
#include "ui/framework/modal_dialog.h"

class GPageFeature : public GFeature {
 public:
  // `flag` (0: none) is the user-interface object whose value is the state.
  explicit GPageFeature(GUIContext* owner, std::uint32_t flag = 0) : GFeature(owner), flag_(flag) {}
  int GetState() override;

 private:
  std::uint32_t flag_;
};

class GPageWrapper : public GControlWrapper {
 public:
  using GControlWrapper::GControlWrapper;
  void RefreshState() override;
};

// The orientation angle (kOrientationKey): portrait at 0 and 180, landscape at 90 and
// 270, the upright pair swapped by the flip modifier (IsLandscapeAngle). Choose picks portrait or
// landscape as a record's dmOrientation does (ChooseOrientationAngle: a page turned upside down
// stays turned, the flip modifier and the configuration's allowed angles kAllowedAnglesKey count);
// a choice that kAllowedAnglesKey refuses changes nothing.
class GOrientationFeature : public GAttributeFeature {
 public:
  explicit GOrientationFeature(GUIContext* owner) : GAttributeFeature(owner, &kOrientationKey) {}
  bool IsLandscape();
  void Choose(bool landscape);
};

// The orientation group: the portrait (main control) and landscape radio
// buttons show the angle, and a click on one chooses it. The group's third
// control (its picture) and fourth (its label) only show and enable.
class GOrientationWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override {
    return index < 2 ? GControlKind::kRadioButton : GControlKind::kStatic;
  }
};

class GPreviewFeature : public GPageFeature {
 public:
  using GPageFeature::GPageFeature;
};
class GPreviewWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
};

// The custom size's name group of the "Custom Paper Size" dialog: the name
// (an edit), two buttons, a label and Help. It only shows and enables: no
// setting is given to its controls.
class GCustomPaperNameWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  GControlKind ExpectedKind(std::size_t index) const override {
    constexpr GControlKind kKinds[] = {GControlKind::kEdit, GControlKind::kPushButton,
                                       GControlKind::kPushButton, GControlKind::kStatic,
                                       GControlKind::kPushButton};
    return index < std::size(kKinds) ? kKinds[index] : GControlKind::kAny;
  }
};

// A second feature a wrapper owns beside its own (the paper-size and
// fit-to-paper groups pair a limits feature with the attribute one).
class GPairedWrapper : public GPageWrapper {
 public:
  GPairedWrapper(GFeature* feature, GFeature* second, const GControlEntry* table)
      : GPageWrapper(feature, table), second_(second) {}
  GFeature* Second() const { return second_.get(); }

 private:
  std::unique_ptr<GFeature> second_;
};

class GDialogButtonWrapper : public GPageWrapper {
 public:
  // REQUIRES: `dialog` is not null; the wrapper owns it.
  GDialogButtonWrapper(GFeature* feature, const GControlEntry* table, GModalDialog* dialog)
      : GPageWrapper(feature, table), dialog_(dialog) {}
  // A click of the main control runs the dialog over the page.
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GModalDialog* Dialog() const { return dialog_.get(); }
  // Keeps `dialog` too (a dialog the opened one's flows show).
  void KeepDialog(GModalDialog* dialog) { kept_.emplace_back(dialog); }
  GControlKind ExpectedKind(std::size_t index) const override {
    return index == 0 ? GControlKind::kPushButton : GControlKind::kAny;
  }
  void CollectDialogs(std::vector<GDialogBase*>* out) const override;

 private:
  std::unique_ptr<GModalDialog> dialog_;
  std::vector<std::unique_ptr<GModalDialog>> kept_;
};
