// Headless stand-in for the system's message box. By default the caption and
// the text go to standard error; tests install a sink to see and answer the
// boxes. The sink pointer may be changed while other threads show boxes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Style bits used by the system.
inline constexpr std::uint32_t kMbIconHand = 0x0010;
inline constexpr std::uint32_t kMbTaskModal = 0x2000;

// Answers of a box.
inline constexpr int kIdOk = 1;

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
