#include "ui/plugin/instruction_dialog.h"

#include "platform/ui/window.h"
#include "ui/framework/modal_dialog.h"
#include "ui/framework/ui_context.h"

const GControlEntry kInstructionControls[] = {{2070, kNoHelp}, {2071, kNoHelp}, {2072, kNoHelp},
                                              {7405, kNoHelp}, {1, 1302},       {0, 0}};

namespace {

constexpr int kSnapshotMode = 1;

}  // namespace

void GInstructionWrapper::RefreshState() {
  SetState(GetFeature()->GetState());
}

platform::INT_PTR ShowInstructions(GUIContext* context) {
  GModalDialog dialog(kInstructionsTemplate, context, 1, kInstructionsHelpContext);
  dialog.AddWrapper(
      new GInstructionWrapper(new GInstructionFeature(context), kInstructionControls));
  platform::HWND owner = platform::GetFocus();
  if (!owner) owner = platform::GetTopWindow(platform::GetDesktopWindow());
  context->BeginUpdate(owner);
  const platform::INT_PTR result = dialog.DoModal(owner, kSnapshotMode);
  context->EndUpdate();
  return result;
}
