// The instructions for printing the second side by hand: dialog 7400
// "Print on Both Sides Instructions", shown by UI_INITIALIZE when the host
// asks with the page index 0x789A (the manual-duplex notice). One group
// covers its controls: the three instruction texts 2070 to 2072, the
// picture 7405 and OK (1, help id 1302); its feature shows them, enabled,
// and the wrapper writes nothing to them (their texts and picture are the
// template's).
//
// ShowInstructions makes the dialog (with help, help context 1218), owned
// by the window with the keyboard focus or else by the desktop's top
// window, opens an update on the context with that owner and runs it with
// a snapshot of the settings (Cancel puts them back in place).
//
// Ownership: the dialog and its group live for the run. Threads: the
// sheet's.
#pragma once

#include <cstdint>

#include "platform/host/types.h"
#include "ui/framework/control_wrapper.h"
#include "ui/framework/feature.h"

class GUIContext;

inline constexpr std::uint32_t kInstructionsTemplate = 7400;
inline constexpr std::uint32_t kInstructionsHelpContext = 1218;

class GInstructionFeature : public GFeature {
 public:
  using GFeature::GFeature;
};

class GInstructionWrapper : public GControlWrapper {
 public:
  using GControlWrapper::GControlWrapper;
  void RefreshState() override;
};

// The control table of the group, (0, 0) ended.
extern const GControlEntry kInstructionControls[];

// Runs the dialog (see above); answers what the dialog answered.
platform::INT_PTR ShowInstructions(GUIContext* context);
