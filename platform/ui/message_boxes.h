// MessageBoxW, beside MessageBoxA and its sink (platform/message_box.h):
// boxes of the windowing host, answered by the test. A box is matched
// against the first queued expectation (its text or string id, caption and
// flags, each when given; then the expectation's answer), else answered by
// the handler the test set; a box that no expectation and no handler
// answers, or one that does not match the expectation in front, is reported
// as a test failure (platform/ui/ui_host.h) and answered as closing it does:
// Cancel when the box has that button, else its first button. An answer
// that is none of the box's buttons is reported too (and then given). Every
// box is logged with its owner, caption, text, flags as given, and answer.
//
// Any thread: matching is done under the stand-ins' lock, the handler is
// called outside it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/types.h"
#include "platform/message_box.h"

namespace platform {

// Shows a box; answers the button pressed (kIdOk ...). A null text is empty,
// a null caption "Error". 0 (kErrorInvalidParameter) for button bits
// (kMbTypeMask) that name no box; such a call is not logged.
int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT flags);

// ---- Test controls.

struct MessageBoxRecord {
  HWND owner = nullptr;
  std::u16string caption;
  std::u16string text;
  UINT flags = 0;
  int answer = 0;
};

struct MessageBoxExpectation {
  // The text: exactly `text`, or, when `text_id` is not 0, string `text_id`
  // of `text_module` (loaded when the box shows); neither: any text.
  std::optional<std::u16string> text;
  UINT text_id = 0;
  HINSTANCE text_module = nullptr;
  std::optional<std::u16string> caption;  // none: any caption
  std::optional<UINT> flags;              // none: any flags
  int answer = kIdOk;
};

// Queues an expectation; boxes take them in order.
void ExpectMessageBox(const MessageBoxExpectation& expectation);
// Expectations no box has taken yet.
std::size_t PendingMessageBoxExpectations();

// Answers the boxes no expectation is queued for (an empty one: none).
using MessageBoxHandler = std::function<int(const MessageBoxRecord& box)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// The boxes shown so far (the newest kHostLogCapacity, platform/host/modules.h).
std::vector<MessageBoxRecord> MessageBoxLog();

// The buttons of a box's flags, in the order they show; empty for button
// bits that name no box.
std::vector<int> MessageBoxButtons(UINT flags);

}  // namespace platform
