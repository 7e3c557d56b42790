// GWatermarkFilter: puts a text watermark on the pages of a job, one
// watermark command just before each chosen page's page end, so that it
// is drawn over the page. The filter decides when and describes the
// watermark (watermark_description.h); the font and the command are made
// by the job context (GRenderDriverData's CreateWatermarkFont,
// MakeWatermarkCommand, ReleaseWatermarkFont).
//
// The watermark setting, a composite under kWatermarkSettingKey of the
// document start's set, holds 16-bit values unless said:
//   kWatermarkOffKey        must be 0 for a watermark
//   kWatermarkPagesKey      0 every page, 1 first page only
//   kWatermarkTextKey       text (8-bit string)
//   kWatermarkFaceKey       face name (8-bit string)
//   kWatermarkCharSetKey    character set
//   kWatermarkStyleKey      style bits: 1 bold, 2 italic, 4 underline,
//                           8 strike-out
//   kWatermarkPointSizeKey  size in points
//   kWatermarkWidthKey      character width
//   kWatermarkAngleKindKey  angle kind; kWatermarkAngleKey the custom angle
//   kWatermarkKeptKey, kWatermarkSecondKeptKey  carried unchanged
//   kWatermarkRedKey, kWatermarkGreenKey, kWatermarkBlueKey  red, green,
//                           blue
//   kWatermarkShadeKey      shade level (255 is drawn as 232)
// A key that is missing reads as 0 (an empty string for texts; the
// character set stays 1). Without a job context, without kWatermarkSettingKey,
// with kWatermarkPagesKey missing or not 0 or 1, or with kWatermarkOffKey
// missing or non-zero, the document start disables the filter until the chain's
// Reset.
//
// Pages (709, and 711 alike) are counted from each document start; a page
// takes the watermark when every page does, or when it is the first. Its
// start copies its medium (kMediumKey); at its end the command is built for
// that medium (height -(x resolution x points) / 72, truncated toward zero) and
// the page end goes on as the composite [watermark, page end]. The font is
// released as soon as the command is made and its handle zeroed, so that
// each chosen page gets a font of its own; a release only ever gets a
// non-zero handle. A page without a medium, a job context that makes no
// font or no command: the page end goes on alone. Document end and job
// abort drop what is prepared and the medium copies (Clear).
//
// Class id 1102, registered as "GWatermarkFilter". Stored form: the
// frame's (filter_class.h) with no fields of its own; a restore of version
// 1 clears the page count, mode, ready flag, prepared command and font
// handle. A copy keeps the GPeripheral part and starts as a new filter.
// GetFlags answers 0.
//
// Ownership: the filter owns the prepared command, the medium copies and
// the description; the job context is not owned. Threads: one job's
// thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "config/paper/media.h"
#include "filters/filter_class.h"
#include "filters/watermark_description.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGWatermarkFilterId = 1102;

class GRenderDriverData;

class GWatermarkFilter final : public GFilterClass<GWatermarkFilter, kGWatermarkFilterId, true> {
 public:
  GWatermarkFilter() = default;
  explicit GWatermarkFilter(const std::uint32_t& key) : GFilterClass(key) {}
  // The GPeripheral part; own fields as a new filter's.
  GWatermarkFilter(const GWatermarkFilter& other) : GFilterClass(other) {}

  GCountedPtr Transform(const GCountedPtr& command) override;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t DocumentEnd(GDocumentEnd& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;

  // The colour parts as drawn at `shade`: a part that is on is 255, the
  // others the level (232 for a shade of 255); all the level when none or
  // all are on, or when the job prints text as black.
  virtual void ShadeColor(std::uint16_t shade, std::uint8_t* red, std::uint8_t* green,
                          std::uint8_t* blue);
  // The page mode and the description from the watermark setting (null:
  // none).
  virtual void Configure(GAttributeComposite* setting);
  // The prepared command for the finishing medium, if the job context
  // makes a font and a command.
  virtual void BuildWatermark();
  virtual void DropWatermark();
  // DropWatermark and both medium copies gone. Answers 0.
  virtual std::uint16_t Clear();
  // The description from `setting`. Answers 1.
  virtual std::uint32_t LoadDescription(GAttributeComposite* setting);

  const GWatermarkDescription& Description() const { return description_; }
  std::uint32_t PageMode() const { return page_mode_; }
  std::uint32_t FontHandle() const { return font_; }

 private:
  friend GFilterClass;

  template <class In>
  void RestoreOwnFields(In&, MRestoreScope&, std::uint32_t version) {
    if (version != kFilterVersion) return;
    page_counter_ = 0;
    page_mode_ = 0;
    ready_ = 0;
    prepared_ = GCountedPtr();
    font_ = 0;
  }

  // Whether the page in hand (by the counter) takes the watermark.
  bool TakesWatermark() const;
  void PageStartSeen(GCommand& start);
  GCountedPtr PageEndSeen(const GCountedPtr& end);
  // The font let go, once, and its handle zeroed.
  void ReleaseFont();

  GRenderDriverData* job_ = nullptr;
  std::uint32_t page_counter_ = 0;
  std::uint32_t page_mode_ = 0;  // 0 none, 1 first page only, 2 every page
  std::uint32_t ready_ = 0;      // the setting was loaded
  GCountedPtr prepared_;         // the watermark command for the page ending
  std::unique_ptr<GMedia> finishing_;
  std::unique_ptr<GMedia> current_;
  GWatermarkDescription description_;
  std::uint32_t font_ = 0;
  std::int32_t font_value_ = 0;
};

extern template class MPersistentClass<GWatermarkFilter, GPeripheral, kGWatermarkFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> WatermarkFilterClasses();
