#include "lang/font_books/char_code_maps.h"

namespace {

constexpr std::uint16_t kXlGapStart = 8192;
constexpr std::uint16_t kXlGapEnd = 8448;
constexpr std::uint16_t kPostScriptLowSkip = 33;
constexpr std::uint16_t kPostScriptModeFrom = 128;
constexpr std::uint16_t kPostScriptModeTo = 32768;
constexpr std::uint32_t kZdl5eModeOffset = 32512;
constexpr std::uint32_t kLastCode = 0xFFFF;

}  // namespace

void GVexalonCharCodeMap::NextCode() {
  ++next_free_code_;
  if (next_free_code_ == kXlGapStart) next_free_code_ = kXlGapEnd;
}

std::uint16_t GPostScriptCharCodeMap::Map(std::uint16_t code) {
  if (code < kFirstAllocatedCode) return code;
  std::uint16_t* entry = MappedEntry(code - kFirstAllocatedCode);
  if (!entry || *entry != 0) return entry ? *entry : kNoMappedCode;
  std::uint32_t next = next_free_code_;
  if ((next & 0xFF) == 0) next += kPostScriptLowSkip;
  // A free code that wrapped past 65535 lands below 256: none is left.
  if (next < kFirstAllocatedCode) return kNoMappedCode;
  next_free_code_ = static_cast<std::uint16_t>(next + 1);
  return *entry = static_cast<std::uint16_t>(next);
}

void GPostScriptCharCodeMap::NextCode() {
  ++next_free_code_;
  if (mode_ != 0 && next_free_code_ == kPostScriptModeFrom) next_free_code_ = kPostScriptModeTo;
}

std::uint16_t GZdl5eCharCodeMap::Map(std::uint16_t code) {
  if (code < first_mapped_) return code;
  std::uint16_t* entry = MappedEntry(code - first_mapped_);
  if (!entry || *entry != 0) return entry ? *entry : kNoMappedCode;
  const std::uint32_t next = next_free_code_;
  const std::uint32_t assigned =
      mode_ != 0 ? next + kZdl5eModeOffset : next + first_mapped_ - kFirstAllocatedCode;
  // A free code that wrapped, or a code past 65535: none is left.
  if (next < kFirstAllocatedCode || assigned > kLastCode) return kNoMappedCode;
  NextCode();
  return *entry = static_cast<std::uint16_t>(assigned);
}

void GZdl5eCharCodeMap::NextCode() {
  ++next_free_code_;
}

void GZdl5eCharCodeMap::SetMode(std::uint32_t mode) {
  mode_ = mode;
  first_mapped_ = mode == 1 ? 128 : kFirstAllocatedCode;
}
