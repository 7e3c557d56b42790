// The settings of the fixture printer P1 (fixture_printer.h), first made
// for the configuration import's acceptance test (tests/config/
// acceptance/README.md lists every invented value): the settings model
// that P1's defaults grow from, and the driver data's job settings it is
// imported with; and the compact builders of attributes that the trees
// are written in.
//
// The settings model (key 0):
//   362 document settings
//       248 output bin 1, 253 duplex 0, 258 input bin 19, 260 paper size 1,
//       266 n-up 1, 267 n-up borders 0, 268 n-up order 0, 270 fit to size 0,
//       272 target size 1, 279 booklet 0, 710 page order 0,
//       713 symmetrical margins 0, 983 duplex scaling 0, 410 grey options 0,
//       920 back cover 0, 921 back-cover tray 7,
//       973 back-cover media 'Plain', 250 5,
//       249 resolution {323 600, 324 600, 325 1}
//   364 colour and media settings
//       261 media 'Plain', 262 rest media 'Plain', 263 rest tray 19,
//       264 different first page 0, 291 copies 1, 293 TrueType mode 0,
//       296 grey printing 0, 304 colour adjustment choice 0,
//       295 colour adjustment (class 1201, its defaults),
//       379 current watermark, none chosen {585 text as black 0, 381 drawn
//           when chosen 0, 383 name '', 1112 code 0, 385 text '', 403
//           shade 224, 388 style 0, 382 every page 0, 393 escapement 0,
//           394 angle 0, 386 face 'Arial', 387 0, 390 size 20, 392 width
//           0, 396 0, 397 0, 398 red 0, 399 green 0, 400 blue 0}
//   365 installed options
//       925 memory 64, 307 memory share 1000, 308 duplex unit 0,
//       245 manual duplex 0, 315 optional sources '', 915 scale from large
//       paper 0, 316 accessory '', 311 stapler 0, 981 stitcher 0,
//       974 tray 1 0, 274 tray-1 mode 7, 1205 post-insertion kit 0 (a
//       value), 1203 punch unit '' (a text), 927 configuration status
//       14117 ("Default Configuration")
//   366 key locks
//       378 watermark pool {{1112 1, 384 'Confidential', 403 128, 388 1,
//           382 1, 393 1, 386 'Times New Roman', 398 255, 399 0, 400 0},
//           {1112 2, 384 'Draft', 403 64}}
//       1102 lock list {}
//   328 printing target {218 0, 220 0, 589 0, 223 600, 224 600, 225 1}
// (No print-quality attribute 901: print quality copies presets.)
//
// The driver data's job settings:
//   90 paper path
//       "Main Unit"       paper source, always installed, current part
//                         {"Manual Feed" 4, "Tray 1" 1, "Tray 2 500-Sheet"
//                         2, "Bypass Tray" 7}
//       "Z7142"           paper source, optional, not installed: the
//                         cassette, named by its part number
//                         {"Tray 3" 3}
//       "MBX-1"           output device, optional, not installed
//   326 preset "Best"   {218 2, 220 1, 589 1, 222 {223 1200, 224 1200, 225 1}}
//   327 preset "Normal" {218 0, 220 0, 589 0, 222 {223 600, 224 600, 225 1}}
//   369 configuration sets (the bundles), tagged by status string id:
//       {927 14117 "Default Configuration", 370 'Model-100', the options
//        as delivered: 308, 245, 310, 239, 520, 451 = 0, 925 64,
//        307 1000, 915, 197 = 0, 315 '', 316 '', 976 0},
//       {927 14113 "Auto-Configured", 370 'Model-200 dn'}
//   228 model {1208 accessories {{1207 1205, 1206 'Kit-A'},
//                                {1207 1203, 1206 'Punch-2/3'}}}
//   295 the default colour adjustment (class 1201, its defaults)
//
// Ownership: every builder's answer is the caller's. Threads: any.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

class GAttribute;
class GAttributeComposite;
class GPaperHandlingDevice;
class GStringAttribute;
class GValueAttribute;

namespace support {

// The configuration statuses of the sets (string ids of their texts) and
// the cassette's part number.
inline constexpr std::uint16_t kDefaultConfiguration = 14117;  // "Default Configuration"
inline constexpr std::uint16_t kAutoConfiguration = 14113;     // "Auto-Configured"
inline constexpr char kCassettePartNumber[] = "Z7142";

// A value attribute, a string attribute and a composite of `children`
// (held from now on), each keyed `key`.
GValueAttribute* Value(std::uint32_t key, std::uint16_t value);
GStringAttribute* Text(std::uint32_t key, const char* text);
GAttributeComposite* Group(std::uint32_t key, std::initializer_list<GAttribute*> children);

// The settings model above (key 0).
GAttributeComposite* Model();
// A paper-handling device of `type` whose first part holds `trays` (name,
// id).
GPaperHandlingDevice* Device(const char* name, std::uint32_t type, std::uint32_t optional,
                             std::initializer_list<std::pair<const char*, int>> trays);
// A preset keyed `key`: values 218 `ret`, 220 `tt` and 589 `black`, and
// the resolution 222 of `dots` both ways.
GAttributeComposite* Preset(std::uint32_t key, std::uint16_t ret, std::uint16_t tt,
                            std::uint16_t black, std::uint16_t dots);
// Adds the driver data's job settings above to `job_settings`.
void FillJobSettings(GAttributeComposite* job_settings);

}  // namespace support
