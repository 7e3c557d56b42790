// GDriverContext: the built-in watermarks and the page watermark.
#include <cmath>
#include <cstdlib>
#include <string>

#include "config/keys/settings_keys.h"
#include "driver/document/escape_records.h"
#include "driver/driver_context.h"
#include "driver/model_lookup.h"
#include "foundation/rw/support.h"
#include "persist/string_conversion.h"
#include "platform/host/modules.h"
#include "platform/host/system.h"
#include "platform/ui/ui_resources.h"

namespace {

constexpr std::uint16_t kDefaultGray = 224;
constexpr int kResourceTextUnits = 256;
constexpr double kPi = 3.14159265358979323846;

// The built-in watermarks: name and text string ids (0: no name), the size
// string, the style bits and the entry's number.
struct BuiltIn {
  std::uint32_t name;
  std::uint32_t text;
  std::uint32_t size;
  std::uint16_t style;
  std::uint16_t number;
};
constexpr BuiltIn kBuiltIns[] = {
    {0, 11060, 11077, 0, 0},
    {11074, 11074, 11078, 1, 1},
    {11076, 11076, 11079, 1, 3},
    {11075, 11075, 11080, 1, 2},
};

bool LoadText(platform::HMODULE library, std::uint32_t id, RWWString& text) {
  char16_t buffer[kResourceTextUnits] = {};
  const int units = library ? platform::LoadStringW(library, id, buffer, kResourceTextUnits) : 0;
  if (units <= 0) return false;
  text = RWWString(buffer, std::size_t(units));
  return true;
}

RWCString Narrow(const RWWString& wide) {
  RWCString narrow;
  WideToNarrow(wide, narrow);
  return narrow;
}

RWWString WideText(MPersistentObject* in, std::uint32_t key) {
  RWWString wide;
  if (GStringAttribute* text = FindStringAttribute(in, key)) NarrowToWide(text->GetValue(), wide);
  return wide;
}

// The code page of a library's first translation; 0 without one.
std::uint32_t TranslationCodePage(const RWWString& path) {
  std::string block;
  GVersionTranslation first, last;
  return ReadVersionData(path, block, first, last) ? first.code_page : 0;
}

}  // namespace

GWatermarkFace WatermarkFaceForCodePage(std::uint32_t code_page) {
  struct Row {
    std::uint32_t code_page;
    GWatermarkFace face;
  };
  static constexpr Row kRows[] = {
      {874, {222, u"Arial"}},
      {932, {128, u"\uFF2D\uFF33 \uFF30\u660E\u671D"}},
      {936, {134, u"\u5B8B\u4F53"}},
      {949, {129, u"\uBC14\uD0D5"}},
      {950, {136, u"\u65B0\u7D30\u660E\u9AD4"}},
      {1200, {0, u"Arial"}},
      {1250, {238, u"Arial"}},
      {1251, {204, u"Arial"}},
      {1252, {0, u"Arial"}},
      {1253, {161, u"Arial"}},
      {1254, {162, u"Arial"}},
      {1255, {177, u"Arial"}},
      {1256, {178, u"Arial"}},
      {1257, {186, u"Arial"}},
      {1361, {130, u"Arial"}},
  };
  for (const Row& row : kRows) {
    if (row.code_page == code_page) return row.face;
  }
  return {255, u"Arial"};
}

platform::COLORREF WatermarkColor(std::uint32_t level, bool red, bool green, bool blue,
                                  bool grayscale) {
  if (level == 255) level = 232;
  level &= 0xFF;
  const int flagged = int(red) + int(green) + int(blue);
  const bool tinted = !grayscale && (flagged == 1 || flagged == 2);
  const auto channel = [&](bool flag) { return tinted && flag ? 255u : level; };
  return channel(red) | channel(green) << 8 | channel(blue) << 16;
}

std::int32_t WatermarkAngle(std::uint32_t kind, std::int16_t custom, int width, int height) {
  const auto diagonal = [&] {
    return width == 0 ? 90 : std::int32_t(std::atan(double(height) / width) * 180.0 / kPi);
  };
  switch (kind) {
    case 1:
      return diagonal();
    case 3: {
      const std::int32_t angle = -diagonal();
      return angle < 0 ? angle + 360 : angle;
    }
    case 2:
      return 90;
    case 4:
      return custom;
    default:
      return 0;
  }
}

void GDriverContext::AddDefaultWatermarks() {
  GAttributeComposite* list =
      FindComposite(FindComposite(GetDefaultSettings(), kKeyLocksKey), kWatermarkListKey);
  const RWWString support = GetSupportFilePath();
  platform::HMODULE library = platform::LoadLibraryW(support.Data());
  if (list && list->EntryCount() == 0) {
    const GWatermarkFace face = WatermarkFaceForCodePage(TranslationCodePage(support));
    const RWCString face_name = Narrow(RWWString(face.face));
    const std::uint16_t gray =
        ValueOr(GetDefaultSettings(), kDefaultWatermarkGrayKey, kDefaultGray);
    std::uint16_t point_size = 100;
    RWWString text;
    for (const BuiltIn& entry : kBuiltIns) {
      RWWString name;
      LoadText(library, entry.text, text);
      if (entry.name) name = text;
      RWWString size_text;
      if (LoadText(library, entry.size, size_text)) {
        point_size = static_cast<std::uint16_t>(std::strtol(Narrow(size_text).Data(), nullptr, 10));
      }
      auto* definition = new (kRWNoThrow) GAttributeComposite(kWatermarkDefinitionKey);
      if (!definition) break;
      definition->AddChild(new GStringAttribute(Narrow(name), kWatermarkNameKey));
      definition->AddChild(new GStringAttribute(Narrow(text), kWatermarkTextKey));
      definition->AddChild(new GStringAttribute(face_name, kWatermarkFaceKey));
      const std::pair<std::uint32_t, std::uint16_t> values[] = {
          {kWatermarkCharSetKey, face.char_set},
          {kWatermarkStyleKey, entry.style},
          {kWatermarkWeightKey, 0},
          {kWatermarkPointSizeKey, point_size},
          {kWatermarkWidthKey, 0},
          {kWatermarkAngleKindKey, 1},
          {kWatermarkAngleKey, 0},
          {kWatermarkKeptKey, 0},
          {kWatermarkSecondKeptKey, 0},
          {kWatermarkShadeKey, gray},
          {kWatermarkRedKey, gray},
          {kWatermarkGreenKey, gray},
          {kWatermarkBlueKey, gray},
          {kWatermarkNumberKey, entry.number},
      };
      for (auto [key, value] : values)
        definition->AddChild(new GValueAttribute(value, key));
      list->AddChild(definition);
    }
  }
  if (library) platform::FreeLibrary(library);
}

int GDriverContext::BeginWatermark() {
  watermark_mode_ = kWatermarkNone;
  GAttributeComposite* defaults = GetDefaultSettings();
  GAttributeComposite* job =
      FindComposite(FindComposite(defaults, kColorMediaSettingsKey), kWatermarkSettingKey);
  if (!job) return 1;
  GValueAttribute* pages = FindValueAttribute(job, kWatermarkPagesKey);
  if (pages && pages->GetValue() == 0) watermark_mode_ = kWatermarkEveryPage;
  if (pages && pages->GetValue() == 1) watermark_mode_ = kWatermarkFirstPage;
  watermark_grayscale_ = ValueOr(job, kTextAsBlackKey, 0) == 1 ? 1 : 0;
  RWCString selected;
  if (watermark_mode_ != kWatermarkNone) {
    GValueAttribute* selection = FindValueAttribute(job, kWatermarkOffKey);
    if (selection && selection->GetValue() == 0) {
      watermark_selection_ = 0;
    } else {
      watermark_mode_ = kWatermarkNone;
    }
    GStringAttribute* name = FindStringAttribute(job, kSelectedWatermarkKey);
    if (name && !name->GetValue().IsNull()) {
      selected = name->GetValue();
    } else {
      watermark_mode_ = kWatermarkNone;
    }
  }
  if (watermark_mode_ == kWatermarkNone) return 1;
  if (watermark_selection_ != 0) {
    watermark_record_.reset();
    watermark_mode_ = kWatermarkNone;
    return 1;
  }
  // Without the list nothing is prepared for this document: the mode goes
  // off, or every page would fail or draw the last document's watermark.
  GAttributeComposite* list =
      FindComposite(FindComposite(defaults, kKeyLocksKey), kWatermarkListKey);
  for (std::uint32_t i = 0; list && i < list->EntryCount(); ++i) {
    auto* definition = dynamic_cast<GAttributeComposite*>(list->Children()[i].Get());
    GStringAttribute* name = FindStringAttribute(definition, kWatermarkNameKey);
    if (name && name->GetValue() == selected) {
      PrepareWatermark(definition);
      return 1;
    }
  }
  watermark_mode_ = kWatermarkNone;
  return 1;
}

int GDriverContext::DrawWatermark(platform::HDC dc) {
  const bool due = watermark_mode_ == kWatermarkEveryPage ||
                   (watermark_mode_ == kWatermarkFirstPage && page_counter_ == 1);
  if (!due) return 1;
  const int saved = platform::SaveDC(dc);
  if (saved == 0) return 1;
  platform::SetGraphicsMode(dc, platform::kGmCompatible);
  platform::SetViewportOrgEx(dc, 0, 0, nullptr);
  platform::SetWindowOrgEx(dc, 0, 0, nullptr);
  platform::SetTextAlign(dc, 0);
  const int result = watermark_selection_ == 0 ? RenderWatermark(dc) : 1;
  platform::RestoreDC(dc, saved);
  return result;
}

void GDriverContext::PrepareWatermark(GAttributeComposite* definition) {
  if (!watermark_record_) watermark_record_.reset(new (kRWNoThrow) GWatermarkRecord);
  GWatermarkRecord* record = watermark_record_.get();
  if (!record) return;
  record->text = WideText(definition, kWatermarkTextKey);
  record->length = std::uint32_t(record->text.Length());
  platform::LogFontW& font = record->font;
  font = platform::LogFontW{};
  font.width = std::int16_t(ValueOr(definition, kWatermarkWidthKey, 0));
  const std::uint16_t style = ValueOr(definition, kWatermarkStyleKey, 0);
  font.weight = (style & 1) ? 700 : 0;
  font.italic = (style >> 1) & 1;
  font.underline = (style >> 2) & 1;
  font.strike_out = (style >> 3) & 1;
  font.char_set = static_cast<platform::BYTE>(ValueOr(definition, kWatermarkCharSetKey, 1));
  font.out_precision = 4;  // OUT_TT_PRECIS
  const RWWString face = WideText(definition, kWatermarkFaceKey);
  for (std::size_t i = 0; i < face.Length() && i + 1 < std::size_t(platform::kLfFaceSize); ++i)
    font.face_name[i] = face[i];
  record->point_size = std::int16_t(ValueOr(definition, kWatermarkPointSizeKey, 0));
  record->kept1 = ValueOr(definition, kWatermarkKeptKey, 0);
  record->kept2 = ValueOr(definition, kWatermarkSecondKeptKey, 0);
  record->gray = ValueOr(definition, kWatermarkShadeKey, 0);
  record->color =
      WatermarkColor(record->gray, ValueOr(definition, kWatermarkRedKey, 0) != 0,
                     ValueOr(definition, kWatermarkGreenKey, 0) != 0,
                     ValueOr(definition, kWatermarkBlueKey, 0) != 0, watermark_grayscale_ != 0);
  record->angle_kind = ValueOr(definition, kWatermarkAngleKindKey, 0);
  record->custom_angle = std::int16_t(ValueOr(definition, kWatermarkAngleKey, 0));
  record->prepared = 1;
}

int GDriverContext::RenderWatermark(platform::HDC dc) {
  GWatermarkRecord* record = watermark_record_.get();
  if (!record) return 0;
  const int saved = platform::SaveDC(dc);
  const int width = platform::GetDeviceCaps(dc, platform::kHorzRes);
  const int height = platform::GetDeviceCaps(dc, platform::kVertRes);
  const std::int32_t angle =
      WatermarkAngle(record->angle_kind, record->custom_angle, width, height);
  record->font.escapement = record->font.orientation = angle * 10;
  record->font.height =
      -platform::MulDiv(record->point_size, platform::GetDeviceCaps(dc, platform::kLogPixelsY), 72);
  const int extra = platform::GetTextCharacterExtra(dc);
  const int map_mode = platform::GetMapMode(dc);
  const platform::COLORREF color = platform::GetTextColor(dc);
  const int bk_mode = platform::GetBkMode(dc);
  platform::SetMapMode(dc, platform::kMmText);
  platform::HFONT font = platform::CreateFontIndirectW(&record->font);
  platform::HGDIOBJ previous = font ? platform::SelectObject(dc, font) : nullptr;
  platform::SetTextColor(dc, record->color);
  platform::SetBkMode(dc, platform::kTransparent);
  platform::SetTextCharacterExtra(dc, 0);
  platform::Size extent;
  platform::GetTextExtentPoint32W(dc, record->text.Data(), int(record->length), &extent);
  const double radians = angle * kPi / 180.0;
  const double sine = std::sin(radians), cosine = std::cos(radians);
  record->start_x = std::int32_t(width / 2 - (extent.cy / 2) * sine - (extent.cx / 2) * cosine);
  record->start_y = std::int32_t((extent.cx / 2) * sine - (extent.cy / 2) * cosine + height / 2);
  platform::IntersectClipRect(dc, 0, 0, width, height);
  SendStateEscape(dc, kEscapeWatermark, kWatermarkMarker, 1, record->color);
  platform::ExtTextOutW(dc, record->start_x, record->start_y, 0, nullptr, record->text.Data(),
                        record->length, nullptr);
  platform::SetTextCharacterExtra(dc, extra);
  platform::SetMapMode(dc, map_mode);
  platform::SetTextColor(dc, color);
  platform::SetBkMode(dc, bk_mode);
  if (previous) platform::SelectObject(dc, previous);
  if (font) platform::DeleteObject(font);
  if (saved) platform::RestoreDC(dc, saved);
  SendStateEscape(dc, kEscapeWatermark, kWatermarkMarker, 0, record->color);
  return 1;
}
