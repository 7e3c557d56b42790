// Headless stand-in for the system's message box. By default the caption and
// the text go to standard error; tests install a sink to see and answer the
// boxes. The sink pointer may be changed while other threads show boxes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Style bits of a box: the buttons (the low four bits), the icon, the
// modality and the reading order. MessageBoxW (platform/ui/message_boxes.h)
// takes the same.
inline constexpr std::uint32_t kMbOk = 0x0000;
inline constexpr std::uint32_t kMbOkCancel = 0x0001;
inline constexpr std::uint32_t kMbAbortRetryIgnore = 0x0002;
inline constexpr std::uint32_t kMbYesNoCancel = 0x0003;
inline constexpr std::uint32_t kMbYesNo = 0x0004;
inline constexpr std::uint32_t kMbRetryCancel = 0x0005;
inline constexpr std::uint32_t kMbCancelTryContinue = 0x0006;
inline constexpr std::uint32_t kMbTypeMask = 0x000F;
inline constexpr std::uint32_t kMbIconHand = 0x0010;
inline constexpr std::uint32_t kMbIconQuestion = 0x0020;
inline constexpr std::uint32_t kMbIconExclamation = 0x0030;
inline constexpr std::uint32_t kMbIconInformation = 0x0040;
inline constexpr std::uint32_t kMbTaskModal = 0x2000;
inline constexpr std::uint32_t kMbRight = 0x00080000;
inline constexpr std::uint32_t kMbRtlReading = 0x00100000;

// Answers of a box (and results of dialogs: the ids of their buttons).
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr int kIdTryAgain = 10;
inline constexpr int kIdContinue = 11;

struct MessageBoxCall {
  const void* owner;
  std::string text;
  std::string caption;
  std::uint32_t style;
};

// A sink returns the button the "user" pressed.
using MessageBoxSink = std::function<int(const MessageBoxCall&)>;

// Shows a box with 8-bit texts; answers the pressed button.
int MessageBoxA(const void* owner, const char* text, const char* caption, std::uint32_t style);

// Installs `sink` (an empty one restores standard error); returns the old one.
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);

}  // namespace platform
