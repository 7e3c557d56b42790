// The generators' character-code maps (fonts/char_code_map.h): how each
// printer language numbers the characters of a downloaded font.
//
// GVexalonCharCodeMap (ZDL XL): the shared walk; codes are handed out from
// 256 to 8191, then from 8448 up (8192 to 8447 pass through), until 65279.
//
// GPostScriptCharCodeMap: codes below 256 pass through, every other code is
// mapped. On first use a code gets the next free code, raised by 33 first
// when its low byte is 0, so that handed-out codes have low bytes 33 to 255
// (289 to 511, 545 to 767, ...). A mode word (0 at construction) changes
// only NextCode (raise by one; in a non-zero mode 128 becomes 32768), which
// the walk does not use.
//
// GZdl5eCharCodeMap (ZDL5): codes below the first mapped code (128 in mode
// 1, else 256) pass through; a code from there takes, on first use, the
// next free code + 32512 in a non-zero mode (32768 up), else the next free
// code + first mapped code - 256 (256 up). Mode 1 at construction.
//
// A numbering that has run out (its next code would wrap past 65535 into
// codes that pass through) hands out nothing: Map answers kNoMappedCode, as
// it does when no memory is left for a page.
//
// Not persistable. Ownership: each owns its pages. Threads: the
// generator's.
#pragma once

#include <cstdint>

#include "fonts/char_code_map.h"

class GVexalonCharCodeMap final : public GCharCodeMap {
 public:
  // +1; 8192 becomes 8448.
  void NextCode() override;
};

class GPostScriptCharCodeMap final : public GCharCodeMap {
 public:
  std::uint16_t Map(std::uint16_t code) override;
  void NextCode() override;
  void SetMode(std::uint32_t mode) { mode_ = mode; }
  std::uint32_t GetMode() const { return mode_; }

 private:
  std::uint32_t mode_ = 0;
};

class GZdl5eCharCodeMap final : public GCharCodeMap {
 public:
  std::uint16_t Map(std::uint16_t code) override;
  // +1.
  void NextCode() override;
  // Mode := `mode`; the first mapped code 128 for mode 1, else 256.
  void SetMode(std::uint32_t mode);
  std::uint32_t GetMode() const { return mode_; }
  std::uint16_t GetFirstMappedCode() const { return first_mapped_; }

 private:
  std::uint32_t mode_ = 1;
  std::uint16_t first_mapped_ = 128;
};
