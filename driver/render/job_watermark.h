// GJobWatermark: the rendering side's watermark of one job, behind the job
// context's three watermark operations that the watermark filter calls
// (GRenderDriverData's CreateWatermarkFont, MakeWatermarkCommand and
// ReleaseWatermarkFont; filters/watermark_filter.h).
//
// The font: the description's face among the machine's TrueType fonts as
// the system lists them, the REG_SZ value "<face> (TrueType)" of
// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts, which names a
// file of the fonts folder "C:\Windows\Fonts" (a plain file name: one
// with a folder, a drive or "..", or a file that a link leads out of the
// folder, is refused). The face is made |height| pixels high (the
// description's height: its point size at the medium's resolution),
// entered in the job's font database (so that a spooled page finds it
// again) and kept under a handle of its own (1, 2, ...) until it is
// released. No text, a height of 0, a face the machine does not list or a
// file that does not open as TrueType give no font (handle 0): the page
// then takes no watermark.
//
// The command: one line of text (GTextStringGraphic) in that font, laid
// across the middle of the medium's paper as the printer context lays the
// watermark it draws (driver/document/): turned by the description's angle
// kind (0 horizontal; 1 the paper's diagonal, atan(paper height / width);
// 2 vertical, 90; 3 the other diagonal, 360 less the first; 4 its custom
// angle), in whole degrees counter-clockwise, about the paper's middle.
// The characters stand upright (glyphs are not turned): each one's em box
// (its advance by the font's height) has its middle on the text's turned
// middle line, where a turned line of text would have it, so that the
// marks' middle is the paper's. Its brush is the description's colour.
// Coordinates are the paper's pixels at the medium's resolution, (0, 0)
// its top left corner.
//
// Ownership: the kept fonts are this object's; a command holds a font of
// its own on the same face, so it outlives the release. Threads: the
// job's thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "foundation/rw/wstring.h"

class GCommand;
class GFont;
class GJobFontDatabase;
class GMedia;
class GRGBColor;
class GRenderDriverData;
struct GSize16;
struct GWatermarkDescription;

// Where the machine lists its TrueType fonts, and the folder of their
// files.
inline constexpr char16_t kMachineFontsKey[] =
    u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
inline constexpr char16_t kFontsFolder[] = u"C:\\Windows\\Fonts";

class GJobWatermark {
 public:
  GJobWatermark();
  GJobWatermark(const GJobWatermark&) = delete;
  GJobWatermark& operator=(const GJobWatermark&) = delete;
  ~GJobWatermark();

  // A font for `description` made for `job` and entered in `database`;
  // its handle, 0 when none is made. `*font_value` is set to 0.
  std::uint32_t CreateFont(const GWatermarkDescription* description, GRenderDriverData& job,
                           GJobFontDatabase* database, std::int32_t* font_value);
  // Lets the font `*font` names go and sets `*font` to 0; nothing for a
  // handle it does not keep (0 among them).
  void ReleaseFont(std::uint32_t* font);
  // The watermark command (the caller's) of `text` in the font `font`
  // on `medium`, in `color` (null: black); null without such a font,
  // text or medium, or when memory is exhausted.
  GCommand* MakeCommand(const RWWString& text, std::uint32_t font, const GRGBColor* color,
                        const GMedia* medium);
  // Lets every kept font go (before the job's font database is replaced).
  void Clear();

 private:
  struct Kept;
  std::map<std::uint32_t, std::unique_ptr<Kept>> kept_;
  std::uint32_t next_handle_ = 1;
};

// The host file of the machine's TrueType font named `face` (see above),
// as a Windows path; empty when the machine lists none or the file is
// refused.
RWWString FindMachineFontFile(const RWWString& face);
