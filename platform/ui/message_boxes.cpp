#include "platform/ui/message_boxes.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/host/modules.h"
#include "platform/text.h"
#include "platform/ui/ui_state.h"

namespace platform {
namespace {

using namespace ui_internal;

// Wide text for a failure message (an unpaired surrogate shows as '?').
std::string Narrow(std::u16string_view text) {
  std::string out;
  if (!WideToMultiByte(text.data(), text.size(), out)) out.assign(text.size(), '?');
  return out;
}

std::string Describe(const MessageBoxRecord& box) {
  char flags[16];
  std::snprintf(flags, sizeof flags, "0x%X", box.flags);
  return "caption \"" + Narrow(box.caption) + "\", text \"" + Narrow(box.text) + "\", flags " +
         flags;
}

// What of `box` differs from `expected`; empty when it matches.
std::string Mismatch(const MessageBoxExpectation& expected, const MessageBoxRecord& box) {
  std::u16string text;
  bool check_text = true;
  if (expected.text_id != 0) {
    char16_t buffer[1024];
    int length = LoadStringW(expected.text_module, expected.text_id, buffer, 1024);
    text.assign(buffer, std::size_t(length));
  } else if (expected.text) {
    text = *expected.text;
  } else {
    check_text = false;
  }
  std::string differs;
  if (check_text && text != box.text) differs += " text (expected \"" + Narrow(text) + "\")";
  if (expected.caption && *expected.caption != box.caption) {
    differs += " caption (expected \"" + Narrow(*expected.caption) + "\")";
  }
  if (expected.flags && *expected.flags != box.flags) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%X", *expected.flags);
    differs += std::string(" flags (expected ") + flags + ")";
  }
  return differs;
}

}  // namespace

std::vector<int> MessageBoxButtons(UINT flags) {
  switch (flags & kMbTypeMask) {
    case kMbOk:
      return {kIdOk};
    case kMbOkCancel:
      return {kIdOk, kIdCancel};
    case kMbAbortRetryIgnore:
      return {kIdAbort, kIdRetry, kIdIgnore};
    case kMbYesNoCancel:
      return {kIdYes, kIdNo, kIdCancel};
    case kMbYesNo:
      return {kIdYes, kIdNo};
    case kMbRetryCancel:
      return {kIdRetry, kIdCancel};
    case kMbCancelTryContinue:
      return {kIdCancel, kIdTryAgain, kIdContinue};
    default:
      return {};
  }
}

int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT flags) {
  std::vector<int> buttons = MessageBoxButtons(flags);
  if (buttons.empty()) return Fail<int>(kErrorInvalidParameter, 0);
  MessageBoxRecord box{owner, caption != nullptr ? caption : u"Error", text != nullptr ? text : u"",
                       flags, 0};
  std::optional<int> answer;
  MessageBoxHandler handler;
  std::string failure;
  {
    Lock lock(Mutex());
    auto& state = StateLocked();
    if (!state.box_expectations.empty()) {
      MessageBoxExpectation expected = std::move(state.box_expectations.front());
      state.box_expectations.pop_front();
      std::string differs = Mismatch(expected, box);
      if (differs.empty()) {
        answer = expected.answer;
      } else {
        failure = "message box " + Describe(box) + " differs in" + differs;
      }
    } else if (state.box_handler) {
      handler = state.box_handler;
    } else {
      failure = "unexpected message box " + Describe(box);
    }
  }
  if (handler) answer = handler(box);
  if (!failure.empty()) ReportUiFailure(failure);
  if (answer && std::find(buttons.begin(), buttons.end(), *answer) == buttons.end()) {
    ReportUiFailure("answer " + std::to_string(*answer) + " is no button of message box " +
                    Describe(box));
  }
  bool has_cancel = std::find(buttons.begin(), buttons.end(), kIdCancel) != buttons.end();
  box.answer = answer.value_or(has_cancel ? kIdCancel : buttons.front());
  Lock lock(Mutex());
  StateLocked().box_log.Add(box);
  return box.answer;
}

void ExpectMessageBox(const MessageBoxExpectation& expectation) {
  Lock lock(Mutex());
  StateLocked().box_expectations.push_back(expectation);
}

std::size_t PendingMessageBoxExpectations() {
  Lock lock(Mutex());
  return StateLocked().box_expectations.size();
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
  Lock lock(Mutex());
  StateLocked().box_handler = std::move(handler);
}

std::vector<MessageBoxRecord> MessageBoxLog() {
  Lock lock(Mutex());
  return StateLocked().box_log.Entries();
}

}  // namespace platform
