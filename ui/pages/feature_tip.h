// The feature tip: a small owner-drawn button beside an option that a rule
// can make unavailable. GFeatureTipFeature reads the rule's availability
// flag and tip message (user-interface objects); GFeatureTipWrapper draws
// the tip's picture (11280, pressed 11281; style 1: 11282 and 11283),
// shows its own cursor (11270) and, when clicked, the tip message in a box
// titled "Feature Tip" (11901). A message without text shows no box.
//
// Ownership: the wrapper owns the feature; the cursor is the resource
// library's shared one. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "platform/ui/ui_types.h"
#include "ui/pages/page_groups.h"

class GFeatureTipFeature : public GFeature {
 public:
  // REQUIRES: `flag` and `message` are not null (their ids are copied).
  GFeatureTipFeature(GUIContext* owner, const std::uint32_t* flag, const std::uint32_t* message)
      : GFeature(owner), flag_(*flag), message_(*message) {}

  // Hidden (2) while the access flags have bit 0; with the flag at 1 shown
  // (0) unless the message is 11902; otherwise shown only for a notice
  // (a message in 5300-5399).
  int GetState() override;
  // The tip message's value, 0 when it does not exist.
  std::uint32_t GetMessageId() const;

 private:
  std::uint32_t flag_;
  std::uint32_t message_;
};

class GFeatureTipWrapper : public GControlWrapper {
 public:
  // `style` 0 or 1 picks the pictures.
  GFeatureTipWrapper(GFeatureTipFeature* feature, const GControlEntry* table, int style)
      : GControlWrapper(feature, table), tip_(feature), style_(static_cast<std::uint16_t>(style)) {}

  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  // Loads the cursor and takes the button's class cursor away.
  void OnInit() override;
  void UpdateControl(int) override {}
  void ReadControl() override {}
  void RefreshState() override;

  platform::HCURSOR Cursor() const { return cursor_; }

 private:
  GFeatureTipFeature* tip_;
  std::uint16_t style_;
  platform::HCURSOR cursor_ = nullptr;
};
