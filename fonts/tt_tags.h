// The TrueType tables the font reader knows, named everywhere by their
// position in kTTTags (the tag index); the reader hands the four-character
// tag itself (big-endian, 'cmap' = 0x636D6170) to its file operations. The
// lists of the tables a usable font must have and of those a reader
// preloads are in their fixed orders.
#pragma once

#include <cstdint>

constexpr std::uint32_t TTTag(const char (&text)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(text[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(text[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(text[2])} << 8 |
         static_cast<std::uint8_t>(text[3]);
}

enum TTTagIndex : std::uint32_t {
  kTagCmap = 0,
  kTagHead = 1,
  kTagGlyf = 2,
  kTagLoca = 3,
  kTagMaxp = 4,
  kTagMort = 5,
  kTagName = 6,
  kTagOS2 = 7,
  kTagPost = 8,
  kTagCvt = 9,
  kTagEdt0 = 10,
  kTagEdt1 = 11,
  kTagCryp = 12,
  kTagFpgm = 13,
  kTagGdir = 14,
  kTagHdmx = 15,
  kTagHhea = 16,
  kTagHmtx = 17,
  kTagVhea = 18,
  kTagVmtx = 19,
  kTagKern = 20,
  kTagLTSH = 21,
  kTagGSUB = 22,
  kTagPrep = 23,
  kTagPCLT = 24,
};

inline constexpr std::uint32_t kTTTagCount = 25;

inline constexpr std::uint32_t kTTTags[kTTTagCount] = {
    TTTag("cmap"), TTTag("head"), TTTag("glyf"), TTTag("loca"), TTTag("maxp"),
    TTTag("mort"), TTTag("name"), TTTag("OS/2"), TTTag("post"), TTTag("cvt "),
    TTTag("edt0"), TTTag("edt1"), TTTag("cryp"), TTTag("fpgm"), TTTag("gdir"),
    TTTag("hdmx"), TTTag("hhea"), TTTag("hmtx"), TTTag("vhea"), TTTag("vmtx"),
    TTTag("kern"), TTTag("LTSH"), TTTag("GSUB"), TTTag("prep"), TTTag("PCLT"),
};

inline constexpr TTTagIndex kTTRequiredTables[] = {kTagCmap, kTagGlyf, kTagHead, kTagHhea, kTagHmtx,
                                                   kTagLoca, kTagMaxp, kTagName, kTagPost, kTagOS2};

inline constexpr TTTagIndex kTTPreloadedTables[] = {
    kTagCmap, kTagMaxp, kTagMort, kTagName, kTagOS2,  kTagCvt,  kTagHead,
    kTagFpgm, kTagHhea, kTagHmtx, kTagVhea, kTagVmtx, kTagGSUB, kTagPrep};
